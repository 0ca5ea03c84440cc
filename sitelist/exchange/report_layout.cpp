// The report definitions, the rows of a report and their paging (see
// report_layout.h).
#include "sitelist/exchange/report_layout.h"

#include <cstdio>
#include <cstring>

#include "sitelist/records/record_files.h"
#include "common/tx_util.h"

namespace {

const ReportColumn kSiteColumns[] = {
    {"Location", 100, 300, false}, {"Description", 100, 320, false}, {"Category", 30, 170, false},
    {"Rating", 2, 80, true},       {"Keyword", 10, 130, false},
};
static_assert(ARRAY_SIZE(kSiteColumns) == 5, "five site columns");

const ReportColumn kCategoryColumns[] = {
    {"Category", 30, 300, false},
    {"Description", 1000, 700, false},
};

const ReportColumn kLineColumns[] = {
    {"", 255, 1000, false},
};

const ReportDefinition kReports[] = {
    {"PrintURL:K_Description", "URLs by Description", RF_TABLNK, URL_K_Description, kSiteColumns, 5, false},
    {"PrintURL:K_Location", "URLs by Location", RF_TABLNK, URL_K_Location, kSiteColumns, 5, false},
    {"PrintURL:K_Category", "URLs by Category", RF_TABLNK, URL_K_Category, kSiteColumns, 5, false},
    {"PrintURL:K_Rating", "URLs by Rating", RF_TABLNK, URL_K_Rating, kSiteColumns, 5, false},
    {"PrintURL:K_Keyword", "URLs by Keyword", RF_TABLNK, URL_K_Keyword, kSiteColumns, 5, false},
    {"PrintCAT:K_Category", "Categories", RF_CATEGORIES, CAT_K_Category, kCategoryColumns, 2, false},
};
static_assert(ARRAY_SIZE(kReports) == kReportKinds, "one definition per report kind");

// One wrapped line of a cell: [start, end) of its text.
struct Segment {
  size_t start;
  size_t end;
};

// Finds the line of text that starts at pos and fits width: breaks after the
// last space that fits, or inside a word wider than the line, or at a '\n'.
// Returns the start of the next line (len at the end).
size_t NextSegment(const ReportFontMetrics& font, const char* text, size_t len, size_t pos, long width, Segment* seg) {
  long used = 0;
  size_t lastSpace = (size_t)-1;
  size_t i = pos;
  while (i < len) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n') {
      seg->start = pos;
      seg->end = i;
      while (seg->end > seg->start && text[seg->end - 1] == ' ') --seg->end;
      return i + 1;
    }
    long w = font.widths[c];
    if (used + w > width && i > pos) {
      size_t next;
      if (lastSpace != (size_t)-1) {
        seg->end = lastSpace;
        next = lastSpace + 1;
      } else {
        seg->end = i;
        next = i;
      }
      seg->start = pos;
      while (next < len && text[next] == ' ') ++next;
      while (seg->end > seg->start && text[seg->end - 1] == ' ') --seg->end;
      return next;
    }
    if (c == ' ') lastSpace = i;
    used += w;
    ++i;
  }
  seg->start = pos;
  seg->end = len;
  while (seg->end > seg->start && text[seg->end - 1] == ' ') --seg->end;
  return len;
}

// Wraps a cell into its lines (at least one, empty for an empty cell).
void WrapCell(const ReportFontMetrics& font, const char* text, long width, std::vector<Segment>* out) {
  out->clear();
  size_t len = strlen(text);
  size_t pos = 0;
  do {
    Segment seg;
    pos = NextSegment(font, text, len, pos, width, &seg);
    out->push_back(seg);
  } while (pos < len);
}

uint32_t RowLines(const ReportLayout& layout, const ReportRows& rows, size_t row, std::vector<Segment>* scratch) {
  uint32_t lines = 1;
  for (int c = 0; c < rows.ncolumns; ++c) {
    WrapCell(layout.geometry.body, ReportCell(rows, row, c), layout.columnWidth[c], scratch);
    if (scratch->size() > lines) lines = (uint32_t)scratch->size();
  }
  return lines;
}

bool HasHeadings(const ReportDefinition& d) {
  for (int c = 0; c < d.ncolumns; ++c) {
    if (d.columns[c].heading[0] != '\0') return true;
  }
  return false;
}

void Emit(ReportDrawFn draw, void* context, int font, int x, int y, int width, int align, const char* text,
          size_t len) {
  ReportDrawItem item = {};
  item.font = font;
  item.x = x;
  item.y = y;
  item.width = width;
  item.align = align;
  item.text = text;
  item.len = len;
  draw(context, item);
}

}  // namespace

const ReportDefinition* ReportDefinitionOf(int kind) {
  if (kind < 0 || kind >= kReportKinds) return nullptr;
  return &kReports[kind];
}

ReportDefinition TextLinesReport(const char* title) {
  ReportDefinition d = {"", title, -1, 0, kLineColumns, 1, true};
  return d;
}

void ReportRowsReset(ReportRows* rows, int ncolumns) {
  rows->ncolumns = ncolumns;
  rows->text.clear();
  rows->starts.clear();
}

bool ReportRowsAdd(ReportRows* rows, const char* const* cells) {
  size_t need = 0;
  for (int c = 0; c < rows->ncolumns; ++c) need += strlen(cells[c]) + 1;
  if (rows->text.size() + need > UINT32_MAX) return false;
  rows->starts.push_back((uint32_t)rows->text.size());
  for (int c = 0; c < rows->ncolumns; ++c) {
    const char* cell = cells[c];
    rows->text.insert(rows->text.end(), cell, cell + strlen(cell) + 1);
  }
  return true;
}

size_t ReportRowCount(const ReportRows& rows) { return rows.starts.size(); }

const char* ReportCell(const ReportRows& rows, size_t row, int column) {
  if (row >= rows.starts.size() || column < 0 || column >= rows.ncolumns) return "";
  const char* p = rows.text.data() + rows.starts[row];
  for (int c = 0; c < column; ++c) p += strlen(p) + 1;
  return p;
}

long ReportTextWidth(const ReportFontMetrics& font, const char* text, size_t len) {
  long w = 0;
  for (size_t i = 0; i < len; ++i) w += font.widths[(unsigned char)text[i]];
  return w;
}

bool LayoutReport(const ReportDefinition& definition, const ReportRows& rows, const ReportPageGeometry& g,
                  ReportLayout* layout) {
  layout->geometry = g;
  layout->definition = &definition;
  layout->pages.clear();
  if (definition.ncolumns < 1 || definition.ncolumns > kMaxReportColumns || rows.ncolumns != definition.ncolumns)
    return false;
  long usable = (long)g.pageWidth - 2L * g.margin;
  if (usable <= 0 || g.body.lineHeight <= 0) return false;
  long shareSum = 0;
  for (int c = 0; c < definition.ncolumns; ++c) {
    layout->columnX[c] = (int)(g.margin + usable * shareSum / 1000);
    shareSum += definition.columns[c].share;
    long right = g.margin + usable * shareSum / 1000;
    long width = right - layout->columnX[c] - (c + 1 < definition.ncolumns ? g.columnGap : 0);
    if (width <= 0) return false;
    layout->columnWidth[c] = (int)width;
  }
  int line = g.body.lineHeight;
  layout->titleY = g.margin;
  int y = g.margin + g.titleHeight + g.titleHeight / 2;
  if (HasHeadings(definition)) {
    layout->headingY = y;
    y += g.heading.lineHeight;
  } else {
    layout->headingY = -1;
  }
  layout->ruleY = y + line / 4;
  layout->bodyTop = layout->ruleY + line / 2;
  layout->footerY = g.pageHeight - g.margin - line;
  int bodyBottom = layout->footerY - line / 2;
  layout->linesPerPage = bodyBottom > layout->bodyTop ? (bodyBottom - layout->bodyTop) / line : 0;
  if (layout->linesPerPage < 1) return false;

  const uint32_t perPage = (uint32_t)layout->linesPerPage;
  std::vector<Segment> scratch;
  layout->pages.push_back(ReportPageStart{0, 0});
  uint32_t used = 0;
  size_t count = ReportRowCount(rows);
  for (size_t row = 0; row < count; ++row) {
    uint32_t lines = RowLines(*layout, rows, row, &scratch);
    if (used > 0 && used + lines > perPage) {
      layout->pages.push_back(ReportPageStart{(uint32_t)row, 0});
      used = 0;
    }
    uint32_t done = 0;
    while (lines - done > perPage - used) {
      done += perPage - used;
      layout->pages.push_back(ReportPageStart{(uint32_t)row, done});
      used = 0;
    }
    used += lines - done;
  }
  return true;
}

size_t ReportPageCount(const ReportLayout& layout) { return layout.pages.size(); }

void ReportFooterText(size_t page, char* out, size_t capacity) {
  snprintf(out, capacity, "Page %lu", (unsigned long)(page + 1));
}

bool DrawReportPage(const ReportLayout& layout, const ReportRows& rows, size_t page, ReportDrawFn draw, void* context) {
  if (page >= layout.pages.size() || layout.definition == nullptr) return false;
  const ReportDefinition& d = *layout.definition;
  const ReportPageGeometry& g = layout.geometry;
  int usable = g.pageWidth - 2 * g.margin;
  Emit(draw, context, kFontTitle, g.margin, layout.titleY, usable, kAlignCenter, d.title, strlen(d.title));
  if (layout.headingY >= 0) {
    for (int c = 0; c < d.ncolumns; ++c) {
      Emit(draw, context, kFontHeading, layout.columnX[c], layout.headingY, layout.columnWidth[c],
           d.columns[c].alignRight ? kAlignRight : kAlignLeft, d.columns[c].heading, strlen(d.columns[c].heading));
    }
  }
  ReportDrawItem rule = {};
  rule.rule = true;
  rule.x = g.margin;
  rule.y = layout.ruleY;
  rule.width = usable;
  draw(context, rule);

  ReportPageStart at = layout.pages[page];
  ReportPageStart end =
      page + 1 < layout.pages.size() ? layout.pages[page + 1] : ReportPageStart{(uint32_t)ReportRowCount(rows), 0};
  std::vector<Segment> cells[kMaxReportColumns];
  int y = layout.bodyTop;
  int shown = 0;
  for (uint32_t row = at.row; row < ReportRowCount(rows) && shown < layout.linesPerPage; ++row) {
    if (row > end.row || (row == end.row && end.line == 0)) break;
    uint32_t lines = 1;
    for (int c = 0; c < d.ncolumns; ++c) {
      WrapCell(g.body, ReportCell(rows, row, c), layout.columnWidth[c], &cells[c]);
      if (cells[c].size() > lines) lines = (uint32_t)cells[c].size();
    }
    uint32_t first = row == at.row ? at.line : 0;
    uint32_t last = row == end.row ? end.line : lines;
    for (uint32_t k = first; k < last && shown < layout.linesPerPage; ++k) {
      for (int c = 0; c < d.ncolumns; ++c) {
        if (k >= cells[c].size()) continue;
        const Segment& s = cells[c][k];
        if (s.end == s.start) continue;
        Emit(draw, context, kFontBody, layout.columnX[c], y, layout.columnWidth[c],
             d.columns[c].alignRight ? kAlignRight : kAlignLeft, ReportCell(rows, row, c) + s.start, s.end - s.start);
      }
      y += g.body.lineHeight;
      ++shown;
    }
  }
  char footer[32];
  ReportFooterText(page, footer, sizeof footer);
  Emit(draw, context, kFontFooter, g.margin, layout.footerY, usable, kAlignCenter, footer, strlen(footer));
  return true;
}
