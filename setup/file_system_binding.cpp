// TXSETUP (Windows): the file system table over the Win32 file calls, the script's
// profile reads through GetPrivateProfileStringA, and the file version rule.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "setup/setup_app.h"

static int wIsDirectory(const char *path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
static int wExists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
static int wMakeDirectory(const char *path) { return CreateDirectoryA(path, nullptr) != 0; }
static int wRemoveDirectory(const char *path) { return RemoveDirectoryA(path) != 0; }

static FileHandle fromHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? -1 : (FileHandle)h; }

static FileHandle wOpenRead(const char *path) {
  return fromHandle(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}
static FileHandle wCreateNew(const char *path) {
  return fromHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}
static FileHandle wOpenAppend(const char *path) {
  HANDLE h = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return fromHandle(h);
}
static long long wSize(FileHandle f) {
  LARGE_INTEGER size;
  return GetFileSizeEx((HANDLE)f, &size) ? size.QuadPart : -1;
}
static long wRead(FileHandle f, void *buf, long len) {
  DWORD got = 0;
  return ReadFile((HANDLE)f, buf, (DWORD)len, &got, nullptr) ? (long)got : -1;
}
static long wWrite(FileHandle f, const void *buf, long len) {
  DWORD put = 0;
  return WriteFile((HANDLE)f, buf, (DWORD)len, &put, nullptr) ? (long)put : -1;
}
static int wCopyTime(FileHandle from, FileHandle to) {
  FILETIME written;
  return GetFileTime((HANDLE)from, nullptr, nullptr, &written) && SetFileTime((HANDLE)to, nullptr, nullptr, &written);
}
static void wClose(FileHandle f) { CloseHandle((HANDLE)f); }
static int wRemove(const char *path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}
static int wRename(const char *from, const char *to) { return MoveFileA(from, to) != 0; }

static const FileSystemApi kWin32Files = {
    wIsDirectory, wExists, wMakeDirectory, wRemoveDirectory, wOpenRead, wCreateNew, wOpenAppend,
    wSize,        wRead,   wWrite,         wCopyTime,        wClose,    wRemove,    wRename};

const FileSystemApi *win32FileSystem(void) { return &kWin32Files; }

// A missing key is told from an empty one by a default no script holds.
static int readProfile(void *, const char *path, const char *section, const char *key, char *out, size_t room) {
  static const char kMissing[] = "\x01\x02missing";
  char buffer[1024];
  GetPrivateProfileStringA(section, key, kMissing, buffer, sizeof buffer, path);
  if (strcmp(buffer, kMissing) == 0) {
    if (room) out[0] = '\0';
    return 0;
  }
  snprintf(out, room, "%s", buffer);
  return 1;
}

static const ProfileApi kPrivateProfile = {nullptr, readProfile};

const ProfileApi *privateProfileApi(void) { return &kPrivateProfile; }

long fileVersion(const char *path, char *text, size_t room) {
  if (text && room) snprintf(text, room, "0.0");
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return 0;
  void *block = HeapAlloc(GetProcessHeap(), 0, size);
  if (!block) return 0;
  long packed = 0;
  VS_FIXEDFILEINFO *info = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(path, 0, size, block) && VerQueryValueA(block, "\\", (void **)&info, &length) && info &&
      length >= sizeof *info) {
    unsigned major = HIWORD(info->dwFileVersionMS), minor = LOWORD(info->dwFileVersionMS);
    unsigned release = HIWORD(info->dwFileVersionLS), build = LOWORD(info->dwFileVersionLS);
    packed = (long)(major << 28 | minor << 20 | release << 12 | build);
    if (text && room) snprintf(text, room, "%u.%u", major, minor);
  }
  HeapFree(GetProcessHeap(), 0, block);
  return packed;
}
