// The write-ahead log at the end of a .KSF file: every change is appended as a
// checksummed batch (a normal batch; or, for a transaction over several files,
// a pending batch settled later by a commit or abort mark). Handles take in the
// batches others appended before they read or write, under the data lock.
#include "sitelist/records/store_internal.h"

#include <string.h>

static const char kBatchMagic[4] = {'K', 'S', 'B', '1'};

void count_change(KsFile* f) {
  if (f->changes) f->seen_changes = __atomic_add_fetch(f->changes, 1, __ATOMIC_ACQ_REL);
}

// ---- Batches -----------------------------------------------------------------------

void append_op(std::string* payload, const Op& op) {
  uint8_t h[kOpHead];
  h[0] = op.kind;
  put_u32(h + 1, op.id);
  put_u32(h + 5, op.version);
  put_u32(h + 9, (uint32_t)op.data.size());
  payload->append((const char*)h, kOpHead);
  payload->append(op.data);
}

static int parse_ops(const uint8_t* p, size_t n, std::vector<Op>* ops) {
  size_t pos = 0;
  while (pos < n) {
    if (n - pos < kOpHead) return KS_ERR_INVALID;
    Op op;
    op.kind = p[pos];
    op.id = get_u32(p + pos + 1);
    op.version = get_u32(p + pos + 5);
    uint32_t len = get_u32(p + pos + 9);
    pos += kOpHead;
    if (len > n - pos || op.kind < OP_ADD || op.kind > OP_DEL) return KS_ERR_INVALID;
    op.data.assign((const char*)p + pos, len);
    pos += len;
    ops->push_back(std::move(op));
  }
  return KS_OK;
}

static void make_batch(uint8_t kind, uint64_t txid, const std::string& payload, std::string* out) {
  uint8_t h[kBatchHead] = {};
  memcpy(h, kBatchMagic, 4);
  put_u32(h + 4, (uint32_t)payload.size());
  put_u64(h + 8, txid);
  h[16] = kind;
  uint32_t crc = ks_crc32(h, 20);
  crc = ks_crc32(payload.data(), payload.size(), crc);
  put_u32(h + 20, crc);
  out->assign((const char*)h, kBatchHead);
  out->append(payload);
}

long long check_batch(const uint8_t* p, size_t n, size_t* need) {
  *need = kBatchHead;
  if (n < kBatchHead) return 0;
  if (memcmp(p, kBatchMagic, 4) != 0 || p[16] < B_NORMAL || p[16] > B_ABORT || p[17] || p[18] || p[19]) return -1;
  uint32_t len = get_u32(p + 4);
  if (len > kMaxBatch) return -1;
  *need = kBatchHead + (size_t)len;
  if (n < *need) return 0;
  uint32_t crc = ks_crc32(p, 20);
  crc = ks_crc32(p + kBatchHead, len, crc);
  if (crc != get_u32(p + 20)) return -1;
  return (long long)*need;
}

void remember_tx(KsFile* f, uint64_t txid) {
  f->recent.push_back(txid);
  if (f->recent.size() > 4 * kRecentTx) f->recent.erase(f->recent.begin(), f->recent.end() - kRecentTx);
}

static int take_batch(KsFile* f, const uint8_t* p, size_t total) {
  uint8_t kind = p[16];
  uint64_t txid = get_u64(p + 8);
  const uint8_t* pay = p + kBatchHead;
  size_t n = total - kBatchHead;
  if (kind == B_NORMAL) {
    std::vector<Op> ops;
    if (parse_ops(pay, n, &ops) != KS_OK) return KS_ERR_INVALID;
    for (const Op& op : ops)
      if (apply_op(f, op) != KS_OK) return KS_ERR_INVALID;
    if (txid) remember_tx(f, txid);
  } else if (kind == B_PENDING) {
    if (n < 1 || (size_t)pay[0] + 1 > n || f->has_pending) return KS_ERR_INVALID;
    f->pending_coord.assign((const char*)pay + 1, pay[0]);
    f->pending_ops.clear();
    if (parse_ops(pay + 1 + pay[0], n - 1 - pay[0], &f->pending_ops) != KS_OK) return KS_ERR_INVALID;
    f->pending_tx = txid;
    f->has_pending = true;
  } else {
    if (!f->has_pending || f->pending_tx != txid || n != 0) return KS_ERR_INVALID;
    if (kind == B_COMMIT)
      for (const Op& op : f->pending_ops)
        if (apply_op(f, op) != KS_OK) return KS_ERR_INVALID;
    f->has_pending = false;
    f->pending_ops.clear();
  }
  return KS_OK;
}

int sync_log(KsFile* f) {
  uint64_t size;
  if (plat_size(f->pf, &size) != PLAT_OK) return KS_ERR_IO;
  if (size == f->seen_size) return KS_OK;
  if (size < f->log_end) return KS_ERR_INVALID;  // the file was cut below what was read
  std::vector<uint8_t> buf;
  bool junk = false;
  while (f->log_end < size) {
    uint64_t avail = size - f->log_end;
    size_t want = (size_t)(avail < (8u << 20) ? avail : (8u << 20));
    buf.resize(want);
    size_t got = 0;
    if (plat_read_some(f->pf, f->log_end, buf.data(), want, &got) != PLAT_OK) return KS_ERR_IO;
    size_t pos = 0;
    bool stop = false;
    while (pos < got) {
      size_t need = 0;
      long long r = check_batch(buf.data() + pos, got - pos, &need);
      if (r < 0) {
        junk = stop = true;
        break;
      }
      if (r == 0) {
        if (f->log_end + pos + need > size) junk = stop = true;  // torn at the end of the file
        else if (pos == 0) want = need;                          // read a bigger window
        break;
      }
      int rc = take_batch(f, buf.data() + pos, (size_t)r);
      if (rc != KS_OK) return rc;
      pos += (size_t)r;
    }
    f->log_end += pos;
    if (stop || got == 0) break;
    if (pos == 0 && want > buf.size()) {
      buf.resize(want);
      if (plat_read(f->pf, f->log_end, buf.data(), want) != PLAT_OK) return KS_ERR_IO;
      size_t need = 0;
      long long r = check_batch(buf.data(), want, &need);
      if (r <= 0) {
        junk = true;
        break;
      }
      int rc = take_batch(f, buf.data(), (size_t)r);
      if (rc != KS_OK) return rc;
      f->log_end += (uint64_t)r;
    }
  }
  f->junk_tail = junk || f->log_end < size;
  f->seen_size = f->junk_tail ? ~0ull : size;
  return KS_OK;
}

int write_batch(KsFile* f, uint8_t kind, uint64_t txid, const std::string& payload) {
  std::string b;
  make_batch(kind, txid, payload, &b);
  if (plat_write(f->pf, f->log_end, b.data(), b.size()) != PLAT_OK) {
    plat_truncate(f->pf, f->log_end);
    return KS_ERR_IO;
  }
  f->log_end += b.size();
  f->seen_size = f->log_end;
  f->wrote = true;
  count_change(f);
  return KS_OK;
}

// ---- Access around operations ------------------------------------------------------

int lock_data(KsFile* f, int exclusive, unsigned wait) {
  return plat_lock(f->pf, kLockData, exclusive, wait) == PLAT_OK ? KS_OK : KS_ERR_LOCKED;
}

int settle_log(KsFile* f) {
  int rc = sync_log(f);
  if (rc == KS_OK) rc = resolve_pending(f);
  if (rc == KS_OK && f->junk_tail) {
    if (plat_truncate(f->pf, f->log_end) != PLAT_OK) rc = KS_ERR_IO;
    f->junk_tail = false;
    f->seen_size = f->log_end;
  }
  return rc;
}

int begin_write(KsFile* f) {
  int rc = lock_data(f, 1, kOpWaitMs);
  if (rc != KS_OK) return rc;
  rc = settle_log(f);
  if (rc != KS_OK) plat_unlock(f->pf, kLockData);
  return rc;
}

void end_write(KsFile* f) { plat_unlock(f->pf, kLockData); }

int refresh_from(KsFile* f, uint64_t changes) {
  uint64_t size;
  if (plat_size(f->pf, &size) != PLAT_OK) return KS_ERR_IO;
  if (size == f->seen_size) {
    f->seen_changes = changes;
    return KS_OK;
  }
  int rc = lock_data(f, 0, kOpWaitMs);
  if (rc != KS_OK) return rc;
  rc = sync_log(f);
  if (rc == KS_OK) f->seen_changes = changes;
  plat_unlock(f->pf, kLockData);
  if (rc == KS_OK && f->has_pending) {
    rc = begin_write(f);
    if (rc == KS_OK) end_write(f);
  }
  return rc;
}
