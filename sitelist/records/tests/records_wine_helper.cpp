// Second process of the Wine tests: another station working on the same
// record files through the Windows build of the store.
//   crash DIR FIRST ACKFILE   run the crash workload from FIRST, acknowledging
//                             each operation in ACKFILE, until terminated
//   race DIR ROUNDS OUTFILE   read-increment-put a counter site ROUNDS times,
//                             writing "ok changed" counts to OUTFILE
//   commit DIR STEP           one transaction over three files, ending the
//                             process at STEP of its commit
#include "sitelist/records/tests/crash_model.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static int crash(int first, const char* ack_path) {
  HANDLE ack = CreateFileA(ack_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ack == INVALID_HANDLE_VALUE) return 2;
  KsFile *cat, *htm, *url;
  if (OpenCrashFiles(&cat, &htm, &url, nullptr) != KS_OK) return 3;
  for (int n = first;; n++) {
    if (RunCrashOp(cat, htm, url, n) != KS_OK) return 4;
    DWORD w = 0;
    if (!WriteFile(ack, &n, sizeof n, &w, nullptr) || w != sizeof n) return 5;
  }
}

static int race(int rounds, const char* out_path) {
  KsFile* f = nullptr;
  if (ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f) != KS_OK) return 2;
  // Start together with the other racer: announce readiness, wait for the go.
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "Local\\tx_records_race_go");
  HANDLE ready = CreateSemaphoreA(nullptr, 0, 16, "Local\\tx_records_race_ready");
  if (!go || !ready) return 6;
  ReleaseSemaphore(ready, 1, nullptr);
  if (WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 7;
  int ok = 0, changed = 0;
  for (int i = 0; i < rounds; i++) {
    SiteRecord r;
    ks_clear(&TABLNK_Decl, &r);
    SET_FIELD(r.Location, "http://counter/");
    if (ks_get(f, URL_K_Location, &r) != KS_OK) return 3;
    char buf[16];
    GetField(r.Description, sizeof r.Description, buf, sizeof buf);
    snprintf(buf, sizeof buf, "%d", atoi(buf) + 1);
    SET_FIELD(r.Description, buf);
    int rc = ks_put(f, &r);
    if (rc == KS_OK) ok++;
    else if (rc == KS_ERR_CHANGED) changed++;
    else return 4;
  }
  ks_close(f);
  FILE* out = fopen(out_path, "w");
  if (!out) return 5;
  fprintf(out, "%d %d\n", ok, changed);
  fclose(out);
  return 0;
}

static int g_stop_step;

static int commit(int step) {
  g_stop_step = step;
  KsFile *c = nullptr, *h = nullptr, *u = nullptr;
  if (ks_open(&Categories_Decl, nullptr, KS_SHARED, &c) || ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &h) ||
      ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &u))
    return 2;
  ks_debug_commit_hook([](int s) {
    if (s == g_stop_step) TerminateProcess(GetCurrentProcess(), 0);
  });
  KsFile* files[] = {c, h, u};
  KsTxn* t = nullptr;
  if (ks_begin(files, 3, 2000, &t) != KS_OK) return 3;
  CategoryRecord cr;
  ks_clear(&Categories_Decl, &cr);
  SET_FIELD(cr.Category, "crash");
  CatHtmlRecord tr;
  ks_clear(&CatHTML_Decl, &tr);
  SET_FIELD(tr.Category, "crash");
  SET_FIELD(tr.TypeOfHTML, "After Category");
  SiteRecord sr;
  ks_clear(&TABLNK_Decl, &sr);
  SET_FIELD(sr.Location, "http://crash/");
  SET_FIELD(sr.Category, "crash");
  if (ks_add(c, &cr) || ks_add(h, &tr) || ks_add(u, &sr)) return 4;
  ks_commit(t);
  return 5;
}

int main(int argc, char** argv) {
  if (argc < 4 || !SetCurrentDirectoryA(argv[2])) return 1;
  if (!strcmp(argv[1], "crash") && argc == 5) return crash(atoi(argv[3]), argv[4]);
  if (!strcmp(argv[1], "race") && argc == 5) return race(atoi(argv[3]), argv[4]);
  if (!strcmp(argv[1], "commit")) return commit(atoi(argv[3]));
  return 1;
}
