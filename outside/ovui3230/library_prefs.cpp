// The library's values in the player's preference store (library_prefs.h).
#include "outside/ovui3230/library_prefs.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

const char kPrefsKey[] = "Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences";

int KeyOf(const char *name, char *key, size_t room) {
  int n = snprintf(key, room, "%s\\%s", kPrefsKey, name);
  return n > 0 && (size_t)n < room;
}

}  // namespace

void ReadPreference(const char *name, char *out, size_t room, const char *fallback) {
  char key[256];
  LONG size = (LONG)room;
  if (!KeyOf(name, key, sizeof key) || RegQueryValueA(HKEY_CLASSES_ROOT, key, out, &size) != ERROR_SUCCESS ||
      out[0] == '\0')
    copyBounded(out, room, fallback);
}

int WritePreference(const char *name, const char *value) {
  char key[256];
  if (!KeyOf(name, key, sizeof key)) return 0;
  return RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value, (DWORD)strlen(value)) == ERROR_SUCCESS;
}
