// The library's own values in the player's preference store (HKEY_CLASSES_ROOT,
// "Software\Orvane Labs\Tessavox Player\3.0\Preferences\<name>", each value the
// key's default text), as the shell keeps its own there.
#ifndef OUTSIDE_OVUI3230_LIBRARY_PREFS_H
#define OUTSIDE_OVUI3230_LIBRARY_PREFS_H

#include <stddef.h>

// The text of `name` (cut to `room`), or `fallback` when it is absent or empty.
void ReadPreference(const char *name, char *out, size_t room, const char *fallback);
// Writes `value` as the text of `name`; 0 when the store refused it.
int WritePreference(const char *name, const char *value);

#endif
