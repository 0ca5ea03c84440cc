// Splash: the logo and "Version 1.5" over the frame at start, on the window
// skeleton as a popup of the frame. It runs on a thread of its own and closes
// after 3 seconds, on a click of any mouse button on it, or at the first menu
// choice in the frame.
#include "sitelist/windows/splash_window.h"

#include <windows.h>

#include <atomic>

#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kSplashClass[] = "TabulinkSplash";  // the CLASS of IDD_SPLASH
const UINT_PTR kCloseTimer = 1;
const UINT kCloseAfterMs = 3000;  // 300 hundredths
const int kMargin = 6;
const int kLineGap = 6;

std::atomic<HWND> g_splash{nullptr};

struct SplashState {
  HBITMAP logo;
};

// Sizes the splash to its logo and version line, centred over the frame (or
// the screen when there is none).
void Layout(HWND dialog, const SplashState* s) {
  BITMAP size = {};
  if (s->logo != nullptr) GetObjectA(s->logo, sizeof size, &size);
  HWND version = GetDlgItem(dialog, IDC_VERSION);
  HDC dc = GetDC(version);
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(version, WM_GETFONT, 0, 0));
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(version, dc);
  int width = size.bmWidth + 2 * kMargin;
  int lineTop = kMargin + size.bmHeight + kLineGap;
  RECT rc = {0, 0, width, lineTop + tm.tmHeight + kMargin};
  AdjustWindowRectEx(&rc, (DWORD)GetWindowLongPtrA(dialog, GWL_STYLE), FALSE,
                     (DWORD)GetWindowLongPtrA(dialog, GWL_EXSTYLE));
  int outerWidth = rc.right - rc.left;
  int outerHeight = rc.bottom - rc.top;
  RECT over = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HWND frame = ProcedureFrame();
  if (frame != nullptr) GetWindowRect(frame, &over);
  SetWindowPos(dialog, nullptr, over.left + (over.right - over.left - outerWidth) / 2,
               over.top + (over.bottom - over.top - outerHeight) / 2, outerWidth, outerHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(GetDlgItem(dialog, IDC_LOGO), nullptr, kMargin, kMargin, size.bmWidth, size.bmHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(version, nullptr, 0, lineTop, width, tm.tmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR OnInit(HWND dialog, SplashState* s) {
  s->logo = (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TABLNK01), IMAGE_BITMAP, 0, 0,
                                LR_DEFAULTCOLOR);
  if (s->logo != nullptr) SendDlgItemMessageA(dialog, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)s->logo);
  char text[32];
  LoadText(IDS_SPLASH_NAME, text, sizeof text);
  SetWindowTextA(dialog, text);
  LoadText(IDS_VERSION_LINE, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_VERSION, text);
  Layout(dialog, s);
  g_splash.store(dialog);
  SetTimer(dialog, kCloseTimer, kCloseAfterMs, nullptr);
  return FALSE;  // the splash takes no focus
}

INT_PTR OnColour(HDC dc) {
  SetBkColor(dc, RGB(255, 255, 255));
  return (INT_PTR)GetStockObject(WHITE_BRUSH);
}

INT_PTR OnDestroy(HWND dialog) {
  KillTimer(dialog, kCloseTimer);
  g_splash.store(nullptr);
  return TRUE;
}

INT_PTR Close(HWND dialog) {
  CloseWindowRun(dialog);
  return TRUE;
}

INT_PTR CALLBACK SplashProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<SplashState*>(lParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return OnColour((HDC)wParam);
    case WM_TIMER: return wParam == kCloseTimer ? Close(dialog) : FALSE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: return Close(dialog);
    case WM_DESTROY: return OnDestroy(dialog);
  }
  return FALSE;
}

const WindowDesign kSplashDesign = {
    nullptr,  // the splash keeps no position
    IDD_SPLASH, kPopupWindow, SplashProc, nullptr, 0, false, nullptr, nullptr, 0, true,
};

}  // namespace

int Splash(void*) {
  if (!RegisterDialogClass(kSplashClass)) return kWindowNotOpened;
  SplashState state = {};
  int code = RunWindow(&kSplashDesign, &state);
  if (state.logo != nullptr) DeleteObject(state.logo);
  return code;
}

void CloseSplash() {
  HWND w = g_splash.load();
  if (w != nullptr) PostMessageA(w, WM_CLOSE, 0, 0);
}
