// Line files: plain text files read and written through the store's calls,
// one line per record in the declaration's one string field (export output,
// import input, the quick HTML list). Adding appends the field without its
// trailing spaces and a CR LF; reading goes forward from the start of the
// file, cutting each line to the field and accepting LF or CR LF. They have no
// keys, positions or transactions (those calls answer KS_ERR_BAD_ARGUMENT) and
// no locks: other programs may write or read them at the same time.
#include "sitelist/records/store_internal.h"

#include <string.h>

static int line_open(KsFile* f, int allow_pending) {
  (void)allow_pending;
  int prc = plat_open(f->path.c_str(), f->mode == KS_SHARED, 0, &f->pf);
  if (prc == PLAT_DENIED) prc = plat_open(f->path.c_str(), 0, 0, &f->pf);
  return plat_to_ks(prc);
}

static void line_close(KsFile*) {}

static int line_create(const KsFileDecl*, const char* path) {
  PlatFile* pf;
  int rc = plat_open(path, 1, 1, &pf);
  if (rc != PLAT_OK) return plat_to_ks(rc);
  plat_close(pf);
  return KS_OK;
}

static int line_remove(const KsFileDecl*, const char* path) { return plat_to_ks(plat_remove(path)); }

// Nothing is ever left to settle in a line file.
static int line_recover(KsFile*, uint64_t) { return KS_OK; }

static int line_add(KsFile* f, void* rec) {
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

// Any set goes back to the start of the file.
static int line_set(KsCursor* c, const void*) {
  c->line_off = 0;
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

// Line files read forward only.
static int line_step(KsCursor* c, void* rec, int forward) { return forward ? line_next(c, rec) : KS_ERR_BAD_ARGUMENT; }

const FileKindOps kLineFileOps = {line_open,    line_close, line_create, line_remove,
                                  line_recover, line_add,   line_set,    line_step};
