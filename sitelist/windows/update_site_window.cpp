// UpdateTABLNK, "Update Location Information": the site form with its
// "General" and "Site Info" tabs, modal over the window that calls it, working
// on that caller's site record. Insert fills the keyword from the location;
// the category must be a listed category; a delete is confirmed without the
// form being shown; failures go through the standard record messages.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/category_list.h"
#include "sitelist/windows/category_list_window.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"
#include "common/tx_util.h"

namespace {

const char kFormName[] = "UpdateTABLNK";
const char kFormStamp[] = "714334612808";
const int kFiles[] = {RF_TABLNK, RF_CATEGORIES};
const int kRatingLow = -99;
const int kRatingHigh = 99;
const UINT kPlaceSpin = WM_APP + 60;

// "CtrlSize1".."CtrlSize17": the sheet, the "General" tab (the sheet's place)
// with its prompts and fields, the "Site Info" tab with its prompt and text,
// OK and Cancel.
const int kScaled[] = {IDC_UT_TABS,
                       IDC_UT_TABS,
                       IDC_UT_LOCATION_PROMPT,
                       IDC_UT_LOCATION,
                       IDC_UT_DESCRIPTION_PROMPT,
                       IDC_UT_DESCRIPTION,
                       IDC_UT_CATEGORY_PROMPT,
                       IDC_UT_CATEGORY,
                       IDC_UT_RATING_PROMPT,
                       IDC_UT_RATING,
                       IDC_UT_KEYWORD_PROMPT,
                       IDC_UT_KEYWORD,
                       IDC_UT_TABS,
                       IDC_UT_SITEINFO_PROMPT,
                       IDC_UT_SITEINFO,
                       IDOK,
                       IDCANCEL};
static_assert(ARRAY_SIZE(kScaled) == 17, "UpdateTABLNK scales 17 controls");

const int kGeneralControls[] = {IDC_UT_LOCATION_PROMPT, IDC_UT_LOCATION,        IDC_UT_DESCRIPTION_PROMPT,
                                IDC_UT_DESCRIPTION,     IDC_UT_CATEGORY_PROMPT, IDC_UT_CATEGORY,
                                IDC_UT_RATING_PROMPT,   IDC_UT_RATING,          IDC_UT_RATING_SPIN,
                                IDC_UT_KEYWORD_PROMPT,  IDC_UT_KEYWORD};
const int kSiteInfoControls[] = {IDC_UT_SITEINFO_PROMPT, IDC_UT_SITEINFO};

const char kCategoryField[] = "URL:Category";

struct SiteForm {
  int request;
  SiteRecord* site;  // the caller's record
  SiteRecord work;   // what the fields hold, written on "&OK"
};

void ShowPage(HWND dialog, int page) {
  for (int id : kGeneralControls) ShowWindow(GetDlgItem(dialog, id), page == 0 ? SW_SHOW : SW_HIDE);
  for (int id : kSiteInfoControls) ShowWindow(GetDlgItem(dialog, id), page == 1 ? SW_SHOW : SW_HIDE);
}

void FillEdit(HWND dialog, int id, const char* field, size_t width, int limit) {
  char text[1024];
  GetField(field, width, text, sizeof text);
  SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, (WPARAM)limit, 0);
  SetDlgItemTextA(dialog, id, text);
}

// The category chosen in the drop-down ("" when none).
void ChosenCategory(HWND dialog, char* out, size_t cap) {
  out[0] = '\0';
  HWND combo = GetDlgItem(dialog, IDC_UT_CATEGORY);
  int at = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (at < 0) return;
  char text[64];
  if (SendMessageA(combo, CB_GETLBTEXTLEN, (WPARAM)at, 0) >= (LRESULT)sizeof text) return;
  SendMessageA(combo, CB_GETLBTEXT, (WPARAM)at, (LPARAM)text);
  snprintf(out, cap, "%s", text);
}

// The category must be a Categories record; otherwise "Field Contents Error"
// and the list is selected again. True when it is.
bool CheckCategory(HWND dialog) {
  char name[64];
  ChosenCategory(dialog, name, sizeof name);
  int error = 0;
  int found = name[0] != '\0' ? CategoryExists(RecordFile(RF_CATEGORIES), name, &error) : 0;
  if (found == 1) return true;
  if (found < 0) RecordPrompt(RM_RECORD_RETRIEVAL, error, Categories_Decl.label, nullptr);
  else RecordPrompt(RM_FIELD_CONTENTS, 0, Categories_Decl.label, kCategoryField);
  SetFocus(GetDlgItem(dialog, IDC_UT_CATEGORY));
  return false;
}

// On leaving the location during an insert with a blank keyword: the keyword
// from the location's scheme.
void OnLocationLeft(HWND dialog, SiteForm* f) {
  if (f->request != kRequestInsert) return;
  char keyword[64];
  GetDlgItemTextA(dialog, IDC_UT_KEYWORD, keyword, sizeof keyword);
  for (const char* p = keyword; *p; ++p)
    if (*p != ' ') return;
  char location[sizeof f->work.Location + 2];
  GetDlgItemTextA(dialog, IDC_UT_LOCATION, location, sizeof location);
  if (location[0] == '\0') return;
  char padded[sizeof f->work.Location];
  SetField(padded, sizeof padded, location);
  char word[sizeof f->work.Keyword];
  KeywordFromLocation(padded, sizeof padded, word, sizeof word);
  char text[sizeof word + 1];
  GetField(word, sizeof word, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_UT_KEYWORD, text);
}

int ReadRating(HWND dialog) {
  char text[16];
  GetDlgItemTextA(dialog, IDC_UT_RATING, text, sizeof text);
  long v = strtol(text, nullptr, 10);
  if (v < kRatingLow) v = kRatingLow;
  if (v > kRatingHigh) v = kRatingHigh;
  return (int)v;
}

void ReadFields(HWND dialog, SiteForm* f) {
  char text[1024];
  GetDlgItemTextA(dialog, IDC_UT_LOCATION, text, sizeof text);
  SET_FIELD(f->work.Location, text);
  GetDlgItemTextA(dialog, IDC_UT_DESCRIPTION, text, sizeof text);
  SET_FIELD(f->work.Description, text);
  ChosenCategory(dialog, text, sizeof text);
  SET_FIELD(f->work.Category, text);
  f->work.Rating = ReadRating(dialog);
  GetDlgItemTextA(dialog, IDC_UT_KEYWORD, text, sizeof text);
  SET_FIELD(f->work.Keyword, text);
  GetDlgItemTextA(dialog, IDC_UT_SITEINFO, f->work.SiteInfo, sizeof f->work.SiteInfo);
}

void OnOk(HWND dialog, SiteForm* f) {
  ReadFields(dialog, f);
  if (!CheckCategory(dialog)) return;
  if (f->request == kRequestInsert) {
    int error = 0;
    if (!AddSite(&f->work, &error)) {
      if (error == KS_ERR_DUPLICATE) SetFocus(GetDlgItem(dialog, IDC_UT_LOCATION));
      return;  // the form stays open
    }
    *f->site = f->work;
    EndForm(dialog, kResponseCompleted);
    return;
  }
  for (;;) {
    SiteRecord attempt = f->work;
    if (ChangeSite(&attempt)) {
      *f->site = attempt;
      EndForm(dialog, kResponseCompleted);
      return;
    }
    int answer = AskUpdateRetry();
    if (answer == RA_YES) continue;
    if (answer == RA_NO) EndForm(dialog, kResponseCancelled);
    return;  // Cancel: back to the form
  }
}

void OnCancel(HWND dialog, SiteForm*) { EndForm(dialog, kResponseCancelled); }

const WindowCommand<SiteForm> kCommands[] = {
    {IDOK, OnOk},
    {IDCANCEL, OnCancel},
};

BOOL OnInitDialog(HWND dialog, SiteForm* f) {
  char title[64];
  LoadText(f->request == kRequestInsert ? IDS_ADDING_LOCATION : IDS_CHANGING_LOCATION, title, sizeof title);
  SetWindowTextA(dialog, title);
  HWND tabs = GetDlgItem(dialog, IDC_UT_TABS);
  const UINT names[] = {IDS_TAB_GENERAL, IDS_TAB_SITEINFO};
  for (int i = 0; i < 2; ++i) {
    char text[32];
    LoadText(names[i], text, sizeof text);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageA(tabs, TCM_INSERTITEMA, (WPARAM)i, (LPARAM)&item);
  }
  UseTabPageBackground(dialog);
  const int hintIds[] = {IDC_UT_SITEINFO};
  const UINT hintTexts[] = {IDS_HINT_SITEINFO};
  AddControlHints(dialog, hintIds, hintTexts, 1);
  FillEdit(dialog, IDC_UT_LOCATION, f->work.Location, sizeof f->work.Location, (int)sizeof f->work.Location);
  FillEdit(dialog, IDC_UT_DESCRIPTION, f->work.Description, sizeof f->work.Description,
           (int)sizeof f->work.Description);
  FillEdit(dialog, IDC_UT_KEYWORD, f->work.Keyword, sizeof f->work.Keyword, (int)sizeof f->work.Keyword);
  SendDlgItemMessageA(dialog, IDC_UT_SITEINFO, EM_LIMITTEXT, sizeof f->work.SiteInfo - 1, 0);
  SetDlgItemTextA(dialog, IDC_UT_SITEINFO, f->work.SiteInfo);
  SendDlgItemMessageA(dialog, IDC_UT_RATING, EM_LIMITTEXT, 3, 0);
  SendDlgItemMessageA(dialog, IDC_UT_RATING_SPIN, UDM_SETBUDDY, (WPARAM)GetDlgItem(dialog, IDC_UT_RATING), 0);
  SendDlgItemMessageA(dialog, IDC_UT_RATING_SPIN, UDM_SETRANGE32, (WPARAM)kRatingLow, (LPARAM)kRatingHigh);
  SendDlgItemMessageA(dialog, IDC_UT_RATING_SPIN, UDM_SETPOS32, 0, (LPARAM)f->work.Rating);
  char category[sizeof f->work.Category + 1];
  GET_FIELD(f->work.Category, category);
  if (FillCategoryCombo(GetDlgItem(dialog, IDC_UT_CATEGORY), category) != KS_OK) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // "Record Retrieval Error" was shown: the form closes
  }
  ShowPage(dialog, 0);
  SetFocus(GetDlgItem(dialog, IDC_UT_LOCATION));
  return FALSE;
}

void OnFieldCommand(HWND dialog, SiteForm* f, WPARAM wParam) {
  if (LOWORD(wParam) == IDC_UT_LOCATION && HIWORD(wParam) == EN_KILLFOCUS) OnLocationLeft(dialog, f);
  if (LOWORD(wParam) == IDC_UT_CATEGORY && HIWORD(wParam) == CBN_SELENDOK) CheckCategory(dialog);
}

INT_PTR CALLBACK SiteFormProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  SiteForm* f = msg == WM_INITDIALOG ? reinterpret_cast<SiteForm*>(lParam) : WindowStateOf<SiteForm>(dialog);
  if (f == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dialog, f);
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) {
        OnFieldCommand(dialog, f, wParam);
        return TRUE;
      }
      return DispatchWindowCommand(kCommands, dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      NMHDR* n = reinterpret_cast<NMHDR*>(lParam);
      if (n->idFrom == IDC_UT_TABS && n->code == TCN_SELCHANGE)
        ShowPage(dialog, (int)SendMessageA(n->hwndFrom, TCM_GETCURSEL, 0, 0));
      return TRUE;
    }
    case WM_SIZE:
      PostMessageA(dialog, kPlaceSpin, 0, 0);  // after the skeleton placed the fields
      return FALSE;
    case kPlaceSpin:
      SendDlgItemMessageA(dialog, IDC_UT_RATING_SPIN, UDM_SETBUDDY, (WPARAM)GetDlgItem(dialog, IDC_UT_RATING), 0);
      return TRUE;
  }
  return FALSE;
}

// A delete: "Confirm Delete", then the delete with the retry question.
int DeleteConfirmed(SiteRecord* site) {
  if (RecordPrompt(RM_CONFIRM_DELETE, 0, nullptr, nullptr) != RA_OK) return kResponseCancelled;
  if (!OpenRecordFile(RF_TABLNK)) return kResponseCancelled;
  int response = kResponseCancelled;
  for (;;) {
    SiteRecord attempt = *site;
    if (DeleteSite(&attempt)) {
      response = kResponseCompleted;
      break;
    }
    if (AskDeleteRetry() != RA_YES) break;
  }
  CloseRecordFile(RF_TABLNK);
  return response;
}

}  // namespace

int UpdateTABLNK(HWND caller, int request, SiteRecord* site) {
  if (request == kRequestDelete) return DeleteConfirmed(site);
  SiteForm* f = new SiteForm;
  f->request = request;
  f->site = site;
  f->work = *site;
  static const FormDesign design = {kFormName, IDD_UPDATE_TABLNK, SiteFormProc, true, kFormStamp, kScaled, 17, kFiles,
                                    2};
  int response = RunForm(caller, &design, f);
  delete f;
  return response;
}
