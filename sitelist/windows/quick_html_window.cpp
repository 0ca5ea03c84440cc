// Quick HTML publishing of the site browse: the small window "Generate an HTML
// document" with the file name and its save dialog, "&Displayed records only"
// (the rows the browse shows) and "&All records" (every site of the browse's
// order and limit, 10 sites a tick on the progress runner, the count and the
// turning icon shown as it goes; "Cancel" still writes the footer).
#include <windows.h>
#include <commdlg.h>

#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "sitelist/records/record_messages.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/quick_html.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const int kSitesPerTick = 10;
const UINT kTickMs = 10;
const int kFiles[] = {RF_TABLNK};

struct QuickState {
  const BrowseOrder* order;
  const SitePage* shown;
  char name[MAX_PATH];
  QuickHtmlFile file;
  SiteReader reader;
  bool readerOpen;
  long total;  // sites the run will write (for the percentage)
  long written;
  int icon;  // which of the 15 images is shown
  HICON icons[IDI_QUICK_COUNT];
  HICON smallIcons[IDI_QUICK_COUNT];
  HWND dialog;
  bool failed;
};

void LoadIcons(QuickState* q) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int i = 0; i < IDI_QUICK_COUNT; ++i) {
    q->icons[i] = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_QUICK_FIRST + i), IMAGE_ICON, 32, 32, 0);
    q->smallIcons[i] = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_QUICK_FIRST + i), IMAGE_ICON, 16, 16, 0);
  }
}

void FreeIcons(QuickState* q) {
  for (int i = 0; i < IDI_QUICK_COUNT; ++i) {
    if (q->icons[i] != nullptr) DestroyIcon(q->icons[i]);
    if (q->smallIcons[i] != nullptr) DestroyIcon(q->smallIcons[i]);
  }
}

// Shows image `icon` in the window (its caption and its picture) and in the
// progress window over it.
void ShowIcon(QuickState* q, HWND progress) {
  HICON big = q->icons[q->icon], small = q->smallIcons[q->icon];
  SendDlgItemMessageA(q->dialog, IDC_QH_ICON, STM_SETICON, (WPARAM)big, 0);
  SendMessageA(q->dialog, WM_SETICON, ICON_SMALL, (LPARAM)small);
  if (progress != nullptr) {
    SendMessageA(progress, WM_SETICON, ICON_SMALL, (LPARAM)small);
    SendMessageA(progress, WM_SETICON, ICON_BIG, (LPARAM)big);
  }
}

void SetStatus(QuickState* q, UINT textId, long count, ProgressRun* run) {
  char text[96];
  LoadText(textId, text, sizeof text);
  if (count >= 0) {
    size_t n = strlen(text);
    snprintf(text + n, sizeof text - n, "%ld", count);
  }
  SetDlgItemTextA(q->dialog, IDC_QH_STATUS, text);
  if (run != nullptr) SetProgressText(run, text);
}

// The file could not be created or written: the stop box, which offers to end
// the program.
void ReportFileError(QuickState* q) {
  char text[MAX_PATH + 160];
  LoadText(IDS_QUICK_FILE_ERROR, text, sizeof text);
  size_t n = strlen(text);
  snprintf(text + n, sizeof text - n, "%s (%s)", q->name, strerror(q->file.error));
  if (StopBox(q->dialog, text) == IDABORT) RequestProgramEnd(kExitAborted);
}

bool Begin(QuickState* q) {
  GetDlgItemTextA(q->dialog, IDC_QH_NAME, q->name, sizeof q->name);
  SetStatus(q, IDS_BUILDING_HEADER, -1, nullptr);
  if (QuickHtmlCreate(&q->file, q->name)) return true;
  ReportFileError(q);
  return false;
}

void Finish(QuickState* q) {
  if (q->failed) QuickHtmlAbandon(&q->file);
  else if (!QuickHtmlFinish(&q->file)) ReportFileError(q);
}

void OnDisplayed(HWND dialog, QuickState* q) {
  if (!Begin(q)) {
    EndForm(dialog, kResponseCancelled);
    return;
  }
  for (int i = 0; i < q->shown->count && !q->failed; ++i) {
    if (!QuickHtmlWriteRow(&q->file, &q->shown->rows[i])) {
      q->failed = true;
      ReportFileError(q);
    }
  }
  Finish(q);
  EndForm(dialog, kResponseCompleted);
}

int Step(ProgressRun* run) {
  QuickState* q = static_cast<QuickState*>(run->work);
  SiteRecord site;
  for (int i = 0; i < kSitesPerTick; ++i) {
    int rc = ReaderNext(&q->reader, &site);
    if (rc == KS_ERR_NO_RECORD) {
      run->percent = 100;
      return kStepDone;
    }
    if (rc != KS_OK) {
      RecordPrompt(RM_RECORD_RETRIEVAL, rc, TABLNK_Decl.label, nullptr);
      return kStepFailed;
    }
    if (!QuickHtmlWriteRow(&q->file, &site)) {
      q->failed = true;
      ReportFileError(q);
      return kStepFailed;
    }
    ++q->written;
  }
  SetStatus(q, IDS_RECORD_READ, q->written, run);
  q->icon = (q->icon + 1) % IDI_QUICK_COUNT;
  ShowIcon(q, run->window);
  run->percent = q->total > 0 ? (int)(q->written * 100 / q->total) : 0;
  if (run->percent > 100) run->percent = 100;
  return kStepMore;
}

// How many sites the run writes: the file's count, or the category's sites.
long CountSites(QuickState* q) {
  if (!q->order->limited) {
    uint32_t n = 0;
    return ks_count(RecordFile(RF_TABLNK), &n) == KS_OK ? (long)n : 0;
  }
  long n = 0;
  SiteRecord site;
  if (ReaderStart(&q->reader) != KS_OK) return 0;
  while (ReaderNext(&q->reader, &site) == KS_OK) ++n;
  return n;
}

void OnAll(HWND dialog, QuickState* q) {
  if (ReaderOpen(&q->reader, RecordFile(RF_TABLNK), q->order) != KS_OK) {
    RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_NOT_OPEN, TABLNK_Decl.label, nullptr);
    return;
  }
  q->readerOpen = true;
  if (!Begin(q)) {
    EndForm(dialog, kResponseCancelled);
    return;
  }
  q->total = CountSites(q);
  int rc = ReaderStart(&q->reader);
  if (rc != KS_OK) {
    RecordPrompt(RM_RECORD_RETRIEVAL, rc, TABLNK_Decl.label, nullptr);
    Finish(q);
    EndForm(dialog, kResponseCancelled);
    return;
  }
  char title[96], text[96];
  LoadText(IDS_QUICK_TITLE, title, sizeof title);
  LoadText(IDS_RECORD_READ, text, sizeof text);
  strncat(text, "0", sizeof text - strlen(text) - 1);
  SetDlgItemTextA(dialog, IDC_QH_STATUS, text);
  for (int id : {IDC_QH_DISPLAYED, IDC_QH_ALL, IDC_QH_BROWSE, IDC_QH_NAME}) EnableWindow(GetDlgItem(dialog, id), FALSE);
  ProgressDesign design = {title, text, nullptr, nullptr, true, kTickMs};
  RunProgress(dialog, &design, Step, q);
  Finish(q);  // a cancelled run still gets its footer
  EndForm(dialog, kResponseCompleted);
}

void OnChooseName(HWND dialog, QuickState* q) {
  char filter[96], title[96];
  LoadText(IDS_SAVE_FILTER, filter, sizeof filter);
  size_t n = strlen(filter);
  if (n + 2 > sizeof filter) return;
  for (size_t i = 0; i < n; ++i)
    if (filter[i] == '|') filter[i] = '\0';
  filter[n + 1] = '\0';
  LoadText(IDS_SAVE_TITLE, title, sizeof title);
  char name[MAX_PATH];
  GetDlgItemTextA(dialog, IDC_QH_NAME, name, sizeof name);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = "HTM";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (GetSaveFileNameA(&ofn)) SetDlgItemTextA(dialog, IDC_QH_NAME, name);
  (void)q;
}

void OnCancel(HWND dialog, QuickState*) { EndForm(dialog, kResponseCancelled); }

const WindowCommand<QuickState> kCommands[] = {
    {IDC_QH_DISPLAYED, OnDisplayed}, {IDC_QH_ALL, OnAll}, {IDC_QH_BROWSE, OnChooseName}, {IDCANCEL, OnCancel}};

BOOL OnInitDialog(HWND dialog, QuickState* q) {
  q->dialog = dialog;
  char dir[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
  if (n == 0 || n >= sizeof dir || !QuickHtmlDefaultName(dir, q->name, sizeof q->name))
    snprintf(q->name, sizeof q->name, "QUICK.HTM");
  SendDlgItemMessageA(dialog, IDC_QH_NAME, EM_LIMITTEXT, sizeof q->name - 1, 0);
  SetDlgItemTextA(dialog, IDC_QH_NAME, q->name);
  LoadIcons(q);
  ShowIcon(q, nullptr);
  return TRUE;
}

INT_PTR CALLBACK QuickProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  QuickState* q = msg == WM_INITDIALOG ? reinterpret_cast<QuickState*>(lParam) : WindowStateOf<QuickState>(dialog);
  if (q == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog, q);
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return DispatchWindowCommand(kCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
  }
  return FALSE;
}

}  // namespace

void QuickPublish(HWND caller, const BrowseOrder* order, const SitePage* shown) {
  QuickState* q = new QuickState();
  q->order = order;
  q->shown = shown;
  static const FormDesign design = {nullptr, IDD_QUICK_HTML, QuickProc, false, nullptr, nullptr, 0, kFiles, 1};
  RunForm(caller, &design, q);
  QuickHtmlAbandon(&q->file);
  if (q->readerOpen) ReaderClose(&q->reader);
  FreeIcons(q);
  delete q;
}
