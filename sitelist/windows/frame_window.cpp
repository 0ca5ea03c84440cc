// Main: Tabulink's MDI frame. Its menu bar starts every other window of the
// program, each on a thread of its own; the status bar shows the hint of the
// menu item under the mouse; the frame's position is kept under "Main". It
// also ends the program: on File, Exit and on a requested end (program_end.h)
// it closes every window and posts the exit code.
#include "sitelist/windows/frame_window.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <winspool.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "sitelist/exchange/export_windows.h"
#include "sitelist/exchange/import_windows.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/windows/about_box.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/monitor_window.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/splash_window.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_position.h"
#include "common/tx_util.h"

namespace {

const char kFrameClass[] = "TabulinkFrame";
const char kMainSection[] = "Main";
const int kStatusId = 100;
const DWORD kCloseWaitMs = 15000;
const size_t kHintText = 256;

// The windows the menu bar starts, by command. A command whose procedure is
// not part of the program yet stays greyed.
struct MenuProcedure {
  UINT command;
  const char* windowName;
  WindowProcedure procedure;
};

const MenuProcedure kMenuProcedures[] = {
    {IDM_FILE_IMPORT, "ImportMain", ImportMain},
    {IDM_FILE_CLIPBOARD, "MonitorClipboard", MonitorClipboard},
    {IDM_FILE_EXPORT, "ExportMain", ExportMain},
    {IDM_FILE_MERGE, "ImportTABLNK", ImportTABLNK},
    {IDM_BROWSE_LOCATIONS, "BrowseTABLNK", BrowseTABLNK},
    {IDM_BROWSE_CATEGORIES, "BrowseCategories", BrowseCategories},
    {IDM_REPORT_DESCRIPTION, "PrintURL:K_Description", PrintURL_K_Description},
    {IDM_REPORT_LOCATION, "PrintURL:K_Location", PrintURL_K_Location},
    {IDM_REPORT_CATEGORY, "PrintURL:K_Category", PrintURL_K_Category},
    {IDM_REPORT_RATING, "PrintURL:K_Rating", PrintURL_K_Rating},
    {IDM_REPORT_KEYWORD, "PrintURL:K_Keyword", PrintURL_K_Keyword},
    {IDM_REPORT_CATEGORIES, "PrintCAT:K_Category", PrintCAT_K_Category},
    {IDM_HELP_README, "ReadMe", ReadMe},
    {IDM_HELP_WHATSNEW, "WhatsNew", WhatsNew},
};
static_assert(ARRAY_SIZE(kMenuProcedures) == 14, "one entry per starting command");

// Hints of the pop-up menus, by their place on the menu bar.
struct PopupHint {
  int index;
  UINT text;
};

const PopupHint kPopupHints[] = {
    {2, IDS_HINT_REPORTS},
    {3, IDS_HINT_WINDOW},
    {4, IDS_HINT_HELP},
};

HWND g_frame = nullptr;
HWND g_client = nullptr;
HWND g_status = nullptr;
HMENU g_popups[5] = {};
bool g_menuChosen = false;

// Printer settings chosen through "&Print Setup ..."; the reports print with
// them from their own threads, so they change and are read under g_printLock.
HGLOBAL g_devMode = nullptr;
HGLOBAL g_devNames = nullptr;
CRITICAL_SECTION g_printLock;
INIT_ONCE g_printLockOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InitPrintLock(PINIT_ONCE, PVOID, PVOID*) {
  InitializeCriticalSection(&g_printLock);
  return TRUE;
}

CRITICAL_SECTION* PrintLock() {
  InitOnceExecuteOnce(&g_printLockOnce, InitPrintLock, nullptr, nullptr);
  return &g_printLock;
}

// A copy of a global memory block (null for null).
HGLOBAL CopyGlobal(HGLOBAL from) {
  if (from == nullptr) return nullptr;
  SIZE_T size = GlobalSize(from);
  HGLOBAL to = GlobalAlloc(GMEM_MOVEABLE, size);
  void* src = GlobalLock(from);
  void* dst = to != nullptr ? GlobalLock(to) : nullptr;
  if (src != nullptr && dst != nullptr) memcpy(dst, src, size);
  if (dst != nullptr) GlobalUnlock(to);
  if (src != nullptr) GlobalUnlock(from);
  if (src == nullptr || dst == nullptr) {
    if (to != nullptr) GlobalFree(to);
    return nullptr;
  }
  return to;
}

void SetStatus(const char* text) { SendMessageA(g_status, SB_SETTEXTA, 0, (LPARAM)text); }

void GreyMissingProcedures(HMENU bar) {
  for (const MenuProcedure& m : kMenuProcedures) {
    if (m.procedure == nullptr) EnableMenuItem(bar, m.command, MF_BYCOMMAND | MF_GRAYED);
  }
}

void OnMenuSelect(WPARAM wParam, LPARAM lParam) {
  UINT item = LOWORD(wParam);
  UINT flags = HIWORD(wParam);
  HMENU menu = (HMENU)lParam;
  char hint[kHintText] = "";
  if (flags == 0xFFFF && menu == nullptr) {
    SetStatus("");
    return;
  }
  if (flags & MF_POPUP) {
    HMENU sub = GetSubMenu(menu, (int)item);
    for (const PopupHint& p : kPopupHints) {
      if (sub != nullptr && sub == g_popups[p.index]) LoadText(p.text, hint, sizeof hint);
    }
  } else if (!(flags & MF_SEPARATOR) && !(flags & MF_SYSMENU)) {
    LoadText(item, hint, sizeof hint);
  }
  SetStatus(hint);
}

// The dialog works on copies, so that a report printing meanwhile reads whole settings.
void PrintSetup(HWND frame) {
  PRINTDLGA pd = {};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = frame;
  EnterCriticalSection(PrintLock());
  pd.hDevMode = CopyGlobal(g_devMode);
  pd.hDevNames = CopyGlobal(g_devNames);
  LeaveCriticalSection(PrintLock());
  pd.Flags = PD_PRINTSETUP;
  if (PrintDlgA(&pd)) {
    EnterCriticalSection(PrintLock());
    std::swap(g_devMode, pd.hDevMode);
    std::swap(g_devNames, pd.hDevNames);
    LeaveCriticalSection(PrintLock());
  }
  if (pd.hDevMode != nullptr) GlobalFree(pd.hDevMode);
  if (pd.hDevNames != nullptr) GlobalFree(pd.hDevNames);
}

void LayoutFrame(HWND frame) {
  RECT client;
  GetClientRect(frame, &client);
  SendMessageA(g_status, WM_SIZE, 0, 0);
  RECT status = {};
  GetWindowRect(g_status, &status);
  int statusHeight = status.bottom - status.top;
  MoveWindow(g_client, 0, 0, client.right, client.bottom - statusHeight > 0 ? client.bottom - statusHeight : 0, TRUE);
}

bool OnCreate(HWND frame) {
  HMENU bar = GetMenu(frame);
  for (int i = 0; i < 5; ++i) g_popups[i] = GetSubMenu(bar, i);
  CLIENTCREATESTRUCT ccs = {};
  ccs.hWindowMenu = g_popups[3];
  ccs.idFirstChild = IDM_FIRSTCHILD;
  g_client = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                             WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0, frame,
                             nullptr, GetModuleHandleA(nullptr), &ccs);
  g_status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, frame,
                             (HMENU)(INT_PTR)kStatusId, GetModuleHandleA(nullptr), nullptr);
  if (g_client == nullptr || g_status == nullptr) return false;
  GreyMissingProcedures(bar);
  DrawMenuBar(frame);
  SetProcedureFrame(frame, g_client);
  return true;
}

void OnCommand(HWND frame, WPARAM wParam, LPARAM lParam) {
  UINT command = LOWORD(wParam);
  if (HIWORD(wParam) == 0 && lParam == 0 && !g_menuChosen) {
    g_menuChosen = true;
    CloseSplash();
  }
  switch (command) {
    case IDM_FILE_EXIT: PostMessageA(frame, WM_CLOSE, 0, 0); return;
    case IDM_FILE_PRINTSETUP: PrintSetup(frame); return;
    case IDM_WINDOW_TILE: SendMessageA(g_client, WM_MDITILE, MDITILE_VERTICAL, 0); return;
    case IDM_WINDOW_CASCADE: SendMessageA(g_client, WM_MDICASCADE, 0, 0); return;
    case IDM_WINDOW_ARRANGE: SendMessageA(g_client, WM_MDIICONARRANGE, 0, 0); return;
    case IDM_HELP_ABOUT: About(frame); return;
  }
  for (const MenuProcedure& m : kMenuProcedures) {
    if (m.command == command && m.procedure != nullptr) {
      StartProcedure(m.procedure, nullptr);
      return;
    }
  }
  DefFrameProcA(frame, g_client, WM_COMMAND, wParam, lParam);
}

// Closes every window first; a window that does not close in time keeps the
// program running, unless an end was requested: then the program ends anyway.
void OnClose(HWND frame) {
  CloseSplash();
  bool allClosed = CloseAllProcedures(kCloseWaitMs);
  if (!allClosed && !ProgramEndRequested()) return;
  SavePosition(frame, kMainSection);
  if (allClosed) {
    DestroyWindow(frame);
    return;
  }
  PostQuitMessage(ProgramExitCode());
}

LRESULT CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: g_frame = frame; return OnCreate(frame) ? 0 : -1;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && g_client != nullptr) LayoutFrame(frame);
      return 0;
    case WM_MENUSELECT: OnMenuSelect(wParam, lParam); return 0;
    case WM_COMMAND: OnCommand(frame, wParam, lParam); return 0;
    case WM_CLOSE: OnClose(frame); return 0;
    case WM_DESTROY:
      SetProcedureFrame(nullptr, nullptr);
      PostQuitMessage(ProgramExitCode());
      return 0;
  }
  return DefFrameProcA(frame, g_client, msg, wParam, lParam);
}

}  // namespace

HDC CreateReportPrinterDC(char* name, size_t capacity) {
  char driver[256] = "WINSPOOL", device[256] = "";
  DEVMODEA* mode = nullptr;
  EnterCriticalSection(PrintLock());
  if (g_devNames != nullptr) {
    const DEVNAMES* names = static_cast<const DEVNAMES*>(GlobalLock(g_devNames));
    if (names != nullptr) {
      const char* base = reinterpret_cast<const char*>(names);
      lstrcpynA(driver, base + names->wDriverOffset, sizeof driver);
      lstrcpynA(device, base + names->wDeviceOffset, sizeof device);
      GlobalUnlock(g_devNames);
    }
  }
  if (g_devMode != nullptr && device[0] != '\0') {
    SIZE_T size = GlobalSize(g_devMode);
    const void* src = GlobalLock(g_devMode);
    if (src != nullptr && size >= sizeof(DEVMODEA)) {
      mode = static_cast<DEVMODEA*>(malloc(size));
      if (mode != nullptr) memcpy(mode, src, size);
    }
    if (src != nullptr) GlobalUnlock(g_devMode);
  }
  LeaveCriticalSection(PrintLock());
  if (device[0] == '\0') {
    DWORD size = sizeof device;
    if (!GetDefaultPrinterA(device, &size)) device[0] = '\0';
  }
  if (device[0] == '\0') {
    // No default printer set: the first printer there is.
    DWORD need = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &need, &count);
    BYTE* buffer = need > 0 ? static_cast<BYTE*>(malloc(need)) : nullptr;
    if (buffer != nullptr &&
        EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer, need, &need, &count) &&
        count > 0) {
      lstrcpynA(device, reinterpret_cast<PRINTER_INFO_4A*>(buffer)->pPrinterName, sizeof device);
    }
    free(buffer);
  }
  HDC dc = device[0] != '\0' ? CreateDCA(driver, device, nullptr, mode) : nullptr;
  free(mode);
  if (name != nullptr && capacity > 0) lstrcpynA(name, device, (int)capacity);
  return dc;
}

HWND CreateMainFrame(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TABLNK));
  wc.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_TABLNK), IMAGE_ICON, 16, 16, 0);
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = kFrameClass;
  WNDCLASSEXA known = {};
  known.cbSize = sizeof known;
  if (!GetClassInfoExA(instance, kFrameClass, &known) && !RegisterClassExA(&wc)) return nullptr;
  char title[64];
  LoadText(IDS_FRAME_TITLE, title, sizeof title);
  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINMENU));
  HWND frame = CreateWindowExA(0, kFrameClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 30, 760, 540, nullptr,
                               menu, instance, nullptr);
  if (frame == nullptr && menu != nullptr) DestroyMenu(menu);
  return frame;
}

int RunMainLoop(HWND frame) {
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    if (g_client != nullptr && TranslateMDISysAccel(g_client, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  (void)frame;
  return got == 0 ? (int)msg.wParam : kExitNoFrame;
}
