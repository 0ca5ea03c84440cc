// TXSETUP's script "txsetup.inf": the keys the installer reads with their buffer sizes
// and defaults, read through a ProfileApi (the private-profile calls on Windows).
#ifndef SETUP_SCRIPT_H
#define SETUP_SCRIPT_H

#include <stddef.h>

enum { kPathSize = 260, kScriptTextSize = 320 };

// One profile read: section and key, into out (room bytes, zero-ended).
// Returns 1 when the key is present, 0 when missing (out then holds "").
struct ProfileApi {
  void *context;
  int (*read)(void *context, const char *path, const char *section, const char *key, char *out, size_t room);
};

// A key of the script with the most text kept (terminator included) and its default.
// Numbered keys are written with "%d" in the name; size 0 marks an integer key.
struct ScriptKey {
  const char *section;
  const char *key;
  int size;
  const char *defaultText;
};

extern const ScriptKey kScriptKeys[];
extern const int kScriptKeyCount;

// The table entry for a section and key (numbered keys match their pattern), or NULL.
const ScriptKey *findScriptKey(const char *section, const char *key);

// The script of one run: the profile calls and the script's path.
struct SetupScript {
  const ProfileApi *api;
  char path[kPathSize];
};

// The script path: the directory of the module file name (up to and including its
// last backslash) + "txsetup.inf"; empty when that would not fit 260 characters.
void scriptPathFor(const char *moduleFileName, char *out, size_t room);

// A text key: what is stored, cut to the table's size (and room), or the table's
// default when missing. Keys not in the table (group sections) keep up to room.
// Returns 1 when present.
int scriptText(const SetupScript *s, const char *section, const char *key, char *out, size_t room);
// An integer key: its decimal value, or the default (table or 0) when missing or not a number.
long scriptNumber(const SetupScript *s, const char *section, const char *key);
// A numbered key "<pattern>" with %d = n; 1 when present.
int scriptNumbered(const SetupScript *s, const char *section, const char *pattern, int n, char *out, size_t room);

#endif
