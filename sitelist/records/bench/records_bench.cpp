// Benchmark of the record store against SQLite doing the same work on
// equivalent tables and indexes, one transaction per operation on both sides.
// Durability matches: our store's promise (every acknowledged operation
// survives a crash of the program; after a power loss the files are consistent
// and may miss the latest operations) is SQLite's journal_mode=WAL with
// synchronous=NORMAL. Prints one line per operation,
//   op=NAME ours_s=T sqlite_s=T ratio=R   (R = SQLite's time / ours)
// and one line with the sizes of the files at the end.
//
// Usage: records_bench [sites] [directory]   (defaults: 100000, a fresh /tmp directory)
#include "sitelist/records/record_files.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/tx_util.h"

namespace {

const int kCategories = 200;
const int kRenamedSites = 5000;  // sites of the category that is renamed
const int kDeletedSites = 2000;  // sites of the category that is deleted
const int kProbes = 10000;       // positioned reads of 10 records

struct Site {
  std::string location, description, category, keyword, info;
  int rating;
};

double now() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
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

std::vector<std::string> make_categories(std::mt19937& rng) {
  std::vector<std::string> cats;
  for (int i = 0; i < kCategories; i++) cats.push_back(words(rng, 1, 2) + " " + std::to_string(i));
  return cats;
}

std::vector<Site> make_sites(std::mt19937& rng, int n, const std::vector<std::string>& cats) {
  static const char* kSchemes[] = {"http://www.", "http://", "ftp://ftp.", "https://"};
  static const char* kTlds[] = {".com", ".org", ".net", ".edu", ".co.uk"};
  std::vector<Site> sites(n);
  for (int i = 0; i < n; i++) {
    Site& s = sites[i];
    int scheme = rng() % 10 == 0 ? 2 : (int)(rng() % 4 == 0 ? 1 : 0);
    s.location = std::string(kSchemes[scheme]) + kWords[rng() % kNumWords] + std::to_string(i) + kTlds[rng() % 5] + "/";
    if (rng() % 2) s.location += std::string(kWords[rng() % kNumWords]) + "/" + kWords[rng() % kNumWords] + ".html";
    s.description = words(rng, 2, 7);
    if (i < kRenamedSites) s.category = cats[0];
    else if (i < kRenamedSites + kDeletedSites) s.category = cats[1];
    else s.category = cats[2 + rng() % (kCategories - 2)];
    s.rating = (int)(rng() % 11);
    s.keyword = scheme == 2 ? "ftp" : scheme == 3 ? "https" : "http";
    if (i % 3 == 0) s.info = words(rng, 10, 90);
  }
  std::shuffle(sites.begin(), sites.end(), rng);
  return sites;
}

uint64_t file_size(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
}

int quiet_prompt(const RecordMessage* m) {
  fprintf(stderr, "unexpected message: [%s] %s\n", m->title, m->text);
  exit(3);
}

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "records_bench: %s failed\n", what);
    exit(2);
  }
}

// ---- Our store --------------------------------------------------------------------

struct Times {
  double add, traverse, get, position, rename, remove;
};

void fill(SiteRecord* r, const Site& s) {
  ks_clear(&TABLNK_Decl, r);
  SET_FIELD(r->Location, s.location.c_str());
  SET_FIELD(r->Description, s.description.c_str());
  SET_FIELD(r->Category, s.category.c_str());
  r->Rating = s.rating;
  SET_FIELD(r->Keyword, s.keyword.c_str());
  SET_MEMO(r->SiteInfo, s.info.c_str());
}

Times run_ours(const std::string& dir, const std::vector<Site>& sites, const std::vector<std::string>& cats,
               const std::vector<int>& order, const std::vector<std::string>& probes, uint64_t* bytes) {
  Times t{};
  check(chdir(dir.c_str()) == 0, "chdir");
  SetRecordPrompt(quiet_prompt);
  check(OpenRecordFile(RF_TABLNK) && OpenRecordFile(RF_CATEGORIES) && OpenRecordFile(RF_CATHTML), "open");
  KsFile* url = RecordFile(RF_TABLNK);
  for (const std::string& c : cats) {
    CategoryRecord r;
    ks_clear(&Categories_Decl, &r);
    SET_FIELD(r.Category, c.c_str());
    check(AddCategory(&r), "add category");
    for (const char* type : {"Before Category", "After Category"}) {
      CatHtmlRecord h;
      ks_clear(&CatHTML_Decl, &h);
      SET_FIELD(h.Category, c.c_str());
      SET_FIELD(h.TypeOfHTML, type);
      SET_MEMO(h.HTMLtoAdd, "<hr><p>Category text</p>");
      check(AddCatText(&h), "add text");
    }
  }
  SiteRecord r;
  double t0 = now();
  for (const Site& s : sites) {
    fill(&r, s);
    check(ks_add(url, &r) == KS_OK, "add");
  }
  t.add = now() - t0;

  t0 = now();
  uint64_t seen = 0;
  ks_read_ahead(url, 1);
  for (int k = 0; k < TABLNK_Decl.nkeys; k++) {
    KsCursor* c = nullptr;
    check(ks_cursor_open(url, k, nullptr, &c) == KS_OK, "cursor");
    ks_set(c, nullptr);
    while (ks_next(c, &r) == KS_OK) seen += (uint8_t)r.Location[0];
    ks_cursor_close(c);
  }
  ks_read_ahead(url, 0);
  t.traverse = now() - t0;

  t0 = now();
  for (int i : order) {
    ks_clear(&TABLNK_Decl, &r);
    SET_FIELD(r.Location, sites[i].location.c_str());
    check(ks_get(url, URL_K_Location, &r) == KS_OK, "get");
    seen += (uint8_t)r.Description[0];
  }
  t.get = now() - t0;

  t0 = now();
  KsCursor* c = nullptr;
  check(ks_cursor_open(url, URL_K_Description, nullptr, &c) == KS_OK, "cursor");
  for (const std::string& p : probes) {
    ks_clear(&TABLNK_Decl, &r);
    SET_FIELD(r.Description, p.c_str());
    ks_set(c, &r);
    for (int i = 0; i < 10 && ks_next(c, &r) == KS_OK; i++) seen += (uint8_t)r.Location[0];
  }
  ks_cursor_close(c);
  t.position = now() - t0;

  t0 = now();
  CategoryRecord cat;
  ks_clear(&Categories_Decl, &cat);
  SET_FIELD(cat.Category, cats[0].c_str());
  check(ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, &cat) == KS_OK, "get category");
  SET_FIELD(cat.Category, "Renamed category");
  check(ChangeCategory(&cat, cats[0].c_str()), "rename");
  t.rename = now() - t0;

  t0 = now();
  ks_clear(&Categories_Decl, &cat);
  SET_FIELD(cat.Category, cats[1].c_str());
  check(ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, &cat) == KS_OK, "get category");
  check(DeleteCategory(&cat), "delete category");
  t.remove = now() - t0;

  uint32_t n = 0;
  ks_count(url, &n);
  check(n == sites.size() - kDeletedSites, "count after delete");
  check(seen > 0, "reads");
  for (int id : {RF_TABLNK, RF_CATEGORIES, RF_CATHTML}) CloseRecordFile(id);
  *bytes = file_size(dir + "/URL_L.KSF") + file_size(dir + "/URL_C.KSF") + file_size(dir + "/URL_H.KSF");
  return t;
}

// ---- SQLite -------------------------------------------------------------------------

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    fprintf(stderr, "sqlite: %s: %s\n", sql, err ? err : "?");
    exit(2);
  }
}

sqlite3_stmt* prep(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    fprintf(stderr, "sqlite prepare: %s: %s\n", sql, sqlite3_errmsg(db));
    exit(2);
  }
  return st;
}

// Reads a row's columns into a site record, as our store's reads fill one.
void row_into(sqlite3_stmt* st, SiteRecord* r) {
  ks_clear(&TABLNK_Decl, r);
  SET_FIELD(r->Location, (const char*)sqlite3_column_text(st, 0));
  SET_FIELD(r->Description, (const char*)sqlite3_column_text(st, 1));
  SET_FIELD(r->Category, (const char*)sqlite3_column_text(st, 2));
  r->Rating = sqlite3_column_int(st, 3);
  SET_FIELD(r->Keyword, (const char*)sqlite3_column_text(st, 4));
  SET_MEMO(r->SiteInfo, (const char*)sqlite3_column_text(st, 5));
}

void bind(sqlite3_stmt* st, int i, const std::string& s) {
  sqlite3_bind_text(st, i, s.c_str(), (int)s.size(), SQLITE_STATIC);
}

Times run_sqlite(const std::string& dir, const std::vector<Site>& sites, const std::vector<std::string>& cats,
                 const std::vector<int>& order, const std::vector<std::string>& probes, uint64_t* bytes) {
  Times t{};
  std::string path = dir + "/sites.db";
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db) == SQLITE_OK, "sqlite open");
  exec(db, "PRAGMA journal_mode=WAL");
  exec(db, "PRAGMA synchronous=NORMAL");
  exec(
      db,
      "CREATE TABLE sites(id INTEGER PRIMARY KEY, location TEXT COLLATE NOCASE, description TEXT COLLATE NOCASE,"
      " category TEXT COLLATE NOCASE, rating INTEGER, keyword TEXT COLLATE NOCASE, siteinfo TEXT);"
      "CREATE UNIQUE INDEX k_location ON sites(location) WHERE location <> '';"
      "CREATE INDEX k_description ON sites(description) WHERE description <> '';"
      "CREATE INDEX k_category ON sites(category, description);"
      "CREATE INDEX k_categorylocation ON sites(category, location);"
      "CREATE INDEX k_rating ON sites(rating DESC, description, location);"
      "CREATE INDEX k_keyword ON sites(keyword, description, location);"
      "CREATE TABLE categories(id INTEGER PRIMARY KEY, category TEXT COLLATE NOCASE, flag INTEGER, description TEXT);"
      "CREATE UNIQUE INDEX k_cat ON categories(category) WHERE category <> '';"
      "CREATE TABLE cathtml(id INTEGER PRIMARY KEY, category TEXT COLLATE NOCASE, type TEXT COLLATE NOCASE, html TEXT);"
      "CREATE UNIQUE INDEX k_cathtml ON cathtml(category, type);");
  sqlite3_stmt* addc = prep(db, "INSERT INTO categories(category, flag, description) VALUES(?, 0, '')");
  sqlite3_stmt* addh = prep(db, "INSERT INTO cathtml(category, type, html) VALUES(?, ?, '<hr><p>Category text</p>')");
  for (const std::string& c : cats) {
    bind(addc, 1, c);
    check(sqlite3_step(addc) == SQLITE_DONE, "sqlite add category");
    sqlite3_reset(addc);
    for (const char* type : {"Before Category", "After Category"}) {
      bind(addh, 1, c);
      sqlite3_bind_text(addh, 2, type, -1, SQLITE_STATIC);
      check(sqlite3_step(addh) == SQLITE_DONE, "sqlite add text");
      sqlite3_reset(addh);
    }
  }
  sqlite3_finalize(addc);
  sqlite3_finalize(addh);

  sqlite3_stmt* add = prep(db,
                           "INSERT INTO sites(location, description, category, rating, keyword, siteinfo) "
                           "VALUES(?, ?, ?, ?, ?, ?)");
  double t0 = now();
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
  t.add = now() - t0;
  sqlite3_finalize(add);

  const char* orders[] = {"location <> '' ORDER BY location",
                          "description <> '' ORDER BY description",
                          "1 ORDER BY category, description",
                          "1 ORDER BY category, location",
                          "1 ORDER BY rating DESC, description, location",
                          "1 ORDER BY keyword, description, location"};
  SiteRecord r;
  uint64_t seen = 0;
  t0 = now();
  for (const char* o : orders) {
    std::string sql =
        std::string("SELECT location, description, category, rating, keyword, siteinfo FROM sites WHERE ") + o;
    sqlite3_stmt* st = prep(db, sql.c_str());
    while (sqlite3_step(st) == SQLITE_ROW) {
      row_into(st, &r);
      seen += (uint8_t)r.Location[0];
    }
    sqlite3_finalize(st);
  }
  t.traverse = now() - t0;

  sqlite3_stmt* get = prep(db,
                           "SELECT location, description, category, rating, keyword, siteinfo FROM sites "
                           "WHERE location = ? AND location <> ''");
  t0 = now();
  for (int i : order) {
    bind(get, 1, sites[i].location);
    check(sqlite3_step(get) == SQLITE_ROW, "sqlite get");
    row_into(get, &r);
    seen += (uint8_t)r.Description[0];
    sqlite3_reset(get);
  }
  t.get = now() - t0;
  sqlite3_finalize(get);

  sqlite3_stmt* pos = prep(db,
                           "SELECT location, description, category, rating, keyword, siteinfo FROM sites "
                           "WHERE description >= ? AND description <> '' ORDER BY description LIMIT 10");
  t0 = now();
  for (const std::string& p : probes) {
    bind(pos, 1, p);
    while (sqlite3_step(pos) == SQLITE_ROW) {
      row_into(pos, &r);
      seen += (uint8_t)r.Location[0];
    }
    sqlite3_reset(pos);
  }
  t.position = now() - t0;
  sqlite3_finalize(pos);

  t0 = now();
  {
    exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* s1 = prep(db, "UPDATE categories SET category = ?1 WHERE category = ?2");
    sqlite3_stmt* s2 = prep(db, "UPDATE cathtml SET category = ?1 WHERE category = ?2");
    sqlite3_stmt* s3 = prep(db, "UPDATE sites SET category = ?1 WHERE category = ?2");
    for (sqlite3_stmt* s : {s1, s2, s3}) {
      sqlite3_bind_text(s, 1, "Renamed category", -1, SQLITE_STATIC);
      bind(s, 2, cats[0]);
      check(sqlite3_step(s) == SQLITE_DONE, "sqlite rename");
      sqlite3_finalize(s);
    }
    exec(db, "COMMIT");
  }
  t.rename = now() - t0;
  check(sqlite3_changes(db) >= 0, "changes");

  t0 = now();
  {
    exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* s1 = prep(db, "DELETE FROM cathtml WHERE category = ?1");
    sqlite3_stmt* s2 = prep(db, "DELETE FROM sites WHERE category = ?1");
    sqlite3_stmt* s3 = prep(db, "DELETE FROM categories WHERE category = ?1");
    for (sqlite3_stmt* s : {s1, s2, s3}) {
      bind(s, 1, cats[1]);
      check(sqlite3_step(s) == SQLITE_DONE, "sqlite delete");
      sqlite3_finalize(s);
    }
    exec(db, "COMMIT");
  }
  t.remove = now() - t0;
  check(seen > 0, "reads");
  sqlite3_close(db);
  *bytes = file_size(path) + file_size(path + "-wal");
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? atoi(argv[1]) : 100000;
  if (n < kRenamedSites + kDeletedSites + 100) n = kRenamedSites + kDeletedSites + 100;
  std::string base;
  if (argc > 2) {
    base = argv[2];
  } else {
    char tmpl[] = "/tmp/records_bench_XXXXXX";
    check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    base = tmpl;
  }
  std::string ours_dir = base + "/ours", sqlite_dir = base + "/sqlite";
  std::filesystem::create_directories(ours_dir);
  std::filesystem::create_directories(sqlite_dir);

  std::mt19937 rng(20260501);
  std::vector<std::string> cats = make_categories(rng);
  std::vector<Site> sites = make_sites(rng, n, cats);
  std::vector<int> order(n);
  for (int i = 0; i < n; i++) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<std::string> probes;
  for (int i = 0; i < kProbes; i++) probes.push_back(words(rng, 1, 2));

  uint64_t ours_bytes = 0, sqlite_bytes = 0;
  // RECORDS_BENCH_ONLY=ours skips SQLite (for profiling our side).
  const char* only = getenv("RECORDS_BENCH_ONLY");
  Times s{};
  if (!only || strcmp(only, "ours") != 0) s = run_sqlite(sqlite_dir, sites, cats, order, probes, &sqlite_bytes);
  Times o = run_ours(ours_dir, sites, cats, order, probes, &ours_bytes);
  struct {
    const char* name;
    double ours, sqlite;
  } lines[] = {
      {"add_sites", o.add, s.add},
      {"traverse_all_keys", o.traverse, s.traverse},
      {"get_by_location", o.get, s.get},
      {"position_next10", o.position, s.position},
      {"rename_category_5000", o.rename, s.rename},
      {"delete_category", o.remove, s.remove},
  };
  printf(
      "sites=%d categories=%d durability=process-crash-safe,power-loss-consistent (sqlite WAL, synchronous=NORMAL)\n",
      n, kCategories);
  for (auto& l : lines)
    printf("op=%s ours_s=%.4f sqlite_s=%.4f ratio=%.2f\n", l.name, l.ours, l.sqlite,
           l.sqlite / (l.ours > 0 ? l.ours : 1e-9));
  printf("size ours_bytes=%llu sqlite_bytes=%llu\n", (unsigned long long)ours_bytes, (unsigned long long)sqlite_bytes);
  if (argc <= 2) std::filesystem::remove_all(base);
  return 0;
}
