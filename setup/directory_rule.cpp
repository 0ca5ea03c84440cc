// The directory rule.
#include "setup/directory_rule.h"

#include <stdio.h>
#include <string.h>

int directoryPathWellFormed(const char *path) { return strlen(path) > 2 && path[1] == ':' && path[2] == '\\'; }

int checkDirectory(const FileSystemApi *fs, const char *path, const DirectoryObserver *observer, char (*prefixes)[260],
                   int maxPrefixes, int *prefixCount) {
  if (prefixCount) *prefixCount = 0;
  if (!directoryPathWellFormed(path)) return 0;
  char work[260];
  size_t n = strlen(path);
  if (n + 1 > sizeof work) return 0;
  memcpy(work, path, n + 1);
  while (n > 3 && work[n - 1] == '\\') work[--n] = '\0';
  for (size_t i = 3; i <= n; ++i) {
    if (work[i] != '\\' && work[i] != '\0') continue;
    char saved = work[i];
    work[i] = '\0';
    if (i > 3 && work[i - 1] != '\\') {
      if (fs->isDirectory(work)) {
        // accepted as it is
      } else if (fs->exists(work)) {
        return 0;
      } else {
        if (!fs->makeDirectory(work)) return 0;
        if (observer) observer->created(observer->context, work);
      }
    }
    work[i] = saved;
  }
  if (prefixes && prefixCount) {
    int count = 0;
    for (size_t i = n; i > 3 && count < maxPrefixes; --i) {
      if (i == n || work[i] == '\\') {
        if (i > 3 && work[i - 1] != '\\') {
          snprintf(prefixes[count], 260, "%.*s", (int)i, work);
          ++count;
        }
      }
    }
    *prefixCount = count;
  }
  char probe[272];
  snprintf(probe, sizeof probe, "%s\\dir.tmp", work);
  FileHandle f = fs->openAppend(probe);
  if (f == -1) return 0;
  long wrote = fs->write(f, "1", 1);
  fs->close(f);
  fs->remove(probe);
  return wrote == 1;
}
