// The parsers of the three import types: an HTML document or a browser's
// bookmark file ("H"), a comma-delimited file ("C") and any text file ("A").
// Each takes one whole line at a time and tells its sink what the line holds:
// the sites found (location, description, site note) and, for bookmark files,
// the "<DD>" note of the site added last. The parser keeps the heading (the
// best-guess category) and the bookmark-file flag from line to line.
//
// Rules beyond the line-by-line steps, for what real bookmark files hold:
// - text inside an attribute's quoted value (ICON="data:...") is never markup:
//   no "href", "<h" or ">" is found there;
// - of the headings before a line's first link (or on a line without a link) the
//   last one wins ("<HR>    <DT><H3>Work News</H3>" gives "Work News");
// - a heading ends the last-added site, so a "<DD>" that describes a folder is
//   not taken for the note of the site added before the folder;
// - in a bookmark file, "</DL>" ends a folder: the heading goes back to the
//   enclosing folder's name, so links after a subfolder keep their own folder.
#pragma once

#include <stddef.h>

// Width of the heading: an imported site's category is at most this long.
enum { kImportHeadingWidth = 20 };
// Folder nesting remembered for "</DL>"; deeper folders restore the deepest kept.
enum { kImportFolderDepth = 64 };

struct ImportParser;

// What a parser reports. Texts are spans of the line (not zero-terminated),
// leading spaces and tabs already removed; the sink cuts them to their field widths.
struct ImportSink {
  void* context;
  // A site found on the line. The category comes from p->heading.
  void (*site)(void* context, ImportParser* p, const char* location, size_t location_len, const char* description,
               size_t description_len, const char* note, size_t note_len);
  // A "<DD>" note for the site added last (only called when p->has_last_added).
  void (*note)(void* context, ImportParser* p, const char* note, size_t note_len);
};

struct ImportParser {
  ImportSink sink;
  char heading[kImportHeadingWidth + 1];                      // zero-terminated, at most 20 characters
  int bookmark_file;                                          // "DOCTYPE NETSCAPE-BOOKMARK" seen
  int has_last_added;                                         // the sink sets and clears it as sites are added
  int folder_depth;                                           // open "<DL>" levels
  char folders[kImportFolderDepth][kImportHeadingWidth + 1];  // heading at each "<DL>"
  unsigned char* quoted;                                      // per byte of the line: 1 inside a quoted attribute value
  size_t quoted_cap;
};

// Starts a parser with a blank heading. heading: the start value ("New" for "C").
void ImportParserInit(ImportParser* p, const ImportSink* sink, const char* heading);
void ImportParserFree(ImportParser* p);

// One line of each type; each returns 1. (Should memory for the quoted-value
// marks run out, the line is read as if nothing in it were quoted.)
int ImportParseHtmlLine(ImportParser* p, const char* line, size_t len);
int ImportParseCommaLine(ImportParser* p, const char* line, size_t len);
int ImportParseTextLine(ImportParser* p, const char* line, size_t len);

// Parses by the first letter of the type ('H', 'C' or 'A', any case); 0 for another.
int ImportParseLine(ImportParser* p, char type, const char* line, size_t len);
