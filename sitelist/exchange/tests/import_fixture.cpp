// import_fixture: reads and writes Tabulink's record files through the record
// store for the black-box tests of the import and merge windows.
//   import_fixture dump              TABLNK, Categories and History of the current
//                                    directory as one JSON object
//   import_fixture source DIR N      DIR\URL_L.KSF made anew with N sites
//                                    "http://mergeI.example/" (category "Merged",
//                                    rating I % 10, keyword "http", a note) and the
//                                    site "http://www.example.com/"
//   import_fixture category NAME     adds the category NAME to URL_C.KSF
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sitelist/records/record_files.h"

namespace {

void PutJson(const char* s) {
  putchar('"');
  for (const unsigned char* p = (const unsigned char*)s; *p; ++p) {
    if (*p == '"' || *p == '\\') printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x80) printf("\\u%04x", *p);  // code page 1252 bytes as code points
    else putchar(*p);
  }
  putchar('"');
}

template <size_t N>
void PutField(const char* key, const char (&field)[N], bool comma = true) {
  char text[N + 1];
  GetField(field, N, text, sizeof text);
  printf("\"%s\":", key);
  PutJson(text);
  if (comma) putchar(',');
}

bool OpenIfThere(const KsFileDecl* decl, KsFile** f) {
  int rc = ks_open(decl, nullptr, KS_SHARED, f);
  if (rc == KS_ERR_NO_FILE) rc = ks_create(decl, nullptr) ? rc : ks_open(decl, nullptr, KS_SHARED, f);
  if (rc != KS_OK) fprintf(stderr, "open %s: %d\n", decl->label, rc);
  return rc == KS_OK;
}

int Dump() {
  KsFile* sites = nullptr;
  KsFile* cats = nullptr;
  KsFile* history = nullptr;
  // A file the program has not made yet reads as empty.
  if (!OpenIfThere(&TABLNK_Decl, &sites) || !OpenIfThere(&Categories_Decl, &cats) ||
      !OpenIfThere(&History_Decl, &history))
    return 1;
  KsCursor* c = nullptr;
  printf("{\"sites\":[");
  ks_cursor_open(sites, URL_K_Location, nullptr, &c);
  ks_set(c, nullptr);
  SiteRecord s;
  for (bool first = true; ks_next(c, &s) == KS_OK; first = false) {
    printf("%s{", first ? "" : ",");
    PutField("location", s.Location);
    PutField("description", s.Description);
    PutField("category", s.Category);
    PutField("keyword", s.Keyword);
    printf("\"rating\":%d,\"note\":", (int)s.Rating);
    PutJson(s.SiteInfo);
    putchar('}');
  }
  ks_cursor_close(c);
  printf("],\"categories\":[");
  ks_cursor_open(cats, CAT_K_Category, nullptr, &c);
  ks_set(c, nullptr);
  CategoryRecord cat;
  for (bool first = true; ks_next(c, &cat) == KS_OK; first = false) {
    printf("%s{", first ? "" : ",");
    PutField("name", cat.Category);
    printf("\"description\":");
    PutJson(cat.Description);
    putchar('}');
  }
  ks_cursor_close(c);
  printf("],\"history\":[");
  ks_cursor_open(history, HIS_KeyType, nullptr, &c);
  ks_set(c, nullptr);
  HistoryRecord h;
  for (bool first = true; ks_next(c, &h) == KS_OK; first = false) {
    printf("%s{", first ? "" : ",");
    PutField("type", h.Type);
    PutField("name", h.FieldContents, false);
    putchar('}');
  }
  ks_cursor_close(c);
  printf("]}\n");
  ks_close(history);
  ks_close(cats);
  ks_close(sites);
  return 0;
}

int Source(const char* dir, int n) {
  std::string name = std::string(dir) + "\\URL_L.KSF";
  CreateDirectoryA(dir, nullptr);
  KsFile* f = nullptr;
  if (ks_create(&ImportSource_Decl, name.c_str()) || ks_open(&ImportSource_Decl, name.c_str(), KS_SHARED, &f)) return 1;
  for (int i = 0; i <= n; ++i) {
    SiteRecord s;
    ks_clear(&ImportSource_Decl, &s);
    char loc[64], desc[64];
    snprintf(loc, sizeof loc, "http://merge%d.example/", i);
    snprintf(desc, sizeof desc, "Merged site %d", i);
    SET_FIELD(s.Location, i == n ? "http://www.example.com/" : loc);
    SET_FIELD(s.Description, i == n ? "Their copy" : desc);
    SET_FIELD(s.Category, "Merged");
    s.Rating = i % 10;
    SET_FIELD(s.Keyword, "http");
    SET_MEMO(s.SiteInfo, "Their note, not merged");
    if (ks_add(f, &s)) return 1;
  }
  return ks_close(f) ? 1 : 0;
}

int Category(const char* name) {
  KsFile* f = nullptr;
  int rc = ks_open(&Categories_Decl, nullptr, KS_SHARED, &f);
  if (rc == KS_ERR_NO_FILE && ks_create(&Categories_Decl, nullptr) == KS_OK)
    rc = ks_open(&Categories_Decl, nullptr, KS_SHARED, &f);
  if (rc) return 1;
  CategoryRecord c;
  ks_clear(&Categories_Decl, &c);
  SET_FIELD(c.Category, name);
  rc = ks_add(f, &c);
  ks_close(f);
  return rc ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rc = 2;
  if (argc == 2 && strcmp(argv[1], "dump") == 0) rc = Dump();
  else if (argc == 4 && strcmp(argv[1], "source") == 0) rc = Source(argv[2], atoi(argv[3]));
  else if (argc == 3 && strcmp(argv[1], "category") == 0) rc = Category(argv[2]);
  if (rc == 2) fprintf(stderr, "usage: import_fixture dump | source DIR N | category NAME\n");
  if (rc == 0 && strcmp(argv[1], "dump") != 0) printf("{\"ok\":true}\n");
  return rc;
}
