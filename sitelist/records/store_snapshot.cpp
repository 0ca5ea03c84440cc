// The snapshot part of a .KSF file: the header, the records section and one
// key section per key, read when a file opens and written whole when a file
// is created, its keys are rebuilt, or its last user closes it with a log.
#include "sitelist/records/store_internal.h"

#include <string.h>

static const char kMagic[8] = {'T', 'X', 'K', 'S', 'F', '\r', '\n', '\x1a'};

int read_header(PlatFile* pf, uint8_t* h, uint64_t* size) {
  if (plat_size(pf, size) != PLAT_OK) return KS_ERR_IO;
  if (*size < kHeaderSize) return KS_ERR_INVALID;
  if (plat_read(pf, 0, h, kHeaderSize) != PLAT_OK) return KS_ERR_IO;
  if (memcmp(h + H_MAGIC, kMagic, 8) != 0 || get_u32(h + H_VERSION) != kFormatVersion) return KS_ERR_INVALID;
  if (ks_crc32(h, H_CRC_END) != get_u32(h + H_CRC)) return KS_ERR_INVALID;
  return KS_OK;
}

int load_snapshot(KsFile* f, int keys_too) {
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

// Header, records, keys, an empty log.
int write_snapshot(const KsFileDecl* d, const std::string& path, const KsFile* f) {
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
        if (shared == key.size()) shared--;  // keep a non-empty suffix
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

int compact(KsFile* f) {
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
