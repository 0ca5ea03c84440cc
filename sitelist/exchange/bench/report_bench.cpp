// report_bench: the report of 100,000 sites without any window. Builds a site
// file in a scratch directory, then times, in the same run:
//   - a bare pass over URL:K_Description with the store's cursor (the peer),
//   - the report run over that key (25 records per step, as the window ticks),
//   - the paging of all rows with proportional character widths,
//   - the draw items of page 1, of the last page and of a 3 x 2 thumbnail view.
// Usage: report_bench [SITES]   (run by hand; prints its figures)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "sitelist/exchange/report_run.h"
#include "sitelist/records/record_files.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Widths like those of an 8-point proportional font at 300 dots per inch.
ReportFontMetrics Proportional(int height) {
  ReportFontMetrics f;
  for (int c = 0; c < 256; ++c) f.widths[c] = 19;
  for (const char* p = "iljtf.,;:'!|I "; *p; ++p) f.widths[(unsigned char)*p] = 8;
  for (const char* p = "mwMW@"; *p; ++p) f.widths[(unsigned char)*p] = 31;
  for (int c = 'A'; c <= 'Z'; ++c) f.widths[c] = f.widths[c] == 19 ? 23 : f.widths[c];
  f.lineHeight = height;
  return f;
}

struct Counter {
  size_t items = 0;
  size_t chars = 0;
};

void Count(void* context, const ReportDrawItem& item) {
  Counter* c = static_cast<Counter*>(context);
  ++c->items;
  c->chars += item.len;
}

}  // namespace

int main(int argc, char** argv) {
  int sites = argc > 1 ? atoi(argv[1]) : 100000;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tx_report_bench";
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);

  auto t = std::chrono::steady_clock::now();
  if (!OpenRecordFile(RF_TABLNK)) return 1;
  static const char* const kCategories[] = {"Books", "Music", "News", "Science", "Software", "Travel"};
  for (int i = 0; i < sites; ++i) {
    SiteRecord s;
    ks_clear(&TABLNK_Decl, &s);
    char text[128];
    snprintf(text, sizeof text, "http://www.site%06d.example.com/pages/index.html", i);
    SET_FIELD(s.Location, text);
    snprintf(text, sizeof text, "Site number %06d, a page about %s and more", (i * 7919) % sites, kCategories[i % 6]);
    SET_FIELD(s.Description, text);
    SET_FIELD(s.Category, kCategories[(i / 7) % 6]);
    s.Rating = (i % 199) - 99;
    SET_FIELD(s.Keyword, "http");
    if (ks_add(RecordFile(RF_TABLNK), &s) != KS_OK) return 1;
  }
  CloseRecordFile(RF_TABLNK);
  printf("site file of %d sites built in %.2f s\n", sites, Seconds(t));

  // The peer: a bare pass over the report's key.
  OpenRecordFile(RF_TABLNK);
  t = std::chrono::steady_clock::now();
  KsCursor* cursor = nullptr;
  ks_cursor_open(RecordFile(RF_TABLNK), URL_K_Description, nullptr, &cursor);
  ks_set(cursor, nullptr);
  SiteRecord s;
  int read = 0;
  while (ks_next(cursor, &s) == KS_OK) ++read;
  ks_cursor_close(cursor);
  double peer = Seconds(t);
  CloseRecordFile(RF_TABLNK);

  ReportRun run;
  t = std::chrono::steady_clock::now();
  if (!ReportBegin(&run, kReportByDescription)) return 1;
  int steps = 0;
  while (ReportStep(&run, 25) == kReportMore) ++steps;
  ReportEnd(&run);
  double runTime = Seconds(t);

  ReportPageGeometry g = {};
  g.pageWidth = 2480;
  g.pageHeight = 3508;
  g.margin = 150;
  g.columnGap = 37;
  g.titleHeight = 68;
  g.body = Proportional(38);
  g.heading = Proportional(38);
  ReportLayout layout;
  t = std::chrono::steady_clock::now();
  if (!LayoutReport(*run.definition, run.rows, g, &layout)) return 1;
  double layoutTime = Seconds(t);
  size_t pages = ReportPageCount(layout);

  Counter first, last, thumbs;
  t = std::chrono::steady_clock::now();
  DrawReportPage(layout, run.rows, 0, Count, &first);
  double firstTime = Seconds(t);
  t = std::chrono::steady_clock::now();
  DrawReportPage(layout, run.rows, pages - 1, Count, &last);
  double lastTime = Seconds(t);
  t = std::chrono::steady_clock::now();
  for (size_t p = 0; p < 6 && p < pages; ++p) DrawReportPage(layout, run.rows, pages / 2 + p, Count, &thumbs);
  double thumbTime = Seconds(t);

  printf("peer: bare pass over URL:K_Description, %d records: %.3f s\n", read, peer);
  printf("report run, %u rows in %d steps of 25: %.3f s (%.2f x the bare pass)\n", (unsigned)ReportRowCount(run.rows),
         steps + 1, runTime, runTime / peer);
  printf("paging: %lu pages, %d lines a page: %.3f s (%.2f x the bare pass)\n", (unsigned long)pages,
         layout.linesPerPage, layoutTime, layoutTime / peer);
  printf("draw items: page 1 %.3f ms (%lu items), last page %.3f ms (%lu items), 3 x 2 thumbnails %.3f ms\n",
         firstTime * 1000, (unsigned long)first.items, lastTime * 1000, (unsigned long)last.items, thumbTime * 1000);
  std::filesystem::current_path(dir.parent_path());
  std::filesystem::remove_all(dir, ec);
  return 0;
}
