// The start-up upgrade of earlier-version files in its windows: "New version
// detected!", the export defaults, and UpgradeTABLNK, UpgradeCategories and
// UpgradeCatHTML, each with the "Processing Records" window that converts a
// batch of records per timer tick and shows the percentage.
#include <windows.h>

#include <cstdio>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/profile_rules.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"
#include "sitelist/windows/upgrade_rules.h"

namespace {

const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 10;  // a hundredth of a second
const int kRecordsPerTick = 1000;
const UINT kEndProgramCode = 3;

// The export settings the upgrade writes.
struct ProfileDefault {
  const char* key;
  const char* value;
};

const ProfileDefault kExportDefaults[] = {
    {"SiteInfo", "1"}, {"Ratings", "1"}, {"Type", "HTML - Table"}, {"Categories", "All"}, {"Name", "TLNKEXP.HTM"},
};
static_assert(sizeof kExportDefaults / sizeof kExportDefaults[0] == 5, "five export defaults");

const UINT kUpgradeTexts[] = {IDS_UPGRADING_SITES, IDS_UPGRADING_CATS, IDS_UPGRADING_HTML};
static_assert(sizeof kUpgradeTexts / sizeof kUpgradeTexts[0] == kUpgradeKinds, "one text per upgrade");

struct ProgressState {
  UpgradeRun run;
  int shownPercent;
  bool finished;
  bool completed;  // read to the end of the old file
};

void ShowPercent(HWND dialog, ProgressState* s) {
  if (s->run.percent == s->shownPercent) return;
  s->shownPercent = s->run.percent;
  char text[32];
  FormatPercent(s->shownPercent, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, text);
}

void Finish(HWND dialog, ProgressState* s, bool completed) {
  KillTimer(dialog, kTickTimer);
  s->completed = completed;
  if (completed) {
    char text[64];
    LoadText(IDS_PROCESS_COMPLETED, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, text);
    UpdateWindow(dialog);
  }
  s->finished = true;
  DestroyWindow(dialog);
}

// A site that cannot be added: the "Stop" box; Abort ends the program.
void AskAfterFailedAdd(HWND dialog, ProgressState* s) {
  KillTimer(dialog, kTickTimer);
  char prefix[64];
  LoadText(IDS_UPGRADE_ADD_FAILED, prefix, sizeof prefix);
  char text[512];
  snprintf(text, sizeof text, "%s%s: %s (%d)", prefix, TABLNK_Decl.label, ks_error_text(s->run.lastError),
           s->run.lastError);
  if (StopBox(dialog, text) == IDABORT) {
    UpgradeEnd(&s->run, false);
    ExitProcess(kEndProgramCode);
  }
  SetTimer(dialog, kTickTimer, kTickMs, nullptr);
}

void OnTick(HWND dialog, ProgressState* s) {
  int status = UpgradeStep(&s->run, kRecordsPerTick);
  ShowPercent(dialog, s);
  switch (status) {
    case kUpgradeDone: Finish(dialog, s, true); break;
    case kUpgradeReadFailed: Finish(dialog, s, false); break;
    case kUpgradeAddFailed: AskAfterFailedAdd(dialog, s); break;
    default: break;
  }
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  ProgressState* s = reinterpret_cast<ProgressState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      s = reinterpret_cast<ProgressState*>(lParam);
      char text[64];
      LoadText(IDS_PROGRESS_TITLE, text, sizeof text);
      SetWindowTextA(dialog, text);
      LoadText(kUpgradeTexts[s->run.kind], text, sizeof text);
      SetDlgItemTextA(dialog, IDC_PROGRESS_TEXT, text);
      s->shownPercent = -1;
      ShowPercent(dialog, s);
      SetTimer(dialog, kTickTimer, kTickMs, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTickTimer && s != nullptr && !s->finished) OnTick(dialog, s);
      return TRUE;
    case WM_COMMAND:
      return TRUE;  // the run cannot be cancelled: Escape and Enter do nothing
  }
  return FALSE;
}

// Runs one upgrade procedure with its progress window. Returns true when the
// old file was read to its end (and so removed).
bool RunUpgrade(int kind) {
  ProgressState s = {};
  if (!UpgradeBegin(&s.run, kind)) {
    EndProgramIfRequested();
    return false;
  }
  s.run.percent = 0;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressProc,
                                   (LPARAM)&s);
  if (dialog == nullptr) {
    UpgradeEnd(&s.run, false);
    return false;
  }
  MSG msg;
  while (!s.finished && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  UpgradeEnd(&s.run, s.completed);
  return s.completed;
}

// Step of start-up for one earlier-version file. Returns false when the file
// is there but could not be upgraded, so the check runs again next time.
bool UpgradeIfPresent(int kind) {
  int rc = ProbeEarlierFile(kind);
  if (rc == KS_ERR_NO_FILE) return true;
  if (kind == kUpgradeSites) {
    char title[64], text[512];
    LoadText(IDS_NEW_VERSION_TITLE, title, sizeof title);
    LoadText(IDS_NEW_VERSION_TEXT, text, sizeof text);
    MessageBoxA(nullptr, text, title, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    for (const ProfileDefault& d : kExportDefaults) ProfileWrite("Export", d.key, d.value);
  }
  return RunUpgrade(kind);
}

}  // namespace

bool UpgradeEarlierFiles() {
  bool allDone = true;
  for (int kind = kUpgradeSites; kind < kUpgradeKinds; ++kind) {
    if (!UpgradeIfPresent(kind)) allDone = false;
  }
  return allDone;
}
