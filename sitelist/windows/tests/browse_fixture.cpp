// browse_fixture: writes and reads Tabulink's site, category and text files in
// the current directory through the record store, for the black-box tests of
// the site and category windows (another station, as far as TABLNK.exe knows).
//   browse_fixture category NAME [DESCRIPTION]         adds a category
//   browse_fixture site LOC DESC CAT RATING KEYWORD     adds a site
//   browse_fixture text CAT TYPE HTML                   adds a category text
//   browse_fixture sites N CAT [FROM]                   adds N sites "http://www.siteNNNNN.example/"
//                                                       ("Site NNNNN", rating NNNNN % 100) in CAT,
//                                                       numbered from FROM (default 0)
//   browse_fixture dump                                 every site, category and text as JSON
//   browse_fixture hold SECONDS                         holds a transaction over the site file, so
//                                                       that other stations' adds wait and then fail;
//                                                       writes the file "held" once it holds it, and
//                                                       lets go when a file "release" appears (or
//                                                       after SECONDS)
// Prints one JSON line; the exit code is 0 when everything worked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sitelist/records/record_files.h"

namespace {

void PutJson(const std::string& s) {
  putchar('"');
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') printf("\\%c", c);
    else if (c < 0x20 || c >= 0x80) printf("\\u%04x", c);
    else putchar(c);
  }
  putchar('"');
}

std::string Text(const char* f, size_t width) {
  char out[1100];
  GetField(f, width, out, sizeof out);
  return out;
}
#define FIELD_TEXT(f) Text((f), sizeof(f))

// Opens (creating when missing) one of the files.
int Open(const KsFileDecl* d, KsFile** f) {
  int rc = ks_open(d, nullptr, KS_SHARED, f);
  if (rc == KS_ERR_NO_FILE) {
    rc = ks_create(d, nullptr);
    if (rc == KS_OK) rc = ks_open(d, nullptr, KS_SHARED, f);
  }
  return rc;
}

int Finish(int rc) {
  printf("{\"rc\":%d}\n", rc);
  return rc == KS_OK ? 0 : 1;
}

int AddCategory(const char* name, const char* description) {
  KsFile* f = nullptr;
  int rc = Open(&Categories_Decl, &f);
  if (rc == KS_OK) {
    CategoryRecord* c = new CategoryRecord;
    ks_clear(&Categories_Decl, c);
    SET_FIELD(c->Category, name);
    SET_MEMO(c->Description, description);
    rc = ks_add(f, c);
    delete c;
    ks_close(f);
  }
  return Finish(rc);
}

void FillSite(SiteRecord* s, const char* loc, const char* desc, const char* cat, int rating, const char* kw) {
  ks_clear(&TABLNK_Decl, s);
  SET_FIELD(s->Location, loc);
  SET_FIELD(s->Description, desc);
  SET_FIELD(s->Category, cat);
  s->Rating = rating;
  SET_FIELD(s->Keyword, kw);
}

int AddSite(const char* loc, const char* desc, const char* cat, int rating, const char* kw) {
  KsFile* f = nullptr;
  int rc = Open(&TABLNK_Decl, &f);
  if (rc == KS_OK) {
    SiteRecord* s = new SiteRecord;
    FillSite(s, loc, desc, cat, rating, kw);
    rc = ks_add(f, s);
    delete s;
    ks_close(f);
  }
  return Finish(rc);
}

int AddSites(int n, const char* cat, int from) {
  KsFile* f = nullptr;
  int rc = Open(&TABLNK_Decl, &f);
  if (rc != KS_OK) return Finish(rc);
  KsTxn* t = nullptr;
  rc = ks_begin(&f, 1, 2000, &t);
  SiteRecord* s = new SiteRecord;
  for (int i = from; i < from + n && rc == KS_OK; ++i) {
    char loc[64], desc[64];
    snprintf(loc, sizeof loc, "http://www.site%05d.example/", i);
    snprintf(desc, sizeof desc, "Site %05d", i);
    FillSite(s, loc, desc, cat, i % 100, "http");
    rc = ks_add(f, s);
  }
  delete s;
  if (t != nullptr) rc = rc == KS_OK ? ks_commit(t) : (ks_rollback(t), rc);
  ks_close(f);
  return Finish(rc);
}

int AddText(const char* cat, const char* type, const char* html) {
  KsFile* f = nullptr;
  int rc = Open(&CatHTML_Decl, &f);
  if (rc == KS_OK) {
    CatHtmlRecord* t = new CatHtmlRecord;
    ks_clear(&CatHTML_Decl, t);
    SET_FIELD(t->Category, cat);
    SET_FIELD(t->TypeOfHTML, type);
    SET_MEMO(t->HTMLtoAdd, html);
    rc = ks_add(f, t);
    delete t;
    ks_close(f);
  }
  return Finish(rc);
}

int Dump() {
  printf("{");
  KsFile* f = nullptr;
  int rc = Open(&TABLNK_Decl, &f);
  printf("\"sites\":[");
  if (rc == KS_OK) {
    KsCursor* c = nullptr;
    SiteRecord* s = new SiteRecord;
    bool first = true;
    if (ks_cursor_open(f, URL_K_Location, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK) {
      while (ks_next(c, s) == KS_OK) {
        printf("%s{\"location\":", first ? "" : ",");
        PutJson(FIELD_TEXT(s->Location));
        printf(",\"description\":");
        PutJson(FIELD_TEXT(s->Description));
        printf(",\"category\":");
        PutJson(FIELD_TEXT(s->Category));
        printf(",\"rating\":%d,\"keyword\":", (int)s->Rating);
        PutJson(FIELD_TEXT(s->Keyword));
        printf(",\"info\":");
        PutJson(s->SiteInfo);
        printf("}");
        first = false;
      }
    }
    ks_cursor_close(c);
    delete s;
    ks_close(f);
  }
  printf("],\"categories\":[");
  f = nullptr;
  if (Open(&Categories_Decl, &f) == KS_OK) {
    KsCursor* c = nullptr;
    CategoryRecord* r = new CategoryRecord;
    bool first = true;
    if (ks_cursor_open(f, CAT_K_Category, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK) {
      while (ks_next(c, r) == KS_OK) {
        printf("%s{\"name\":", first ? "" : ",");
        PutJson(FIELD_TEXT(r->Category));
        printf(",\"description\":");
        PutJson(r->Description);
        printf("}");
        first = false;
      }
    }
    ks_cursor_close(c);
    delete r;
    ks_close(f);
  }
  printf("],\"texts\":[");
  f = nullptr;
  if (Open(&CatHTML_Decl, &f) == KS_OK) {
    KsCursor* c = nullptr;
    CatHtmlRecord* t = new CatHtmlRecord;
    bool first = true;
    if (ks_cursor_open(f, HTM_KeyCategoryHTML, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK) {
      while (ks_next(c, t) == KS_OK) {
        printf("%s{\"category\":", first ? "" : ",");
        PutJson(FIELD_TEXT(t->Category));
        printf(",\"type\":");
        PutJson(FIELD_TEXT(t->TypeOfHTML));
        printf(",\"html\":");
        PutJson(t->HTMLtoAdd);
        printf("}");
        first = false;
      }
    }
    ks_cursor_close(c);
    delete t;
    ks_close(f);
  }
  printf("]}\n");
  return 0;
}

int Hold(int seconds) {
  KsFile* f = nullptr;
  int rc = Open(&TABLNK_Decl, &f);
  KsTxn* t = nullptr;
  if (rc == KS_OK) rc = ks_begin(&f, 1, 10000, &t);
  if (rc == KS_OK) {
    FILE* held = fopen("held", "w");
    if (held != nullptr) fclose(held);
    DWORD end = GetTickCount() + (DWORD)seconds * 1000;
    while (GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES && (int)(end - GetTickCount()) > 0) Sleep(20);
    ks_rollback(t);
  }
  if (f != nullptr) ks_close(f);
  return Finish(rc);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "category") == 0) return AddCategory(argv[2], argc > 3 ? argv[3] : "");
  if (argc == 7 && strcmp(argv[1], "site") == 0) return AddSite(argv[2], argv[3], argv[4], atoi(argv[5]), argv[6]);
  if (argc == 5 && strcmp(argv[1], "text") == 0) return AddText(argv[2], argv[3], argv[4]);
  if ((argc == 4 || argc == 5) && strcmp(argv[1], "sites") == 0)
    return AddSites(atoi(argv[2]), argv[3], argc == 5 ? atoi(argv[4]) : 0);
  if (argc == 2 && strcmp(argv[1], "dump") == 0) return Dump();
  if (argc == 3 && strcmp(argv[1], "hold") == 0) return Hold(atoi(argv[2]));
  fprintf(stderr, "usage: browse_fixture category|site|text|sites|dump|hold ...\n");
  return 2;
}
