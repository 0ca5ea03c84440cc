// The start-up upgrade of earlier-version files in its windows: "New version
// detected!", the export defaults, and UpgradeTABLNK, UpgradeCategories and
// UpgradeCatHTML, each on the progress runner ("Processing Records"), which
// converts a batch of records per timer tick and shows the percentage.
#include "sitelist/windows/upgrade_window.h"

#include <windows.h>

#include <cstdio>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/upgrade_rules.h"
#include "common/tx_util.h"

namespace {

const int kRecordsPerTick = 1000;

// The export settings the upgrade writes.
struct ProfileDefault {
  const char* key;
  const char* value;
};

const ProfileDefault kExportDefaults[] = {
    {"SiteInfo", "1"}, {"Ratings", "1"}, {"Type", "HTML - Table"}, {"Categories", "All"}, {"Name", "TLNKEXP.HTM"},
};
static_assert(ARRAY_SIZE(kExportDefaults) == 5, "five export defaults");

const UINT kUpgradeTexts[] = {IDS_UPGRADING_SITES, IDS_UPGRADING_CATS, IDS_UPGRADING_HTML};
static_assert(ARRAY_SIZE(kUpgradeTexts) == kUpgradeKinds, "one text per upgrade");

// A site that cannot be added: the "Stop" box. Abort stops the upgrade and
// asks for the end of the program; Ignore goes on with the next record.
int AskAfterFailedAdd(HWND progress, const UpgradeRun* run) {
  char prefix[64];
  LoadText(IDS_UPGRADE_ADD_FAILED, prefix, sizeof prefix);
  char text[512];
  snprintf(text, sizeof text, "%s%s: %s (%d)", prefix, TABLNK_Decl.label, ks_error_text(run->lastError),
           run->lastError);
  if (StopBox(progress, text) != IDABORT) return kStepMore;
  RequestProgramEnd(kExitAborted);
  return kStepFailed;
}

// One tick: a batch of records.
int UpgradeTick(ProgressRun* progress) {
  UpgradeRun* run = static_cast<UpgradeRun*>(progress->work);
  int status = UpgradeStep(run, kRecordsPerTick);
  progress->percent = run->percent;
  switch (status) {
    case kUpgradeDone: return kStepDone;
    case kUpgradeReadFailed: return kStepFailed;
    case kUpgradeAddFailed: return AskAfterFailedAdd(progress->window, run);
  }
  return kStepMore;
}

// Runs one upgrade procedure with its progress window. Returns true when the
// old file was read to its end (and so removed).
bool RunUpgrade(int kind) {
  UpgradeRun run = {};
  if (!UpgradeBegin(&run, kind)) {
    RequestEndIfDiskError();
    return false;
  }
  run.percent = 0;
  char title[64], text[64], completed[64];
  LoadText(IDS_PROGRESS_TITLE, title, sizeof title);
  LoadText(kUpgradeTexts[kind], text, sizeof text);
  LoadText(IDS_PROCESS_COMPLETED, completed, sizeof completed);
  ProgressDesign design = {title, text, nullptr, completed, false, 0};
  bool done = RunProgress(nullptr, &design, UpgradeTick, &run) == kProgressCompleted;
  UpgradeEnd(&run, done);
  return done;
}

// Step of start-up for one earlier-version file. Returns false when the file
// is there but could not be upgraded, so the check runs again next time.
bool UpgradeIfPresent(int kind) {
  int rc = ProbeEarlierFile(kind);
  if (rc == KS_ERR_NO_FILE) return true;
  if (kind == kUpgradeSites) {
    ShowMessage(nullptr, IDS_NEW_VERSION_TITLE, IDS_NEW_VERSION_TEXT, RB_OK, RI_INFORMATION);
    for (const ProfileDefault& d : kExportDefaults) ProfileWrite("Export", d.key, d.value);
  }
  return RunUpgrade(kind);
}

}  // namespace

bool UpgradeEarlierFiles() {
  bool allDone = true;
  for (int kind = kUpgradeSites; kind < kUpgradeKinds && !ProgramEndRequested(); ++kind) {
    if (!UpgradeIfPresent(kind)) allDone = false;
  }
  return allDone && !ProgramEndRequested();
}
