// The keyed store's engine. Each open file keeps the whole file image in memory
// (its records by id and one ordered map per key), loaded from the file's
// snapshot (records and key sections in key order) and brought up to date from
// the write-ahead log at the end of the file, which every change appends to as a
// checksummed batch. Other handles and other processes see a change as soon as
// they touch the file again. FORMAT.txt describes the layout.
#include "sitelist/records/keyed_store.h"

#include "sitelist/records/file_platform.h"
#include "sitelist/records/store_internal.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "common/tx_util.h"

namespace {

// Lock bytes, far beyond any data: the log (shared to read, exclusive to
// write) and the presence of open handles (shared while open; exclusive to
// deny others writing, to create, remove or rewrite the file).
constexpr uint64_t kLockData = 0x7FFFFF00ull;
constexpr uint64_t kLockPresence = 0x7FFFFF01ull;
constexpr unsigned kOpWaitMs = 10000;
constexpr unsigned kPresenceWaitMs = 250;
constexpr unsigned kCoordinatorWaitMs = 2000;

constexpr size_t kHeaderSize = 512;
constexpr size_t kBatchHead = 24;
constexpr uint32_t kMaxBatch = 64u << 20;
constexpr size_t kRecentTx = 16;
constexpr uint32_t kFormatVersion = 1;

// Header fields (little-endian).
enum : size_t {
  H_MAGIC = 0,          // 8 bytes "TXKSF\r\n\x1a"
  H_VERSION = 8,        // u32 format version
  H_FINGERPRINT = 12,   // u32 declaration fingerprint
  H_NKEYS = 16,         // u32
  H_COUNT = 20,         // u32 records in the snapshot
  H_NEXT_ID = 24,       // u32 next record id
  H_NRECENT = 28,       // u32 recent transaction ids held
  H_REC_OFF = 32,       // u64
  H_REC_LEN = 40,       // u64
  H_REC_CRC = 48,       // u32
  H_KEYS = 56,          // per key: u64 offset, u64 length, u32 entries, u32 crc
  H_KEY_ENTRY = 24,
  H_RECENT = H_KEYS + KS_MAX_KEYS * H_KEY_ENTRY,   // u64 ids of multi-file transactions
  H_LOG = H_RECENT + kRecentTx * 8,                // u64 where the log starts
  H_CRC_END = 480,                                 // the checksum covers bytes 0..479
  H_CHANGES = 480,                                 // u64 change counter (a hint, not checked)
  H_CRC = 508,                                     // u32 checksum
};
static_assert(H_RECENT == 248 && H_LOG == 376, "header layout");
static_assert(H_LOG + 8 <= H_CRC_END && H_CHANGES + 8 <= H_CRC && H_CRC + 4 == kHeaderSize, "header fits its page");

const char kMagic[8] = {'T', 'X', 'K', 'S', 'F', '\r', '\n', '\x1a'};
const char kBatchMagic[4] = {'K', 'S', 'B', '1'};

// Batch head: magic, u32 payload length, u64 transaction id, u8 kind, 3 zero
// bytes, u32 CRC over the head's first 20 bytes and the payload.
enum BatchKind : uint8_t { B_NORMAL = 1, B_PENDING = 2, B_COMMIT = 3, B_ABORT = 4 };
enum OpKind : uint8_t { OP_ADD = 1, OP_PUT = 2, OP_DEL = 3 };
constexpr size_t kOpHead = 13;   // kind, id, version, data length

std::atomic<int> g_fail_after{0};
std::atomic<KsCommitHook> g_commit_hook{nullptr};

void commit_step(int step) {
  KsCommitHook fn = g_commit_hook.load();
  if (fn) fn(step);
}

}  // namespace

struct Slot {
  std::string data;
  uint32_t version = 0;
  bool live = false;
};

struct Op {
  uint8_t kind = 0;
  uint32_t id = 0;
  uint32_t version = 0;
  std::string data;
};

struct Undo {
  uint8_t kind = 0;   // the operation to undo
  uint32_t id = 0;
  Slot old;
};

typedef std::map<std::string, uint32_t> KeyMap;

struct KsFile {
  const KsFileDecl* d = nullptr;
  std::string path;
  int mode = KS_SHARED;
  PlatFile* pf = nullptr;
  std::mutex mu;
  std::condition_variable cv;
  KsTxn* txn = nullptr;
  std::thread::id owner;
  // the image
  std::vector<Slot> slots;   // by record id; slot 0 unused
  uint32_t live = 0;
  uint32_t next_id = 1;
  std::vector<KeyMap> keys;
  uint64_t mod = 1;          // changes whenever a key map changes
  // the log
  uint64_t log_start = 0;
  uint64_t log_end = 0;      // end of the last batch taken in
  uint64_t seen_size = 0;    // file size at the last look (~0: look again)
  bool junk_tail = false;    // a torn batch lies after log_end
  bool wrote = false;
  std::vector<uint64_t> recent;
  bool has_pending = false;
  uint64_t pending_tx = 0;
  std::string pending_coord;
  std::vector<Op> pending_ops;
  int read_ahead = 0;
  // The change counter in the mapped header, where the platform offers it:
  // writers count up after every change, readers skip looking at the file
  // while it stays at the value they saw.
  volatile uint64_t* changes = nullptr;
  uint64_t seen_changes = 0;
};

static uint64_t load_changes(const KsFile* f) { return __atomic_load_n(f->changes, __ATOMIC_ACQUIRE); }
static void count_change(KsFile* f) {
  if (f->changes) f->seen_changes = __atomic_add_fetch(f->changes, 1, __ATOMIC_ACQ_REL);
}

struct TxnFile {
  KsFile* f;
  bool locked = false;
  std::vector<Op> redo;
  std::vector<Undo> undo;
};

struct KsTxn {
  std::vector<TxnFile> files;
  std::thread::id owner;
};

struct KsCursor {
  KsFile* f;
  int key;                // -1: physical order
  KsFilter* filter = nullptr;
  enum { START, SEEK, AT, END } state = START;
  std::string pos;        // SEEK: lower bound; AT: entry last read
  uint32_t phys = 0;      // physical order: id (SEEK: first id to read; AT: last read)
  KeyMap::const_iterator it;
  uint64_t it_mod = 0;
  uint64_t bytes = 0;
  uint64_t line_off = 0;  // line files
  std::vector<uint8_t> scratch;
};

// ---- Errors -------------------------------------------------------------------

struct ErrorText {
  int code;
  const char* text;
};
static const ErrorText kErrorTexts[] = {
    {KS_OK, "No Error"},
    {KS_ERR_NO_FILE, "File Not Found"},
    {KS_ERR_ACCESS, "Access Denied"},
    {KS_ERR_NO_MEMORY, "Insufficient Memory"},
    {KS_ERR_LOCKED, "File Is Already Locked"},
    {KS_ERR_NO_RECORD, "Record Not Available"},
    {KS_ERR_NOT_FOUND, "Record Not Found"},
    {KS_ERR_NOT_OPEN, "File Not Open"},
    {KS_ERR_DUPLICATE, "Creates Duplicate Key"},
    {KS_ERR_REBUILD, "Key File Must Be Rebuilt"},
    {KS_ERR_INVALID, "Invalid Record Declaration"},
    {KS_ERR_ALREADY_OPEN, "File Already Open"},
    {KS_ERR_CHANGED, "Record Changed By Another Station"},
    {KS_ERR_IO, "File System Error"},
    {KS_ERR_BAD_FILTER, "Invalid Filter Expression"},
    {KS_ERR_BAD_ARGUMENT, "Invalid Parameter"},
};
static_assert(ARRAY_SIZE(kErrorTexts) == 16, "one text per code");

const char* ks_error_text(int code) {
  for (const ErrorText& e : kErrorTexts)
    if (e.code == code) return e.text;
  return "Unknown Error";
}

void ks_debug_fail_after(int n) { g_fail_after.store(n); }
void ks_debug_commit_hook(KsCommitHook fn) { g_commit_hook.store(fn); }

static int debug_fail_now() {
  int n = g_fail_after.load();
  while (n > 0) {
    if (g_fail_after.compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return 0;
}

// ---- Names ------------------------------------------------------------------------

int ks_file_name(const KsFileDecl* d, const char* name, char* out, size_t cap) {
  int n;
  if (name && name[0])
    n = snprintf(out, cap, "%s", name);
  else if (d && d->disk_name)
    n = snprintf(out, cap, "%s.KSF", d->disk_name);
  else
    return 0;
  return n > 0 && (size_t)n < cap;
}

static std::string dir_of(const std::string& path) {
  size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

static std::string base_of(const std::string& path) {
  size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? path : path.substr(k + 1);
}

static int plat_to_ks(int rc) {
  switch (rc) {
    case PLAT_OK: return KS_OK;
    case PLAT_NOT_FOUND: return KS_ERR_NO_FILE;
    case PLAT_DENIED: return KS_ERR_ACCESS;
    case PLAT_BUSY: return KS_ERR_LOCKED;
    default: return KS_ERR_IO;
  }
}

// ---- The image in memory -------------------------------------------------------------

static KsTag* tag_of(const KsFileDecl* d, void* rec) { return (KsTag*)((uint8_t*)rec + d->tag_offset); }

static bool slot_live(const KsFile* f, uint32_t id) { return id > 0 && id < f->slots.size() && f->slots[id].live; }

// Builds every key of an encoded record; excluded keys get an empty string.
static int record_keys(const KsFile* f, uint32_t id, const std::string& data, std::string* out) {
  FieldVals v;
  int rc = vals_from_encoded(f->d, (const uint8_t*)data.data(), data.size(), &v);
  if (rc != KS_OK) return rc;
  for (int k = 0; k < f->d->nkeys; k++)
    if (!build_key(f->d, k, &v, id, &out[k])) out[k].clear();
  return KS_OK;
}

static int check_unique(const KsFile* f, uint32_t id, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++) {
    if (!(f->d->keys[k].flags & KS_UNIQUE) || keys[k].empty()) continue;
    auto it = f->keys[k].find(keys[k]);
    if (it != f->keys[k].end() && it->second != id) return KS_ERR_DUPLICATE;
  }
  return KS_OK;
}

static void insert_keys(KsFile* f, uint32_t id, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++)
    if (!keys[k].empty()) f->keys[k].emplace(keys[k], id);
  f->mod++;
}

static void erase_keys(KsFile* f, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++)
    if (!keys[k].empty()) f->keys[k].erase(keys[k]);
  f->mod++;
}

// Records are numbered densely in the order they were added: an add takes the
// next id (so the table grows only with adds actually present in the file).
static int mem_insert(KsFile* f, uint32_t id, uint32_t version, const std::string& data);

static int mem_add(KsFile* f, uint32_t id, uint32_t version, const std::string& data) {
  if (id != f->next_id || id >= 0x7FFFFFFFu) return KS_ERR_INVALID;
  return mem_insert(f, id, version, data);
}

// Puts a record into its slot (a new one, or one that an undo brings back).
static int mem_insert(KsFile* f, uint32_t id, uint32_t version, const std::string& data) {
  if (id == 0 || id >= 0x7FFFFFFFu || slot_live(f, id)) return KS_ERR_INVALID;
  std::string keys[KS_MAX_KEYS];
  int rc = record_keys(f, id, data, keys);
  if (rc != KS_OK) return rc;
  rc = check_unique(f, id, keys);
  if (rc != KS_OK) return rc;
  if (f->slots.size() <= id) f->slots.resize((size_t)id + 1);
  Slot& s = f->slots[id];
  s.data = data;
  s.version = version;
  s.live = true;
  f->live++;
  if (id >= f->next_id) f->next_id = id + 1;
  insert_keys(f, id, keys);
  return KS_OK;
}

static int mem_put(KsFile* f, uint32_t id, uint32_t version, const std::string& data) {
  if (!slot_live(f, id)) return KS_ERR_INVALID;
  std::string keys[KS_MAX_KEYS], old[KS_MAX_KEYS];
  int rc = record_keys(f, id, data, keys);
  if (rc != KS_OK) return rc;
  rc = check_unique(f, id, keys);
  if (rc != KS_OK) return rc;
  Slot& s = f->slots[id];
  if (record_keys(f, id, s.data, old) != KS_OK) return KS_ERR_INVALID;
  // Only the keys whose value changes move.
  for (int k = 0; k < f->d->nkeys; k++) {
    if (old[k] == keys[k]) {
      old[k].clear();
      keys[k].clear();
    }
  }
  erase_keys(f, old);
  s.data = data;
  s.version = version;
  insert_keys(f, id, keys);
  return KS_OK;
}

static int mem_del(KsFile* f, uint32_t id);

// Takes back the newest add (undo of an add); ids stay dense.
static void mem_unadd(KsFile* f, uint32_t id) {
  if (mem_del(f, id) == KS_OK && id + 1 == f->next_id) {
    f->next_id = id;
    f->slots.resize(id);
  }
}

static int mem_del(KsFile* f, uint32_t id) {
  if (!slot_live(f, id)) return KS_ERR_INVALID;
  std::string old[KS_MAX_KEYS];
  Slot& s = f->slots[id];
  if (record_keys(f, id, s.data, old) != KS_OK) return KS_ERR_INVALID;
  erase_keys(f, old);
  s.live = false;
  s.data.clear();
  s.data.shrink_to_fit();
  f->live--;
  return KS_OK;
}

static int apply_op(KsFile* f, const Op& op) {
  switch (op.kind) {
    case OP_ADD: return mem_add(f, op.id, op.version, op.data);
    case OP_PUT: return mem_put(f, op.id, op.version, op.data);
    case OP_DEL: return mem_del(f, op.id);
  }
  return KS_ERR_INVALID;
}

static void undo_op(KsFile* f, const Undo& u) {
  switch (u.kind) {
    case OP_ADD: mem_unadd(f, u.id); break;
    case OP_PUT: mem_put(f, u.id, u.old.version, u.old.data); break;
    case OP_DEL: mem_insert(f, u.id, u.old.version, u.old.data); break;
  }
}

static void reset_image(KsFile* f) {
  f->slots.clear();
  f->live = 0;
  f->next_id = 1;
  f->keys.assign(f->d->nkeys, KeyMap());
  f->mod++;
  f->recent.clear();
  f->has_pending = false;
  f->pending_ops.clear();
}

// ---- Batches -----------------------------------------------------------------------

static void append_op(std::string* payload, const Op& op) {
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

// Checks one batch at p (n bytes available). Returns its total size, 0 when it is
// incomplete (need more bytes: *need receives the total), or -1 when invalid.
static long long check_batch(const uint8_t* p, size_t n, size_t* need) {
  *need = kBatchHead;
  if (n < kBatchHead) return 0;
  if (memcmp(p, kBatchMagic, 4) != 0 || p[16] < B_NORMAL || p[16] > B_ABORT || p[17] || p[18] || p[19])
    return -1;
  uint32_t len = get_u32(p + 4);
  if (len > kMaxBatch) return -1;
  *need = kBatchHead + (size_t)len;
  if (n < *need) return 0;
  uint32_t crc = ks_crc32(p, 20);
  crc = ks_crc32(p + kBatchHead, len, crc);
  if (crc != get_u32(p + 20)) return -1;
  return (long long)*need;
}

static void remember_tx(KsFile* f, uint64_t txid) {
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

// Takes in every complete batch after log_end. Caller holds the data lock.
static int sync_log(KsFile* f) {
  uint64_t size;
  if (plat_size(f->pf, &size) != PLAT_OK) return KS_ERR_IO;
  if (size == f->seen_size) return KS_OK;
  if (size < f->log_end) return KS_ERR_INVALID;   // the file was cut below what was read
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
        if (f->log_end + pos + need > size) junk = stop = true;   // torn at the end of the file
        else if (pos == 0) want = need;                            // read a bigger window
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

static int write_batch(KsFile* f, uint8_t kind, uint64_t txid, const std::string& payload) {
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

// ---- Snapshot -----------------------------------------------------------------------

static int read_header(PlatFile* pf, uint8_t* h, uint64_t* size) {
  if (plat_size(pf, size) != PLAT_OK) return KS_ERR_IO;
  if (*size < kHeaderSize) return KS_ERR_INVALID;
  if (plat_read(pf, 0, h, kHeaderSize) != PLAT_OK) return KS_ERR_IO;
  if (memcmp(h + H_MAGIC, kMagic, 8) != 0 || get_u32(h + H_VERSION) != kFormatVersion) return KS_ERR_INVALID;
  if (ks_crc32(h, H_CRC_END) != get_u32(h + H_CRC)) return KS_ERR_INVALID;
  return KS_OK;
}

// Loads the snapshot. keys_too: 0 rebuilds the keys from the records instead
// of reading them (the answer to 46).
static int load_snapshot(KsFile* f, int keys_too) {
  reset_image(f);
  uint8_t h[kHeaderSize];
  uint64_t size;
  int rc = read_header(f->pf, h, &size);
  if (rc != KS_OK) return rc;
  if (get_u32(h + H_FINGERPRINT) != decl_fingerprint(f->d) || get_u32(h + H_NKEYS) != f->d->nkeys)
    return KS_ERR_INVALID;
  uint64_t rec_off = get_u64(h + H_REC_OFF), rec_len = get_u64(h + H_REC_LEN);
  uint64_t log = get_u64(h + H_LOG);
  uint32_t count = get_u32(h + H_COUNT), next_id = get_u32(h + H_NEXT_ID);
  // Snapshots number their records 1..count.
  if (rec_off != kHeaderSize || rec_len > size - rec_off || log > size || log < rec_off + rec_len ||
      next_id != count + 1 || count > rec_len / 3)
    return KS_ERR_INVALID;
  uint32_t nrecent = get_u32(h + H_NRECENT);
  if (nrecent > kRecentTx) return KS_ERR_INVALID;
  for (uint32_t i = 0; i < nrecent; i++) f->recent.push_back(get_u64(h + H_RECENT + 8 * i));

  std::vector<uint8_t> buf((size_t)rec_len);
  if (rec_len && plat_read(f->pf, rec_off, buf.data(), (size_t)rec_len) != PLAT_OK) return KS_ERR_IO;
  if (ks_crc32(buf.data(), buf.size()) != get_u32(h + H_REC_CRC)) return KS_ERR_INVALID;
  f->slots.resize(next_id);
  f->next_id = next_id;
  size_t pos = 0;
  uint32_t prev = 0;
  FieldVals v;
  while (pos < buf.size()) {
    uint32_t id, version, len;
    if (!read_varint(buf.data(), buf.size(), &pos, &id) || !read_varint(buf.data(), buf.size(), &pos, &version) ||
        !read_varint(buf.data(), buf.size(), &pos, &len) || len > buf.size() - pos || id <= prev || id >= next_id)
      return KS_ERR_INVALID;
    if (vals_from_encoded(f->d, buf.data() + pos, len, &v) != KS_OK) return KS_ERR_INVALID;
    Slot& s = f->slots[id];
    s.data.assign((const char*)buf.data() + pos, len);
    s.version = version;
    s.live = true;
    f->live++;
    pos += len;
    prev = id;
  }
  if (f->live != count) return KS_ERR_INVALID;

  bool keys_bad = !keys_too;
  uint64_t keys_end = rec_off + rec_len;
  for (int k = 0; k < f->d->nkeys && !keys_bad; k++) {
    const uint8_t* e = h + H_KEYS + k * H_KEY_ENTRY;
    uint64_t off = get_u64(e), len = get_u64(e + 8);
    uint32_t entries = get_u32(e + 16);
    if (off != keys_end || len > log - off || entries > f->live) {
      keys_bad = true;
      break;
    }
    keys_end = off + len;
    std::vector<uint8_t> kb((size_t)len);
    if (len && plat_read(f->pf, off, kb.data(), (size_t)len) != PLAT_OK) return KS_ERR_IO;
    if (ks_crc32(kb.data(), kb.size()) != get_u32(e + 20)) {
      keys_bad = true;
      break;
    }
    KeyMap& m = f->keys[k];
    std::string key;
    size_t p = 0;
    uint32_t n = 0;
    while (p < kb.size()) {
      uint32_t shared, sfx, id;
      if (!read_varint(kb.data(), kb.size(), &p, &shared) || !read_varint(kb.data(), kb.size(), &p, &sfx) ||
          shared > key.size() || sfx > kb.size() - p || sfx == 0) {
        keys_bad = true;
        break;
      }
      key.resize(shared);
      key.append((const char*)kb.data() + p, sfx);
      p += sfx;
      if (!read_varint(kb.data(), kb.size(), &p, &id) || !slot_live(f, id) ||
          (!m.empty() && !(m.rbegin()->first < key))) {
        keys_bad = true;
        break;
      }
      m.emplace_hint(m.end(), key, id);
      n++;
    }
    if (n != entries) keys_bad = true;
  }
  if (keys_too && keys_bad) return KS_ERR_REBUILD;
  if (keys_end > log) return KS_ERR_INVALID;
  if (!keys_too) {
    // Rebuild every key from the records.
    f->keys.assign(f->d->nkeys, KeyMap());
    std::string keys[KS_MAX_KEYS];
    for (uint32_t id = 1; id < f->slots.size(); id++) {
      if (!f->slots[id].live) continue;
      if (record_keys(f, id, f->slots[id].data, keys) != KS_OK) return KS_ERR_INVALID;
      if (check_unique(f, id, keys) != KS_OK) return KS_ERR_DUPLICATE;
      insert_keys(f, id, keys);
    }
  }
  f->mod++;
  f->log_start = f->log_end = log;
  f->seen_size = 0;
  f->junk_tail = false;
  return KS_OK;
}

// Writes the image as a fresh file at path (header, records, keys, empty log).
static int write_snapshot(const KsFileDecl* d, const std::string& path, const KsFile* f) {
  // Records are renumbered 1..count in their physical order; duplicate keys
  // carry the id in their last four bytes, which keeps their order.
  std::string recs;
  uint32_t count = 0;
  std::vector<uint32_t> renumber;
  if (f) {
    renumber.assign(f->slots.size(), 0);
    for (uint32_t id = 1; id < f->slots.size(); id++) {
      const Slot& s = f->slots[id];
      if (!s.live) continue;
      renumber[id] = ++count;
      append_varint(&recs, count);
      append_varint(&recs, s.version);
      append_varint(&recs, (uint32_t)s.data.size());
      recs.append(s.data);
    }
  }
  uint8_t h[kHeaderSize] = {};
  memcpy(h + H_MAGIC, kMagic, 8);
  put_u32(h + H_VERSION, kFormatVersion);
  put_u32(h + H_FINGERPRINT, decl_fingerprint(d));
  put_u32(h + H_NKEYS, d->nkeys);
  put_u32(h + H_COUNT, count);
  put_u32(h + H_NEXT_ID, count + 1);
  put_u64(h + H_REC_OFF, kHeaderSize);
  put_u64(h + H_REC_LEN, recs.size());
  put_u32(h + H_REC_CRC, ks_crc32(recs.data(), recs.size()));
  std::vector<std::string> sections(d->nkeys);
  uint64_t off = kHeaderSize + recs.size();
  for (int k = 0; k < d->nkeys; k++) {
    std::string& s = sections[k];
    uint32_t n = 0;
    if (f) {
      const bool dup = !(d->keys[k].flags & KS_UNIQUE);
      std::string prev, key;
      for (const auto& e : f->keys[k]) {
        uint32_t id = renumber[e.second];
        key = e.first;
        if (dup) {
          size_t at = key.size() - 4;
          key[at] = (char)(uint8_t)(id >> 24);
          key[at + 1] = (char)(uint8_t)(id >> 16);
          key[at + 2] = (char)(uint8_t)(id >> 8);
          key[at + 3] = (char)(uint8_t)id;
        }
        size_t shared = 0;
        size_t lim = prev.size() < key.size() ? prev.size() : key.size();
        while (shared < lim && prev[shared] == key[shared]) shared++;
        if (shared == key.size()) shared--;   // keep a non-empty suffix
        append_varint(&s, (uint32_t)shared);
        append_varint(&s, (uint32_t)(key.size() - shared));
        s.append(key, shared, std::string::npos);
        append_varint(&s, id);
        prev.swap(key);
        n++;
      }
    }
    uint8_t* e = h + H_KEYS + k * H_KEY_ENTRY;
    put_u64(e, off);
    put_u64(e + 8, s.size());
    put_u32(e + 16, n);
    put_u32(e + 20, ks_crc32(s.data(), s.size()));
    off += s.size();
  }
  if (f) {
    size_t nrecent = f->recent.size() < kRecentTx ? f->recent.size() : kRecentTx;
    put_u32(h + H_NRECENT, (uint32_t)nrecent);
    for (size_t i = 0; i < nrecent; i++) put_u64(h + H_RECENT + 8 * i, f->recent[f->recent.size() - nrecent + i]);
  }
  put_u64(h + H_LOG, off);
  put_u32(h + H_CRC, ks_crc32(h, H_CRC_END));

  PlatFile* out;
  int rc = plat_open(path.c_str(), 1, 1, &out);
  if (rc != PLAT_OK) return plat_to_ks(rc);
  uint64_t at = 0;
  bool ok = plat_write(out, at, h, kHeaderSize) == PLAT_OK;
  at += kHeaderSize;
  ok = ok && plat_write(out, at, recs.data(), recs.size()) == PLAT_OK;
  at += recs.size();
  for (int k = 0; k < d->nkeys && ok; k++) {
    ok = plat_write(out, at, sections[k].data(), sections[k].size()) == PLAT_OK;
    at += sections[k].size();
  }
  ok = ok && plat_sync(out) == PLAT_OK;
  plat_close(out);
  if (!ok) {
    plat_remove(path.c_str());
    return KS_ERR_IO;
  }
  return KS_OK;
}

// Replaces the file by a fresh snapshot of f's image. The caller holds the
// presence lock exclusively (no other handle is open) and the data lock. On
// success f->pf is closed (the caller must not use it).
static int compact(KsFile* f) {
  std::string tmp = f->path + "~";
  int rc = write_snapshot(f->d, tmp, f);
  if (rc != KS_OK) return rc;
#ifdef _WIN32
  plat_close(f->pf);
  f->pf = nullptr;
#endif
  rc = plat_rename_replace(tmp.c_str(), f->path.c_str());
  if (rc != PLAT_OK) {
    plat_remove(tmp.c_str());
    return plat_to_ks(rc);
  }
  return KS_OK;
}

// ---- Interrupted multi-file transactions ------------------------------------------

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

// Settles the pending batch of an interrupted transaction. Caller holds the
// data lock exclusively.
static int resolve_pending(KsFile* f) {
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

// ---- Locking around operations ------------------------------------------------------

static int lock_data(KsFile* f, int exclusive, unsigned wait) {
  return plat_lock(f->pf, kLockData, exclusive, wait) == PLAT_OK ? KS_OK : KS_ERR_LOCKED;
}

// Prepares a write outside a transaction: exclusive data lock, log taken in,
// interrupted transactions settled, a torn tail cut off.
static int begin_write(KsFile* f) {
  int rc = lock_data(f, 1, kOpWaitMs);
  if (rc != KS_OK) return rc;
  rc = sync_log(f);
  if (rc == KS_OK) rc = resolve_pending(f);
  if (rc == KS_OK && f->junk_tail) {
    if (plat_truncate(f->pf, f->log_end) != PLAT_OK) rc = KS_ERR_IO;
    f->junk_tail = false;
    f->seen_size = f->log_end;
  }
  if (rc != KS_OK) plat_unlock(f->pf, kLockData);
  return rc;
}

static void end_write(KsFile* f) { plat_unlock(f->pf, kLockData); }

// Brings the image up to date before a read.
static int refresh(KsFile* f) {
  if (f->txn) return KS_OK;   // our own transaction holds the file
  uint64_t changes = 0;
  if (f->changes) {
    changes = load_changes(f);
    if (changes == f->seen_changes && !f->junk_tail) return KS_OK;
  }
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

// Waits until no other thread's transaction holds the file. Returns 32 on timeout.
static int enter(KsFile* f, std::unique_lock<std::mutex>& lk, bool* in_txn) {
  std::thread::id me = std::this_thread::get_id();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpWaitMs);
  while (f->txn && f->owner != me)
    if (f->cv.wait_until(lk, deadline) == std::cv_status::timeout && f->txn && f->owner != me) return KS_ERR_LOCKED;
  *in_txn = f->txn != nullptr;
  return KS_OK;
}

static TxnFile* txn_file(KsFile* f) {
  for (TxnFile& tf : f->txn->files)
    if (tf.f == f) return &tf;
  return nullptr;
}

// ---- Line files ---------------------------------------------------------------------

static int line_add(KsFile* f, const void* rec) {
  const KsField& fl = f->d->fields[0];
  const char* s = (const char*)rec + fl.offset;
  size_t n = fl.width;
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) n--;
  std::string line(s, n);
  line += "\r\n";
  std::lock_guard<std::mutex> lk(f->mu);
  uint64_t size;
  if (plat_size(f->pf, &size) != PLAT_OK) return KS_ERR_IO;
  if (plat_write(f->pf, size, line.data(), line.size()) != PLAT_OK) return KS_ERR_IO;
  return KS_OK;
}

// Reads the line at c->line_off into rec (cut to the field), moving past it.
static int line_next(KsCursor* c, void* rec) {
  KsFile* f = c->f;
  std::lock_guard<std::mutex> lk(f->mu);
  uint64_t size;
  if (plat_size(f->pf, &size) != PLAT_OK) return KS_ERR_IO;
  if (c->line_off >= size) return KS_ERR_NO_RECORD;
  const KsField& fl = f->d->fields[0];
  char* out = (char*)rec + fl.offset;
  memset(out, ' ', fl.width);
  size_t taken = 0;
  uint64_t off = c->line_off;
  char chunk[4096];
  for (;;) {
    size_t got = 0;
    if (plat_read_some(f->pf, off, chunk, sizeof chunk, &got) != PLAT_OK) return KS_ERR_IO;
    if (got == 0) break;
    size_t i = 0;
    bool end = false;
    for (; i < got; i++) {
      if (chunk[i] == '\n') {
        end = true;
        break;
      }
      if (taken < fl.width) out[taken++] = chunk[i];
    }
    off += end ? i + 1 : got;
    if (end) break;
  }
  if (taken > 0 && taken <= fl.width && out[taken - 1] == '\r') out[taken - 1] = ' ';
  c->bytes += off - c->line_off;
  c->line_off = off;
  tag_of(f->d, rec)->id = 0;
  tag_of(f->d, rec)->version = 0;
  return KS_OK;
}

// ---- Open and close ------------------------------------------------------------------

static int open_impl(const KsFileDecl* d, const char* name, int mode, int allow_pending, KsFile** out) {
  if (!out) return KS_ERR_BAD_ARGUMENT;
  if (*out) return KS_ERR_ALREADY_OPEN;
  if (ks_check_decl(d) != KS_OK) return KS_ERR_INVALID;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  KsFile* f = new (std::nothrow) KsFile();
  if (!f) return KS_ERR_NO_MEMORY;
  f->d = d;
  f->path = path;
  f->mode = mode;
  int rc = KS_OK;
  for (int attempt = 0; attempt < 5; attempt++) {
    // Keyed files open for writing even to deny others writing: an exclusive
    // lock needs a handle that may write. The store itself refuses the writes.
    int prc = plat_open(path, d->kind == KS_KEYED || mode == KS_SHARED, 0, &f->pf);
    if (prc == PLAT_DENIED) prc = plat_open(path, 0, 0, &f->pf);
    if (prc != PLAT_OK) {
      rc = plat_to_ks(prc);
      break;
    }
    if (d->kind == KS_LINES) break;
    if (plat_lock(f->pf, kLockPresence, mode == KS_DENY_WRITE, kPresenceWaitMs) != PLAT_OK) {
      rc = KS_ERR_LOCKED;
      break;
    }
    if (plat_same_file(f->pf, path)) break;
    plat_close(f->pf);   // replaced by a rewrite meanwhile: open the new file
    f->pf = nullptr;
    rc = KS_ERR_LOCKED;
  }
  if (rc == KS_OK && d->kind == KS_KEYED) {
    rc = lock_data(f, 0, kOpWaitMs);
    if (rc == KS_OK) {
      // The header is read and checked before its page is mapped (a mapped
      // page beyond the end of a short file could not be touched).
      rc = load_snapshot(f, 1);
      if (rc == KS_OK && plat_map_counter(f->pf, H_CHANGES, &f->changes) == PLAT_OK)
        f->seen_changes = load_changes(f);
      if (rc == KS_OK) rc = sync_log(f);
      if (rc == KS_OK && f->has_pending && !allow_pending) rc = KS_ERR_LOCKED;
      plat_unlock(f->pf, kLockData);
    }
  }
  if (rc != KS_OK) {
    if (f->pf) plat_close(f->pf);
    delete f;
    return rc;
  }
  *out = f;
  return KS_OK;
}

int ks_open(const KsFileDecl* d, const char* name, int mode, KsFile** out) {
  return open_impl(d, name, mode, 0, out);
}

static void free_file(KsFile* f) {
  if (f->pf) plat_close(f->pf);
  delete f;
}

int ks_close(KsFile* f) {
  if (!f) return KS_ERR_NOT_OPEN;
  {
    std::unique_lock<std::mutex> lk(f->mu);
    bool in_txn;
    if (enter(f, lk, &in_txn) != KS_OK) return KS_ERR_LOCKED;
    if (in_txn) {
      lk.unlock();
      ks_rollback(f->txn);
    }
  }
  if (f->d->kind == KS_KEYED && f->mode == KS_SHARED) {
    // The last user rewrites the file as a fresh snapshot when it has a log.
    plat_unlock(f->pf, kLockPresence);
    if (plat_lock(f->pf, kLockPresence, 1, 0) == PLAT_OK) {
      if (lock_data(f, 1, 0) == KS_OK) {
        bool done = false;
        if (sync_log(f) == KS_OK && resolve_pending(f) == KS_OK && !f->has_pending &&
            (f->log_end > f->log_start || f->junk_tail))
          done = compact(f) == KS_OK;
        if (f->pf) {
          if (!done && f->wrote) plat_sync(f->pf);
          plat_unlock(f->pf, kLockData);
        }
      }
    } else if (f->wrote) {
      plat_sync(f->pf);
    }
  }
  free_file(f);
  return KS_OK;
}

const KsFileDecl* ks_decl(const KsFile* f) { return f ? f->d : nullptr; }

// Opens the file for a whole-file change: nobody else may have it open.
static int open_exclusive(const KsFileDecl* d, const char* path, PlatFile** pf) {
  int rc = plat_open(path, 1, 0, pf);
  if (rc != PLAT_OK) return plat_to_ks(rc);
  if (plat_lock(*pf, kLockPresence, 1, kPresenceWaitMs) != PLAT_OK) {
    plat_close(*pf);
    *pf = nullptr;
    return KS_ERR_LOCKED;
  }
  (void)d;
  return KS_OK;
}

int ks_create(const KsFileDecl* d, const char* name) {
  if (ks_check_decl(d) != KS_OK) return KS_ERR_INVALID;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  if (d->kind == KS_LINES) {
    PlatFile* pf;
    int rc = plat_open(path, 1, 1, &pf);
    if (rc != PLAT_OK) return plat_to_ks(rc);
    plat_close(pf);
    return KS_OK;
  }
  PlatFile* old = nullptr;
  if (plat_exists(path)) {
    int rc = open_exclusive(d, path, &old);
    if (rc != KS_OK && rc != KS_ERR_NO_FILE) return rc;
  }
  std::string tmp = std::string(path) + "~";
  int rc = write_snapshot(d, tmp, nullptr);
  if (rc == KS_OK) {
    if (old) {
      plat_close(old);
      old = nullptr;
    }
    int prc = plat_rename_replace(tmp.c_str(), path);
    if (prc != PLAT_OK) {
      plat_remove(tmp.c_str());
      rc = plat_to_ks(prc);
    }
  }
  if (old) plat_close(old);
  return rc;
}

int ks_remove(const KsFileDecl* d, const char* name) {
  if (!d) return KS_ERR_BAD_ARGUMENT;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  if (!plat_exists(path)) return KS_ERR_NO_FILE;
  if (d->kind == KS_KEYED) {
    PlatFile* pf;
    int rc = open_exclusive(d, path, &pf);
    if (rc != KS_OK) return rc;
    plat_close(pf);
  }
  return plat_to_ks(plat_remove(path));
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
  uint64_t now = plat_now_ms();
  rc = lock_data(f, 1, deadline > now ? (unsigned)(deadline - now) : 0);
  if (rc == KS_OK) {
    rc = sync_log(f);
    if (rc == KS_OK) rc = resolve_pending(f);
    plat_unlock(f->pf, kLockData);
  }
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
  f->path = path;
  int rc = open_exclusive(d, path, &f->pf);
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

// ---- Records ------------------------------------------------------------------------

void ks_clear(const KsFileDecl* d, void* rec) {
  memset(rec, 0, d->record_size);
  for (int i = 0; i < d->nfields; i++)
    if (d->fields[i].type == KS_STRING) memset((char*)rec + d->fields[i].offset, ' ', d->fields[i].width);
}

static void read_into(const KsFile* f, uint32_t id, void* rec) {
  const Slot& s = f->slots[id];
  decode_record(f->d, (const uint8_t*)s.data.data(), s.data.size(), rec);
  KsTag* t = tag_of(f->d, rec);
  t->id = id;
  t->version = s.version;
}

// Runs one change: inside this thread's transaction it is applied and
// remembered; otherwise it is applied and written as its own batch.
static int change(KsFile* f, Op op, void* rec) {
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc != KS_OK) return rc;
  if (in_txn && debug_fail_now()) return KS_ERR_IO;
  if (!in_txn) {
    rc = begin_write(f);
    if (rc != KS_OK) return rc;
  }
  KsTag* tag = tag_of(f->d, rec);
  Undo u;
  u.kind = op.kind;
  if (op.kind == OP_ADD) {
    op.id = f->next_id;
    op.version = 1;
  } else {
    op.id = tag->id;
    if (tag->id == 0) rc = KS_ERR_NOT_FOUND;
    else if (!slot_live(f, tag->id) || f->slots[tag->id].version != tag->version) rc = KS_ERR_CHANGED;
    else {
      u.old = f->slots[tag->id];
      op.version = tag->version + 1;
    }
  }
  u.id = op.id;
  if (rc == KS_OK) rc = apply_op(f, op);
  if (rc == KS_OK) {
    if (in_txn) {
      TxnFile* tf = txn_file(f);
      tf->undo.push_back(std::move(u));
      tf->redo.push_back(op);
    } else {
      std::string payload;
      append_op(&payload, op);
      rc = write_batch(f, B_NORMAL, 0, payload);
      if (rc != KS_OK) undo_op(f, u);
    }
  }
  if (!in_txn) end_write(f);
  if (rc == KS_OK) {
    tag->id = op.kind == OP_DEL ? 0 : op.id;
    tag->version = op.kind == OP_DEL ? 0 : op.version;
  }
  return rc;
}

int ks_add(KsFile* f, void* rec) {
  if (!f || !rec) return KS_ERR_NOT_OPEN;
  if (f->d->kind == KS_LINES) return line_add(f, rec);
  if (f->mode != KS_SHARED) return KS_ERR_ACCESS;
  Op op;
  op.kind = OP_ADD;
  encode_record(f->d, rec, &op.data);
  return change(f, std::move(op), rec);
}

int ks_put(KsFile* f, void* rec) {
  if (!f || !rec) return KS_ERR_NOT_OPEN;
  if (f->d->kind == KS_LINES) return KS_ERR_BAD_ARGUMENT;
  if (f->mode != KS_SHARED) return KS_ERR_ACCESS;
  Op op;
  op.kind = OP_PUT;
  encode_record(f->d, rec, &op.data);
  return change(f, std::move(op), rec);
}

int ks_delete(KsFile* f, void* rec) {
  if (!f || !rec) return KS_ERR_NOT_OPEN;
  if (f->d->kind == KS_LINES) return KS_ERR_BAD_ARGUMENT;
  if (f->mode != KS_SHARED) return KS_ERR_ACCESS;
  Op op;
  op.kind = OP_DEL;
  return change(f, std::move(op), rec);
}

int ks_get(KsFile* f, int key, void* rec) {
  if (!f || !rec) return KS_ERR_NOT_OPEN;
  if (f->d->kind != KS_KEYED || key < 0 || key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc != KS_OK) return rc;
  FieldVals v;
  vals_from_record(f->d, rec, &v);
  std::string k;
  if (!build_key(f->d, key, &v, 0, &k)) return KS_ERR_NOT_FOUND;
  const KeyMap& m = f->keys[key];
  uint32_t id = 0;
  if (f->d->keys[key].flags & KS_UNIQUE) {
    auto it = m.find(k);
    if (it != m.end()) id = it->second;
  } else {
    k.resize(k.size() - 4);
    auto it = m.lower_bound(k);
    if (it != m.end() && it->first.size() == k.size() + 4 && it->first.compare(0, k.size(), k) == 0) id = it->second;
  }
  if (!id) return KS_ERR_NOT_FOUND;
  read_into(f, id, rec);
  return KS_OK;
}

int ks_count(KsFile* f, uint32_t* count) {
  if (!f || !count) return KS_ERR_NOT_OPEN;
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc == KS_OK) *count = f->live;
  return rc;
}

int ks_file_size(KsFile* f, uint64_t* bytes) {
  if (!f || !bytes) return KS_ERR_NOT_OPEN;
  std::lock_guard<std::mutex> lk(f->mu);
  return plat_size(f->pf, bytes) == PLAT_OK ? KS_OK : KS_ERR_IO;
}

int ks_record_bytes(KsFile* f, uint64_t* bytes) {
  if (!f || !bytes) return KS_ERR_NOT_OPEN;
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc != KS_OK) return rc;
  uint64_t total = 0;
  for (const Slot& s : f->slots)
    if (s.live) total += s.data.size();
  *bytes = total;
  return KS_OK;
}

void ks_read_ahead(KsFile* f, int on) {
  if (!f) return;
  std::lock_guard<std::mutex> lk(f->mu);
  f->read_ahead = on ? 1 : 0;
}

// ---- Positions ------------------------------------------------------------------------

enum { POS_VERSION = 1, POS_HEAD = 6 };   // version, key (+1), record id

int ks_get_position(KsFile* f, int key, const void* rec, KsPosition* pos) {
  if (!f || !rec || !pos) return KS_ERR_NOT_OPEN;
  if (f->d->kind != KS_KEYED || key < -1 || key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc != KS_OK) return rc;
  const KsTag* t = (const KsTag*)((const uint8_t*)rec + f->d->tag_offset);
  if (t->id == 0) return KS_ERR_NOT_FOUND;
  memset(pos, 0, sizeof *pos);
  pos->data[0] = POS_VERSION;
  pos->data[1] = (uint8_t)(key + 1);
  put_u32(pos->data + 2, t->id);
  pos->size = POS_HEAD;
  if (key >= 0 && slot_live(f, t->id)) {
    std::string keys[KS_MAX_KEYS];
    if (record_keys(f, t->id, f->slots[t->id].data, keys) == KS_OK && !keys[key].empty() &&
        keys[key].size() <= KS_POSITION_MAX - POS_HEAD) {
      memcpy(pos->data + POS_HEAD, keys[key].data(), keys[key].size());
      pos->size = (uint16_t)(POS_HEAD + keys[key].size());
    }
  }
  return KS_OK;
}

static int parse_position(const KsFile* f, const KsPosition* pos, int* key, uint32_t* id) {
  if (pos->size < POS_HEAD || pos->size > KS_POSITION_MAX || pos->data[0] != POS_VERSION) return KS_ERR_BAD_ARGUMENT;
  *key = (int)pos->data[1] - 1;
  *id = get_u32(pos->data + 2);
  if (*key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;
  return KS_OK;
}

int ks_reget(KsFile* f, const KsPosition* pos, void* rec) {
  if (!f || !pos || !rec) return KS_ERR_NOT_OPEN;
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc != KS_OK) return rc;
  int key;
  uint32_t id;
  rc = parse_position(f, pos, &key, &id);
  if (rc != KS_OK) return rc;
  if (!slot_live(f, id)) return KS_ERR_NOT_FOUND;
  read_into(f, id, rec);
  return KS_OK;
}

// ---- Cursors --------------------------------------------------------------------------

int ks_cursor_open(KsFile* f, int key, const char* filter, KsCursor** out, char* err, size_t err_cap) {
  if (!out) return KS_ERR_BAD_ARGUMENT;
  *out = nullptr;
  if (!f) return KS_ERR_NOT_OPEN;
  if (key < -1 || key >= f->d->nkeys || (f->d->kind == KS_LINES && key != -1)) return KS_ERR_BAD_ARGUMENT;
  KsFilter* flt = nullptr;
  int rc = filter_compile(f->d, filter, &flt, err, err_cap);
  if (rc != KS_OK) return rc;
  KsCursor* c = new (std::nothrow) KsCursor();
  if (!c) {
    filter_free(flt);
    return KS_ERR_NO_MEMORY;
  }
  c->f = f;
  c->key = key;
  c->filter = flt;
  c->scratch.resize(f->d->record_size);
  *out = c;
  return KS_OK;
}

void ks_cursor_close(KsCursor* c) {
  if (!c) return;
  filter_free(c->filter);
  delete c;
}

uint64_t ks_cursor_bytes(const KsCursor* c) { return c ? c->bytes : 0; }

int ks_set(KsCursor* c, const void* rec) {
  if (!c) return KS_ERR_NOT_OPEN;
  KsFile* f = c->f;
  c->bytes = 0;
  if (f->d->kind == KS_LINES) {
    c->line_off = 0;
    return KS_OK;
  }
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc != KS_OK) return rc;
  if (!rec) {
    c->state = KsCursor::START;
    return KS_OK;
  }
  if (c->key < 0) {
    c->state = KsCursor::SEEK;
    c->phys = tag_of(f->d, (void*)rec)->id;
    return KS_OK;
  }
  FieldVals v;
  vals_from_record(f->d, rec, &v);
  build_key_prefix(f->d, c->key, &v, &c->pos);
  c->state = KsCursor::SEEK;
  return KS_OK;
}

int ks_set_end(KsCursor* c) {
  if (!c) return KS_ERR_NOT_OPEN;
  if (c->f->d->kind == KS_LINES) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(c->f->mu);
  bool in_txn;
  int rc = enter(c->f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(c->f);
  if (rc == KS_OK) c->state = KsCursor::END;
  return rc;
}

int ks_set_position(KsCursor* c, const KsPosition* pos) {
  if (!c || !pos) return KS_ERR_NOT_OPEN;
  KsFile* f = c->f;
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK) rc = refresh(f);
  if (rc != KS_OK) return rc;
  int key;
  uint32_t id;
  rc = parse_position(f, pos, &key, &id);
  if (rc != KS_OK) return rc;
  if (c->key < 0) {
    c->state = KsCursor::SEEK;
    c->phys = id;
    return KS_OK;
  }
  std::string keys[KS_MAX_KEYS];
  if (slot_live(f, id) && record_keys(f, id, f->slots[id].data, keys) == KS_OK && !keys[c->key].empty()) {
    c->pos = keys[c->key];
  } else if (key == c->key && pos->size > POS_HEAD) {
    c->pos.assign((const char*)pos->data + POS_HEAD, pos->size - POS_HEAD);
  } else {
    return KS_ERR_NOT_FOUND;
  }
  c->state = KsCursor::SEEK;
  return KS_OK;
}

// Moves one entry in key order; returns the record id or 0 at the end.
static uint32_t step_key(KsCursor* c, int forward) {
  KsFile* f = c->f;
  const KeyMap& m = f->keys[c->key];
  KeyMap::const_iterator it;
  switch (c->state) {
    case KsCursor::START:
      if (!forward) return 0;
      it = m.begin();
      break;
    case KsCursor::END:
      if (forward || m.empty()) return 0;
      it = std::prev(m.end());
      break;
    case KsCursor::SEEK:
      it = m.lower_bound(c->pos);
      if (!forward) {
        if (it == m.begin()) return 0;
        --it;
      }
      break;
    case KsCursor::AT:
    default:
      if (c->it_mod == f->mod) {
        it = c->it;
        if (forward) ++it;
        else if (it == m.begin()) return 0;
        else --it;
      } else if (forward) {
        it = m.upper_bound(c->pos);
      } else {
        it = m.lower_bound(c->pos);
        if (it == m.begin()) return 0;
        --it;
      }
      break;
  }
  if (it == m.end()) return 0;
  c->it = it;
  c->it_mod = f->mod;
  c->pos = it->first;
  c->state = KsCursor::AT;
  return it->second;
}

static uint32_t step_phys(KsCursor* c, int forward) {
  KsFile* f = c->f;
  int64_t id;
  switch (c->state) {
    case KsCursor::START: if (!forward) return 0; id = 1; break;
    case KsCursor::END: if (forward) return 0; id = (int64_t)f->slots.size() - 1; break;
    case KsCursor::SEEK: id = forward ? (int64_t)c->phys : (int64_t)c->phys - 1; break;
    default: id = forward ? (int64_t)c->phys + 1 : (int64_t)c->phys - 1; break;
  }
  while (id > 0 && id < (int64_t)f->slots.size()) {
    if (f->slots[(size_t)id].live) {
      c->phys = (uint32_t)id;
      c->state = KsCursor::AT;
      return (uint32_t)id;
    }
    id += forward ? 1 : -1;
  }
  return 0;
}

static int cursor_step(KsCursor* c, void* rec, int forward) {
  if (!c || !rec) return KS_ERR_NOT_OPEN;
  KsFile* f = c->f;
  if (f->d->kind == KS_LINES) {
    if (!forward) return KS_ERR_BAD_ARGUMENT;
    return line_next(c, rec);
  }
  std::unique_lock<std::mutex> lk(f->mu);
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK && !f->read_ahead) rc = refresh(f);
  if (rc != KS_OK) return rc;
  for (;;) {
    uint32_t id = c->key < 0 ? step_phys(c, forward) : step_key(c, forward);
    if (!id) {
      c->state = forward ? KsCursor::END : KsCursor::START;
      return KS_ERR_NO_RECORD;
    }
    const Slot& s = f->slots[id];
    c->bytes += s.data.size();
    if (c->filter) {
      FieldVals v;
      if (vals_from_encoded(f->d, (const uint8_t*)s.data.data(), s.data.size(), &v) != KS_OK) return KS_ERR_INVALID;
      if (!filter_match(c->filter, &v)) continue;
    }
    read_into(f, id, rec);
    return KS_OK;
  }
}

int ks_next(KsCursor* c, void* rec) { return cursor_step(c, rec, 1); }
int ks_previous(KsCursor* c, void* rec) { return cursor_step(c, rec, 0); }

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
    rc = sync_log(f);
    if (rc == KS_OK) rc = resolve_pending(f);
    if (rc == KS_OK && f->junk_tail) {
      if (plat_truncate(f->pf, f->log_end) != PLAT_OK) rc = KS_ERR_IO;
      f->junk_tail = false;
      f->seen_size = f->log_end;
    }
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
        write_batch(changed[i]->f, B_COMMIT, txid, std::string());   // settled by the coordinator if lost
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
