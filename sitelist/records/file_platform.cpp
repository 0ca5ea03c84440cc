// The parts of the file calls that do not depend on the platform, built on the
// calls each binding (file_platform_posix.cpp, file_platform_windows.cpp) gives.
#include "sitelist/records/file_platform.h"

int plat_read(PlatFile* f, uint64_t off, void* buf, size_t n) {
  size_t got = 0;
  int rc = plat_read_some(f, off, buf, n, &got);
  if (rc != PLAT_OK) return rc;
  return got == n ? PLAT_OK : PLAT_FAILED;
}

int plat_lock(PlatFile* f, uint64_t offset, int exclusive, unsigned wait_ms) {
  uint64_t deadline = plat_now_ms() + wait_ms;
  for (unsigned round = 0;; round++) {
    int rc = plat_try_lock(f, offset, exclusive);
    if (rc != PLAT_BUSY) return rc;
    if (plat_now_ms() >= deadline) return PLAT_BUSY;
    plat_lock_pause(round);
  }
}
