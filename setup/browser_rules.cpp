// The browser records' walks and the default-browser rules.
#include "setup/browser_rules.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

// A list handed over by another library is walked at most this far, so that a
// damaged (circular) list cannot hang a page.
enum { kMaxRecords = 256 };

int componentsPageApplies(const BrowserRecord *r) { return r && r->customisable && r->configure; }

const BrowserRecord *nextComponentsRecord(const BrowserRecord *head, const BrowserRecord *current) {
  const BrowserRecord *r = current ? current->next : head;
  for (int n = 0; r && n < kMaxRecords; r = r->next, ++n)
    if (componentsPageApplies(r)) return r;
  return nullptr;
}

const BrowserRecord *previousComponentsRecord(const BrowserRecord *head, const BrowserRecord *current) {
  const BrowserRecord *before = nullptr;
  int n = 0;
  for (const BrowserRecord *r = head; r && r != current && n < kMaxRecords; r = r->next, ++n)
    if (componentsPageApplies(r)) before = r;
  return before;
}

int mayBeDefault(const BrowserRecord *r) { return r && r->found && r->configure && r->kind != kBrowserNeverDefault; }

int anyBrowserSelected(const BrowserRecord *head) {
  int n = 0;
  for (const BrowserRecord *r = head; r && n < kMaxRecords; r = r->next, ++n)
    if (r->configure) return 1;
  return 0;
}

int anyDefaultCandidate(const BrowserRecord *head) {
  int n = 0;
  for (const BrowserRecord *r = head; r && n < kMaxRecords; r = r->next, ++n)
    if (mayBeDefault(r)) return 1;
  return 0;
}

size_t handlerProgram(const char *command, char *out, size_t room) {
  if (room == 0) return 0;
  out[0] = '\0';
  if (!command) return 0;
  // A command registered as "\"C:\\...\\browser.exe\" \"%1\"" names the same program
  // as an unquoted one.
  if (*command == '"') ++command;
  size_t length = strlen(command);
  for (const char *p = command; *p; ++p)
    if (strncasecmp(p, ".exe", 4) == 0) {
      length = (size_t)(p - command) + 4;
      break;
    }
  if (length >= room) length = room - 1;
  memcpy(out, command, length);
  out[length] = '\0';
  return length;
}

static int associatedExecutable(const BrowserRecord *r, const ExecutableFinder *finder, char *out, size_t room) {
  if (!finder || !finder->find || room == 0) return 0;
  out[0] = '\0';
  long result = finder->find(finder->context, r->programPath, out, room);
  out[room - 1] = '\0';
  return result > 32 && out[0];
}

const BrowserRecord *chooseDefaultBrowser(const BrowserRecord *head, const char *handler,
                                          const ExecutableFinder *finder) {
  const BrowserRecord *first = nullptr;
  int n = 0;
  for (const BrowserRecord *r = head; r && n < kMaxRecords; r = r->next, ++n) {
    if (!mayBeDefault(r)) continue;
    if (!first) first = r;
    if (!handler || !handler[0]) continue;
    if (strcasecmp(r->programPath, handler) == 0) return r;
    char executable[kBrowserProgramSize];
    if (associatedExecutable(r, finder, executable, sizeof executable) && strcasecmp(executable, handler) == 0)
      return r;
  }
  return first;
}

void defaultBrowserCommand(const BrowserRecord *r, const ExecutableFinder *finder, char *out, size_t room) {
  if (room == 0) return;
  out[0] = '\0';
  if (!r) return;
  char executable[kBrowserProgramSize];
  if (associatedExecutable(r, finder, executable, sizeof executable)) snprintf(out, room, "%s", executable);
  else snprintf(out, room, "%.*s", (int)(sizeof r->programPath - 1), r->programPath);
}

int htmlHandlerDiffers(const char *handler, const char *command, const char *program) {
  if (!handler) handler = "";
  return strcasecmp(handler, command ? command : "") != 0 && strcasecmp(handler, program ? program : "") != 0;
}

int bookmarkForm(const BrowserRecord *r) {
  if (!r) return 0;
  if (r->hasBookmarkA) return 'A';
  if (r->hasBookmarkB) return 'B';
  return 0;
}

const char *bookmarkExpectedName(const BrowserRecord *r) {
  switch (bookmarkForm(r)) {
    case 'A': return r->bookmarkNameA;
    case 'B': return r->bookmarkNameB;
  }
  return nullptr;
}

char *bookmarkPath(BrowserRecord *r) {
  switch (bookmarkForm(r)) {
    case 'A': return r->bookmarkPathA;
    case 'B': return r->bookmarkPathB;
  }
  return nullptr;
}

int bookmarkPathMatches(const char *path, const char *expected) {
  if (!path || !expected) return 0;
  size_t p = strlen(path), e = strlen(expected);
  return e > 0 && p >= e && strcasecmp(path + p - e, expected) == 0;
}

void fileExtension(const char *name, char *out, size_t room) {
  if (room == 0) return;
  const char *dot = name ? strrchr(name, '.') : nullptr;
  snprintf(out, room, "%s", dot ? dot : "");
}

int bookmarkFilter(const char *initialFiles, const char *bookmarkFiles, const char *allFiles, const char *extension,
                   char *out, size_t room, int *selected) {
  int n = snprintf(out, room, "%s (*.INI)|*.INI|%s (*%s)|*%s|%s (*.*)|*.*|", initialFiles, bookmarkFiles, extension,
                   extension, allFiles);
  if (n < 0 || (size_t)n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  char initial[kBrowserTextSize + 2];
  snprintf(initial, sizeof initial, "*%s", extension);
  static const char *const kPatterns[] = {"*.INI", nullptr, "*.*"};
  *selected = 0;
  for (int i = 0; i < 3; ++i) {
    char bookmark[kBrowserTextSize + 2];
    snprintf(bookmark, sizeof bookmark, "*%s", extension);
    const char *pattern = kPatterns[i] ? kPatterns[i] : bookmark;
    if (strcasecmp(pattern, initial) == 0) {
      *selected = i + 1;
      break;
    }
  }
  return 1;
}
