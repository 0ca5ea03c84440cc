// The image of an open keyed file in memory: its records by id (slots) and one
// ordered map per key from the key's sort bytes to the record id. Changes from
// the log, from this handle and undos of a transaction all pass through
// apply_op and undo_op, which keep every key in step with the records.
#include "sitelist/records/store_internal.h"

int record_keys(const KsFile* f, uint32_t id, const std::string& data, std::string* out) {
  FieldVals v;
  int rc = vals_from_encoded(f->d, (const uint8_t*)data.data(), data.size(), &v);
  if (rc != KS_OK) return rc;
  for (int k = 0; k < f->d->nkeys; k++)
    if (!build_key(f->d, k, &v, id, &out[k])) out[k].clear();
  return KS_OK;
}

int check_unique(const KsFile* f, uint32_t id, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++) {
    if (!(f->d->keys[k].flags & KS_UNIQUE) || keys[k].empty()) continue;
    auto it = f->keys[k].find(keys[k]);
    if (it != f->keys[k].end() && it->second != id) return KS_ERR_DUPLICATE;
  }
  return KS_OK;
}

void insert_keys(KsFile* f, uint32_t id, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++)
    if (!keys[k].empty()) f->keys[k].emplace(keys[k], id);
  f->mod++;
}

static void erase_keys(KsFile* f, const std::string* keys) {
  for (int k = 0; k < f->d->nkeys; k++)
    if (!keys[k].empty()) f->keys[k].erase(keys[k]);
  f->mod++;
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

// Records are numbered densely in the order they were added: an add takes the
// next id (so the table grows only with adds actually present in the file).
static int mem_add(KsFile* f, uint32_t id, uint32_t version, const std::string& data) {
  if (id != f->next_id || id >= 0x7FFFFFFFu) return KS_ERR_INVALID;
  return mem_insert(f, id, version, data);
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

// Takes back the newest add (undo of an add); ids stay dense.
static void mem_unadd(KsFile* f, uint32_t id) {
  if (mem_del(f, id) == KS_OK && id + 1 == f->next_id) {
    f->next_id = id;
    f->slots.resize(id);
  }
}

int apply_op(KsFile* f, const Op& op) {
  switch (op.kind) {
    case OP_ADD: return mem_add(f, op.id, op.version, op.data);
    case OP_PUT: return mem_put(f, op.id, op.version, op.data);
    case OP_DEL: return mem_del(f, op.id);
  }
  return KS_ERR_INVALID;
}

void undo_op(KsFile* f, const Undo& u) {
  switch (u.kind) {
    case OP_ADD: mem_unadd(f, u.id); break;
    case OP_PUT: mem_put(f, u.id, u.old.version, u.old.data); break;
    case OP_DEL: mem_insert(f, u.id, u.old.version, u.old.data); break;
  }
}

void reset_image(KsFile* f) {
  f->slots.clear();
  f->live = 0;
  f->next_id = 1;
  f->keys.assign(f->d->nkeys, KeyMap());
  f->mod++;
  f->recent.clear();
  f->has_pending = false;
  f->pending_ops.clear();
}
