// ReportPreview: the window "Report Preview" with its menus, tool bar, page
// area and status bar. Each page is recorded once, as an enhanced metafile
// made against the printer's device context, the first time it is shown or
// printed; the same metafile is played into the window at any zoom and to the
// printer, so the preview shows exactly what prints.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "sitelist/exchange/preview_layout.h"
#include "sitelist/exchange/preview_pages.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"
#include "sitelist/windows/window_position.h"

namespace {

const char kPreviewClass[] = "TabulinkReportPreview";
const char kPagesClass[] = "TabulinkPreviewPages";
const char kPreviewSection[] = "ReportPreview";
const int kStatusParts = 2;
const int kScrollLine = 40;

struct ZoomCommand {
  UINT command;
  int zoom;
};
const ZoomCommand kZoomCommands[] = {
    {IDM_ZOOM_NONE, kZoomNone}, {IDM_ZOOM_PAGEWIDTH, kZoomPageWidth}, {IDM_ZOOM_50, kZoom50},
    {IDM_ZOOM_75, kZoom75},     {IDM_ZOOM_100, kZoom100},             {IDM_ZOOM_200, kZoom200},
    {IDM_ZOOM_300, kZoom300},
};
static_assert(sizeof kZoomCommands / sizeof kZoomCommands[0] == kZoomCount, "one command per zoom");

// The tool bar's controls and their hints.
struct BarTip {
  int control;
  UINT text;
};
const BarTip kBarTips[] = {
    {IDC_PREVIEW_PRINT, IDS_TIP_PRINT},   {IDC_PREVIEW_EXIT, IDS_TIP_EXIT},     {IDC_PREVIEW_ZOOM, IDS_TIP_ZOOM},
    {IDC_PREVIEW_PAGE, IDS_TIP_PAGE},     {IDC_PREVIEW_ACROSS, IDS_TIP_ACROSS}, {IDC_PREVIEW_DOWN, IDS_TIP_DOWN},
};

// Hints of the menu bar's pop-ups, by place.
const UINT kPopupHints[] = {IDS_HINT_FILE, IDS_HINT_VIEW, IDS_HINT_ZOOM};

struct Preview {
  ReportPages pages;
  PreviewState state;
  int lastZoom;            // the zoom the tool bar's zoom button goes back to
  HWND window, bar, area, status, tips;
  long scrollX, scrollY;
  bool syncing;            // the tool bar is being set from the state
  bool printed;
};

// ---- Printing ------------------------------------------------------------------

void Message(HWND owner, UINT title, const char* text, UINT flags) {
  char t[64];
  LoadText(title, t, sizeof t);
  MessageBoxA(owner, text, t, flags);
}

void SetStatusPart(Preview* p, int part, const char* text) {
  SendMessageA(p->status, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
}

// Prints every page to the printer of "&Print Setup ...". Returns true when the job was sent.
bool PrintPages(Preview* p) {
  char name[256] = "";
  HDC dc = CreateReportPrinterDC(name, sizeof name);
  if (dc == nullptr) {
    char text[256];
    LoadText(IDS_NO_PRINTER_TEXT, text, sizeof text);
    Message(p->window, IDS_NO_PRINTER_TITLE, text, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  HCURSOR oldCursor = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = p->pages.definition->title;
  RECT page = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
  bool ok = StartDocA(dc, &doc) > 0;
  char prefix[64], status[96];
  LoadText(IDS_PRINTING, prefix, sizeof prefix);
  size_t count = ReportPagesCount(p->pages);
  for (size_t i = 0; ok && i < count; ++i) {
    snprintf(status, sizeof status, "%s%lu of %lu", prefix, (unsigned long)(i + 1), (unsigned long)count);
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
    char text[256], lead[96];
    LoadText(IDS_PRINT_FAILED_TEXT, lead, sizeof lead);
    snprintf(text, sizeof text, "%s%s.", lead, name);
    Message(p->window, IDS_PRINT_FAILED_TITLE, text, MB_OK | MB_ICONEXCLAMATION);
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
  LayoutPreview(p->state, rc.right, rc.bottom, p->pages.pageWidth, p->pages.pageHeight, p->pages.dpi, screenDpi, p->scrollX,
                p->scrollY, view);
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
    case WM_CREATE:
      SetWindowLongPtrA(area, GWLP_USERDATA,
                        (LONG_PTR)reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      return 0;
    case WM_PAINT:
      if (p != nullptr) PaintArea(p);
      else ValidateRect(area, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
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
    case WM_LBUTTONDOWN:
      SetFocus(area);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
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

void SyncBar(Preview* p) {
  p->syncing = true;
  SendDlgItemMessageA(p->bar, IDC_PREVIEW_PAGE_SPIN, UDM_SETRANGE32, 1, (LPARAM)p->state.pageCount);
  SendDlgItemMessageA(p->bar, IDC_PREVIEW_ACROSS_SPIN, UDM_SETRANGE32, 1, kMaxThumbnails);
  SendDlgItemMessageA(p->bar, IDC_PREVIEW_DOWN_SPIN, UDM_SETRANGE32, 1, kMaxThumbnails);
  SetDlgItemInt(p->bar, IDC_PREVIEW_PAGE, (UINT)(p->state.page + 1), FALSE);
  SetDlgItemInt(p->bar, IDC_PREVIEW_ACROSS, (UINT)p->state.across, FALSE);
  SetDlgItemInt(p->bar, IDC_PREVIEW_DOWN, (UINT)p->state.down, FALSE);
  p->syncing = false;
  HMENU menu = GetMenu(p->window);
  for (const ZoomCommand& z : kZoomCommands)
    CheckMenuItem(menu, z.command, MF_BYCOMMAND | (z.zoom == p->state.zoom ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(menu, IDM_PREVIEW_NEXT,
                 MF_BYCOMMAND | (p->state.page + PagesShown(p->state) < p->state.pageCount ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_PREVIEW_PREVIOUS, MF_BYCOMMAND | (p->state.page > 0 ? MF_ENABLED : MF_GRAYED));
}

void Refresh(Preview* p) {
  SyncBar(p);
  ShowStatus(p);
  UpdateScrollBars(p);
  InvalidateRect(p->area, nullptr, FALSE);
}

void ApplyZoom(Preview* p, int zoom) {
  SetZoom(&p->state, zoom);
  if (zoom != kZoomNone) p->lastZoom = zoom;
  p->scrollX = p->scrollY = 0;
  Refresh(p);
}

// The zoom choices as a pop-up under the tool bar's zoom button.
void ZoomPopup(Preview* p) {
  RECT r;
  GetWindowRect(GetDlgItem(p->bar, IDC_PREVIEW_ZOOM), &r);
  HMENU zoom = GetSubMenu(GetMenu(p->window), 2);
  TrackPopupMenu(zoom, TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, p->window, nullptr);
}

// A number typed into the tool bar.
void OnBarEdit(Preview* p, int control) {
  if (p->syncing) return;
  BOOL ok = FALSE;
  UINT v = GetDlgItemInt(p->bar, control, &ok, FALSE);
  if (!ok) return;
  if (control == IDC_PREVIEW_PAGE) {
    if (v < 1 || v > p->state.pageCount) return;
    SetPage(&p->state, v - 1);
  } else if (control == IDC_PREVIEW_ACROSS || control == IDC_PREVIEW_DOWN) {
    if (v < 1 || v > (UINT)kMaxThumbnails) return;
    int across = control == IDC_PREVIEW_ACROSS ? (int)v : p->state.across;
    int down = control == IDC_PREVIEW_DOWN ? (int)v : p->state.down;
    SetThumbnails(&p->state, across, down);
    SetZoom(&p->state, kZoomNone);
  }
  HMENU menu = GetMenu(p->window);
  for (const ZoomCommand& z : kZoomCommands)
    CheckMenuItem(menu, z.command, MF_BYCOMMAND | (z.zoom == p->state.zoom ? MF_CHECKED : MF_UNCHECKED));
  ShowStatus(p);
  UpdateScrollBars(p);
  InvalidateRect(p->area, nullptr, FALSE);
}

INT_PTR CALLBACK BarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
  Preview* p = reinterpret_cast<Preview*>(GetWindowLongPtrA(bar, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(bar, DWLP_USER, lParam);
      return FALSE;
    case WM_COMMAND:
      if (p == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_PREVIEW_PRINT: PostMessageA(p->window, WM_COMMAND, IDM_PREVIEW_PRINT, 0); return TRUE;
        case IDC_PREVIEW_EXIT:
        case IDCANCEL: PostMessageA(p->window, WM_COMMAND, IDM_PREVIEW_EXIT, 0); return TRUE;
        case IDC_PREVIEW_ZOOM: ZoomPopup(p); return TRUE;
        case IDC_PREVIEW_PAGE:
        case IDC_PREVIEW_ACROSS:
        case IDC_PREVIEW_DOWN:
          if (HIWORD(wParam) == EN_CHANGE) OnBarEdit(p, LOWORD(wParam));
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void AddTips(Preview* p) {
  p->tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, p->window, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (p->tips == nullptr) return;
  static char texts[sizeof kBarTips / sizeof kBarTips[0]][96];
  for (size_t i = 0; i < sizeof kBarTips / sizeof kBarTips[0]; ++i) {
    LoadText(kBarTips[i].text, texts[i], sizeof texts[i]);
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = p->bar;
    ti.uId = (UINT_PTR)GetDlgItem(p->bar, kBarTips[i].control);
    ti.lpszText = texts[i];
    SendMessageA(p->tips, TTM_ADDTOOLA, 0, (LPARAM)&ti);
  }
}

// ---- Jump to a page ----------------------------------------------------------------

struct JumpData {
  size_t pageCount;
  size_t page;
};

INT_PTR CALLBACK JumpProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  JumpData* j = reinterpret_cast<JumpData*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      j = reinterpret_cast<JumpData*>(lParam);
      char text[96];
      FormatJumpPrompt(j->pageCount, text, sizeof text);
      SetDlgItemTextA(dialog, IDC_JUMP_PROMPT, text);
      SendDlgItemMessageA(dialog, IDC_JUMP_SPIN, UDM_SETRANGE32, 1, (LPARAM)j->pageCount);
      SetDlgItemInt(dialog, IDC_JUMP_PAGE, (UINT)(j->page + 1), FALSE);
      SendDlgItemMessageA(dialog, IDC_JUMP_PAGE, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dialog, IDC_JUMP_PAGE));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char text[32];
        GetDlgItemTextA(dialog, IDC_JUMP_PAGE, text, sizeof text);
        size_t page;
        if (!ParsePageNumber(text, j->pageCount, &page)) {
          MessageBeep(MB_ICONEXCLAMATION);
          SendDlgItemMessageA(dialog, IDC_JUMP_PAGE, EM_SETSEL, 0, -1);
          SetFocus(GetDlgItem(dialog, IDC_JUMP_PAGE));
          return TRUE;
        }
        j->page = page;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void JumpToPage(Preview* p) {
  JumpData j = {p->state.pageCount, p->state.page};
  if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_JUMP_PAGE), p->window, JumpProc,
                      (LPARAM)&j) == IDOK) {
    SetPage(&p->state, j.page);
    p->scrollY = 0;
    Refresh(p);
  }
}

// ---- The preview window --------------------------------------------------------

void Layout(Preview* p) {
  RECT rc;
  GetClientRect(p->window, &rc);
  SendMessageA(p->status, WM_SIZE, 0, 0);
  RECT sr, br;
  GetWindowRect(p->status, &sr);
  GetWindowRect(p->bar, &br);
  int statusH = sr.bottom - sr.top, barH = br.bottom - br.top;
  MoveWindow(p->bar, 0, 0, rc.right, barH, TRUE);
  int areaH = rc.bottom - barH - statusH;
  MoveWindow(p->area, 0, barH, rc.right, areaH > 0 ? areaH : 0, TRUE);
  int parts[kStatusParts] = {rc.right / 2, -1};
  SendMessageA(p->status, SB_SETPARTS, kStatusParts, (LPARAM)parts);
}

bool OnCreate(HWND window, Preview* p) {
  p->window = window;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  p->bar = CreateDialogParamA(inst, MAKEINTRESOURCEA(IDD_PREVIEW_BAR), window, BarProc, (LPARAM)p);
  p->area = CreateWindowExA(WS_EX_CLIENTEDGE, kPagesClass, "", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL |
                            WS_TABSTOP, 0, 0, 0, 0, window, (HMENU)(INT_PTR)IDC_PREVIEW_PAGES, inst, p);
  p->status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
                              (HMENU)(INT_PTR)IDC_PREVIEW_STATUS, inst, nullptr);
  if (p->bar == nullptr || p->area == nullptr || p->status == nullptr) return false;
  AddTips(p);
  Layout(p);
  Refresh(p);
  return true;
}

void OnMenuSelect(Preview* p, WPARAM wParam, LPARAM lParam) {
  UINT item = LOWORD(wParam), flags = HIWORD(wParam);
  if (flags == 0xFFFF && lParam == 0) {
    ShowStatus(p);
    return;
  }
  char hint[128] = "";
  if (flags & MF_POPUP) {
    if ((HMENU)lParam == GetMenu(p->window) && item < sizeof kPopupHints / sizeof kPopupHints[0])
      LoadText(kPopupHints[item], hint, sizeof hint);
  } else if (!(flags & (MF_SEPARATOR | MF_SYSMENU))) {
    LoadText(item, hint, sizeof hint);
  }
  SetStatusPart(p, 0, hint);
}

void OnCommand(Preview* p, UINT command) {
  switch (command) {
    case IDM_PREVIEW_PRINT:
      if (PrintPages(p)) {
        p->printed = true;
        DestroyWindow(p->window);
      } else {
        ShowStatus(p);
      }
      return;
    case IDM_PREVIEW_EXIT:
      DestroyWindow(p->window);
      return;
    case IDM_PREVIEW_NEXT:
      if (NextPages(&p->state)) {
        p->scrollY = 0;
        Refresh(p);
      }
      return;
    case IDM_PREVIEW_PREVIOUS:
      if (PreviousPages(&p->state)) {
        p->scrollY = 0;
        Refresh(p);
      }
      return;
    case IDM_PREVIEW_JUMP:
      JumpToPage(p);
      return;
    case IDM_PREVIEW_DISPLAY: {
      HWND across = GetDlgItem(p->bar, IDC_PREVIEW_ACROSS);
      SetFocus(across);
      SendMessageA(across, EM_SETSEL, 0, -1);
      return;
    }
  }
  for (const ZoomCommand& z : kZoomCommands) {
    if (z.command == command) ApplyZoom(p, z.zoom);
  }
}

LRESULT CALLBACK PreviewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  Preview* p = reinterpret_cast<Preview*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (msg) {
    case WM_CREATE: {
      p = reinterpret_cast<Preview*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)p);
      return OnCreate(window, p) ? 0 : -1;
    }
    case WM_SIZE:
      if (p != nullptr && p->status != nullptr && wParam != SIZE_MINIMIZED) Layout(p);
      return 0;
    case WM_MENUSELECT:
      if (p != nullptr) OnMenuSelect(p, wParam, lParam);
      return 0;
    case WM_COMMAND:
      if (p != nullptr && lParam == 0) OnCommand(p, LOWORD(wParam));
      return 0;
    case WM_SETFOCUS:
      if (p != nullptr && p->area != nullptr) SetFocus(p->area);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (p != nullptr) SavePosition(window, kPreviewSection);
      DetachProcedureWindow(window);
      return 0;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

bool RegisterClasses(HINSTANCE inst) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(inst, kPreviewClass, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PreviewProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(IDI_TABLNK));
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPreviewClass;
    if (!RegisterClassExA(&wc)) return false;
  }
  wc = WNDCLASSEXA{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(inst, kPagesClass, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = AreaProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = kPagesClass;
    if (!RegisterClassExA(&wc)) return false;
  }
  return true;
}

}  // namespace

int ReportPreview(const ReportDefinition& definition, const ReportRows& rows) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterClasses(inst)) return 0;
  Preview* p = new Preview();
  p->lastZoom = kZoomPageWidth;
  int result = 0;
  if (OpenReportPages(&p->pages, definition, rows)) {
    p->state.pageCount = ReportPagesCount(p->pages);
    char title[64];
    LoadText(IDS_PREVIEW_TITLE, title, sizeof title);
    HMENU menu = LoadMenuA(inst, MAKEINTRESOURCEA(IDR_PREVIEW));
    HWND owner = ProcedureFrame();
    HWND window = CreateWindowExA(WS_EX_CONTROLPARENT, kPreviewClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  60, 40, 760, 580, owner, menu, inst, p);
    if (window != nullptr) {
      AttachProcedureWindow(window);
      RestorePosition(window, kPreviewSection, true);
      SetForegroundWindow(window);
      RunWindowLoop(window);
      result = p->printed ? 1 : 0;
    } else if (menu != nullptr) {
      DestroyMenu(menu);
    }
  }
  CloseReportPages(&p->pages);
  delete p;
  return result;
}
