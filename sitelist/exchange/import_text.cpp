// Whole-line reading of import files in bounded memory, and UTF-8 to code page
// 1252 with numeric character references for what the code page lacks.
#include "sitelist/exchange/import_text.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

const size_t kChunk = 64 * 1024;

// Code page 1252 at 0x80..0x9F (0: no character there).
const uint16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98
};
static_assert(ARRAY_SIZE(kHigh1252) == 32, "one entry per byte 0x80..0x9F");

// The code page byte of code point cp, or -1 when the code page lacks it.
int AnsiByte(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return (int)cp;
  for (int i = 0; i < 32; i++)
    if (kHigh1252[i] == cp) return 0x80 + i;
  return -1;
}

int LowerAscii(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Decodes one UTF-8 sequence at p (n bytes left). Returns its length and sets
// *cp, or 0 when the bytes are not a valid, shortest-form sequence.
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t* cp) {
  unsigned c = p[0];
  size_t len;
  uint32_t v, min;
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, v = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, v = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; i++) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (p[i] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

}  // namespace

int ImportDeclaresUtf8(const char* head, size_t n) {
  const unsigned char* h = (const unsigned char*)head;
  if (n >= 3 && h[0] == 0xEF && h[1] == 0xBB && h[2] == 0xBF) return 1;
  static const char kCharset[] = "charset";
  const size_t k = sizeof kCharset - 1;
  for (size_t i = 0; i + k <= n; i++) {
    size_t j = 0;
    while (j < k && LowerAscii(h[i + j]) == kCharset[j]) j++;
    if (j < k) continue;
    size_t p = i + k;
    while (p < n && (h[p] == ' ' || h[p] == '\t')) p++;
    if (p >= n || h[p] != '=') continue;
    p++;
    while (p < n && (h[p] == ' ' || h[p] == '\t' || h[p] == '"' || h[p] == '\'')) p++;
    if (p + 4 <= n && LowerAscii(h[p]) == 'u' && LowerAscii(h[p + 1]) == 't' && LowerAscii(h[p + 2]) == 'f') {
      if (h[p + 3] == '8') return 1;
      if (p + 5 <= n && h[p + 3] == '-' && h[p + 4] == '8') return 1;
    }
  }
  return 0;
}

size_t ImportAnsiBound(size_t n) { return 4 * n + 1; }

size_t Utf8ToAnsi(const char* in, size_t n, char* out, size_t cap) {
  const unsigned char* p = (const unsigned char*)in;
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    uint32_t cp = 0;
    size_t len = DecodeUtf8(p + i, n - i, &cp);
    if (len == 0) {  // not UTF-8: keep the byte
      if (o + 1 > cap) break;
      out[o++] = (char)p[i++];
      continue;
    }
    int b = AnsiByte(cp);
    if (cp == 0 || (cp >= 0x80 && cp < 0xA0)) b = ' ';  // NUL and C1 controls are no text
    if (b >= 0) {
      if (o + 1 > cap) break;
      out[o++] = (char)b;
    } else {
      char ref[16];
      int r = snprintf(ref, sizeof ref, "&#%lu;", (unsigned long)cp);
      if (r <= 0 || o + (size_t)r > cap) break;
      memcpy(out + o, ref, (size_t)r);
      o += (size_t)r;
    }
    i += len;
  }
  return o;
}

size_t ImportCutLength(const char* value, size_t n, size_t width) {
  if (n <= width) return n;
  // Look back from the cut for an "&#" that the cut would split.
  size_t cut = width;
  for (size_t back = 0; back < 12 && back < cut; back++) {
    size_t i = cut - 1 - back;
    char c = value[i];
    if (c == ';') break;  // a complete reference (or plain text) ends before the cut
    if (c == '&') {
      if (i + 1 < n && value[i + 1] == '#') {
        size_t j = i + 2;
        while (j < n && value[j] >= '0' && value[j] <= '9') j++;
        if (j < n && value[j] == ';' && j >= cut) return i;  // the reference runs past the cut
      }
      break;
    }
    if (!(c == '#' || (c >= '0' && c <= '9'))) break;
  }
  return cut;
}

// ---- Line reader ------------------------------------------------------------------------

static int Grow(char** buf, size_t* cap, size_t need) {
  if (need <= *cap) return 1;
  size_t n = *cap ? *cap : 4096;
  while (n < need) n *= 2;
  char* p = (char*)realloc(*buf, n);
  if (!p) return 0;
  *buf = p;
  *cap = n;
  return 1;
}

static int Fill(ImportLineReader* r) {
  if (r->eof) return 0;
  size_t got = fread(r->chunk, 1, kChunk, r->file);
  r->chunk_pos = 0;
  r->chunk_end = got;
  if (got == 0) {
    if (ferror(r->file)) r->error = errno ? errno : EIO;
    r->eof = 1;
    return 0;
  }
  return 1;
}

int ImportLinesOpen(ImportLineReader* r, const char* path) {
  memset(r, 0, sizeof *r);
  errno = 0;
  FILE* f = fopen(path, "rb");
  if (!f) return errno ? errno : ENOENT;
  return ImportLinesAttach(r, f);
}

int ImportLinesAttach(ImportLineReader* r, FILE* file) {
  memset(r, 0, sizeof *r);
  r->file = file;
  if (fseek(r->file, 0, SEEK_END) == 0) {
    long end = ftell(r->file);
    if (end > 0) r->size = (uint64_t)end;
    fseek(r->file, 0, SEEK_SET);
  }
  r->chunk = (char*)malloc(kChunk);
  if (!r->chunk) {
    fclose(r->file);
    r->file = nullptr;
    return ENOMEM;
  }
  Fill(r);
  size_t head = r->chunk_end < (size_t)kImportHeadScan ? r->chunk_end : (size_t)kImportHeadScan;
  r->utf8 = ImportDeclaresUtf8(r->chunk, head);
  const unsigned char* c = (const unsigned char*)r->chunk;
  if (r->chunk_end >= 3 && c[0] == 0xEF && c[1] == 0xBB && c[2] == 0xBF) {
    r->chunk_pos = 3;  // the byte-order mark is no text
    r->consumed = 3;
  }
  return 0;
}

// Where an over-long line is cut: just before its last start tag, if that
// leaves something on both sides; else at the bound.
static size_t SplitPoint(const char* s, size_t n) {
  for (size_t i = n - 1; i > 0; i--)
    if (s[i] == '<' && i + 1 < n && s[i + 1] != '/') return i;
  return n;
}

int ImportLinesNext(ImportLineReader* r, const char** out, size_t* out_len) {
  static char empty[1] = {0};
  if (!r->file) return 0;
  // line[0..line_len) holds the rest of an over-long line cut last time, if any.
  int ended = 0;
  while (!ended) {
    if (r->chunk_pos >= r->chunk_end && !Fill(r)) break;
    const char* c = r->chunk + r->chunk_pos;
    size_t avail = r->chunk_end - r->chunk_pos;
    if (r->skip_lf) {
      r->skip_lf = 0;
      if (c[0] == '\n') {
        r->chunk_pos++;
        r->consumed++;
        continue;
      }
    }
    size_t i = 0;
    while (i < avail && c[i] != '\n' && c[i] != '\r') i++;
    size_t take = i;
    size_t room = kImportLineMax - r->line_len;
    int split = 0;
    if (take > room) {
      take = room;
      split = 1;
    }
    if (!Grow(&r->line, &r->line_cap, r->line_len + take + 1)) {
      r->error = ENOMEM;
      return -1;
    }
    memcpy(r->line + r->line_len, c, take);
    for (size_t k = 0; k < take; k++)
      if (r->line[r->line_len + k] == '\0') r->line[r->line_len + k] = ' ';
    r->line_len += take;
    r->chunk_pos += take;
    r->consumed += take;
    if (split) {
      ended = 2;
      break;
    }
    if (i < avail) {  // a line end
      if (c[i] == '\r') r->skip_lf = 1;
      r->chunk_pos++;
      r->consumed++;
      ended = 1;
    }
  }
  if (r->error) return -1;
  if (!ended && r->line_len == 0) return 0;
  size_t hand = r->line_len;
  if (ended == 2) hand = SplitPoint(r->line, r->line_len);
  // Hand out line[0..hand); anything after it starts the next line.
  const char* text = r->line;
  size_t len = hand;
  if (r->utf8) {
    size_t need = ImportAnsiBound(hand);
    if (!Grow(&r->text, &r->text_cap, need)) {
      r->error = ENOMEM;
      return -1;
    }
    len = Utf8ToAnsi(r->line, hand, r->text, r->text_cap - 1);
    r->text[len] = '\0';
    text = r->text;
  } else if (hand < r->line_len) {
    // The rest of a cut line stays in the line buffer: hand out a copy.
    if (!Grow(&r->text, &r->text_cap, hand + 1)) {
      r->error = ENOMEM;
      return -1;
    }
    memcpy(r->text, r->line, hand);
    r->text[hand] = '\0';
    text = r->text;
  } else {
    r->line[hand] = '\0';  // the buffer stays as it is until the next call
  }
  size_t rest = r->line_len - hand;
  if (rest) memmove(r->line, r->line + hand, rest);
  r->line_len = rest;
  *out = text ? text : empty;
  *out_len = len;
  return 1;
}

int ImportLinesPercent(const ImportLineReader* r) {
  if (r->size == 0) return r->eof ? 100 : 0;
  uint64_t p = r->consumed * 100 / r->size;
  return p > 100 ? 100 : (int)p;
}

void ImportLinesClose(ImportLineReader* r) {
  if (r->file) fclose(r->file);
  free(r->chunk);
  free(r->line);
  free(r->text);
  memset(r, 0, sizeof *r);
}
