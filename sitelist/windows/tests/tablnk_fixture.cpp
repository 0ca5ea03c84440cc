// tablnk_fixture: writes and reads Tabulink's record files in the current
// directory through the record store, for the black-box tests of TABLNK.exe.
//   tablnk_fixture old N          earlier-version files: N sites "http://siteI.example/"
//                                 then one site with a 128-character location, 3 old
//                                 categories and 2 old HTML texts (with memos)
//   tablnk_fixture dump           the new files as one JSON object
//   tablnk_fixture collide LOC S  waits up to S seconds for URL_L.KSF, then adds a
//                                 site with location LOC to it (another station)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sitelist/records/record_files.h"

namespace {

const char kLongLocation[] =
    "http://www.example.com/a/rather/long/path/that/fills/every/one/of/the/old/location/field/"
    "characters/123456789012345678901234.htm";
static_assert(sizeof kLongLocation - 1 == 128, "the old location field is filled exactly");

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

int WriteOld(int sites) {
  KsFile* f = nullptr;
  if (ks_create(&OldTABLNK_Decl, nullptr) || ks_open(&OldTABLNK_Decl, nullptr, KS_SHARED, &f)) return 1;
  for (int i = 0; i <= sites; ++i) {
    OldSiteRecord r;
    ks_clear(&OldTABLNK_Decl, &r);
    char loc[64], desc[64];
    snprintf(loc, sizeof loc, "http://site%d.example/", i);
    snprintf(desc, sizeof desc, "Site number %d", i);
    SET_FIELD(r.Location, i == sites ? kLongLocation : loc);
    SET_FIELD(r.Description, i == sites ? "The long one" : desc);
    SET_FIELD(r.Category, i % 2 ? "News" : "Arts");
    r.Rating = i % 100;
    SET_FIELD(r.Keyword, "http");
    if (i == sites) SET_MEMO(r.SiteInfo, "Notes kept by the earlier version");
    int rc = ks_add(f, &r);
    if (rc) {
      fprintf(stderr, "add site %d: %d\n", i, rc);
      return 1;
    }
  }
  ks_close(f);
  f = nullptr;
  if (ks_create(&OldCategories_Decl, nullptr) || ks_open(&OldCategories_Decl, nullptr, KS_SHARED, &f)) return 1;
  const char* cats[] = {"Arts", "News", "Fifteen Chars!!"};
  for (const char* c : cats) {
    OldCategoryRecord r;
    ks_clear(&OldCategories_Decl, &r);
    SET_FIELD(r.Category, c);
    if (ks_add(f, &r)) return 1;
  }
  ks_close(f);
  f = nullptr;
  if (ks_create(&OldCatHTML_Decl, nullptr) || ks_open(&OldCatHTML_Decl, nullptr, KS_SHARED, &f)) return 1;
  const char* types[] = {"Before Category", "After Category"};
  for (const char* t : types) {
    OldCatHtmlRecord r;
    ks_clear(&OldCatHTML_Decl, &r);
    SET_FIELD(r.Category, "News");
    SET_FIELD(r.TypeOfHTML, t);
    std::string memo = std::string("<p>") + t + "</p>";
    SET_MEMO(r.HTMLtoAdd, memo.c_str());
    if (ks_add(f, &r)) return 1;
  }
  ks_close(f);
  printf("{\"ok\":true,\"long\":");
  PutJson(kLongLocation);
  printf("}\n");
  return 0;
}

int Dump() {
  printf("{");
  KsFile* f = nullptr;
  uint32_t n = 0;
  int rc = ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f);
  printf("\"sites_open\":%d", rc);
  if (rc == KS_OK) {
    ks_count(f, &n);
    printf(",\"sites\":%u", (unsigned)n);
    SiteRecord s;
    ks_clear(&TABLNK_Decl, &s);
    SET_FIELD(s.Location, kLongLocation);
    if (ks_get(f, URL_K_Location, &s) == KS_OK) {
      printf(",\"long\":{\"location\":");
      PutJson(FIELD_TEXT(s.Location));
      printf(",\"description\":");
      PutJson(FIELD_TEXT(s.Description));
      printf(",\"category\":");
      PutJson(FIELD_TEXT(s.Category));
      printf(",\"rating\":%d,\"keyword\":", (int)s.Rating);
      PutJson(FIELD_TEXT(s.Keyword));
      printf(",\"info\":");
      PutJson(s.SiteInfo);
      printf("}");
    }
    ks_close(f);
    f = nullptr;
  }
  rc = ks_open(&Categories_Decl, nullptr, KS_SHARED, &f);
  printf(",\"categories_open\":%d", rc);
  if (rc == KS_OK) {
    KsCursor* c = nullptr;
    printf(",\"categories\":[");
    if (ks_cursor_open(f, CAT_K_Category, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK) {
      CategoryRecord r;
      bool first = true;
      while (ks_next(c, &r) == KS_OK) {
        if (!first) putchar(',');
        PutJson(FIELD_TEXT(r.Category));
        first = false;
      }
      ks_cursor_close(c);
    }
    printf("]");
    ks_close(f);
    f = nullptr;
  }
  rc = ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &f);
  printf(",\"texts_open\":%d", rc);
  if (rc == KS_OK) {
    KsCursor* c = nullptr;
    printf(",\"texts\":[");
    if (ks_cursor_open(f, HTM_KeyCategoryHTML, nullptr, &c) == KS_OK && ks_set(c, nullptr) == KS_OK) {
      CatHtmlRecord r;
      bool first = true;
      while (ks_next(c, &r) == KS_OK) {
        printf("%s[", first ? "" : ",");
        PutJson(FIELD_TEXT(r.Category));
        putchar(',');
        PutJson(FIELD_TEXT(r.TypeOfHTML));
        putchar(',');
        PutJson(r.HTMLtoAdd);
        putchar(']');
        first = false;
      }
      ks_cursor_close(c);
    }
    printf("]");
    ks_close(f);
  }
  printf("}\n");
  return 0;
}

int Collide(const char* location, int seconds) {
  DWORD end = GetTickCount() + (DWORD)seconds * 1000;
  int rc = KS_ERR_NO_FILE;
  while (GetTickCount() < end) {
    KsFile* f = nullptr;
    if (GetFileAttributesA("URL_L.KSF") != INVALID_FILE_ATTRIBUTES &&
        ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f) == KS_OK) {
      SiteRecord s;
      ks_clear(&TABLNK_Decl, &s);
      SET_FIELD(s.Location, location);
      SET_FIELD(s.Description, "Added by another station");
      rc = ks_add(f, &s);
      ks_close(f);
      if (rc == KS_OK) break;
    }
    Sleep(5);
  }
  printf("{\"added\":%d}\n", rc);
  return rc == KS_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int rc = 2;
  if (argc == 3 && strcmp(argv[1], "old") == 0) rc = WriteOld(atoi(argv[2]));
  else if (argc == 2 && strcmp(argv[1], "dump") == 0) rc = Dump();
  else if (argc == 4 && strcmp(argv[1], "collide") == 0) rc = Collide(argv[2], atoi(argv[3]));
  else fprintf(stderr, "usage: tablnk_fixture old N | dump | collide LOCATION SECONDS\n");
  fflush(stdout);
  return rc;
}
