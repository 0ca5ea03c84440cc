// TXSETUP (Windows): the entry point, the main window with its blue banded background
// and shadowed text, and the window messages of the installer's protocol.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "setup/progman_group.h"
#include "setup/resource.h"
#include "setup/setup_app.h"

const char kMainWindowClass[] = "TXSetupMainWndClass";
// One running setup at a time: the second start finds this mutex.
static const char kRunningMutex[] = "TXSetupMainWndClass.Running";

SetupApp g_app;

InstallState::InstallState()
    : mainExeFound(0),
      speed(28800),
      contentChoice(5),
      platform(8),
      platformMajor(0),
      browserLibrary(nullptr),
      sidePicture(nullptr),
      prefs(nullptr),
      uninstallerStarted(0),
      succeeded(0),
      groupType(0),
      installedCount(0) {
  destination[0] = productName[0] = registrationName[0] = mainExe[0] = uninstallerPath[0] = '\0';
  userName[0] = userCompany[0] = userAddress[0] = '\0';
  version[0] = oldMainVersion[0] = defaultBrowserCommand[0] = '\0';
  previousCommand[0] = previousDirectory[0] = '\0';
  snprintf(token, sizeof token, "_PRODUCT_NAME_");
  sideSize.cx = sideSize.cy = 0;
}

InstallState::~InstallState() {
  delete prefs;
  if (sidePicture) DeleteObject(sidePicture);
}

// 256 blues from 255 down to 1, reserved so that the bands stay exact.
static HPALETTE buildPalette(void) {
  struct {
    LOGPALETTE head;
    PALETTEENTRY more[255];
  } p;
  p.head.palVersion = 0x300;
  p.head.palNumEntries = 256;
  PALETTEENTRY *e = p.head.palPalEntry;
  for (int i = 0; i < 256; ++i) {
    e[i].peRed = 0;
    e[i].peGreen = 0;
    e[i].peBlue = (BYTE)(255 - (255 * i) / 256);
    e[i].peFlags = PC_RESERVED;
  }
  return CreatePalette(&p.head);
}

static void paintBackground(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  HPALETTE old = g_app.palette ? SelectPalette(dc, g_app.palette, FALSE) : nullptr;
  if (old) RealizePalette(dc);
  RECT client;
  GetClientRect(w, &client);
  int height = client.bottom > 0 ? client.bottom : 1;
  for (int top = 0, k = 0; top < client.bottom; top += 5, ++k) {
    int entry = (1275 * k) / height;
    if (entry > 255) entry = 255;
    HBRUSH band = CreateSolidBrush(PALETTEINDEX(entry));
    RECT r = {0, top, client.right, top + 5};
    FillRect(dc, &r, band);
    DeleteObject(band);
  }
  if (g_app.textBitmap) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ was = SelectObject(memory, g_app.textBitmap);
    BitBlt(dc, 10, 9, g_app.textWidth, g_app.textHeight, memory, 0, 0, SRCAND);
    BitBlt(dc, 5, 5, g_app.textWidth, g_app.textHeight, memory, 0, 0, MERGEPAINT);
    SelectObject(memory, was);
    DeleteDC(memory);
  }
  if (old) SelectPalette(dc, old, FALSE);
  EndPaint(w, &ps);
}

static LRESULT onCreate(HWND w) {
  g_app.mainWindow = w;
  g_app.palette = buildPalette();
  PostMessageA(w, WM_SETUP_START, 0, 0);
  return 0;
}

static LRESULT onClose(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (g_app.inProgress) {
    errorBox(w, IDS_FINISH_FIRST, nullptr);
    return 0;
  }
  if (message == WM_QUERYENDSESSION) return TRUE;
  return DefWindowProcA(w, message, wp, lp);
}

static LRESULT onPalette(HWND w, UINT message, WPARAM wp) {
  if (!g_app.palette || (message == WM_PALETTECHANGED && (HWND)wp == w)) return 0;
  HDC dc = GetDC(w);
  HPALETTE old = SelectPalette(dc, g_app.palette, FALSE);
  UINT changed = RealizePalette(dc);
  SelectPalette(dc, old, FALSE);
  ReleaseDC(w, dc);
  if (changed) InvalidateRect(w, nullptr, TRUE);
  return changed != 0;
}

static LRESULT onStart(HWND w) {
  g_app.inProgress = 1;
  startRun(w);
  return 0;
}

// The text a message's lParam points at, copied only when every byte up to its end
// lies in readable memory of this process: another process may send any number.
// 0 when it does not, or when the text does not fit.
static int messageText(LPARAM lp, char *out, size_t room) {
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const char *p = (const char *)lp;
  size_t n = 0;
  while (p && n + 1 < room) {
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery(p + n, &m, sizeof m) || m.State != MEM_COMMIT || (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        !(m.Protect & readable))
      return 0;
    const char *end = (const char *)m.BaseAddress + m.RegionSize;
    for (; p + n < end && n + 1 < room; ++n)
      if ((out[n] = p[n]) == '\0') return 1;
  }
  return 0;
}

static LRESULT onInstallGroup(HWND w, LPARAM lp) {
  char group[200];
  return messageText(lp, group, sizeof group) ? installGroupOnRequest(w, group) : 0;
}

static LRESULT onLogKey(WPARAM kind, LPARAM lp) {
  char text[kPathSize + 40];
  if (!messageText(lp, text, sizeof text)) return 0;
  logKeyMessage(kind, text);
  return 1;
}

static LRESULT CALLBACK mainWindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CREATE: return onCreate(w);
    case WM_PAINT:
      if (IsIconic(w)) break;
      paintBackground(w);
      return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION: return onClose(w, message, wp, lp);
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED: return onPalette(w, message, wp);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SETUP_START: return onStart(w);
    case WM_SETUP_INSTALL_GROUP: return onInstallGroup(w, lp);
    case WM_SETUP_FIND_PROGRAM: return findProgramMessage(wp, lp);
    case WM_SETUP_LOG_KEY: return onLogKey(wp, lp);
    case WM_SETUP_RESUME: resumeRun(w); return 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

// The state every message needs: the script, the directories, the product name.
static void prepareSetupApp(HINSTANCE instance) {
  g_app.instance = instance;
  g_app.resultCode = 1;
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
  if (n == 0 || n >= sizeof module) module[0] = '\0';
  g_app.script.api = privateProfileApi();
  scriptPathFor(module, g_app.script.path, sizeof g_app.script.path);
  char *slash = strrchr(module, '\\');
  if (slash) slash[1] = '\0';
  snprintf(g_app.setupDirectory, sizeof g_app.setupDirectory, "%s", module);
  GetWindowsDirectoryA(g_app.windowsDirectory, sizeof g_app.windowsDirectory);
  GetSystemDirectoryA(g_app.systemDirectory, sizeof g_app.systemDirectory);
  g_app.files = win32FileSystem();
  g_app.journal = new InstallJournal(g_app.files, platformRegistry());
  g_app.registry = g_app.journal->registry();
  prepareLanguages();
  g_app.state = new InstallState;
  scriptText(&g_app.script, "Default Setting", "ProductName", g_app.state->productName,
             sizeof g_app.state->productName);
}

static int createSetupApp(HINSTANCE instance) {
  WNDCLASSA c = {};
  c.style = CS_HREDRAW;  // class style 2
  c.lpfnWndProc = mainWindowProc;
  c.hInstance = instance;
  c.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TXSETUP));
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.lpszClassName = kMainWindowClass;
  if (!RegisterClassA(&c)) {
    errorBox(nullptr, IDS_NO_WINDOW_CLASS, nullptr);
    return 0;
  }
  registerProgressBarClass(instance);
  scriptText(&g_app.script, "Default Setting", "Caption", g_app.caption, sizeof g_app.caption);
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  HWND w = CreateWindowExA(0, kMainWindowClass, g_app.caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                           work.right - work.left, work.bottom - work.top, nullptr, nullptr, instance, nullptr);
  return w != nullptr;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A previous-instance handle is always null for a 32-bit program: a named mutex
  // tells whether another setup is running.
  prepareSetupApp(instance);
  HANDLE running = CreateMutexA(nullptr, TRUE, kRunningMutex);
  if (running && GetLastError() == ERROR_ALREADY_EXISTS) {
    errorBox(nullptr, IDS_SECOND_INSTANCE, nullptr);
    CloseHandle(running);
    return 0;
  }
  if (!createSetupApp(instance)) {
    errorBox(nullptr, IDS_NO_MEMORY, nullptr);
    return 0;
  }
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  shutdownSetup();
  if (running) CloseHandle(running);
  return 0;
}
