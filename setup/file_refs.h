// File references "<group>::F<n>" of the script, the group directories behind them
// and the expansion of command lines that hold references among literal text.
#ifndef SETUP_FILE_REFS_H
#define SETUP_FILE_REFS_H

#include <stddef.h>

#include "setup/script.h"

// Group type codes: what kind of directory a group installs into.
enum GroupType {
  kGroupOther = 0,
  kGroupRoot = 1,
  kGroupSubroot = 2,
  kGroupUninstaller = 3,
  kGroupShared = 4,
  kGroupSatellite = 5,
};

// What references resolve against: the script and the three named bases.
struct RefContext {
  const SetupScript *script;
  const char *destination;  // the wizard's destination directory
  const char *windowsDir;
  const char *systemDir;
};

// Resolves the reference at the start of `text` (up to textLength characters) into out.
// Returns the characters of text it consumed, 0 on failure (out emptied): the result
// would not fit room, or the group has no such F<n>. *type receives the group's type.
size_t resolveReference(const RefContext *c, const char *text, size_t textLength, char *out, size_t room, int *type);

// Expands every reference of a command line. With args, the text after the first
// reference that gave a non-empty program goes to args (blanks trimmed at the joint);
// without references the split is after the first ".exe " or ".EXE ". Returns 1 on
// success, 0 when a reference fails or a result does not fit.
int expandCommand(const RefContext *c, const char *text, char *program, size_t programRoom, char *args,
                  size_t argsRoom);

// The file-name part of a path (after its last backslash).
const char *baseNameOf(const char *path);

#endif
