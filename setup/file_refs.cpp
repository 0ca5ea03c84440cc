// Group directories, reference resolution and command expansion.
#include "setup/file_refs.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

const char *baseNameOf(const char *path) {
  const char *slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

static int isBase(const char *base, size_t length, const char *name) {
  return length == strlen(name) && strncasecmp(base, name, length) == 0;
}

static int typeFromText(const char *text) {
  static const char *const kTypes[] = {"ROOT", "SUBROOT", "UNINSTALLER", "SHARED", "SATELLITE"};
  for (int i = 0; i < 5; ++i)
    if (strcasecmp(text, kTypes[i]) == 0) return i + 1;
  return -1;
}

// The group's directory with a trailing backslash; 0 when the group has no usable
// base (the caller then keeps the literal text) or the result does not fit.
static int groupDirectory(const RefContext *c, const char *group, char *out, size_t room, int *type, int *literal) {
  *type = kGroupOther;
  *literal = 0;
  char groupPath[kPathSize];
  if (!scriptText(c->script, group, "GroupPath", groupPath, sizeof groupPath)) {
    *literal = 1;
    return 0;
  }
  const char *slash = strchr(groupPath, '\\');
  size_t baseLength = slash ? (size_t)(slash - groupPath) : strlen(groupPath);
  const char *subpath = slash ? slash + 1 : "";
  char base[kPathSize];
  if (isBase(groupPath, baseLength, "ROOT")) {
    snprintf(base, sizeof base, "%s", c->destination);
    *type = subpath[0] ? kGroupSubroot : kGroupRoot;
  } else if (isBase(groupPath, baseLength, "WINDOWS")) {
    snprintf(base, sizeof base, "%s", c->windowsDir);
  } else if (isBase(groupPath, baseLength, "SYSTEM")) {
    snprintf(base, sizeof base, "%s", c->systemDir);
  } else if (baseLength >= 2 && groupPath[1] == ':') {
    snprintf(base, sizeof base, "%.*s", (int)baseLength, groupPath);
  } else {
    *literal = 1;
    return 0;
  }
  char typeText[20];
  if (scriptText(c->script, group, "Type", typeText, sizeof typeText)) {
    int t = typeFromText(typeText);
    if (t > 0) *type = t;
  }
  size_t n = strlen(base);
  const char *joint = n > 0 && base[n - 1] != '\\' && subpath[0] ? "\\" : "";
  size_t subLength = strlen(subpath);
  const char *tail = subLength > 0 && subpath[subLength - 1] != '\\' ? "\\" : "";
  if (!subpath[0]) tail = n > 0 && base[n - 1] != '\\' ? "\\" : "";
  int w = snprintf(out, room, "%s%s%s%s", base, joint, subpath, tail);
  return w >= 0 && (size_t)w < room;
}

size_t resolveReference(const RefContext *c, const char *text, size_t textLength, char *out, size_t room, int *type) {
  if (room) out[0] = '\0';
  *type = kGroupOther;
  // The group name runs up to "::F" (or the whole text for a bare group).
  const char *end = text + textLength;
  const char *mark = nullptr;
  for (const char *p = text; p + 3 <= end; ++p)
    if (p[0] == ':' && p[1] == ':' && p[2] == 'F') {
      mark = p;
      break;
    }
  size_t groupLength = mark ? (size_t)(mark - text) : textLength;
  size_t consumed = groupLength;
  char fileKey[24] = "";
  if (mark) {
    const char *d = mark + 3;
    size_t digits = 0;
    while (d + digits < end && digits < 19 && isdigit((unsigned char)d[digits])) ++digits;
    snprintf(fileKey, sizeof fileKey, "F%.*s", (int)digits, d);
    consumed = groupLength + 3 + digits;
  }
  char group[kPathSize];
  if (groupLength == 0 || groupLength >= sizeof group) return 0;
  memcpy(group, text, groupLength);
  group[groupLength] = '\0';

  char directory[kPathSize];
  int literal = 0;
  if (!groupDirectory(c, group, directory, sizeof directory, type, &literal)) {
    if (!literal || consumed + 1 > room) return 0;
    memcpy(out, text, consumed);
    out[consumed] = '\0';
    return consumed;
  }
  char file[kPathSize] = "";
  if (mark && !scriptText(c->script, group, fileKey, file, sizeof file)) return 0;
  int w = snprintf(out, room, "%s%s", directory, file);
  if (w < 0 || (size_t)w >= room || (size_t)w >= kPathSize) {
    if (room) out[0] = '\0';
    return 0;
  }
  return consumed;
}

// Appends n characters of text to out (length *used of room); 0 when it does not fit.
static int append(char *out, size_t room, size_t *used, const char *text, size_t n) {
  if (*used + n + 1 > room) return 0;
  memcpy(out + *used, text, n);
  *used += n;
  out[*used] = '\0';
  return 1;
}

static void trimRight(char *text) {
  size_t n = strlen(text);
  while (n > 0 && isspace((unsigned char)text[n - 1])) text[--n] = '\0';
}

int expandCommand(const RefContext *c, const char *text, char *program, size_t programRoom, char *args,
                  size_t argsRoom) {
  if (programRoom == 0) return 0;
  program[0] = '\0';
  if (args && argsRoom) args[0] = '\0';
  char *out = program;
  size_t room = programRoom, used = 0;
  int splitDone = 0, sawReference = 0;
  const char *p = text;
  for (;;) {
    const char *mark = strstr(p, "::F");
    if (!mark) break;
    const char *start = mark;
    while (start > p && !isspace((unsigned char)start[-1])) --start;
    if (!append(out, room, &used, p, (size_t)(start - p))) return 0;
    char resolved[kPathSize];
    int type;
    size_t consumed = resolveReference(c, start, strlen(start), resolved, sizeof resolved, &type);
    if (consumed == 0) return 0;
    sawReference = 1;
    if (!append(out, room, &used, resolved, strlen(resolved))) return 0;
    p = start + consumed;
    if (args && !splitDone && program[0]) {
      splitDone = 1;
      trimRight(program);
      while (isspace((unsigned char)*p)) ++p;
      out = args;
      room = argsRoom;
      used = 0;
    }
  }
  if (!append(out, room, &used, p, strlen(p))) return 0;
  if (args && !sawReference) {
    const char *cut = strstr(program, ".exe ");
    const char *upper = strstr(program, ".EXE ");
    if (!cut || (upper && upper < cut)) cut = upper;
    if (cut) {
      const char *rest = cut + 4;
      while (isspace((unsigned char)*rest)) ++rest;
      if (strlen(rest) + 1 > argsRoom) return 0;
      memmove(args, rest, strlen(rest) + 1);
      program[cut + 4 - program] = '\0';
    }
  }
  return 1;
}
