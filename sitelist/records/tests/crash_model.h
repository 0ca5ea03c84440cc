// The crash test's workload and its model of what the files may hold, shared
// by the native test (fork and kill -9) and the Wine test (CreateProcess and
// TerminateProcess). Operation n is one of: a transaction adding category
// C<n> with a text and a site t<n>; a put of site s<n-4>; a delete of site
// s<n-6>; or the add of site s<n>. A writer acknowledges n after it returned.
#pragma once

#include "sitelist/records/record_files.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <set>
#include <string>

enum CrashOp { CO_TXN, CO_PUT, CO_DELETE, CO_ADD };

inline CrashOp CrashOpOf(int n) {
  if (n % 7 == 3) return CO_TXN;
  if (n % 5 == 4) return CO_PUT;
  if (n % 11 == 6) return CO_DELETE;
  return CO_ADD;
}

inline std::string SiteName(int n) { return "http://s" + std::to_string(n) + "/"; }
inline std::string TxnName(int n) { return "C" + std::to_string(n); }

// Runs operation n on the three open files; KS_OK when it returned success.
inline int RunCrashOp(KsFile* cat, KsFile* htm, KsFile* url, int n) {
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  switch (CrashOpOf(n)) {
    case CO_TXN: {
      KsFile* files[] = {cat, htm, url};
      KsTxn* t = nullptr;
      int rc = ks_begin(files, 3, 2000, &t);
      if (rc != KS_OK) return rc;
      std::string name = TxnName(n);
      CategoryRecord c;
      ks_clear(&Categories_Decl, &c);
      SET_FIELD(c.Category, name.c_str());
      CatHtmlRecord h;
      ks_clear(&CatHTML_Decl, &h);
      SET_FIELD(h.Category, name.c_str());
      SET_FIELD(h.TypeOfHTML, "Before Category");
      SET_MEMO(h.HTMLtoAdd, "<hr>");
      std::string loc = "http://t" + std::to_string(n) + "/";
      SET_FIELD(s.Location, loc.c_str());
      SET_FIELD(s.Category, name.c_str());
      SET_FIELD(s.Description, "transaction");
      rc = ks_add(cat, &c);
      if (rc == KS_OK) rc = ks_add(htm, &h);
      if (rc == KS_OK) rc = ks_add(url, &s);
      if (rc != KS_OK) {
        ks_rollback(t);
        return rc;
      }
      return ks_commit(t);
    }
    case CO_PUT:
    case CO_DELETE: {
      int target = CrashOpOf(n) == CO_PUT ? n - 4 : n - 6;
      SET_FIELD(s.Location, SiteName(target).c_str());
      int rc = ks_get(url, URL_K_Location, &s);
      if (rc == KS_ERR_NOT_FOUND) return KS_OK;  // nothing to change: done
      if (rc != KS_OK) return rc;
      if (CrashOpOf(n) == CO_DELETE) return ks_delete(url, &s);
      std::string d = "changed" + std::to_string(n);
      SET_FIELD(s.Description, d.c_str());
      return ks_put(url, &s);
    }
    case CO_ADD: {
      SET_FIELD(s.Location, SiteName(n).c_str());
      std::string d = "d" + std::to_string(n);
      SET_FIELD(s.Description, d.c_str());
      SET_FIELD(s.Category, "Crash");
      SET_MEMO(s.SiteInfo, std::string(n % 300, 'i').c_str());
      return ks_add(url, &s);
    }
  }
  return KS_ERR_BAD_ARGUMENT;
}

// What each site s<n> may be: absent ("") or a description; and the
// transactions that must be whole.
struct CrashModel {
  std::map<int, std::set<std::string>> sites;
  std::set<int> txns_done;
  std::set<int> txns_maybe;

  // Applies operation n, acknowledged (certain) or in flight (maybe).
  void Apply(int n, bool certain) {
    CrashOp op = CrashOpOf(n);
    if (op == CO_TXN) {
      (certain ? txns_done : txns_maybe).insert(n);
      return;
    }
    int target = op == CO_PUT ? n - 4 : op == CO_DELETE ? n - 6 : n;
    std::set<std::string> before = sites.count(target) ? sites[target] : std::set<std::string>{""};
    std::set<std::string> after;
    for (const std::string& st : before) {
      if (op == CO_ADD) after.insert("d" + std::to_string(n));
      else if (op == CO_DELETE) after.insert("");
      else after.insert(st.empty() ? "" : "changed" + std::to_string(n));
    }
    if (!certain) after.insert(before.begin(), before.end());
    sites[target] = after;
  }

  // Checks the files against the model; returns "" or what is wrong.
  std::string Check(KsFile* cat, KsFile* htm, KsFile* url) const {
    char msg[256];
    for (const auto& e : sites) {
      SiteRecord s;
      ks_clear(&TABLNK_Decl, &s);
      SET_FIELD(s.Location, SiteName(e.first).c_str());
      int rc = ks_get(url, URL_K_Location, &s);
      std::string got;
      if (rc == KS_OK) {
        char d[101];
        GetField(s.Description, sizeof s.Description, d, sizeof d);
        got = d;
        if (strlen(s.SiteInfo) != (size_t)(e.first % 300)) return "memo of " + SiteName(e.first);
      } else if (rc != KS_ERR_NOT_FOUND) {
        snprintf(msg, sizeof msg, "get %s failed with %d", SiteName(e.first).c_str(), rc);
        return msg;
      }
      if (!e.second.count(got)) return "site " + SiteName(e.first) + " holds '" + got + "'";
    }
    for (int pass = 0; pass < 2; pass++) {
      for (int n : pass ? txns_maybe : txns_done) {
        CategoryRecord c;
        ks_clear(&Categories_Decl, &c);
        SET_FIELD(c.Category, TxnName(n).c_str());
        CatHtmlRecord h;
        ks_clear(&CatHTML_Decl, &h);
        SET_FIELD(h.Category, TxnName(n).c_str());
        SET_FIELD(h.TypeOfHTML, "Before Category");
        SiteRecord s;
        ks_clear(&TABLNK_Decl, &s);
        std::string loc = "http://t" + std::to_string(n) + "/";
        SET_FIELD(s.Location, loc.c_str());
        int a = ks_get(cat, CAT_K_Category, &c) == KS_OK;
        int b = ks_get(htm, HTM_KeyCategoryHTML, &h) == KS_OK;
        int d = ks_get(url, URL_K_Location, &s) == KS_OK;
        if (a != b || b != d || (!pass && !a)) {
          snprintf(msg, sizeof msg, "transaction %d: category %d, text %d, site %d", n, a, b, d);
          return msg;
        }
      }
    }
    // Every key holds every record it should.
    uint32_t count = 0;
    ks_count(url, &count);
    for (int k = 0; k < TABLNK_Decl.nkeys; k++) {
      KsCursor* c = nullptr;
      if (ks_cursor_open(url, k, nullptr, &c) != KS_OK) return "cursor";
      ks_set(c, nullptr);
      SiteRecord s;
      uint32_t n = 0;
      while (ks_next(c, &s) == KS_OK) n++;
      ks_cursor_close(c);
      if (n != count) {
        snprintf(msg, sizeof msg, "key %d holds %u of %u records", k, n, count);
        return msg;
      }
    }
    return "";
  }
};

// Opens the three files by the program's rule for an interrupted transaction
// (32: recover, then open again). *recovered counts the recoveries.
inline int OpenCrashFiles(KsFile** cat, KsFile** htm, KsFile** url, int* recovered) {
  const KsFileDecl* decls[] = {&Categories_Decl, &CatHTML_Decl, &TABLNK_Decl};
  KsFile** out[] = {cat, htm, url};
  for (int i = 0; i < 3; i++) {
    *out[i] = nullptr;
    int rc = ks_open(decls[i], nullptr, KS_SHARED, out[i]);
    if (rc == KS_ERR_NO_FILE) {
      ks_create(decls[i], nullptr);
      rc = ks_open(decls[i], nullptr, KS_SHARED, out[i]);
    }
    if (rc == KS_ERR_LOCKED) {
      if (recovered) (*recovered)++;
      ks_recover(decls[i], nullptr, 10000);
      rc = ks_open(decls[i], nullptr, KS_SHARED, out[i]);
    }
    if (rc != KS_OK) return rc;
  }
  return KS_OK;
}
