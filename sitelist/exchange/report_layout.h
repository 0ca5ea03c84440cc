// Tabulink's reports without any window system: the six report definitions
// (title, file, key, columns), the rows a report run collects, and the paging
// of those rows onto pages of a given size with a given font's character
// widths. A page is then given as a list of draw items (texts and rules) that
// the window code records once per page and both shows and prints.
#ifndef SITELIST_EXCHANGE_REPORT_LAYOUT_H
#define SITELIST_EXCHANGE_REPORT_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

enum ReportKind {
  kReportByDescription = 0,  // PrintURL:K_Description
  kReportByLocation,         // PrintURL:K_Location
  kReportByCategory,         // PrintURL:K_Category
  kReportByRating,           // PrintURL:K_Rating
  kReportByKeyword,          // PrintURL:K_Keyword
  kReportCategories,         // PrintCAT:K_Category
  kReportKinds
};

const int kMaxReportColumns = 5;

struct ReportColumn {
  const char* heading;  // "Location"; "" for a column without heading
  uint16_t chars;       // characters of the field shown (longer values are cut)
  uint16_t share;       // thousandths of the line width the column takes
  bool alignRight;      // numbers
};

struct ReportDefinition {
  const char* procedure;  // "PrintURL:K_Rating": also the window name in TABLNK.INI
  const char* title;      // "URLs by Rating"
  int file;               // RecordFileId, or -1 for a report of text lines
  int key;                // key number in that file
  const ReportColumn* columns;
  int ncolumns;
  bool fixedPitch;  // true: the lines of a text file, in a fixed-pitch font
};

// The definition of a report kind; null out of range.
const ReportDefinition* ReportDefinitionOf(int kind);

// The definition used to print the lines of a text viewer: one column without
// heading, in a fixed-pitch font, under the given title (kept by the caller).
ReportDefinition TextLinesReport(const char* title);

// ---- Rows ---------------------------------------------------------------------

// The cells of every row of a report, each cell zero-terminated, the cells of
// a row one after another.
struct ReportRows {
  int ncolumns = 0;
  std::vector<char> text;
  std::vector<uint32_t> starts;  // offset of each row's first cell
};

void ReportRowsReset(ReportRows* rows, int ncolumns);
// Appends a row of ncolumns cells; a cell longer than its column's `chars`
// must be cut by the caller. Returns false when the rows would pass 4 GB.
bool ReportRowsAdd(ReportRows* rows, const char* const* cells);
size_t ReportRowCount(const ReportRows& rows);
// The cell's text (never null; "" for a column out of range).
const char* ReportCell(const ReportRows& rows, size_t row, int column);

// ---- Page geometry ---------------------------------------------------------------

// A font as the paging sees it: the advance width of every character of the
// ANSI code page and the height of a line, in the page's device units.
struct ReportFontMetrics {
  int32_t widths[256];
  int32_t lineHeight;
};

// Text width of len characters (the sum of their advance widths).
long ReportTextWidth(const ReportFontMetrics& font, const char* text, size_t len);

struct ReportPageGeometry {
  int32_t pageWidth;  // printable area, device units
  int32_t pageHeight;
  int32_t margin;             // on every side, inside the printable area
  int32_t columnGap;          // between columns
  int32_t titleHeight;        // line height of the title font
  ReportFontMetrics body;     // detail lines and the footer
  ReportFontMetrics heading;  // column headings (bold)
};

// Where one page begins: the row and the wrapped line within that row.
struct ReportPageStart {
  uint32_t row;
  uint32_t line;
};

struct ReportLayout {
  ReportPageGeometry geometry;
  const ReportDefinition* definition = nullptr;
  int columnX[kMaxReportColumns] = {};
  int columnWidth[kMaxReportColumns] = {};
  int titleY = 0;
  int headingY = 0;  // -1 when the report has no headings
  int ruleY = 0;     // the rule under the headings
  int bodyTop = 0;
  int footerY = 0;
  int linesPerPage = 0;
  std::vector<ReportPageStart> pages;  // never empty: a report without rows has one page
};

// Pages the rows: each cell is wrapped at spaces to its column's width (a word
// wider than the column is broken), a row takes as many lines as its tallest
// cell and starts a new page when it does not fit on the rest of the page;
// only a row taller than a whole page is split across pages. Returns false
// when the geometry leaves no room for a detail line or a column.
bool LayoutReport(const ReportDefinition& definition, const ReportRows& rows, const ReportPageGeometry& geometry,
                  ReportLayout* layout);

size_t ReportPageCount(const ReportLayout& layout);

// ---- Drawing a page ------------------------------------------------------------------

enum ReportFont { kFontTitle = 0, kFontHeading, kFontBody, kFontFooter };
enum ReportAlign { kAlignLeft = 0, kAlignRight, kAlignCenter };

struct ReportDrawItem {
  bool rule;         // true: a horizontal line from x to x + width at y
  int font;          // ReportFont (texts)
  int x;             // left edge of the text's box
  int y;             // top of the line
  int width;         // the box the text is clipped to
  int align;         // ReportAlign within the box
  const char* text;  // not terminated: len characters
  size_t len;
};

typedef void (*ReportDrawFn)(void* context, const ReportDrawItem& item);

// The footer text of a page ("Page 3"); page is 0-based.
void ReportFooterText(size_t page, char* out, size_t capacity);

// Calls draw for every item of page (0-based): the title, the column headings
// and their rule, the detail lines, the footer. The item texts point into
// rows, definition and a buffer that lives until DrawReportPage returns.
// Returns false for a page out of range.
bool DrawReportPage(const ReportLayout& layout, const ReportRows& rows, size_t page, ReportDrawFn draw, void* context);

#endif
