// The file system as the installer's portable code reaches it: a small function
// table over Windows paths ("C:\dir\file"), bound to the Win32 calls in
// file_system_binding.cpp (and, for the native tests and benchmark, to POSIX calls
// below a root directory in tests/posix_file_system.cpp).
#ifndef SETUP_FILE_SYSTEM_H
#define SETUP_FILE_SYSTEM_H

#include <stddef.h>
#include <stdint.h>

typedef intptr_t FileHandle;  // -1: none

struct FileSystemApi {
  int (*isDirectory)(const char *path);
  int (*exists)(const char *path);                         // a file or a directory
  int (*makeDirectory)(const char *path);                  // 1 on success
  int (*removeDirectory)(const char *path);                // 1 when gone (fails when not empty)
  FileHandle (*openRead)(const char *path);                // read-only, others may not write
  FileHandle (*createNew)(const char *path);               // write-only, exclusive, fails if it exists
  FileHandle (*openAppend)(const char *path);              // append, created when missing
  long long (*size)(FileHandle f);                         // -1 on failure
  long (*read)(FileHandle f, void *buf, long len);         // bytes read, -1 on error
  long (*write)(FileHandle f, const void *buf, long len);  // bytes written, -1 on error
  int (*copyTime)(FileHandle from, FileHandle to);         // modification time; 1 on success
  void (*close)(FileHandle f);
  int (*remove)(const char *path);                  // makes it writable first; 1 when gone
  int (*rename)(const char *from, const char *to);  // to must not exist; 1 on success
};

#endif
