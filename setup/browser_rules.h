// The installer's rules over the browser library's records: which records the
// browser pages show, the walk of the components pages, the choice of the default
// browser with the find-executable rule, the HTML handler comparison, and the
// bookmark checks and file filters of the components page. No Windows header: the
// platform's find-executable call reaches it through ExecutableFinder.
#ifndef SETUP_BROWSER_RULES_H
#define SETUP_BROWSER_RULES_H

#include <stddef.h>

#include "setup/browser_record.h"

// The platform's find-executable call: the program associated with a file. Returns
// the platform's result (above 32 when out holds the executable's path).
struct ExecutableFinder {
  void *context;
  long (*find)(void *context, const char *file, char *out, size_t room);
};

// The components page applies: customisable and selected (configure set).
int componentsPageApplies(const BrowserRecord *r);
// The record after current (from the head when current is NULL) that gets a
// components page, or NULL past the end.
const BrowserRecord *nextComponentsRecord(const BrowserRecord *head, const BrowserRecord *current);
// The record before current (the last one when current is NULL) that gets a
// components page, or NULL before the first.
const BrowserRecord *previousComponentsRecord(const BrowserRecord *head, const BrowserRecord *current);

// May be offered as the default browser: found, selected, not of kind 14.
int mayBeDefault(const BrowserRecord *r);
// 1 when any record of the list is selected.
int anyBrowserSelected(const BrowserRecord *head);
// 1 when any record of the list may be the default.
int anyDefaultCandidate(const BrowserRecord *head);

// The program an HTML handler command starts: the text up to and including the
// first ".exe" (either case), without a leading quotation mark; the whole text
// without one. Returns the length written.
size_t handlerProgram(const char *command, char *out, size_t room);

// The chosen default: the first candidate whose program path equals the handler
// (case-insensitively) or whose associated executable does; else the first
// candidate; NULL without one.
const BrowserRecord *chooseDefaultBrowser(const BrowserRecord *head, const char *handler,
                                          const ExecutableFinder *finder);
// The command registered for a default browser: its associated executable when the
// find-executable call succeeds, else its program path.
void defaultBrowserCommand(const BrowserRecord *r, const ExecutableFinder *finder, char *out, size_t room);
// 1 when the current handler differs (case-insensitively) from both the command and
// the program path, so that the browser has to be registered as the HTML handler.
int htmlHandlerDiffers(const char *handler, const char *command, const char *program);

// The bookmark form a components page offers: 'A', 'B' (A wins) or 0 for none.
int bookmarkForm(const BrowserRecord *r);
// The expected file name and the path of that form (NULL without a form).
const char *bookmarkExpectedName(const BrowserRecord *r);
char *bookmarkPath(BrowserRecord *r);
// 1 when path ends (case-insensitively) with the expected file name.
int bookmarkPathMatches(const char *path, const char *expected);
// The extension of a file name from its last '.' (empty without one).
void fileExtension(const char *name, char *out, size_t room);

// The open-file filter of the bookmark Browse: "<initial> (*.INI)|*.INI|<bookmark>
// (*<ext>)|*<ext>|<all> (*.*)|*.*|" with its '|' kept (the caller turns them into
// the zeros the dialog wants), and the 1-based index of the filter whose pattern
// equals "*<ext>", 0 when none does. Returns 0 when it does not fit.
int bookmarkFilter(const char *initialFiles, const char *bookmarkFiles, const char *allFiles, const char *extension,
                   char *out, size_t room, int *selected);

#endif
