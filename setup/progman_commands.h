// The program group of an installation, without the platform: the group and items
// the script asks for, the command texts of Program Manager's DDE interface, and the
// reading of its answers (the group list, a group's item list).
#ifndef SETUP_PROGMAN_COMMANDS_H
#define SETUP_PROGMAN_COMMANDS_H

#include <stddef.h>

#include "setup/file_refs.h"
#include "setup/script.h"

enum {
  kItemTitleMax = 40,     // characters of an item title, in the group, the log and a link name
  kGroupNameSize = 100,   // [Progman Group] Name
  kDdeCommandSize = 522,  // one execute text with its terminator
  kDdeAnswerSize = 2000,  // the most of a request's answer that is read
  kProgmanItemsMax = 64,  // items one plan carries
};

struct ProgmanItem {
  char title[kItemTitleMax + 1];
  char program[kPathSize];
  char arguments[kPathSize];
};

// What the script asks for: the group name and the items that expanded.
struct ProgmanPlan {
  char group[kGroupNameSize];
  int count;
  ProgmanItem items[kProgmanItemsMax];
  int skipped;  // items without a comma, or whose command did not expand
};

// Replaces "_PRODUCT_NAME_" in raw by productName and cuts the result to 40
// characters (and room). The title of every item.
void progmanItemTitle(const char *raw, const char *productName, char *out, size_t room);

// Reads [Progman Group] Name and Item1, Item2, ... ("<title>,<command>", split at
// the first comma; the command expanded into program and arguments). Returns 1 when
// the script names a group, 0 when it names none (nothing is to be made).
int readProgmanPlan(const RefContext *c, const char *productName, ProgmanPlan *plan);

// The uninstaller item's title: [Uninstaller] ItemName with the product name put
// in; without it the product name, a blank, "32-bit " when that text plus the word
// still fits 32 characters, and the word ("Uninstaller"). Cut to 40.
void uninstallerItemTitle(const SetupScript *s, const char *productName, const char *word, char *out, size_t room);

// Execute texts. Each returns 1 when the whole command fit room (otherwise out is
// emptied and nothing should be sent). A name or title that Program Manager's parser
// would split (a comma, parenthesis, bracket, or blanks at either end) is sent in
// double quotation marks; a double quotation mark in it, which no command can carry,
// is left out.
int progmanCreateGroup(const char *group, char *out, size_t room);  // [CreateGroup(g)]
int progmanShowGroup(const char *group, char *out, size_t room);    // [ShowGroup(g,1)]
int progmanReplaceItem(const char *title, char *out, size_t room);  // [ReplaceItem(t)]
// [AddItem(program arguments,title)]: the program in double quotation marks when it
// holds a blank.
int progmanAddItem(const char *program, const char *arguments, const char *title, char *out, size_t room);

// A title or group name as a file name of the shell: each character that no file
// name may hold (\ / : * ? " < > | and control characters) becomes "_".
void progmanFileName(const char *name, char *out, size_t room);

// Answers. Comparisons ignore case.
// The group list ("GROUPS", one name a line ending in CR LF) names group. An empty
// list counts as naming every group (a Program Manager that does not list them).
int progmanGroupListed(const char *groups, const char *group);
// A group's own answer lists an item of this title ("title" in double quotation
// marks after a line end). A group name of 256 characters or more gives 0.
int progmanItemListed(const char *answer, const char *group, const char *title);
// The full path of the program fileName in a group's answer: from the start of that
// path (after the white space before it, or at the drive letter before a ":") to the
// end of "\fileName". Returns 1 and the path in out, or 0 with out emptied.
int progmanFindProgram(const char *answer, const char *fileName, char *out, size_t room);

#endif
