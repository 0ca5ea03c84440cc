// The category windows: BrowseCategories ("Browse Categories", with its tip),
// the picker SelectCategories, the category form UpdateCategories with its
// "General", "HTML" and "Locations" tabs whose lists follow the name in the
// "&Category:" field, and the HTML text form UpdateCatHTML. Renames and
// deletes carry over to the category's texts and sites in one transaction
// (ChangeCategory, DeleteCategory). Each window keeps its records in its own
// state and hands them to the forms it calls.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/records/store_internal.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/category_list_window.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"
#include "common/tx_util.h"

namespace {

const int kAllFiles[] = {RF_CATEGORIES, RF_CATHTML, RF_TABLNK};
const int kCategoryFiles[] = {RF_CATEGORIES};
const int kTextFiles[] = {RF_CATHTML};
const UINT kNoDimmed[] = {0};

// ---- Shared ---------------------------------------------------------------------

// Reads the category named `name` (without regard to case) into *out; a read
// error is told. True when found.
bool ReadCategory(const char* name, CategoryRecord* out) {
  ks_clear(&Categories_Decl, out);
  SET_FIELD(out->Category, name);
  int rc = ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, out);
  if (rc == KS_OK) return true;
  RecordPrompt(RM_RECORD_RETRIEVAL, rc, Categories_Decl.label, nullptr);
  return false;
}

bool SameCategory(const char* a, const char* b, size_t width) {
  for (size_t i = 0; i < width; ++i)
    if (kAnsiLower[(uint8_t)a[i]] != kAnsiLower[(uint8_t)b[i]]) return false;
  return true;
}

void AddColumn(HWND list, UINT heading, int widthDlu) {
  RECT r = {0, 0, widthDlu, 8};
  MapDialogRect(GetParent(list), &r);
  char text[64];
  LoadText(heading, text, sizeof text);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.cx = r.right;
  column.pszText = text;
  column.iSubItem = Header_GetItemCount(ListView_GetHeader(list));
  SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)column.iSubItem, (LPARAM)&column);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void AddRow(HWND list, int row, const char* first, const char* second) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<char*>(first);
  int at = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
  if (at >= 0 && second != nullptr) {
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(second);
    SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)at, (LPARAM)&item);
  }
}

int ConfirmThenRetry(int (*remove)(void* record), void* record, const int* files, int fileCount) {
  if (RecordPrompt(RM_CONFIRM_DELETE, 0, nullptr, nullptr) != RA_OK) return kResponseCancelled;
  int opened = 0;
  while (opened < fileCount && OpenRecordFile(files[opened])) ++opened;
  int response = kResponseCancelled;
  if (opened == fileCount) {
    for (;;) {
      if (remove(record)) {
        response = kResponseCompleted;
        break;
      }
      if (AskDeleteRetry() != RA_YES) break;
    }
  }
  while (opened > 0) CloseRecordFile(files[--opened]);
  return response;
}

int RemoveCategory(void* record) {
  CategoryRecord attempt = *static_cast<CategoryRecord*>(record);
  return DeleteCategory(&attempt);
}

int RemoveText(void* record) {
  CatHtmlRecord attempt = *static_cast<CatHtmlRecord*>(record);
  return DeleteCatText(&attempt);
}

// ---- BrowseCategories ---------------------------------------------------------------

struct CategoryBrowse {
  HWND list;
  CategoryRecord record;  // the window's record buffer for its form
};

void FillBrowse(CategoryBrowse* b, const char* select) { FillCategoryList(b->list, kAllCategories, select); }

void KeepSelection(CategoryBrowse* b) {
  char name[64];
  SelectedCategoryName(b->list, name, sizeof name);
  FillBrowse(b, name);
}

void OnBrowseInsert(HWND dialog, CategoryBrowse* b) {
  ks_clear(&Categories_Decl, &b->record);
  if (UpdateCategories(dialog, kRequestInsert, &b->record) == kResponseCompleted) {
    char name[sizeof b->record.Category + 1];
    GET_FIELD(b->record.Category, name);
    FillBrowse(b, name);
    RefreshBrowses();
  } else {
    KeepSelection(b);
  }
}

void ChangeOrDelete(HWND dialog, CategoryBrowse* b, int request) {
  char name[64];
  if (!SelectedCategoryName(b->list, name, sizeof name) || !ReadCategory(name, &b->record)) return;
  if (UpdateCategories(dialog, request, &b->record) == kResponseCompleted) {
    GET_FIELD(b->record.Category, name);
    FillBrowse(b, request == kRequestDelete ? nullptr : name);
    RefreshBrowses();
  } else {
    KeepSelection(b);
  }
}

void OnBrowseChange(HWND dialog, CategoryBrowse* b) { ChangeOrDelete(dialog, b, kRequestChange); }
void OnBrowseDelete(HWND dialog, CategoryBrowse* b) { ChangeOrDelete(dialog, b, kRequestDelete); }

void OnBrowseLocations(HWND, CategoryBrowse* b) {
  char name[64];
  if (SelectedCategoryName(b->list, name, sizeof name)) StartSitesOfCategory(name);
}

void OnBrowseClose(HWND dialog, CategoryBrowse*) { CloseWindowRun(dialog); }

const WindowCommand<CategoryBrowse> kBrowseCommands[] = {
    {IDC_CB_INSERT, OnBrowseInsert},       {IDC_CB_CHANGE, OnBrowseChange},    {IDC_CB_DELETE, OnBrowseDelete},
    {IDC_CB_LOCATIONS, OnBrowseLocations}, {IDC_CB_CLOSE, OnBrowseClose},      {IDM_POPUP_INSERT, OnBrowseInsert},
    {IDM_POPUP_CHANGE, OnBrowseChange},    {IDM_POPUP_DELETE, OnBrowseDelete},
};

void UpdateBrowseButtons(HWND dialog, CategoryBrowse* b) {
  bool any = SelectedListRow(b->list) >= 0;
  EnableWindow(GetDlgItem(dialog, IDC_CB_CHANGE), any);
  EnableWindow(GetDlgItem(dialog, IDC_CB_DELETE), any);
  EnableWindow(GetDlgItem(dialog, IDC_CB_LOCATIONS), any);
}

INT_PTR CALLBACK CategoryBrowseProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  CategoryBrowse* b =
      msg == WM_INITDIALOG ? reinterpret_cast<CategoryBrowse*>(lParam) : WindowStateOf<CategoryBrowse>(dialog);
  if (b == nullptr) return FALSE;
  if (msg == BrowseRefreshMessage()) {
    KeepSelection(b);
    UpdateBrowseButtons(dialog, b);
    return TRUE;
  }
  switch (msg) {
    case WM_INITDIALOG:
      b->list = GetDlgItem(dialog, IDC_CB_LIST);
      AddCategoryColumns(b->list, 121, 1020);
      FillBrowse(b, nullptr);
      UpdateBrowseButtons(dialog, b);
      RegisterOpenBrowse(dialog);
      return TRUE;
    case WM_COMMAND: return DispatchWindowCommand(kBrowseCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      NMHDR* n = reinterpret_cast<NMHDR*>(lParam);
      if (n->idFrom == IDC_CB_LIST && n->code == NM_DBLCLK) OnBrowseChange(dialog, b);
      if (n->idFrom == IDC_CB_LIST && n->code == LVN_ITEMCHANGED) UpdateBrowseButtons(dialog, b);
      return TRUE;
    }
    case WM_CONTEXTMENU: {
      if ((HWND)wParam != b->list) return FALSE;
      const UINT dimmed[] = {IDM_POPUP_CHANGE, IDM_POPUP_DELETE};
      UINT command =
          TrackListPopup(dialog, IDR_BROWSE_POPUP, lParam, b->list, SelectedListRow(b->list) < 0 ? dimmed : kNoDimmed,
                         SelectedListRow(b->list) < 0 ? 2 : 0);
      if (command != 0) DispatchWindowCommand(kBrowseCommands, dialog, command);
      return TRUE;
    }
    case WM_DESTROY: UnregisterOpenBrowse(dialog); return FALSE;
  }
  return FALSE;
}

// ---- SelectCategories ---------------------------------------------------------------

struct Picker {
  const char* select;
  CategoryRecord* chosen;  // the caller's record
  HWND list;
};

void OnPick(HWND dialog, Picker* p) {
  char name[64];
  if (!SelectedCategoryName(p->list, name, sizeof name)) return;
  if (!ReadCategory(name, p->chosen)) return;
  EndForm(dialog, kResponseCompleted);
}

void OnPickClose(HWND dialog, Picker*) { EndForm(dialog, kResponseCancelled); }

const WindowCommand<Picker> kPickerCommands[] = {
    {IDC_SC_SELECT, OnPick}, {IDM_POPUP_SELECT, OnPick}, {IDCANCEL, OnPickClose}};

INT_PTR CALLBACK PickerProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  Picker* p = msg == WM_INITDIALOG ? reinterpret_cast<Picker*>(lParam) : WindowStateOf<Picker>(dialog);
  if (p == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      p->list = GetDlgItem(dialog, IDC_SC_LIST);
      AddCategoryColumns(p->list, 120, 1020);
      if (FillCategoryList(p->list, kAllCategories, p->select) != KS_OK) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      EnableWindow(GetDlgItem(dialog, IDC_SC_SELECT), SelectedListRow(p->list) >= 0);
      return TRUE;
    case WM_COMMAND: return DispatchWindowCommand(kPickerCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      NMHDR* n = reinterpret_cast<NMHDR*>(lParam);
      if (n->idFrom == IDC_SC_LIST && n->code == NM_DBLCLK) OnPick(dialog, p);
      if (n->idFrom == IDC_SC_LIST && n->code == LVN_ITEMCHANGED)
        EnableWindow(GetDlgItem(dialog, IDC_SC_SELECT), SelectedListRow(p->list) >= 0);
      return TRUE;
    }
    case WM_CONTEXTMENU: {
      if ((HWND)wParam != p->list) return FALSE;
      const UINT dimmed[] = {IDM_POPUP_SELECT};
      UINT command =
          TrackListPopup(dialog, IDR_SELECT_POPUP, lParam, p->list, dimmed, SelectedListRow(p->list) < 0 ? 1 : 0);
      if (command != 0) DispatchWindowCommand(kPickerCommands, dialog, command);
      return TRUE;
    }
  }
  return FALSE;
}

// ---- UpdateCatHTML ------------------------------------------------------------------

struct TextType {
  int control;
  const char* stored;
};
const TextType kTypes[] = {
    {IDC_UH_REPLACE_TITLE, "Replace Title"},        {IDC_UH_BEFORE_CATEGORY, "Before Category"},
    {IDC_UH_BEFORE_TITLE, "Before Category Title"}, {IDC_UH_AFTER_TITLE, "After Category Title"},
    {IDC_UH_AFTER_CATEGORY, "After Category"},
};
static_assert(ARRAY_SIZE(kTypes) == 5, "five types of HTML");
const int kInsertType = 1;  // "Before Category"

struct TextForm {
  int request;
  CatHtmlRecord* text;  // the caller's record
  CatHtmlRecord work;
};

void OnTextOk(HWND dialog, TextForm* f) {
  for (const TextType& t : kTypes)
    if (IsDlgButtonChecked(dialog, t.control) == BST_CHECKED) SET_FIELD(f->work.TypeOfHTML, t.stored);
  GetDlgItemTextA(dialog, IDC_UH_TEXT, f->work.HTMLtoAdd, sizeof f->work.HTMLtoAdd);
  if (f->request == kRequestInsert) {
    if (!AddCatText(&f->work)) return;  // "Duplicate Key Error" ("Category - Add HTML"): the form stays
    *f->text = f->work;
    EndForm(dialog, kResponseCompleted);
    return;
  }
  for (;;) {
    CatHtmlRecord attempt = f->work;
    if (ChangeCatText(&attempt)) {
      *f->text = attempt;
      EndForm(dialog, kResponseCompleted);
      return;
    }
    int answer = AskUpdateRetry();
    if (answer == RA_YES) continue;
    if (answer == RA_NO) EndForm(dialog, kResponseCancelled);
    return;
  }
}

void OnTextCancel(HWND dialog, TextForm*) { EndForm(dialog, kResponseCancelled); }

const WindowCommand<TextForm> kTextCommands[] = {{IDOK, OnTextOk}, {IDCANCEL, OnTextCancel}};

INT_PTR CALLBACK TextFormProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  TextForm* f = msg == WM_INITDIALOG ? reinterpret_cast<TextForm*>(lParam) : WindowStateOf<TextForm>(dialog);
  if (f == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: {
      char title[64];
      LoadText(f->request == kRequestInsert ? IDS_ADDING_HTML : IDS_CHANGING_HTML, title, sizeof title);
      SetWindowTextA(dialog, title);
      int chosen = kInsertType;
      if (f->request != kRequestInsert) {
        for (int i = 0; i < 5; ++i) {
          char padded[sizeof f->work.TypeOfHTML];
          SetField(padded, sizeof padded, kTypes[i].stored);
          if (CompareFields(padded, sizeof padded, f->work.TypeOfHTML, sizeof f->work.TypeOfHTML) == 0) chosen = i;
        }
      }
      CheckRadioButton(dialog, IDC_UH_REPLACE_TITLE, IDC_UH_AFTER_CATEGORY, kTypes[chosen].control);
      SendDlgItemMessageA(dialog, IDC_UH_TEXT, EM_LIMITTEXT, sizeof f->work.HTMLtoAdd - 1, 0);
      SetDlgItemTextA(dialog, IDC_UH_TEXT, f->work.HTMLtoAdd);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return DispatchWindowCommand(kTextCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
  }
  return FALSE;
}

// ---- UpdateCategories ---------------------------------------------------------------

enum { kPageGeneral = 0, kPageHtml, kPageLocations };
const int kGeneralControls[] = {IDC_UC_DESCRIPTION_PROMPT, IDC_UC_DESCRIPTION};
const int kHtmlControls[] = {IDC_UC_HTML_LIST, IDC_UC_HTML_INSERT, IDC_UC_HTML_CHANGE, IDC_UC_HTML_DELETE};
const int kSiteControls[] = {IDC_UC_SITE_LIST, IDC_UC_SITE_INSERT, IDC_UC_SITE_CHANGE, IDC_UC_SITE_DELETE};

struct CategoryForm {
  int request;
  CategoryRecord* category;  // the caller's record
  CategoryRecord work;
  char oldName[sizeof(CategoryRecord::Category)];  // the stored name when the form read it
  CatHtmlRecord text;                              // the form's record buffer for UpdateCatHTML
  SiteRecord site;                                 // ... and for UpdateTABLNK
  std::vector<CatHtmlRecord> texts;                // the rows of the "HTML" list
  std::vector<std::string> locations;              // the rows of the "Locations" list (URL:K_Location)
};

void NameInField(HWND dialog, char* padded, size_t width) {
  char text[64];
  GetDlgItemTextA(dialog, IDC_UC_NAME, text, sizeof text);
  SetField(padded, width, text);
}

void FillTexts(HWND dialog, CategoryForm* f) {
  HWND list = GetDlgItem(dialog, IDC_UC_HTML_LIST);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  f->texts.clear();
  CatHtmlRecord* t = new CatHtmlRecord;
  ks_clear(&CatHTML_Decl, t);
  NameInField(dialog, t->Category, sizeof t->Category);
  char name[sizeof t->Category];
  memcpy(name, t->Category, sizeof name);
  KsCursor* c = nullptr;
  int rc = ks_cursor_open(RecordFile(RF_CATHTML), HTM_KeyCategoryHTML, nullptr, &c);
  if (rc == KS_OK) rc = ks_set(c, t);
  while (rc == KS_OK && (rc = ks_next(c, t)) == KS_OK) {
    if (!SameCategory(t->Category, name, sizeof name)) break;
    char type[sizeof t->TypeOfHTML + 1];
    GET_FIELD(t->TypeOfHTML, type);
    AddRow(list, (int)f->texts.size(), type, nullptr);
    f->texts.push_back(*t);
  }
  ks_cursor_close(c);
  delete t;
  if (rc != KS_OK && rc != KS_ERR_NO_RECORD) RecordPrompt(RM_RECORD_RETRIEVAL, rc, CatHTML_Decl.label, nullptr);
  if (!f->texts.empty()) SelectListRow(list, 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void FillSites(HWND dialog, CategoryForm* f) {
  HWND list = GetDlgItem(dialog, IDC_UC_SITE_LIST);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  f->locations.clear();
  char name[sizeof f->work.Category + 1];
  GetDlgItemTextA(dialog, IDC_UC_NAME, name, sizeof name);
  BrowseOrder order;
  BrowseOrderForTab(kTabCategory, name, &order);
  SiteReader reader;
  int rc = ReaderOpen(&reader, RecordFile(RF_TABLNK), &order);
  if (rc == KS_OK) {
    SiteRecord* s = new SiteRecord;
    rc = ReaderStart(&reader);
    while (rc == KS_OK && (rc = ReaderNext(&reader, s)) == KS_OK) {
      char description[sizeof s->Description + 1], location[sizeof s->Location + 1];
      GET_FIELD(s->Description, description);
      GET_FIELD(s->Location, location);
      f->locations.push_back(location);
      if (strlen(location) > 60) location[60] = '\0';
      AddRow(list, (int)f->locations.size() - 1, description, location);
    }
    delete s;
    ReaderClose(&reader);
  }
  if (rc != KS_OK && rc != KS_ERR_NO_RECORD) RecordPrompt(RM_RECORD_RETRIEVAL, rc, TABLNK_Decl.label, nullptr);
  if (!f->locations.empty()) SelectListRow(list, 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void FillLists(HWND dialog, CategoryForm* f) {
  FillTexts(dialog, f);
  FillSites(dialog, f);
}

void ShowCategoryPage(HWND dialog, int page) {
  for (int id : kGeneralControls) ShowWindow(GetDlgItem(dialog, id), page == kPageGeneral ? SW_SHOW : SW_HIDE);
  for (int id : kHtmlControls) ShowWindow(GetDlgItem(dialog, id), page == kPageHtml ? SW_SHOW : SW_HIDE);
  for (int id : kSiteControls) ShowWindow(GetDlgItem(dialog, id), page == kPageLocations ? SW_SHOW : SW_HIDE);
}

void TextRequest(HWND dialog, CategoryForm* f, int request) {
  HWND list = GetDlgItem(dialog, IDC_UC_HTML_LIST);
  if (request == kRequestInsert) {
    ks_clear(&CatHTML_Decl, &f->text);
    NameInField(dialog, f->text.Category, sizeof f->text.Category);
    SET_FIELD(f->text.TypeOfHTML, kTypes[kInsertType].stored);
  } else {
    int row = SelectedListRow(list);
    if (row < 0 || row >= (int)f->texts.size()) return;
    f->text = f->texts[(size_t)row];
  }
  UpdateCatHTML(dialog, request, &f->text);
  FillTexts(dialog, f);
}

void OnTextInsert(HWND dialog, CategoryForm* f) { TextRequest(dialog, f, kRequestInsert); }
void OnTextChange(HWND dialog, CategoryForm* f) { TextRequest(dialog, f, kRequestChange); }
void OnTextDelete(HWND dialog, CategoryForm* f) { TextRequest(dialog, f, kRequestDelete); }

void SiteRequest(HWND dialog, CategoryForm* f, int request) {
  HWND list = GetDlgItem(dialog, IDC_UC_SITE_LIST);
  if (request == kRequestInsert) {
    ks_clear(&TABLNK_Decl, &f->site);
    char name[sizeof f->site.Category + 1];
    GetDlgItemTextA(dialog, IDC_UC_NAME, name, sizeof name);
    SET_FIELD(f->site.Category, name);
  } else {
    int row = SelectedListRow(list);
    if (row < 0 || row >= (int)f->locations.size()) return;
    ks_clear(&TABLNK_Decl, &f->site);
    SET_FIELD(f->site.Location, f->locations[(size_t)row].c_str());
    int rc = ks_get(RecordFile(RF_TABLNK), URL_K_Location, &f->site);
    if (rc != KS_OK) {
      RecordPrompt(RM_RECORD_RETRIEVAL, rc, TABLNK_Decl.label, nullptr);
      FillSites(dialog, f);
      return;
    }
  }
  if (UpdateTABLNK(dialog, request, &f->site) == kResponseCompleted) RefreshBrowses();
  FillSites(dialog, f);
}

void OnSiteInsert(HWND dialog, CategoryForm* f) { SiteRequest(dialog, f, kRequestInsert); }
void OnSiteChange(HWND dialog, CategoryForm* f) { SiteRequest(dialog, f, kRequestChange); }
void OnSiteDelete(HWND dialog, CategoryForm* f) { SiteRequest(dialog, f, kRequestDelete); }

void OnCategoryOk(HWND dialog, CategoryForm* f) {
  char name[sizeof f->work.Category + 1];
  GetDlgItemTextA(dialog, IDC_UC_NAME, name, sizeof name);
  SET_FIELD(f->work.Category, name);
  GetDlgItemTextA(dialog, IDC_UC_DESCRIPTION, f->work.Description, sizeof f->work.Description);
  HWND field = GetDlgItem(dialog, IDC_UC_NAME);
  bool blank = true;
  for (const char* p = name; *p; ++p) blank = blank && *p == ' ';
  if (blank) {  // a blank name would be in no key: it is asked for again
    MessageBeep(MB_ICONEXCLAMATION);
    SetFocus(field);
    return;
  }
  if (f->request == kRequestInsert) {
    int error = 0;
    if (!AddCategory(&f->work, &error)) {
      if (error == KS_ERR_DUPLICATE) {
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
      }
      return;
    }
    *f->category = f->work;
    EndForm(dialog, kResponseCompleted);
    return;
  }
  for (;;) {
    CategoryRecord attempt = f->work;
    char old[sizeof f->oldName + 1];
    GET_FIELD(f->oldName, old);
    if (ChangeCategory(&attempt, old)) {
      *f->category = attempt;
      EndForm(dialog, kResponseCompleted);
      return;
    }
    int answer = AskUpdateRetry();
    if (answer == RA_YES) continue;
    if (answer == RA_NO) EndForm(dialog, kResponseCancelled);
    return;
  }
}

void OnCategoryCancel(HWND dialog, CategoryForm*) { EndForm(dialog, kResponseCancelled); }

const WindowCommand<CategoryForm> kFormCommands[] = {
    {IDOK, OnCategoryOk},
    {IDCANCEL, OnCategoryCancel},
    {IDC_UC_HTML_INSERT, OnTextInsert},
    {IDC_UC_HTML_CHANGE, OnTextChange},
    {IDC_UC_HTML_DELETE, OnTextDelete},
    {IDC_UC_SITE_INSERT, OnSiteInsert},
    {IDC_UC_SITE_CHANGE, OnSiteChange},
    {IDC_UC_SITE_DELETE, OnSiteDelete},
};

BOOL OnCategoryInit(HWND dialog, CategoryForm* f) {
  char title[64];
  LoadText(f->request == kRequestInsert ? IDS_CATEGORY_ADDED : IDS_CATEGORY_CHANGED, title, sizeof title);
  SetWindowTextA(dialog, title);
  memcpy(f->oldName, f->work.Category, sizeof f->oldName);
  UseTabPageBackground(dialog);
  HWND tabs = GetDlgItem(dialog, IDC_UC_TABS);
  const UINT names[] = {IDS_TAB_GENERAL, IDS_TAB_HTML, IDS_TAB_LOCATIONS};
  for (int i = 0; i < 3; ++i) {
    char text[32];
    LoadText(names[i], text, sizeof text);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageA(tabs, TCM_INSERTITEMA, (WPARAM)i, (LPARAM)&item);
  }
  AddColumn(GetDlgItem(dialog, IDC_UC_HTML_LIST), IDS_COL_TYPE_OF_HTML, 130);
  AddColumn(GetDlgItem(dialog, IDC_UC_SITE_LIST), IDS_COL_DESCRIPTION, 130);
  AddColumn(GetDlgItem(dialog, IDC_UC_SITE_LIST), IDS_COL_LOCATION, 160);
  char name[sizeof f->work.Category + 1];
  GET_FIELD(f->work.Category, name);
  SendDlgItemMessageA(dialog, IDC_UC_NAME, EM_LIMITTEXT, sizeof f->work.Category, 0);
  SetDlgItemTextA(dialog, IDC_UC_NAME, name);  // EN_CHANGE fills the lists
  SendDlgItemMessageA(dialog, IDC_UC_DESCRIPTION, EM_LIMITTEXT, sizeof f->work.Description - 1, 0);
  SetDlgItemTextA(dialog, IDC_UC_DESCRIPTION, f->work.Description);
  FillLists(dialog, f);
  ShowCategoryPage(dialog, kPageGeneral);
  return TRUE;
}

void OnListPopup(HWND dialog, CategoryForm* f, HWND list, LPARAM point) {
  bool html = GetDlgCtrlID(list) == IDC_UC_HTML_LIST;
  const UINT dimmed[] = {IDM_POPUP_CHANGE, IDM_POPUP_DELETE};
  UINT command = TrackListPopup(dialog, IDR_BROWSE_POPUP, point, list, dimmed, SelectedListRow(list) < 0 ? 2 : 0);
  if (command == IDM_POPUP_INSERT) html ? OnTextInsert(dialog, f) : OnSiteInsert(dialog, f);
  if (command == IDM_POPUP_CHANGE) html ? OnTextChange(dialog, f) : OnSiteChange(dialog, f);
  if (command == IDM_POPUP_DELETE) html ? OnTextDelete(dialog, f) : OnSiteDelete(dialog, f);
}

INT_PTR CALLBACK CategoryFormProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  CategoryForm* f =
      msg == WM_INITDIALOG ? reinterpret_cast<CategoryForm*>(lParam) : WindowStateOf<CategoryForm>(dialog);
  if (f == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: return OnCategoryInit(dialog, f);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_UC_NAME && HIWORD(wParam) == EN_CHANGE) {
        FillLists(dialog, f);  // the lists follow the name in the field
        return TRUE;
      }
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return DispatchWindowCommand(kFormCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      NMHDR* n = reinterpret_cast<NMHDR*>(lParam);
      if (n->idFrom == IDC_UC_TABS && n->code == TCN_SELCHANGE)
        ShowCategoryPage(dialog, (int)SendMessageA(n->hwndFrom, TCM_GETCURSEL, 0, 0));
      if (n->idFrom == IDC_UC_HTML_LIST && n->code == NM_DBLCLK) OnTextChange(dialog, f);
      if (n->idFrom == IDC_UC_SITE_LIST && n->code == NM_DBLCLK) OnSiteChange(dialog, f);
      return TRUE;
    }
    case WM_CONTEXTMENU: {
      HWND list = (HWND)wParam;
      int id = GetDlgCtrlID(list);
      if (id != IDC_UC_HTML_LIST && id != IDC_UC_SITE_LIST) return FALSE;
      OnListPopup(dialog, f, list, lParam);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

// ---- The procedures -------------------------------------------------------------------

int BrowseCategories(void*) {
  CategoryBrowse* b = new (std::nothrow) CategoryBrowse();
  if (b == nullptr) return kWindowNotOpened;
  static const WindowDesign design = {"BrowseCategories",
                                      IDD_BROWSE_CATEGORIES,
                                      kMdiChildWindow,
                                      CategoryBrowseProc,
                                      kAllFiles,
                                      3,
                                      false,
                                      nullptr,
                                      nullptr,
                                      0,
                                      false};
  int code = RunWindow(&design, b);
  delete b;
  return code;
}

int SelectCategories(HWND caller, const char* select, CategoryRecord* category) {
  Picker p = {select, category, nullptr};
  static const FormDesign design = {
      "SelectCategories", IDD_SELECT_CATEGORIES, PickerProc, false, nullptr, nullptr, 0, kCategoryFiles, 1};
  return RunForm(caller, &design, &p);
}

int UpdateCategories(HWND caller, int request, CategoryRecord* category) {
  if (request == kRequestDelete) return ConfirmThenRetry(RemoveCategory, category, kAllFiles, 3);
  CategoryForm* f = new (std::nothrow) CategoryForm();
  if (f == nullptr) return kResponseCancelled;
  f->request = request;
  f->category = category;
  f->work = *category;
  static const FormDesign design = {
      "UpdateCategories", IDD_UPDATE_CATEGORIES, CategoryFormProc, false, nullptr, nullptr, 0, kAllFiles, 3};
  int response = RunForm(caller, &design, f);
  delete f;
  return response;
}

int UpdateCatHTML(HWND caller, int request, CatHtmlRecord* text) {
  if (request == kRequestDelete) return ConfirmThenRetry(RemoveText, text, kTextFiles, 1);
  TextForm* f = new (std::nothrow) TextForm();
  if (f == nullptr) return kResponseCancelled;
  f->request = request;
  f->text = text;
  f->work = *text;
  static const FormDesign design = {
      "UpdateCatHTML", IDD_UPDATE_CATHTML, TextFormProc, false, nullptr, nullptr, 0, kTextFiles, 1};
  int response = RunForm(caller, &design, f);
  delete f;
  return response;
}
