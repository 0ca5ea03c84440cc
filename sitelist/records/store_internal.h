// Internals shared by the keyed store's modules: the Windows ANSI code page's
// case tables, CRC-32, the record and key encodings and the filter evaluator;
// then the engine's records (an open file with its image in memory, cursors,
// transactions), the layout of the .KSF file and the calls the engine's modules
// make of one another. FORMAT.txt describes the file; README.md names the modules.
#pragma once

#include "sitelist/records/file_platform.h"
#include "sitelist/records/keyed_store.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern const uint8_t kAnsiLower[256];
extern const uint8_t kAnsiUpper[256];

uint32_t ks_crc32(const void* data, size_t n, uint32_t crc = 0);

// Values of one record's fields, pointing into a record struct or into an
// encoded record: strings without their trailing spaces, numbers as integers.
struct FieldVals {
  const char* str[KS_MAX_FIELDS];
  uint16_t len[KS_MAX_FIELDS];
  int32_t num[KS_MAX_FIELDS];
  const char* memo;
  uint16_t memo_len;
};

// Fills vals from a record struct.
void vals_from_record(const KsFileDecl* d, const void* rec, FieldVals* vals);
// Fills vals from an encoded record; KS_ERR_INVALID when it does not parse
// exactly (every length inside bounds, nothing left over).
int vals_from_encoded(const KsFileDecl* d, const uint8_t* p, size_t n, FieldVals* vals);
// Encodes a record struct (strings trimmed, length prefixed; numbers little-endian).
void encode_record(const KsFileDecl* d, const void* rec, std::string* out);
// Decodes into a record struct (strings padded, memo zero-terminated); the tag is left alone.
int decode_record(const KsFileDecl* d, const uint8_t* p, size_t n, void* rec);

// Builds key `k`'s sort bytes from field values. Returns 0 when the record is
// excluded from the key (blank-excluded and all components blank). Duplicate
// keys get the record id appended so that every entry is distinct.
int build_key(const KsFileDecl* d, int k, const FieldVals* v, uint32_t id, std::string* out);
// The same without the record id (for seeking): the lower bound of the value.
void build_key_prefix(const KsFileDecl* d, int k, const FieldVals* v, std::string* out);
// Sort bytes of one string component (exposed for tests of the ordering).
void encode_key_string(const char* s, size_t n, int nocase, int descending, std::string* out);

uint32_t decl_fingerprint(const KsFileDecl* d);

// Filters.
struct KsFilter;
int filter_compile(const KsFileDecl* d, const char* text, KsFilter** out, char* err, size_t err_cap);
int filter_match(const KsFilter* f, const FieldVals* v);
void filter_free(KsFilter* f);

// Little-endian and varint helpers.
inline void put_u32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}
inline uint32_t get_u32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void put_u64(uint8_t* p, uint64_t v) {
  put_u32(p, (uint32_t)v);
  put_u32(p + 4, (uint32_t)(v >> 32));
}
inline uint64_t get_u64(const uint8_t* p) { return (uint64_t)get_u32(p) | ((uint64_t)get_u32(p + 4) << 32); }
void append_varint(std::string* out, uint32_t v);
// Reads a varint at *pos (bounded by n); 0 on a malformed or overlong one.
int read_varint(const uint8_t* p, size_t n, size_t* pos, uint32_t* v);

// ==== The engine ================================================================

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
  H_MAGIC = 0,         // 8 bytes "TXKSF\r\n\x1a"
  H_VERSION = 8,       // u32 format version
  H_FINGERPRINT = 12,  // u32 declaration fingerprint
  H_NKEYS = 16,        // u32
  H_COUNT = 20,        // u32 records in the snapshot
  H_NEXT_ID = 24,      // u32 next record id
  H_NRECENT = 28,      // u32 recent transaction ids held
  H_REC_OFF = 32,      // u64
  H_REC_LEN = 40,      // u64
  H_REC_CRC = 48,      // u32
  H_KEYS = 56,         // per key: u64 offset, u64 length, u32 entries, u32 crc
  H_KEY_ENTRY = 24,
  H_RECENT = H_KEYS + KS_MAX_KEYS * H_KEY_ENTRY,  // u64 ids of multi-file transactions
  H_LOG = H_RECENT + kRecentTx * 8,               // u64 where the log starts
  H_CRC_END = 480,                                // the checksum covers bytes 0..479
  H_CHANGES = 480,                                // u64 change counter (a hint, not checked)
  H_CRC = 508,                                    // u32 checksum
};
static_assert(H_RECENT == 248 && H_LOG == 376, "header layout");
static_assert(H_LOG + 8 <= H_CRC_END && H_CHANGES + 8 <= H_CRC && H_CRC + 4 == kHeaderSize, "header fits its page");

// Batch head: magic, u32 payload length, u64 transaction id, u8 kind, 3 zero
// bytes, u32 CRC over the head's first 20 bytes and the payload.
enum BatchKind : uint8_t { B_NORMAL = 1, B_PENDING = 2, B_COMMIT = 3, B_ABORT = 4 };
enum OpKind : uint8_t { OP_ADD = 1, OP_PUT = 2, OP_DEL = 3 };
constexpr size_t kOpHead = 13;  // kind, id, version, data length

// ---- Records of the engine ---------------------------------------------------------

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
  uint8_t kind = 0;  // the operation to undo
  uint32_t id = 0;
  Slot old;
};

typedef std::map<std::string, uint32_t> KeyMap;

struct FileKindOps;

struct KsFile {
  const KsFileDecl* d = nullptr;
  const FileKindOps* kind = nullptr;  // keyed file or line file
  std::string path;
  int mode = KS_SHARED;
  PlatFile* pf = nullptr;
  std::mutex mu;
  std::condition_variable cv;
  KsTxn* txn = nullptr;
  std::thread::id owner;
  // the image
  std::vector<Slot> slots;  // by record id; slot 0 unused
  uint32_t live = 0;
  uint32_t next_id = 1;
  std::vector<KeyMap> keys;
  uint64_t mod = 1;  // changes whenever a key map changes
  // the log
  uint64_t log_start = 0;
  uint64_t log_end = 0;    // end of the last batch taken in
  uint64_t seen_size = 0;  // file size at the last look (~0: look again)
  bool junk_tail = false;  // a torn batch lies after log_end
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
  int key;  // -1: physical order
  KsFilter* filter = nullptr;
  enum { START, SEEK, AT, END } state = START;
  std::string pos;    // SEEK: lower bound; AT: entry last read
  uint32_t phys = 0;  // physical order: id (SEEK: first id to read; AT: last read)
  KeyMap::const_iterator it;
  uint64_t it_mod = 0;
  uint64_t bytes = 0;
  uint64_t line_off = 0;  // line files: where the next line starts
  std::vector<uint8_t> scratch;
};

// What a file of each kind does for the calls that both kinds answer. The
// calls that only keyed files answer refuse line files with KS_ERR_BAD_ARGUMENT
// where they check their arguments (enter_keyed, change, ks_begin, ks_rebuild).
struct FileKindOps {
  // Opens f->path for f->mode (f->pf is NULL on entry; the caller closes it on failure).
  int (*open)(KsFile* f, int allow_pending);
  // Last work of ks_close before the handle is closed.
  void (*close)(KsFile* f);
  // Creates the file empty, replacing any file of that name.
  int (*create)(const KsFileDecl* d, const char* path);
  // Deletes the existing file at path.
  int (*remove)(const KsFileDecl* d, const char* path);
  // ks_recover's work once the file is open; the wait ends at `deadline` (plat_now_ms).
  int (*recover)(KsFile* f, uint64_t deadline);
  int (*add)(KsFile* f, void* rec);
  // ks_set after the cursor's byte count is reset.
  int (*set)(KsCursor* c, const void* rec);
  // ks_next (forward) and ks_previous.
  int (*step)(KsCursor* c, void* rec, int forward);
};
extern const FileKindOps kKeyedFileOps;  // keyed_store.cpp
extern const FileKindOps kLineFileOps;   // line_file.cpp

inline KsTag* tag_of(const KsFileDecl* d, void* rec) { return (KsTag*)((uint8_t*)rec + d->tag_offset); }
inline bool slot_live(const KsFile* f, uint32_t id) { return id > 0 && id < f->slots.size() && f->slots[id].live; }

// ---- keyed_store.cpp: errors, names, opening -------------------------------------

int plat_to_ks(int plat_rc);
std::string dir_of(const std::string& path);  // with its trailing separator; "" for a bare name
std::string base_of(const std::string& path);
// Opens as ks_open does; allow_pending 1 lets a file with an unsettled
// transaction open (for ks_recover) instead of failing with 32.
int open_impl(const KsFileDecl* d, const char* name, int mode, int allow_pending, KsFile** out);
// Opens the file for a whole-file change: nobody else may have it open (32).
int open_exclusive(const char* path, PlatFile** pf);
void free_file(KsFile* f);

// ---- store_image.cpp: the image in memory ------------------------------------------

// Builds every key of an encoded record; excluded keys get an empty string.
int record_keys(const KsFile* f, uint32_t id, const std::string& data, std::string* out);
// KS_ERR_DUPLICATE when a unique key of `keys` belongs to a record other than id.
int check_unique(const KsFile* f, uint32_t id, const std::string* keys);
void insert_keys(KsFile* f, uint32_t id, const std::string* keys);
// Applies a logged or new operation; KS_ERR_INVALID when it does not fit the image.
int apply_op(KsFile* f, const Op& op);
void undo_op(KsFile* f, const Undo& u);
// Empties the image (before a snapshot is loaded).
void reset_image(KsFile* f);
// Decodes record id into rec and fills its tag (inline: every read ends here).
inline void read_into(const KsFile* f, uint32_t id, void* rec) {
  const Slot& s = f->slots[id];
  decode_record(f->d, (const uint8_t*)s.data.data(), s.data.size(), rec);
  KsTag* t = tag_of(f->d, rec);
  t->id = id;
  t->version = s.version;
}

// ---- store_snapshot.cpp: header, snapshot, compaction ----------------------------

// Reads and checks the header (magic, version, checksum).
int read_header(PlatFile* pf, uint8_t* h, uint64_t* size);
// Loads the snapshot. keys_too: 0 rebuilds the keys from the records instead
// of reading them (the answer to 46).
int load_snapshot(KsFile* f, int keys_too);
// Writes f's image (NULL: no records) as a fresh file at path.
int write_snapshot(const KsFileDecl* d, const std::string& path, const KsFile* f);
// Replaces the file by a fresh snapshot of f's image. The caller holds the
// presence lock exclusively (no other handle is open) and the data lock. On
// success f->pf may be closed (the caller must not use it).
int compact(KsFile* f);

// ---- store_log.cpp: batches, log sync, access around operations -------------------

void append_op(std::string* payload, const Op& op);
// Checks one batch at p (n bytes available). Returns its total size, 0 when it is
// incomplete (need more bytes: *need receives the total), or -1 when invalid.
long long check_batch(const uint8_t* p, size_t n, size_t* need);
void remember_tx(KsFile* f, uint64_t txid);
// Takes in every complete batch after log_end. Caller holds the data lock.
int sync_log(KsFile* f);
// Appends one batch at log_end (cut back off when the write fails).
int write_batch(KsFile* f, uint8_t kind, uint64_t txid, const std::string& payload);
void count_change(KsFile* f);
inline uint64_t load_changes(const KsFile* f) { return __atomic_load_n(f->changes, __ATOMIC_ACQUIRE); }
int lock_data(KsFile* f, int exclusive, unsigned wait);
// Makes the file ready to be written under the exclusive data lock the caller
// holds: log taken in, interrupted transactions settled, a torn tail cut off.
int settle_log(KsFile* f);
// Exclusive data lock and settle_log for a write outside a transaction; end_write unlocks.
int begin_write(KsFile* f);
void end_write(KsFile* f);
// Brings the image up to date before a read. The test of the mapped change
// counter is inline (it settles most reads); refresh_from does the rest with
// the counter's value (0 where it is not mapped).
int refresh_from(KsFile* f, uint64_t changes);
inline int refresh(KsFile* f) {
  if (f->txn) return KS_OK;  // our own transaction holds the file
  uint64_t changes = 0;
  if (f->changes) {
    changes = load_changes(f);
    if (changes == f->seen_changes && !f->junk_tail) return KS_OK;
  }
  return refresh_from(f, changes);
}

// ---- store_recovery.cpp: interrupted multi-file transactions -------------------------

// Settles the pending batch of an interrupted transaction. Caller holds the
// data lock exclusively.
int resolve_pending(KsFile* f);
// ks_recover's work on an open keyed file: the data lock (waiting until
// `deadline`), the log taken in, an interrupted transaction settled.
int keyed_recover(KsFile* f, uint64_t deadline);

// ---- store_txn.cpp: threads and transactions ---------------------------------------

// Waits (lk held on f->mu) until no other thread's transaction holds the file.
// 32 on timeout; *in_txn says whether this thread's transaction holds it.
// Inline for the usual case of no transaction; enter_wait waits.
int enter_wait(KsFile* f, std::unique_lock<std::mutex>& lk, bool* in_txn);
inline int enter(KsFile* f, std::unique_lock<std::mutex>& lk, bool* in_txn) {
  if (!f->txn) {
    *in_txn = false;
    return KS_OK;
  }
  return enter_wait(f, lk, in_txn);
}
// The preamble of the calls that read a keyed file: 801 for a line file, then
// enter, then (fresh) refresh.
inline int enter_keyed(KsFile* f, std::unique_lock<std::mutex>& lk, int fresh) {
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  bool in_txn;
  int rc = enter(f, lk, &in_txn);
  if (rc == KS_OK && fresh) rc = refresh(f);
  return rc;
}
// This thread's transaction's record of f (f->txn set).
TxnFile* txn_file(KsFile* f);
// Whether ks_debug_fail_after's count has run out with this change.
int debug_fail_now();

// ---- store_cursor.cpp: cursors of keyed files ---------------------------------------

int keyed_set(KsCursor* c, const void* rec);
int keyed_step(KsCursor* c, void* rec, int forward);
