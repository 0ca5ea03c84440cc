// BrowseTABLNK and BrowseURL:K_Category: the site list read a page at a time
// from the key of the chosen order, with the thumb proportional to the key,
// the buttons and pop-up menu that call the site form, quick HTML publishing
// and "URL -> Clipboard". The browse keeps its record buffer in its own state
// and hands it to the forms it calls.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>

#include <mutex>
#include <new>
#include <vector>

#include "sitelist/records/record_messages.h"
#include "sitelist/windows/browse_scroll.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/page_list_window.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"
#include "common/tx_util.h"

namespace {

const char kBrowseName[] = "BrowseTABLNK";
const char kBrowseStamp[] = "714333785850";
const char kByCategoryName[] = "BrowseURL:K_Category";

const int kSiteFiles[] = {RF_TABLNK, RF_CATEGORIES};

// "CtrlSize1".."CtrlSize14": the list, the five tabs and their sheet (which
// share the sheet's place), "Select Category" and the six buttons.
const int kScaled[] = {IDC_BT_LIST,      IDC_BT_TABS,   IDC_BT_TABS,   IDC_BT_TABS,
                       IDC_BT_TABS,      IDC_BT_TABS,   IDC_BT_TABS,   IDC_BT_SELECT_CATEGORY,
                       IDC_BT_INSERT,    IDC_BT_CHANGE, IDC_BT_DELETE, IDC_BT_HTML,
                       IDC_BT_CLIPBOARD, IDC_BT_CLOSE};
static_assert(ARRAY_SIZE(kScaled) == 14, "BrowseTABLNK scales 14 controls");

const UINT kTabTexts[kTabCount] = {IDS_TAB_DESCRIPTION, IDS_TAB_LOCATION, IDS_TAB_CATEGORY, IDS_TAB_RATING,
                                   IDS_TAB_KEYWORD};

// A column of a site list: heading, width in dialog units, characters shown.
struct Column {
  UINT heading;
  int width;
  int shown;
  bool right;
};
enum ColumnField { kColDescription, kColLocation, kColCategory, kColRating, kColKeyword };
struct ColumnDesign {
  int field;
  Column column;
};
const ColumnDesign kBrowseColumns[] = {
    {kColDescription, {IDS_COL_DESCRIPTION, 107, 100, false}}, {kColLocation, {IDS_COL_LOCATION, 89, 255, false}},
    {kColCategory, {IDS_COL_CATEGORY, 60, 30, false}},         {kColRating, {IDS_COL_RATING, 30, 2, true}},
    {kColKeyword, {IDS_COL_KEYWORD, 50, 10, false}},
};
const ColumnDesign kByCategoryColumns[] = {
    {kColLocation, {IDS_COL_LOCATION, 110, 60, false}}, {kColDescription, {IDS_COL_DESCRIPTION, 100, 60, false}},
    {kColCategory, {IDS_COL_CATEGORY, 50, 15, false}},  {kColRating, {IDS_COL_RATING, 30, 2, true}},
    {kColKeyword, {IDS_COL_KEYWORD, 40, 10, false}},
};

struct BrowseState {
  bool byCategory;                                  // BrowseURL:K_Category
  int tab;                                          // BrowseTab
  char category[sizeof(SiteRecord::Category) + 1];  // the range value
  SiteReader reader;
  bool readerOpen;
  SitePage page;
  ScrollSamples samples;
  bool atLast;        // the highlighted row is the order's last
  bool filling;       // the list-view is being filled: its notifications are ours
  SiteRecord record;  // the window's record buffer for its forms
  HWND list;          // the page list
  const ColumnDesign* columns;
  int columnCount;
};

// ---- Open browses --------------------------------------------------------------

std::mutex g_browsesLock;
std::vector<HWND> g_browses;

// ---- The list ----------------------------------------------------------------------

void CellText(const SiteRecord* s, const ColumnDesign& c, char* out, size_t cap) {
  char text[256];
  switch (c.field) {
    case kColDescription: GET_FIELD(s->Description, text); break;
    case kColLocation: GET_FIELD(s->Location, text); break;
    case kColCategory: GET_FIELD(s->Category, text); break;
    case kColKeyword: GET_FIELD(s->Keyword, text); break;
    default: snprintf(text, sizeof text, "%2d", (int)s->Rating); break;
  }
  if ((int)strlen(text) > c.column.shown) text[c.column.shown] = '\0';
  snprintf(out, cap, "%s", text);
}

void ReportReadFailure(int rc) { RecordPrompt(RM_RECORD_RETRIEVAL, rc, TABLNK_Decl.label, nullptr); }

// Draws the page into the list-view, the highlight and the thumb.
void Show(HWND dialog, BrowseState* s) {
  HWND rows = PageListRows(s->list);
  s->filling = true;
  SendMessageA(rows, WM_SETREDRAW, FALSE, 0);
  SendMessageA(rows, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < s->page.count; ++i) {
    for (int c = 0; c < s->columnCount; ++c) {
      char text[256];
      CellText(&s->page.rows[i], s->columns[c], text, sizeof text);
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.iSubItem = c;
      item.pszText = text;
      SendMessageA(rows, c == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
    }
  }
  if (s->page.selected >= 0) SelectListRow(rows, s->page.selected);
  SendMessageA(rows, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(rows, nullptr, TRUE);
  s->filling = false;
  const SiteRecord* highlighted = s->page.selected >= 0 ? &s->page.rows[s->page.selected] : nullptr;
  PageListSetThumb(s->list, ThumbPosition(&s->samples, highlighted, s->atLast));
  EnableWindow(GetDlgItem(dialog, s->byCategory ? IDC_BC_CHANGE : IDC_BT_CHANGE), s->page.count > 0);
  EnableWindow(GetDlgItem(dialog, s->byCategory ? IDC_BC_DELETE : IDC_BT_DELETE), s->page.count > 0);
  if (!s->byCategory) EnableWindow(GetDlgItem(dialog, IDC_BT_CLIPBOARD), s->page.count > 0);
}

// The first and last site of the order and the samples between them.
void Sample(BrowseState* s) {
  SiteRecord first, last;
  if (ReaderFirst(&s->reader, &first) == KS_OK && ReaderLast(&s->reader, &last) == KS_OK)
    BuildScrollSamples(s->tab, &first, &last, &s->samples);
  else BuildScrollSamples(s->tab, nullptr, nullptr, &s->samples);
}

// Whether the highlighted row is the order's last (the thumb of an order
// without samples shows at the end then).
void NoteLast(BrowseState* s) {
  s->atLast = false;
  if (s->page.selected < 0) return;
  SiteRecord after;
  if (ReaderAtRow(&s->reader, &s->page.rows[s->page.selected]) != KS_OK) return;
  if (ReaderNext(&s->reader, &after) != KS_OK) return;  // the row itself
  s->atLast = ReaderNext(&s->reader, &after) == KS_ERR_NO_RECORD;
}

// Runs a page move; a failed read is told and the list keeps what it shows.
void Move(HWND dialog, BrowseState* s, int rc) {
  if (rc != KS_OK) ReportReadFailure(rc);
  NoteLast(s);
  Show(dialog, s);
}

// Switches the list to the order of the present tab and limit, from its start.
void OpenOrder(HWND dialog, BrowseState* s) {
  BrowseOrder order;
  BrowseOrderForTab(s->tab, s->category, &order);
  int rc = s->readerOpen ? ReaderSetOrder(&s->reader, &order) : ReaderOpen(&s->reader, RecordFile(RF_TABLNK), &order);
  if (rc != KS_OK) {
    ReportReadFailure(rc);
    return;
  }
  s->readerOpen = true;
  Sample(s);
  Move(dialog, s, PageFirst(&s->reader, &s->page));
}

// Reads the rows again from the records as stored (after a form, or when
// another window changed them).
void Redraw(HWND dialog, BrowseState* s) {
  if (!s->readerOpen) return;
  Sample(s);
  Move(dialog, s, PageRedraw(&s->reader, &s->page));
}

void ShowCategoryButton(HWND dialog, BrowseState* s) {
  if (!s->byCategory)
    ShowWindow(GetDlgItem(dialog, IDC_BT_SELECT_CATEGORY), s->tab == kTabCategory ? SW_SHOW : SW_HIDE);
}

// ---- Commands --------------------------------------------------------------------

void AfterForm(HWND dialog, BrowseState* s, int response, bool positionOnRecord) {
  if (response != kResponseCompleted) {
    Redraw(dialog, s);
    return;
  }
  RefreshBrowses();
  if (positionOnRecord) {
    Sample(s);
    Move(dialog, s, PageOnRow(&s->reader, &s->page, &s->record));
  }
}

void OnInsert(HWND dialog, BrowseState* s) {
  ks_clear(&TABLNK_Decl, &s->record);
  if (s->tab == kTabCategory) SET_FIELD(s->record.Category, s->category);
  int response = UpdateTABLNK(dialog, kRequestInsert, &s->record);
  AfterForm(dialog, s, response, true);
}

void OnChange(HWND dialog, BrowseState* s) {
  if (s->page.selected < 0) return;
  s->record = s->page.rows[s->page.selected];
  AfterForm(dialog, s, UpdateTABLNK(dialog, kRequestChange, &s->record), false);
}

void OnDelete(HWND dialog, BrowseState* s) {
  if (s->page.selected < 0) return;
  s->record = s->page.rows[s->page.selected];
  AfterForm(dialog, s, UpdateTABLNK(dialog, kRequestDelete, &s->record), false);
}

void OnSelectCategory(HWND dialog, BrowseState* s) {
  CategoryRecord* picked = new (std::nothrow) CategoryRecord;
  if (picked == nullptr) return;
  if (SelectCategories(dialog, s->category, picked) == kResponseCompleted) {
    GET_FIELD(picked->Category, s->category);
    OpenOrder(dialog, s);
  }
  delete picked;
}

void OnHtml(HWND dialog, BrowseState* s) { QuickPublish(dialog, &s->reader.order, &s->page); }

void OnClipboard(HWND dialog, BrowseState* s) {
  if (s->page.selected < 0) return;
  char location[sizeof s->record.Location + 1];
  GET_FIELD(s->page.rows[s->page.selected].Location, location);
  size_t n = strlen(location) + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, n);
  if (memory == nullptr) return;
  char* text = static_cast<char*>(GlobalLock(memory));
  memcpy(text, location, n);
  GlobalUnlock(memory);
  if (!OpenClipboard(dialog)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
  CloseClipboard();
}

void OnClose(HWND dialog, BrowseState*) { CloseWindowRun(dialog); }

const WindowCommand<BrowseState> kBrowseCommands[] = {
    {IDC_BT_INSERT, OnInsert},    {IDC_BT_CHANGE, OnChange},
    {IDC_BT_DELETE, OnDelete},    {IDC_BT_SELECT_CATEGORY, OnSelectCategory},
    {IDC_BT_HTML, OnHtml},        {IDC_BT_CLIPBOARD, OnClipboard},
    {IDC_BT_CLOSE, OnClose},      {IDC_BC_INSERT, OnInsert},
    {IDC_BC_CHANGE, OnChange},    {IDC_BC_DELETE, OnDelete},
    {IDC_BC_CLOSE, OnClose},      {IDM_POPUP_INSERT, OnInsert},
    {IDM_POPUP_CHANGE, OnChange}, {IDM_POPUP_DELETE, OnDelete},
};

// ---- Messages ----------------------------------------------------------------------

void OnPageKey(HWND dialog, BrowseState* s, WPARAM vk) {
  if (!s->readerOpen) return;
  switch (vk) {
    case VK_UP: Move(dialog, s, LineUp(&s->reader, &s->page)); break;
    case VK_DOWN: Move(dialog, s, LineDown(&s->reader, &s->page)); break;
    case VK_PRIOR: Move(dialog, s, PageUp(&s->reader, &s->page)); break;
    case VK_NEXT: Move(dialog, s, PageDown(&s->reader, &s->page)); break;
    case VK_HOME: Move(dialog, s, PageFirst(&s->reader, &s->page)); break;
    case VK_END: Move(dialog, s, PageLast(&s->reader, &s->page)); break;
  }
}

void OnScroll(HWND dialog, BrowseState* s, WPARAM wParam) {
  if (!s->readerOpen) return;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: OnPageKey(dialog, s, VK_UP); break;
    case SB_LINEDOWN: OnPageKey(dialog, s, VK_DOWN); break;
    case SB_PAGEUP: OnPageKey(dialog, s, VK_PRIOR); break;
    case SB_PAGEDOWN: OnPageKey(dialog, s, VK_NEXT); break;
    case SB_TOP: OnPageKey(dialog, s, VK_HOME); break;
    case SB_BOTTOM: OnPageKey(dialog, s, VK_END); break;
    case SB_THUMBPOSITION: {
      SiteRecord value;
      int target = ThumbDragTarget(&s->samples, (int)HIWORD(wParam), &value);
      if (target == kThumbFirst) Move(dialog, s, PageFirst(&s->reader, &s->page));
      else if (target == kThumbLast) Move(dialog, s, PageLast(&s->reader, &s->page));
      else if (target == kThumbValue) Move(dialog, s, PageAtValue(&s->reader, &s->page, &value));
      else Show(dialog, s);  // the "Keyword" tab: the thumb goes back
      break;
    }
  }
}

void OnContextMenu(HWND dialog, BrowseState* s, LPARAM point) {
  const UINT dimmed[] = {IDM_POPUP_CHANGE, IDM_POPUP_DELETE};
  UINT command =
      TrackListPopup(dialog, IDR_BROWSE_POPUP, point, PageListRows(s->list), dimmed, s->page.count == 0 ? 2 : 0);
  if (command != 0) DispatchWindowCommand(kBrowseCommands, dialog, command);
}

void OnNotify(HWND dialog, BrowseState* s, NMHDR* n) {
  if (n->idFrom == IDC_PAGE_ROWS) {
    if (n->code == LVN_ITEMCHANGED && !s->filling) {
      NMLISTVIEW* lv = reinterpret_cast<NMLISTVIEW*>(n);
      if ((lv->uNewState & LVIS_SELECTED) && lv->iItem >= 0 && lv->iItem < s->page.count) {
        s->page.selected = lv->iItem;
        NoteLast(s);
        PageListSetThumb(s->list, ThumbPosition(&s->samples, &s->page.rows[lv->iItem], s->atLast));
      }
    } else if (n->code == NM_DBLCLK) {
      OnChange(dialog, s);
    }
  } else if (n->idFrom == IDC_BT_TABS && n->code == TCN_SELCHANGE) {
    s->tab = (int)SendMessageA(n->hwndFrom, TCM_GETCURSEL, 0, 0);
    ShowCategoryButton(dialog, s);
    OpenOrder(dialog, s);
  }
}

void SetUpTabs(HWND dialog) {
  HWND tabs = GetDlgItem(dialog, IDC_BT_TABS);
  for (int i = 0; i < kTabCount; ++i) {
    char text[32];
    LoadText(kTabTexts[i], text, sizeof text);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageA(tabs, TCM_INSERTITEMA, (WPARAM)i, (LPARAM)&item);
  }
}

void SetUpHints(HWND dialog) {
  const int ids[] = {IDC_BT_SELECT_CATEGORY, IDC_BT_INSERT, IDC_BT_CHANGE, IDC_BT_DELETE, IDC_BT_HTML,
                     IDC_BT_CLIPBOARD,       IDC_BT_CLOSE};
  const UINT texts[] = {IDS_HINT_SELECT_CATEGORY, IDS_HINT_INSERT, IDS_HINT_CHANGE, IDS_HINT_DELETE, IDS_HINT_HTML,
                        IDS_HINT_CLIPBOARD,       IDS_HINT_CLOSE};
  static_assert(ARRAY_SIZE(ids) == ARRAY_SIZE(texts), "one hint per button");
  AddControlHints(dialog, ids, texts, (int)(ARRAY_SIZE(ids)));
}

BOOL OnInitDialog(HWND dialog, BrowseState* s) {
  s->list = GetDlgItem(dialog, s->byCategory ? IDC_BC_LIST : IDC_BT_LIST);
  for (int c = 0; c < s->columnCount; ++c)
    PageListAddColumn(s->list, s->columns[c].column.heading, s->columns[c].column.width, s->columns[c].column.right);
  if (!s->byCategory) {
    SetUpTabs(dialog);
    SetUpHints(dialog);
    ShowCategoryButton(dialog, s);
  } else {
    char title[128], caption[192];
    GetWindowTextA(dialog, title, sizeof title);
    snprintf(caption, sizeof caption, "%s - %s", title, s->category);
    SetWindowTextA(dialog, caption);
  }
  s->page.capacity = PageListCapacity(s->list);
  RegisterOpenBrowse(dialog);
  OpenOrder(dialog, s);
  return TRUE;
}

void OnDestroy(HWND dialog, BrowseState* s) {
  UnregisterOpenBrowse(dialog);
  if (s->readerOpen) ReaderClose(&s->reader);
  s->readerOpen = false;
}

INT_PTR CALLBACK BrowseProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  BrowseState* s = msg == WM_INITDIALOG ? reinterpret_cast<BrowseState*>(lParam) : WindowStateOf<BrowseState>(dialog);
  if (s == nullptr) return FALSE;
  if (msg == BrowseRefreshMessage()) {
    Redraw(dialog, s);
    return TRUE;
  }
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog, s);
    case WM_COMMAND: return DispatchWindowCommand(kBrowseCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: OnNotify(dialog, s, reinterpret_cast<NMHDR*>(lParam)); return TRUE;
    case WM_VSCROLL: OnScroll(dialog, s, wParam); return TRUE;
    case WM_CONTEXTMENU: OnContextMenu(dialog, s, lParam); return TRUE;
    case kPageListKey: OnPageKey(dialog, s, wParam); return TRUE;
    case kPageListResized:
      if (s->readerOpen) Move(dialog, s, PageResize(&s->reader, &s->page, (int)wParam));
      return TRUE;
    case WM_DESTROY: OnDestroy(dialog, s); return FALSE;
  }
  return FALSE;
}

int RunBrowse(BrowseState* s, const WindowDesign* design) {
  if (!RegisterPageListClass()) return kWindowNotOpened;
  return RunWindow(design, s);
}

}  // namespace

int BrowseTABLNK(void*) {
  BrowseState* s = new (std::nothrow) BrowseState();
  if (s == nullptr) return kWindowNotOpened;
  s->tab = kTabDescription;
  s->columns = kBrowseColumns;
  s->columnCount = (int)(ARRAY_SIZE(kBrowseColumns));
  static const WindowDesign design = {kBrowseName, IDD_BROWSE_TABLNK, kMdiChildWindow, BrowseProc, kSiteFiles, 2,
                                      true,        kBrowseStamp,      kScaled,         14,         false};
  int code = RunBrowse(s, &design);
  delete s;
  return code;
}

int BrowseSitesOfCategory(void* categoryName) {
  char* name = static_cast<char*>(categoryName);
  BrowseState* s = new (std::nothrow) BrowseState();
  int code = kWindowNotOpened;
  if (s != nullptr) {
    s->byCategory = true;
    s->tab = kTabCategory;
    snprintf(s->category, sizeof s->category, "%s", name != nullptr ? name : "");
    s->columns = kByCategoryColumns;
    s->columnCount = (int)(ARRAY_SIZE(kByCategoryColumns));
    static const WindowDesign design = {kByCategoryName,
                                        IDD_BROWSE_BYCATEGORY,
                                        kMdiChildWindow,
                                        BrowseProc,
                                        kSiteFiles,
                                        2,
                                        false,
                                        nullptr,
                                        nullptr,
                                        0,
                                        false};
    code = RunBrowse(s, &design);
    delete s;
  }
  delete[] name;
  return code;
}

bool StartSitesOfCategory(const char* category) {
  size_t n = strlen(category) + 1;
  char* copy = new (std::nothrow) char[n];
  if (copy == nullptr) return false;
  memcpy(copy, category, n);
  if (StartProcedure(BrowseSitesOfCategory, copy)) return true;
  delete[] copy;
  return false;
}

// ---- Open browses and shared helpers ----------------------------------------------

UINT BrowseRefreshMessage() {
  static UINT message = RegisterWindowMessageA("TabulinkBrowseRefresh");
  return message;
}

void RegisterOpenBrowse(HWND dialog) {
  std::lock_guard<std::mutex> hold(g_browsesLock);
  g_browses.push_back(dialog);
}

void UnregisterOpenBrowse(HWND dialog) {
  std::lock_guard<std::mutex> hold(g_browsesLock);
  for (size_t i = 0; i < g_browses.size(); ++i) {
    if (g_browses[i] == dialog) {
      g_browses.erase(g_browses.begin() + (long)i);
      break;
    }
  }
}

void RefreshBrowses() {
  std::lock_guard<std::mutex> hold(g_browsesLock);
  for (HWND w : g_browses) PostMessageA(w, BrowseRefreshMessage(), 0, 0);
}

HWND AddControlHints(HWND dialog, const int* ids, const UINT* texts, int count) {
  HWND tip =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (tip == nullptr) return nullptr;
  SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 300);
  for (int i = 0; i < count; ++i) {
    char text[256];
    LoadText(texts[i], text, sizeof text);
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = dialog;
    info.uId = (UINT_PTR)GetDlgItem(dialog, ids[i]);
    info.lpszText = text;
    SendMessageA(tip, TTM_ADDTOOLA, 0, (LPARAM)&info);
  }
  return tip;
}

int SelectedListRow(HWND list) { return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }

void SelectListRow(HWND list, int row) {
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
  SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
}

UINT TrackListPopup(HWND dialog, UINT menuId, LPARAM screenPoint, HWND list, const UINT* dimmed, int dimmedCount) {
  HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
  if (bar == nullptr) return 0;
  HMENU popup = GetSubMenu(bar, 0);
  for (int i = 0; i < dimmedCount; ++i) EnableMenuItem(popup, dimmed[i], MF_BYCOMMAND | MF_GRAYED);
  POINT at = {(short)LOWORD(screenPoint), (short)HIWORD(screenPoint)};
  if (screenPoint == (LPARAM)-1 || (at.x == -1 && at.y == -1)) {
    RECT r = {};
    int row = SelectedListRow(list);
    if (row < 0 || !ListView_GetItemRect(list, row, &r, LVIR_BOUNDS)) GetClientRect(list, &r);
    at.x = r.left + 8;
    at.y = r.bottom;
    ClientToScreen(list, &at);
  }
  UINT command = (UINT)TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
  DestroyMenu(bar);
  return command;
}

void UseTabPageBackground(HWND dialog) {
  typedef HRESULT(WINAPI * EnableTexture)(HWND, DWORD);
  const DWORD kEnableTab = 0x00000006;  // ETDT_ENABLETAB
  HMODULE theme = GetModuleHandleA("uxtheme.dll");
  if (theme == nullptr) theme = LoadLibraryA("uxtheme.dll");
  if (theme == nullptr) return;
  EnableTexture enable =
      reinterpret_cast<EnableTexture>(reinterpret_cast<void*>(GetProcAddress(theme, "EnableThemeDialogTexture")));
  if (enable != nullptr) enable(dialog, kEnableTab);
}
