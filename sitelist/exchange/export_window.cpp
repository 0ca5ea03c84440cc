// ExportMain and ExportFile: the "Export" window on the window skeleton (file
// entry with the history drop list, "&Browse", the five types, the category
// choice, the two switches, "&OK", "Cancel", "Help!") and the export run on the
// progress runner. The portable work is export_writer and file_history; this
// file turns controls into settings and codes into messages.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "sitelist/exchange/export_windows.h"
#include "sitelist/exchange/file_history.h"
#include "sitelist/records/record_files.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"
#include "common/tx_util.h"

namespace {

const int kSitesPerTick = 1000;
const size_t kMessageText = 1024;

// The type buttons in ExportType order.
const int kTypeButtons[kExportTypeCount] = {IDC_EXPORT_TABLE, IDC_EXPORT_SIMPLE, IDC_EXPORT_FRAME, IDC_EXPORT_ASCII,
                                            IDC_EXPORT_COMMA};
static_assert(ARRAY_SIZE(kTypeButtons) == kExportTypeCount, "one button per export type");

const int kExportFiles[] = {RF_TABLNK, RF_CATEGORIES, RF_CATHTML, RF_HISTORY};

struct ExportWindowState {
  ExportSettings settings;  // this window's own: never the program-wide buffers
};

// ---- Settings in TABLNK.INI -----------------------------------------------------------

int ReadSetting(const char* key, char* out, size_t capacity, void*) {
  return ProfileRead(kExportSection, key, out, capacity) ? 1 : 0;
}

int WriteSetting(const char* key, const char* value, void*) { return ProfileWrite(kExportSection, key, value) ? 1 : 0; }

// ---- Controls ----------------------------------------------------------------------------

int ChosenType(HWND dialog) {
  for (int t = 0; t < kExportTypeCount; t++)
    if (IsDlgButtonChecked(dialog, kTypeButtons[t]) == BST_CHECKED) return t;
  return kExportTable;
}

void EnableCategory(HWND dialog) {
  bool selected = IsDlgButtonChecked(dialog, IDC_EXPORT_SELECTED) == BST_CHECKED;
  EnableWindow(GetDlgItem(dialog, IDC_EXPORT_CATEGORY), selected);
  EnableWindow(GetDlgItem(dialog, IDC_EXPORT_CAT_LABEL), selected);
}

int AddHistoryName(const char* name, void* context) {
  SendMessageA((HWND)context, CB_ADDSTRING, 0, (LPARAM)name);
  return 1;
}

// The drop list of the file entry: History entries of type "Export", newest first.
void FillHistory(HWND dialog) {
  HWND combo = GetDlgItem(dialog, IDC_EXPORT_NAME);
  ListFileHistory(RecordFile(RF_HISTORY), kHistoryExport, AddHistoryName, combo);
}

// The category drop list: every category but the two pseudo-categories.
void FillCategories(HWND dialog) {
  HWND combo = GetDlgItem(dialog, IDC_EXPORT_CATEGORY);
  KsCursor* c = nullptr;
  if (ks_cursor_open(RecordFile(RF_CATEGORIES), CAT_K_Category, nullptr, &c) != KS_OK) return;
  CategoryRecord cat;  // this window's buffer, not g_CAT
  char name[sizeof cat.Category + 1];
  if (ks_set(c, nullptr) == KS_OK) {
    while (ks_next(c, &cat) == KS_OK) {
      if (IsPseudoCategory(cat.Category, sizeof cat.Category)) continue;
      GET_FIELD(cat.Category, name);
      SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)name);
    }
  }
  ks_cursor_close(c);
}

void ShowSettings(HWND dialog, const ExportSettings& s) {
  SendDlgItemMessageA(dialog, IDC_EXPORT_NAME, CB_LIMITTEXT, sizeof s.Name - 1, 0);
  SendDlgItemMessageA(dialog, IDC_EXPORT_CATEGORY, CB_LIMITTEXT, sizeof s.Category - 1, 0);
  SetDlgItemTextA(dialog, IDC_EXPORT_NAME, s.Name);
  CheckRadioButton(dialog, IDC_EXPORT_TABLE, IDC_EXPORT_COMMA, kTypeButtons[ExportTypeFromName(s.Type)]);
  CheckRadioButton(dialog, IDC_EXPORT_ALL, IDC_EXPORT_SELECTED,
                   ExportsSelectedCategory(&s) ? IDC_EXPORT_SELECTED : IDC_EXPORT_ALL);
  SetDlgItemTextA(dialog, IDC_EXPORT_CATEGORY, s.Category);
  CheckDlgButton(dialog, IDC_EXPORT_SITEINFO, s.SiteInfo ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_EXPORT_RATINGS, s.Ratings ? BST_CHECKED : BST_UNCHECKED);
  EnableCategory(dialog);
}

void TakeSettings(HWND dialog, ExportSettings* s) {
  GetDlgItemTextA(dialog, IDC_EXPORT_NAME, s->Name, sizeof s->Name);
  snprintf(s->Type, sizeof s->Type, "%s", ExportTypeName(ChosenType(dialog)));
  snprintf(s->Categories, sizeof s->Categories, "%s",
           IsDlgButtonChecked(dialog, IDC_EXPORT_SELECTED) == BST_CHECKED ? "Selected" : "All");
  GetDlgItemTextA(dialog, IDC_EXPORT_CATEGORY, s->Category, sizeof s->Category);
  s->SiteInfo = IsDlgButtonChecked(dialog, IDC_EXPORT_SITEINFO) == BST_CHECKED;
  s->Ratings = IsDlgButtonChecked(dialog, IDC_EXPORT_RATINGS) == BST_CHECKED;
}

bool IsBlank(const char* text) {
  for (; *text; text++)
    if (*text != ' ' && *text != '\t') return false;
  return true;
}

// Composes a message from a string-table piece, data and an error text.
void ComposeText(UINT prefixId, const char* data, const char* suffix, char* out, size_t capacity) {
  char prefix[128];
  LoadText(prefixId, prefix, sizeof prefix);
  snprintf(out, capacity, "%s%s%s", prefix, data, suffix);
}

// ---- Commands --------------------------------------------------------------------------------

// "&Browse": the file dialog; the chosen name gets the extension rule.
void OnBrowse(HWND dialog, ExportWindowState* state) {
  TakeSettings(dialog, &state->settings);
  char title[64], filter[160];
  LoadText(IDS_EXPORT_FILE_TITLE, title, sizeof title);
  LoadText(IDS_EXPORT_FILTER, filter, sizeof filter - 1);
  // "|" separates the filter's pieces; the dialog wants zeros and a double zero at the end.
  size_t n = strlen(filter);
  filter[n + 1] = '\0';
  for (size_t i = 0; i < n; i++)
    if (filter[i] == '|') filter[i] = '\0';
  char name[sizeof state->settings.Name];
  snprintf(name, sizeof name, "%s", state->settings.Name);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = IsHtmlExportType(ChosenType(dialog)) ? 2 : 3;
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&ofn)) return;
  AddExportExtension(name, sizeof name, ChosenType(dialog));
  SetDlgItemTextA(dialog, IDC_EXPORT_NAME, name);
}

// Enters the file in the history; a failure other than a repeat is told and
// the export still runs.
void EnterHistory(HWND dialog, const char* name) {
  int error = KS_OK;
  if (AddFileHistoryNow(RecordFile(RF_HISTORY), kHistoryExport, name, &error) != kHistoryAddFailed) return;
  char text[kMessageText];
  ComposeText(IDS_HISTORY_ADD_FAILED, ks_error_text(error), "", text, sizeof text);
  ShowMessageText(dialog, IDS_EXPORT_TITLE, text, RB_OK, RI_EXCLAMATION);
}

// "&OK": an empty name is refused and the window stays open; otherwise the
// name goes into the history, the settings into TABLNK.INI, and the export runs.
void OnOk(HWND dialog, ExportWindowState* state) {
  ExportSettings& s = state->settings;
  TakeSettings(dialog, &s);
  if (IsBlank(s.Name)) {
    ShowMessage(dialog, IDS_EXPORT_INFO_NEEDED, IDS_EXPORT_NAME_NEEDED, RB_OK, RI_INFORMATION);
    SetFocus(GetDlgItem(dialog, IDC_EXPORT_NAME));
    return;
  }
  AddExportExtension(s.Name, sizeof s.Name, ExportTypeFromName(s.Type));
  SetDlgItemTextA(dialog, IDC_EXPORT_NAME, s.Name);
  EnterHistory(dialog, s.Name);
  WriteExportSettings(&s, WriteSetting, nullptr);
  // A file that could not be created leaves the window open for another name.
  if (ExportFile(dialog, &s) == kExportFileNotCreated) return;
  CloseWindowRun(dialog);
}

void OnCancel(HWND dialog, ExportWindowState*) { CloseWindowRun(dialog); }

void OnHelp(HWND, ExportWindowState*) { StartProcedure(ExportHelp, nullptr); }

void OnCategoryChoice(HWND dialog, ExportWindowState*) { EnableCategory(dialog); }

const WindowCommand<ExportWindowState> kCommands[] = {
    {IDOK, OnOk},
    {IDCANCEL, OnCancel},
    {IDC_EXPORT_BROWSE, OnBrowse},
    {IDC_EXPORT_HELP, OnHelp},
    {IDC_EXPORT_ALL, OnCategoryChoice},
    {IDC_EXPORT_SELECTED, OnCategoryChoice},
};

BOOL OnInitDialog(HWND dialog, ExportWindowState* state) {
  ReadExportSettings(ReadSetting, nullptr, &state->settings);
  FillHistory(dialog);
  FillCategories(dialog);
  ShowSettings(dialog, state->settings);
  return TRUE;
}

INT_PTR CALLBACK ExportProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog, reinterpret_cast<ExportWindowState*>(lParam));
    case WM_COMMAND: return DispatchWindowCommand(kCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
  }
  return FALSE;
}

const WindowDesign kExportDesign = {
    "ExportMain", IDD_EXPORT, kMdiChildWindow, ExportProc, kExportFiles, (int)ARRAY_SIZE(kExportFiles),
    false,        nullptr,    nullptr,         0,          false};

// ---- The run ------------------------------------------------------------------------------------

struct ExportFileWork {
  const ExportSettings* settings;
  ExportRun* run;
  HWND owner;  // where the problems are shown (the progress window once it runs)
  int result;
};

// A problem of the run: "Error adding to NAME: TEXT" or "Error opening NAME: TEXT".
void ReportProblem(int problem, const char* file, int error, void* context) {
  ExportFileWork* work = static_cast<ExportFileWork*>(context);
  char suffix[128];
  snprintf(suffix, sizeof suffix, ": %s", ks_error_text(error));
  char text[kMessageText];
  ComposeText(problem == kExportOpenFailed ? IDS_EXPORT_OPEN_FAILED : IDS_EXPORT_ADD_FAILED, file, suffix, text,
              sizeof text);
  ShowMessageText(work->owner, IDS_EXPORT_TITLE, text, RB_OK, RI_EXCLAMATION);
}

ExportDate Today() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return ExportDate{t.wYear, t.wMonth, t.wDay};
}

// The first tick creates the file and writes the start of the page; every tick
// then works a batch of sites.
int ExportTick(ProgressRun* progress) {
  ExportFileWork* work = static_cast<ExportFileWork*>(progress->work);
  work->owner = progress->window;
  int error = KS_OK;
  if (work->run == nullptr) {
    int rc = ExportBegin(work->settings, RecordFile(RF_TABLNK), RecordFile(RF_CATHTML), Today(), ReportProblem, work,
                         &work->run, &error);
    if (rc == kExportCreateFailed) {
      work->result = kExportFileNotCreated;
      RecordPrompt(RM_FILE_CREATION, error, work->settings->Name, nullptr);
      return kStepFailed;
    }
    if (rc != kExportMore) {
      work->result = kExportFileFailed;
      RecordPrompt(RM_RECORD_RETRIEVAL, error, TABLNK_Decl.label, nullptr);
      return kStepFailed;
    }
  }
  int rc = ExportStep(work->run, kSitesPerTick, &error);
  progress->percent = ExportPercent(work->run);
  if (rc == kExportMore) return kStepMore;
  if (rc == kExportDone) {
    work->result = kExportFileCompleted;
    if (ExportLinesLost(work->run) > 0) {
      char line[kProgressTextSize];
      LoadText(IDS_EXPORT_LINES_LOST, line, sizeof line);
      SetProgressEndLine(progress, line);
    }
    return kStepDone;
  }
  work->result = kExportFileFailed;
  RecordPrompt(RM_RECORD_RETRIEVAL, error, TABLNK_Decl.label, nullptr);
  return kStepFailed;
}

}  // namespace

int ExportMain(void*) {
  ExportWindowState state = {};
  return RunWindow(&kExportDesign, &state);
}

int ExportFile(HWND caller, const ExportSettings* settings) {
  if (settings == nullptr) return kExportFileFailed;
  char title[64], text[64], completed[64];
  LoadText(IDS_PROGRESS_TITLE, title, sizeof title);
  LoadText(IDS_EXPORTING, text, sizeof text);
  LoadText(IDS_PROCESS_COMPLETED, completed, sizeof completed);
  ProgressDesign design = {title, text, nullptr, completed, true, 0};
  ExportFileWork work = {settings, nullptr, caller, kExportFileFailed};
  int result = RunProgress(caller, &design, ExportTick, &work);
  ExportEnd(work.run);
  if (result == kProgressCancelled) return kExportFileCancelled;
  return work.result;
}
