// Benchmark of the export: a site file of 100,000 sites in 2,000 categories
// (every category with its five HTML texts, the page with its "_Before All" and
// "_After All" texts, every site with a note and a rating) exported in each of
// the five types, with notes and ratings, to a file; and in the same run
// Debian's buku exporting the same bookmarks (titles, descriptions, folders as
// tags) to HTML. Prints one line per type,
//   type="HTML - Table" ours_s=T ours_cpu_s=C sites_per_s=N bytes=B files=F buku_s=T ratio=R cpu_ratio=Q
// (R = buku's wall time / ours, Q = buku's processor time / ours: the steadier
// figure on a busy machine).
// The export reads the sites through the record store as the program does; each
// figure is the best of three rounds.
//
// Usage: export_bench [sites] [directory] [type]   (defaults: 100000, a fresh /tmp
// directory, every type; a directory of an earlier run keeps its files and buku's)
#include "sitelist/exchange/export_writer.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/tx_util.h"

namespace {

const int kCategories = 2000;

// Processor time (user and system) of this process, and of its finished children.
double Cpu() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
double ChildCpu() {
  struct rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Now() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "export_bench: %s failed\n", what);
    exit(2);
  }
}

const char* kWords[] = {"web",    "news",  "daily",  "music",   "art",     "science", "world",  "guide",
                        "home",   "page",  "online", "free",    "best",    "club",    "review", "travel",
                        "photo",  "game",  "sport",  "weather", "library", "museum",  "radio",  "video",
                        "market", "store", "city",   "local",   "open",    "archive"};
const int kNumWords = ARRAY_SIZE(kWords);

std::string Words(std::mt19937& rng, int lo, int hi) {
  int n = std::uniform_int_distribution<int>(lo, hi)(rng);
  std::string s;
  for (int i = 0; i < n; i++) {
    if (i) s += ' ';
    s += kWords[rng() % kNumWords];
  }
  if (!s.empty()) s[0] = (char)(s[0] - 32);
  return s;
}

struct Site {
  std::string location, description, category, note;
  int rating;
};

uint64_t FileSize(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
}

// Runs a shell command; returns its exit status.
int Shell(const std::string& command) {
  int rc = system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// The same bookmarks as a Netscape bookmark file: one folder per category.
void WriteBookmarks(const std::string& path, const std::vector<Site>& sites) {
  FILE* f = fopen(path.c_str(), "w");
  Check(f != nullptr, "bookmark file");
  fputs(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n",
      f);
  std::string open;
  for (const Site& s : sites) {
    if (s.category != open) {
      if (!open.empty()) fputs("</DL><p>\n", f);
      fprintf(f, "<DT><H3>%s</H3>\n<DL><p>\n", Escape(s.category).c_str());
      open = s.category;
    }
    fprintf(f, "<DT><A HREF=\"%s\" ADD_DATE=\"1700000000\">%s</A>\n<DD>%s\n", Escape(s.location).c_str(),
            Escape(s.description).c_str(), Escape(s.note).c_str());
  }
  if (!open.empty()) fputs("</DL><p>\n", f);
  fputs("</DL><p>\n", f);
  fclose(f);
}

// Adds the sites (in transactions of 1000) and the texts of every category and
// of the page.
void Fill(KsFile* url, KsFile* htm, const std::vector<Site>& sites, const std::vector<std::string>& cats,
          std::mt19937& rng) {
  const char* types[] = {"Replace Title", "Before Category", "Before Category Title", "After Category Title",
                         "After Category"};
  for (size_t b = 0; b < sites.size(); b += 1000) {
    KsTxn* txn = nullptr;
    Check(ks_begin(&url, 1, 2000, &txn) == KS_OK, "begin");
    for (size_t i = b; i < sites.size() && i < b + 1000; i++) {
      SiteRecord r;
      ks_clear(&TABLNK_Decl, &r);
      SET_FIELD(r.Location, sites[i].location.c_str());
      SET_FIELD(r.Description, sites[i].description.c_str());
      SET_FIELD(r.Category, sites[i].category.c_str());
      r.Rating = sites[i].rating;
      SET_FIELD(r.Keyword, "http");
      SET_MEMO(r.SiteInfo, sites[i].note.c_str());
      Check(ks_add(url, &r) == KS_OK, "add site");
    }
    Check(ks_commit(txn) == KS_OK, "commit");
  }
  KsTxn* txn = nullptr;
  Check(ks_begin(&htm, 1, 2000, &txn) == KS_OK, "begin texts");
  std::vector<std::string> owners = cats;
  owners.push_back("_Before All");
  owners.push_back("_After All");
  for (const std::string& c : owners)
    for (const char* type : types) {
      CatHtmlRecord h;
      ks_clear(&CatHTML_Decl, &h);
      SET_FIELD(h.Category, c.c_str());
      SET_FIELD(h.TypeOfHTML, type);
      std::string text = std::string("<!-- ") + type + " of " + c + " --><p>" + Words(rng, 3, 12) + "</p>";
      SET_MEMO(h.HTMLtoAdd, text.c_str());
      Check(ks_add(htm, &h) == KS_OK, "add text");
    }
  Check(ks_commit(txn) == KS_OK, "commit texts");
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? atoi(argv[1]) : 100000;
  if (n <= 0) n = 100000;
  std::string dir = argc > 2 ? argv[2] : "";
  if (dir.empty()) {
    char tmpl[] = "/tmp/export_bench_XXXXXX";
    Check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    dir = tmpl;
  }
  std::filesystem::create_directories(dir);
  Check(chdir(dir.c_str()) == 0, "chdir");

  std::mt19937 rng(20261208);
  std::vector<std::string> cats;
  for (int i = 0; i < kCategories; i++) cats.push_back(Words(rng, 1, 2) + " " + std::to_string(i));
  std::vector<Site> sites((size_t)n);
  for (int i = 0; i < n; i++) {
    Site& s = sites[(size_t)i];
    s.location = "http://www." + std::string(kWords[rng() % kNumWords]) + std::to_string(i) + ".example.com/" +
                 kWords[rng() % kNumWords] + ".html";
    s.description = Words(rng, 2, 7);
    s.category = cats[(size_t)i * kCategories / (size_t)n];
    s.note = Words(rng, 5, 30);
    s.rating = (int)(rng() % 11);
  }

  // The site file, its category texts and the page texts (kept from an earlier
  // run in the same directory when they are complete).
  double t0 = Now();
  KsFile* url = nullptr;
  KsFile* htm = nullptr;
  uint32_t have = 0;
  if (ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &url) == KS_OK && ks_count(url, &have) == KS_OK &&
      have == (uint32_t)n && ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &htm) == KS_OK) {
    printf("setup: the %d sites of an earlier run in %s\n", n, dir.c_str());
  } else {
    if (url) ks_close(url);
    url = nullptr;
    Check(ks_create(&TABLNK_Decl, nullptr) == KS_OK && ks_create(&CatHTML_Decl, nullptr) == KS_OK, "create");
    Check(ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &url) == KS_OK, "open TABLNK");
    Check(ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &htm) == KS_OK, "open CatHTML");
    Fill(url, htm, sites, cats, rng);
    printf("setup: %d sites in %d categories, %d texts, %.1f s (%s)\n", n, kCategories, (kCategories + 2) * 5,
           Now() - t0, dir.c_str());
  }
  // Both exports write to a memory file system where there is one: on ext4,
  // replacing or re-creating two thousand frame pages costs more in the file
  // system's inode and write-out rules than in the export itself.
  std::string outDir = dir + "/out";
  if (std::filesystem::is_directory("/dev/shm")) outDir = "/dev/shm/export_bench_" + std::to_string(getpid());
  std::filesystem::create_directories(outDir);

  // buku: the same bookmarks imported (not timed), then exported to HTML.
  double buku = -1, bukuCpu = -1;
  std::string bukuHome = dir + "/buku-home";
  std::filesystem::create_directories(bukuHome);
  std::string env = "HOME='" + bukuHome + "' XDG_DATA_HOME='" + bukuHome + "' ";
  if (Shell("command -v buku >/dev/null 2>&1") == 0) {
    int rc = 0;
    if (FileSize(bukuHome + "/buku/bookmarks.db") > 0) {
      printf("buku import: the database of an earlier run\n");
    } else {
      WriteBookmarks(dir + "/bookmarks.html", sites);
      double ti = Now();
      rc = Shell(env + "buku --nostdin --tacit --import '" + dir + "/bookmarks.html' </dev/null >/dev/null 2>&1");
      printf("buku import: %.1f s (exit %d)\n", Now() - ti, rc);
    }
    double best = 1e9, bestCpu = 1e9;
    for (int round = 0; round < 3; round++) {
      std::string out = outDir + "/buku-export.html";
      remove(out.c_str());
      double tb = Now(), cb = ChildCpu();
      rc = Shell(env + "buku --nostdin --tacit --export '" + out + "' </dev/null >/dev/null 2>&1");
      double t = Now() - tb, c = ChildCpu() - cb;
      if (rc == 0 && FileSize(out) > 0) {
        best = std::min(best, t);
        bestCpu = std::min(bestCpu, c);
      }
    }
    if (best < 1e9) {
      buku = best;
      bukuCpu = bestCpu;
    }
    printf("buku export: %.3f s, cpu %.3f s (%llu bytes)\n", buku, bukuCpu,
           (unsigned long long)FileSize(outDir + "/buku-export.html"));
  } else {
    printf("buku export: not installed, no ratio\n");
  }

  // The floor: a pass over the sites in stored order through the store, writing nothing.
  {
    double best = 1e9;
    for (int round = 0; round < 3; round++) {
      double tr = Now();
      KsCursor* c = nullptr;
      Check(ks_cursor_open(url, -1, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK, "cursor");
      ks_read_ahead(url, 1);
      SiteRecord r;
      int count = 0;
      while (ks_next(c, &r) == KS_OK) count++;
      ks_read_ahead(url, 0);
      ks_cursor_close(c);
      Check(count == n, "read pass");
      best = std::min(best, Now() - tr);
    }
    printf("read pass (no output): %.3f s\n", best);
  }

  const ExportDate today = {2026, 12, 8};
  for (int type = 0; type < kExportTypeCount; type++) {
    if (argc > 3 && ExportTypeFromName(argv[3]) != type) continue;
    for (const auto& e : std::filesystem::directory_iterator(outDir))
      if (e.path().filename().string().rfind("SITES", 0) == 0) std::filesystem::remove(e.path());
    ExportSettings s;
    DefaultExportSettings(&s);
    snprintf(s.Type, sizeof s.Type, "%s", ExportTypeName(type));
    snprintf(s.Name, sizeof s.Name, "%s/%s", outDir.c_str(), IsHtmlExportType(type) ? "SITES.HTM" : "SITES.TXT");
    double best = 1e9, bestCpu = 1e9;
    for (int round = 0; round < 3; round++) {
      double te = Now(), ce = Cpu();
      int error = 0;
      Check(ExportAll(&s, url, htm, today, nullptr, nullptr, &error) == kExportDone, "export");
      best = std::min(best, Now() - te);
      bestCpu = std::min(bestCpu, Cpu() - ce);
    }
    uint64_t bytes = FileSize(s.Name);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(outDir))
      files += e.path().filename().string().rfind("SITES", 0) == 0;
    printf("type=\"%s\" ours_s=%.3f ours_cpu_s=%.3f sites_per_s=%.0f bytes=%llu files=%zu", ExportTypeName(type), best,
           bestCpu, n / best, (unsigned long long)bytes, files);
    if (buku > 0) printf(" buku_s=%.3f ratio=%.1f cpu_ratio=%.1f", buku, buku / best, bukuCpu / bestCpu);
    printf("\n");
  }
  ks_close(url);
  ks_close(htm);
  std::filesystem::remove_all(outDir);
  if (argc <= 2) std::filesystem::remove_all(dir);
  return 0;
}
