// The text side of the import: the input file read one whole line at a time in
// bounded memory, the file's encoding (a UTF-8 declaration or byte-order mark)
// and the conversion of UTF-8 text into the Windows ANSI code page (1252), with
// every character that the code page lacks written as an HTML numeric character
// reference ("&#26085;").
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Longest line the reader hands out whole. A longer line (a minified page) is
// handed out in pieces of at most this many bytes, each ending just before a
// start tag ("<" not followed by "/"), so that a link is split only when one
// start tag and its text run past the bound.
enum { kImportLineMax = 1 << 20 };

// How far into a file the encoding declaration is looked for.
enum { kImportHeadScan = 8192 };

// 1 when the first n bytes of a file start with the UTF-8 byte-order mark or
// declare the character set UTF-8 ("charset=UTF-8", "charset=\"utf-8\"", any
// letter case, "utf8" too); else 0.
int ImportDeclaresUtf8(const char* head, size_t n);

// Converts n bytes of UTF-8 into code page 1252, appending to out (capacity
// cap). A byte sequence that is not valid UTF-8 is kept byte for byte (it is
// most likely code page text already); U+0000 becomes a space. Returns the
// number of bytes written; never more than cap. Worst case is ImportAnsiBound(n).
size_t Utf8ToAnsi(const char* in, size_t n, char* out, size_t cap);
// Capacity that always holds the conversion of n bytes.
size_t ImportAnsiBound(size_t n);

// Length of the longest start of value[0..n) that is at most width bytes and
// does not end inside a numeric character reference ("&#...;"), so that a
// field cut to its width never holds half a reference.
size_t ImportCutLength(const char* value, size_t n, size_t width);

// A line reader over a file opened in binary mode. Lines end at LF, CR LF or a
// lone CR; NUL bytes read as spaces. When the file is UTF-8 (see
// ImportDeclaresUtf8, decided on the file's head) every line is converted.
struct ImportLineReader {
  FILE* file;
  uint64_t size;      // bytes of the file when it was opened
  uint64_t consumed;  // bytes of the file handed out so far, line ends included
  int utf8;           // 1: lines are converted from UTF-8
  int error;          // errno of a failed read, else 0
  char* chunk;        // read buffer
  size_t chunk_pos, chunk_end;
  char* line;  // the current line (zero-terminated), as read
  size_t line_len, line_cap;
  char* text;  // the current line converted (utf8), zero-terminated
  size_t text_cap;
  int eof;
  int skip_lf;  // the previous line ended in CR: a following LF belongs to it
};

// Opens path for reading. 0 on success, else the errno of the failed open
// (ENOENT when the file is missing).
int ImportLinesOpen(ImportLineReader* r, const char* path);
// Reads from a file already open for binary reading (the reader closes it).
// 0, or ENOMEM (the file is then closed).
int ImportLinesAttach(ImportLineReader* r, FILE* file);
// The next line: *line points to it (valid until the next call), *len is its
// length. Returns 1 for a line, 0 at the end of the file, -1 on a read error
// (r->error says which).
int ImportLinesNext(ImportLineReader* r, const char** line, size_t* len);
// Percentage of the file handed out, 0 to 100.
int ImportLinesPercent(const ImportLineReader* r);
void ImportLinesClose(ImportLineReader* r);
