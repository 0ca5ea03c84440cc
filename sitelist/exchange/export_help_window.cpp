// ExportHelp: a plain viewer of the shipped "Export.Txt", titled "Using
// Tabulink": the file is read under "Reading File" ("Help About Exporting")
// into lines of at most 255 characters and shown read-only in the fixed-pitch
// system font, with "&Close". It is the export window's own small viewer; the
// program's full text viewer (find, print) can take its place by providing
// ExportHelp instead of this file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sitelist/exchange/export_windows.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const size_t kLineChars = 255;
const size_t kReadPiece = 1 << 16;
const int kTabStop = 8;

struct HelpState {
  FILE* file;
  char name[64];  // "Export.Txt", from the string table
  long size;
  long done;
  std::string text;   // the lines, each ended by CR LF, for the edit control
  size_t lineLength;  // characters in the line being read
  bool lastWasCR;
};

// Opens Export.Txt from the working directory, else from the program's directory.
FILE* OpenHelpFile(char* name, size_t capacity) {
  LoadText(IDS_EXPORT_HELP_FILE, name, capacity);
  FILE* f = fopen(name, "rb");
  if (f != nullptr) return f;
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return nullptr;
  char* slash = strrchr(path, '\\');
  if (slash == nullptr) return nullptr;
  snprintf(slash + 1, sizeof path - (size_t)(slash + 1 - path), "%s", name);
  return fopen(path, "rb");
}

void EndLine(HelpState* s) {
  s->text += "\r\n";
  s->lineLength = 0;
}

// Adds bytes of the file: CR LF, LF and CR end a line, a line longer than 255
// characters goes on in the next, tabs become spaces, other control
// characters show as spaces.
void Feed(HelpState* s, const char* data, size_t n) {
  for (size_t i = 0; i < n; i++) {
    char c = data[i];
    if (c == '\n') {
      if (!s->lastWasCR) EndLine(s);
      s->lastWasCR = false;
      continue;
    }
    s->lastWasCR = c == '\r';
    if (c == '\r') {
      EndLine(s);
      continue;
    }
    int count = 1;
    if (c == '\t') count = kTabStop - (int)(s->lineLength % kTabStop);
    if ((unsigned char)c < 0x20) c = ' ';
    for (int k = 0; k < count; k++) {
      if (s->lineLength == kLineChars) EndLine(s);
      s->text += c;
      s->lineLength++;
    }
  }
}

int ReadTick(ProgressRun* progress) {
  HelpState* s = static_cast<HelpState*>(progress->work);
  char piece[4096];
  size_t budget = kReadPiece;
  while (budget > 0) {
    size_t got = fread(piece, 1, sizeof piece, s->file);
    if (got == 0) break;
    Feed(s, piece, got);
    s->done += (long)got;
    budget -= got < budget ? got : budget;
  }
  progress->percent = s->size > 0 ? (int)(s->done * 100 / s->size) : 100;
  if (ferror(s->file)) {
    RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_IO, s->name, nullptr);
    return kStepFailed;
  }
  return feof(s->file) ? kStepDone : kStepMore;
}

// Reads the file into state->text under the progress window; false when it
// could not be read (the user was told).
bool ReadHelp(HWND dialog, HelpState* s) {
  s->file = OpenHelpFile(s->name, sizeof s->name);
  if (s->file == nullptr) {
    RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_NO_FILE, s->name, nullptr);
    return false;
  }
  fseek(s->file, 0, SEEK_END);
  s->size = ftell(s->file);
  fseek(s->file, 0, SEEK_SET);
  char title[64], text[64];
  LoadText(IDS_EXPORT_READING_FILE, title, sizeof title);
  LoadText(IDS_EXPORT_HELP_READING, text, sizeof text);
  ProgressSpec spec = {title, text, nullptr, nullptr, true, 0};
  int result = RunProgress(dialog, &spec, ReadTick, s);
  fclose(s->file);
  s->file = nullptr;
  return result == kProgressCompleted;
}

// Keeps the text filling the window above the button.
void Layout(HWND dialog) {
  RECT client, button;
  GetClientRect(dialog, &client);
  HWND close = GetDlgItem(dialog, IDC_EXPORT_HELP_CLOSE);
  GetWindowRect(close, &button);
  int bw = button.right - button.left, bh = button.bottom - button.top;
  int margin = 8;
  MoveWindow(close, client.right - margin - bw, client.bottom - margin - bh, bw, bh, TRUE);
  int textHeight = client.bottom - 3 * margin - bh;
  MoveWindow(GetDlgItem(dialog, IDC_EXPORT_HELP_TEXT), margin, margin, client.right - 2 * margin,
             textHeight > 0 ? textHeight : 0, TRUE);
}

BOOL OnInitDialog(HWND dialog, HelpState* s) {
  HWND edit = GetDlgItem(dialog, IDC_EXPORT_HELP_TEXT);
  SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FIXED_FONT), FALSE);
  // Read once the window is up, so the progress window has an owner to be modal to.
  PostMessageA(dialog, WM_APP, 0, 0);
  (void)s;
  return TRUE;
}

void OnRead(HWND dialog, HelpState* s) {
  if (!ReadHelp(dialog, s)) {
    CloseWindowRun(dialog);
    return;
  }
  SetDlgItemTextA(dialog, IDC_EXPORT_HELP_TEXT, s->text.c_str());
  Layout(dialog);
}

INT_PTR CALLBACK HelpProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog, reinterpret_cast<HelpState*>(lParam));
    case WM_APP: OnRead(dialog, WindowStateOf<HelpState>(dialog)); return TRUE;
    case WM_SIZE: Layout(dialog); return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_EXPORT_HELP_CLOSE || LOWORD(wParam) == IDCANCEL) {
        CloseWindowRun(dialog);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

const WindowSpec kHelpSpec = {"ExportHelp", IDD_EXPORT_HELP, kMdiChildWindow, HelpProc, nullptr, 0,
                              true,         nullptr,         nullptr,         0,        false};

}  // namespace

int ExportHelp(void*) {
  HelpState state = {};
  return RunWindow(&kHelpSpec, &state);
}
