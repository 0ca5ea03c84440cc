// import_bench: the bookmark import against Debian's buku on the same file.
//   import_bench [links=100000] [folders=1000] [--no-peer]
// Writes a bookmark file of that many links in that many folders, as today's
// browsers write it (ICON data on every tenth link), in a scratch directory;
// imports it with method M into an empty collection, then again (every link a
// duplicate); then times `buku --import` of the same file, and prints the
// times and the ratios.
#include "sitelist/exchange/import_run.h"
#include "sitelist/records/record_messages.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

int QuietPrompt(const RecordMessage* m) {
  fprintf(stderr, "prompt: %s: %s\n", m->title, m->text);
  return m->default_answer;
}

void WriteBookmarks(const char* path, int links, int folders) {
  FILE* f = fopen(path, "wb");
  if (!f) {
    perror(path);
    exit(1);
  }
  std::string icon = "data:image/png;base64,";
  for (int i = 0; i < 1500; i++) icon += "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAA"[i % 48];
  fprintf(f,
          "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file.\n"
          "     It will be read and overwritten.\n     DO NOT EDIT! -->\n"
          "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
          "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n");
  int per = links / folders;
  for (int i = 0; i < links; i++) {
    if (i % per == 0) {
      if (i) fprintf(f, "    </DL><p>\n");
      fprintf(f, "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000001\">Folder %d</H3>\n    <DL><p>\n",
              i / per);
    }
    fprintf(f,
            "        <DT><A HREF=\"https://site%d.example.com/page/%d\" ADD_DATE=\"%d\" LAST_MODIFIED=\"%d\"%s%s%s>"
            "Site number %d \xE2\x80\x93 Caf\xC3\xA9</A>\n",
            i, i * 7, 1700000000 + i, 1700000000 + i, i % 10 == 0 ? " ICON=\"" : "", i % 10 == 0 ? icon.c_str() : "",
            i % 10 == 0 ? "\"" : "", i);
  }
  fprintf(f, "    </DL><p>\n</DL><p>\n");
  fclose(f);
}

// Processor seconds of this process (the machine may be shared: wall time
// alone would count other processes' work).
double Cpu() { return (double)clock() / CLOCKS_PER_SEC; }

double RunImport(const char* path, ImportCounts* counts, double* cpu) {
  ImportSettings s = {};
  snprintf(s.name, sizeof s.name, "%s", path);
  snprintf(s.type, sizeof s.type, "HTML Document");
  snprintf(s.method, sizeof s.method, "Make Best Guess");
  ImportUi ui = {};
  static ImportRun run;
  double t = Now();
  double c = Cpu();
  if (ImportOpen(&run, &s, &ui) != 0) {
    fprintf(stderr, "cannot open %s\n", path);
    exit(1);
  }
  while (ImportStep(&run, 1000)) {}
  *counts = run.counts;
  ImportClose(&run);
  *cpu = Cpu() - c;
  return Now() - t;
}

// Removes the scratch directory with the bookmark file, the site files and buku's database.
void Cleanup(const char* dir) {
  if (chdir("/") != 0) return;
  std::string cmd = std::string("rm -rf '") + dir + "'";
  if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir);
}

}  // namespace

int main(int argc, char** argv) {
  int links = argc > 1 ? atoi(argv[1]) : 100000;
  int folders = argc > 2 ? atoi(argv[2]) : 1000;
  if (links <= 0 || folders <= 0 || folders > links) {
    fprintf(stderr, "usage: import_bench [links] [folders]\n");
    return 2;
  }
  char dir[] = "/tmp/tx_import_bench_XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) {
    perror("scratch directory");
    return 1;
  }
  WriteBookmarks("bookmarks.html", links, folders);
  struct stat st;
  stat("bookmarks.html", &st);
  printf("import_bench: %d links in %d folders, ICON data on every tenth link, %.1f MB\n", links, folders,
         st.st_size / 1e6);

  SetRecordPrompt(QuietPrompt);
  if (!OpenRecordFile(RF_TABLNK) || !OpenRecordFile(RF_CATEGORIES)) return 1;
  ImportCounts first, second;
  double c1 = 0, c2 = 0;
  double t1 = RunImport("bookmarks.html", &first, &c1);
  double t2 = RunImport("bookmarks.html", &second, &c2);
  CloseRecordFile(RF_CATEGORIES);
  CloseRecordFile(RF_TABLNK);
  printf("  Tabulink, empty collection: %8.3f s  (processor %.3f s; %ld added, %ld categories made, %.0f links/s)\n",
         t1, c1, first.added, first.categories_added, links / t1);
  printf("  Tabulink, all duplicates:   %8.3f s  (processor %.3f s; %ld skipped)\n", t2, c2, second.duplicates);
  if (first.added != links || second.duplicates != links) {
    fprintf(stderr, "import_bench: wrong counts\n");
    return 1;
  }

  if (argc > 3 && strcmp(argv[3], "--no-peer") == 0) {
    Cleanup(dir);
    return 0;
  }
  std::string cmd = std::string("HOME=") + dir + " XDG_DATA_HOME=" + dir +
                    " buku --nostdin --tacit --import bookmarks.html < /dev/null > buku.log 2>&1";
  double t = Now();
  int rc = system(cmd.c_str());
  double tb = Now() - t;
  if (rc != 0) {
    printf("  buku --import failed (exit %d); its log is %s/buku.log\n", rc, dir);
    return 1;
  }
  printf("  buku --import:              %8.3f s\n", tb);
  printf("  ratio buku / Tabulink: %.1fx (empty collection), %.1fx (all duplicates)\n", tb / t1, tb / t2);
  Cleanup(dir);
  return 0;
}
