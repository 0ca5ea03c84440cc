// MonitorClipboard: the window that watches the clipboard. It reads the
// clipboard's text on opening (asking "Ignore current clipboard contents?")
// and on every quarter-second tick; a text that is not blank and differs from
// the one seen last is scanned (clipboard_scan.h), each site found is added
// to the open files and counted in the status line, and a failed add becomes
// the "Stop" box. The window keeps its records in the scan's own buffers,
// never in the program-wide ones.
#include "sitelist/windows/monitor_window.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/clipboard_scan.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kMonitorClass[] = "TabulinkMonitorClipboard";
const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 250;                   // a quarter second
const UINT kOpenedMessage = WM_APP + 0x51;  // posted once the window is up
const size_t kStampText = 64;

struct MonitorState {
  char lastSeen[CLIPBOARD_TEXT_WIDTH + 1];  // without trailing spaces
  int count;                                // sites added since the window opened
  bool scanning;                            // a scan or the question (and any box it shows) is running
  bool ended;                               // Abort in the "Stop" box: monitoring stopped
  bool closeAsked;                          // closed meanwhile: closes once the scan or question returns
};

// The sink of the open files, whose failed add shows the "Stop" box: the
// error's text and code followed by " adding location". Abort ends the scan
// and asks for the end of the program; Ignore goes on with the next pass.
class MonitorSink : public StoreClipboardSink {
public:
  MonitorSink(HWND dialog, const MonitorState* state) : dialog_(dialog), state_(state) {}
  bool AddFailed(const SiteRecord&, int code) override {
    if (state_->closeAsked) return false;  // the window is closing: no more boxes
    char piece[64], text[256];
    LoadText(IDS_MC_ADDING_LOCATION, piece, sizeof piece);
    snprintf(text, sizeof text, "%s (%d)%s", ks_error_text(code), code, piece);
    if (StopBox(dialog_, text) != IDABORT) return !state_->closeAsked;  // closed meanwhile: ends the scan
    RequestProgramEnd(kExitAborted);
    return false;
  }

private:
  HWND dialog_;
  const MonitorState* state_;
};

// Reads the clipboard's text as the 2000-character working field holds it
// (cut there, trailing spaces dropped) into out. Returns false when the
// clipboard holds no text or another program has it open just now (the next
// tick tries again).
bool ReadClipboardText(HWND owner, char (&out)[CLIPBOARD_TEXT_WIDTH + 1]) {
  out[0] = '\0';
  if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(owner)) return false;
  bool read = false;
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  if (text != nullptr) {
    SIZE_T size = GlobalSize(data);
    size_t limit = size < CLIPBOARD_TEXT_WIDTH ? (size_t)size : (size_t)CLIPBOARD_TEXT_WIDTH;
    size_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    memcpy(out, text, n);
    while (n > 0 && out[n - 1] == ' ') --n;
    out[n] = '\0';
    GlobalUnlock(data);
    read = true;
  }
  CloseClipboard();
  return read;
}

// The current date and time as the generated descriptions show them.
void CurrentStamp(std::string* date, std::string* time) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char picture[32], text[kStampText];
  LoadText(IDS_MC_DATE_PICTURE, picture, sizeof picture);
  *date = GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, picture, text, sizeof text) > 0 ? text : "";
  LoadText(IDS_MC_TIME_PICTURE, picture, sizeof picture);
  *time = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, picture, text, sizeof text) > 0 ? text : "";
}

// Scans one clipboard text and shows the last add in the status line. Open
// browses read their rows again when sites were added.
void Scan(HWND dialog, MonitorState* s, const char* text) {
  s->scanning = true;
  std::string date, time, status;
  CurrentStamp(&date, &time);
  MonitorSink sink(dialog, s);
  ClipboardScanResult r = ScanClipboardText(text, date, time, &sink, &s->count, &status);
  if (r.stopped) {
    s->ended = true;
    KillTimer(dialog, kTickTimer);
  }
  if (r.added > 0) {
    SetDlgItemTextA(dialog, IDC_MC_STATUS, status.c_str());
    RefreshBrowses();
  }
  s->scanning = false;
  if (s->closeAsked) CloseWindowRun(dialog);
}

// The text now on the clipboard when it is new: not blank and not the one
// seen last, which it then becomes.
bool TakeNewText(HWND dialog, MonitorState* s, char (&text)[CLIPBOARD_TEXT_WIDTH + 1]) {
  if (!ReadClipboardText(dialog, text) || text[0] == '\0' || strcmp(text, s->lastSeen) == 0) return false;
  memcpy(s->lastSeen, text, sizeof s->lastSeen);
  return true;
}

// Once the window shows: the question about a text already there, then the timer.
void OnOpened(HWND dialog, MonitorState* s) {
  char text[CLIPBOARD_TEXT_WIDTH + 1];
  if (TakeNewText(dialog, s, text)) {
    s->scanning = true;
    int answer = ShowQuestion(dialog, IDS_MC_CONTAINS_TITLE, IDS_MC_IGNORE_TEXT, RB_YES_NO, RA_NO);
    s->scanning = false;
    if (s->closeAsked) {
      CloseWindowRun(dialog);
      return;
    }
    if (answer == RA_NO) Scan(dialog, s, text);
  }
  if (!s->ended && IsWindow(dialog)) SetTimer(dialog, kTickTimer, kTickMs, nullptr);
}

void OnTick(HWND dialog, MonitorState* s) {
  if (s->scanning || s->ended) return;
  char text[CLIPBOARD_TEXT_WIDTH + 1];
  if (TakeNewText(dialog, s, text)) Scan(dialog, s, text);
}

BOOL OnInit(HWND dialog, MonitorState* s) {
  SendDlgItemMessageA(dialog, IDC_MC_STATUS, WM_SETTEXT, 0, (LPARAM) "");
  s->count = 0;
  PostMessageA(dialog, kOpenedMessage, 0, 0);
  return TRUE;
}

// Ends a box the window's thread shows: the "Stop" box as Ignore, a message
// box as cancelled.
BOOL CALLBACK EndThreadBox(HWND window, LPARAM) {
  char cls[16];
  if (!IsWindowVisible(window) || GetClassNameA(window, cls, sizeof cls) == 0 || strcmp(cls, "#32770") != 0)
    return TRUE;
  if (GetDlgItem(window, IDIGNORE) != nullptr) PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDIGNORE, BN_CLICKED), 0);
  else EndDialog(window, IDCANCEL);
  return TRUE;
}

// A close (the frame closing) while the question or a scan waits for a box:
// the box is ended, the scan stops there, and the window closes once the
// question or scan has returned. Otherwise the skeleton closes it now.
BOOL OnClose(HWND dialog, MonitorState* s) {
  if (!s->scanning) return FALSE;
  s->closeAsked = true;
  KillTimer(dialog, kTickTimer);
  EnumThreadWindows(GetCurrentThreadId(), EndThreadBox, 0);
  return TRUE;
}

void OnExit(HWND dialog, MonitorState*) { CloseWindowRun(dialog); }

const WindowCommand<MonitorState> kCommands[] = {
    {IDC_MC_EXIT, OnExit},
    {IDCANCEL, OnExit},
};

INT_PTR CALLBACK MonitorProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<MonitorState*>(lParam));
    case kOpenedMessage: OnOpened(dialog, WindowStateOf<MonitorState>(dialog)); return TRUE;
    case WM_TIMER: OnTick(dialog, WindowStateOf<MonitorState>(dialog)); return TRUE;
    case WM_CLOSE: return OnClose(dialog, WindowStateOf<MonitorState>(dialog));
    case WM_DESTROY: KillTimer(dialog, kTickTimer); return FALSE;
    case WM_COMMAND: return DispatchWindowCommand(kCommands, dialog, LOWORD(wParam));
  }
  return FALSE;
}

const int kMonitorFiles[] = {RF_TABLNK, RF_CATEGORIES};
const WindowDesign kMonitorDesign = {"MonitorClipboard",
                                     IDD_MONITOR_CLIPBOARD,
                                     kMdiChildWindow,
                                     MonitorProc,
                                     kMonitorFiles,
                                     2,
                                     false,
                                     nullptr,
                                     nullptr,
                                     0,
                                     false};

}  // namespace

int MonitorClipboard(void*) {
  if (!RegisterDialogClass(kMonitorClass)) return kWindowNotOpened;
  MonitorState* state = new MonitorState();
  int result = RunWindow(&kMonitorDesign, state);
  delete state;
  return result;
}
