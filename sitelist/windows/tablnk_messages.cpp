// Tabulink's message path (see tablnk_messages.h): texts from the string
// table, message boxes through the record messages' prompt, and the "Stop" box
// (Abort or Ignore), which sizes itself to its text.
#include "sitelist/windows/tablnk_messages.h"

#include <cstdio>

#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/window_skeleton.h"

void LoadText(UINT id, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  out[0] = '\0';
  int cap = capacity > 0x7fffffff ? 0x7fffffff : (int)capacity;
  if (LoadStringA(GetModuleHandleA(nullptr), id, out, cap) <= 0) out[0] = '\0';
  out[capacity - 1] = '\0';
}

namespace {

int ShowComposed(HWND owner, UINT titleId, const char* text, int buttons, int icon, int defaultAnswer) {
  RecordMessage m = {};
  m.id = -1;
  LoadText(titleId, m.title, sizeof m.title);
  snprintf(m.text, sizeof m.text, "%s", text != nullptr ? text : "");
  m.buttons = buttons;
  m.icon = icon;
  m.default_answer = defaultAnswer;
  return PromptMessage(owner != nullptr ? ModalOwnerOf(owner) : nullptr, &m);
}

}  // namespace

int ShowMessageText(HWND owner, UINT titleId, const char* text, int buttons, int icon) {
  int first = buttons == RB_YES_NO || buttons == RB_YES_NO_CANCEL ? RA_YES : RA_OK;
  return ShowComposed(owner, titleId, text, buttons, icon, first);
}

int ShowQuestion(HWND owner, UINT titleId, UINT textId, int buttons, int defaultAnswer) {
  char text[1024];
  LoadText(textId, text, sizeof text);
  return ShowComposed(owner, titleId, text, buttons, RI_QUESTION, defaultAnswer);
}

int ShowMessage(HWND owner, UINT titleId, UINT textId, int buttons, int icon) {
  char text[1024];
  LoadText(textId, text, sizeof text);
  return ShowMessageText(owner, titleId, text, buttons, icon);
}

namespace {

// Grows the text control (and the box, moving the buttons down) so the whole
// text shows.
void FitText(HWND dialog) {
  HWND text = GetDlgItem(dialog, IDC_STOP_TEXT);
  RECT rc;
  GetWindowRect(text, &rc);
  MapWindowPoints(HWND_DESKTOP, dialog, (POINT*)&rc, 2);
  int len = GetWindowTextLengthA(text);
  char* buffer = (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)len + 1);
  if (buffer == nullptr) return;
  GetWindowTextA(text, buffer, len + 1);
  HDC dc = GetDC(text);
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(text, WM_GETFONT, 0, 0));
  RECT need = {0, 0, rc.right - rc.left, 0};
  DrawTextA(dc, buffer, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old);
  ReleaseDC(text, dc);
  HeapFree(GetProcessHeap(), 0, buffer);
  int grow = need.bottom - (rc.bottom - rc.top);
  if (grow <= 0) return;
  SetWindowPos(text, nullptr, 0, 0, rc.right - rc.left, need.bottom, SWP_NOMOVE | SWP_NOZORDER);
  const int buttons[] = {IDABORT, IDIGNORE};
  for (int id : buttons) {
    HWND b = GetDlgItem(dialog, id);
    RECT br;
    GetWindowRect(b, &br);
    MapWindowPoints(HWND_DESKTOP, dialog, (POINT*)&br, 2);
    SetWindowPos(b, nullptr, br.left, br.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  RECT dr;
  GetWindowRect(dialog, &dr);
  SetWindowPos(dialog, nullptr, dr.left, dr.top - grow / 2, dr.right - dr.left, dr.bottom - dr.top + grow,
               SWP_NOZORDER);
}

INT_PTR CALLBACK StopProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      char title[32];
      LoadText(IDS_STOP_TITLE, title, sizeof title);
      SetWindowTextA(dialog, title);
      SetDlgItemTextA(dialog, IDC_STOP_TEXT, (const char*)lParam);
      SendDlgItemMessageA(dialog, IDC_STOP_ICON, STM_SETICON, (WPARAM)LoadIconA(nullptr, (LPCSTR)IDI_HAND), 0);
      FitText(dialog);
      MessageBeep(MB_ICONHAND);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDABORT || LOWORD(wParam) == IDIGNORE) {
        SetModalResponse(dialog, LOWORD(wParam));
        DestroyWindow(dialog);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int StopBox(HWND owner, const char* text) {
  HWND over = owner != nullptr ? ModalOwnerOf(owner) : static_cast<HWND>(ThreadMessageOwner());
  HWND box = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_STOP), over, StopProc, (LPARAM)text);
  if (box == nullptr) return IDIGNORE;
  if (over != nullptr) BeginModalOver(over, box);
  int r = RunModal(over, box);
  if (over != nullptr) EndModalOver(over);
  if (IsWindow(box)) DestroyWindow(box);  // the loop ended with WM_QUIT
  return r == IDABORT ? IDABORT : IDIGNORE;
}
