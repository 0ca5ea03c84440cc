// The pages of a finished report, recorded once each as enhanced metafiles
// (see preview_pages.h).
#include "sitelist/exchange/preview_pages.h"

#include "sitelist/windows/frame_window.h"

namespace {

// A4 at 300 dots per inch: the page recorded when there is no printer.
const int kFallbackDpi = 300;
const int kFallbackWidth = 2480;
const int kFallbackHeight = 3508;

HFONT MakeFont(const char* face, int points, bool bold, int dpi) {
  return CreateFontA(-MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

// Sets the logical page units on a context made from the reference (only
// without printer does it differ from the reference's own units).
void SetPageUnits(const ReportPages* p, HDC dc) {
  if (p->printer) return;
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, p->pageWidth, p->pageHeight, nullptr);
  SetViewportExtEx(dc, p->viewport.cx, p->viewport.cy, nullptr);
}

void Measure(const ReportPages* p, HFONT font, ReportFontMetrics* m) {
  HDC dc = p->printer ? p->reference : CreateCompatibleDC(p->reference);
  int saved = SaveDC(dc);
  SetPageUnits(p, dc);
  SelectObject(dc, font);
  INT widths[256];
  if (GetCharWidth32A(dc, 0, 255, widths)) {
    for (int i = 0; i < 256; ++i) m->widths[i] = widths[i];
  } else {
    for (int i = 0; i < 256; ++i) m->widths[i] = p->dpi / 16;
  }
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  m->lineHeight = tm.tmHeight + tm.tmExternalLeading;
  if (m->lineHeight <= 0) m->lineHeight = p->dpi / 6;
  RestoreDC(dc, saved);
  if (!p->printer) DeleteDC(dc);
}

int TextHeight(const ReportPages* p, HFONT font) {
  ReportFontMetrics m;
  Measure(p, font, &m);
  return m.lineHeight;
}

// Takes the page size from the printer (or the A4 fallback) and lays out the report.
bool PreparePages(ReportPages* p) {
  p->reference = CreateReportPrinterDC(p->printerName, sizeof p->printerName);
  p->printer = p->reference != nullptr;
  if (p->printer) {
    p->pageWidth = GetDeviceCaps(p->reference, HORZRES);
    p->pageHeight = GetDeviceCaps(p->reference, VERTRES);
    p->dpi = GetDeviceCaps(p->reference, LOGPIXELSY);
    int hmm = GetDeviceCaps(p->reference, HORZSIZE), vmm = GetDeviceCaps(p->reference, VERTSIZE);
    int hres = GetDeviceCaps(p->reference, HORZRES), vres = GetDeviceCaps(p->reference, VERTRES);
    p->frame = RECT{0, 0, MulDiv(p->pageWidth, hmm * 100, hres), MulDiv(p->pageHeight, vmm * 100, vres)};
  }
  if (!p->printer || p->pageWidth <= 0 || p->pageHeight <= 0 || p->dpi <= 0) {
    if (p->reference != nullptr) DeleteDC(p->reference);
    p->printer = false;
    p->reference = GetDC(nullptr);
    p->pageWidth = kFallbackWidth;
    p->pageHeight = kFallbackHeight;
    p->dpi = kFallbackDpi;
    p->frame = RECT{0, 0, MulDiv(kFallbackWidth, 2540, kFallbackDpi), MulDiv(kFallbackHeight, 2540, kFallbackDpi)};
    int hmm = GetDeviceCaps(p->reference, HORZSIZE), vmm = GetDeviceCaps(p->reference, VERTSIZE);
    int hres = GetDeviceCaps(p->reference, HORZRES), vres = GetDeviceCaps(p->reference, VERTRES);
    p->viewport.cx = MulDiv(p->frame.right, hres, hmm * 100);
    p->viewport.cy = MulDiv(p->frame.bottom, vres, vmm * 100);
  }
  const char* face = p->definition->fixedPitch ? "Courier New" : "Arial";
  p->fonts[kFontTitle] = MakeFont("Arial", 14, true, p->dpi);
  p->fonts[kFontHeading] = MakeFont("Arial", 8, true, p->dpi);
  p->fonts[kFontBody] = MakeFont(face, p->definition->fixedPitch ? 9 : 8, false, p->dpi);
  p->fonts[kFontFooter] = MakeFont("Arial", 8, false, p->dpi);
  ReportPageGeometry g = {};
  g.pageWidth = p->pageWidth;
  g.pageHeight = p->pageHeight;
  g.margin = p->dpi / 2;
  g.columnGap = p->dpi / 8;
  g.titleHeight = TextHeight(p, p->fonts[kFontTitle]);
  Measure(p, p->fonts[kFontBody], &g.body);
  Measure(p, p->fonts[kFontHeading], &g.heading);
  if (!LayoutReport(*p->definition, *p->rows, g, &p->layout)) return false;
  p->pages.assign(ReportPageCount(p->layout), nullptr);
  return true;
}

struct RecordContext {
  const ReportPages* pages;
  HDC dc;
  HFONT selected;
};

void DrawItem(void* context, const ReportDrawItem& item) {
  RecordContext* c = static_cast<RecordContext*>(context);
  if (item.rule) {
    MoveToEx(c->dc, item.x, item.y, nullptr);
    LineTo(c->dc, item.x + item.width, item.y);
    return;
  }
  HFONT font = c->pages->fonts[item.font];
  if (font != c->selected) {
    SelectObject(c->dc, font);
    c->selected = font;
  }
  int x = item.x;
  UINT align = TA_TOP | TA_NOUPDATECP;
  if (item.align == kAlignRight) {
    x += item.width;
    align |= TA_RIGHT;
  } else if (item.align == kAlignCenter) {
    x += item.width / 2;
    align |= TA_CENTER;
  } else {
    align |= TA_LEFT;
  }
  SetTextAlign(c->dc, align);
  RECT clip = {item.x, item.y, item.x + item.width, item.y + c->pages->dpi};
  ExtTextOutA(c->dc, x, item.y, ETO_CLIPPED, &clip, item.text, (UINT)item.len, nullptr);
}

}  // namespace

bool OpenReportPages(ReportPages* p, const ReportDefinition& definition, const ReportRows& rows) {
  p->definition = &definition;
  p->rows = &rows;
  return PreparePages(p);
}

size_t ReportPagesCount(const ReportPages& p) { return p.pages.size(); }

bool PlayReportPage(ReportPages* p, size_t page, HDC dc, const RECT& rect) {
  HENHMETAFILE m = ReportPageMetafile(p, page);
  return m != nullptr && PlayEnhMetaFile(dc, m, &rect) != FALSE;
}

HENHMETAFILE ReportPageMetafile(ReportPages* p, size_t page) {
  if (page >= p->pages.size()) return nullptr;
  if (p->pages[page] != nullptr) return p->pages[page];
  HDC dc = CreateEnhMetaFileA(p->reference, nullptr, &p->frame, "Tabulink\0Report page\0");
  if (dc == nullptr) return nullptr;
  SetPageUnits(p, dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  HPEN pen = CreatePen(PS_SOLID, p->dpi / 100 > 0 ? p->dpi / 100 : 1, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldFont = SelectObject(dc, p->fonts[kFontBody]);
  RecordContext c = {p, dc, p->fonts[kFontBody]};
  DrawReportPage(p->layout, *p->rows, page, DrawItem, &c);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  p->pages[page] = CloseEnhMetaFile(dc);
  return p->pages[page];
}

void CloseReportPages(ReportPages* p) {
  for (HENHMETAFILE& m : p->pages) {
    if (m != nullptr) DeleteEnhMetaFile(m);
    m = nullptr;
  }
  for (HFONT& f : p->fonts) {
    if (f != nullptr) DeleteObject(f);
    f = nullptr;
  }
  if (p->reference != nullptr) {
    if (p->printer) DeleteDC(p->reference);
    else ReleaseDC(nullptr, p->reference);
  }
  p->reference = nullptr;
}
