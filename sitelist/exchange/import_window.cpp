// The import and merge windows: ImportMain with ImportFile, AskCategory and
// UpdateCategoriesNoMDI, and ImportTABLNK with ImportURLProcess. The windows
// turn messages into calls of the portable runs (import_run.h) and their
// results into message boxes; each keeps its records in its own state.
#include "sitelist/exchange/import_windows.h"

#include <commctrl.h>
#include <commdlg.h>

#include <stdio.h>
#include <string.h>

#include "sitelist/exchange/export_windows.h"
#include "sitelist/exchange/file_history.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/windows/category_list_window.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/program_values.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kSection[] = "Import";
const DWORD kStepBudgetMs = 40;  // work per timer tick, so the window stays responsive
const int kLinesPerCall = 64;
const size_t kMessage = 1024;

// ---- Small helpers ------------------------------------------------------------------------

void TrimSpaces(char* s) {
  size_t start = 0;
  while (s[start] == ' ') start++;
  size_t n = strlen(s + start);
  memmove(s, s + start, n + 1);
  while (n > 0 && s[n - 1] == ' ') s[--n] = '\0';
}

// Runs the open-file dialog "Choose a File" with a filter from the string
// table ("Name|pattern|..."). Returns true with the chosen name in name.
bool ChooseFile(HWND owner, UINT filterId, char* name, size_t cap) {
  char filter[256], title[64];
  LoadText(filterId, filter, sizeof filter);
  for (char* p = filter; *p; ++p)
    if (*p == '|') *p = '\0';
  LoadText(IDS_IMPORT_CHOOSE_FILE, title, sizeof title);
  char file[MAX_PATH];
  snprintf(file, sizeof file, "%s", name);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&ofn)) return false;
  snprintf(name, cap, "%s", file);
  return true;
}

// ---- ImportFile ---------------------------------------------------------------------------

struct ImportWork {
  ImportRun run;
  ImportUi ui;
  HWND progress;  // the progress window while a step runs
};

int AskForRun(void* context, const SiteRecord* site, const char* best_guess, char* category, size_t cap) {
  ImportWork* w = (ImportWork*)context;
  return AskCategory(w->progress, site, best_guess, category, cap);
}

void AddFailedForRun(void* context, int error) {
  ImportWork* w = (ImportWork*)context;
  char piece[64], text[kMessage];
  LoadText(IDS_IMPORT_ADDING_LOCATION, piece, sizeof piece);
  snprintf(text, sizeof text, "%s (%d)%s", ks_error_text(error), error, piece);
  ShowMessageText(w->progress, IDS_IMPORT_ADD_FAILED_TITLE, text, RB_OK, RI_EXCLAMATION);
}

// "12 sites added, 3 skipped as duplicates" (and the failures, if any).
void Summary(const ImportCounts* c, char* out, size_t cap) {
  char format[128], more[64];
  LoadText(IDS_IMPORT_SUMMARY, format, sizeof format);
  int n = snprintf(out, cap, format, c->added, c->duplicates);
  if (n > 0 && (size_t)n < cap && c->failed > 0) {
    LoadText(IDS_IMPORT_SUMMARY_FAILED, more, sizeof more);
    snprintf(out + n, cap - (size_t)n, more, c->failed);
  }
}

int ImportTick(ProgressRun* p) {
  ImportWork* w = (ImportWork*)p->work;
  w->progress = p->window;
  DWORD start = GetTickCount();
  int more = 1;
  while (more && GetTickCount() - start < kStepBudgetMs) more = ImportStep(&w->run, kLinesPerCall);
  p->percent = ImportPercent(&w->run);
  if (more) return kStepMore;
  char line[kProgressTextSize];
  Summary(&w->run.counts, line, sizeof line);
  SetProgressEndLine(p, line);
  return kStepDone;
}

// ---- The merge run ------------------------------------------------------------------------

struct MergeWork {
  MergeRun run;
  HWND progress;
};

void MergeAddFailed(void* context, int error) {
  MergeWork* w = (MergeWork*)context;
  char piece[64], text[kMessage];
  LoadText(IDS_IMPORT_ADDING_LOCATION, piece, sizeof piece);
  snprintf(text, sizeof text, "%s (%d)%s", ks_error_text(error), error, piece);
  ShowMessageText(w->progress, IDS_IMPORT_ADD_FAILED_TITLE, text, RB_OK, RI_EXCLAMATION);
}

int MergeTick(ProgressRun* p) {
  MergeWork* w = (MergeWork*)p->work;
  w->progress = p->window;
  DWORD start = GetTickCount();
  int more = 1;
  while (more && GetTickCount() - start < kStepBudgetMs) more = MergeStep(&w->run, 256);
  p->percent = MergePercent(&w->run);
  if (more) return kStepMore;
  char line[kProgressTextSize];
  Summary(&w->run.counts, line, sizeof line);
  SetProgressEndLine(p, line);
  return kStepDone;
}

// Tells the user what a cancelled run had done, so nothing is silently partial.
void TellCancelled(HWND caller, int percent, const ImportCounts* counts) {
  char format[128], text[kMessage];
  LoadText(IDS_IMPORT_CANCELLED, format, sizeof format);
  int n = snprintf(text, sizeof text, format, percent);
  if (n > 0 && (size_t)n < sizeof text) Summary(counts, text + n, sizeof text - (size_t)n);
  ShowMessageText(caller, IDS_IMPORT_TITLE, text, RB_OK, RI_INFORMATION);
}

int RunWithProgress(HWND caller, ProgressStep step, void* work) {
  char title[64], text[64], end[64];
  LoadText(IDS_PROGRESS_TITLE, title, sizeof title);
  LoadText(IDS_IMPORT_IMPORTING, text, sizeof text);
  LoadText(IDS_PROCESS_COMPLETED, end, sizeof end);
  ProgressDesign design = {title, text, nullptr, end, true, 0};
  return RunProgress(caller, &design, step, work);
}

// ---- AskCategory --------------------------------------------------------------------------

struct AskState {
  const SiteRecord* site;
  const char* bestGuess;
  char chosen[31];
};

INT_PTR AskInit(HWND dialog, AskState* s) {
  char text[256], label[64];
  GET_FIELD(s->site->Location, text);
  SetDlgItemTextA(dialog, IDC_ASK_LOCATION, text);
  GET_FIELD(s->site->Description, text);
  SetDlgItemTextA(dialog, IDC_ASK_DESCRIPTION, text);
  LoadText(IDS_ASK_BEST_GUESS, label, sizeof label);
  snprintf(text, sizeof text, "%s%s", label, s->bestGuess);
  SetDlgItemTextA(dialog, IDC_ASK_BEST_GUESS, text);
  HWND list = GetDlgItem(dialog, IDC_ASK_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  AddCategoryColumns(list, 120, 1020);
  FillCategoryList(list, kSiteCategories, s->bestGuess);
  SetFocus(list);
  return FALSE;
}

void AskSelect(HWND dialog, AskState* s) {
  if (!SelectedCategoryName(GetDlgItem(dialog, IDC_ASK_LIST), s->chosen, sizeof s->chosen)) {
    MessageBeep(MB_OK);
    return;
  }
  EndForm(dialog, kResponseCompleted);
}

void AskInsert(HWND dialog, AskState*) {
  char name[31] = "";
  if (UpdateCategoriesNoMDI(dialog, name, sizeof name) == kResponseCompleted)
    FillCategoryList(GetDlgItem(dialog, IDC_ASK_LIST), kSiteCategories, name);
}

void AskUseGuess(HWND dialog, AskState* s) {
  s->chosen[0] = '\0';
  EndForm(dialog, kResponseCancelled);
}

const WindowCommand<AskState> kAskCommands[] = {
    {IDC_ASK_SELECT, AskSelect},
    {IDC_ASK_INSERT, AskInsert},
    {IDC_ASK_USE_GUESS, AskUseGuess},
    {IDOK, AskSelect},
};

INT_PTR AskNotify(HWND dialog, const NMHDR* n) {
  if (n->idFrom == IDC_ASK_LIST && n->code == NM_DBLCLK) {
    AskSelect(dialog, WindowStateOf<AskState>(dialog));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK AskProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return AskInit(dialog, (AskState*)lParam);
    case WM_COMMAND: return DispatchWindowCommand(kAskCommands, dialog, LOWORD(wParam));
    case WM_NOTIFY: return AskNotify(dialog, (const NMHDR*)lParam);
  }
  return FALSE;
}

const int kAskFiles[] = {RF_CATEGORIES};
const FormDesign kAskDesign = {"AskCategory", IDD_ASK_CATEGORY, AskProc, false, nullptr, nullptr, 0, kAskFiles, 1};

// ---- UpdateCategoriesNoMDI ----------------------------------------------------------------

struct CategoryFormState {
  CategoryRecord category;  // the form's own record
  char* name;
  size_t cap;
};

INT_PTR CategoryFormInit(HWND dialog, CategoryFormState* s) {
  char text[64];
  LoadText(IDS_UCN_ADDED, text, sizeof text);
  SetWindowTextA(dialog, text);
  HWND tabs = GetDlgItem(dialog, IDC_UCN_TABS);
  LoadText(IDS_UCN_GENERAL, text, sizeof text);
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  SendMessageA(tabs, TCM_INSERTITEMA, 0, (LPARAM)&item);
  // The tab control lies under the fields it holds.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendDlgItemMessageA(dialog, IDC_UCN_NAME, EM_LIMITTEXT, sizeof s->category.Category, 0);
  SendDlgItemMessageA(dialog, IDC_UCN_DESCRIPTION, EM_LIMITTEXT, sizeof s->category.Description - 1, 0);
  ks_clear(&Categories_Decl, &s->category);
  return TRUE;
}

void CategoryFormOk(HWND dialog, CategoryFormState* s) {
  char name[64], description[sizeof s->category.Description];
  GetDlgItemTextA(dialog, IDC_UCN_NAME, name, sizeof name);
  GetDlgItemTextA(dialog, IDC_UCN_DESCRIPTION, description, sizeof description);
  TrimSpaces(name);
  if (name[0] == '\0') {  // a category needs a name
    MessageBeep(MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(dialog, IDC_UCN_NAME));
    return;
  }
  ks_clear(&Categories_Decl, &s->category);
  SET_FIELD(s->category.Category, name);
  SET_MEMO(s->category.Description, description);
  int error = 0;
  if (!AddCategory(&s->category, &error)) {  // told the user ("Duplicate Key Error" naming "Category")
    HWND field = GetDlgItem(dialog, IDC_UCN_NAME);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    return;
  }
  GetField(s->category.Category, sizeof s->category.Category, s->name, s->cap);
  EndForm(dialog, kResponseCompleted);
}

void CategoryFormCancel(HWND dialog, CategoryFormState*) { EndForm(dialog, kResponseCancelled); }

// The label on the tab control shows the tab's background, not the dialog's.
INT_PTR CategoryFormColour(HWND control, HDC dc) {
  if (GetDlgCtrlID(control) != IDC_UCN_DESCRIPTION_LABEL) return FALSE;
  SetBkMode(dc, TRANSPARENT);
  return (INT_PTR)GetStockObject(NULL_BRUSH);
}

const WindowCommand<CategoryFormState> kCategoryFormCommands[] = {
    {IDOK, CategoryFormOk},
    {IDCANCEL, CategoryFormCancel},
};

INT_PTR CALLBACK CategoryFormProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return CategoryFormInit(dialog, (CategoryFormState*)lParam);
    case WM_COMMAND: return DispatchWindowCommand(kCategoryFormCommands, dialog, LOWORD(wParam));
    case WM_CTLCOLORSTATIC: return CategoryFormColour((HWND)lParam, (HDC)wParam);
  }
  return FALSE;
}

const int kCategoryFormFiles[] = {RF_CATEGORIES};
const FormDesign kCategoryFormDesign = {"UpdateCategoriesNoMDI",
                                        IDD_UPDATE_CATEGORY_NOMDI,
                                        CategoryFormProc,
                                        false,
                                        nullptr,
                                        nullptr,
                                        0,
                                        kCategoryFormFiles,
                                        1};

// ---- ImportMain ---------------------------------------------------------------------------

struct ImportMainState {
  ImportSettings settings;
  char typed[256];  // the name typed before the drop list opened
};

const UINT kTypeButtons[3] = {IDC_IMPORT_TYPE_H, IDC_IMPORT_TYPE_C, IDC_IMPORT_TYPE_A};
const UINT kMethodButtons[3] = {IDC_IMPORT_METHOD_S, IDC_IMPORT_METHOD_M, IDC_IMPORT_METHOD_A};

int HistoryVisit(const char* name, void* context) {
  SendMessageA((HWND)context, CB_ADDSTRING, 0, (LPARAM)name);
  return 1;
}

// The drop list: its header, then the History entries of type "Import", newest first.
void FillHistory(HWND combo) {
  char head[64];
  LoadText(IDS_IMPORT_HISTORY_HEAD, head, sizeof head);
  SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)head);
  KsFile* history = RecordFile(RF_HISTORY);
  if (history) ListFileHistory(history, kHistoryImport, HistoryVisit, combo);
}

void ReadSettings(ImportSettings* s) {
  memset(s, 0, sizeof *s);
  if (!ProfileRead(kSection, "Name", s->name, sizeof s->name)) snprintf(s->name, sizeof s->name, "%s", g_ImportName);
  char value[64];
  ProfileRead(kSection, "Type", value, sizeof value);
  snprintf(s->type, sizeof s->type, "%s", ImportTypeText(value));
  ProfileRead(kSection, "Categories", value, sizeof value);
  snprintf(s->method, sizeof s->method, "%s", ImportMethodText(value));
  ProfileRead(kSection, "Category", s->category, sizeof s->category);
}

void WriteSettings(const ImportSettings* s) {
  ProfileWrite(kSection, "Name", s->name);
  ProfileWrite(kSection, "Type", s->type);
  ProfileWrite(kSection, "Categories", s->method);
  ProfileWrite(kSection, "Category", s->category);
}

int Index(const char* const* texts, const char* value) {
  for (int i = 0; i < 3; i++)
    if (strcmp(texts[i], value) == 0) return i;
  return 1;
}

void EnableCategory(HWND dialog) {
  BOOL selected = IsDlgButtonChecked(dialog, IDC_IMPORT_METHOD_S) == BST_CHECKED;
  EnableWindow(GetDlgItem(dialog, IDC_IMPORT_CATEGORY), selected);
  EnableWindow(GetDlgItem(dialog, IDC_IMPORT_CATEGORY_LABEL), selected);
}

INT_PTR ImportMainInit(HWND dialog, ImportMainState* s) {
  ReadSettings(&s->settings);
  HWND file = GetDlgItem(dialog, IDC_IMPORT_FILE);
  SendMessageA(file, CB_LIMITTEXT, sizeof s->settings.name - 1, 0);
  FillHistory(file);
  SetWindowTextA(file, s->settings.name);
  int type = s->settings.type[0] == 'C' ? 1 : s->settings.type[0] == 'A' ? 2 : 0;
  CheckRadioButton(dialog, IDC_IMPORT_TYPE_H, IDC_IMPORT_TYPE_A, kTypeButtons[type]);
  CheckRadioButton(dialog, IDC_IMPORT_METHOD_S, IDC_IMPORT_METHOD_A,
                   kMethodButtons[Index(kImportMethods, s->settings.method)]);
  FillCategoryCombo(GetDlgItem(dialog, IDC_IMPORT_CATEGORY), s->settings.category);
  EnableCategory(dialog);
  SetFocus(file);
  return FALSE;
}

// Reads the window's fields into the settings.
void TakeSettings(HWND dialog, ImportSettings* s) {
  GetDlgItemTextA(dialog, IDC_IMPORT_FILE, s->name, sizeof s->name);
  TrimSpaces(s->name);
  for (int i = 0; i < 3; i++) {
    if (IsDlgButtonChecked(dialog, kTypeButtons[i]) == BST_CHECKED)
      snprintf(s->type, sizeof s->type, "%s", kImportTypes[i]);
    if (IsDlgButtonChecked(dialog, kMethodButtons[i]) == BST_CHECKED)
      snprintf(s->method, sizeof s->method, "%s", kImportMethods[i]);
  }
  HWND combo = GetDlgItem(dialog, IDC_IMPORT_CATEGORY);
  LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  char name[64] = "";
  if (sel != CB_ERR && SendMessageA(combo, CB_GETLBTEXTLEN, (WPARAM)sel, 0) < (LRESULT)sizeof name)
    SendMessageA(combo, CB_GETLBTEXT, (WPARAM)sel, (LPARAM)name);
  if (sel != CB_ERR) snprintf(s->category, sizeof s->category, "%s", name);
}

void ImportMainOk(HWND dialog, ImportMainState* s) {
  TakeSettings(dialog, &s->settings);
  if (s->settings.name[0] == '\0') {
    ShowMessage(dialog, IDS_IMPORT_INFO_REQUIRED, IDS_IMPORT_NAME_REQUIRED, RB_OK, RI_INFORMATION);
    SetFocus(GetDlgItem(dialog, IDC_IMPORT_FILE));
    return;
  }
  int error = 0;
  KsFile* history = RecordFile(RF_HISTORY);
  if (history && AddFileHistoryNow(history, kHistoryImport, s->settings.name, &error) == kHistoryAddFailed) {
    char text[kMessage];
    FileHistoryMessage(error, text, sizeof text);
    ShowMessageText(dialog, IDS_IMPORT_HISTORY_TITLE, text, RB_OK, RI_EXCLAMATION);
  }
  WriteSettings(&s->settings);
  SetImportFileName(s->settings.name);
  int done = ImportFile(dialog, &s->settings);
  if (done < 0) {  // the file could not be opened (the user was told): the name can be put right
    SetFocus(GetDlgItem(dialog, IDC_IMPORT_FILE));
    return;
  }
  SetWindowCompletion(dialog, done ? 1 : kWindowClosed);
  CloseWindowRun(dialog);
}

void ImportMainCancel(HWND dialog, ImportMainState*) { CloseWindowRun(dialog); }

void ImportMainBrowse(HWND dialog, ImportMainState* s) {
  GetDlgItemTextA(dialog, IDC_IMPORT_FILE, s->settings.name, sizeof s->settings.name);
  if (ChooseFile(dialog, IDS_IMPORT_FILTER, s->settings.name, sizeof s->settings.name))
    SetDlgItemTextA(dialog, IDC_IMPORT_FILE, s->settings.name);
}

// "Help!": ImportHelp, the viewer of Export.Txt with the export help's text and title.
void ImportMainHelp(HWND, ImportMainState*) { StartProcedure(ImportHelp, nullptr); }

void ImportMainMethod(HWND dialog, ImportMainState*) { EnableCategory(dialog); }

// The drop list's header is no file: choosing it keeps the name there was.
void ImportMainFileCommand(HWND dialog, ImportMainState* s, UINT code) {
  HWND combo = GetDlgItem(dialog, IDC_IMPORT_FILE);
  if (code == CBN_DROPDOWN) {
    GetWindowTextA(combo, s->typed, sizeof s->typed);
  } else if (code == CBN_SELCHANGE && SendMessageA(combo, CB_GETCURSEL, 0, 0) == 0) {
    SendMessageA(combo, CB_SETCURSEL, (WPARAM)-1, 0);
    PostMessageA(combo, WM_SETTEXT, 0, (LPARAM)s->typed);
  }
}

const WindowCommand<ImportMainState> kImportMainCommands[] = {
    {IDOK, ImportMainOk},
    {IDCANCEL, ImportMainCancel},
    {IDC_IMPORT_BROWSE, ImportMainBrowse},
    {IDC_IMPORT_HELP, ImportMainHelp},
    {IDC_IMPORT_METHOD_S, ImportMainMethod},
    {IDC_IMPORT_METHOD_M, ImportMainMethod},
    {IDC_IMPORT_METHOD_A, ImportMainMethod},
};

INT_PTR ImportMainCommand(HWND dialog, WPARAM wParam) {
  if (LOWORD(wParam) == IDC_IMPORT_FILE) {
    ImportMainFileCommand(dialog, WindowStateOf<ImportMainState>(dialog), HIWORD(wParam));
    return TRUE;
  }
  return DispatchWindowCommand(kImportMainCommands, dialog, LOWORD(wParam));
}

INT_PTR CALLBACK ImportMainProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return ImportMainInit(dialog, (ImportMainState*)lParam);
    case WM_COMMAND: return ImportMainCommand(dialog, wParam);
  }
  return FALSE;
}

const int kImportMainFiles[] = {RF_TABLNK, RF_CATEGORIES, RF_HISTORY};
const WindowDesign kImportMainDesign = {
    "ImportMain", IDD_IMPORT_MAIN, kMdiChildWindow, ImportMainProc, kImportMainFiles, 3, false, nullptr, nullptr, 0,
    false};

// ---- ImportTABLNK -------------------------------------------------------------------------

struct MergeState {
  char name[256];
};

INT_PTR MergeInit(HWND dialog, MergeState* s) {
  LoadText(IDS_MERGE_DEFAULT_NAME, s->name, sizeof s->name);
  SendDlgItemMessageA(dialog, IDC_MERGE_NAME, EM_LIMITTEXT, sizeof s->name - 1, 0);
  SetDlgItemTextA(dialog, IDC_MERGE_NAME, s->name);
  return TRUE;
}

void MergeOk(HWND dialog, MergeState* s) {
  GetDlgItemTextA(dialog, IDC_MERGE_NAME, s->name, sizeof s->name);
  TrimSpaces(s->name);
  if (!MergeNameAccepted(s->name)) {
    ShowMessage(dialog, IDS_MERGE_CANNOT_TITLE, IDS_MERGE_CANNOT_TEXT, RB_OK, RI_EXCLAMATION);
    SetFocus(GetDlgItem(dialog, IDC_MERGE_NAME));
    return;
  }
  int done = ImportURLProcess(dialog, s->name);
  if (done < 0) {  // the source could not be opened (the user was told)
    SetFocus(GetDlgItem(dialog, IDC_MERGE_NAME));
    return;
  }
  SetWindowCompletion(dialog, done ? 1 : kWindowClosed);
  CloseWindowRun(dialog);
}

void MergeCancel(HWND dialog, MergeState*) { CloseWindowRun(dialog); }

void MergeBrowse(HWND dialog, MergeState* s) {
  GetDlgItemTextA(dialog, IDC_MERGE_NAME, s->name, sizeof s->name);
  if (ChooseFile(dialog, IDS_MERGE_FILTER, s->name, sizeof s->name)) SetDlgItemTextA(dialog, IDC_MERGE_NAME, s->name);
}

const WindowCommand<MergeState> kMergeCommands[] = {
    {IDOK, MergeOk},
    {IDCANCEL, MergeCancel},
    {IDC_MERGE_BROWSE, MergeBrowse},
};

INT_PTR CALLBACK MergeProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return MergeInit(dialog, (MergeState*)lParam);
    case WM_COMMAND: return DispatchWindowCommand(kMergeCommands, dialog, LOWORD(wParam));
  }
  return FALSE;
}

const int kMergeFiles[] = {RF_TABLNK};
const WindowDesign kMergeDesign = {"ImportTABLNK", IDD_IMPORT_TABLNK, kMdiChildWindow, MergeProc, kMergeFiles, 1,
                                   false,          nullptr,           nullptr,         0,         false};

}  // namespace

int ImportMain(void*) {
  ImportMainState state = {};
  return RunWindow(&kImportMainDesign, &state);
}

int ImportTABLNK(void*) {
  MergeState state = {};
  return RunWindow(&kMergeDesign, &state);
}

int ImportFile(HWND caller, const ImportSettings* settings) {
  ImportWork* w = new ImportWork();
  w->ui.context = w;
  w->ui.ask_category = AskForRun;
  w->ui.add_failed = AddFailedForRun;
  int rc = ImportOpen(&w->run, settings, &w->ui);
  if (rc != 0) {
    char format[256], text[kMessage];
    LoadText(IDS_IMPORT_OPEN_FAILED, format, sizeof format);
    snprintf(text, sizeof text, format, strerror(rc), settings->name);
    ShowMessageText(caller, IDS_IMPORT_OPEN_TITLE, text, RB_OK, RI_EXCLAMATION);
    delete w;
    return -1;
  }
  w->progress = caller;
  int result = RunWithProgress(caller, ImportTick, w);
  if (result == kProgressCancelled) TellCancelled(caller, ImportPercent(&w->run), &w->run.counts);
  ImportClose(&w->run);
  delete w;
  return result == kProgressCompleted;
}

int ImportURLProcess(HWND caller, const char* fileName) {
  MergeWork* w = new MergeWork();
  ImportUi ui = {w, nullptr, MergeAddFailed};
  int rc = MergeOpen(&w->run, fileName, &ui);
  if (rc != KS_OK) {
    char format[256], text[kMessage];
    LoadText(IDS_MERGE_OPEN_FAILED, format, sizeof format);
    snprintf(text, sizeof text, format, ks_error_text(rc), rc, fileName);
    ShowMessageText(caller, IDS_IMPORT_OPEN_TITLE, text, RB_OK, RI_EXCLAMATION);
    delete w;
    return -1;
  }
  w->progress = caller;
  int result = RunWithProgress(caller, MergeTick, w);
  if (result == kProgressCancelled) TellCancelled(caller, MergePercent(&w->run), &w->run.counts);
  MergeClose(&w->run);
  delete w;
  return result == kProgressCompleted;
}

int AskCategory(HWND caller, const SiteRecord* site, const char* best_guess, char* category, size_t cap) {
  AskState state = {site, best_guess, ""};
  if (RunForm(caller, &kAskDesign, &state) != kResponseCompleted || state.chosen[0] == '\0') return 0;
  snprintf(category, cap, "%s", state.chosen);
  return 1;
}

int UpdateCategoriesNoMDI(HWND caller, char* name, size_t cap) {
  CategoryFormState* state = new CategoryFormState();
  state->name = name;
  state->cap = cap;
  int response = RunForm(caller, &kCategoryFormDesign, state);
  delete state;
  return response;
}
