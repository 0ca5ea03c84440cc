// libFuzzer target over the import's reading and parsing: the input is taken
// as a file's bytes, its first byte choosing the type ('H', 'C' or 'A'). It is
// split into lines as the reader splits them, converted from UTF-8 when the
// head says so, and every line given to that type's parser, whose reports are
// checked to lie inside the line and the heading inside its width.
#include "sitelist/exchange/import_parsers.h"
#include "sitelist/exchange/import_text.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

struct Bounds {
  const char* line;
  size_t len;
};

void Check(const Bounds* b, const char* text, size_t n) {
  if (n == 0) return;
  if (text < b->line || text + n > b->line + b->len) abort();
}

void OnSite(void* context, ImportParser* p, const char* loc, size_t ll, const char* desc, size_t dl,
            const char* note, size_t nl) {
  const Bounds* b = (const Bounds*)context;
  Check(b, loc, ll);
  Check(b, desc, dl);
  Check(b, note, nl);
  if (strlen(p->heading) > kImportHeadingWidth) abort();
  // A cut never lands inside a reference and never passes the width.
  if (ImportCutLength(desc, dl, 100) > 100 || ImportCutLength(loc, ll, 255) > 255) abort();
  p->has_last_added = ll > 0 && loc[0] != '#';
}

void OnNote(void* context, ImportParser*, const char* note, size_t nl) { Check((const Bounds*)context, note, nl); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  char type = "HCA"[data[0] % 3];
  const char* text = (const char*)data + 1;
  size_t n = size - 1;
  int utf8 = ImportDeclaresUtf8(text, n < (size_t)kImportHeadScan ? n : (size_t)kImportHeadScan);
  Bounds bounds = {nullptr, 0};
  ImportSink sink = {&bounds, OnSite, OnNote};
  ImportParser p;
  ImportParserInit(&p, &sink, type == 'C' ? "New" : "");
  std::vector<char> converted;
  size_t start = 0;
  while (start <= n) {
    size_t end = start;
    while (end < n && text[end] != '\n' && text[end] != '\r') end++;
    // Copy the line so that reading past it is caught.
    std::vector<char> line(text + start, text + end);
    const char* l = line.data();
    size_t len = line.size();
    if (utf8) {
      converted.resize(ImportAnsiBound(len));
      len = Utf8ToAnsi(l, len, converted.data(), converted.size());
      if (len > converted.size()) abort();
      converted.resize(len);
      line.assign(converted.begin(), converted.end());
      l = line.data();
    }
    bounds.line = l;
    bounds.len = len;
    ImportParseLine(&p, type, len ? l : "", len);
    if (end >= n) break;
    start = end + 1;
  }
  ImportParserFree(&p);
  return 0;
}
