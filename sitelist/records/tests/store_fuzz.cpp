// libFuzzer target over the store's file reader. The first byte chooses what
// the rest is: 0 a .KSF file as it is; 1 a .KSF file whose checksums are
// first made right (so that the parser behind them is reached); 2 a filter
// expression. Every file is opened under several declarations, walked in
// every key both ways, read by key and position, rebuilt and closed.
#include "sitelist/records/keyed_store.h"
#include "sitelist/records/record_files.h"
#include "sitelist/records/store_internal.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

static std::string g_dir;

static void put32(uint8_t* p, uint32_t v) { put_u32(p, v); }

// Makes the header, snapshot and batch checksums of a file image right.
static void seal(std::vector<uint8_t>& b) {
  if (b.size() < 512) return;
  uint64_t rec_off = get_u64(&b[32]), rec_len = get_u64(&b[40]);
  if (rec_off <= b.size() && rec_len <= b.size() - rec_off) put32(&b[48], ks_crc32(&b[rec_off], (size_t)rec_len));
  for (int k = 0; k < KS_MAX_KEYS; k++) {
    uint8_t* e = &b[56 + 24 * k];
    uint64_t off = get_u64(e), len = get_u64(e + 8);
    if (off <= b.size() && len <= b.size() - off) put32(e + 20, ks_crc32(&b[off], (size_t)len));
  }
  uint64_t pos = get_u64(&b[376]);
  while (pos <= b.size() && b.size() - pos >= 24) {
    uint32_t len = get_u32(&b[pos + 4]);
    if (len > b.size() - pos - 24) break;
    uint32_t crc = ks_crc32(&b[pos], 20);
    crc = ks_crc32(&b[pos + 24], len, crc);
    put32(&b[pos + 20], crc);
    pos += 24 + len;
  }
  put32(&b[508], ks_crc32(&b[0], 480));
}

static void write_file(const std::string& path, const uint8_t* data, size_t n) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  if (n) fwrite(data, 1, n, f);
  fclose(f);
}

static void walk(const KsFileDecl* d, const std::string& path) {
  KsFile* f = nullptr;
  if (ks_open(d, path.c_str(), KS_SHARED, &f) != KS_OK) return;
  std::vector<uint8_t> rec(d->record_size);
  uint32_t count = 0;
  ks_count(f, &count);
  for (int k = -1; k < d->nkeys; k++) {
    KsCursor* c = nullptr;
    if (ks_cursor_open(f, k, nullptr, &c) != KS_OK) continue;
    ks_set(c, nullptr);
    int guard = 0;
    while (ks_next(c, rec.data()) == KS_OK && guard++ < 100000) {
      if (k >= 0 && guard == 1) {
        ks_get(f, k, rec.data());
        KsPosition pos;
        if (ks_get_position(f, k, rec.data(), &pos) == KS_OK) ks_reget(f, &pos, rec.data());
      }
    }
    ks_set_end(c);
    guard = 0;
    while (ks_previous(c, rec.data()) == KS_OK && guard++ < 100000) {}
    ks_cursor_close(c);
  }
  ks_clear(d, rec.data());
  ks_add(f, rec.data());
  ks_close(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_dir.empty()) {
    char tmpl[] = "/tmp/tx_store_fuzz_XXXXXX";
    if (!mkdtemp(tmpl)) return 0;
    g_dir = tmpl;
  }
  if (size < 1) return 0;
  uint8_t mode = data[0];
  data++;
  size--;
  if (mode == 2) {
    std::string text((const char*)data, size);
    KsFilter* f = nullptr;
    char err[128];
    if (filter_compile(&TABLNK_Decl, text.c_str(), &f, err, sizeof err) == KS_OK && f) {
      SiteRecord s;
      ks_clear(&TABLNK_Decl, &s);
      FieldVals v;
      vals_from_record(&TABLNK_Decl, &s, &v);
      filter_match(f, &v);
      filter_free(f);
    }
    return 0;
  }
  std::vector<uint8_t> image(data, data + size);
  if (mode == 1) seal(image);
  std::string path = g_dir + "/URL_L.KSF";
  const KsFileDecl* decls[] = {&TABLNK_Decl, &Categories_Decl, &History_Decl};
  for (const KsFileDecl* d : decls) {
    write_file(path, image.data(), image.size());
    walk(d, path);
    write_file(path, image.data(), image.size());
    ks_rebuild(d, path.c_str());
    walk(d, path);
    write_file(path, image.data(), image.size());
    ks_recover(d, path.c_str(), 0);
  }
  unlink(path.c_str());
  unlink((path + "~").c_str());
  return 0;
}
