// formsend: reading and decoding the posted form, the control fields, validation and
// the configuration keys.
#include "formsend/form.h"

#include <stdlib.h>
#include <string.h>

void clearRecords(FormSettings *settings, MailJob *job) {
  memset(settings, 0, sizeof(*settings));
  settings->lastField = -1;
  memset(job, 0, sizeof(*job));
}

static int hexValue(unsigned char c) {
  if (c > '@') { return (c & 0xDF) - 'A' + 10; }
  return c - '0';
}

size_t decodeFieldText(char *text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '+') { text[i] = ' '; }
  }
  size_t out = 0;
  size_t i = 0;
  while (i < length) {
    if (text[i] == '%' && i + 2 < length) {
      int v = hexValue((unsigned char)text[i + 1]) * 16 + hexValue((unsigned char)text[i + 2]);
      text[out++] = (char)(unsigned char)v;
      i += 3;
    } else {
      // Also a "%" with fewer than two characters after it: kept as it stands.
      text[out++] = text[i++];
    }
  }
  text[out] = '\0';
  return out;
}

// A source of body bytes: a FILE or a byte range.
struct ByteSource {
  FILE *file;
  const unsigned char *data;
  size_t size;
  size_t pos;
};

static int nextByte(ByteSource *src) {
  if (src->file) { return fgetc(src->file); }
  if (src->pos >= src->size) { return EOF; }
  return src->data[src->pos++];
}

static char *duplicateRange(const char *s, size_t n) {
  char *d = (char *)malloc(n + 1);
  if (d) {
    memcpy(d, s, n);
    d[n] = '\0';
  }
  return d;
}

// Stores one decoded field text at the next entry; returns 0 when memory ran out.
static int storeField(FormTable *table, char *text, size_t length) {
  decodeFieldText(text, length);
  size_t textLen = strlen(text);  // a decoded zero byte ends the text
  if (table->last + 1 >= kMaxFields) {
    return 1;  // the table is full: the field is dropped
  }
  const char *eq = strchr(text, '=');
  size_t nameLen = eq ? (size_t)(eq - text) : textLen;
  const char *valueStart = eq ? eq + 1 : text + textLen;
  char *name = duplicateRange(text, nameLen);
  char *value = duplicateRange(valueStart, strlen(valueStart));
  if (!name || !value) {
    free(name);
    free(value);
    return 0;
  }
  table->last += 1;
  table->fields[table->last].name = name;
  table->fields[table->last].value = value;
  return 1;
}

static int readFormFrom(ByteSource *src, const char *contentLength, FormTable *table) {
  memset(table, 0, sizeof(*table));
  table->last = -1;
  long count = contentLength ? strtol(contentLength, NULL, 10) : 0;
  if (count > kMaxBodyBytes) {
    table->oversize = 1;
    return -1;
  }
  size_t capacity = kFieldGrowStep;
  char *text = (char *)malloc(capacity + 1);
  if (!text) { return -1; }
  // A negative count reads to the end of input; the body limit still holds then.
  long total = 0;
  int atEnd = 0;
  while (count != 0 && !atEnd) {
    size_t length = 0;
    while (1) {
      int c = nextByte(src);
      if (c == EOF) {
        atEnd = 1;
        break;
      }
      --count;
      if (++total > kMaxBodyBytes) {
        free(text);
        freeForm(table);
        table->oversize = 1;
        return -1;
      }
      if (c == '&') { break; }
      if (length == capacity) {
        char *grown = (char *)realloc(text, capacity + kFieldGrowStep + 1);
        if (!grown) {
          free(text);
          return table->last;
        }
        text = grown;
        capacity += kFieldGrowStep;
      }
      text[length++] = (char)c;
      if (count == 0) { break; }
    }
    text[length] = '\0';
    if (!storeField(table, text, length)) { break; }
  }
  free(text);
  return table->last;
}

int readForm(FILE *in, const char *contentLength, FormTable *table) {
  ByteSource src = {in, NULL, 0, 0};
  return readFormFrom(&src, contentLength, table);
}

int readFormFromBytes(const unsigned char *data, size_t size, const char *contentLength, FormTable *table) {
  ByteSource src = {NULL, data, size, 0};
  return readFormFrom(&src, contentLength, table);
}

void freeForm(FormTable *table) {
  for (int i = 0; i <= table->last && i < kMaxFields; ++i) {
    free(table->fields[i].name);
    free(table->fields[i].value);
    table->fields[i].name = NULL;
    table->fields[i].value = NULL;
  }
  table->last = -1;
}

// The single-valued control fields and where their values go.
enum ControlTarget { kToTemplate, kToSuccess, kToFailure, kToSubject, kToSender, kToRealname, kToOptional };
struct ControlField {
  const char *name;
  ControlTarget target;
};
static const ControlField kControlFields[] = {
    {"$File$", kToTemplate}, {"$LocationOK$", kToSuccess}, {"$LocationKO$", kToFailure}, {"$Subject$", kToSubject},
    {"$Sender$", kToSender}, {"$Realname$", kToRealname},  {"$Optional$", kToOptional},
};
static_assert(ARRAY_SIZE(kControlFields) == 7, "seven single-valued control fields");

// The recipient fields, in the order their groups stand in the recipient table.
static const char *const kRecipientFields[] = {"$Cc$", "$Bcc$", "$To$"};
static_assert(ARRAY_SIZE(kRecipientFields) == 3, "Cc, Bcc, To");

static int hasLineBreak(const char *s) { return strpbrk(s, "\r\n") != NULL; }

int templatePathAllowed(const char *path) {
  if (path[0] == '\0' || path[0] == '\\' || path[0] == '/' || strchr(path, ':')) { return 0; }
  const char *p = path;
  while (*p) {
    size_t n = strcspn(p, "\\/");
    if (n == 2 && p[0] == '.' && p[1] == '.') { return 0; }
    p += n;
    if (*p) { ++p; }
  }
  return 1;
}

int mapControlFields(const FormTable *table, FormSettings *settings, MailJob *job, char *refusal) {
  refusal[0] = '\0';
  settings->lastField = table->last;
  const char *broken = NULL;
  for (int i = 0; i <= table->last; ++i) {
    const FormField *f = &table->fields[i];
    for (size_t k = 0; k < ARRAY_SIZE(kControlFields); ++k) {
      if (strcmp(f->name, kControlFields[k].name) != 0) { continue; }
      switch (kControlFields[k].target) {
        case kToTemplate: copyBounded(settings->templatePath, kSettingSize, f->value); break;
        case kToSuccess: copyBounded(settings->successUrl, kSettingSize, f->value); break;
        case kToFailure: copyBounded(settings->failureUrl, kSettingSize, f->value); break;
        case kToSubject: copyBounded(job->subject, kSubjectSize, f->value); break;
        case kToSender: copyBounded(job->senderAddress, kAddressSize, f->value); break;
        case kToRealname: copyBounded(job->senderName, kSenderNameSize, f->value); break;
        case kToOptional:
          copyBounded(settings->optionalText, kSettingSize, f->value);
          settings->optionalGiven = 1;
          break;
      }
    }
  }
  int *counts[3] = {&job->ccCount, &job->bccCount, &job->toCount};
  int total = 0;
  for (size_t g = 0; g < ARRAY_SIZE(kRecipientFields); ++g) {
    *counts[g] = 0;
    for (int i = table->last; i >= 0; --i) {
      const FormField *f = &table->fields[i];
      if (strcmp(f->name, kRecipientFields[g]) != 0) { continue; }
      if (hasLineBreak(f->value) && !broken) { broken = kRecipientFields[g]; }
      if (total == kMaxRecipients) {
        continue;  // the table is full: further recipients are dropped
      }
      copyBounded(job->recipients[total], kAddressSize, f->value);
      ++total;
      ++*counts[g];
    }
  }
  // The cut values are what would be sent, but a line break anywhere in the field
  // is refused: check the form's own values, not only what fitted.
  static const char *const kHeaderFields[] = {"$Sender$", "$Realname$", "$Subject$"};
  for (int i = 0; i <= table->last && !broken; ++i) {
    for (size_t k = 0; k < ARRAY_SIZE(kHeaderFields); ++k) {
      if (strcmp(table->fields[i].name, kHeaderFields[k]) == 0 && hasLineBreak(table->fields[i].value)) {
        broken = kHeaderFields[k];
        break;
      }
    }
  }
  if (broken) {
    snprintf(refusal, kRefusalSize, "Refused field %s: line break in its value\n", broken);
    return 0;
  }
  if (settings->templatePath[0] && !templatePathAllowed(settings->templatePath)) {
    snprintf(refusal, kRefusalSize, "Refused template path %s: not a file inside the working directory\n",
             settings->templatePath);
    return 0;
  }
  return job->toCount != 0 && settings->templatePath[0] && settings->successUrl[0] && settings->failureUrl[0];
}

// The configuration keys in the order they are read; `whenEmpty` keys are read only
// when the form left their field empty.
enum ConfigTarget { kCfgGateway, kCfgSender, kCfgRealname, kCfgEncode, kCfgCharset };
struct ConfigKey {
  const char *key;
  ConfigTarget target;
};
static const ConfigKey kConfigKeys[] = {
    {"Gateway", kCfgGateway},  {"Sender", kCfgSender},   {"Realname", kCfgRealname},
    {"MIMEncode", kCfgEncode}, {"Charset", kCfgCharset},
};
static_assert(ARRAY_SIZE(kConfigKeys) == 5, "five configuration keys");

int readConfiguration(MailJob *job, ProfileLookup lookup, void *context, char *refusal) {
  refusal[0] = '\0';
  for (size_t k = 0; k < ARRAY_SIZE(kConfigKeys); ++k) {
    const ConfigKey *ck = &kConfigKeys[k];
    if (ck->target == kCfgSender && job->senderAddress[0]) { continue; }
    if (ck->target == kCfgRealname && job->senderName[0]) { continue; }
    char value[kProfileValueSize];
    copyBounded(value, sizeof(value), "none");
    lookup(context, ck->key, value, sizeof(value));
    value[sizeof(value) - 1] = '\0';
    if (strcmp(value, "none") == 0) { return 0; }
    switch (ck->target) {
      case kCfgGateway: copyBounded(job->gateway, kAddressSize, value); break;
      case kCfgSender: copyBounded(job->senderAddress, kAddressSize, value); break;
      case kCfgRealname: copyBounded(job->senderName, kSenderNameSize, value); break;
      case kCfgEncode: job->encode = strcmp(value, "yes") == 0 ? 1 : 0; break;
      case kCfgCharset: copyBounded(job->charset, kCharsetSize, value); break;
    }
    if ((ck->target == kCfgSender || ck->target == kCfgRealname) && hasLineBreak(value)) {
      snprintf(refusal, kRefusalSize, "Refused configuration key %s: line break in its value\n", ck->key);
      return 0;
    }
  }
  return 1;
}
