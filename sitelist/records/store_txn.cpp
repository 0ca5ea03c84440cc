// Transactions over several files, and the wait of other threads for them.
// A transaction holds each of its files' data locks from begin to its end, so
// other stations wait; other threads of this process wait in enter(). A commit
// over one file writes one batch; over several files it writes a pending batch
// in every file but the first, then the first file's deciding batch, then the
// commit marks (settled by recovery when the process ends in between).
#include "sitelist/records/store_internal.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <new>

static std::atomic<int> g_fail_after{0};
static std::atomic<KsCommitHook> g_commit_hook{nullptr};

static void commit_step(int step) {
  KsCommitHook fn = g_commit_hook.load();
  if (fn) fn(step);
}

void ks_debug_fail_after(int n) { g_fail_after.store(n); }
void ks_debug_commit_hook(KsCommitHook fn) { g_commit_hook.store(fn); }

int debug_fail_now() {
  int n = g_fail_after.load();
  while (n > 0) {
    if (g_fail_after.compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return 0;
}

// ---- Waiting for other threads' transactions --------------------------------------

int enter_wait(KsFile* f, std::unique_lock<std::mutex>& lk, bool* in_txn) {
  std::thread::id me = std::this_thread::get_id();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpWaitMs);
  while (f->txn && f->owner != me)
    if (f->cv.wait_until(lk, deadline) == std::cv_status::timeout && f->txn && f->owner != me) return KS_ERR_LOCKED;
  *in_txn = f->txn != nullptr;
  return KS_OK;
}

TxnFile* txn_file(KsFile* f) {
  for (TxnFile& tf : f->txn->files)
    if (tf.f == f) return &tf;
  return nullptr;
}

// ---- Transactions -------------------------------------------------------------------

static void txn_release(KsTxn* t) {
  for (TxnFile& tf : t->files) {
    std::lock_guard<std::mutex> lk(tf.f->mu);
    if (tf.locked) plat_unlock(tf.f->pf, kLockData);
    tf.locked = false;
    if (tf.f->txn == t) tf.f->txn = nullptr;
    tf.f->cv.notify_all();
  }
  delete t;
}

int ks_begin(KsFile* const* files, int nfiles, unsigned wait_ms, KsTxn** out) {
  if (!out || !files || nfiles <= 0) return KS_ERR_BAD_ARGUMENT;
  *out = nullptr;
  KsTxn* t = new (std::nothrow) KsTxn();
  if (!t) return KS_ERR_NO_MEMORY;
  t->owner = std::this_thread::get_id();
  uint64_t deadline = plat_now_ms() + wait_ms;
  int rc = KS_OK;
  for (int i = 0; i < nfiles && rc == KS_OK; i++) {
    KsFile* f = files[i];
    if (!f || f->d->kind != KS_KEYED || f->mode != KS_SHARED) {
      rc = f ? KS_ERR_BAD_ARGUMENT : KS_ERR_NOT_OPEN;
      break;
    }
    bool dup = false;
    for (TxnFile& tf : t->files) dup = dup || tf.f == f;
    if (dup) continue;
    std::unique_lock<std::mutex> lk(f->mu);
    auto until = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(deadline > plat_now_ms() ? deadline - plat_now_ms() : 0);
    while (f->txn && rc == KS_OK)
      if (f->cv.wait_until(lk, until) == std::cv_status::timeout && f->txn) rc = KS_ERR_LOCKED;
    if (rc != KS_OK) break;
    f->txn = t;
    f->owner = t->owner;
    TxnFile tf;
    tf.f = f;
    t->files.push_back(tf);
    uint64_t now = plat_now_ms();
    rc = lock_data(f, 1, deadline > now ? (unsigned)(deadline - now) : 0);
    if (rc != KS_OK) break;
    t->files.back().locked = true;
    rc = settle_log(f);
  }
  if (rc != KS_OK) {
    txn_release(t);
    return rc;
  }
  *out = t;
  return KS_OK;
}

static void txn_undo(KsTxn* t) {
  for (auto tf = t->files.rbegin(); tf != t->files.rend(); ++tf) {
    std::lock_guard<std::mutex> lk(tf->f->mu);
    for (auto u = tf->undo.rbegin(); u != tf->undo.rend(); ++u) undo_op(tf->f, *u);
    tf->undo.clear();
  }
}

int ks_rollback(KsTxn* t) {
  if (!t) return KS_ERR_BAD_ARGUMENT;
  txn_undo(t);
  txn_release(t);
  return KS_OK;
}

static uint64_t new_txid() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = plat_now_ms() * 0x9E3779B97F4A7C15ull;
  x ^= (uint64_t)std::hash<std::thread::id>()(std::this_thread::get_id()) << 1;
  x ^= (uint64_t)(uintptr_t)&counter;
  x ^= ++counter * 0xBF58476D1CE4E5B9ull;
  x ^= (uint64_t)(uintptr_t)&x;
  return x ? x : 1;
}

int ks_commit(KsTxn* t) {
  if (!t) return KS_ERR_BAD_ARGUMENT;
  std::vector<TxnFile*> changed;
  for (TxnFile& tf : t->files)
    if (!tf.redo.empty()) changed.push_back(&tf);
  int rc = KS_OK;
  std::vector<uint64_t> starts;
  for (TxnFile* tf : changed) starts.push_back(tf->f->log_end);
  if (changed.size() == 1) {
    std::string payload;
    for (const Op& op : changed[0]->redo) append_op(&payload, op);
    std::lock_guard<std::mutex> lk(changed[0]->f->mu);
    rc = write_batch(changed[0]->f, B_NORMAL, 0, payload);
  } else if (changed.size() > 1) {
    // Pending batches in every file but the first, made durable; then the
    // first file's batch, which decides; then the commit marks.
    uint64_t txid = new_txid();
    KsFile* coord = changed[0]->f;
    std::string cname = base_of(coord->path);
    if (cname.size() > 255) rc = KS_ERR_BAD_ARGUMENT;
    for (size_t i = 1; i < changed.size() && rc == KS_OK; i++) {
      std::string payload(1, (char)(uint8_t)cname.size());
      payload += cname;
      for (const Op& op : changed[i]->redo) append_op(&payload, op);
      std::lock_guard<std::mutex> lk(changed[i]->f->mu);
      rc = write_batch(changed[i]->f, B_PENDING, txid, payload);
      if (rc == KS_OK && plat_sync(changed[i]->f->pf) != PLAT_OK) rc = KS_ERR_IO;
    }
    if (rc == KS_OK) commit_step(1);
    if (rc == KS_OK) {
      std::string payload;
      for (const Op& op : changed[0]->redo) append_op(&payload, op);
      std::lock_guard<std::mutex> lk(coord->mu);
      rc = write_batch(coord, B_NORMAL, txid, payload);
      if (rc == KS_OK && plat_sync(coord->pf) != PLAT_OK) rc = KS_ERR_IO;
      if (rc == KS_OK) remember_tx(coord, txid);
    }
    if (rc == KS_OK) {
      commit_step(2);
      for (size_t i = 1; i < changed.size(); i++) {
        std::lock_guard<std::mutex> lk(changed[i]->f->mu);
        write_batch(changed[i]->f, B_COMMIT, txid, std::string());  // settled by the coordinator if lost
      }
    }
  }
  if (rc != KS_OK) {
    // Nothing was decided: cut every file back and undo the changes in memory.
    for (size_t i = 0; i < changed.size(); i++) {
      KsFile* f = changed[i]->f;
      std::lock_guard<std::mutex> lk(f->mu);
      plat_truncate(f->pf, starts[i]);
      f->log_end = starts[i];
      f->seen_size = starts[i];
      count_change(f);
    }
    txn_undo(t);
  }
  txn_release(t);
  return rc;
}
