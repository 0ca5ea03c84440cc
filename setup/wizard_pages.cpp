// TXSETUP (Windows): the wizard's ten pages on the shared dialog procedure, their
// applicability, default and disabled buttons, validations and the walk over them.
#include <windows.h>
#include <commdlg.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "setup/browser_pages.h"
#include "setup/directory_rule.h"
#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/setup_dialogs.h"
#include "common/tx_util.h"

enum { kFirstPage = 1, kLastPage = 10 };

struct SpeedChoice {
  const char *label;
  long speed;
};
static const SpeedChoice kSpeeds[] = {
    {"14.4 Modem", 14400},      {"28.8 Modem", 28800}, {"56K ISDN Single", 57600},
    {"112K ISDN Dual", 115200}, {"T1", 1544000},
};
static_assert(ARRAY_SIZE(kSpeeds) == 5, "five connection speeds");

static const int kContentButtons[] = {IDC_CONTENT_NEWS,  IDC_CONTENT_SPORTS,      IDC_CONTENT_CLASSICAL,
                                      IDC_CONTENT_TOP40, IDC_CONTENT_ALTERNATIVE, IDC_CONTENT_NONE};
static_assert(ARRAY_SIZE(kContentButtons) == 6, "content choices 0 to 5");

static const int kNoBackNoFinish[] = {IDC_BACK, IDC_FINISH, 0};
static const int kNoFinish[] = {IDC_FINISH, 0};
static const int kNoNext[] = {IDC_NEXT, 0};

// Any page: Cancel asks the exit confirmation; Continue keeps the page with its values.
class WizardPage : public SetupDialog {
public:
  explicit WizardPage(int id) : SetupDialog(id) {}
  BOOL cancelPage(HWND w) override {
    leave(w);
    return exitConfirmation(w) == 2;
  }
  BOOL acceptPage(HWND w, int id) override {
    leave(w);
    return validate(w, id);
  }
  virtual void leave(HWND) {}
  virtual BOOL validate(HWND, int) { return TRUE; }
};

class UserInfoPage : public WizardPage {
public:
  UserInfoPage() : WizardPage(IDD_USER_INFO) { disabled = kNoFinish; }
  BOOL initDialog(HWND w) override {
    InstallState *s = g_app.state;
    const int ids[] = {IDC_USER_NAME, IDC_USER_COMPANY, IDC_USER_ADDRESS};
    const char *values[] = {s->userName, s->userCompany, s->userAddress};
    for (int i = 0; i < 3; ++i) {
      SendDlgItemMessageA(w, ids[i], EM_LIMITTEXT, kUserFieldSize - 1, 0);
      SetDlgItemTextA(w, ids[i], values[i]);
    }
    return WizardPage::initDialog(w);
  }
  void leave(HWND w) override {
    InstallState *s = g_app.state;
    GetDlgItemTextA(w, IDC_USER_NAME, s->userName, sizeof s->userName);
    GetDlgItemTextA(w, IDC_USER_COMPANY, s->userCompany, sizeof s->userCompany);
    GetDlgItemTextA(w, IDC_USER_ADDRESS, s->userAddress, sizeof s->userAddress);
  }
  BOOL validate(HWND w, int id) override {
    if (id == IDC_BACK) return TRUE;
    for (const char *p = g_app.state->userName; *p; ++p)
      if (isalnum((unsigned char)*p)) return TRUE;
    errorBox(w, IDS_NAME_BLANK, nullptr);
    SetFocus(GetDlgItem(w, IDC_USER_NAME));
    return FALSE;
  }
};

class SpeedPage : public WizardPage {
public:
  SpeedPage() : WizardPage(IDD_SPEED) { disabled = kNoFinish; }
  BOOL initDialog(HWND w) override {
    int selected = 1;
    for (int i = 0; i < 5; ++i) {
      SendDlgItemMessageA(w, IDC_SPEED, CB_ADDSTRING, 0, (LPARAM)kSpeeds[i].label);
      if (kSpeeds[i].speed == g_app.state->speed) selected = i;
    }
    SendDlgItemMessageA(w, IDC_SPEED, CB_SETCURSEL, (WPARAM)selected, 0);
    return WizardPage::initDialog(w);
  }
  void leave(HWND w) override {
    LRESULT i = SendDlgItemMessageA(w, IDC_SPEED, CB_GETCURSEL, 0, 0);
    if (i >= 0 && i < 5) g_app.state->speed = kSpeeds[i].speed;
  }
};

class ContentPage : public WizardPage {
public:
  ContentPage() : WizardPage(IDD_CONTENT) {}
  BOOL initDialog(HWND w) override {
    int c = g_app.state->contentChoice;
    if (c < 0 || c > 5) c = 5;
    CheckRadioButton(w, IDC_CONTENT_NEWS, IDC_CONTENT_NONE, kContentButtons[c]);
    return WizardPage::initDialog(w);
  }
  void leave(HWND w) override {
    for (int i = 0; i < 6; ++i)
      if (IsDlgButtonChecked(w, kContentButtons[i]) == BST_CHECKED) g_app.state->contentChoice = i;
  }
};

static void journalDirectory(void *, const char *path) { g_app.journal->createdDirectory(path); }

class DestinationPage : public WizardPage {
public:
  DestinationPage() : WizardPage(IDD_DESTINATION) {}
  BOOL initDialog(HWND w) override {
    SendDlgItemMessageA(w, IDC_DESTINATION, EM_LIMITTEXT, kPathSize - 2, 0);
    SetDlgItemTextA(w, IDC_DESTINATION, g_app.state->destination);
    return WizardPage::initDialog(w);
  }
  BOOL command(HWND w, int id, int code) override {
    if (id == IDC_BROWSE) {
      browse(w);
      return TRUE;
    }
    return WizardPage::command(w, id, code);
  }
  void browse(HWND w) {
    // A directory is chosen by choosing any name in it; the path up to its last
    // backslash is kept.
    char file[kPathSize] = "setup.dir";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = g_app.state->destination;
    ofn.Flags = OFN_HIDEREADONLY | OFN_NOVALIDATE | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&ofn)) return;
    char *slash = strrchr(file, '\\');
    if (slash) slash[1] = '\0';
    SetDlgItemTextA(w, IDC_DESTINATION, file);
  }
  void leave(HWND w) override {
    GetDlgItemTextA(w, IDC_DESTINATION, g_app.state->destination, sizeof g_app.state->destination);
  }
  BOOL validate(HWND w, int id) override {
    if (id == IDC_BACK) return TRUE;
    DirectoryObserver o = {nullptr, journalDirectory};
    if (checkDirectory(g_app.files, g_app.state->destination, &o, nullptr, 0, nullptr)) return TRUE;
    errorBox(w, IDS_PATH_INVALID, nullptr);
    SetFocus(GetDlgItem(w, IDC_DESTINATION));
    return FALSE;
  }
};

static int applicable(int page) {
  switch (page) {
    case 3: return scriptNumber(&g_app.script, "Default Setting", "AskBandwidth") != 0;
    case 4: return scriptNumber(&g_app.script, "Default Setting", "AskContents") != 0;
    case 6:
    case 7:
    case 8:
    case 9: return browserPageApplicable(page);
    default: return 1;
  }
}

// Shows page n; cameBy is the button that led there. Returns the button that left it.
static int showPage(HWND owner, int n, int cameBy) {
  char upper[2048], part[1024];
  int afterNext = cameBy != IDC_BACK;
  switch (n) {
    case 1: {
      WizardPage p(IDD_WELCOME);
      loadText(IDS_WELCOME, upper, sizeof upper);
      loadText(IDS_WELCOME_ADVICE, part, sizeof part);
      strncat(upper, part, sizeof upper - strlen(upper) - 1);
      loadText(IDS_WELCOME_MORE, part, sizeof part);
      strncat(upper, part, sizeof upper - strlen(upper) - 1);
      p.upperText = upper;
      p.lowerText = "";
      p.disabled = kNoBackNoFinish;
      p.defaultButton = IDC_NEXT;
      return p.run(owner);
    }
    case 2: {
      UserInfoPage p;
      p.defaultButton = afterNext ? IDC_NEXT : IDC_BACK;
      return p.run(owner);
    }
    case 3: {
      SpeedPage p;
      p.defaultButton = afterNext ? IDC_NEXT : IDC_BACK;
      return p.run(owner);
    }
    case 4: {
      ContentPage p;
      p.defaultButton = afterNext ? IDC_FINISH : IDC_BACK;
      return p.run(owner);
    }
    case 5: {
      DestinationPage p;
      p.defaultButton = afterNext ? IDC_FINISH : IDC_BACK;
      return p.run(owner);
    }
    case 6:
    case 7:
    case 8:
    case 9: return showBrowserPage(owner, n, cameBy);
    case 10: {
      WizardPage p(IDD_WELCOME);
      loadText(IDS_FINISH, upper, sizeof upper);
      if (scriptNumber(&g_app.script, "Default Setting", "Sondrel")) {
        loadText(IDS_SONDREL, part, sizeof part);
        strncat(upper, part, sizeof upper - strlen(upper) - 1);
      }
      loadText(IDS_THANKS, part, sizeof part);
      strncat(upper, part, sizeof upper - strlen(upper) - 1);
      p.upperText = upper;
      p.lowerText = "";
      p.disabled = kNoNext;
      p.defaultButton = IDC_FINISH;
      return p.run(owner);
    }
  }
  return IDC_NEXT;
}

int runWizard(HWND owner) {
  int page = kFirstPage, direction = 1, cameBy = IDC_NEXT;
  for (;;) {
    if (!applicable(page)) {
      page += direction;
      if (page < kFirstPage) {
        page = kFirstPage;
        direction = 1;
      }
      if (page > kLastPage) page = kLastPage;
      continue;
    }
    int left = showPage(owner, page, cameBy);
    switch (left) {
      case IDC_BACK:
        if (page > kFirstPage) {
          --page;
          direction = -1;
        }
        cameBy = IDC_BACK;
        break;
      case IDC_NEXT:
        if (page < kLastPage) {
          ++page;
          direction = 1;
        }
        cameBy = IDC_NEXT;
        break;
      case IDC_FINISH: return 1;
      default: return 0;  // Exit in the confirmation, or the page could not be shown
    }
  }
}
