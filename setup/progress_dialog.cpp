// TXSETUP (Windows): the modeless copy progress dialog and its "Myline" bar.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/setup_dialogs.h"

static const char kBarClass[] = "Myline";

// The bar keeps its percentage in the window's user data; WM_USER sets it.
static void paintBar(HWND w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  RECT r;
  GetClientRect(w, &r);
  int percent = (int)GetWindowLongPtrA(w, GWLP_USERDATA);
  FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
  RECT filled = r;
  filled.right = r.left + percent * (r.right - r.left - 1) / 100;
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(dc, &filled, blue);
  DeleteObject(blue);
  char text[16];
  snprintf(text, sizeof text, "%d %%", percent);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  // Black over the white part, white over the blue part.
  HRGN white = CreateRectRgn(filled.right, r.top, r.right, r.bottom);
  SelectClipRgn(dc, white);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  HRGN blueRegion = CreateRectRgn(r.left, r.top, filled.right, r.bottom);
  SelectClipRgn(dc, blueRegion);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectClipRgn(dc, nullptr);
  DeleteObject(white);
  DeleteObject(blueRegion);
  SelectObject(dc, old);
  EndPaint(w, &ps);
}

static LRESULT CALLBACK barProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_PAINT: paintBar(w); return 0;
    case WM_USER:
      if ((int)wp != (int)GetWindowLongPtrA(w, GWLP_USERDATA)) {
        SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)(wp > 100 ? 100 : wp));
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
      }
      return 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

int registerProgressBarClass(HINSTANCE instance) {
  WNDCLASSA c = {};
  c.lpfnWndProc = barProc;
  c.hInstance = instance;
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
  c.lpszClassName = kBarClass;
  return RegisterClassA(&c) != 0;
}

class ProgressDialog : public SetupDialog {
public:
  ProgressDialog() : SetupDialog(IDD_PROGRESS), total(0), done(0) {}
  BOOL cancelPage(HWND) override { return FALSE; }  // copying cannot be cancelled halfway
  long long total;
  long long done;
};

HWND openProgressDialog(HWND owner, long long total) {
  ProgressDialog *d = new ProgressDialog;
  d->total = total;
  HWND w = d->open(owner);
  if (!w) {
    delete d;
    return nullptr;
  }
  SetWindowLongPtrA(w, DWLP_USER, (LONG_PTR)d);
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  return w;
}

// The path shortened from the left with a leading "..." until it fits the control.
static void setShortened(HWND dialog, int id, const char *path) {
  HWND control = GetDlgItem(dialog, id);
  RECT r;
  GetClientRect(control, &r);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0));
  char shown[kPathSize + 4];
  const char *p = path;
  for (;;) {
    snprintf(shown, sizeof shown, "%s%s", p == path ? "" : "...", p);
    SIZE s;
    GetTextExtentPoint32A(dc, shown, (int)strlen(shown), &s);
    if (s.cx <= r.right || !*p) break;
    ++p;
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  SetWindowTextA(control, shown);
}

static void pumpMessages(void) {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void progressPaths(HWND dialog, const char *source, const char *destination) {
  if (!dialog) return;
  setShortened(dialog, IDC_SOURCE, source);
  setShortened(dialog, IDC_DESTINATION_PATH, destination);
  pumpMessages();
}

void progressAdvance(HWND dialog, long bytes) {
  if (!dialog) return;
  ProgressDialog *d = (ProgressDialog *)GetWindowLongPtrA(dialog, DWLP_USER);
  if (!d) return;
  d->done += bytes;
  // Without a total the bar stays at 0 rather than dividing by zero.
  long long percent = d->total > 0 ? d->done * 100 / d->total : 0;
  if (percent > 100) percent = 100;
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, WM_USER, (WPARAM)percent, 0);
  pumpMessages();
}

void closeProgressDialog(HWND dialog) {
  if (!dialog) return;
  ProgressDialog *d = (ProgressDialog *)GetWindowLongPtrA(dialog, DWLP_USER);
  DestroyWindow(dialog);
  delete d;
}
