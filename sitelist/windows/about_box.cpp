// About: the logo, "Version 1.5" and "&OK", a form on the window skeleton,
// modal over the frame; its position is kept under "About".
#include "sitelist/windows/about_box.h"

#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kAboutSection[] = "About";

void CentreOver(HWND dialog, HWND owner) {
  RECT o, d;
  if (owner == nullptr || !GetWindowRect(owner, &o) || !GetWindowRect(dialog, &d)) return;
  int x = o.left + ((o.right - o.left) - (d.right - d.left)) / 2;
  int y = o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR OnInit(HWND dialog) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBITMAP logo = (HBITMAP)LoadImageA(instance, MAKEINTRESOURCEA(IDB_TABLNK01), IMAGE_BITMAP, 0, 0, 0);
  if (logo != nullptr) SendDlgItemMessageA(dialog, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)logo);
  char text[64];
  LoadText(IDS_VERSION_LINE, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_VERSION, text);
  LoadText(IDS_ABOUT_TITLE, text, sizeof text);
  SetWindowTextA(dialog, text);
  CentreOver(dialog, GetWindow(dialog, GW_OWNER));  // until a position is stored
  return TRUE;
}

INT_PTR OnDestroy(HWND dialog) {
  HBITMAP logo = (HBITMAP)SendDlgItemMessageA(dialog, IDC_LOGO, STM_GETIMAGE, IMAGE_BITMAP, 0);
  if (logo != nullptr) DeleteObject(logo);
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, UINT id) {
  if (id != IDOK) return FALSE;  // Escape and the close box: the skeleton ends the form
  EndForm(dialog, kResponseCompleted);
  return TRUE;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog);
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam));
    case WM_DESTROY: return OnDestroy(dialog);
  }
  return FALSE;
}

const FormDesign kAboutDesign = {kAboutSection, IDD_ABOUT, AboutProc, false, nullptr, nullptr, 0, nullptr, 0};

}  // namespace

void About(HWND owner) { RunForm(owner, &kAboutDesign, nullptr); }
