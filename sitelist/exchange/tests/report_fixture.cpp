// report_fixture: fills Tabulink's record files in the current directory for
// the black-box tests of the reports, through the record store.
//   report_fixture add            reads records from standard input, one a line,
//                                 fields separated by tabs:
//                                   S location description category rating keyword
//                                   C category description ("\n" in it: a line break)
//   report_fixture generate N     N sites "http://siteNNNNNN.example/" with ratings,
//                                 categories and keywords spread over their ranges
// Prints {"sites":N,"categories":N} with the files' counts afterwards.
//   report_fixture printers       the printers Wine lists and its default printer, as JSON
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sitelist/records/record_files.h"

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  size_t at = 0;
  for (;;) {
    size_t tab = line.find('\t', at);
    out.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) return out;
    at = tab + 1;
  }
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

int AddSite(const char* location, const char* description, const char* category, int rating, const char* keyword) {
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Location, location);
  SET_FIELD(s.Description, description);
  SET_FIELD(s.Category, category);
  s.Rating = rating;
  SET_FIELD(s.Keyword, keyword);
  return ks_add(RecordFile(RF_TABLNK), &s);
}

int Add() {
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, stdin) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> f = Split(line);
    int rc;
    if (f[0] == "S" && f.size() == 6) {
      rc = AddSite(f[1].c_str(), f[2].c_str(), f[3].c_str(), atoi(f[4].c_str()), f[5].c_str());
    } else if (f[0] == "C" && f.size() == 3) {
      CategoryRecord c;
      ks_clear(&Categories_Decl, &c);
      SET_FIELD(c.Category, f[1].c_str());
      SET_MEMO(c.Description, Unescape(f[2]).c_str());
      rc = ks_add(RecordFile(RF_CATEGORIES), &c);
    } else {
      fprintf(stderr, "bad line: %s\n", line.c_str());
      return 2;
    }
    if (rc != KS_OK) {
      fprintf(stderr, "add failed (%d): %s\n", rc, line.c_str());
      return 1;
    }
  }
  return 0;
}

int Generate(int n) {
  static const char* const kCategories[] = {"Books", "Music", "News", "Science", "Software", "Travel"};
  static const char* const kKeywords[] = {"http", "ftp", "mailto", "telnet", "https"};
  char loc[64], desc[128];
  for (int i = 0; i < n; ++i) {
    snprintf(loc, sizeof loc, "http://site%06d.example/", i);
    snprintf(desc, sizeof desc, "Site number %06d, a page about %s", (i * 7919) % n, kCategories[i % 6]);
    int rc = AddSite(loc, desc, kCategories[(i / 7) % 6], (i % 199) - 99, kKeywords[i % 5]);
    if (rc != KS_OK) {
      fprintf(stderr, "add failed (%d) at %d\n", rc, i);
      return 1;
    }
  }
  return 0;
}

int Printers() {
  DWORD need = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &need, &count);
  std::vector<BYTE> buffer(need + 1);
  printf("{\"printers\":[");
  if (need > 0 &&
      EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(), need, &need, &count)) {
    const PRINTER_INFO_4A* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) printf("%s\"%s\"", i ? "," : "", info[i].pPrinterName);
  }
  char name[256] = "";
  DWORD size = sizeof name;
  if (!GetDefaultPrinterA(name, &size)) name[0] = '\0';
  printf("],\"default\":\"%s\"}\n", name);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "printers") == 0) return Printers();
  if (!OpenRecordFile(RF_TABLNK) || !OpenRecordFile(RF_CATEGORIES)) return 3;
  int rc = 2;
  if (argc == 2 && strcmp(argv[1], "add") == 0) rc = Add();
  else if (argc == 3 && strcmp(argv[1], "generate") == 0) rc = Generate(atoi(argv[2]));
  else fprintf(stderr, "usage: report_fixture add | generate N\n");
  uint32_t sites = 0, categories = 0;
  ks_count(RecordFile(RF_TABLNK), &sites);
  ks_count(RecordFile(RF_CATEGORIES), &categories);
  printf("{\"sites\":%u,\"categories\":%u}\n", (unsigned)sites, (unsigned)categories);
  CloseRecordFile(RF_TABLNK);
  CloseRecordFile(RF_CATEGORIES);
  return rc;
}
