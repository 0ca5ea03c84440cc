// The print preview's arithmetic (see preview_layout.h).
#include "sitelist/exchange/preview_layout.h"

#include <cstdio>

namespace {

const int kZoomPercents[kZoomCount] = {0, 0, 50, 75, 100, 200, 300};

const char* const kZoomTexts[kZoomCount] = {
    "No Zoom",
    "Zoom (Page Width)",
    "Zoom (50 Percent)",
    "Zoom (75 Percent)",
    "Zoom (100 Percent)",
    "Zoom (200 Percent)",
    "Zoom (300 Percent)",
};

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The largest rectangle of the paper's shape inside a box, centred in it.
void FitPage(long boxX, long boxY, long boxW, long boxH, long paperW, long paperH, PreviewPageRect* r) {
  long w = boxW;
  long h = paperW > 0 ? (long)((long long)w * paperH / paperW) : boxH;
  if (h > boxH) {
    h = boxH;
    w = paperH > 0 ? (long)((long long)h * paperW / paperH) : boxW;
  }
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  r->x = boxX + (boxW - w) / 2;
  r->y = boxY + (boxH - h) / 2;
  r->width = w;
  r->height = h;
}

}  // namespace

int ZoomPercent(int zoom) { return zoom >= 0 && zoom < kZoomCount ? kZoomPercents[zoom] : 0; }

size_t PagesShown(const PreviewState& s) { return s.zoom == kZoomNone ? (size_t)s.across * (size_t)s.down : 1; }

void SetThumbnails(PreviewState* s, int across, int down) {
  s->across = Clamp(across, 1, kMaxThumbnails);
  s->down = Clamp(down, 1, kMaxThumbnails);
}

void SetZoom(PreviewState* s, int zoom) { s->zoom = Clamp(zoom, kZoomNone, kZoomCount - 1); }

void SetPage(PreviewState* s, size_t page) {
  if (s->pageCount == 0) s->pageCount = 1;
  s->page = page < s->pageCount ? page : s->pageCount - 1;
}

bool NextPages(PreviewState* s) {
  size_t step = PagesShown(*s);
  if (s->page + step >= s->pageCount) return false;
  s->page += step;
  return true;
}

bool PreviousPages(PreviewState* s) {
  if (s->page == 0) return false;
  size_t step = PagesShown(*s);
  s->page = s->page > step ? s->page - step : 0;
  return true;
}

void LayoutPreview(const PreviewState& s, long clientWidth, long clientHeight, long paperWidth, long paperHeight,
                   long paperDpi, long screenDpi, long scrollX, long scrollY, PreviewView* view) {
  view->pages.clear();
  if (clientWidth < 1) clientWidth = 1;
  if (clientHeight < 1) clientHeight = 1;
  if (paperWidth < 1) paperWidth = 1;
  if (paperHeight < 1) paperHeight = 1;
  if (paperDpi < 1) paperDpi = 1;
  if (s.zoom == kZoomNone) {
    long cellW = (clientWidth - kPreviewGap * (s.across + 1)) / s.across;
    long cellH = (clientHeight - kPreviewGap * (s.down + 1)) / s.down;
    if (cellW < 1) cellW = 1;
    if (cellH < 1) cellH = 1;
    for (int row = 0; row < s.down; ++row) {
      for (int col = 0; col < s.across; ++col) {
        size_t page = s.page + (size_t)row * s.across + col;
        if (page >= s.pageCount) continue;
        PreviewPageRect r = {};
        r.page = page;
        FitPage(kPreviewGap + col * (cellW + kPreviewGap), kPreviewGap + row * (cellH + kPreviewGap), cellW, cellH,
                paperWidth, paperHeight, &r);
        view->pages.push_back(r);
      }
    }
    view->contentWidth = clientWidth;
    view->contentHeight = clientHeight;
    return;
  }
  long w;
  if (s.zoom == kZoomPageWidth) {
    w = clientWidth - 2 * kPreviewGap;
  } else {
    w = (long)((long long)paperWidth * screenDpi * ZoomPercent(s.zoom) / (100LL * paperDpi));
  }
  if (w < 1) w = 1;
  long h = (long)((long long)w * paperHeight / paperWidth);
  view->contentWidth = w + 2 * kPreviewGap;
  view->contentHeight = h + 2 * kPreviewGap;
  PreviewPageRect r = {};
  r.page = s.page;
  r.width = w;
  r.height = h;
  r.x = view->contentWidth < clientWidth ? (clientWidth - w) / 2 : kPreviewGap - scrollX;
  r.y = view->contentHeight < clientHeight ? (clientHeight - h) / 2 : kPreviewGap - scrollY;
  view->pages.push_back(r);
}

void FormatPageStatus(const PreviewState& s, char* out, size_t capacity) {
  snprintf(out, capacity, "Page %lu of %lu", (unsigned long)(s.page + 1), (unsigned long)s.pageCount);
}

const char* ZoomStatusText(int zoom) { return zoom >= 0 && zoom < kZoomCount ? kZoomTexts[zoom] : ""; }

void FormatJumpPrompt(size_t pageCount, char* out, size_t capacity) {
  snprintf(out, capacity, "Enter a page number from 1 to %lu", (unsigned long)pageCount);
}

bool ParsePageNumber(const char* text, size_t pageCount, size_t* page) {
  if (text == nullptr) return false;
  const char* p = text;
  while (*p == ' ') ++p;
  unsigned long long v = 0;
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + (unsigned)(*p - '0');
    if (++digits > 12) return false;
    ++p;
  }
  while (*p == ' ') ++p;
  if (*p != '\0' || digits == 0 || v < 1 || v > pageCount) return false;
  *page = (size_t)(v - 1);
  return true;
}
