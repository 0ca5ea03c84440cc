// Internals shared by the keyed store's modules: the Windows ANSI code page's
// case tables, CRC-32, the record and key encodings and the filter evaluator.
#pragma once

#include "sitelist/records/keyed_store.h"

#include <string>

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
  p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); p[2] = (uint8_t)(v >> 16); p[3] = (uint8_t)(v >> 24);
}
inline uint32_t get_u32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void put_u64(uint8_t* p, uint64_t v) { put_u32(p, (uint32_t)v); put_u32(p + 4, (uint32_t)(v >> 32)); }
inline uint64_t get_u64(const uint8_t* p) { return (uint64_t)get_u32(p) | ((uint64_t)get_u32(p + 4) << 32); }
void append_varint(std::string* out, uint32_t v);
// Reads a varint at *pos (bounded by n); 0 on a malformed or overlong one.
int read_varint(const uint8_t* p, size_t n, size_t* pos, uint32_t* v);
