// libFuzzer target over the import's reading and parsing: after a first byte
// that chooses the type ('H', 'C' or 'A'), the input is a file's bytes, read
// by the line reader (UTF-8 conversion included) and each line given to that
// type's parser, whose reports are checked to lie inside the line and the
// heading inside its width.
#include "sitelist/exchange/import_parsers.h"
#include "sitelist/exchange/import_text.h"

#include <stdint.h>
#include <stdio.h>
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

void OnSite(void* context, ImportParser* p, const char* loc, size_t ll, const char* desc, size_t dl, const char* note,
            size_t nl) {
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
  // The rest is the file, read by the import's own line reader.
  std::vector<char> bytes(data + 1, data + size);
  FILE* f = fmemopen(bytes.empty() ? nullptr : bytes.data(), bytes.size(), "rb");
  if (!f) return 0;
  ImportLineReader reader;
  if (ImportLinesAttach(&reader, f) != 0) return 0;
  Bounds bounds = {nullptr, 0};
  ImportSink sink = {&bounds, OnSite, OnNote};
  ImportParser p;
  ImportParserInit(&p, &sink, type == 'C' ? "New" : "");
  const char* line;
  size_t len;
  int last = 0;
  while (ImportLinesNext(&reader, &line, &len) == 1) {
    if (len > (size_t)kImportLineMax * 4 || line[len] != '\0') abort();
    int percent = ImportLinesPercent(&reader);
    if (percent < last || percent > 100) abort();
    last = percent;
    // A copy of exactly the line, so that reading past it is caught.
    std::vector<char> copy(line, line + len);
    bounds.line = copy.data();
    bounds.len = len;
    ImportParseLine(&p, type, len ? copy.data() : "", len);
  }
  ImportParserFree(&p);
  ImportLinesClose(&reader);
  return 0;
}
