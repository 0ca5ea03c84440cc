// formsend: the header, the substituted template and the quoted-printable encoder.
#include "formsend/compose.h"

#include <stdlib.h>
#include <string.h>

void textInit(Text *t) {
  t->data = NULL;
  t->length = 0;
  t->capacity = 0;
  t->failed = 0;
}

void textFree(Text *t) {
  free(t->data);
  textInit(t);
}

void textAppend(Text *t, const char *s, size_t n) {
  if (t->failed) { return; }
  if (t->length + n + 1 > t->capacity) {
    size_t want = t->capacity ? t->capacity : 4096;
    while (want < t->length + n + 1) { want *= 2; }
    char *grown = (char *)realloc(t->data, want);
    if (!grown) {
      t->failed = 1;
      return;
    }
    t->data = grown;
    t->capacity = want;
  }
  memcpy(t->data + t->length, s, n);
  t->length += n;
  t->data[t->length] = '\0';
}

void textAppendString(Text *t, const char *s) { textAppend(t, s, strlen(s)); }

// Appends a group of recipients in form order: the table holds each group in reverse.
static void appendRecipients(Text *t, const MailJob *job, int first, int count) {
  for (int i = first + count - 1; i >= first; --i) {
    textAppendString(t, job->recipients[i]);
    if (i > first) { textAppendString(t, ", "); }
  }
}

int composeHeader(Text *t, const MailJob *job, int encoded) {
  t->length = 0;
  t->failed = 0;
  textAppend(t, "", 0);
  if (encoded) {
    textAppendString(t, "From: =?");
    textAppendString(t, job->charset);
    textAppendString(t, "?Q?");
    textAppendString(t, job->senderName);
    textAppendString(t, "?= <");
  } else {
    textAppendString(t, "From: ");
    textAppendString(t, job->senderName);
    textAppendString(t, " <");
  }
  textAppendString(t, job->senderAddress);
  textAppendString(t, ">");
  textAppendString(t, "\nTo: ");
  appendRecipients(t, job, job->ccCount + job->bccCount, job->toCount);
  if (job->ccCount > 0) {
    textAppendString(t, "\nCc: ");
    appendRecipients(t, job, 0, job->ccCount);
  }
  if (job->subject[0]) {
    if (encoded) {
      textAppendString(t, "\nSubject: =?");
      textAppendString(t, job->charset);
      textAppendString(t, "?Q?");
      textAppendString(t, job->subject);
      textAppendString(t, "?=\n\n");
    } else {
      textAppendString(t, "\nSubject: ");
      textAppendString(t, job->subject);
      textAppendString(t, "\n");
    }
  }
  textAppendString(t, "\n");
  return !t->failed;
}

// Appends n characters of s, or as many as keep the text within kPieceLimit.
static void appendWithin(Text *t, const char *s, size_t n) {
  size_t room = t->length < kPieceLimit ? kPieceLimit - t->length : 0;
  textAppend(t, s, n < room ? n : room);
}

// The first occurrence of name (nameLen > 0) in s[0, n), or NULL. Bounded by n, so
// that searching on through a long piece never reads it to its end again.
static const char *findIn(const char *s, size_t n, const char *name, size_t nameLen) {
  const char *end = s + n;
  while ((size_t)(end - s) >= nameLen) {
    const char *p = (const char *)memchr(s, name[0], (size_t)(end - s) - nameLen + 1);
    if (!p) { return NULL; }
    if (memcmp(p, name, nameLen) == 0) { return p; }
    s = p + 1;
  }
  return NULL;
}

// Writes `in` to `out` with every occurrence of name replaced by value: the search goes
// from left to right and on right after each inserted value, so a value that holds the
// name is put in once per occurrence.
static void replaceAll(const Text *in, const char *name, size_t nameLen, const char *value, Text *out) {
  out->length = 0;
  textAppend(out, "", 0);
  const char *from = in->data;
  const char *end = in->data + in->length;
  const size_t valueLen = strlen(value);
  const char *hit;
  while ((hit = findIn(from, (size_t)(end - from), name, nameLen)) != NULL) {
    appendWithin(out, from, (size_t)(hit - from));
    appendWithin(out, value, valueLen);
    from = hit + nameLen;
  }
  appendWithin(out, from, (size_t)(end - from));
}

// The same for the "$Opt." markers, each running to the next "$" after it, replaced by
// the optional text; from an unended marker on the text stays as it is.
static void replaceMarkers(const Text *in, const char *optional, Text *out) {
  out->length = 0;
  textAppend(out, "", 0);
  const char *from = in->data;
  const char *end = in->data + in->length;
  const size_t optionalLen = strlen(optional);
  const char *hit;
  while ((hit = findIn(from, (size_t)(end - from), "$Opt.", 5)) != NULL) {
    const char *close = (const char *)memchr(hit + 5, '$', (size_t)(end - hit) - 5);
    if (!close) { break; }
    appendWithin(out, from, (size_t)(hit - from));
    appendWithin(out, optional, optionalLen);
    from = close + 1;
  }
  appendWithin(out, from, (size_t)(end - from));
}

static void swapTexts(Text *a, Text *b) {
  Text t = *a;
  *a = *b;
  *b = t;
}

int substitutePiece(const char *piece, const FormTable *table, const FormSettings *settings, Text *out) {
  Text next;
  textInit(&next);
  out->length = 0;
  out->failed = 0;
  textAppend(out, "", 0);
  appendWithin(out, piece, strlen(piece));
  int failed = out->failed;
  for (int i = 0; i <= table->last && !failed; ++i) {
    const FormField *f = &table->fields[i];
    size_t nameLen = strlen(f->name);
    if (nameLen == 0 || !findIn(out->data, out->length, f->name, nameLen)) {
      continue;  // an empty name is skipped
    }
    replaceAll(out, f->name, nameLen, f->value, &next);
    swapTexts(out, &next);
    failed = out->failed;
  }
  if (!failed && settings->optionalGiven && findIn(out->data, out->length, "$Opt.", 5)) {
    replaceMarkers(out, settings->optionalText, &next);
    swapTexts(out, &next);
    failed = out->failed;
  }
  textFree(&next);
  out->failed = failed;
  return !failed;
}

TemplateResult appendTemplate(Text *t, const FormTable *table, const FormSettings *settings) {
  FILE *f = fopen(settings->templatePath, "r");
  if (!f) { return kTemplateUnopened; }
  char line[kTemplatePieceChars + 1];
  Text piece;
  textInit(&piece);
  int failed = 0;
  while (!failed && fgets(line, (int)sizeof(line), f)) {
    if (!substitutePiece(line, table, settings, &piece)) {
      failed = 1;
      break;
    }
    if (piece.data[0] == '.') { textAppend(t, ".", 1); }
    // A value that brought in a line break may start a line with "." as well: it
    // gets its extra "." too, so that no value can end the message early.
    const char *start = piece.data;
    const char *p = piece.data;
    while ((p = strchr(p, '\n')) != NULL) {
      ++p;
      if (*p == '.') {
        textAppend(t, start, (size_t)(p - start));
        textAppend(t, ".", 1);
        start = p;
      }
    }
    textAppend(t, start, piece.length - (size_t)(start - piece.data));
  }
  textFree(&piece);
  fclose(f);
  return failed || t->failed ? kTemplateNoMemory : kTemplateOk;
}

int encodeQuotedPrintable(const Text *in, Text *out) {
  // Every input character becomes at most 3 output characters, a "." at a line
  // start 2, and a soft break adds 3 per at least 24 characters: 4 per input
  // character bounds the whole output, which is written in place.
  textInit(out);
  size_t room = in->length * 4 + 1;
  out->data = (char *)malloc(room);
  if (!out->data) {
    out->failed = 1;
    return 0;
  }
  out->capacity = room;
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned char *text = (const unsigned char *)in->data;
  const size_t n = in->length;
  char *o = out->data;
  size_t column = 0;
  for (size_t i = 0; i < n; ++i) {
    int ch = text[i];
    int prev1 = i >= 1 ? text[i - 1] : -1;
    int prev2 = i >= 2 ? text[i - 2] : -1;
    int next1 = i + 1 < n ? text[i + 1] : -1;
    int next2 = i + 2 < n ? text[i + 2] : -1;
    if (ch >= '!' && ch <= '~' && ch != '=' && ch != '?') {
      *o++ = (char)ch;
      ++column;
      if (ch == '.' && column == 1 && next1 != '.') {
        *o++ = '.';
        ++column;
      }
    } else if (ch == '\n') {
      *o++ = '\r';
      *o++ = '\n';
      column = 0;
    } else if (ch == '\t' || (ch == ' ' && next1 != '\n')) {
      *o++ = (char)ch;
      ++column;
    } else if (ch == '=' && (prev1 == '?' || next1 == '?')) {
      *o++ = (char)ch;
      ++column;
    } else if ((ch == '?' && prev1 == '=') || next1 == '=' || (prev1 == 'Q' && prev2 == '?') ||
               (next1 == 'Q' && next2 == '?')) {
      *o++ = (char)ch;
      ++column;
    } else {
      *o++ = '=';
      *o++ = kHex[ch >> 4];
      *o++ = kHex[ch & 15];
      column += 3;
    }
    if (column >= kQpBreakColumn) {
      *o++ = '=';
      *o++ = '\r';
      *o++ = '\n';
      column = 0;
    }
  }
  *o = '\0';
  out->length = (size_t)(o - out->data);
  return 1;
}

size_t crlfPiece(const Text *text, size_t *pos, char *out, size_t room) {
  const char *s = text->data;
  const size_t n = text->length;
  size_t i = *pos;
  size_t o = 0;
  while (i < n && room - o >= 3) {  // one character gives at most CR LF and a "."
    char ch = s[i++];
    if (ch == '\n') {
      out[o++] = '\r';
      out[o++] = '\n';
    } else if (ch == '\r') {
      out[o++] = '\r';
      out[o++] = '\n';
      if (i < n && s[i] == '\n') {
        ++i;  // CR LF stays one line end
      } else if (i < n && s[i] == '.') {
        out[o++] = '.';
      }
    } else {
      out[o++] = ch;
    }
  }
  *pos = i;
  return o;
}

size_t longestCrlfLine(const Text *text) {
  char piece[1024];
  size_t pos = 0;
  size_t line = 0;
  size_t longest = 0;
  size_t got;
  while ((got = crlfPiece(text, &pos, piece, sizeof(piece))) > 0) {
    for (size_t k = 0; k < got; ++k) {
      if (piece[k] == '\r') {
        continue;  // only ever the first half of a CR LF
      }
      if (piece[k] == '\n') {
        longest = line > longest ? line : longest;
        line = 0;
      } else {
        ++line;
      }
    }
  }
  return line > longest ? line : longest;
}
