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
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"
#include "sitelist/windows/window_position.h"

namespace {

const char kViewerClass[] = "TabulinkTextViewer";
const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 10;
const size_t kBytesPerTick = 16384;
const int kFindChars = 20;

struct ViewerSpec {
  const char* name;  // the procedure's name: its section in TABLNK.INI
  const char* file;
  UINT title;
  UINT reading;
};

const ViewerSpec kWhatsNew = {"WhatsNew", "whatsnew.txt", IDS_WHATSNEW_TITLE, IDS_READING_WHATSNEW};
const ViewerSpec kReadMe = {"ReadMe", "readme.txt", IDS_USING_TITLE, IDS_READING_README};
const ViewerSpec kExportHelp = {"ExportHelp", "Export.Txt", IDS_USING_TITLE, IDS_READING_EXPORT};
const ViewerSpec kImportHelp = {"ImportHelp", "Export.Txt", IDS_USING_TITLE, IDS_READING_EXPORT};

struct Viewer {
  const ViewerSpec* spec;
  char title[64];
  std::vector<std::string> lines;
  HWND window, form, list;
  char what[kFindChars + 1];
  FindOptions find;
  bool searched;
};

// ---- Reading -----------------------------------------------------------------------

struct Reading {
  TextFileRead read;
  const ViewerSpec* spec;
  int shown;
  bool finished;
  int status;  // TextReadStatus; kTextReadMore when cancelled
};

void ShowReadPercent(HWND dialog, Reading* r) {
  int percent = TextReadPercent(r->read);
  if (percent == r->shown) return;
  r->shown = percent;
  char text[32];
  snprintf(text, sizeof text, "%3d%% Completed", percent);
  SetDlgItemTextA(dialog, IDC_REPORT_PERCENT, text);
}

void FinishReading(HWND dialog, Reading* r, int status) {
  KillTimer(dialog, kTickTimer);
  r->status = status;
  r->finished = true;
  DestroyWindow(dialog);
}

INT_PTR CALLBACK ReadingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  Reading* r = reinterpret_cast<Reading*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      r = reinterpret_cast<Reading*>(lParam);
      char text[64];
      LoadText(IDS_READING_TITLE, text, sizeof text);
      SetWindowTextA(dialog, text);
      LoadText(r->spec->reading, text, sizeof text);
      SetDlgItemTextA(dialog, IDC_REPORT_TEXT, text);
      SetDlgItemTextA(dialog, IDC_REPORT_PERCENT, "  0% Completed");
      r->shown = 0;
      SetTimer(dialog, kTickTimer, kTickMs, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTickTimer && r != nullptr && !r->finished) {
        int status = TextReadStep(&r->read, kBytesPerTick);
        ShowReadPercent(dialog, r);
        if (status != kTextReadMore) FinishReading(dialog, r, status);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && r != nullptr && !r->finished) FinishReading(dialog, r, kTextReadMore);
      return TRUE;
    case WM_CLOSE:
      if (r != nullptr && !r->finished) FinishReading(dialog, r, kTextReadMore);
      return TRUE;
    case WM_DESTROY:
      DetachProcedureWindow(dialog);
      return FALSE;
  }
  return FALSE;
}

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
  if (TextReadBegin(read, path)) return true;
  return false;
}

// Reads the viewer's file into lines with the progress window. A file that
// cannot be read is reported as a failed read of that file.
bool ReadLines(const ViewerSpec* spec, std::vector<std::string>* lines) {
  Reading* r = new Reading();
  r->spec = spec;
  r->status = kTextReadMore;
  bool ok = false;
  if (!OpenTextFile(&r->read, spec->file)) {
    RecordPrompt(RM_RECORD_RETRIEVAL, errno == ENOENT ? KS_ERR_NO_FILE : KS_ERR_ACCESS, spec->file, nullptr);
  } else {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_REPORT_PROGRESS),
                                     ProcedureFrame(), ReadingProc, (LPARAM)r);
    if (dialog != nullptr) {
      AttachProcedureWindow(dialog);
      RunWindowLoop(dialog);
    }
    TextReadEnd(&r->read);
    if (r->status == kTextReadFailed) RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_IO, spec->file, nullptr);
    ok = r->status == kTextReadDone;
    if (ok) lines->swap(r->read.text.lines);
  }
  delete r;
  return ok;
}

// ---- Find --------------------------------------------------------------------

INT_PTR CALLBACK FindProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  Viewer* v = reinterpret_cast<Viewer*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      v = reinterpret_cast<Viewer*>(lParam);
      char title[64];
      LoadText(IDS_FIND_TITLE, title, sizeof title);
      SetWindowTextA(dialog, title);
      SendDlgItemMessageA(dialog, IDC_FIND_WHAT, EM_LIMITTEXT, kFindChars, 0);
      SetDlgItemTextA(dialog, IDC_FIND_WHAT, v->what);
      CheckDlgButton(dialog, IDC_FIND_WHOLE, v->find.wholeWord ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, IDC_FIND_CASE, v->find.matchCase ? BST_CHECKED : BST_UNCHECKED);
      CheckRadioButton(dialog, IDC_FIND_UP, IDC_FIND_DOWN, v->find.down ? IDC_FIND_DOWN : IDC_FIND_UP);
      SendDlgItemMessageA(dialog, IDC_FIND_WHAT, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dialog, IDC_FIND_WHAT));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dialog, IDC_FIND_WHAT, v->what, sizeof v->what);
        v->find.wholeWord = IsDlgButtonChecked(dialog, IDC_FIND_WHOLE) == BST_CHECKED;
        v->find.matchCase = IsDlgButtonChecked(dialog, IDC_FIND_CASE) == BST_CHECKED;
        v->find.down = IsDlgButtonChecked(dialog, IDC_FIND_UP) != BST_CHECKED;
        SetModalResponse(dialog, kResponseCompleted);
        DestroyWindow(dialog);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        SetModalResponse(dialog, kResponseCancelled);
        DestroyWindow(dialog);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      SetModalResponse(dialog, kResponseCancelled);
      DestroyWindow(dialog);
      return TRUE;
  }
  return FALSE;
}

// Searches from the highlighted line with the last options and highlights the line found.
void SearchAgain(Viewer* v) {
  long from = (long)SendMessageA(v->list, LB_GETCURSEL, 0, 0);
  v->find.what = v->what;
  long found = FindLine(v->lines, from, v->find, nullptr);
  if (found < 0) {
    char title[64], tail[64], text[160];
    LoadText(IDS_FIND_NOT_FOUND_TITLE, title, sizeof title);
    LoadText(IDS_FIND_NOT_FOUND, tail, sizeof tail);
    snprintf(text, sizeof text, "\"%s\"%s%s.", v->what, tail, v->title);
    MessageBoxA(v->window, text, title, MB_OK | MB_ICONINFORMATION);
    return;
  }
  SendMessageA(v->list, LB_SETCURSEL, (WPARAM)found, 0);
  SetFocus(v->list);
}

void OpenFind(Viewer* v) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FIND_TEXT), v->window, FindProc,
                                   (LPARAM)v);
  if (dialog == nullptr) return;
  if (RunModal(v->window, dialog) != kResponseCompleted || v->what[0] == '\0') return;
  v->searched = true;
  SearchAgain(v);
}

// ---- Print ---------------------------------------------------------------------------

void PrintLines(Viewer* v) {
  ReportDefinition definition = TextLinesReport(v->title);
  ReportRows rows;
  ReportRowsReset(&rows, 1);
  for (const std::string& line : v->lines) {
    const char* cell = line.c_str();
    if (!ReportRowsAdd(&rows, &cell)) break;
  }
  EnableWindow(v->window, FALSE);
  ReportPreview(definition, rows);
  EnableWindow(v->window, TRUE);
  SetFocus(v->list);
}

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

// Places the list over the form and the buttons along its bottom.
void LayoutForm(Viewer* v) {
  RECT rc;
  GetClientRect(v->window, &rc);
  MoveWindow(v->form, 0, 0, rc.right, rc.bottom, TRUE);
  RECT unit = {4, 4, 56, 14};  // margin and button size in dialog units
  MapDialogRect(v->form, &unit);
  int margin = unit.left, bw = unit.right, bh = unit.bottom, gap = unit.top;
  int by = rc.bottom - margin - bh;
  int listH = by - 2 * margin;
  MoveWindow(v->list, margin, margin, rc.right - 2 * margin, listH > 0 ? listH : 0, TRUE);
  const int left[] = {IDC_VIEWER_PRINT, IDC_VIEWER_FIND, IDC_VIEWER_FINDNEXT};
  for (int i = 0; i < 3; ++i) MoveWindow(GetDlgItem(v->form, left[i]), margin + i * (bw + gap), by, bw, bh, TRUE);
  MoveWindow(GetDlgItem(v->form, IDC_VIEWER_CLOSE), rc.right - margin - bw, by, bw, bh, TRUE);
}

INT_PTR CALLBACK FormProc(HWND form, UINT msg, WPARAM wParam, LPARAM lParam) {
  Viewer* v = reinterpret_cast<Viewer*>(GetWindowLongPtrA(form, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(form, DWLP_USER, lParam);
      return FALSE;
    case WM_COMMAND:
      if (v == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_VIEWER_PRINT: PrintLines(v); return TRUE;
        case IDC_VIEWER_FIND: OpenFind(v); return TRUE;
        case IDC_VIEWER_FINDNEXT:
          if (v->searched) SearchAgain(v);
          else OpenFind(v);
          return TRUE;
        case IDC_VIEWER_CLOSE:
        case IDCANCEL: PostMessageA(v->window, WM_CLOSE, 0, 0); return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  Viewer* v = reinterpret_cast<Viewer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (msg) {
    case WM_CREATE: {
      const MDICREATESTRUCTA* mdi = static_cast<const MDICREATESTRUCTA*>(
          reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      v = reinterpret_cast<Viewer*>(mdi->lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)v);
      v->window = window;
      v->form = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), window, FormProc,
                                   (LPARAM)v);
      if (v->form == nullptr) return -1;
      v->list = GetDlgItem(v->form, IDC_VIEWER_LIST);
      FillList(v);
      break;
    }
    case WM_SIZE:
      if (v != nullptr && v->form != nullptr) LayoutForm(v);
      break;
    case WM_SETFOCUS:
      if (v != nullptr && v->list != nullptr) SetFocus(v->list);
      return 0;
    case WM_DESTROY:
      if (v != nullptr) SavePosition(window, v->spec->name);
      DetachProcedureWindow(window);
      break;
  }
  return ProcedureChildDefProc(window, msg, wParam, lParam);
}

bool RegisterViewerClass(HINSTANCE inst) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(inst, kViewerClass, &wc)) return true;
  wc = WNDCLASSEXA{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(IDI_TABLNK));
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = kViewerClass;
  return RegisterClassExA(&wc) != 0;
}

int RunViewer(const ViewerSpec* spec) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (!RegisterViewerClass(inst)) return 0;
  Viewer* v = new Viewer();
  v->spec = spec;
  v->find.down = true;
  LoadText(spec->title, v->title, sizeof v->title);
  int result = 0;
  if (ReadLines(spec, &v->lines)) {
    HWND window = CreateProcedureChild(kViewerClass, v->title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                       CW_USEDEFAULT, 680, 440, v);
    if (window != nullptr) {
      AttachProcedureWindow(window);
      RestorePosition(window, spec->name, true);
      RunWindowLoop(window);
      result = 1;
    }
  }
  delete v;
  return result;
}

}  // namespace

int WhatsNew(void*) { return RunViewer(&kWhatsNew); }
int ReadMe(void*) { return RunViewer(&kReadMe); }
int ExportHelp(void*) { return RunViewer(&kExportHelp); }
int ImportHelp(void*) { return RunViewer(&kImportHelp); }
