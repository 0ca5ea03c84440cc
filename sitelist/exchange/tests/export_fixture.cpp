// export_fixture: writes and reads Tabulink's record files in the current
// directory through the record store, for the black-box tests of the export.
//   export_fixture load      new TABLNK, Categories, CatHTML and History files
//                            filled from standard input, one record a line, fields
//                            separated by tabs ("\r", "\n", "\t" and "\\" escaped):
//                              site LOCATION DESCRIPTION CATEGORY RATING NOTE
//                              category NAME
//                              text CATEGORY TYPE HTML
//                              history TYPE NAME DATE TIME
//   export_fixture many N    adds N sites in categories of 50 ("Bulk 0", "Bulk 1" ...)
//   export_fixture history   History in HIS:KeyType order as a JSON list
//   export_fixture hold      holds History in a transaction (another station busy
//                            with it), prints "held", and lets go when a file
//                            named "release" appears (at the latest after 60 s)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sitelist/records/record_files.h"

namespace {

void PutJson(const char* s) {
  putchar('"');
  for (const unsigned char* p = (const unsigned char*)s; *p; ++p) {
    if (*p == '"' || *p == '\\') printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x80) printf("\\u%04x", *p);
    else putchar(*p);
  }
  putchar('"');
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

struct Files {
  KsFile* url = nullptr;
  KsFile* cat = nullptr;
  KsFile* htm = nullptr;
  KsFile* his = nullptr;
};

int OpenAll(Files* f, bool fresh) {
  const KsFileDecl* decls[] = {&TABLNK_Decl, &Categories_Decl, &CatHTML_Decl, &History_Decl};
  KsFile** outs[] = {&f->url, &f->cat, &f->htm, &f->his};
  for (int i = 0; i < 4; ++i) {
    if (fresh && ks_create(decls[i], nullptr) != KS_OK) return 1;
    int rc = ks_open(decls[i], nullptr, KS_SHARED, outs[i]);
    if (rc == KS_ERR_NO_FILE && ks_create(decls[i], nullptr) == KS_OK)
      rc = ks_open(decls[i], nullptr, KS_SHARED, outs[i]);
    if (rc != KS_OK) {
      fprintf(stderr, "open %s: %d\n", decls[i]->label, rc);
      return 1;
    }
  }
  return 0;
}

void CloseAll(Files* f) {
  ks_close(f->url);
  ks_close(f->cat);
  ks_close(f->htm);
  ks_close(f->his);
}

int Load() {
  Files f;
  if (OpenAll(&f, true)) return 1;
  char buf[8192];
  int rc = 0;
  while (rc == 0 && fgets(buf, sizeof buf, stdin) != nullptr) {
    std::string line(buf);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> v = Split(line);
    if (v[0] == "site" && v.size() >= 6) {
      SiteRecord r;
      ks_clear(&TABLNK_Decl, &r);
      SET_FIELD(r.Location, v[1].c_str());
      SET_FIELD(r.Description, v[2].c_str());
      SET_FIELD(r.Category, v[3].c_str());
      r.Rating = atoi(v[4].c_str());
      SET_FIELD(r.Keyword, "http");
      SET_MEMO(r.SiteInfo, v[5].c_str());
      rc = ks_add(f.url, &r);
    } else if (v[0] == "category" && v.size() >= 2) {
      CategoryRecord r;
      ks_clear(&Categories_Decl, &r);
      SET_FIELD(r.Category, v[1].c_str());
      rc = ks_add(f.cat, &r);
    } else if (v[0] == "text" && v.size() >= 4) {
      CatHtmlRecord r;
      ks_clear(&CatHTML_Decl, &r);
      SET_FIELD(r.Category, v[1].c_str());
      SET_FIELD(r.TypeOfHTML, v[2].c_str());
      SET_MEMO(r.HTMLtoAdd, v[3].c_str());
      rc = ks_add(f.htm, &r);
    } else if (v[0] == "history" && v.size() >= 5) {
      HistoryRecord r;
      ks_clear(&History_Decl, &r);
      SET_FIELD(r.Type, v[1].c_str());
      SET_FIELD(r.FieldContents, v[2].c_str());
      r.Date = atoi(v[3].c_str());
      r.Time = atoi(v[4].c_str());
      rc = ks_add(f.his, &r);
    } else {
      fprintf(stderr, "bad line: %s\n", line.c_str());
      rc = 1;
    }
    if (rc) fprintf(stderr, "add failed (%d): %s\n", rc, line.c_str());
  }
  CloseAll(&f);
  return rc ? 1 : 0;
}

int Many(int n) {
  Files f;
  if (OpenAll(&f, false)) return 1;
  KsTxn* txn = nullptr;
  int rc = ks_begin(&f.url, 1, 2000, &txn);
  for (int i = 0; rc == 0 && i < n; ++i) {
    SiteRecord r;
    ks_clear(&TABLNK_Decl, &r);
    char text[128];
    snprintf(text, sizeof text, "http://bulk%d.example/", i);
    SET_FIELD(r.Location, text);
    snprintf(text, sizeof text, "Bulk site %d", i);
    SET_FIELD(r.Description, text);
    snprintf(text, sizeof text, "Bulk %d", i / 50);
    SET_FIELD(r.Category, text);
    r.Rating = i % 10;
    SET_FIELD(r.Keyword, "http");
    SET_MEMO(r.SiteInfo, "A note about a bulk site");
    rc = ks_add(f.url, &r);
  }
  if (rc == 0) rc = ks_commit(txn);
  else if (txn) ks_rollback(txn);
  CloseAll(&f);
  if (rc) fprintf(stderr, "many: %d\n", rc);
  return rc ? 1 : 0;
}

int History() {
  KsFile* f = nullptr;
  if (ks_open(&History_Decl, nullptr, KS_SHARED, &f) != KS_OK) {
    printf("[]\n");
    return 0;
  }
  KsCursor* c = nullptr;
  int rc = ks_cursor_open(f, HIS_KeyType, nullptr, &c);
  if (rc == KS_OK) rc = ks_set(c, nullptr);
  HistoryRecord r;
  bool first = true;
  putchar('[');
  while (rc == KS_OK && (rc = ks_next(c, &r)) == KS_OK) {
    char type[16], name[300];
    GET_FIELD(r.Type, type);
    GET_FIELD(r.FieldContents, name);
    printf("%s{\"type\":", first ? "" : ",");
    PutJson(type);
    printf(",\"name\":");
    PutJson(name);
    printf(",\"date\":%ld,\"time\":%ld}", (long)r.Date, (long)r.Time);
    first = false;
  }
  printf("]\n");
  ks_cursor_close(c);
  ks_close(f);
  return rc == KS_ERR_NO_RECORD ? 0 : 1;
}

int Hold() {
  KsFile* f = nullptr;
  if (ks_open(&History_Decl, nullptr, KS_SHARED, &f) != KS_OK) return 1;
  KsTxn* txn = nullptr;
  if (ks_begin(&f, 1, 2000, &txn) != KS_OK) {
    ks_close(f);
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  for (int i = 0; i < 1200; ++i) {
    FILE* release = fopen("release", "rb");
    if (release != nullptr) {
      fclose(release);
      break;
    }
    Sleep(50);
  }
  ks_rollback(txn);
  ks_close(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "load") == 0) return Load();
  if (argc >= 3 && strcmp(argv[1], "many") == 0) return Many(atoi(argv[2]));
  if (argc >= 2 && strcmp(argv[1], "history") == 0) return History();
  if (argc >= 2 && strcmp(argv[1], "hold") == 0) return Hold();
  fprintf(stderr, "usage: export_fixture load | many N | history | hold\n");
  return 2;
}
