// The keyed store's entry points for files and records. Each open keyed file
// keeps the whole file image in memory (store_image.cpp), loaded from the
// file's snapshot (store_snapshot.cpp) and brought up to date from the
// write-ahead log at the end of the file (store_log.cpp), which every change
// appends to as a checksummed batch. Other handles and other processes see a
// change as soon as they touch the file again. Cursors and positions are in
// store_cursor.cpp, transactions in store_txn.cpp, the settling of interrupted
// ones and key rebuilds in store_recovery.cpp, line files in line_file.cpp.
// FORMAT.txt describes the file.
#include "sitelist/records/keyed_store.h"

#include "sitelist/records/store_internal.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

#include "common/tx_util.h"

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

int plat_to_ks(int rc) {
  switch (rc) {
    case PLAT_OK: return KS_OK;
    case PLAT_NOT_FOUND: return KS_ERR_NO_FILE;
    case PLAT_DENIED: return KS_ERR_ACCESS;
    case PLAT_BUSY: return KS_ERR_LOCKED;
    default: return KS_ERR_IO;
  }
}

// ---- Names ------------------------------------------------------------------------

int ks_file_name(const KsFileDecl* d, const char* name, char* out, size_t cap) {
  int n;
  if (name && name[0]) n = snprintf(out, cap, "%s", name);
  else if (d && d->disk_name) n = snprintf(out, cap, "%s.KSF", d->disk_name);
  else return 0;
  return n > 0 && (size_t)n < cap;
}

std::string dir_of(const std::string& path) {
  size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

std::string base_of(const std::string& path) {
  size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? path : path.substr(k + 1);
}

// ---- Open and close ------------------------------------------------------------------

static const FileKindOps* kind_of(const KsFileDecl* d) { return d->kind == KS_KEYED ? &kKeyedFileOps : &kLineFileOps; }

static int keyed_open(KsFile* f, int allow_pending) {
  const char* path = f->path.c_str();
  int rc = KS_OK;
  for (int attempt = 0; attempt < 5; attempt++) {
    // Keyed files open for writing even to deny others writing: an exclusive
    // lock needs a handle that may write. The store itself refuses the writes.
    int prc = plat_open(path, 1, 0, &f->pf);
    if (prc == PLAT_DENIED) prc = plat_open(path, 0, 0, &f->pf);
    if (prc != PLAT_OK) {
      rc = plat_to_ks(prc);
      break;
    }
    if (plat_lock(f->pf, kLockPresence, f->mode == KS_DENY_WRITE, kPresenceWaitMs) != PLAT_OK) {
      rc = KS_ERR_LOCKED;
      break;
    }
    if (plat_same_file(f->pf, path)) break;
    plat_close(f->pf);  // replaced by a rewrite meanwhile: open the new file
    f->pf = nullptr;
    rc = KS_ERR_LOCKED;
  }
  if (rc == KS_OK) {
    rc = lock_data(f, 0, kOpWaitMs);
    if (rc == KS_OK) {
      // The header is read and checked before its page is mapped (a mapped
      // page beyond the end of a short file could not be touched).
      rc = load_snapshot(f, 1);
      if (rc == KS_OK && plat_map_counter(f->pf, H_CHANGES, &f->changes) == PLAT_OK) f->seen_changes = load_changes(f);
      if (rc == KS_OK) rc = sync_log(f);
      if (rc == KS_OK && f->has_pending && !allow_pending) rc = KS_ERR_LOCKED;
      plat_unlock(f->pf, kLockData);
    }
  }
  return rc;
}

int open_impl(const KsFileDecl* d, const char* name, int mode, int allow_pending, KsFile** out) {
  if (!out) return KS_ERR_BAD_ARGUMENT;
  if (*out) return KS_ERR_ALREADY_OPEN;
  if (ks_check_decl(d) != KS_OK) return KS_ERR_INVALID;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  KsFile* f = new (std::nothrow) KsFile();
  if (!f) return KS_ERR_NO_MEMORY;
  f->d = d;
  f->kind = kind_of(d);
  f->path = path;
  f->mode = mode;
  int rc = f->kind->open(f, allow_pending);
  if (rc != KS_OK) {
    free_file(f);
    return rc;
  }
  *out = f;
  return KS_OK;
}

int ks_open(const KsFileDecl* d, const char* name, int mode, KsFile** out) { return open_impl(d, name, mode, 0, out); }

void free_file(KsFile* f) {
  if (f->pf) plat_close(f->pf);
  delete f;
}

static void keyed_close(KsFile* f) {
  if (f->mode != KS_SHARED) return;
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
  f->kind->close(f);
  free_file(f);
  return KS_OK;
}

const KsFileDecl* ks_decl(const KsFile* f) { return f ? f->d : nullptr; }

int open_exclusive(const char* path, PlatFile** pf) {
  int rc = plat_open(path, 1, 0, pf);
  if (rc != PLAT_OK) return plat_to_ks(rc);
  if (plat_lock(*pf, kLockPresence, 1, kPresenceWaitMs) != PLAT_OK) {
    plat_close(*pf);
    *pf = nullptr;
    return KS_ERR_LOCKED;
  }
  return KS_OK;
}

static int keyed_create(const KsFileDecl* d, const char* path) {
  PlatFile* old = nullptr;
  if (plat_exists(path)) {
    int rc = open_exclusive(path, &old);
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

int ks_create(const KsFileDecl* d, const char* name) {
  if (ks_check_decl(d) != KS_OK) return KS_ERR_INVALID;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  return kind_of(d)->create(d, path);
}

static int keyed_remove(const KsFileDecl*, const char* path) {
  PlatFile* pf;
  int rc = open_exclusive(path, &pf);
  if (rc != KS_OK) return rc;
  plat_close(pf);
  return plat_to_ks(plat_remove(path));
}

int ks_remove(const KsFileDecl* d, const char* name) {
  if (!d) return KS_ERR_BAD_ARGUMENT;
  char path[1024];
  if (!ks_file_name(d, name, path, sizeof path)) return KS_ERR_BAD_ARGUMENT;
  if (!plat_exists(path)) return KS_ERR_NO_FILE;
  return kind_of(d)->remove(d, path);
}

// ---- Records ------------------------------------------------------------------------

void ks_clear(const KsFileDecl* d, void* rec) {
  memset(rec, 0, d->record_size);
  for (int i = 0; i < d->nfields; i++)
    if (d->fields[i].type == KS_STRING) memset((char*)rec + d->fields[i].offset, ' ', d->fields[i].width);
}

// Runs one add, put or delete of a keyed file: inside this thread's transaction
// it is applied and remembered; otherwise it is applied and written as its own
// batch.
static int change(KsFile* f, void* rec, uint8_t kind) {
  if (f->d->kind != KS_KEYED) return KS_ERR_BAD_ARGUMENT;
  if (f->mode != KS_SHARED) return KS_ERR_ACCESS;
  Op op;
  op.kind = kind;
  if (kind != OP_DEL) encode_record(f->d, rec, &op.data);
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

static int keyed_add(KsFile* f, void* rec) { return change(f, rec, OP_ADD); }

int ks_add(KsFile* f, void* rec) { return f && rec ? f->kind->add(f, rec) : KS_ERR_NOT_OPEN; }
int ks_put(KsFile* f, void* rec) { return f && rec ? change(f, rec, OP_PUT) : KS_ERR_NOT_OPEN; }
int ks_delete(KsFile* f, void* rec) { return f && rec ? change(f, rec, OP_DEL) : KS_ERR_NOT_OPEN; }

int ks_get(KsFile* f, int key, void* rec) {
  if (!f || !rec) return KS_ERR_NOT_OPEN;
  if (key < 0 || key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 1);
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
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 1);
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
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 1);
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

const FileKindOps kKeyedFileOps = {keyed_open,    keyed_close, keyed_create, keyed_remove,
                                   keyed_recover, keyed_add,   keyed_set,    keyed_step};
