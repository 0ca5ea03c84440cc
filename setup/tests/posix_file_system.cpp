// FileSystemApi over POSIX calls below a root directory.
#include "setup/tests/posix_file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

static char g_root[512];

void posixPath(const char *windowsPath, char *out, size_t room) {
  const char *rest = strlen(windowsPath) >= 2 && windowsPath[1] == ':' ? windowsPath + 2 : windowsPath;
  snprintf(out, room, "%s%s", g_root, rest);
  for (char *p = out + strlen(g_root); *p; ++p)
    if (*p == '\\') *p = '/';
}

#define POSIX(path)  \
  char native[1024]; \
  posixPath(path, native, sizeof native)

static int pIsDirectory(const char *path) {
  POSIX(path);
  struct stat st;
  return stat(native, &st) == 0 && S_ISDIR(st.st_mode);
}
static int pExists(const char *path) {
  POSIX(path);
  struct stat st;
  return stat(native, &st) == 0;
}
static int pMakeDirectory(const char *path) {
  POSIX(path);
  return mkdir(native, 0755) == 0;
}
static int pRemoveDirectory(const char *path) {
  POSIX(path);
  return rmdir(native) == 0;
}
static FileHandle pOpenRead(const char *path) {
  POSIX(path);
  int fd = open(native, O_RDONLY);
  return fd < 0 ? -1 : fd;
}
static FileHandle pCreateNew(const char *path) {
  POSIX(path);
  int fd = open(native, O_WRONLY | O_CREAT | O_EXCL, 0644);
  return fd < 0 ? -1 : fd;
}
static FileHandle pOpenAppend(const char *path) {
  POSIX(path);
  int fd = open(native, O_WRONLY | O_CREAT | O_APPEND, 0644);
  return fd < 0 ? -1 : fd;
}
static long long pSize(FileHandle f) {
  struct stat st;
  return fstat((int)f, &st) == 0 ? (long long)st.st_size : -1;
}
static long pRead(FileHandle f, void *buf, long len) {
  long total = 0;
  while (total < len) {
    ssize_t n = read((int)f, (char *)buf + total, (size_t)(len - total));
    if (n < 0) return -1;
    if (n == 0) break;
    total += n;
  }
  return total;
}
static long pWrite(FileHandle f, const void *buf, long len) {
  long total = 0;
  while (total < len) {
    ssize_t n = write((int)f, (const char *)buf + total, (size_t)(len - total));
    if (n <= 0) return -1;
    total += n;
  }
  return total;
}
static int pCopyTime(FileHandle from, FileHandle to) {
  struct stat st;
  if (fstat((int)from, &st) != 0) return 0;
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  return futimens((int)to, times) == 0;
}
static void pClose(FileHandle f) { close((int)f); }
static int pRemove(const char *path) {
  POSIX(path);
  return unlink(native) == 0 || access(native, F_OK) != 0;
}
static int pRename(const char *from, const char *to) {
  char a[1024], b[1024];
  posixPath(from, a, sizeof a);
  posixPath(to, b, sizeof b);
  if (access(b, F_OK) == 0) return 0;
  return rename(a, b) == 0;
}

static const FileSystemApi kPosix = {pIsDirectory, pExists, pMakeDirectory, pRemoveDirectory, pOpenRead, pCreateNew,
                                     pOpenAppend,  pSize,   pRead,          pWrite,           pCopyTime, pClose,
                                     pRemove,      pRename};

const FileSystemApi *posixFileSystem(const char *root) {
  snprintf(g_root, sizeof g_root, "%s", root);
  return &kPosix;
}
