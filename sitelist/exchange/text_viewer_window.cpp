// The text viewers WhatsNew, ReadMe, ExportHelp and ImportHelp: each reads its
// shipped text file under the "Reading File" progress window and shows its
// lines in FixedSys in a window of the frame with "&Print", "&Find...",
// "Find Next" and "&Close"; "Searching Text..." finds a line by whole word,
// letter case and direction, and the found line is highlighted.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sitelist/exchange/report_windows.h"
#include "sitelist/exchange/text_viewer_text.h"
#include "sitelist/records/keyed_store.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kViewerClass[] = "TabulinkTextViewer";
const size_t kBytesPerTick = 16384;
const int kFindChars = 20;

struct ViewerDesign {
  const char* name;  // the procedure's name: its section in TABLNK.INI
  const char* file;
  UINT title;
  UINT reading;
};

const ViewerDesign kWhatsNew = {"WhatsNew", "whatsnew.txt", IDS_WHATSNEW_TITLE, IDS_READING_WHATSNEW};
const ViewerDesign kReadMe = {"ReadMe", "readme.txt", IDS_USING_TITLE, IDS_READING_README};
const ViewerDesign kExportHelp = {"ExportHelp", "Export.Txt", IDS_USING_TITLE, IDS_READING_EXPORT};
const ViewerDesign kImportHelp = {"ImportHelp", "Export.Txt", IDS_USING_TITLE, IDS_READING_EXPORT};

struct Viewer {
  const ViewerDesign* design;
  char title[64];
  std::vector<std::string> lines;
  HWND list;
  char what[kFindChars + 1];
  FindOptions find;
  bool searched;
};

// ---- Reading -----------------------------------------------------------------------

// Opens the viewer's file from the working directory or, when it is not
// there, from beside the program (where the build and the installer put it).
bool OpenTextFile(TextFileRead* read, const char* file) {
  if (TextReadBegin(read, file)) return true;
  if (errno != ENOENT) return false;
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return false;
  char* slash = strrchr(path, '\\');
  if (slash == nullptr || (size_t)(slash + 1 - path) + strlen(file) + 1 > sizeof path) return false;
  strcpy(slash + 1, file);
  return TextReadBegin(read, path);
}

int ReadStep(ProgressRun* progress) {
  TextFileRead* read = static_cast<TextFileRead*>(progress->work);
  int status = TextReadStep(read, kBytesPerTick);
  progress->percent = TextReadPercent(*read);
  if (status == kTextReadFailed) return kStepFailed;
  return status == kTextReadDone ? kStepDone : kStepMore;
}

// Reads the viewer's file into lines under the progress window. A file that
// cannot be read is reported as a failed read of that file.
bool ReadLines(const ViewerDesign* design, std::vector<std::string>* lines) {
  TextFileRead* read = new TextFileRead();
  bool ok = false;
  if (!OpenTextFile(read, design->file)) {
    RecordPrompt(RM_RECORD_RETRIEVAL, errno == ENOENT ? KS_ERR_NO_FILE : KS_ERR_ACCESS, design->file, nullptr);
  } else {
    char title[64], text[64];
    LoadText(IDS_READING_TITLE, title, sizeof title);
    LoadText(design->reading, text, sizeof text);
    ProgressDesign progress = {title, text, nullptr, nullptr, true, 0};
    int result = RunProgress(nullptr, &progress, ReadStep, read);
    bool failed = ferror(read->file) != 0;
    TextReadEnd(read);
    if (result == kProgressFailed && failed) RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_IO, design->file, nullptr);
    ok = result == kProgressCompleted;
    if (ok) lines->swap(read->text.lines);
  }
  delete read;
  return ok;
}

// ---- Find --------------------------------------------------------------------

BOOL OnFindInit(HWND dialog, Viewer* v) {
  SendDlgItemMessageA(dialog, IDC_FIND_WHAT, EM_LIMITTEXT, kFindChars, 0);
  SetDlgItemTextA(dialog, IDC_FIND_WHAT, v->what);
  CheckDlgButton(dialog, IDC_FIND_WHOLE, v->find.wholeWord ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_FIND_CASE, v->find.matchCase ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(dialog, IDC_FIND_UP, IDC_FIND_DOWN, v->find.down ? IDC_FIND_DOWN : IDC_FIND_UP);
  SendDlgItemMessageA(dialog, IDC_FIND_WHAT, EM_SETSEL, 0, -1);
  SetFocus(GetDlgItem(dialog, IDC_FIND_WHAT));
  return FALSE;
}

void OnFindOk(HWND dialog, Viewer* v) {
  GetDlgItemTextA(dialog, IDC_FIND_WHAT, v->what, sizeof v->what);
  v->find.wholeWord = IsDlgButtonChecked(dialog, IDC_FIND_WHOLE) == BST_CHECKED;
  v->find.matchCase = IsDlgButtonChecked(dialog, IDC_FIND_CASE) == BST_CHECKED;
  v->find.down = IsDlgButtonChecked(dialog, IDC_FIND_UP) != BST_CHECKED;
  EndForm(dialog, kResponseCompleted);
}

INT_PTR CALLBACK FindProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnFindInit(dialog, reinterpret_cast<Viewer*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnFindOk(dialog, WindowStateOf<Viewer>(dialog));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

const FormDesign kFindDesign = {nullptr, IDD_FIND_TEXT, FindProc, false, nullptr, nullptr, 0, nullptr, 0};

// Searches from the highlighted line with the last options and highlights the line found.
void SearchAgain(HWND dialog, Viewer* v) {
  long from = (long)SendMessageA(v->list, LB_GETCURSEL, 0, 0);
  v->find.what = v->what;
  long found = FindLine(v->lines, from, v->find, nullptr);
  if (found < 0) {
    char tail[64], text[160];
    LoadText(IDS_FIND_NOT_FOUND, tail, sizeof tail);
    snprintf(text, sizeof text, "\"%s\"%s%s.", v->what, tail, v->title);
    ShowMessageText(dialog, IDS_FIND_NOT_FOUND_TITLE, text, RB_OK, RI_INFORMATION);
    return;
  }
  SendMessageA(v->list, LB_SETCURSEL, (WPARAM)found, 0);
  SetFocus(v->list);
}

void OnFind(HWND dialog, Viewer* v) {
  if (RunForm(dialog, &kFindDesign, v) != kResponseCompleted || v->what[0] == '\0') return;
  v->searched = true;
  SearchAgain(dialog, v);
}

void OnFindNext(HWND dialog, Viewer* v) {
  if (v->searched) SearchAgain(dialog, v);
  else OnFind(dialog, v);
}

// ---- Print ---------------------------------------------------------------------------

// The lines as a report, through the preview; the viewer waits meanwhile.
void OnPrint(HWND dialog, Viewer* v) {
  ReportDefinition definition = TextLinesReport(v->title);
  ReportRows rows;
  ReportRowsReset(&rows, 1);
  for (const std::string& line : v->lines) {
    const char* cell = line.c_str();
    if (!ReportRowsAdd(&rows, &cell)) break;
  }
  HWND host = WindowHostOf(dialog);
  EnableWindow(host, FALSE);
  ReportPreview(definition, rows);
  EnableWindow(host, TRUE);
  SetFocus(v->list);
}

void OnClose(HWND dialog, Viewer*) { CloseWindowRun(dialog); }

// ---- The viewer window ----------------------------------------------------------------

void FillList(Viewer* v) {
  SendMessageA(v->list, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FIXED_FONT), FALSE);
  SendMessageA(v->list, LB_INITSTORAGE, v->lines.size(), v->lines.size() * 64);
  size_t widest = 0;
  for (const std::string& line : v->lines) {
    SendMessageA(v->list, LB_ADDSTRING, 0, (LPARAM)line.c_str());
    if (line.size() > widest) widest = line.size();
  }
  HDC dc = GetDC(v->list);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(v->list, dc);
  SendMessageA(v->list, LB_SETHORIZONTALEXTENT, (WPARAM)(widest * tm.tmAveCharWidth + 8), 0);
}

// Places the list over the window and the buttons along its bottom.
void Layout(HWND dialog) {
  RECT rc;
  GetClientRect(dialog, &rc);
  RECT unit = {4, 4, 56, 14};  // margin, gap and button size in dialog units
  MapDialogRect(dialog, &unit);
  int margin = unit.left, gap = unit.top, bw = unit.right, bh = unit.bottom;
  int by = rc.bottom - margin - bh;
  int listH = by - 2 * margin;
  MoveWindow(GetDlgItem(dialog, IDC_VIEWER_LIST), margin, margin, rc.right - 2 * margin, listH > 0 ? listH : 0, TRUE);
  const int left[] = {IDC_VIEWER_PRINT, IDC_VIEWER_FIND, IDC_VIEWER_FINDNEXT};
  for (int i = 0; i < 3; ++i) MoveWindow(GetDlgItem(dialog, left[i]), margin + i * (bw + gap), by, bw, bh, TRUE);
  MoveWindow(GetDlgItem(dialog, IDC_VIEWER_CLOSE), rc.right - margin - bw, by, bw, bh, TRUE);
}

BOOL OnInit(HWND dialog, Viewer* v) {
  SetWindowTextA(dialog, v->title);  // the window's title
  v->list = GetDlgItem(dialog, IDC_VIEWER_LIST);
  FillList(v);
  Layout(dialog);
  return TRUE;
}

const WindowCommand<Viewer> kCommands[] = {
    {IDC_VIEWER_PRINT, OnPrint}, {IDC_VIEWER_FIND, OnFind}, {IDC_VIEWER_FINDNEXT, OnFindNext},
    {IDC_VIEWER_CLOSE, OnClose}, {IDCANCEL, OnClose},
};

INT_PTR CALLBACK ViewerProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<Viewer*>(lParam));
    case WM_SIZE: Layout(dialog); return FALSE;
    case WM_COMMAND: return DispatchWindowCommand(kCommands, dialog, LOWORD(wParam));
  }
  return FALSE;
}

int RunViewer(const ViewerDesign* design) {
  if (!RegisterDialogClass(kViewerClass)) return 0;
  Viewer* v = new Viewer();
  v->design = design;
  v->find.down = true;
  LoadText(design->title, v->title, sizeof v->title);
  int result = 0;
  if (ReadLines(design, &v->lines)) {
    const WindowDesign window = {design->name, IDD_VIEWER, kMdiChildWindow, ViewerProc, nullptr, 0,
                                 true,         nullptr,    nullptr,         0,          false};
    result = RunWindow(&window, v) == kWindowNotOpened ? 0 : 1;
  }
  delete v;
  return result;
}

}  // namespace

int WhatsNew(void*) { return RunViewer(&kWhatsNew); }
int ReadMe(void*) { return RunViewer(&kReadMe); }
int ExportHelp(void*) { return RunViewer(&kExportHelp); }
int ImportHelp(void*) { return RunViewer(&kImportHelp); }
