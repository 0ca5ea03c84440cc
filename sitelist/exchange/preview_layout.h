// The print preview's arithmetic, free of any window: which pages are shown
// (thumbnails across and down, or one page at a zoom), where each lands in the
// window, paging forward and back, the jump to a page and the status texts.
#ifndef SITELIST_EXCHANGE_PREVIEW_LAYOUT_H
#define SITELIST_EXCHANGE_PREVIEW_LAYOUT_H

#include <cstddef>
#include <vector>

// The choices of the "&Zoom" menu, in its order.
enum PreviewZoom {
  kZoomNone = 0,   // "No &Zoom": the pages across and down fitted into the window
  kZoomPageWidth,  // "Page &Width": one page as wide as the window
  kZoom50,
  kZoom75,
  kZoom100,
  kZoom200,
  kZoom300,
  kZoomCount
};

const int kMaxThumbnails = 8;  // the most pages across, and down
const long kPreviewGap = 10;   // pixels around and between the pages

struct PreviewState {
  size_t pageCount = 1;
  size_t page = 0;  // the first page shown, 0-based
  int across = 1;
  int down = 1;
  int zoom = kZoomNone;
};

// The zoom's scale in percent of the paper's real size (0 for the fitted zooms).
int ZoomPercent(int zoom);

// How many pages the state shows at once: across x down without zoom, else one.
size_t PagesShown(const PreviewState& s);

// Sets across and down (each kept within 1..kMaxThumbnails), or the zoom
// (kZoomNone..kZoom300), or the page (kept within the report).
void SetThumbnails(PreviewState* s, int across, int down);
void SetZoom(PreviewState* s, int zoom);
void SetPage(PreviewState* s, size_t page);

// "&Next Page(s)" and "&Previous Page(s)": by the pages shown, stopping at the
// ends. Return false when the page stayed where it was.
bool NextPages(PreviewState* s);
bool PreviousPages(PreviewState* s);

// A page's place in the window's client area, in pixels.
struct PreviewPageRect {
  size_t page;
  long x, y, width, height;
};

struct PreviewView {
  std::vector<PreviewPageRect> pages;
  long contentWidth = 0;  // the whole drawing, for the scroll bars
  long contentHeight = 0;
};

// Lays out the pages shown for a client area of clientWidth x clientHeight
// pixels, a paper of paperWidth x paperHeight (any unit, only their ratio and
// with paperDpi their real size matter: paper size in inches = size / paperDpi),
// a screen of screenDpi pixels per inch, scrolled by scrollX, scrollY.
void LayoutPreview(const PreviewState& s, long clientWidth, long clientHeight, long paperWidth, long paperHeight,
                   long paperDpi, long screenDpi, long scrollX, long scrollY, PreviewView* view);

// The status text: "Page N of M" (N the first page shown).
void FormatPageStatus(const PreviewState& s, char* out, size_t capacity);
// The zoom's status text: "Zoom (Page Width)", "Zoom (50 Percent)", "No Zoom".
const char* ZoomStatusText(int zoom);

// "Enter a page number from 1 to N".
void FormatJumpPrompt(size_t pageCount, char* out, size_t capacity);
// Parses a page number typed in "Jump to a Report Page" (spaces around allowed);
// false unless it is a whole number from 1 to pageCount. *page is 0-based.
bool ParsePageNumber(const char* text, size_t pageCount, size_t* page);

#endif
