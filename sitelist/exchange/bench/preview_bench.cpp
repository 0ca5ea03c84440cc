// preview_bench: the preview of a report of 100,000 sites under Wine. Builds a
// site file in a scratch directory and times, in one run: the report run, the
// paging with the printer's (or the A4 fallback's) font widths, and drawing
// page 1, the last page and a 3 x 2 thumbnail view into a window-sized bitmap
// (each page recorded once as an enhanced metafile, then played), and turning
// to a page not seen before. The peer is the same page drawn straight into the
// bitmap with the same text calls, without a metafile.
// Usage: preview_bench.exe [SITES]   (run by hand under Wine, with CUPS_SERVER
// naming a scheduler for the printer's page, or without for A4 at 300 dpi)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sitelist/exchange/preview_pages.h"
#include "sitelist/exchange/report_run.h"
#include "sitelist/records/record_files.h"

namespace {

double Ms(LARGE_INTEGER since) {
  LARGE_INTEGER now, f;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&f);
  return (now.QuadPart - since.QuadPart) * 1000.0 / f.QuadPart;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

struct Direct {
  HDC dc;
  ReportPages* pages;
  double scale;
};

// The peer: the page's texts drawn straight into the bitmap at its scale.
void DrawDirect(void* context, const ReportDrawItem& item) {
  Direct* d = static_cast<Direct*>(context);
  if (item.rule) return;
  SelectObject(d->dc, d->pages->fonts[item.font]);
  RECT clip = {(LONG)(item.x * d->scale), (LONG)(item.y * d->scale), (LONG)((item.x + item.width) * d->scale),
               (LONG)((item.y + d->pages->dpi) * d->scale)};
  ExtTextOutA(d->dc, clip.left, clip.top, ETO_CLIPPED, &clip, item.text, (UINT)item.len, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  int sites = argc > 1 ? atoi(argv[1]) : 100000;
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  lstrcatA(dir, "tx_preview_bench");
  CreateDirectoryA(dir, nullptr);
  SetCurrentDirectoryA(dir);
  DeleteFileA("URL_L.KSF");
  LARGE_INTEGER t = Now();
  if (!OpenRecordFile(RF_TABLNK)) return 1;
  for (int i = 0; i < sites; ++i) {
    SiteRecord s;
    ks_clear(&TABLNK_Decl, &s);
    char text[128];
    snprintf(text, sizeof text, "http://www.site%06d.example.com/pages/index.html", i);
    SET_FIELD(s.Location, text);
    snprintf(text, sizeof text, "Site number %06d, a page about things and more", (i * 7919) % sites);
    SET_FIELD(s.Description, text);
    SET_FIELD(s.Category, "Science");
    s.Rating = (i % 199) - 99;
    SET_FIELD(s.Keyword, "http");
    if (ks_add(RecordFile(RF_TABLNK), &s) != KS_OK) return 1;
  }
  CloseRecordFile(RF_TABLNK);
  printf("site file of %d sites built in %.0f ms\n", sites, Ms(t));

  ReportRun run;
  t = Now();
  if (!ReportBegin(&run, kReportByDescription)) return 1;
  while (ReportStep(&run, 25) == kReportMore) {}
  ReportEnd(&run);
  double runMs = Ms(t);

  ReportPages pages;
  t = Now();
  if (!OpenReportPages(&pages, *run.definition, run.rows)) return 1;
  double openMs = Ms(t);
  size_t count = ReportPagesCount(pages);

  // A window-sized bitmap, the page fitted as "No Zoom" would.
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 800, 600);
  SelectObject(mem, bmp);
  RECT whole = {0, 0, 800, 600};
  long h = 580, w = (long)((long long)h * pages.pageWidth / pages.pageHeight);
  RECT page = {10, 10, 10 + w, 10 + h};
  auto show = [&](size_t p) {
    FillRect(mem, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    PlayReportPage(&pages, p, mem, page);
  };
  t = Now();
  show(0);
  double firstMs = Ms(t);
  t = Now();
  show(count - 1);
  double lastMs = Ms(t);
  t = Now();
  show(0);
  double againMs = Ms(t);
  t = Now();
  FillRect(mem, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
  for (int i = 0; i < 6; ++i) {
    RECT r = {(LONG)(10 + (i % 3) * 262), (LONG)(10 + (i / 3) * 295), (LONG)(10 + (i % 3) * 262 + 200),
              (LONG)(10 + (i / 3) * 295 + 283)};
    PlayReportPage(&pages, count / 2 + i, mem, r);
  }
  double thumbsMs = Ms(t);
  double turnMs = 0;
  for (int i = 0; i < 10; ++i) {
    t = Now();
    show(count / 3 + i);
    turnMs += Ms(t);
  }
  turnMs /= 10;
  // The peer: the same page's calls straight into the bitmap.
  Direct d = {mem, &pages, (double)h / pages.pageHeight};
  SetMapMode(mem, MM_TEXT);
  double directMs = 0;
  for (int i = 0; i < 10; ++i) {
    t = Now();
    FillRect(mem, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    DrawReportPage(pages.layout, run.rows, count / 4 + i, DrawDirect, &d);
    directMs += Ms(t);
  }
  directMs /= 10;

  printf("page %d x %d at %d dpi (%s), %lu pages\n", pages.pageWidth, pages.pageHeight, pages.dpi,
         pages.printer ? pages.printerName : "no printer: A4", (unsigned long)count);
  printf("report run: %.0f ms; paging with the font's widths: %.0f ms; preview ready: %.0f ms\n", runMs, openMs,
         runMs + openMs);
  printf("page 1 recorded and shown: %.1f ms; last page: %.1f ms; page 1 again (recorded): %.1f ms\n", firstMs, lastMs,
         againMs);
  printf("3 x 2 thumbnails, recorded and shown: %.1f ms\n", thumbsMs);
  printf("turning to a new page: %.1f ms, %.2f x the peer (same page drawn straight: %.1f ms)\n", turnMs,
         turnMs / directMs, directMs);
  CloseReportPages(&pages);
  DeleteDC(mem);
  DeleteObject(bmp);
  ReleaseDC(nullptr, screen);
  DeleteFileA("URL_L.KSF");
  return 0;
}
