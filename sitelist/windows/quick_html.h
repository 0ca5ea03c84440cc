// Quick HTML publishing of the site browse: the page's header and footer lines,
// one table row per site, and the file they go to. Every line ends in CR LF;
// no value is escaped or made a link. A row is written whole however long its
// values are, so that no row loses its closing tags.
#pragma once

#include "sitelist/records/record_files.h"

#include <stddef.h>
#include <stdio.h>

enum { kQuickHeaderLines = 10, kQuickFooterLines = 5 };
// The longest row: the tags and every field at its full width.
enum { kQuickRowMax = 512 };

extern const char* const kQuickHtmlHeader[kQuickHeaderLines];
extern const char* const kQuickHtmlFooter[kQuickFooterLines];

// The file name the window starts with: dir followed by "\QUICK.HTM"
// (a directory that already ends in a backslash gets none added). 0 when it does
// not fit `cap`.
int QuickHtmlDefaultName(const char* dir, char* out, size_t cap);

// Formats one site's row (without the line end): "<TR> <TD>" description
// "</TD> <TD>" location ... "</TD> </TR>", values without trailing spaces and the
// rating as a two-digit number. Returns the length; out needs kQuickRowMax.
size_t QuickHtmlRow(const SiteRecord* site, char* out, size_t cap);

// An output file being written.
struct QuickHtmlFile {
  FILE* file;
  long rows;  // rows written so far
  int error;  // errno of the first failure, 0 while all went well
};

// Creates the file anew (an existing one is replaced) and writes the header.
// 1 on success; 0 with out->error set (nothing is left open).
int QuickHtmlCreate(QuickHtmlFile* out, const char* name);
// Writes one site's row. 1 on success.
int QuickHtmlWriteRow(QuickHtmlFile* q, const SiteRecord* site);
// Writes the footer and closes the file. 1 when every write and the close succeeded.
int QuickHtmlFinish(QuickHtmlFile* q);
// Closes without the footer (after a failure). Safe on a closed file.
void QuickHtmlAbandon(QuickHtmlFile* q);
