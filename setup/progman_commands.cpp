// The program group's plan from the script, Program Manager's command texts and the
// reading of its answers.
#include "setup/progman_commands.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"

static const char kToken[] = "_PRODUCT_NAME_";

void progmanItemTitle(const char *raw, const char *productName, char *out, size_t room) {
  if (room == 0) return;
  size_t limit = room - 1 < (size_t)kItemTitleMax ? room - 1 : (size_t)kItemTitleMax;
  size_t used = 0, tokenLength = strlen(kToken);
  while (*raw && used < limit) {
    if (strncmp(raw, kToken, tokenLength) == 0) {
      for (const char *n = productName; *n && used < limit; ++n) out[used++] = *n;
      raw += tokenLength;
    } else {
      out[used++] = *raw++;
    }
  }
  out[used] = '\0';
}

int readProgmanPlan(const RefContext *c, const char *productName, ProgmanPlan *plan) {
  plan->count = plan->skipped = 0;
  if (!scriptText(c->script, "Progman Group", "Name", plan->group, sizeof plan->group) || !plan->group[0]) return 0;
  char value[100];
  for (int n = 1; scriptNumbered(c->script, "Progman Group", "Item%d", n, value, sizeof value); ++n) {
    char *comma = strchr(value, ',');
    if (!comma || plan->count == kProgmanItemsMax) {
      ++plan->skipped;
      continue;
    }
    *comma = '\0';
    ProgmanItem *item = &plan->items[plan->count];
    if (!expandCommand(c, comma + 1, item->program, sizeof item->program, item->arguments, sizeof item->arguments) ||
        !item->program[0]) {
      ++plan->skipped;
      continue;
    }
    progmanItemTitle(value, productName, item->title, sizeof item->title);
    ++plan->count;
  }
  return 1;
}

void uninstallerItemTitle(const SetupScript *s, const char *productName, const char *word, char *out, size_t room) {
  char raw[256];
  if (scriptText(s, "Uninstaller", "ItemName", raw, sizeof raw) && raw[0]) {
    progmanItemTitle(raw, productName, out, room);
    return;
  }
  char text[256];
  snprintf(text, sizeof text, "%s ", productName);
  size_t n = strlen(text);
  snprintf(text + n, sizeof text - n, "%s%s", n + strlen(word) <= 32 ? "32-bit " : "", word);
  // The title is made of the product name, not of the token: nothing to put in.
  progmanItemTitle(text, "", out, room);
}

// --- command texts -------------------------------------------------------------

// Appends text to out (room) at *used; 0 when it does not fit.
static int append(char *out, size_t room, size_t *used, const char *text, size_t length) {
  if (*used + length + 1 > room) return 0;
  memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
  return 1;
}

// Appends a name or title as one argument of a command.
static int appendArgument(char *out, size_t room, size_t *used, const char *text) {
  size_t n = strlen(text);
  int quote = n > 0 && (text[0] == ' ' || text[n - 1] == ' ');
  for (const char *p = text; *p && !quote; ++p) quote = strchr(",()[]", *p) != nullptr;
  if (quote && !append(out, room, used, "\"", 1)) return 0;
  for (const char *p = text; *p; ++p)
    if (*p != '"' && !append(out, room, used, p, 1)) return 0;
  return !quote || append(out, room, used, "\"", 1);
}

static int finish(int ok, char *out, size_t room) {
  if (!ok && room) out[0] = '\0';
  return ok;
}

static int command(const char *name, const char *argument, const char *tail, char *out, size_t room) {
  if (room == 0) return 0;
  size_t used = 0;
  out[0] = '\0';
  int ok = append(out, room, &used, "[", 1) && append(out, room, &used, name, strlen(name)) &&
           append(out, room, &used, "(", 1) && appendArgument(out, room, &used, argument) &&
           append(out, room, &used, tail, strlen(tail)) && append(out, room, &used, ")]", 2);
  return finish(ok, out, room);
}

int progmanCreateGroup(const char *group, char *out, size_t room) {
  return command("CreateGroup", group, "", out, room);
}
int progmanShowGroup(const char *group, char *out, size_t room) { return command("ShowGroup", group, ",1", out, room); }
int progmanReplaceItem(const char *title, char *out, size_t room) {
  return command("ReplaceItem", title, "", out, room);
}

int progmanAddItem(const char *program, const char *arguments, const char *title, char *out, size_t room) {
  if (room == 0) return 0;
  size_t used = 0;
  out[0] = '\0';
  int blank = strchr(program, ' ') != nullptr;
  int ok = append(out, room, &used, "[AddItem(", 9) && (!blank || append(out, room, &used, "\"", 1)) &&
           append(out, room, &used, program, strlen(program)) && (!blank || append(out, room, &used, "\"", 1)) &&
           append(out, room, &used, " ", 1) && append(out, room, &used, arguments, strlen(arguments)) &&
           append(out, room, &used, ",", 1) && appendArgument(out, room, &used, title) &&
           append(out, room, &used, ")]", 2);
  return finish(ok, out, room);
}

void progmanFileName(const char *name, char *out, size_t room) {
  copyBounded(out, room, name);
  for (char *p = out; *p; ++p)
    if ((unsigned char)*p < 0x20 || strchr("\\/:*?\"<>|", *p)) *p = '_';
}

// --- answers -------------------------------------------------------------------

static void upperCopy(const char *in, char *out, size_t room) {
  copyBounded(out, room, in);
  for (char *p = out; *p; ++p) *p = (char)toupper((unsigned char)*p);
}

int progmanGroupListed(const char *groups, const char *group) {
  if (!groups[0]) return 1;
  char list[kDdeAnswerSize + 1], wanted[kGroupNameSize + 4];
  upperCopy(groups, list, sizeof list);
  upperCopy(group, wanted, sizeof wanted);
  size_t n = strlen(wanted);  // a name of the script is shorter than 100 characters
  copyBounded(wanted + n, sizeof wanted - n, "\r\n");
  // A whole line: "TEST" is not "MY TEST".
  for (const char *at = strstr(list, wanted); at; at = strstr(at + 1, wanted))
    if (at == list || at[-1] == '\n') return 1;
  return 0;
}

int progmanItemListed(const char *answer, const char *group, const char *title) {
  if (strlen(group) >= 256) return 0;
  char list[kDdeAnswerSize + 1], wanted[kItemTitleMax + 8];
  upperCopy(answer, list, sizeof list);
  char upper[kItemTitleMax + 1];  // titles are cut to 40 characters
  upperCopy(title, upper, sizeof upper);
  snprintf(wanted, sizeof wanted, "\r\n\"%s\"", upper);
  return strstr(list, wanted) != nullptr;
}

int progmanFindProgram(const char *answer, const char *fileName, char *out, size_t room) {
  if (room) out[0] = '\0';
  if (!fileName[0] || room == 0) return 0;
  char list[kDdeAnswerSize + 1], wanted[kPathSize + 2];
  upperCopy(answer, list, sizeof list);
  wanted[0] = '\\';
  upperCopy(fileName, wanted + 1, sizeof wanted - 1);
  const char *at = strstr(list, wanted);
  if (!at) return 0;
  // Back to the start of the path: a drive letter before the nearest ":" of this
  // field wins over blanks (a path may hold them: "C:\Program Files\..."), then the
  // white space before the path, then the start of the field.
  const char *fieldStart = list, *afterBlank = nullptr, *drive = nullptr;
  for (const char *p = at; p > list; --p) {
    char before = p[-1];
    if (before == '"' || before == ',' || before == '\n' || before == '\r') {
      fieldStart = p;
      break;
    }
    if (!afterBlank && isspace((unsigned char)before)) afterBlank = p;
    if (before == ':' && p - 1 > list && !drive) {
      drive = p - 2;
      break;
    }
  }
  const char *start = drive ? drive : afterBlank ? afterBlank : fieldStart;
  size_t length = (size_t)(at - start) + strlen(wanted);
  if (length + 1 > room) return 0;
  // The path as Program Manager wrote it, not upper-cased.
  memcpy(out, answer + (start - list), length);
  out[length] = '\0';
  return 1;
}
