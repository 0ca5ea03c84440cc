// ReportPreview: the window "Report Preview" with its menus, tool bar, page
// area and status bar, on the window skeleton. The pages come from
// preview_pages: each is recorded once, as an enhanced metafile made against
// the printer's device context, and the same metafile is played into the
// window at any zoom and to the printer, so the preview shows exactly what
// prints.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "sitelist/exchange/preview_layout.h"
#include "sitelist/exchange/preview_pages.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/windows/frame_window.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"
#include "common/tx_util.h"

namespace {

const char kPreviewClass[] = "TabulinkReportPreview";
const char kPagesClass[] = "TabulinkPreviewPages";
const int kStatusParts = 2;
const int kScrollLine = 40;
const int kPrinted = 1;  // the window's completion code when the report was printed

struct ZoomCommand {
  UINT command;
  int zoom;
};
const ZoomCommand kZoomCommands[] = {
    {IDM_ZOOM_NONE, kZoomNone}, {IDM_ZOOM_PAGEWIDTH, kZoomPageWidth},
    {IDM_ZOOM_50, kZoom50},     {IDM_ZOOM_75, kZoom75},
    {IDM_ZOOM_100, kZoom100},   {IDM_ZOOM_200, kZoom200},
    {IDM_ZOOM_300, kZoom300},
};
static_assert(ARRAY_SIZE(kZoomCommands) == kZoomCount, "one command per zoom");

// The tool bar's controls and their hints.
struct BarTip {
  int control;
  UINT text;
};
const BarTip kBarTips[] = {
    {IDC_PREVIEW_PRINT, IDS_TIP_PRINT}, {IDC_PREVIEW_EXIT, IDS_TIP_EXIT},     {IDC_PREVIEW_ZOOM, IDS_TIP_ZOOM},
    {IDC_PREVIEW_PAGE, IDS_TIP_PAGE},   {IDC_PREVIEW_ACROSS, IDS_TIP_ACROSS}, {IDC_PREVIEW_DOWN, IDS_TIP_DOWN},
};
const size_t kTipCount = ARRAY_SIZE(kBarTips);

// Hints of the menu bar's pop-ups, by place.
const UINT kPopupHints[] = {IDS_HINT_FILE, IDS_HINT_VIEW, IDS_HINT_ZOOM};

struct Preview {
  ReportPages pages;
  PreviewState state;
  int lastZoom;  // the zoom the tool bar's zoom button goes back to
  HWND window, area, status, tips;
  long scrollX, scrollY;
  bool syncing;  // the tool bar is being set from the state
  char tipTexts[kTipCount][96];
};

void SetStatusPart(Preview* p, int part, const char* text) {
  SendMessageA(p->status, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
}

// ---- Printing ------------------------------------------------------------------

// Prints every page to the printer of "&Print Setup ...". Returns true when the job was sent.
bool PrintPages(Preview* p) {
  char name[256] = "";
  HDC dc = CreateReportPrinterDC(name, sizeof name);
  if (dc == nullptr) {
    ShowMessage(p->window, IDS_NO_PRINTER_TITLE, IDS_NO_PRINTER_TEXT, RB_OK, RI_EXCLAMATION);
    return false;
  }
  HCURSOR oldCursor = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = p->pages.definition->title;
  RECT page = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
  bool ok = StartDocA(dc, &doc) > 0;
  char format[64], status[96];
  LoadText(IDS_PRINTING, format, sizeof format);  // "Printing page %lu of %lu"
  size_t count = ReportPagesCount(p->pages);
  for (size_t i = 0; ok && i < count; ++i) {
    snprintf(status, sizeof status, format, (unsigned long)(i + 1), (unsigned long)count);
    SetStatusPart(p, 0, status);
    UpdateWindow(p->status);
    ok = ReportPageMetafile(&p->pages, i) != nullptr && StartPage(dc) > 0;
    if (ok) ok = PlayReportPage(&p->pages, i, dc, page);
    if (ok) ok = EndPage(dc) > 0;
  }
  if (ok) ok = EndDoc(dc) > 0;
  else AbortDoc(dc);
  DeleteDC(dc);
  SetCursor(oldCursor);
  if (!ok) {
    char text[384], lead[96];
    LoadText(IDS_PRINT_FAILED_TEXT, lead, sizeof lead);
    snprintf(text, sizeof text, "%s%s.", lead, name);
    ShowMessageText(p->window, IDS_PRINT_FAILED_TITLE, text, RB_OK, RI_EXCLAMATION);
  }
  return ok;
}

// ---- The page area -------------------------------------------------------------

void ComputeView(Preview* p, PreviewView* view) {
  RECT rc;
  GetClientRect(p->area, &rc);
  HDC screen = GetDC(p->area);
  long screenDpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(p->area, screen);
  LayoutPreview(p->state, rc.right, rc.bottom, p->pages.pageWidth, p->pages.pageHeight, p->pages.dpi, screenDpi,
                p->scrollX, p->scrollY, view);
}

void UpdateScrollBars(Preview* p) {
  PreviewView view;
  ComputeView(p, &view);
  RECT rc;
  GetClientRect(p->area, &rc);
  long maxX = view.contentWidth > rc.right ? view.contentWidth - rc.right : 0;
  long maxY = view.contentHeight > rc.bottom ? view.contentHeight - rc.bottom : 0;
  if (p->scrollX > maxX) p->scrollX = maxX;
  if (p->scrollY > maxY) p->scrollY = maxY;
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = (int)view.contentWidth - 1;
  si.nPage = (UINT)rc.right;
  si.nPos = (int)p->scrollX;
  SetScrollInfo(p->area, SB_HORZ, &si, TRUE);
  si.nMax = (int)view.contentHeight - 1;
  si.nPage = (UINT)rc.bottom;
  si.nPos = (int)p->scrollY;
  SetScrollInfo(p->area, SB_VERT, &si, TRUE);
}

void PaintArea(Preview* p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(p->area, &ps);
  RECT rc;
  GetClientRect(p->area, &rc);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1);
  HGDIOBJ oldBmp = SelectObject(mem, bmp);
  FillRect(mem, &rc, GetSysColorBrush(COLOR_APPWORKSPACE));
  PreviewView view;
  ComputeView(p, &view);
  for (const PreviewPageRect& r : view.pages) {
    RECT shadow = {r.x + 4, r.y + 4, r.x + r.width + 4, r.y + r.height + 4};
    FillRect(mem, &shadow, GetSysColorBrush(COLOR_3DDKSHADOW));
    RECT paper = {r.x, r.y, r.x + r.width, r.y + r.height};
    FillRect(mem, &paper, (HBRUSH)GetStockObject(WHITE_BRUSH));
    PlayReportPage(&p->pages, r.page, mem, paper);
    FrameRect(mem, &paper, (HBRUSH)GetStockObject(BLACK_BRUSH));
  }
  BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldBmp);
  DeleteObject(bmp);
  DeleteDC(mem);
  EndPaint(p->area, &ps);
}

void Scroll(Preview* p, int bar, WPARAM wParam) {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(p->area, bar, &si);
  long pos = si.nPos;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= kScrollLine; break;
    case SB_LINEDOWN: pos += kScrollLine; break;
    case SB_PAGEUP: pos -= (long)si.nPage; break;
    case SB_PAGEDOWN: pos += (long)si.nPage; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
  }
  long maxPos = si.nMax - (long)si.nPage + 1;
  if (pos > maxPos) pos = maxPos;
  if (pos < 0) pos = 0;
  (bar == SB_HORZ ? p->scrollX : p->scrollY) = pos;
  UpdateScrollBars(p);
  InvalidateRect(p->area, nullptr, FALSE);
}

LRESULT CALLBACK AreaProc(HWND area, UINT msg, WPARAM wParam, LPARAM lParam) {
  Preview* p = reinterpret_cast<Preview*>(GetWindowLongPtrA(area, GWLP_USERDATA));
  switch (msg) {
    case WM_PAINT:
      if (p != nullptr) PaintArea(p);
      else ValidateRect(area, nullptr);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
      if (p != nullptr) UpdateScrollBars(p);
      InvalidateRect(area, nullptr, FALSE);
      return 0;
    case WM_HSCROLL:
      if (p != nullptr) Scroll(p, SB_HORZ, wParam);
      return 0;
    case WM_VSCROLL:
      if (p != nullptr) Scroll(p, SB_VERT, wParam);
      return 0;
    case WM_MOUSEWHEEL:
      if (p != nullptr) Scroll(p, SB_VERT, (short)HIWORD(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    case WM_LBUTTONDOWN: SetFocus(area); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (p == nullptr) break;
      switch (wParam) {
        case VK_NEXT: PostMessageA(p->window, WM_COMMAND, IDM_PREVIEW_NEXT, 0); return 0;
        case VK_PRIOR: PostMessageA(p->window, WM_COMMAND, IDM_PREVIEW_PREVIOUS, 0); return 0;
        case VK_DOWN: Scroll(p, SB_VERT, SB_LINEDOWN); return 0;
        case VK_UP: Scroll(p, SB_VERT, SB_LINEUP); return 0;
        case VK_RIGHT: Scroll(p, SB_HORZ, SB_LINEDOWN); return 0;
        case VK_LEFT: Scroll(p, SB_HORZ, SB_LINEUP); return 0;
      }
      break;
  }
  return DefWindowProcA(area, msg, wParam, lParam);
}

// ---- State shown ------------------------------------------------------------------

void ShowStatus(Preview* p) {
  char text[64];
  FormatPageStatus(p->state, text, sizeof text);
  SetStatusPart(p, 0, text);
  SetStatusPart(p, 1, ZoomStatusText(p->state.zoom));
}

void CheckZoom(Preview* p) {
  HMENU menu = GetMenu(p->window);
  for (const ZoomCommand& z : kZoomCommands)
    CheckMenuItem(menu, z.command, MF_BYCOMMAND | (z.zoom == p->state.zoom ? MF_CHECKED : MF_UNCHECKED));
}

void SyncBar(Preview* p) {
  p->syncing = true;
  SendDlgItemMessageA(p->window, IDC_PREVIEW_PAGE_SPIN, UDM_SETRANGE32, 1, (LPARAM)p->state.pageCount);
  SendDlgItemMessageA(p->window, IDC_PREVIEW_ACROSS_SPIN, UDM_SETRANGE32, 1, kMaxThumbnails);
  SendDlgItemMessageA(p->window, IDC_PREVIEW_DOWN_SPIN, UDM_SETRANGE32, 1, kMaxThumbnails);
  SetDlgItemInt(p->window, IDC_PREVIEW_PAGE, (UINT)(p->state.page + 1), FALSE);
  SetDlgItemInt(p->window, IDC_PREVIEW_ACROSS, (UINT)p->state.across, FALSE);
  SetDlgItemInt(p->window, IDC_PREVIEW_DOWN, (UINT)p->state.down, FALSE);
  p->syncing = false;
  CheckZoom(p);
  HMENU menu = GetMenu(p->window);
  EnableMenuItem(menu, IDM_PREVIEW_NEXT,
                 MF_BYCOMMAND | (p->state.page + PagesShown(p->state) < p->state.pageCount ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_PREVIEW_PREVIOUS, MF_BYCOMMAND | (p->state.page > 0 ? MF_ENABLED : MF_GRAYED));
}

void Redraw(Preview* p) {
  ShowStatus(p);
  UpdateScrollBars(p);
  InvalidateRect(p->area, nullptr, FALSE);
}

void Refresh(Preview* p) {
  SyncBar(p);
  Redraw(p);
}

void ApplyZoom(Preview* p, int zoom) {
  SetZoom(&p->state, zoom);
  if (zoom != kZoomNone) p->lastZoom = zoom;
  p->scrollX = p->scrollY = 0;
  Refresh(p);
}

// A number typed into the tool bar.
void OnBarEdit(Preview* p, int control) {
  if (p->syncing) return;
  BOOL ok = FALSE;
  UINT v = GetDlgItemInt(p->window, control, &ok, FALSE);
  if (!ok) return;
  if (control == IDC_PREVIEW_PAGE) {
    if (v < 1 || v > p->state.pageCount) return;
    SetPage(&p->state, v - 1);
  } else {
    if (v < 1 || v > (UINT)kMaxThumbnails) return;
    int across = control == IDC_PREVIEW_ACROSS ? (int)v : p->state.across;
    int down = control == IDC_PREVIEW_DOWN ? (int)v : p->state.down;
    SetThumbnails(&p->state, across, down);
    SetZoom(&p->state, kZoomNone);
  }
  CheckZoom(p);
  Redraw(p);
}

void AddTips(Preview* p) {
  p->tips =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, p->window, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (p->tips == nullptr) return;
  for (size_t i = 0; i < kTipCount; ++i) {
    LoadText(kBarTips[i].text, p->tipTexts[i], sizeof p->tipTexts[i]);
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = p->window;
    ti.uId = (UINT_PTR)GetDlgItem(p->window, kBarTips[i].control);
    ti.lpszText = p->tipTexts[i];
    SendMessageA(p->tips, TTM_ADDTOOLA, 0, (LPARAM)&ti);
  }
}

// ---- Jump to a page ----------------------------------------------------------------

struct JumpData {
  size_t pageCount;
  size_t page;
};

BOOL OnJumpInit(HWND dialog, JumpData* j) {
  char text[96];
  FormatJumpPrompt(j->pageCount, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_JUMP_PROMPT, text);
  SendDlgItemMessageA(dialog, IDC_JUMP_SPIN, UDM_SETRANGE32, 1, (LPARAM)j->pageCount);
  SetDlgItemInt(dialog, IDC_JUMP_PAGE, (UINT)(j->page + 1), FALSE);
  SendDlgItemMessageA(dialog, IDC_JUMP_PAGE, EM_SETSEL, 0, -1);
  SetFocus(GetDlgItem(dialog, IDC_JUMP_PAGE));
  return FALSE;
}

// "OK": a page number out of range is refused and the field selected again.
void OnJumpOk(HWND dialog, JumpData* j) {
  char text[32];
  GetDlgItemTextA(dialog, IDC_JUMP_PAGE, text, sizeof text);
  size_t page;
  if (!ParsePageNumber(text, j->pageCount, &page)) {
    MessageBeep(MB_ICONEXCLAMATION);
    SendDlgItemMessageA(dialog, IDC_JUMP_PAGE, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(dialog, IDC_JUMP_PAGE));
    return;
  }
  j->page = page;
  EndForm(dialog, kResponseCompleted);
}

INT_PTR CALLBACK JumpProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnJumpInit(dialog, reinterpret_cast<JumpData*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnJumpOk(dialog, WindowStateOf<JumpData>(dialog));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

const FormDesign kJumpDesign = {nullptr, IDD_JUMP_PAGE, JumpProc, false, nullptr, nullptr, 0, nullptr, 0};

// ---- Commands ------------------------------------------------------------------------

void OnPrint(HWND dialog, Preview* p) {
  if (PrintPages(p)) {
    SetWindowCompletion(dialog, kPrinted);
    CloseWindowRun(dialog);
  } else {
    ShowStatus(p);
  }
}

void OnExit(HWND dialog, Preview*) { CloseWindowRun(dialog); }

void OnNext(HWND, Preview* p) {
  if (!NextPages(&p->state)) return;
  p->scrollY = 0;
  Refresh(p);
}

void OnPrevious(HWND, Preview* p) {
  if (!PreviousPages(&p->state)) return;
  p->scrollY = 0;
  Refresh(p);
}

void OnJump(HWND dialog, Preview* p) {
  JumpData j = {p->state.pageCount, p->state.page};
  if (RunForm(dialog, &kJumpDesign, &j) != kResponseCompleted) return;
  SetPage(&p->state, j.page);
  p->scrollY = 0;
  Refresh(p);
}

// "&Change Display": to the number of pages across (and down, with Tab).
void OnChangeDisplay(HWND dialog, Preview*) {
  HWND across = GetDlgItem(dialog, IDC_PREVIEW_ACROSS);
  SetFocus(across);
  SendMessageA(across, EM_SETSEL, 0, -1);
}

// The tool bar's zoom button: the zoom choices as a pop-up under it.
void OnZoomButton(HWND dialog, Preview* p) {
  RECT r;
  GetWindowRect(GetDlgItem(dialog, IDC_PREVIEW_ZOOM), &r);
  HMENU zoom = GetSubMenu(GetMenu(p->window), 2);
  TrackPopupMenu(zoom, TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, dialog, nullptr);
}

const WindowCommand<Preview> kCommands[] = {
    {IDM_PREVIEW_PRINT, OnPrint},       {IDC_PREVIEW_PRINT, OnPrint}, {IDM_PREVIEW_EXIT, OnExit},
    {IDC_PREVIEW_EXIT, OnExit},         {IDCANCEL, OnExit},           {IDM_PREVIEW_NEXT, OnNext},
    {IDM_PREVIEW_PREVIOUS, OnPrevious}, {IDM_PREVIEW_JUMP, OnJump},   {IDM_PREVIEW_DISPLAY, OnChangeDisplay},
    {IDC_PREVIEW_ZOOM, OnZoomButton},
};

BOOL OnCommand(HWND dialog, WPARAM wParam) {
  Preview* p = WindowStateOf<Preview>(dialog);
  if (p == nullptr) return FALSE;
  UINT id = LOWORD(wParam);
  if (id == IDC_PREVIEW_PAGE || id == IDC_PREVIEW_ACROSS || id == IDC_PREVIEW_DOWN) {
    if (HIWORD(wParam) == EN_CHANGE) OnBarEdit(p, (int)id);
    return TRUE;
  }
  for (const ZoomCommand& z : kZoomCommands) {
    if (z.command == id) {
      ApplyZoom(p, z.zoom);
      return TRUE;
    }
  }
  return DispatchWindowCommand(kCommands, dialog, id);
}

// ---- The preview window --------------------------------------------------------

// The tool bar keeps its place at the top; the page area fills the window
// between it and the status bar.
void Layout(Preview* p) {
  if (p == nullptr || p->status == nullptr) return;
  RECT rc;
  GetClientRect(p->window, &rc);
  SendMessageA(p->status, WM_SIZE, 0, 0);
  RECT sr, bar = {0, 0, 0, 20};
  GetWindowRect(p->status, &sr);
  MapDialogRect(p->window, &bar);
  int statusH = sr.bottom - sr.top, barH = bar.bottom;
  int areaH = rc.bottom - barH - statusH;
  MoveWindow(p->area, 0, barH, rc.right, areaH > 0 ? areaH : 0, TRUE);
  int parts[kStatusParts] = {rc.right / 2, -1};
  SendMessageA(p->status, SB_SETPARTS, kStatusParts, (LPARAM)parts);
}

BOOL OnInit(HWND dialog, Preview* p) {
  p->window = dialog;
  p->area = GetDlgItem(dialog, IDC_PREVIEW_PAGES);
  p->status = GetDlgItem(dialog, IDC_PREVIEW_STATUS);
  SetWindowLongPtrA(p->area, GWLP_USERDATA, (LONG_PTR)p);
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TABLNK));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)icon);
  AddTips(p);
  Layout(p);
  Refresh(p);
  SetFocus(p->area);
  return FALSE;
}

void OnMenuSelect(Preview* p, WPARAM wParam, LPARAM lParam) {
  UINT item = LOWORD(wParam), flags = HIWORD(wParam);
  if (flags == 0xFFFF && lParam == 0) {
    ShowStatus(p);
    return;
  }
  char hint[128] = "";
  if (flags & MF_POPUP) {
    if ((HMENU)lParam == GetMenu(p->window) && item < ARRAY_SIZE(kPopupHints))
      LoadText(kPopupHints[item], hint, sizeof hint);
  } else if (!(flags & (MF_SEPARATOR | MF_SYSMENU))) {
    LoadText(item, hint, sizeof hint);
  }
  SetStatusPart(p, 0, hint);
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<Preview*>(lParam));
    case WM_SIZE: Layout(WindowStateOf<Preview>(dialog)); return FALSE;
    case WM_MENUSELECT:
      if (WindowStateOf<Preview>(dialog) != nullptr) OnMenuSelect(WindowStateOf<Preview>(dialog), wParam, lParam);
      return TRUE;
    case WM_COMMAND: return OnCommand(dialog, wParam);
  }
  return FALSE;
}

bool RegisterPagesClass(HINSTANCE inst) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(inst, kPagesClass, &wc)) return true;
  wc = WNDCLASSEXA{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = AreaProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.lpszClassName = kPagesClass;
  return RegisterClassExA(&wc) != 0 || GetClassInfoExA(inst, kPagesClass, &wc);
}

const WindowDesign kPreviewDesign = {
    "ReportPreview", IDD_REPORT_PREVIEW, kPopupWindow, PreviewProc, nullptr, 0, true, nullptr, nullptr, 0, false};

}  // namespace

int ReportPreview(const ReportDefinition& definition, const ReportRows& rows) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterPagesClass(inst) || !RegisterDialogClass(kPreviewClass)) return 0;
  Preview* p = new Preview();
  p->lastZoom = kZoomPageWidth;
  int result = 0;
  if (OpenReportPages(&p->pages, definition, rows)) {
    p->state.pageCount = ReportPagesCount(p->pages);
    result = RunWindow(&kPreviewDesign, p) == kPrinted ? 1 : 0;
  }
  CloseReportPages(&p->pages);
  delete p;
  return result;
}
