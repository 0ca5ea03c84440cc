// Record and key encodings of the keyed store, the Windows ANSI (code page 1252)
// case tables that case-insensitive keys use, CRC-32 and the declaration
// fingerprint that tells a file of one declaration from any other.
#include "sitelist/records/store_internal.h"

#include <string.h>

#include "common/tx_util.h"

// ---- Case tables --------------------------------------------------------------

struct CaseTables {
  uint8_t lower[256];
  uint8_t upper[256];
};

// Code page 1252 pairs beyond A-Z: S/Z/OE with caron, Y with diaeresis, and the
// accented capitals 0xC0-0xDE except the multiplication sign 0xD7.
static constexpr uint8_t kExtraPairs[][2] = {
    {0x8A, 0x9A},
    {0x8C, 0x9C},
    {0x8E, 0x9E},
    {0x9F, 0xFF},
};
static_assert(ARRAY_SIZE(kExtraPairs) == 4, "four extra case pairs");

static constexpr CaseTables make_tables() {
  CaseTables t{};
  for (int i = 0; i < 256; i++) {
    t.lower[i] = (uint8_t)i;
    t.upper[i] = (uint8_t)i;
  }
  for (int c = 'A'; c <= 'Z'; c++) {
    t.lower[c] = (uint8_t)(c + 32);
    t.upper[c + 32] = (uint8_t)c;
  }
  for (int c = 0xC0; c <= 0xDE; c++) {
    if (c == 0xD7) continue;
    t.lower[c] = (uint8_t)(c + 32);
    t.upper[c + 32] = (uint8_t)c;
  }
  for (int i = 0; i < 4; i++) {
    t.lower[kExtraPairs[i][0]] = kExtraPairs[i][1];
    t.upper[kExtraPairs[i][1]] = kExtraPairs[i][0];
  }
  return t;
}
static constexpr CaseTables kTables = make_tables();
static_assert(kTables.lower[0x5F] == 0x5F && kTables.lower[0x41] == 0x61, "ANSI lower-casing");

const uint8_t kAnsiLower[256] = {
#define L(i) kTables.lower[i]
#define L8(i) L(i), L(i + 1), L(i + 2), L(i + 3), L(i + 4), L(i + 5), L(i + 6), L(i + 7)
#define L64(i) L8(i), L8(i + 8), L8(i + 16), L8(i + 24), L8(i + 32), L8(i + 40), L8(i + 48), L8(i + 56)
    L64(0), L64(64), L64(128), L64(192)};
const uint8_t kAnsiUpper[256] = {
#undef L
#define L(i) kTables.upper[i]
    L64(0), L64(64), L64(128), L64(192)};
#undef L
#undef L8
#undef L64

// ---- CRC-32 (IEEE, reflected) ----------------------------------------------

struct CrcTable {
  uint32_t t[256];
};
static constexpr CrcTable make_crc() {
  CrcTable c{};
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t v = i;
    for (int k = 0; k < 8; k++) v = (v & 1) ? (0xEDB88320u ^ (v >> 1)) : (v >> 1);
    c.t[i] = v;
  }
  return c;
}
static constexpr CrcTable kCrc = make_crc();

uint32_t ks_crc32(const void* data, size_t n, uint32_t crc) {
  const uint8_t* p = (const uint8_t*)data;
  crc = ~crc;
  for (size_t i = 0; i < n; i++) crc = kCrc.t[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// ---- Varints ---------------------------------------------------------------

void append_varint(std::string* out, uint32_t v) {
  while (v >= 0x80) {
    out->push_back((char)(uint8_t)(v | 0x80));
    v >>= 7;
  }
  out->push_back((char)(uint8_t)v);
}

int read_varint(const uint8_t* p, size_t n, size_t* pos, uint32_t* v) {
  uint32_t r = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (*pos >= n) return 0;
    uint8_t b = p[(*pos)++];
    if (shift == 28 && (b & 0xF0)) return 0;
    r |= (uint32_t)(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      *v = r;
      return 1;
    }
  }
  return 0;
}

// ---- Records ------------------------------------------------------------------

static int32_t decimal_limit(int digits) {
  int32_t m = 1;
  for (int i = 0; i < digits && i < 9; i++) m *= 10;
  return m - 1;
}

static int32_t read_number(const KsField& f, const uint8_t* base) {
  if (f.type == KS_BYTE) return base[f.offset];
  int32_t v;
  memcpy(&v, base + f.offset, sizeof v);
  if (f.type == KS_DECIMAL) {
    int32_t lim = decimal_limit(f.width);
    if (v > lim) v = lim;
    if (v < -lim) v = -lim;
  }
  return v;
}

static size_t trimmed_len(const char* s, size_t n) {
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) n--;
  return n;
}

void vals_from_record(const KsFileDecl* d, const void* rec, FieldVals* v) {
  const uint8_t* base = (const uint8_t*)rec;
  for (int i = 0; i < d->nfields; i++) {
    const KsField& f = d->fields[i];
    if (f.type == KS_STRING) {
      v->str[i] = (const char*)base + f.offset;
      v->len[i] = (uint16_t)trimmed_len(v->str[i], f.width);
      v->num[i] = 0;
    } else {
      v->str[i] = nullptr;
      v->len[i] = 0;
      v->num[i] = read_number(f, base);
    }
  }
  v->memo = nullptr;
  v->memo_len = 0;
  if (d->memo_size) {
    v->memo = (const char*)base + d->memo_offset;
    v->memo_len = (uint16_t)strnlen(v->memo, d->memo_size);
  }
}

static int number_bytes(const KsField& f) {
  if (f.type == KS_BYTE) return 1;
  if (f.type == KS_DECIMAL && f.width <= 2) return 1;
  return 4;
}

void encode_record(const KsFileDecl* d, const void* rec, std::string* out) {
  FieldVals v;
  vals_from_record(d, rec, &v);
  out->clear();
  for (int i = 0; i < d->nfields; i++) {
    const KsField& f = d->fields[i];
    if (f.type == KS_STRING) {
      append_varint(out, v.len[i]);
      out->append(v.str[i], v.len[i]);
    } else if (number_bytes(f) == 1) {
      out->push_back((char)(uint8_t)v.num[i]);
    } else {
      uint8_t b[4];
      put_u32(b, (uint32_t)v.num[i]);
      out->append((const char*)b, 4);
    }
  }
  if (d->memo_size) {
    append_varint(out, v.memo_len);
    out->append(v.memo, v.memo_len);
  }
}

int vals_from_encoded(const KsFileDecl* d, const uint8_t* p, size_t n, FieldVals* v) {
  size_t pos = 0;
  for (int i = 0; i < d->nfields; i++) {
    const KsField& f = d->fields[i];
    v->str[i] = nullptr;
    v->len[i] = 0;
    v->num[i] = 0;
    if (f.type == KS_STRING) {
      uint32_t len;
      if (!read_varint(p, n, &pos, &len) || len > f.width || len > n - pos) return KS_ERR_INVALID;
      v->str[i] = (const char*)p + pos;
      v->len[i] = (uint16_t)len;
      pos += len;
    } else if (number_bytes(f) == 1) {
      if (pos >= n) return KS_ERR_INVALID;
      v->num[i] = f.type == KS_BYTE ? (int32_t)p[pos] : (int32_t)(int8_t)p[pos];
      pos++;
      if (f.type == KS_DECIMAL && (v->num[i] > decimal_limit(f.width) || v->num[i] < -decimal_limit(f.width)))
        return KS_ERR_INVALID;
    } else {
      if (n - pos < 4) return KS_ERR_INVALID;
      v->num[i] = (int32_t)get_u32(p + pos);
      pos += 4;
    }
  }
  v->memo = nullptr;
  v->memo_len = 0;
  if (d->memo_size) {
    uint32_t len;
    if (!read_varint(p, n, &pos, &len) || len > d->memo_size || len > n - pos) return KS_ERR_INVALID;
    v->memo = (const char*)p + pos;
    v->memo_len = (uint16_t)len;
    pos += len;
  }
  return pos == n ? KS_OK : KS_ERR_INVALID;
}

int decode_record(const KsFileDecl* d, const uint8_t* p, size_t n, void* rec) {
  FieldVals v;
  int rc = vals_from_encoded(d, p, n, &v);
  if (rc != KS_OK) return rc;
  uint8_t* base = (uint8_t*)rec;
  for (int i = 0; i < d->nfields; i++) {
    const KsField& f = d->fields[i];
    if (f.type == KS_STRING) {
      memcpy(base + f.offset, v.str[i], v.len[i]);
      memset(base + f.offset + v.len[i], ' ', f.width - v.len[i]);
    } else if (f.type == KS_BYTE) {
      base[f.offset] = (uint8_t)v.num[i];
    } else {
      memcpy(base + f.offset, &v.num[i], sizeof(int32_t));
    }
  }
  if (d->memo_size) {
    memcpy(base + d->memo_offset, v.memo, v.memo_len);
    base[d->memo_offset + v.memo_len] = 0;
  }
  return KS_OK;
}

// ---- Keys -----------------------------------------------------------------------
//
// A string component is written byte by byte (lower-cased for case-insensitive
// keys) with every space doubled as 0x20 0x01 and ended by 0x20 0x00, so that
// byte-wise comparison orders values as space-padded strings compare: "ab"
// equals "ab   ", sorts after "ab\x01" and before "ab!". Numbers are written
// big-endian with the sign bit flipped. A descending component has its bytes
// inverted; every encoding is prefix-free, so that order simply reverses.

void encode_key_string(const char* s, size_t n, int nocase, int descending, std::string* out) {
  size_t start = out->size();
  while (n > 0 && s[n - 1] == ' ') n--;
  for (size_t i = 0; i < n; i++) {
    uint8_t c = (uint8_t)s[i];
    if (nocase) c = kAnsiLower[c];
    out->push_back((char)c);
    if (c == ' ') out->push_back((char)1);
  }
  out->push_back(' ');
  out->push_back((char)0);
  if (descending)
    for (size_t i = start; i < out->size(); i++) (*out)[i] = (char)~(uint8_t)(*out)[i];
}

static void encode_key_number(const KsField& f, int32_t v, int descending, std::string* out) {
  uint8_t b[4];
  int nb = number_bytes(f);
  if (nb == 1) {
    b[0] = f.type == KS_BYTE ? (uint8_t)v : (uint8_t)((uint8_t)(int8_t)v ^ 0x80);
  } else {
    uint32_t u = (uint32_t)v ^ 0x80000000u;
    b[0] = (uint8_t)(u >> 24);
    b[1] = (uint8_t)(u >> 16);
    b[2] = (uint8_t)(u >> 8);
    b[3] = (uint8_t)u;
  }
  for (int i = 0; i < nb; i++) out->push_back((char)(descending ? (uint8_t)~b[i] : b[i]));
}

void build_key_prefix(const KsFileDecl* d, int k, const FieldVals* v, std::string* out) {
  const KsKey& key = d->keys[k];
  out->clear();
  for (int i = 0; i < key.nparts; i++) {
    const KsKeyPart& part = key.parts[i];
    const KsField& f = d->fields[part.field];
    if (f.type == KS_STRING)
      encode_key_string(v->str[part.field], v->len[part.field], key.flags & KS_NOCASE, part.descending, out);
    else encode_key_number(f, v->num[part.field], part.descending, out);
  }
}

int build_key(const KsFileDecl* d, int k, const FieldVals* v, uint32_t id, std::string* out) {
  const KsKey& key = d->keys[k];
  if (key.flags & KS_EXCLUDE_BLANK) {
    int blank = 1;
    for (int i = 0; i < key.nparts && blank; i++) {
      int fi = key.parts[i].field;
      if (d->fields[fi].type == KS_STRING ? v->len[fi] != 0 : v->num[fi] != 0) blank = 0;
    }
    if (blank) return 0;
  }
  build_key_prefix(d, k, v, out);
  if (!(key.flags & KS_UNIQUE)) {
    out->push_back((char)(uint8_t)(id >> 24));
    out->push_back((char)(uint8_t)(id >> 16));
    out->push_back((char)(uint8_t)(id >> 8));
    out->push_back((char)(uint8_t)id);
  }
  return 1;
}

// ---- Declarations -------------------------------------------------------------

static uint32_t fnv(uint32_t h, uint32_t v) {
  for (int i = 0; i < 4; i++) {
    h ^= (v >> (8 * i)) & 0xFF;
    h *= 16777619u;
  }
  return h;
}

uint32_t decl_fingerprint(const KsFileDecl* d) {
  uint32_t h = 2166136261u;
  h = fnv(h, 1);  // encoding version
  h = fnv(h, d->kind);
  h = fnv(h, d->nfields);
  for (int i = 0; i < d->nfields; i++) {
    h = fnv(h, d->fields[i].type);
    h = fnv(h, d->fields[i].width);
  }
  h = fnv(h, d->memo_size);
  h = fnv(h, d->nkeys);
  for (int k = 0; k < d->nkeys; k++) {
    h = fnv(h, d->keys[k].flags & ~KS_PRIMARY);
    h = fnv(h, d->keys[k].nparts);
    for (int i = 0; i < d->keys[k].nparts; i++) {
      h = fnv(h, d->keys[k].parts[i].field);
      h = fnv(h, d->keys[k].parts[i].descending);
    }
  }
  return h;
}

int ks_check_decl(const KsFileDecl* d) {
  if (!d || !d->label || (d->kind != KS_KEYED && d->kind != KS_LINES)) return KS_ERR_INVALID;
  if (d->nfields < 1 || d->nfields > KS_MAX_FIELDS || d->nkeys > KS_MAX_KEYS) return KS_ERR_INVALID;
  if (d->tag_offset + sizeof(KsTag) > d->record_size) return KS_ERR_INVALID;
  for (int i = 0; i < d->nfields; i++) {
    const KsField& f = d->fields[i];
    size_t size = f.type == KS_STRING ? f.width : f.type == KS_BYTE ? 1 : 4;
    if (f.type < KS_STRING || f.type > KS_BYTE || size == 0 || f.offset + size > d->record_size) return KS_ERR_INVALID;
    if (f.type == KS_STRING && f.width > 4096) return KS_ERR_INVALID;
    if (f.type == KS_DECIMAL && (f.width < 1 || f.width > 9)) return KS_ERR_INVALID;
  }
  if (d->memo_size && d->memo_offset + (size_t)d->memo_size + 1 > d->record_size) return KS_ERR_INVALID;
  for (int k = 0; k < d->nkeys; k++) {
    const KsKey& key = d->keys[k];
    if (key.nparts < 1 || key.nparts > KS_MAX_KEY_PARTS) return KS_ERR_INVALID;
    for (int i = 0; i < key.nparts; i++)
      if (key.parts[i].field >= d->nfields) return KS_ERR_INVALID;
  }
  if (d->kind == KS_LINES && (d->nkeys != 0 || d->fields[0].type != KS_STRING)) return KS_ERR_INVALID;
  return KS_OK;
}
