// The page list of the site browses (window class "TabulinkPageList"): a
// report list-view showing one page of rows beside a vertical scroll bar whose
// thumb runs from 1 to 100 along the key. The list-view holds only the rows of
// the page; every move is the owner's, which reads the page from the key:
//   - the arrow keys, Page Up and Down, Home and End pressed in the list and the
//     mouse wheel reach the owner as kPageListKey (wParam: VK_UP, VK_DOWN,
//     VK_PRIOR, VK_NEXT, VK_HOME, VK_END; lParam: the page list);
//   - the scroll bar's requests reach the owner as WM_VSCROLL (lParam: the
//     page list), a dragged thumb as SB_THUMBPOSITION with its position 1..100;
//   - a change of the rows the list has room for reaches it as kPageListResized;
//   - the list-view's notifications (selection, double-click, right-click) reach
//     it as WM_NOTIFY from the list-view (control id IDC_PAGE_ROWS).
#ifndef SITELIST_WINDOWS_PAGE_LIST_WINDOW_H
#define SITELIST_WINDOWS_PAGE_LIST_WINDOW_H

#include <windows.h>

const UINT kPageListKey = WM_APP + 40;
const UINT kPageListResized = WM_APP + 41;

// Registers the window class (once). False when it cannot be registered.
bool RegisterPageListClass();

// The page list's list-view and scroll bar.
HWND PageListRows(HWND pageList);
HWND PageListScroll(HWND pageList);

// How many whole rows the list-view shows at its present size (at least 1).
int PageListCapacity(HWND pageList);

// Puts the thumb at position (1..100).
void PageListSetThumb(HWND pageList, int position);

// Adds a column to the list-view: heading from the string table, width in
// dialog units of the page list's dialog.
void PageListAddColumn(HWND pageList, UINT headingId, int widthDlu, bool rightAligned);

#endif
