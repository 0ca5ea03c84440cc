// The page list: a list-view of one page beside the key-proportional scroll bar
// (see page_list_window.h).
#include "sitelist/windows/page_list_window.h"

#include <commctrl.h>

#include <mutex>

#include "sitelist/windows/browse_scroll.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"

namespace {

const char kClass[] = "TabulinkPageList";
const UINT_PTR kSubclassId = 1;
const int kWheelLines = 3;

struct PageList {
  HWND rows;
  HWND scroll;
  int capacity;
};

PageList* Of(HWND w) { return reinterpret_cast<PageList*>(GetWindowLongPtrA(w, GWLP_USERDATA)); }

HWND Owner(HWND pageList) { return GetParent(pageList); }

bool IsPageKey(WPARAM vk) {
  return vk == VK_UP || vk == VK_DOWN || vk == VK_PRIOR || vk == VK_NEXT || vk == VK_HOME || vk == VK_END;
}

// The list-view's keys and wheel go to the owner, which reads the page.
LRESULT CALLBACK RowsProc(HWND rows, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  HWND pageList = reinterpret_cast<HWND>(data);
  switch (msg) {
    case WM_KEYDOWN:
      if (IsPageKey(wParam)) {
        SendMessageA(Owner(pageList), kPageListKey, wParam, (LPARAM)pageList);
        return 0;
      }
      break;
    case WM_MOUSEWHEEL: {
      int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      WPARAM vk = delta > 0 ? VK_UP : VK_DOWN;
      for (int i = 0; i < kWheelLines; ++i) SendMessageA(Owner(pageList), kPageListKey, vk, (LPARAM)pageList);
      return 0;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(rows, RowsProc, kSubclassId); break;
  }
  return DefSubclassProc(rows, msg, wParam, lParam);
}

int CountPerPage(const PageList* p) {
  int n = (int)SendMessageA(p->rows, LVM_GETCOUNTPERPAGE, 0, 0);
  return n < 1 ? 1 : n;
}

void Layout(HWND pageList, PageList* p) {
  RECT r;
  GetClientRect(pageList, &r);
  int bar = GetSystemMetrics(SM_CXVSCROLL);
  int width = r.right - bar > 0 ? r.right - bar : 0;
  MoveWindow(p->rows, 0, 0, width, r.bottom, TRUE);
  MoveWindow(p->scroll, width, 0, bar, r.bottom, TRUE);
  int capacity = CountPerPage(p);
  if (capacity != p->capacity) {
    p->capacity = capacity;
    SendMessageA(Owner(pageList), kPageListResized, (WPARAM)capacity, (LPARAM)pageList);
  }
}

bool OnCreate(HWND pageList) {
  PageList* p = new PageList{};
  SetWindowLongPtrA(pageList, GWLP_USERDATA, (LONG_PTR)p);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  p->rows = CreateWindowExA(0, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
                            0, 0, pageList, (HMENU)(INT_PTR)IDC_PAGE_ROWS, instance, nullptr);
  p->scroll = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 0, 0, pageList,
                              (HMENU)(INT_PTR)IDC_PAGE_SCROLL, instance, nullptr);
  if (p->rows == nullptr || p->scroll == nullptr) return false;
  SendMessageA(p->rows, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SetWindowSubclass(p->rows, RowsProc, kSubclassId, (DWORD_PTR)pageList);
  SCROLLINFO si = {
      sizeof si, SIF_RANGE | SIF_POS | SIF_PAGE | SIF_DISABLENOSCROLL, kScrollFirst, kScrollLast, 1, kScrollFirst, 0};
  SetScrollInfo(p->scroll, SB_CTL, &si, TRUE);
  return true;
}

LRESULT CALLBACK PageListProc(HWND pageList, UINT msg, WPARAM wParam, LPARAM lParam) {
  PageList* p = Of(pageList);
  switch (msg) {
    case WM_CREATE: return OnCreate(pageList) ? 0 : -1;
    case WM_SIZE:
      if (p != nullptr) Layout(pageList, p);
      return 0;
    case WM_SETFONT:
      if (p != nullptr) SendMessageA(p->rows, WM_SETFONT, wParam, lParam);
      return 0;
    case WM_SETFOCUS:
      if (p != nullptr) SetFocus(p->rows);
      return 0;
    case WM_VSCROLL: return SendMessageA(Owner(pageList), WM_VSCROLL, wParam, (LPARAM)pageList);
    case WM_NOTIFY: return SendMessageA(Owner(pageList), WM_NOTIFY, wParam, lParam);
    case WM_CONTEXTMENU: return SendMessageA(Owner(pageList), WM_CONTEXTMENU, (WPARAM)pageList, lParam);
    case WM_NCDESTROY:
      delete p;
      SetWindowLongPtrA(pageList, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(pageList, msg, wParam, lParam);
}

}  // namespace

bool RegisterPageListClass() {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [] {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PageListProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    registered = RegisterClassExA(&wc) != 0 || GetClassInfoExA(wc.hInstance, kClass, &wc);
  });
  return registered;
}

HWND PageListRows(HWND pageList) {
  PageList* p = Of(pageList);
  return p != nullptr ? p->rows : nullptr;
}

HWND PageListScroll(HWND pageList) {
  PageList* p = Of(pageList);
  return p != nullptr ? p->scroll : nullptr;
}

int PageListCapacity(HWND pageList) {
  PageList* p = Of(pageList);
  return p != nullptr ? CountPerPage(p) : 1;
}

void PageListSetThumb(HWND pageList, int position) {
  PageList* p = Of(pageList);
  if (p == nullptr) return;
  SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, position, 0};
  SetScrollInfo(p->scroll, SB_CTL, &si, TRUE);
}

void PageListAddColumn(HWND pageList, UINT headingId, int widthDlu, bool rightAligned) {
  PageList* p = Of(pageList);
  if (p == nullptr) return;
  RECT r = {0, 0, widthDlu, 8};
  MapDialogRect(GetParent(pageList), &r);
  char heading[64];
  LoadText(headingId, heading, sizeof heading);
  int index = Header_GetItemCount(ListView_GetHeader(p->rows));
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = rightAligned && index > 0 ? LVCFMT_RIGHT : LVCFMT_LEFT;
  column.cx = r.right;
  column.pszText = heading;
  column.iSubItem = index;
  SendMessageA(p->rows, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}
