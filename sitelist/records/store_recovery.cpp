// Recovery: settling a file left by a transaction over several files that was
// interrupted during its commit (its pending batch is completed or discarded
// as the deciding file, the coordinator, shows), and rebuilding damaged keys.
#include "sitelist/records/store_internal.h"

#include <new>
#include <string>
#include <vector>

// Whether the coordinator file at path holds the decision batch of txid.
// 1 yes, 0 no, or a negative error.
static int coordinator_decided(const std::string& path, uint64_t txid) {
  PlatFile* pf;
  int rc = plat_open(path.c_str(), 0, 0, &pf);
  if (rc == PLAT_NOT_FOUND) return 0;
  if (rc != PLAT_OK) return -KS_ERR_IO;
  if (plat_lock(pf, kLockData, 0, kCoordinatorWaitMs) != PLAT_OK) {
    plat_close(pf);
    return -KS_ERR_LOCKED;
  }
  int result = 0;
  uint8_t h[kHeaderSize];
  uint64_t size;
  if (read_header(pf, h, &size) == KS_OK) {
    uint32_t nrecent = get_u32(h + H_NRECENT);
    for (uint32_t i = 0; i < nrecent && i < kRecentTx; i++)
      if (get_u64(h + H_RECENT + 8 * i) == txid) result = 1;
    uint64_t pos = get_u64(h + H_LOG);
    std::vector<uint8_t> b;
    while (!result && pos + kBatchHead <= size) {
      uint8_t head[kBatchHead];
      if (plat_read(pf, pos, head, kBatchHead) != PLAT_OK) break;
      size_t need;
      if (check_batch(head, kBatchHead, &need) < 0 || pos + need > size) break;
      b.resize(need);
      if (plat_read(pf, pos, b.data(), need) != PLAT_OK || check_batch(b.data(), need, &need) <= 0) break;
      if (b[16] == B_NORMAL && get_u64(b.data() + 8) == txid) result = 1;
      pos += need;
    }
  }
  plat_unlock(pf, kLockData);
  plat_close(pf);
  return result;
}

int resolve_pending(KsFile* f) {
  if (!f->has_pending) return KS_OK;
  int decided = coordinator_decided(dir_of(f->path) + f->pending_coord, f->pending_tx);
  if (decided < 0) return -decided;
  int rc = write_batch(f, decided ? B_COMMIT : B_ABORT, f->pending_tx, std::string());
  if (rc != KS_OK) return rc;
  if (decided)
    for (const Op& op : f->pending_ops)
      if (apply_op(f, op) != KS_OK) return KS_ERR_INVALID;
  f->has_pending = false;
  f->pending_ops.clear();
  return KS_OK;
}

// ---- Recover and rebuild -----------------------------------------------------------

int keyed_recover(KsFile* f, uint64_t deadline) {
  uint64_t now = plat_now_ms();
  int rc = lock_data(f, 1, deadline > now ? (unsigned)(deadline - now) : 0);
  if (rc == KS_OK) {
    rc = sync_log(f);
    if (rc == KS_OK) rc = resolve_pending(f);
    plat_unlock(f->pf, kLockData);
  }
  return rc;
}

int ks_recover(const KsFileDecl* d, const char* name, unsigned wait_ms) {
  KsFile* f = nullptr;
  uint64_t deadline = plat_now_ms() + wait_ms;
  int rc;
  for (;;) {
    rc = open_impl(d, name, KS_SHARED, 1, &f);
    if (rc != KS_ERR_LOCKED || plat_now_ms() >= deadline) break;
    plat_sleep_ms(50);
  }
  if (rc != KS_OK) return rc;
  rc = f->kind->recover(f, deadline);
  ks_close(f);
  return rc;
}

int ks_rebuild(const KsFileDecl* d, const char* name) {
  if (ks_check_decl(d) != KS_OK || d->kind != KS_KEYED) return KS_ERR_INVALID;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  KsFile* f = new (std::nothrow) KsFile();
  if (!f) return KS_ERR_NO_MEMORY;
  f->d = d;
  f->kind = &kKeyedFileOps;
  f->path = path;
  int rc = open_exclusive(path, &f->pf);
  if (rc == KS_OK) rc = lock_data(f, 1, kOpWaitMs);
  if (rc == KS_OK) {
    rc = load_snapshot(f, 0);
    if (rc == KS_OK) rc = sync_log(f);
    if (rc == KS_OK) rc = resolve_pending(f);
    if (rc == KS_OK) rc = compact(f);
    if (f->pf) plat_unlock(f->pf, kLockData);
  }
  free_file(f);
  return rc;
}
