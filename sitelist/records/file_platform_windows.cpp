// Windows file calls of the keyed store: CreateFileA sharing read and write,
// positioned ReadFile/WriteFile, LockFileEx byte-range locks (per handle, so
// two handles of one process exclude each other like two processes do).
#include "sitelist/records/file_platform.h"

#include <windows.h>

#include <stdlib.h>

struct PlatFile {
  HANDLE h;
};

static int map_error(DWORD e) {
  if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME) return PLAT_NOT_FOUND;
  if (e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION) return PLAT_BUSY;
  if (e == ERROR_ACCESS_DENIED || e == ERROR_WRITE_PROTECT) return PLAT_DENIED;
  return PLAT_FAILED;
}

int plat_open(const char* path, int write, int create, PlatFile** out) {
  *out = nullptr;
  DWORD access = GENERIC_READ | ((write || create) ? GENERIC_WRITE : 0);
  HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return map_error(GetLastError());
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return PLAT_DENIED;
  }
  PlatFile* f = (PlatFile*)malloc(sizeof(PlatFile));
  if (!f) {
    CloseHandle(h);
    return PLAT_FAILED;
  }
  f->h = h;
  *out = f;
  return PLAT_OK;
}

void plat_close(PlatFile* f) {
  if (!f) return;
  CloseHandle(f->h);
  free(f);
}

static OVERLAPPED at(uint64_t off) {
  OVERLAPPED ov = {};
  ov.Offset = (DWORD)(off & 0xFFFFFFFFu);
  ov.OffsetHigh = (DWORD)(off >> 32);
  return ov;
}

int plat_read_some(PlatFile* f, uint64_t off, void* buf, size_t n, size_t* got) {
  size_t done = 0;
  while (done < n) {
    DWORD chunk = (DWORD)((n - done) > (1u << 30) ? (1u << 30) : (n - done));
    OVERLAPPED ov = at(off + done);
    DWORD r = 0;
    if (!ReadFile(f->h, (char*)buf + done, chunk, &r, &ov)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *got = done;
      return PLAT_FAILED;
    }
    if (r == 0) break;
    done += r;
  }
  *got = done;
  return PLAT_OK;
}

int plat_write(PlatFile* f, uint64_t off, const void* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    DWORD chunk = (DWORD)((n - done) > (1u << 30) ? (1u << 30) : (n - done));
    OVERLAPPED ov = at(off + done);
    DWORD w = 0;
    if (!WriteFile(f->h, (const char*)buf + done, chunk, &w, &ov) || w == 0) return PLAT_FAILED;
    done += w;
  }
  return PLAT_OK;
}

int plat_size(PlatFile* f, uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(f->h, &li)) return PLAT_FAILED;
  *size = (uint64_t)li.QuadPart;
  return PLAT_OK;
}

int plat_truncate(PlatFile* f, uint64_t size) {
  LARGE_INTEGER li;
  li.QuadPart = (LONGLONG)size;
  if (!SetFilePointerEx(f->h, li, nullptr, FILE_BEGIN)) return PLAT_FAILED;
  return SetEndOfFile(f->h) ? PLAT_OK : PLAT_FAILED;
}

int plat_sync(PlatFile* f) { return FlushFileBuffers(f->h) ? PLAT_OK : PLAT_FAILED; }

int plat_same_file(PlatFile* f, const char* path) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (!GetFileInformationByHandle(f->h, &a)) return 0;
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BOOL ok = GetFileInformationByHandle(h, &b);
  CloseHandle(h);
  return ok && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

int plat_try_lock(PlatFile* f, uint64_t offset, int exclusive) {
  OVERLAPPED ov = at(offset);
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (LockFileEx(f->h, flags, 0, 1, 0, &ov)) return PLAT_OK;
  DWORD e = GetLastError();
  if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return PLAT_BUSY;
  return PLAT_FAILED;
}

// 0 milliseconds (give up the time slice), then 1, 2, 3 and 4.
void plat_lock_pause(unsigned round) { Sleep(round < 4 ? round : 4); }

void plat_unlock(PlatFile* f, uint64_t offset) {
  OVERLAPPED ov = at(offset);
  UnlockFileEx(f->h, 0, 1, 0, &ov);
}

// Not offered: a mapped view would forbid cutting a torn tail off the file.
int plat_map_counter(PlatFile*, size_t, volatile uint64_t** out) {
  *out = nullptr;
  return PLAT_FAILED;
}

int plat_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int plat_remove(const char* path) {
  if (DeleteFileA(path)) return PLAT_OK;
  return map_error(GetLastError());
}

int plat_rename_replace(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return PLAT_OK;
  return map_error(GetLastError());
}

void plat_sleep_ms(unsigned ms) { Sleep(ms); }

uint64_t plat_now_ms(void) { return (uint64_t)GetTickCount64(); }
