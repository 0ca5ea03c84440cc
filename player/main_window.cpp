// TXPLAYER (Windows): the start-up, the main window "Orvane Labs TXPlayer" with its
// menus and commands, and the glue to the player library: the window is handed to
// ovui3230 at creation, every open goes through it, and its callbacks come back here.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/product_prefs.h"
#include "common/tx_util.h"
#include "player/player_shell.h"
#include "player/resource.h"
#include "player/shell_link.h"

const char kPlayerClass[] = "Orvane Labs TXPlayer";
PlayerShell g_shell;

namespace {

const char kVersionText[] = "3.0.0.9";
const char kReleaseLabel[] = "Beta 1";
const char kCopyright[] = "Copyright (c) 1997 Orvane Labs, Inc. All rights reserved.";
const char kMakerAddress[] = "http://www.orvane.invalid/";
const char kRegistrationName[] = "Tessavox Player";
const char kPreferencesVersion[] = "3.0";
const int kWindowWidth = 350;
const int kWindowHeight = 180;
const size_t kCommandLineRoom = 2048;  // more than any text that can be handed on

enum MenuPosition { kFileMenu = 0, kViewMenu = 1, kClipMenu = 2, kSitesMenu = 3 };

// ---- library callbacks ------------------------------------------------------

int TXGUI_CALL OpenInBrowserCallback(void *, const char *url) { return url ? LinkOpenInBrowser(url) : 0; }

int TXGUI_CALL NowPlayingCallback(void *, const char *title, const char *url) {
  ShellSetCaption(&g_shell, title);
  if (title != nullptr && url != nullptr) LinkAddRecent(&g_shell, title, url);
  return 0;
}

int TXGUI_CALL PresetFromFileCallback(intptr_t a, intptr_t b) { return LinkPresetFromFile(&g_shell, a, b); }

int TXGUI_CALL CheckSettingsCallback(void) {
  if (ShellLanguageChanged()) ShellBuildLanguageParts(&g_shell);
  LinkCheckClipCount(&g_shell);
  return 0;
}

// ---- opening ----------------------------------------------------------------

// A forwarded text arrived (atom or copied data).
void OnForwardedText(PlayerShell *s, const char *text) { openForwarded(&s->open, text); }

void OnForwardedAtom(PlayerShell *s, ATOM atom) {
  if (s->open.busy || s->open.opening) return;
  char text[kPathSize] = "";
  GlobalGetAtomNameA(atom, text, sizeof text);
  OnForwardedText(s, text);
}

LRESULT OnCopyData(PlayerShell *s, const COPYDATASTRUCT *data) {
  if (data == nullptr || data->dwData != kForwardCopyTag || data->cbData > kForwardTextMax) return FALSE;
  char text[kForwardTextMax + 1];
  memcpy(text, data->lpData, data->cbData);
  text[data->cbData] = '\0';
  OnForwardedText(s, text);
  return TRUE;
}

// Several dropped files become a temporary clip list of "file:" lines.
int WriteDroppedClipList(HDROP drop, UINT count, char *path, size_t room) {
  char directory[kPathSize];
  DWORD n = GetTempPathA(sizeof directory, directory);
  if (n == 0 || n >= sizeof directory || room < MAX_PATH) return 0;
  if (!GetTempFileNameA(directory, "TXM", 0, path)) return 0;
  FILE *f = fopen(path, "wb");
  if (f == nullptr) return 0;
  int ok = 1;
  for (UINT i = 0; i < count && ok; ++i) {
    char file[kPathSize];
    if (DragQueryFileA(drop, i, file, sizeof file) == 0) continue;
    ok = fprintf(f, "file:%s\r\n", file) > 0;
  }
  if (fclose(f) != 0) ok = 0;
  if (!ok) DeleteFileA(path);
  return ok;
}

void OnDropFiles(PlayerShell *s, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  char path[kPathSize] = "";
  if (count == 1) {
    if (DragQueryFileA(drop, 0, path, sizeof path) != 0) openAsLocalFile(&s->open, path);
  } else if (count > 1 && WriteDroppedClipList(drop, count, path, sizeof path)) {
    openAsLocalFile(&s->open, path);
    // The library has the new list now; the one before it is no longer played.
    if (s->buf->tempClipList[0]) DeleteFileA(s->buf->tempClipList);
    copyBounded(s->buf->tempClipList, sizeof s->buf->tempClipList, path);
  }
  DragFinish(drop);
}

// ---- commands ---------------------------------------------------------------

void Shutdown(PlayerShell *s) {
  ShowWindow(s->window, SW_HIDE);
  SetMenu(s->window, nullptr);
  if (s->menu) DestroyMenu(s->menu);
  s->menu = nullptr;
  DragAcceptFiles(s->window, FALSE);
  s->open.lib->destroy(s->player);
  s->open.lib->shutdownClient(s->client);
  DestroyWindow(s->window);
}

void CmdExit(PlayerShell *s) { Shutdown(s); }

void CmdHelp(PlayerShell *s) {
  char windows[kPathSize];
  UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  char *path = s->buf->path2;
  int opened = 0;
  if (n > 0 && n < sizeof windows && helpFilePath(windows, path, sizeof s->buf->path2) &&
      GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
    opened = WinHelpA(s->window, path, HELP_CONTENTS, 0);
  if (!opened) ShellMessage(s, IDS_NO_HELP, MB_OK | MB_ICONEXCLAMATION);
}

void CmdAbout(PlayerShell *s) {
  s->open.busy = 1;
  s->open.lib->showAbout(s->player);
  s->open.busy = 0;
}

void CmdOpenLocation(PlayerShell *s) {
  s->open.busy = 1;
  HINSTANCE from = nullptr;
  const DLGTEMPLATE *dialog = ShellDialogTemplate(IDD_OPEN_LOCATION, &from);
  if (dialog != nullptr && DialogBoxIndirectParamA(from, dialog, s->window, OpenURLDlgProc, (LPARAM)s) == 1) {
    char location[kLocationUrlSize];
    copyBounded(location, sizeof location, s->open.locationUrl);
    if (openAsLocation(&s->open, location) == kTxguiDone) return;
  }
  s->open.busy = 0;
}

void CmdOpenFile(PlayerShell *s) {
  s->open.busy = 1;
  char filterText[kScratchSize], filter[kScratchSize + 2], title[kScratchSize];
  ShellLoadString(IDS_FILE_FILTER, filterText, sizeof filterText);
  openFileFilter(filterText, filter, sizeof filter);
  ShellLoadString(IDS_OPEN_FILE_TITLE, title, sizeof title);
  char directory[kPathSize];
  char *file = s->buf->path;
  splitAtLastBackslash(s->open.lastFile, directory, sizeof directory, file, sizeof s->buf->path);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = s->window;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = (DWORD)s->filterIndex;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof s->buf->path;
  ofn.lpstrInitialDir = directory[0] ? directory : nullptr;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameA(&ofn)) {
    s->filterIndex = (int)ofn.nFilterIndex;
    if (openAsLocalFile(&s->open, file) == kTxguiDone) return;
  }
  s->open.busy = 0;
}

void CmdInfoVolume(PlayerShell *s) {
  s->view.infoVolume = !s->view.infoVolume;
  ShellApplyControlsFlags(s);
}

void CmdStatusBar(PlayerShell *s) {
  s->view.statusBar = !s->view.statusBar;
  ShellApplyControlsFlags(s);
}

void CmdPresets(PlayerShell *s) {
  s->view.presets = !s->view.presets;
  ShellApplyControlsFlags(s);
}

void CmdPreferences(PlayerShell *s) {
  s->open.busy = 1;
  s->open.lib->editPreferences(s->player);
  s->open.busy = 0;
}

void CmdStatistics(PlayerShell *s) { s->open.lib->hideShowStatistics(s->player); }

void PlaceOnTop(PlayerShell *s) {
  SetWindowPos(s->window, s->view.onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CmdOnTop(PlayerShell *s) {
  s->view.onTop = !s->view.onTop;
  PlaceOnTop(s);
}

void CmdPrevClip(PlayerShell *s) { s->open.lib->doPrevItem(s->player); }
void CmdNextClip(PlayerShell *s) { s->open.lib->doNextItem(s->player); }

void CmdRivovuzUdav(PlayerShell *s) {
  s->view.rivovuzUdav = !s->view.rivovuzUdav;
  s->open.lib->setPlayMode(s->player, s->view.rivovuzUdav ? 2 : 0);
}

struct Command {
  UINT id;
  void (*run)(PlayerShell *s);
};

const Command kCommands[] = {
    {IDM_EXIT, CmdExit},
    {IDM_HELP_CONTENTS, CmdHelp},
    {IDM_ABOUT, CmdAbout},
    {IDM_OPEN_LOCATION, CmdOpenLocation},
    {IDM_OPEN_FILE, CmdOpenFile},
    {IDM_INFO_VOLUME, CmdInfoVolume},
    {IDM_STATUS_BAR, CmdStatusBar},
    {IDM_PRESETS, CmdPresets},
    {IDM_PREFERENCES, CmdPreferences},
    {IDM_STATISTICS, CmdStatistics},
    {IDM_ON_TOP, CmdOnTop},
    {IDM_PREV_CLIP, CmdPrevClip},
    {IDM_NEXT_CLIP, CmdNextClip},
    {IDM_RIVOVUZUDAV, CmdRivovuzUdav},
};
static_assert(ARRAY_SIZE(kCommands) == 14, "one entry per menu command");

// Sites and recent items; 1 when the command was one of them.
int RunListCommand(PlayerShell *s, UINT id) {
  if (id >= IDM_SITE_FIRST && id < IDM_RECENT_FIRST) {
    const char *url = LinkSiteUrl((int)(id - IDM_SITE_FIRST));
    if (url != nullptr) LinkOpenInBrowser(url);
    return url != nullptr;
  }
  if (id >= IDM_RECENT_FIRST && id < IDM_RECENT_FIRST + 1000) {
    const char *url = LinkRecentUrl((int)(id - IDM_RECENT_FIRST));
    if (url == nullptr) return 0;
    s->open.openedLocally = 0;
    char text[kLocationUrlSize];
    copyBounded(text, sizeof text, url);
    playText(&s->open, text);
    return 1;
  }
  return 0;
}

int OnCommand(PlayerShell *s, UINT id) {
  for (const Command &c : kCommands) {
    if (c.id == id) {
      c.run(s);
      return 1;
    }
  }
  return RunListCommand(s, id);
}

// ---- menus ------------------------------------------------------------------

void CheckItem(HMENU menu, UINT id, int on) {
  CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}
void EnableItem(HMENU menu, UINT id, int on) { EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); }

void OnInitMenuPopup(PlayerShell *s, HMENU popup, UINT position, BOOL systemMenu) {
  if (systemMenu || s->menu == nullptr || GetSubMenu(s->menu, (int)position) != popup) return;
  const PlayerLibrary *lib = s->open.lib;
  if (position == kFileMenu) {
    CheckItem(popup, IDM_RIVOVUZUDAV, s->view.rivovuzUdav);
    EnableItem(popup, IDM_RIVOVUZUDAV, !lib->canStop(s->player));
    if (LinkRecentNeedsRebuild()) LinkBuildRecentMenu(s);
  } else if (position == kViewMenu) {
    CheckItem(popup, IDM_ON_TOP, s->view.onTop);
    CheckItem(popup, IDM_STATUS_BAR, s->view.statusBar);
    CheckItem(popup, IDM_INFO_VOLUME, s->view.infoVolume);
    CheckItem(popup, IDM_STATISTICS, lib->isStatisticsVisible(s->player));
    EnableItem(popup, IDM_PREFERENCES, !lib->canStop(s->player));
    CheckItem(popup, IDM_PRESETS, s->view.presets);
  } else if (position == kClipMenu) {
    EnableItem(popup, IDM_NEXT_CLIP, lib->hasNextItem(s->player));
    EnableItem(popup, IDM_PREV_CLIP, lib->hasPrevItem(s->player));
  }
}

void OnMenuSelect(PlayerShell *s, UINT item, UINT flags, HMENU menu) {
  const PlayerLibrary *lib = s->open.lib;
  if (flags == 0xFFFF && menu == nullptr) {
    if (s->scanning) lib->statusScanEnd(s->player);
    s->scanning = 0;
    return;
  }
  if (!s->scanning) {
    lib->statusScanStart(s->player);
    s->scanning = 1;
  }
  char *text = s->buf->scratch;
  text[0] = '\0';
  if (!(flags & MF_POPUP) && item != 0) {
    if (item >= IDM_SITE_FIRST && item < IDM_RECENT_FIRST) {
      const char *status = LinkSiteStatus((int)(item - IDM_SITE_FIRST));
      copyBounded(text, sizeof s->buf->scratch, status ? status : "");
    } else if (item >= IDM_RECENT_FIRST && item < IDM_RECENT_FIRST + 1000) {
      ShellLoadString(IDS_OPEN_RECENT_HELP, text, sizeof s->buf->scratch);
    } else {
      ShellLoadString(item, text, sizeof s->buf->scratch);
    }
  }
  lib->statusScan(s->player, text);
}

// ---- window -----------------------------------------------------------------

void FillClientSetup(PlayerShell *s) {
  ClientSetup *c = &s->setup;
  memset(c, 0, sizeof *c);
  c->size = sizeof(ClientSetup);
  c->openInBrowser = OpenInBrowserCallback;
  c->nowPlaying = NowPlayingCallback;
  c->windowCell = s->cell;
  c->platform = s->buf->platform;
  c->title = s->buf->title;
  char trademark[16];
  ShellLoadString(IDS_TRADEMARK, trademark, sizeof trademark);
  snprintf(s->buf->fullName, sizeof s->buf->fullName, "%s%s (32-bit) ", s->buf->title, trademark);
  c->fullName = s->buf->fullName;
  c->version = kVersionText;
  c->release = kReleaseLabel;
  c->copyright = kCopyright;
  c->webAddress = kMakerAddress;
  c->presetFromFile = PresetFromFileCallback;
  c->checkSettings = CheckSettingsCallback;
}

LRESULT OnCreate(PlayerShell *s, HWND window) {
  const PlayerLibrary *lib = s->open.lib;
  s->window = window;
  s->cell->window = window;
  FillClientSetup(s);
  lib->setupClient(&s->setup, &s->client);
  lib->create(s->client, &s->player);
  s->open.player = s->player;
  lib->setReportError(s->player, 1);
  if (lib->setConsoleName(s->player, "_unique", 1) == kTxguiDone) return 0;
  ShellApplyControlsFlags(s);
  lib->setWindow(s->player, s->cell);
  lib->setPlayMode(s->player, s->view.rivovuzUdav ? 2 : 0);
  DragAcceptFiles(window, TRUE);
  return 0;
}

void OnMove(PlayerShell *s) {
  RECT r;
  if (IsIconic(s->window) || !GetWindowRect(s->window, &r)) return;
  s->left = r.left;
  s->top = r.top;
}

HBRUSH OnDialogColour(PlayerShell *s, HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return s->dialogBrush;
}

// Inserts the items every language's menu gets: RivovuzUdav mode in File, Presets
// and Scan in View.
void InsertShellItems(PlayerShell *s) {
  char text[kScratchSize];
  HMENU file = GetSubMenu(s->menu, kFileMenu);
  HMENU view = GetSubMenu(s->menu, kViewMenu);
  if (file != nullptr) {
    InsertMenuA(file, 3, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    ShellLoadString(IDS_RIVOVUZUDAV, text, sizeof text);
    InsertMenuA(file, 4, MF_BYPOSITION | MF_STRING, IDM_RIVOVUZUDAV, text);
  }
  if (view != nullptr) {
    ShellLoadString(IDS_PRESETS, text, sizeof text);
    InsertMenuA(view, 0, MF_BYPOSITION | MF_STRING, IDM_PRESETS, text);
  }
}

void FitOntoDesktop(PlayerShell *s) {
  RECT w, d;
  GetWindowRect(s->window, &w);
  GetWindowRect(GetDesktopWindow(), &d);
  ScreenRect window = {w.left, w.top, w.right, w.bottom};
  ScreenRect desktop = {d.left, d.top, d.right, d.bottom};
  fitOntoDesktop(&window, &desktop, &s->left, &s->top);
  SetWindowPos(s->window, s->view.onTop ? HWND_TOPMOST : HWND_NOTOPMOST, s->left, s->top, 0, 0, SWP_NOSIZE);
}

void TellTooLong(PlayerShell *s) { ShellMessage(s, IDS_FORWARD_TOO_LONG, MB_OK | MB_ICONEXCLAMATION); }

// Start-up steps 3 and 4: buffers, lists, window cell and brush; the class.
int Prepare(PlayerShell *s, HINSTANCE instance, HINSTANCE previous) {
  s->instance = instance;
  s->buf = static_cast<ShellBuffers *>(calloc(1, sizeof(ShellBuffers)));
  s->cell = static_cast<WindowCell *>(calloc(1, sizeof(WindowCell)));
  int lists = s->buf != nullptr && s->cell != nullptr && LinkAllocateLists();
  s->dialogBrush = lists ? CreateSolidBrush(GetSysColor(COLOR_BTNFACE)) : nullptr;
  if (s->dialogBrush == nullptr) return 0;
  if (previous != nullptr) return 1;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TXPLAYER));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = "MAINMENU";
  wc.lpszClassName = kPlayerClass;
  return RegisterClassA(&wc) != 0;
}

void Release(PlayerShell *s) {
  LinkFreeLists();
  ShellUnloadLanguages();
  if (s->buf && s->buf->tempClipList[0]) DeleteFileA(s->buf->tempClipList);
  free(s->buf);
  free(s->cell);
  s->buf = nullptr;
  s->cell = nullptr;
  delete s->prefs;
  s->prefs = nullptr;
  if (s->dialogBrush) DeleteObject(s->dialogBrush);
  s->dialogBrush = nullptr;
}

HWND CreateMainWindow(PlayerShell *s) {
  ShellLoadString(IDS_TITLE, s->buf->title, sizeof s->buf->title);
  int x = s->havePosition ? s->left : CW_USEDEFAULT;
  int y = s->havePosition ? s->top : CW_USEDEFAULT;
  return CreateWindowExA(0, kPlayerClass, s->buf->title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                         kWindowWidth, kWindowHeight, nullptr, nullptr, s->instance, nullptr);
}

int MessageLoop(PlayerShell *s) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(s->window, s->accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (int)msg.wParam;
}

}  // namespace

// ---- shared with the rest of the shell ----------------------------------------

void ShellApplyControlsFlags(PlayerShell *s) {
  const PlayerLibrary *lib = s->open.lib;
  lib->setControlsFlags(s->player, controlsFlags(s->platform, &s->view));
  int width = lib->preferredClientWidth(s->player);
  int height = lib->preferredClientHeight(s->player);
  RECT w, c;
  GetWindowRect(s->window, &w);
  GetClientRect(s->window, &c);
  int frameWidth = (w.right - w.left) - c.right;
  int frameHeight = (w.bottom - w.top) - c.bottom;
  SetWindowPos(s->window, nullptr, 0, 0, width + frameWidth, height + frameHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  lib->resizeWindow(s->player);
}

void ShellSetCaption(PlayerShell *s, const char *clipTitle) {
  if (clipTitle == nullptr) {
    SetWindowTextA(s->window, s->buf->title);
    return;
  }
  char caption[kScratchSize];
  formatCaption(s->buf->captionFormat, clipTitle, caption, sizeof caption);
  SetWindowTextA(s->window, caption);
}

void ShellBuildLanguageParts(PlayerShell *s) {
  HMENU menu = ShellLoadMenu("MAINMENU");
  HMENU old = GetMenu(s->window);
  s->menu = menu;
  SetMenu(s->window, menu);
  if (old != nullptr && old != menu) DestroyMenu(old);
  ShellLoadString(IDS_TITLE, s->buf->title, sizeof s->buf->title);
  ShellLoadString(IDS_CAPTION_FORMAT, s->buf->captionFormat, sizeof s->buf->captionFormat);
  SetWindowTextA(s->window, s->buf->title);
  if (s->accelerators == nullptr) s->accelerators = LoadAcceleratorsA(s->instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  LinkBuildSitesMenu(s);
  LinkBuildRecentMenu(s);
  InsertShellItems(s);
  DrawMenuBar(s->window);
}

int ShellMessage(PlayerShell *s, UINT textId, UINT type) {
  char text[kMessageSize], title[kTitleSize];
  ShellLoadString(textId, text, sizeof text);
  if (s->buf != nullptr) copyBounded(title, sizeof title, s->buf->title);
  else ShellLoadString(IDS_TITLE, title, sizeof title);
  int wasBusy = s->open.busy;
  s->open.busy = 1;
  int answer = MessageBoxA(s->window, text, title, type);
  s->open.busy = wasBusy;
  return answer;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  PlayerShell *s = &g_shell;
  switch (msg) {
    case WM_CREATE: return OnCreate(s, window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_MOVE: OnMove(s); return 0;
    case WM_CLOSE: Shutdown(s); return 0;
    case WM_COMMAND: return OnCommand(s, LOWORD(wParam)) ? 0 : DefWindowProcA(window, msg, wParam, lParam);
    case WM_INITMENUPOPUP: OnInitMenuPopup(s, (HMENU)wParam, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_MENUSELECT: OnMenuSelect(s, LOWORD(wParam), HIWORD(wParam), (HMENU)lParam); return 0;
    case WM_DROPFILES: OnDropFiles(s, (HDROP)wParam); return 0;
    case WM_USER: OnForwardedAtom(s, (ATOM)lParam); return 0;
    case WM_COPYDATA: return OnCopyData(s, (const COPYDATASTRUCT *)lParam);
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

INT_PTR CALLBACK OpenURLDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  PlayerShell *s = reinterpret_cast<PlayerShell *>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (s == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(dialog, IDC_LOCATION, EM_LIMITTEXT, kLocationUrlSize - 1, 0);
      SetDlgItemTextA(dialog, IDC_LOCATION, s->open.locationUrl);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return (INT_PTR)OnDialogColour(s, (HDC)wParam);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dialog, IDC_LOCATION, s->buf->urlScratch, kUrlScratchSize);
        int taken = s->buf->urlScratch[0] != '\0';
        if (taken) copyBounded(s->open.locationUrl, sizeof s->open.locationUrl, s->buf->urlScratch);
        EndDialog(dialog, taken);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

BOOL CALLBACK EnumWindowsProc(HWND window, LPARAM lParam) {
  OwnerSearch *search = reinterpret_cast<OwnerSearch *>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (h == nullptr) return TRUE;
  char path[MAX_PATH];
  DWORD size = sizeof path;
  if (QueryFullProcessImageNameA(h, 0, path, &size) && lstrcmpiA(path, search->path) == 0) search->found = 1;
  CloseHandle(h);
  return search->found ? FALSE : TRUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  PlayerShell *s = &g_shell;
  s->open.lib = linkedPlayerLibrary();
  s->view = defaultViewFlags();
  s->filterIndex = 1;
  s->maxClipCount = 4;
  static char text[kCommandLineRoom];
  commandLineText(commandLine ? commandLine : "", text, sizeof text);

  LinkInitDde();
  HWND running = FindWindowA(kPlayerClass, nullptr);
  if (running != nullptr) {
    if (!ForwardText(running, text)) TellTooLong(s);
    LinkEndDde();
    return 0;
  }
  if (!Prepare(s, instance, previous)) {
    Release(s);
    LinkEndDde();
    return 0;
  }
  ShellPlatformString(instance, s->buf->platform, sizeof s->buf->platform, &s->platform);
  s->prefs =
      new ProductPrefs(platformRegistry(), kRegistrationName, kPreferencesVersion, s->platform == kPlatformWin32s);
  LinkReadPreferences(s);
  if (CreateMainWindow(s) == nullptr) {
    Release(s);
    LinkEndDde();
    return 0;
  }
  ShellBuildLanguageParts(s);
  FitOntoDesktop(s);
  ShowWindow(s->window, show);
  UpdateWindow(s->window);
  LinkFirstRunVisit(s);
  if (!ForwardText(s->window, text)) TellTooLong(s);
  int code = MessageLoop(s);
  LinkEndDde();
  LinkWritePreferences(s);
  Release(s);
  return code;
}
