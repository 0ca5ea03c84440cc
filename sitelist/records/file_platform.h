// The few file-system calls the keyed store needs, with byte-range locks that
// exclude other handles of the same file (other threads' handles and other
// processes alike). Implemented by file_platform_posix.cpp (native builds) and
// file_platform_windows.cpp (LockFileEx and friends); file_platform.cpp builds
// plat_read and plat_lock on the calls each of them gives.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct PlatFile;

enum { PLAT_OK = 0, PLAT_NOT_FOUND = 1, PLAT_DENIED = 2, PLAT_BUSY = 3, PLAT_FAILED = 4 };

// Opens an existing file for reading (and writing when `write`), or creates it
// when `create` (truncating an existing one). Returns PLAT_* and sets *out.
int plat_open(const char* path, int write, int create, PlatFile** out);
void plat_close(PlatFile* f);
// Reads exactly n bytes at off (PLAT_FAILED on a short read).
int plat_read(PlatFile* f, uint64_t off, void* buf, size_t n);
// Reads up to n bytes at off; *got receives the count.
int plat_read_some(PlatFile* f, uint64_t off, void* buf, size_t n, size_t* got);
int plat_write(PlatFile* f, uint64_t off, const void* buf, size_t n);
int plat_size(PlatFile* f, uint64_t* size);
int plat_truncate(PlatFile* f, uint64_t size);
int plat_sync(PlatFile* f);
// Identity of the open file and of the file now at path: lets a handle notice
// that its name was replaced by another file.
int plat_same_file(PlatFile* f, const char* path);

// Byte-range locks on one byte at `offset` (offsets at or above 2^31 lie beyond
// any data). Waits up to wait_ms (0: try once); PLAT_BUSY when it stays held.
int plat_lock(PlatFile* f, uint64_t offset, int exclusive, unsigned wait_ms);
void plat_unlock(PlatFile* f, uint64_t offset);
// What plat_lock is built on: one attempt (PLAT_BUSY when another handle holds
// the byte), and the pause after the round-th failed attempt (growing with it).
int plat_try_lock(PlatFile* f, uint64_t offset, int exclusive);
void plat_lock_pause(unsigned round);

// Maps the first page of the file and returns the 8-byte counter at `offset`
// (< 512) as memory shared by every process that maps it, so that a change
// can be noticed without a system call. PLAT_FAILED where not offered (the
// store then looks at the file's size instead). Unmapped by plat_close.
int plat_map_counter(PlatFile* f, size_t offset, volatile uint64_t** out);

int plat_exists(const char* path);
int plat_remove(const char* path);
// Replaces `to` by `from` (both closed by the caller).
int plat_rename_replace(const char* from, const char* to);
void plat_sleep_ms(unsigned ms);
uint64_t plat_now_ms(void);
