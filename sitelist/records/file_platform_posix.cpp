// POSIX file calls of the keyed store. Locks are open-file-description locks
// (F_OFD_SETLK), so two handles of one process exclude each other like two
// processes do, and closing one handle leaves the other's locks alone.
#include "sitelist/records/file_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

struct PlatFile {
  int fd;
  void* map;  // first page, when mapped
};

static int map_errno(int e) {
  if (e == ENOENT || e == ENOTDIR) return PLAT_NOT_FOUND;
  if (e == EACCES || e == EPERM || e == EROFS || e == EISDIR) return PLAT_DENIED;
  return PLAT_FAILED;
}

int plat_open(const char* path, int write, int create, PlatFile** out) {
  *out = nullptr;
  int flags = (write || create) ? O_RDWR : O_RDONLY;
  if (create) flags |= O_CREAT | O_TRUNC;
  int fd = open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) return map_errno(errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return PLAT_DENIED;
  }
  PlatFile* f = (PlatFile*)malloc(sizeof(PlatFile));
  if (!f) {
    close(fd);
    return PLAT_FAILED;
  }
  f->fd = fd;
  f->map = nullptr;
  *out = f;
  return PLAT_OK;
}

void plat_close(PlatFile* f) {
  if (!f) return;
  if (f->map) munmap(f->map, 4096);
  close(f->fd);
  free(f);
}

int plat_read_some(PlatFile* f, uint64_t off, void* buf, size_t n, size_t* got) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = pread(f->fd, (char*)buf + done, n - done, (off_t)(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      *got = done;
      return PLAT_FAILED;
    }
    if (r == 0) break;
    done += (size_t)r;
  }
  *got = done;
  return PLAT_OK;
}

int plat_write(PlatFile* f, uint64_t off, const void* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = pwrite(f->fd, (const char*)buf + done, n - done, (off_t)(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return PLAT_FAILED;
    }
    done += (size_t)r;
  }
  return PLAT_OK;
}

// The end of the file by lseek: lighter than fstat, and reads and writes
// never use the file offset.
int plat_size(PlatFile* f, uint64_t* size) {
  off_t end = lseek(f->fd, 0, SEEK_END);
  if (end < 0) return PLAT_FAILED;
  *size = (uint64_t)end;
  return PLAT_OK;
}

int plat_truncate(PlatFile* f, uint64_t size) { return ftruncate(f->fd, (off_t)size) == 0 ? PLAT_OK : PLAT_FAILED; }

int plat_sync(PlatFile* f) { return fdatasync(f->fd) == 0 ? PLAT_OK : PLAT_FAILED; }

int plat_same_file(PlatFile* f, const char* path) {
  struct stat a, b;
  if (fstat(f->fd, &a) != 0 || stat(path, &b) != 0) return 0;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

static int set_lock(PlatFile* f, uint64_t offset, int type) {
  struct flock fl = {};
  fl.l_type = (short)type;
  fl.l_whence = SEEK_SET;
  fl.l_start = (off_t)offset;
  fl.l_len = 1;
  fl.l_pid = 0;
  if (fcntl(f->fd, F_OFD_SETLK, &fl) == 0) return PLAT_OK;
  if (errno == EAGAIN || errno == EACCES || errno == EINTR) return PLAT_BUSY;
  return PLAT_FAILED;
}

int plat_try_lock(PlatFile* f, uint64_t offset, int exclusive) {
  return set_lock(f, offset, exclusive ? F_WRLCK : F_RDLCK);
}

// 50 microseconds, doubling up to 6.4 milliseconds.
void plat_lock_pause(unsigned round) { usleep(50u << (round < 7 ? round : 7)); }

void plat_unlock(PlatFile* f, uint64_t offset) { set_lock(f, offset, F_UNLCK); }

int plat_map_counter(PlatFile* f, size_t offset, volatile uint64_t** out) {
  *out = nullptr;
  if (offset > 512 - 8 || offset % 8) return PLAT_FAILED;
  if (!f->map) {
    void* m = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, f->fd, 0);
    if (m == MAP_FAILED) return PLAT_FAILED;
    f->map = m;
  }
  *out = (volatile uint64_t*)((char*)f->map + offset);
  return PLAT_OK;
}

int plat_exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

int plat_remove(const char* path) {
  if (unlink(path) == 0) return PLAT_OK;
  return map_errno(errno);
}

int plat_rename_replace(const char* from, const char* to) { return rename(from, to) == 0 ? PLAT_OK : map_errno(errno); }

void plat_sleep_ms(unsigned ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = (long)(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

uint64_t plat_now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
}
