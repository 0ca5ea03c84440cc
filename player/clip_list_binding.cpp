// The full path of a clip's file name, as the platform resolves it.
#include <windows.h>

#include "player/clip_list.h"

int platformFullPath(const char *path, char *out, size_t room) {
  DWORD n = GetFullPathNameA(path, (DWORD)room, out, nullptr);
  if (n == 0 || n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}
