// Cursors and positions: a cursor walks one key's ordered map (or the records
// by id, in physical order), remembering the entry it last read so that it
// carries on correctly after the map changed under it; a position names one
// record (and its key value) so that it can be re-read or a cursor set there.
#include "sitelist/records/store_internal.h"

#include <string.h>

#include <iterator>
#include <new>

// ---- Positions ------------------------------------------------------------------------

enum { POS_VERSION = 1, POS_HEAD = 6 };  // version, key (+1), record id

int ks_get_position(KsFile* f, int key, const void* rec, KsPosition* pos) {
  if (!f || !rec || !pos) return KS_ERR_NOT_OPEN;
  if (key < -1 || key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 0);
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

// The preamble of the calls given a position: enter_keyed, then the position read.
static int enter_position(KsFile* f, std::unique_lock<std::mutex>& lk, const KsPosition* pos, int* key, uint32_t* id) {
  int rc = enter_keyed(f, lk, 1);
  return rc == KS_OK ? parse_position(f, pos, key, id) : rc;
}

int ks_reget(KsFile* f, const KsPosition* pos, void* rec) {
  if (!f || !pos || !rec) return KS_ERR_NOT_OPEN;
  std::unique_lock<std::mutex> lk(f->mu);
  int key;
  uint32_t id;
  int rc = enter_position(f, lk, pos, &key, &id);
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
  if (key < -1 || key >= f->d->nkeys) return KS_ERR_BAD_ARGUMENT;  // line files have no keys
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
  c->bytes = 0;
  return c->f->kind->set(c, rec);
}

int keyed_set(KsCursor* c, const void* rec) {
  KsFile* f = c->f;
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 1);
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
  std::unique_lock<std::mutex> lk(c->f->mu);
  int rc = enter_keyed(c->f, lk, 1);
  if (rc == KS_OK) c->state = KsCursor::END;
  return rc;
}

int ks_set_position(KsCursor* c, const KsPosition* pos) {
  if (!c || !pos) return KS_ERR_NOT_OPEN;
  KsFile* f = c->f;
  std::unique_lock<std::mutex> lk(f->mu);
  int key;
  uint32_t id;
  int rc = enter_position(f, lk, pos, &key, &id);
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
    case KsCursor::START:
      if (!forward) return 0;
      id = 1;
      break;
    case KsCursor::END:
      if (forward) return 0;
      id = (int64_t)f->slots.size() - 1;
      break;
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

int keyed_step(KsCursor* c, void* rec, int forward) {
  KsFile* f = c->f;
  std::unique_lock<std::mutex> lk(f->mu);
  int rc = enter_keyed(f, lk, 0);
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

int ks_next(KsCursor* c, void* rec) { return c && rec ? c->f->kind->step(c, rec, 1) : KS_ERR_NOT_OPEN; }
int ks_previous(KsCursor* c, void* rec) { return c && rec ? c->f->kind->step(c, rec, 0) : KS_ERR_NOT_OPEN; }
