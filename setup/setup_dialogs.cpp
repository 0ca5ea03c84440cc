// TXSETUP (Windows): the shared dialog procedure, the base dialog operations (font,
// side picture, texts with the product name, centring, separator, page buttons) and
// the message dialogs built on them.
#include "setup/setup_dialogs.h"

#include <stdio.h>
#include <string.h>

#include "common/language_resources.h"
#include "setup/resource.h"
#include "setup/setup_app.h"

enum { kStackDepth = 16 };
static SetupDialog *g_stack[kStackDepth];
static int g_depth;
static HFONT g_font, g_boldFont;

void replaceToken(const char *in, char *out, size_t room) {
  const char *token = "_PRODUCT_NAME_";
  const char *name = g_app.state ? g_app.state->productName : "";
  size_t used = 0, tokenLength = strlen(token), nameLength = strlen(name);
  if (room == 0) return;
  while (*in) {
    if (strncmp(in, token, tokenLength) == 0) {
      if (used + nameLength + 1 > room) break;
      memcpy(out + used, name, nameLength);
      used += nameLength;
      in += tokenLength;
    } else {
      if (used + 2 > room) break;
      out[used++] = *in++;
    }
  }
  out[used] = '\0';
}

void loadText(int id, char *out, size_t room) {
  char raw[2048];
  languageLoadString(g_app.instance, (UINT)id, raw, sizeof raw);
  replaceToken(raw, out, room);
}

SetupDialog::SetupDialog(int id)
    : templateId(id),
      upperText(nullptr),
      lowerText(nullptr),
      disabled(nullptr),
      defaultButton(0),
      hwnd(nullptr),
      hasPicture(0) {
  SetRectEmpty(&pictureRect);
}

int SetupDialog::run(HWND owner) {
  return (int)languageDialogBox(g_app.instance, MAKEINTRESOURCEA(templateId), owner, setupDialogProc, (LPARAM)this);
}

HWND SetupDialog::open(HWND owner) {
  return languageCreateDialog(g_app.instance, MAKEINTRESOURCEA(templateId), owner, setupDialogProc, (LPARAM)this);
}

static void ensureFonts(void) {
  if (g_font) return;
  g_font = languageCreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  g_boldFont = languageCreateFont(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
}

struct ShiftData {
  HWND dialog;
  int dx;
  HFONT font;
};

static BOOL CALLBACK setFontAndShift(HWND child, LPARAM lp) {
  ShiftData *d = (ShiftData *)lp;
  if (GetParent(child) != d->dialog) return TRUE;
  if (d->font) SendMessageA(child, WM_SETFONT, (WPARAM)d->font, FALSE);
  if (d->dx && GetDlgCtrlID(child) != IDC_PICTURE) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, d->dialog, (POINT *)&r, 2);
    SetWindowPos(child, nullptr, r.left + d->dx, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return TRUE;
}

// Widens the dialog and a text control when one of its words no longer fits.
static void widenForWords(HWND w, int id) {
  HWND control = GetDlgItem(w, id);
  if (!control) return;
  char text[2048];
  GetWindowTextA(control, text, sizeof text);
  RECT r;
  GetWindowRect(control, &r);
  int width = r.right - r.left, widest = 0;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(control, WM_GETFONT, 0, 0));
  for (char *word = strtok(text, " \r\n\t"); word; word = strtok(nullptr, " \r\n\t")) {
    SIZE s;
    GetTextExtentPoint32A(dc, word, (int)strlen(word), &s);
    if (s.cx > widest) widest = s.cx;
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (widest <= width) return;
  int grow = widest - width + 4;
  SetWindowPos(control, nullptr, 0, 0, width + grow, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
  RECT d;
  GetWindowRect(w, &d);
  SetWindowPos(w, nullptr, 0, 0, d.right - d.left + grow, d.bottom - d.top, SWP_NOMOVE | SWP_NOZORDER);
}

static void replaceInWindow(HWND w) {
  char raw[2048], done[2048];
  GetWindowTextA(w, raw, sizeof raw);
  replaceToken(raw, done, sizeof done);
  SetWindowTextA(w, done);
}

BOOL SetupDialog::initDialog(HWND w) {
  hwnd = w;
  ensureFonts();
  HWND frame = GetDlgItem(w, IDC_PICTURE);
  int dx = 0;
  if (frame) {
    hasPicture = 1;
    ShowWindow(frame, SW_HIDE);
    GetWindowRect(frame, &pictureRect);
    MapWindowPoints(nullptr, w, (POINT *)&pictureRect, 2);
    InstallState *s = g_app.state;
    if (s && s->sideSize.cx > 0) {
      dx = s->sideSize.cx - (pictureRect.right - pictureRect.left);
      int height = pictureRect.bottom - pictureRect.top;
      if (s->sideSize.cy > height) height = s->sideSize.cy;
      SetWindowPos(frame, nullptr, 0, 0, s->sideSize.cx, height, SWP_NOMOVE | SWP_NOZORDER);
      pictureRect.right = pictureRect.left + s->sideSize.cx;
      pictureRect.bottom = pictureRect.top + height;
    }
  }
  ShiftData shift = {w, dx, g_font};
  EnumChildWindows(w, setFontAndShift, (LPARAM)&shift);
  if (dx) {
    RECT d;
    GetWindowRect(w, &d);
    SetWindowPos(w, nullptr, 0, 0, d.right - d.left + dx, d.bottom - d.top, SWP_NOMOVE | SWP_NOZORDER);
  }
  if (upperText) SetDlgItemTextA(w, IDC_UPPER_TEXT, upperText);
  if (lowerText) SetDlgItemTextA(w, IDC_LOWER_TEXT, lowerText);
  replaceInWindow(w);
  if (GetDlgItem(w, IDC_UPPER_TEXT)) replaceInWindow(GetDlgItem(w, IDC_UPPER_TEXT));
  if (GetDlgItem(w, IDC_LOWER_TEXT)) replaceInWindow(GetDlgItem(w, IDC_LOWER_TEXT));
  widenForWords(w, IDC_UPPER_TEXT);
  widenForWords(w, IDC_LOWER_TEXT);

  // Centred on the owner, 30 pixels lower when the main window shows its text.
  HWND parent = GetWindow(w, GW_OWNER);
  RECT pr, dr;
  if (parent) GetWindowRect(parent, &pr);
  else SystemParametersInfoA(SPI_GETWORKAREA, 0, &pr, 0);
  GetWindowRect(w, &dr);
  int x = pr.left + ((pr.right - pr.left) - (dr.right - dr.left)) / 2;
  int y = pr.top + ((pr.bottom - pr.top) - (dr.bottom - dr.top)) / 2;
  if (g_app.textBitmap) y += 30;
  SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  for (const int *id = disabled; id && *id; ++id) EnableWindow(GetDlgItem(w, *id), FALSE);
  if (defaultButton && GetDlgItem(w, defaultButton)) {
    SendMessageA(w, DM_SETDEFID, (WPARAM)defaultButton, 0);
    SetFocus(GetDlgItem(w, defaultButton));
    return FALSE;
  }
  return TRUE;
}

INT_PTR SetupDialog::colour(HWND, UINT, HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}

BOOL SetupDialog::command(HWND w, int id, int) {
  if (id == IDOK && hasPicture) {
    HWND focus = GetFocus();
    int mapped = IDC_NEXT;
    static const int kFocusable[] = {IDC_BACK, IDC_FINISH, IDCANCEL};
    for (int candidate : kFocusable)
      if (focus == GetDlgItem(w, candidate)) mapped = candidate;
    id = mapped;
  }
  if (hasPicture && !IsWindowEnabled(GetDlgItem(w, id)) && id != IDCANCEL) return TRUE;
  switch (id) {
    case IDC_BACK:
    case IDC_NEXT:
    case IDC_FINISH:
    case IDOK:
      if (acceptPage(w, id)) EndDialog(w, id);
      return TRUE;
    case IDCANCEL:
      if (cancelPage(w)) EndDialog(w, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

BOOL SetupDialog::paletteChanged(HWND w, HWND changer) {
  if (changer == w || !g_app.palette) return FALSE;
  return queryNewPalette(w);
}

BOOL SetupDialog::queryNewPalette(HWND w) {
  if (!g_app.palette) return FALSE;
  HDC dc = GetDC(w);
  HPALETTE old = SelectPalette(dc, g_app.palette, FALSE);
  UINT changed = RealizePalette(dc);
  SelectPalette(dc, old, FALSE);
  ReleaseDC(w, dc);
  if (changed) InvalidateRect(w, nullptr, TRUE);
  return changed != 0;
}

BOOL SetupDialog::acceptPage(HWND, int) { return TRUE; }
BOOL SetupDialog::cancelPage(HWND) { return TRUE; }

BOOL SetupDialog::paint(HWND w) {
  if (!hasPicture) return FALSE;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  InstallState *s = g_app.state;
  if (s && s->sidePicture && s->sideSize.cx > 0) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, s->sidePicture);
    int x = pictureRect.left + ((pictureRect.right - pictureRect.left) - s->sideSize.cx) / 2;
    int y = pictureRect.top + ((pictureRect.bottom - pictureRect.top) - s->sideSize.cy) / 2;
    BitBlt(dc, x, y, s->sideSize.cx, s->sideSize.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  // The separator between the page and its buttons.
  HWND finish = GetDlgItem(w, IDC_FINISH);
  HWND cancel = GetDlgItem(w, IDCANCEL);
  if (finish) {
    RECT fr, cr;
    GetWindowRect(finish, &fr);
    MapWindowPoints(nullptr, w, (POINT *)&fr, 2);
    cr = fr;
    if (cancel) {
      GetWindowRect(cancel, &cr);
      MapWindowPoints(nullptr, w, (POINT *)&cr, 2);
    }
    int y = (pictureRect.bottom + fr.top) / 2;
    RECT line = {pictureRect.left, y, fr.right > cr.right ? fr.right : cr.right, y + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNTEXT));
    OffsetRect(&line, 0, 1);
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  }
  EndPaint(w, &ps);
  return TRUE;
}

BOOL SetupDialog::drawItem(HWND, DRAWITEMSTRUCT *) { return FALSE; }
BOOL SetupDialog::measureItem(HWND, MEASUREITEMSTRUCT *) { return FALSE; }

static SetupDialog *dialogOf(HWND w) {
  for (int i = g_depth - 1; i >= 0; --i)
    if (g_stack[i]->hwnd == w) return g_stack[i];
  return nullptr;
}

INT_PTR CALLBACK setupDialogProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    SetupDialog *d = (SetupDialog *)lp;
    if (g_depth < kStackDepth) g_stack[g_depth++] = d;
    d->hwnd = w;
    return d->initDialog(w);
  }
  SetupDialog *d = dialogOf(w);
  if (!d) return FALSE;
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN: return d->colour(w, message, (HDC)wp);
    case WM_COMMAND: return d->command(w, LOWORD(wp), HIWORD(wp));
    case WM_PALETTECHANGED: return d->paletteChanged(w, (HWND)wp);
    case WM_QUERYNEWPALETTE: return d->queryNewPalette(w);
    case WM_PAINT: return d->paint(w);
    case WM_DRAWITEM: return d->drawItem(w, (DRAWITEMSTRUCT *)lp);
    case WM_MEASUREITEM: return d->measureItem(w, (MEASUREITEMSTRUCT *)lp);
    case WM_CLOSE: SendMessageA(w, WM_COMMAND, IDCANCEL, 0); return TRUE;
    case WM_DESTROY:
      for (int i = 0; i < g_depth; ++i)
        if (g_stack[i] == d) {
          memmove(&g_stack[i], &g_stack[i + 1], sizeof(g_stack[0]) * (size_t)(g_depth - i - 1));
          --g_depth;
          break;
        }
      d->hwnd = nullptr;
      return FALSE;
  }
  return FALSE;
}

// --- message dialogs --------------------------------------------------------------

class MessageDialog : public SetupDialog {
public:
  explicit MessageDialog(int id) : SetupDialog(id) { defaultButton = IDOK; }
};

int errorBoxText(HWND owner, const char *upper, const char *lower) {
  MessageDialog d(IDD_ERROR);
  d.upperText = upper;
  d.lowerText = lower ? lower : "";
  return d.run(owner);
}

int errorBox(HWND owner, int textId, const char *argument) {
  char text[1024];
  loadText(textId, text, sizeof text);
  return errorBoxText(owner, text, argument);
}

int retryBox(HWND owner, int upperId, int lowerId) {
  char upper[1024], lower[1024] = "";
  loadText(upperId, upper, sizeof upper);
  if (lowerId) loadText(lowerId, lower, sizeof lower);
  MessageDialog d(IDD_RETRY);
  d.upperText = upper;
  d.lowerText = lower;
  return d.run(owner) == IDOK ? 1 : 2;
}

int exitConfirmation(HWND owner) {
  MessageDialog d(IDD_EXIT_CONFIRM);
  return d.run(owner) == IDOK ? 1 : 2;
}

int yesNoBox(HWND owner, const char *text) {
  MessageDialog d(IDD_YES_NO);
  d.upperText = text;
  return d.run(owner) == IDOK ? 1 : 2;
}

int okCancelBox(HWND owner, const char *text) {
  MessageDialog d(IDD_OK_CANCEL);
  d.upperText = text;
  return d.run(owner) == IDOK ? 1 : 2;
}

void failureNotice(HWND owner) {
  MessageDialog d(IDD_FAILURE);
  d.run(owner);
}

void successNotice(HWND owner) {
  MessageDialog d(IDD_SUCCESS);
  d.run(owner);
}
