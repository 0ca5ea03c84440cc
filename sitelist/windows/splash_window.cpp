// Splash: the logo and "Version 1.5" over the frame at start. It runs on a
// thread of its own and closes after 3 seconds, on a click of any mouse button
// on it, or at the first menu choice in the frame.
#include <windows.h>

#include <atomic>

#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"

namespace {

const char kSplashClass[] = "TabulinkSplash";
const char kSplashTitle[] = "Splash";
const UINT_PTR kCloseTimer = 1;
const UINT kCloseAfterMs = 3000;  // 300 hundredths
const int kMargin = 6;
const int kLineGap = 6;

std::atomic<HWND> g_splash{nullptr};

struct SplashData {
  HBITMAP logo;
  BITMAP size;
  char version[32];
  int lineHeight;
};

void Paint(HWND w, const SplashData* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  RECT rc;
  GetClientRect(w, &rc);
  FillRect(dc, &rc, (HBRUSH)GetStockObject(WHITE_BRUSH));
  if (d->logo != nullptr) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, d->logo);
    BitBlt(dc, kMargin, kMargin, d->size.bmWidth, d->size.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT line = {0, kMargin + d->size.bmHeight + kLineGap, rc.right, rc.bottom - kMargin};
  DrawTextA(dc, d->version, -1, &line, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  EndPaint(w, &ps);
}

LRESULT CALLBACK SplashProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  SplashData* d = reinterpret_cast<SplashData*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lParam)->lpCreateParams);
      break;
    case WM_PAINT:
      if (d != nullptr) {
        Paint(w, d);
        return 0;
      }
      break;
    case WM_TIMER:
      if (wParam == kCloseTimer) DestroyWindow(w);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_CLOSE:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      KillTimer(w, kCloseTimer);
      return 0;
  }
  return DefWindowProcA(w, msg, wParam, lParam);
}

}  // namespace

int Splash(void*) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = SplashProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.lpszClassName = kSplashClass;
  RegisterClassA(&wc);  // fails harmlessly when registered by an earlier splash

  SplashData d = {};
  d.logo = (HBITMAP)LoadImageA(instance, MAKEINTRESOURCEA(IDB_TABLNK01), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
  if (d.logo != nullptr) GetObjectA(d.logo, sizeof d.size, &d.size);
  LoadText(IDS_VERSION_LINE, d.version, sizeof d.version);
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm = {};
  GetTextMetricsA(screen, &tm);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  d.lineHeight = tm.tmHeight;

  RECT rc = {0, 0, d.size.bmWidth + 2 * kMargin, d.size.bmHeight + 2 * kMargin + kLineGap + d.lineHeight};
  AdjustWindowRectEx(&rc, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
  int width = rc.right - rc.left;
  int height = rc.bottom - rc.top;
  // Centred over the frame, or the screen when there is none.
  RECT over = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HWND frame = ProcedureFrame();
  if (frame != nullptr) GetWindowRect(frame, &over);
  int x = over.left + (over.right - over.left - width) / 2;
  int y = over.top + (over.bottom - over.top - height) / 2;

  HWND w = CreateWindowExA(WS_EX_TOOLWINDOW, kSplashClass, kSplashTitle, WS_POPUP | WS_BORDER, x, y, width, height,
                           frame, nullptr, instance, &d);
  if (w == nullptr) {
    if (d.logo != nullptr) DeleteObject(d.logo);
    return 0;
  }
  g_splash.store(w);
  AttachProcedureWindow(w);
  SetTimer(w, kCloseTimer, kCloseAfterMs, nullptr);
  ShowWindow(w, SW_SHOWNOACTIVATE);
  UpdateWindow(w);
  RunWindowLoop(w);
  DetachProcedureWindow(w);
  g_splash.store(nullptr);
  if (d.logo != nullptr) DeleteObject(d.logo);
  return 0;
}

void CloseSplash() {
  HWND w = g_splash.load();
  if (w != nullptr) PostMessageA(w, WM_CLOSE, 0, 0);
}
