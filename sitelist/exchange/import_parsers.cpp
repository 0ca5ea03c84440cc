// The import parsers. Each works on one whole line in a single pass or a few
// forward searches whose results are kept, so a line of a megabyte with
// thousands of links costs time in proportion to its length.
#include "sitelist/exchange/import_parsers.h"

#include "sitelist/exchange/import_text.h"

#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

const size_t kNone = (size_t)-1;

inline int Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// A line and which of its bytes lie inside a quoted attribute value.
struct Line {
  const char* s;
  size_t n;
  const unsigned char* quoted;  // NULL: nothing is quoted
};

bool Quoted(const Line& l, size_t i) { return l.quoted && l.quoted[i]; }

// First case-insensitive match of pat (lower case) at or after from, outside
// quoted values when markup is 1; kNone when there is none.
size_t Find(const Line& l, size_t from, const char* pat, size_t m, int markup) {
  if (m == 0 || l.n < m) return kNone;
  const int first = (unsigned char)pat[0];
  const int upper = first >= 'a' && first <= 'z' ? first - 32 : first;
  for (size_t i = from; i + m <= l.n; i++) {
    const unsigned char c = (unsigned char)l.s[i];
    if (c != first && c != upper) continue;
    size_t j = 1;
    while (j < m && Lower((unsigned char)l.s[i + j]) == (unsigned char)pat[j]) j++;
    if (j == m && !(markup && Quoted(l, i))) return i;
  }
  return kNone;
}

// A search whose last answer is kept: the first match at or after any start
// between the last search's start and its answer is that same answer.
struct Finder {
  const char* pat;
  size_t m;
  int markup;
  size_t from, at;
};

Finder MakeFinder(const char* pat, int markup) { return Finder{pat, strlen(pat), markup, kNone, kNone}; }

size_t Next(Finder* f, const Line& l, size_t start) {
  if (f->from != kNone && f->from <= start && (f->at == kNone || f->at >= start)) return f->at;
  f->from = start;
  f->at = start <= l.n ? Find(l, start, f->pat, f->m, f->markup) : kNone;
  return f->at;
}

size_t FindByte(const Line& l, size_t from, char c) {
  if (from >= l.n) return kNone;
  const void* p = memchr(l.s + from, c, l.n - from);
  return p ? (size_t)((const char*)p - l.s) : kNone;
}

// First '>' at or after from that is not inside a quoted value.
size_t FindTagEnd(const Line& l, size_t from) {
  for (size_t i = from; i < l.n; i++)
    if (l.s[i] == '>' && !Quoted(l, i)) return i;
  return kNone;
}

size_t SkipSpaces(const Line& l, size_t i) {
  while (i < l.n && (l.s[i] == ' ' || l.s[i] == '\t')) i++;
  return i;
}

// Marks the bytes inside quoted attribute values: a quote opens a value only
// inside a tag and right after "=" (spaces allowed between).
bool MarkQuoted(ImportParser* p, const char* s, size_t n) {
  if (!memchr(s, '"', n) && !memchr(s, '\'', n)) return false;
  if (n > p->quoted_cap) {
    size_t cap = n < 4096 ? 4096 : n;
    unsigned char* q = (unsigned char*)realloc(p->quoted, cap);
    if (!q) return false;
    p->quoted = q;
    p->quoted_cap = cap;
  }
  memset(p->quoted, 0, n);
  bool tag = false;
  for (size_t i = 0; i < n; i++) {
    char c = s[i];
    if (!tag) {
      if (c == '<' && i + 1 < n) {
        char d = s[i + 1];
        tag = (d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z') || d == '/' || d == '!';
      }
    } else if (c == '>') {
      tag = false;
    } else if (c == '=') {
      size_t j = i + 1;
      while (j < n && (s[j] == ' ' || s[j] == '\t')) j++;
      if (j < n && (s[j] == '"' || s[j] == '\'')) {
        size_t close = j + 1;
        while (close < n && s[close] != s[j]) close++;
        if (close > j + 1) memset(p->quoted + j + 1, 1, close - (j + 1));
        i = close;  // the closing quote (or the end)
      }
    }
  }
  return true;
}

void SetHeading(ImportParser* p, const char* s, size_t n) {
  size_t cut = ImportCutLength(s, n, kImportHeadingWidth);
  memcpy(p->heading, s, cut);
  p->heading[cut] = '\0';
}

// "<DL>" opens a folder (the heading then in force is remembered), "</DL>"
// closes it (the heading of the enclosing folder comes back).
void OpenFolder(ImportParser* p) {
  if (p->folder_depth < kImportFolderDepth) memcpy(p->folders[p->folder_depth], p->heading, sizeof p->heading);
  if (p->folder_depth < 1 << 20) p->folder_depth++;
}

void CloseFolder(ImportParser* p) {
  if (p->folder_depth == 0) return;
  p->folder_depth--;
  if (p->folder_depth > 0) {
    int top = p->folder_depth < kImportFolderDepth ? p->folder_depth : kImportFolderDepth;
    memcpy(p->heading, p->folders[top - 1], sizeof p->heading);
  }
}

// Folder tags of a bookmark file before position `until`, in line order.
struct Folders {
  Finder open, close;
  size_t done;  // tags before this position are applied
};

void ApplyFolders(ImportParser* p, Folders* f, const Line& l, size_t until) {
  if (!p->bookmark_file) return;
  for (;;) {
    size_t o = Next(&f->open, l, f->done);
    size_t c = Next(&f->close, l, f->done);
    size_t first = o < c ? o : c;
    if (first == kNone || first >= until) return;
    if (first == o) OpenFolder(p);
    else CloseFolder(p);
    f->done = first + 1;
  }
}

void EmitSite(ImportParser* p, const Line& l, size_t loc, size_t loc_end, size_t desc, size_t desc_end, size_t note,
              size_t note_end) {
  p->sink.site(p->sink.context, p, l.s + loc, loc_end - loc, l.s + desc, desc_end - desc, l.s + note, note_end - note);
}

}  // namespace

void ImportParserInit(ImportParser* p, const ImportSink* sink, const char* heading) {
  memset(p, 0, sizeof *p);
  p->sink = *sink;
  if (heading) SetHeading(p, heading, strlen(heading));
}

void ImportParserFree(ImportParser* p) {
  free(p->quoted);
  p->quoted = nullptr;
  p->quoted_cap = 0;
}

int ImportParseHtmlLine(ImportParser* p, const char* s, size_t n) {
  Line l = {s, n, nullptr};
  if (MarkQuoted(p, s, n)) l.quoted = p->quoted;

  if (!p->bookmark_file && Find(l, 0, "doctype netscape-bookmark", 25, 0) != kNone) p->bookmark_file = 1;

  size_t start = SkipSpaces(l, 0);
  if (p->bookmark_file && p->has_last_added && start + 4 <= n && Find(l, start, "<dd>", 4, 0) == start) {
    size_t t = SkipSpaces(l, start + 4);
    p->sink.note(p->sink.context, p, s + t, n - t);
  }

  Finder href = MakeFinder("href", 1);
  Finder heading = MakeFinder("<h", 1);
  Finder end_a = MakeFinder("</a>", 0);
  Folders folders = {MakeFinder("<dl", 1), MakeFinder("</dl", 1), 0};
  size_t pos = 0;     // the line is cut here
  size_t next_h = 0;  // headings before this are taken
  while (pos < n) {
    size_t h_ref = Next(&href, l, pos);
    size_t limit = h_ref == kNone ? n : h_ref;
    if (next_h < pos) next_h = pos;
    for (size_t h; (h = Next(&heading, l, next_h)) != kNone && h < limit; next_h = h + 2) {
      ApplyFolders(p, &folders, l, h);
      size_t gt = FindTagEnd(l, h + 2);
      size_t t = gt == kNone ? n : SkipSpaces(l, gt + 1);
      size_t lt = FindByte(l, t, '<');
      SetHeading(p, s + t, (lt == kNone ? n : lt) - t);
      p->has_last_added = 0;  // what follows a heading belongs to the folder, not to the site before it
    }
    ApplyFolders(p, &folders, l, limit);
    if (h_ref == kNone) break;
    pos = h_ref;
    size_t q1 = FindByte(l, pos + 4, '"');
    size_t q2 = q1 == kNone ? kNone : FindByte(l, q1 + 1, '"');
    if (q2 == kNone) {
      pos += 4;
      continue;
    }
    size_t loc = SkipSpaces(l, q1 + 1);
    if (loc >= q2 || !memchr(s + loc, ':', q2 - loc)) {
      pos = q2 + 1;  // no address, or a relative one
      continue;
    }
    size_t gt = FindTagEnd(l, q2 + 1);
    size_t desc = gt == kNone ? n : SkipSpaces(l, gt + 1);
    size_t a = Next(&end_a, l, desc);
    size_t note = n, note_end = n;
    size_t desc_end = n;
    if (a != kNone) {
      desc_end = a;
      note = SkipSpaces(l, a + 4);
      note_end = (note < n && s[note] == '<') ? note : n;
      pos = a + 4;
    } else {
      pos = n;
    }
    EmitSite(p, l, loc, q2, desc, desc_end, note, note_end);
  }
  return 1;
}

int ImportParseCommaLine(ImportParser* p, const char* s, size_t n) {
  Line l = {s, n, nullptr};
  size_t q = FindByte(l, 0, '"');
  if (q == kNone) return 1;
  size_t start = q + 1;
  size_t sep = Find(l, start, "\",\"", 3, 0);
  if (sep == kNone) return 1;
  size_t loc = SkipSpaces(l, start);
  if (loc > sep) loc = sep;
  size_t d = SkipSpaces(l, sep + 3);
  size_t dq = FindByte(l, d, '"');
  size_t desc_end = dq == kNone ? n : dq;
  if (d > desc_end) d = desc_end;
  size_t rest = dq == kNone ? n : dq + 1;
  size_t n1 = FindByte(l, rest, '"');
  size_t n2 = n1 == kNone ? kNone : FindByte(l, n1 + 1, '"');
  size_t note = n, note_end = n;
  if (n2 != kNone) {
    note = SkipSpaces(l, n1 + 1);
    note_end = n2;
    if (note > note_end) note = note_end;
  }
  EmitSite(p, l, loc, sep, d, desc_end, note, note_end);
  return 1;
}

namespace {

// Markers of an address in a text file. "https://" is one of them: today most
// addresses are written that way.
struct Marker {
  const char* text;
  size_t len;
  int nocase;
};
const Marker kMarkers[] = {
    {"a href", 6, 1},    {"http://", 7, 0}, {"https://", 8, 0},  {"ftp://", 6, 0},
    {"telnet://", 9, 0}, {"news://", 7, 0}, {"gopher://", 9, 0},
};
static_assert(ARRAY_SIZE(kMarkers) == 7, "the text markers");

size_t FindExact(const Line& l, size_t from, const char* pat, size_t m) {
  if (l.n < m) return kNone;
  for (size_t i = from; i + m <= l.n; i++) {
    const void* hit = memchr(l.s + i, pat[0], l.n - m + 1 - i);
    if (!hit) return kNone;
    i = (size_t)((const char*)hit - l.s);
    if (memcmp(l.s + i, pat, m) == 0) return i;
  }
  return kNone;
}

// Characters that end an address in running text.
bool EndsAddress(unsigned char c) { return c <= ' ' || c == '<' || c == '>' || c == '"' || c == ',' || c == 0x7F; }

}  // namespace

int ImportParseTextLine(ImportParser* p, const char* s, size_t n) {
  Line l = {s, n, nullptr};
  const size_t kCount = ARRAY_SIZE(kMarkers);
  size_t found[kCount];          // each marker's first place at or after the last search
  size_t searched_from[kCount];  // kNone: not searched yet
  for (size_t k = 0; k < kCount; k++) found[k] = searched_from[k] = kNone;
  size_t pos = 0;
  while (pos < n) {
    size_t best = kNone, which = 0;
    for (size_t k = 0; k < kCount; k++) {
      if (searched_from[k] == kNone || (found[k] != kNone && found[k] < pos)) {
        searched_from[k] = pos;
        found[k] = kMarkers[k].nocase ? Find(l, pos, kMarkers[k].text, kMarkers[k].len, 0)
                                      : FindExact(l, pos, kMarkers[k].text, kMarkers[k].len);
      }
      if (found[k] != kNone && found[k] < best) best = found[k], which = k;
    }
    if (best == kNone) break;
    size_t loc = best, end;
    if (which == 0) {  // a href = "address": the address is the attribute's value
      size_t i = SkipSpaces(l, best + 6);
      if (i < n && s[i] == '=') i = SkipSpaces(l, i + 1);
      char quote = 0;
      if (i < n && (s[i] == '"' || s[i] == '\'')) quote = s[i++];
      loc = i;
      end = i;
      while (end < n && (quote ? s[end] != quote : !EndsAddress((unsigned char)s[end]))) end++;
    } else {
      end = best;
      while (end < n && !EndsAddress((unsigned char)s[end])) end++;
      // Punctuation that ends a sentence is not part of the address; a closing
      // parenthesis only when the address opened none.
      while (end > loc + kMarkers[which].len) {
        char c = s[end - 1];
        if (c == '.' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'') {
          end--;
        } else if (c == ')' && !memchr(s + loc, '(', end - loc)) {
          end--;
        } else {
          break;
        }
      }
    }
    size_t rest = end < n ? end + 1 : n;
    if (end > loc) {
      size_t d = SkipSpaces(l, rest);
      EmitSite(p, l, loc, end, d, n, d, n);
    }
    pos = rest > best ? rest : best + 1;
  }
  return 1;
}

int ImportParseLine(ImportParser* p, char type, const char* line, size_t len) {
  switch (type) {
    case 'H':
    case 'h': return ImportParseHtmlLine(p, line, len);
    case 'C':
    case 'c': return ImportParseCommaLine(p, line, len);
    case 'A':
    case 'a': return ImportParseTextLine(p, line, len);
  }
  return 0;
}
