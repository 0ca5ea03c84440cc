// The pages of a finished report as the preview shows and the printer prints
// them: laid out for the printer chosen under "&Print Setup ..." (or an A4
// page when there is no printer) and recorded once each, on first use, as an
// enhanced metafile made against the printer's device context.
#ifndef SITELIST_EXCHANGE_PREVIEW_PAGES_H
#define SITELIST_EXCHANGE_PREVIEW_PAGES_H

#include <windows.h>

#include <vector>

#include "sitelist/exchange/report_layout.h"

struct ReportPages {
  const ReportDefinition* definition = nullptr;
  const ReportRows* rows = nullptr;
  ReportLayout layout;
  HDC reference = nullptr;  // the printer's context, or the screen's
  bool printer = false;
  char printerName[256] = "";
  int pageWidth = 0;  // the page in its device units
  int pageHeight = 0;
  int dpi = 0;
  RECT frame = {};      // the page in hundredths of a millimetre
  SIZE viewport = {};   // the page in the screen's pixels (no printer)
  HFONT fonts[4] = {};  // by ReportFont
  std::vector<HENHMETAFILE> pages;
};

// Lays out the rows for the printer (definition and rows must outlive the
// pages). False when the page leaves no room for the report.
bool OpenReportPages(ReportPages* pages, const ReportDefinition& definition, const ReportRows& rows);

size_t ReportPagesCount(const ReportPages& pages);

// The page's metafile, recorded now if it was not before; null out of range or
// when recording failed. The pages keep it.
HENHMETAFILE ReportPageMetafile(ReportPages* pages, size_t page);

// Plays a page into rect of dc (a window's or a printer's). False on failure.
bool PlayReportPage(ReportPages* pages, size_t page, HDC dc, const RECT& rect);

// Frees the metafiles, fonts and the reference context.
void CloseReportPages(ReportPages* pages);

#endif
