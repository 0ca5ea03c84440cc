// Benchmark of the site browse's list over the record store against SQLite
// doing the same on an equivalent table and indexes, in the same run:
//   open_tab        open the browse on each of the five tabs: the first page, the
//                   first and last site of the order and the 100 scroll samples
//   page_down       page down 100 times from the top (description order)
//   thumb_drag      drag the thumb to 50 sample positions (description order)
//   category_switch switch the "Category" tab's limit 100 times (first page,
//                   first and last of the category, samples)
// SQLite reads its pages with ORDER BY ... LIMIT from the index of the order,
// pages on by key value (row values), and limits a category with
// WHERE category = ? COLLATE NOCASE. Both sides read the same columns, memo
// included, into the same record buffers. Prints, per operation,
//   op=NAME ours_ms=T sqlite_ms=T ratio=R   (times per operation; R = SQLite / ours)
//
// Usage: browse_bench [sites] [directory]   (defaults: 100000, a fresh /tmp directory)
#include "sitelist/records/record_files.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/windows/browse_page.h"
#include "sitelist/windows/browse_scroll.h"

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/tx_util.h"

namespace {

const int kPageRows = 20;
const int kCategories = 200;
const int kPageDowns = 100;
const int kDrags = 50;
const int kSwitches = 100;
const int kOpenRounds = 20;

double now() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "browse_bench: %s failed\n", what);
    exit(2);
  }
}

int quiet_prompt(const RecordMessage* m) {
  fprintf(stderr, "unexpected message: [%s] %s\n", m->title, m->text);
  exit(3);
}

const char* kWords[] = {"web",    "news",  "daily",  "music",   "art",     "science", "world",  "guide",
                        "home",   "page",  "online", "free",    "best",    "club",    "review", "travel",
                        "photo",  "game",  "sport",  "weather", "library", "museum",  "radio",  "video",
                        "market", "store", "city",   "local",   "open",    "archive"};
const int kNumWords = ARRAY_SIZE(kWords);

std::string words(std::mt19937& rng, int lo, int hi) {
  int n = std::uniform_int_distribution<int>(lo, hi)(rng);
  std::string s;
  for (int i = 0; i < n; i++) {
    if (i) s += ' ';
    std::string w = kWords[rng() % kNumWords];
    if (i == 0) w[0] = (char)(w[0] - 32);
    s += w;
  }
  return s;
}

struct Site {
  std::string location, description, category, keyword, info;
  int rating;
};

std::vector<Site> make_sites(int n, std::vector<std::string>* cats) {
  std::mt19937 rng(20261208);
  for (int i = 0; i < kCategories; i++) cats->push_back(words(rng, 1, 2) + " " + std::to_string(i));
  static const char* kSchemes[] = {"http://www.", "http://", "ftp://ftp.", "https://"};
  static const char* kTlds[] = {".com", ".org", ".net", ".edu", ".co.uk"};
  std::vector<Site> sites((size_t)n);
  for (int i = 0; i < n; i++) {
    Site& s = sites[(size_t)i];
    int scheme = (int)(rng() % 4);
    s.location = std::string(kSchemes[scheme]) + kWords[rng() % kNumWords] + std::to_string(i) + kTlds[rng() % 5] + "/";
    s.description = words(rng, 2, 7);
    // Mixed letter case, as imports leave it: the limit ignores case.
    std::string c = (*cats)[rng() % kCategories];
    if (rng() % 4 == 0)
      for (char& ch : c) ch = (char)toupper((unsigned char)ch);
    s.category = c;
    s.rating = (int)(rng() % 11);
    s.keyword = scheme == 2 ? "ftp" : scheme == 3 ? "https" : "http";
    if (i % 3 == 0) s.info = words(rng, 10, 90);
  }
  return sites;
}

void fill(SiteRecord* r, const Site& s) {
  ks_clear(&TABLNK_Decl, r);
  SET_FIELD(r->Location, s.location.c_str());
  SET_FIELD(r->Description, s.description.c_str());
  SET_FIELD(r->Category, s.category.c_str());
  r->Rating = s.rating;
  SET_FIELD(r->Keyword, s.keyword.c_str());
  SET_MEMO(r->SiteInfo, s.info.c_str());
}

// The best of a hundred runs of body (each after setup), in seconds: the machine is
// shared, and the least disturbed run is the one that measures the code.
const int kRepeats = getenv("BROWSE_BENCH_OURS") ? 200 : 100;
template <class Setup, class Body>
double best(Setup setup, Body body) {
  double b = 1e30;
  for (int k = 0; k < kRepeats; k++) {
    setup();
    double t0 = now();
    body();
    double d = now() - t0;
    if (d < b) b = d;
  }
  return b;
}
auto nothing = [] {};

struct Times {
  double open_tab, page_down, thumb_drag, category_switch;
  long rows;  // rows shown in all, to check both sides did the same work
};

// ---- Our store ------------------------------------------------------------------

// What the browse does when it fills the list for an order.
// The browse keeps one reader for its life and switches it to the new order.
void open_order(SiteReader* r, int tab, const char* category, SitePage* page, ScrollSamples* samples, long* rows) {
  BrowseOrder o;
  BrowseOrderForTab(tab, category, &o);
  check(ReaderSetOrder(r, &o) == KS_OK, "order");
  check(PageFirst(r, page) == KS_OK, "first page");
  SiteRecord first, last;
  if (ReaderFirst(r, &first) == KS_OK && ReaderLast(r, &last) == KS_OK) BuildScrollSamples(tab, &first, &last, samples);
  else BuildScrollSamples(tab, nullptr, nullptr, samples);
  *rows += page->count;
}

Times run_ours(const std::string& dir, const std::vector<Site>& sites, const std::vector<std::string>& cats) {
  Times t{};
  check(chdir(dir.c_str()) == 0, "chdir");
  SetRecordPrompt(quiet_prompt);
  check(OpenRecordFile(RF_TABLNK), "open");
  KsFile* f = RecordFile(RF_TABLNK);
  {
    KsTxn* txn = nullptr;
    check(ks_begin(&f, 1, 2000, &txn) == KS_OK, "begin");
    std::unique_ptr<SiteRecord> r(new SiteRecord);
    for (const Site& s : sites) {
      fill(r.get(), s);
      check(ks_add(f, r.get()) == KS_OK, "add");
    }
    check(ks_commit(txn) == KS_OK, "commit");
  }
  std::unique_ptr<SitePage> page(new SitePage);
  page->capacity = kPageRows;
  page->count = 0;
  std::unique_ptr<ScrollSamples> samples(new ScrollSamples);
  BrowseOrder o;
  BrowseOrderForTab(kTabDescription, "", &o);
  SiteReader r;
  check(ReaderOpen(&r, f, &o) == KS_OK, "reader");
  // The first look at the file after the load takes in its log once; a browse
  // opened on a file finds it taken in, so it is done before the clock starts
  // (SQLite's cache is warmed likewise).
  for (int tab = 0; tab < kTabCount; tab++) open_order(&r, tab, cats[0].c_str(), page.get(), samples.get(), &t.rows);
  t.rows = 0;

  t.open_tab = best(nothing,
                    [&] {
                      for (int round = 0; round < kOpenRounds; round++)
                        for (int tab = 0; tab < kTabCount; tab++)
                          open_order(&r, tab, cats[(size_t)round].c_str(), page.get(), samples.get(), &t.rows);
                    }) /
               (kOpenRounds * kTabCount);

  check(ReaderSetOrder(&r, &o) == KS_OK, "order");
  t.page_down = best([&] { check(PageFirst(&r, page.get()) == KS_OK, "first"); },
                     [&] {
                       for (int i = 0; i < kPageDowns; i++) {
                         check(PageDown(&r, page.get()) == KS_OK, "page down");
                         t.rows += page->count;
                       }
                     }) /
                kPageDowns;

  SiteRecord first, last;
  check(ReaderFirst(&r, &first) == KS_OK && ReaderLast(&r, &last) == KS_OK, "ends");
  BuildScrollSamples(kTabDescription, &first, &last, samples.get());
  t.thumb_drag = best(nothing,
                      [&] {
                        for (int i = 0; i < kDrags; i++) {
                          SiteRecord value;
                          int pos = 1 + i * 99 / (kDrags - 1);
                          int target = ThumbDragTarget(samples.get(), pos, &value);
                          int rc = target == kThumbFirst  ? PageFirst(&r, page.get())
                                   : target == kThumbLast ? PageLast(&r, page.get())
                                                          : PageAtValue(&r, page.get(), &value);
                          check(rc == KS_OK, "drag");
                          t.rows += page->count;
                        }
                      }) /
                 kDrags;

  t.category_switch = best(nothing,
                           [&] {
                             for (int i = 0; i < kSwitches; i++)
                               open_order(&r, kTabCategory, cats[(size_t)(i * 7 % kCategories)].c_str(), page.get(),
                                          samples.get(), &t.rows);
                           }) /
                      kSwitches;
  ReaderClose(&r);
  CloseRecordFile(RF_TABLNK);
  return t;
}

// ---- SQLite ----------------------------------------------------------------------

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    fprintf(stderr, "sqlite: %s\n", err ? err : "?");
    exit(2);
  }
}

sqlite3_stmt* prep(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    fprintf(stderr, "sqlite prepare: %s\n%s\n", sqlite3_errmsg(db), sql);
    exit(2);
  }
  return st;
}

void bind(sqlite3_stmt* st, int i, const std::string& s) {
  sqlite3_bind_text(st, i, s.c_str(), (int)s.size(), SQLITE_TRANSIENT);
}

const char kColumns[] = "SELECT id, location, description, category, rating, keyword, siteinfo FROM sites ";

void column_text(sqlite3_stmt* st, int i, char* field, size_t width) {
  const unsigned char* v = sqlite3_column_text(st, i);
  SetField(field, width, v ? (const char*)v : "");
}

// Reads the statement's rows into the page; returns how many.
int read_rows(sqlite3_stmt* st, SiteRecord* rows, int max) {
  int n = 0;
  while (n < max && sqlite3_step(st) == SQLITE_ROW) {
    SiteRecord* r = &rows[n++];
    ks_clear(&TABLNK_Decl, r);
    r->Tag.id = (uint32_t)sqlite3_column_int(st, 0);
    column_text(st, 1, r->Location, sizeof r->Location);
    column_text(st, 2, r->Description, sizeof r->Description);
    column_text(st, 3, r->Category, sizeof r->Category);
    r->Rating = sqlite3_column_int(st, 4);
    column_text(st, 5, r->Keyword, sizeof r->Keyword);
    const unsigned char* info = sqlite3_column_text(st, 6);
    SetMemo(r->SiteInfo, sizeof r->SiteInfo, info ? (const char*)info : "");
  }
  sqlite3_reset(st);
  return n;
}

// One order's statements: the first page, the first and the last row.
struct SqlOrder {
  sqlite3_stmt* page;
  sqlite3_stmt* first;
  sqlite3_stmt* last;
};

SqlOrder prep_order(sqlite3* db, const char* where, const char* order, const char* reverse) {
  std::string base = std::string(kColumns) + "WHERE " + where + " ORDER BY ";
  SqlOrder o;
  o.page = prep(db, (base + order + " LIMIT " + std::to_string(kPageRows)).c_str());
  o.first = prep(db, (base + order + " LIMIT 1").c_str());
  o.last = prep(db, (base + reverse + " LIMIT 1").c_str());
  return o;
}

void sql_open_order(SqlOrder* o, int tab, const std::string* category, SitePage* page, ScrollSamples* samples,
                    long* rows) {
  SiteRecord first, last;
  if (category) {
    bind(o->page, 1, *category);
    bind(o->first, 1, *category);
    bind(o->last, 1, *category);
  }
  page->count = read_rows(o->page, page->rows, kPageRows);
  page->selected = page->count ? 0 : -1;
  if (read_rows(o->first, &first, 1) && read_rows(o->last, &last, 1)) BuildScrollSamples(tab, &first, &last, samples);
  else BuildScrollSamples(tab, nullptr, nullptr, samples);
  *rows += page->count;
}

Times run_sqlite(const std::string& dir, const std::vector<Site>& sites, const std::vector<std::string>& cats) {
  Times t{};
  sqlite3* db = nullptr;
  check(sqlite3_open((dir + "/sites.db").c_str(), &db) == SQLITE_OK, "sqlite open");
  exec(db, "PRAGMA journal_mode=WAL");
  exec(db, "PRAGMA synchronous=NORMAL");
  exec(db, "PRAGMA cache_size=-200000");
  exec(db,
       "CREATE TABLE sites(id INTEGER PRIMARY KEY, location TEXT COLLATE NOCASE, description TEXT COLLATE NOCASE,"
       " category TEXT COLLATE NOCASE, rating INTEGER, keyword TEXT COLLATE NOCASE, siteinfo TEXT);"
       "CREATE UNIQUE INDEX k_location ON sites(location) WHERE location <> '';"
       "CREATE INDEX k_description ON sites(description) WHERE description <> '';"
       "CREATE INDEX k_category ON sites(category, description);"
       "CREATE INDEX k_rating ON sites(rating DESC, description, location);"
       "CREATE INDEX k_keyword ON sites(keyword, description, location);");
  exec(db, "BEGIN");
  sqlite3_stmt* add = prep(db,
                           "INSERT INTO sites(location, description, category, rating, keyword, siteinfo) "
                           "VALUES(?, ?, ?, ?, ?, ?)");
  for (const Site& s : sites) {
    bind(add, 1, s.location);
    bind(add, 2, s.description);
    bind(add, 3, s.category);
    sqlite3_bind_int(add, 4, s.rating);
    bind(add, 5, s.keyword);
    bind(add, 6, s.info);
    check(sqlite3_step(add) == SQLITE_DONE, "sqlite add");
    sqlite3_reset(add);
  }
  sqlite3_finalize(add);
  exec(db, "COMMIT");
  exec(db, "ANALYZE");

  SqlOrder orders[kTabCount] = {
      prep_order(db, "description <> ''", "description, id", "description DESC, id DESC"),
      prep_order(db, "location <> ''", "location", "location DESC"),
      prep_order(db, "category = ?1 COLLATE NOCASE", "category, description, id",
                 "category DESC, description DESC, id DESC"),
      prep_order(db, "1", "rating DESC, description, location, id", "rating, description DESC, location DESC, id DESC"),
      prep_order(db, "1", "keyword, description, location, id",
                 "keyword DESC, description DESC, location DESC, id DESC"),
  };
  std::unique_ptr<SitePage> page(new SitePage);
  page->capacity = kPageRows;
  std::unique_ptr<ScrollSamples> samples(new ScrollSamples);
  long warm = 0;
  for (int tab = 0; tab < kTabCount; tab++)
    sql_open_order(&orders[tab], tab, tab == kTabCategory ? &cats[0] : nullptr, page.get(), samples.get(), &warm);

  t.open_tab = best(nothing,
                    [&] {
                      for (int round = 0; round < kOpenRounds; round++)
                        for (int tab = 0; tab < kTabCount; tab++)
                          sql_open_order(&orders[tab], tab, tab == kTabCategory ? &cats[(size_t)round] : nullptr,
                                         page.get(), samples.get(), &t.rows);
                    }) /
               (kOpenRounds * kTabCount);

  // Page down: the rows after the last one shown, by its key value.
  sqlite3_stmt* after = prep(db, (std::string(kColumns) +
                                  "WHERE description <> '' AND (description, id) > (?1, ?2) "
                                  "ORDER BY description, id LIMIT " +
                                  std::to_string(kPageRows))
                                     .c_str());
  t.page_down = best([&] { page->count = read_rows(orders[kTabDescription].page, page->rows, kPageRows); },
                     [&] {
                       for (int i = 0; i < kPageDowns; i++) {
                         char d[sizeof page->rows[0].Description + 1];
                         GET_FIELD(page->rows[page->count - 1].Description, d);
                         sqlite3_bind_text(after, 1, d, -1, SQLITE_TRANSIENT);
                         sqlite3_bind_int(after, 2, (int)page->rows[page->count - 1].Tag.id);
                         page->count = read_rows(after, page->rows, kPageRows);
                         t.rows += page->count;
                       }
                     }) /
                kPageDowns;

  SiteRecord first, last;
  check(read_rows(orders[kTabDescription].first, &first, 1) && read_rows(orders[kTabDescription].last, &last, 1),
        "sqlite ends");
  BuildScrollSamples(kTabDescription, &first, &last, samples.get());
  sqlite3_stmt* at = prep(
      db, (std::string(kColumns) + "WHERE description <> '' AND description >= ?1 ORDER BY description, id LIMIT " +
           std::to_string(kPageRows))
              .c_str());
  sqlite3_stmt* tail =
      prep(db, (std::string(kColumns) + "WHERE description <> '' ORDER BY description DESC, id DESC LIMIT " +
                std::to_string(kPageRows))
                   .c_str());
  t.thumb_drag = best(nothing,
                      [&] {
                        for (int i = 0; i < kDrags; i++) {
                          SiteRecord value;
                          int pos = 1 + i * 99 / (kDrags - 1);
                          int target = ThumbDragTarget(samples.get(), pos, &value);
                          if (target == kThumbFirst) {
                            page->count = read_rows(orders[kTabDescription].page, page->rows, kPageRows);
                          } else if (target == kThumbLast) {
                            page->count = read_rows(tail, page->rows, kPageRows);
                          } else {
                            char d[sizeof value.Description + 1];
                            GET_FIELD(value.Description, d);
                            sqlite3_bind_text(at, 1, d, -1, SQLITE_TRANSIENT);
                            page->count = read_rows(at, page->rows, kPageRows);
                          }
                          t.rows += page->count;
                        }
                      }) /
                 kDrags;

  t.category_switch = best(nothing,
                           [&] {
                             for (int i = 0; i < kSwitches; i++)
                               sql_open_order(&orders[kTabCategory], kTabCategory, &cats[(size_t)(i * 7 % kCategories)],
                                              page.get(), samples.get(), &t.rows);
                           }) /
                      kSwitches;

  for (SqlOrder& o : orders) {
    sqlite3_finalize(o.page);
    sqlite3_finalize(o.first);
    sqlite3_finalize(o.last);
  }
  sqlite3_finalize(after);
  sqlite3_finalize(at);
  sqlite3_finalize(tail);
  sqlite3_close(db);
  return t;
}

void line(const char* op, double ours, double theirs) {
  printf("op=%-16s ours_ms=%.4f sqlite_ms=%.4f ratio=%.2f\n", op, ours * 1e3, theirs * 1e3,
         ours > 0 ? theirs / ours : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? atoi(argv[1]) : 100000;
  if (n < 1000) n = 1000;
  std::string dir = argc > 2 ? argv[2] : "";
  if (dir.empty()) {
    char tmpl[] = "/tmp/browse_bench_XXXXXX";
    check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    dir = tmpl;
  }
  std::filesystem::create_directories(dir);
  std::vector<std::string> cats;
  std::vector<Site> sites = make_sites(n, &cats);
  Times ours = run_ours(dir, sites, cats);
  // BROWSE_BENCH_OURS=1 leaves SQLite out (for profiling our side alone).
  Times theirs = getenv("BROWSE_BENCH_OURS") ? Times{} : run_sqlite(dir, sites, cats);
  printf("sites=%d page_rows=%d rows_shown ours=%ld sqlite=%ld\n", n, kPageRows, ours.rows, theirs.rows);
  line("open_tab", ours.open_tab, theirs.open_tab);
  line("page_down", ours.page_down, theirs.page_down);
  line("thumb_drag", ours.thumb_drag, theirs.thumb_drag);
  line("category_switch", ours.category_switch, theirs.category_switch);
  if (argc <= 2) std::filesystem::remove_all(dir);
  return 0;
}
