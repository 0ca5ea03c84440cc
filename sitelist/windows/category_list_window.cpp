// The category list in list-views and drop-downs (see category_list_window.h).
#include "sitelist/windows/category_list_window.h"

#include <commctrl.h>

#include "sitelist/records/record_messages.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"

namespace {

struct ListFill {
  HWND list;
  int row;
  int selectRow;
  const char* select;
};

int SameName(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

int AddRow(const CategoryRecord* category, void* context) {
  ListFill* fill = static_cast<ListFill*>(context);
  char name[sizeof category->Category + 1];
  char description[256];
  GET_FIELD(category->Category, name);
  CategoryDescriptionColumn(category, description, sizeof description);
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = fill->row;
  item.pszText = name;
  int at = (int)SendMessageA(fill->list, LVM_INSERTITEMA, 0, (LPARAM)&item);
  if (at < 0) return 0;
  item.iItem = at;
  item.iSubItem = 1;
  item.pszText = description;
  SendMessageA(fill->list, LVM_SETITEMTEXTA, (WPARAM)at, (LPARAM)&item);
  if (fill->select != nullptr && fill->selectRow < 0 && SameName(name, fill->select)) fill->selectRow = at;
  fill->row++;
  return 1;
}

int AddChoice(const CategoryRecord* category, void* context) {
  ListFill* fill = static_cast<ListFill*>(context);
  char name[sizeof category->Category + 1];
  GET_FIELD(category->Category, name);
  int at = (int)SendMessageA(fill->list, CB_ADDSTRING, 0, (LPARAM)name);
  if (at < 0) return 0;
  fill->row++;
  return 1;
}

int Dialog(HWND list, int dlu) {
  RECT r = {0, 0, dlu, 8};
  HWND dialog = GetParent(list);
  if (dialog == nullptr || !MapDialogRect(dialog, &r)) return dlu * 3 / 2;
  return r.right;
}

void ReportFailure(int rc) { RecordPrompt(RM_RECORD_RETRIEVAL, rc, Categories_Decl.label, nullptr); }

}  // namespace

void AddCategoryColumns(HWND list, int categoryWidth, int descriptionWidth) {
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  char heading[64];
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  LoadText(IDS_COL_CATEGORY, heading, sizeof heading);
  column.pszText = heading;
  column.cx = Dialog(list, categoryWidth);
  column.iSubItem = 0;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
  LoadText(IDS_COL_DESCRIPTION, heading, sizeof heading);
  column.pszText = heading;
  column.cx = Dialog(list, descriptionWidth);
  column.iSubItem = 1;
  SendMessageA(list, LVM_INSERTCOLUMNA, 1, (LPARAM)&column);
}

int FillCategoryList(HWND list, int kind, const char* select) {
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  ListFill fill = {list, 0, -1, select};
  KsFile* file = RecordFile(RF_CATEGORIES);
  int rc = file != nullptr ? ForEachCategory(file, kind, AddRow, &fill) : KS_ERR_NOT_OPEN;
  int row = fill.selectRow >= 0 ? fill.selectRow : (fill.row > 0 ? 0 : -1);
  if (row >= 0) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  if (rc != KS_OK) ReportFailure(rc);
  return rc;
}

bool SelectedCategoryName(HWND list, char* out, size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  int row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  if (row < 0) return false;
  LVITEMA item = {};
  item.iSubItem = 0;
  item.pszText = out;
  item.cchTextMax = (int)capacity;
  SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
  return out[0] != '\0';
}

int FillCategoryCombo(HWND combo, const char* select) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  ListFill fill = {combo, 0, -1, nullptr};
  KsFile* file = RecordFile(RF_CATEGORIES);
  int rc = file != nullptr ? ForEachCategory(file, kSiteCategories, AddChoice, &fill) : KS_ERR_NOT_OPEN;
  if (select != nullptr && select[0] != '\0') {
    int at = (int)SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)select);
    SendMessageA(combo, CB_SETCURSEL, (WPARAM)at, 0);
  }
  if (rc != KS_OK) ReportFailure(rc);
  return rc;
}
