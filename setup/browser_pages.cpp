// TXSETUP (Windows): the browser pages of the wizard (selection, components of each
// browser, default browser, no browser configured), "Add Browser...", and the
// installation step that configures the selected browsers through checkwb.dll.
#include "setup/browser_pages.h"

#include <commdlg.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "common/language_resources.h"
#include "common/tx_util.h"
#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/setup_dialogs.h"

// What the installer keeps of the browser configuration between pages and steps.
struct BrowserState {
  BrowserLibrary library;
  int loaded;
  BrowserRecord *found;
  BrowserRecord *notFound;
  BrowserRecord *current;  // the record of the components page on show
  int customise;           // check box 3249
  int anySelected;
  BrowserRecord *chosenDefault;
  int defaultChosen;  // the choice has been made (chosenDefault may still be none)
};

static BrowserState g_browsers;

static int libraryError(HWND owner, const char *argument) { return errorBox(owner, IDS_NO_LIBRARY, argument); }

int openBrowserLibrary(HWND w) {
  if (!scriptNumber(&g_app.script, "Default Setting", "CheckWebBrowsers")) return 1;
  char path[kPathSize + 16];
  snprintf(path, sizeof path, "%s%s", g_app.setupDirectory, kBrowserLibraryName);
  BrowserLibrary *lib = &g_browsers.library;
  if (!loadBrowserLibrary(path, lib) || !lib->openConfigurationProcess) {
    if (lib->module) FreeLibrary(lib->module);
    memset(lib, 0, sizeof *lib);
    libraryError(w, path);
    return 0;
  }
  g_app.state->browserLibrary = lib->module;  // freed at shutdown
  g_browsers.loaded = 1;
  ConfigurationStart start = {w, g_app.palette, g_app.script.path, g_app.state->productName};
  lib->openConfigurationProcess(&start);
  readHtmlHandler(g_app.state->defaultBrowserCommand, sizeof g_app.state->defaultBrowserCommand);
  return 1;
}

static void fetchLists(void) {
  g_browsers.found = g_browsers.library.getFoundBrowsers ? g_browsers.library.getFoundBrowsers() : nullptr;
  g_browsers.notFound = g_browsers.library.getNotFoundBrowsers ? g_browsers.library.getNotFoundBrowsers() : nullptr;
}

static void computeDefault(void) {
  if (g_browsers.defaultChosen) return;
  g_browsers.chosenDefault = const_cast<BrowserRecord *>(
      chooseDefaultBrowser(g_browsers.found, g_app.state->defaultBrowserCommand, platformExecutableFinder()));
  g_browsers.defaultChosen = 1;
}

int browserPageApplicable(int page) {
  if (!g_browsers.loaded) return 0;
  switch (page) {
    case 6: return 1;
    case 7: return g_browsers.customise && nextComponentsRecord(g_browsers.found, nullptr) != nullptr;
    case 8: return anyDefaultCandidate(g_browsers.found);
    case 9: return !g_browsers.anySelected;
  }
  return 0;
}

// --- the owner-drawn browser lists -----------------------------------------------

// The list font: stock font 13 of the language libraries (else the platform's).
static HFONT listFont(void) { return (HFONT)languageStockFont(SYSTEM_FONT); }

static int listItemHeight(HWND list) {
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, listFont());
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  return tm.tmHeight + tm.tmExternalLeading + 2;
}

static void fillBrowserList(HWND list, BrowserRecord *head, int (*shown)(const BrowserRecord *),
                            int (*selected)(const BrowserRecord *)) {
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  SendMessageA(list, LB_SETITEMHEIGHT, 0, listItemHeight(list));
  int n = 0;
  for (BrowserRecord *r = head; r && n < 256; r = r->next, ++n) {
    if (!shown(r)) continue;
    LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(r->name ? r->name : ""));
    if (i < 0) continue;
    SendMessageA(list, LB_SETITEMDATA, (WPARAM)i, (LPARAM)r);
    if (selected(r)) SendMessageA(list, LB_SETSEL, TRUE, i);
  }
}

static BrowserRecord *listRecord(HWND list, int i) {
  LRESULT data = SendMessageA(list, LB_GETITEMDATA, (WPARAM)i, 0);
  return data == LB_ERR ? nullptr : (BrowserRecord *)data;
}

// Each entry: a square box, crossed when selected, then the name; the focused entry
// gets a focus rectangle.
static BOOL drawBrowserItem(DRAWITEMSTRUCT *item) {
  if (item->CtlType != ODT_LISTBOX || item->itemID == (UINT)-1) return TRUE;
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  if (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    int side = (r.bottom - r.top) - 4;
    RECT box = {r.left + 3, r.top + 2, r.left + 3 + side, r.top + 2 + side};
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    if (item->itemState & ODS_SELECTED) {
      MoveToEx(dc, box.left + 2, box.top + 2, nullptr);
      LineTo(dc, box.right - 2, box.bottom - 2);
      MoveToEx(dc, box.right - 3, box.top + 2, nullptr);
      LineTo(dc, box.left + 1, box.bottom - 2);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    char name[kBrowserTextSize];
    LRESULT n = SendMessageA(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    name[0] = '\0';
    if (n >= 0 && (size_t)n < sizeof name) SendMessageA(item->hwndItem, LB_GETTEXT, item->itemID, (LPARAM)name);
    HGDIOBJ oldFont = SelectObject(dc, listFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    RECT text = {box.right + 6, r.top, r.right, r.bottom};
    DrawTextA(dc, name, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  }
  if ((item->itemAction & ODA_FOCUS) || ((item->itemAction & ODA_DRAWENTIRE) && (item->itemState & ODS_FOCUS)))
    DrawFocusRect(dc, &r);
  return TRUE;
}

// --- pages ------------------------------------------------------------------------

// A browser page: Cancel asks the exit confirmation; pages 6 to 9 have Finish as
// their default button after a Next and Back after a Back.
class BrowserPage : public SetupDialog {
public:
  BrowserPage(int id, int cameBy) : SetupDialog(id) { defaultButton = cameBy == IDC_BACK ? IDC_BACK : IDC_FINISH; }
  BOOL cancelPage(HWND w) override { return exitConfirmation(w) == 2; }
  BOOL drawItem(HWND, DRAWITEMSTRUCT *item) override { return drawBrowserItem(item); }
  BOOL measureItem(HWND w, MEASUREITEMSTRUCT *item) override {
    item->itemHeight = (UINT)listItemHeight(GetDlgItem(w, (int)item->CtlID));
    return TRUE;
  }
};

static int shownWhenFound(const BrowserRecord *) { return 1; }
static int selectedWhenConfigured(const BrowserRecord *r) { return r->configure != 0; }

class AddBrowserDialog : public SetupDialog {
public:
  AddBrowserDialog() : SetupDialog(IDD_ADD_BROWSER), chosen(nullptr) { defaultButton = IDOK; }
  BOOL initDialog(HWND w) override {
    HWND list = GetDlgItem(w, IDC_NOT_FOUND_LIST);
    int n = 0;
    for (BrowserRecord *r = g_browsers.notFound; r && n < 256; r = r->next, ++n) {
      LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(r->name ? r->name : ""));
      if (i >= 0) SendMessageA(list, LB_SETITEMDATA, (WPARAM)i, (LPARAM)r);
    }
    return SetupDialog::initDialog(w);
  }
  BOOL command(HWND w, int id, int code) override {
    if (id == IDC_NOT_FOUND_LIST && code == LBN_DBLCLK) id = IDOK;
    return SetupDialog::command(w, id, code);
  }
  BOOL acceptPage(HWND w, int) override {
    HWND list = GetDlgItem(w, IDC_NOT_FOUND_LIST);
    LRESULT i = SendMessageA(list, LB_GETCURSEL, 0, 0);
    chosen = i >= 0 ? listRecord(list, (int)i) : nullptr;
    return TRUE;
  }
  BrowserRecord *chosen;
};

// Page 6: which of the found browsers are configured, and whether their components
// are chosen one by one.
class BrowserSelectionPage : public BrowserPage {
public:
  explicit BrowserSelectionPage(int cameBy) : BrowserPage(IDD_BROWSER_SELECTION, cameBy) {}
  BOOL initDialog(HWND w) override {
    fill(w);
    CheckDlgButton(w, IDC_CUSTOMISE, g_browsers.customise ? BST_CHECKED : BST_UNCHECKED);
    return BrowserPage::initDialog(w);
  }
  void fill(HWND w) {
    fetchLists();
    fillBrowserList(GetDlgItem(w, IDC_BROWSER_LIST), g_browsers.found, shownWhenFound, selectedWhenConfigured);
    EnableWindow(GetDlgItem(w, IDC_ADD_BROWSER), g_browsers.notFound != nullptr);
  }
  BOOL command(HWND w, int id, int code) override {
    if (id == IDC_ADD_BROWSER) {
      addBrowser(w);
      return TRUE;
    }
    return BrowserPage::command(w, id, code);
  }
  void addBrowser(HWND w) {
    AddBrowserDialog d;
    if (d.run(w) != IDOK || !d.chosen) return;
    takeSelection(w);
    if (g_browsers.library.setBrowserAsFound(d.chosen, w) == 0) fill(w);
  }
  void takeSelection(HWND w) {
    HWND list = GetDlgItem(w, IDC_BROWSER_LIST);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    int any = 0;
    for (int i = 0; i < count; ++i) {
      BrowserRecord *r = listRecord(list, i);
      if (!r) continue;
      r->configure = SendMessageA(list, LB_GETSEL, (WPARAM)i, 0) > 0;
      any |= r->configure;
    }
    g_browsers.anySelected = any;
    g_browsers.customise = IsDlgButtonChecked(w, IDC_CUSTOMISE) == BST_CHECKED;
  }
  BOOL acceptPage(HWND w, int) override {
    takeSelection(w);
    // A default chosen earlier that is no longer offered is chosen again.
    if (g_browsers.defaultChosen && g_browsers.chosenDefault && !mayBeDefault(g_browsers.chosenDefault))
      g_browsers.defaultChosen = 0;
    return TRUE;
  }
  BOOL cancelPage(HWND w) override {
    takeSelection(w);
    return BrowserPage::cancelPage(w);
  }
};

// Page 7, for one browser: its plug-in, extension and bookmark.
class ComponentsPage : public BrowserPage {
public:
  ComponentsPage(BrowserRecord *r, int cameBy)
      : BrowserPage(IDD_BROWSER_COMPONENTS, cameBy), record(r), icon(nullptr), bold(nullptr) {}
  ~ComponentsPage() override {
    if (icon) DestroyIcon(icon);
    if (bold) DeleteObject(bold);
  }

  BOOL initDialog(HWND w) override {
    BOOL result = BrowserPage::initDialog(w);
    BrowserRecord *r = record;
    HWND heading = GetDlgItem(w, IDC_BROWSER_HEADING);
    char templateText[128], text[kBrowserTextSize + 160];
    GetWindowTextA(heading, templateText, sizeof templateText);
    snprintf(text, sizeof text, "%s %s", r->name ? r->name : "", templateText);
    SetWindowTextA(heading, text);
    LOGFONTA lf;
    if (GetObjectA((HFONT)SendMessageA(heading, WM_GETFONT, 0, 0), sizeof lf, &lf)) {
      lf.lfWeight = FW_BOLD;
      bold = CreateFontIndirectA(&lf);
      SendMessageA(heading, WM_SETFONT, (WPARAM)bold, FALSE);
    }

    loadIcon();
    placeHeading(w);

    ShowWindow(GetDlgItem(w, IDC_INSTALL_PLUGIN), r->offersPlugin ? SW_SHOW : SW_HIDE);
    char plugin[256];
    loadText(r->kind == kBrowserActiveX ? IDS_ACTIVEX_FOR_IE : IDS_PLUGIN_FOR_NETSCAPE, plugin, sizeof plugin);
    SetDlgItemTextA(w, IDC_INSTALL_PLUGIN, plugin);
    CheckDlgButton(w, IDC_INSTALL_PLUGIN, r->installPlugin ? BST_CHECKED : BST_UNCHECKED);
    ShowWindow(GetDlgItem(w, IDC_INSTALL_EXTENSION), r->offersExtension ? SW_SHOW : SW_HIDE);
    CheckDlgButton(w, IDC_INSTALL_EXTENSION, r->installExtension ? BST_CHECKED : BST_UNCHECKED);

    int form = bookmarkForm(r);
    static const int kBookmarkControls[] = {IDC_INSTALL_BOOKMARK, IDC_BOOKMARK_PATH, IDC_BROWSE};
    for (int id : kBookmarkControls) ShowWindow(GetDlgItem(w, id), form ? SW_SHOW : SW_HIDE);
    if (form) {
      SendDlgItemMessageA(w, IDC_BOOKMARK_PATH, EM_LIMITTEXT, kBrowserTextSize - 1, 0);
      const char *path = bookmarkPath(r);
      if (!path[0]) {
        r->installBookmark = 0;
        path = bookmarkExpectedName(r);
      }
      SetDlgItemTextA(w, IDC_BOOKMARK_PATH, path);
      CheckDlgButton(w, IDC_INSTALL_BOOKMARK, r->installBookmark ? BST_CHECKED : BST_UNCHECKED);
      if (r->kind == kBrowserActiveX) {
        EnableWindow(GetDlgItem(w, IDC_BOOKMARK_PATH), FALSE);
        EnableWindow(GetDlgItem(w, IDC_BROWSE), FALSE);
      }
    }
    return result;
  }

  // The first icon of the browser's program; a kind-13 "netscape.exe" takes that of
  // "vozaruz.exe" in the parent of its directory when that file exists.
  void loadIcon() {
    const char *program = record->programPath;
    char path[kBrowserProgramSize + 16];
    snprintf(path, sizeof path, "%s", program);
    const char *base = strrchr(program, '\\');
    base = base ? base + 1 : program;
    if (record->kind == kBrowserSiblingIcon && strcasecmp(base, "netscape.exe") == 0) {
      char sibling[kBrowserProgramSize + 16];
      snprintf(sibling, sizeof sibling, "%s", program);
      char *slash = strrchr(sibling, '\\');
      if (slash) *slash = '\0';
      slash = strrchr(sibling, '\\');
      if (slash) {
        snprintf(slash + 1, sizeof sibling - (size_t)(slash + 1 - sibling), "vozaruz.exe");
        if (GetFileAttributesA(sibling) != INVALID_FILE_ATTRIBUTES) snprintf(path, sizeof path, "%s", sibling);
      }
    }
    HICON found = ExtractIconA(g_app.instance, path, 0);
    icon = (uintptr_t)found > 1 ? found : nullptr;  // 1: not an executable file
  }

  // The icon stands at the plug-in box's left edge, level with the picture frame's
  // top; the heading follows it, or takes its place without one.
  void placeHeading(HWND w) {
    RECT box, heading;
    GetWindowRect(GetDlgItem(w, IDC_INSTALL_PLUGIN), &box);
    MapWindowPoints(nullptr, w, (POINT *)&box, 2);
    HWND h = GetDlgItem(w, IDC_BROWSER_HEADING);
    GetWindowRect(h, &heading);
    MapWindowPoints(nullptr, w, (POINT *)&heading, 2);
    iconAt.x = box.left;
    iconAt.y = pictureRect.top;
    int left = icon ? box.left + GetSystemMetrics(SM_CXICON) + 8 : box.left;
    int top = icon ? pictureRect.top + (GetSystemMetrics(SM_CYICON) - (heading.bottom - heading.top)) / 2 : heading.top;
    SetWindowPos(h, nullptr, left, top, heading.right - left, heading.bottom - heading.top, SWP_NOZORDER);
  }

  BOOL paint(HWND w) override {
    BOOL done = BrowserPage::paint(w);
    if (icon) {
      HDC dc = GetDC(w);
      DrawIcon(dc, iconAt.x, iconAt.y, icon);
      ReleaseDC(w, dc);
    }
    return done;
  }

  BOOL command(HWND w, int id, int code) override {
    if (id == IDC_BROWSE && code == BN_CLICKED) {
      browse(w);
      return TRUE;
    }
    return BrowserPage::command(w, id, code);
  }

  // The folder of the bookmark path the page shows, when it names one that exists:
  // where Browse starts. Empty otherwise.
  static void shownFolder(HWND w, char *out, size_t room) {
    GetDlgItemTextA(w, IDC_BOOKMARK_PATH, out, (int)room);
    char *slash = strrchr(out, '\\');
    DWORD a = slash ? GetFileAttributesA(out) : INVALID_FILE_ATTRIBUTES;
    if (slash && (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))) {
      slash[slash == out + 2 && out[1] == ':' ? 1 : 0] = '\0';  // "C:\" keeps its backslash
      a = GetFileAttributesA(out);
    }
    if (!slash || a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) out[0] = '\0';
  }

  void browse(HWND w) {
    char title[128], initial[64], bookmarks[64], all[64], extension[kBrowserTextSize], filter[1024];
    loadText(IDS_CHOOSE_CONFIGURATION, title, sizeof title);
    loadText(IDS_INITIAL_FILES, initial, sizeof initial);
    loadText(IDS_BOOKMARK_FILES, bookmarks, sizeof bookmarks);
    loadText(IDS_ALL_FILES, all, sizeof all);
    fileExtension(bookmarkExpectedName(record), extension, sizeof extension);
    int selected = 0;
    if (!bookmarkFilter(initial, bookmarks, all, extension, filter, sizeof filter, &selected)) return;
    for (char *p = filter; *p; ++p)
      if (*p == '|') *p = '\0';
    char file[kPathSize], folder[kBrowserTextSize];
    snprintf(file, sizeof file, "*%s", extension);
    shownFolder(w, folder, sizeof folder);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = (DWORD)selected;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&ofn)) return;
    SetDlgItemTextA(w, IDC_BOOKMARK_PATH, file);
    CheckDlgButton(w, IDC_INSTALL_BOOKMARK, BST_CHECKED);
  }

  BOOL acceptPage(HWND w, int id) override {
    if (id == IDC_BACK) return TRUE;
    BrowserRecord *r = record;
    r->installPlugin = IsDlgButtonChecked(w, IDC_INSTALL_PLUGIN) == BST_CHECKED;
    r->installExtension = IsDlgButtonChecked(w, IDC_INSTALL_EXTENSION) == BST_CHECKED;
    if (!bookmarkForm(r)) return TRUE;
    char path[kBrowserTextSize];
    r->installBookmark = IsDlgButtonChecked(w, IDC_INSTALL_BOOKMARK) == BST_CHECKED;
    GetDlgItemTextA(w, IDC_BOOKMARK_PATH, path, sizeof path);
    if (r->installBookmark && r->kind != kBrowserActiveX) {
      const char *expected = bookmarkExpectedName(r);
      if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        errorBox(w, IDS_CANNOT_FIND, path);
        return FALSE;
      }
      if (!bookmarkPathMatches(path, expected)) {
        errorBox(w, IDS_ENTER_BOOKMARK_PATH, expected);
        return FALSE;
      }
    }
    snprintf(bookmarkPath(r), kBrowserTextSize, "%s", path);
    return TRUE;
  }

  BrowserRecord *record;
  HICON icon;
  HFONT bold;
  POINT iconAt;
};

static int shownAsCandidate(const BrowserRecord *r) { return mayBeDefault(r); }
static int selectedWhenChosen(const BrowserRecord *r) { return r == g_browsers.chosenDefault; }

// Page 8: which selected browser opens HTML files; one entry at most is selected.
class DefaultBrowserPage : public BrowserPage {
public:
  explicit DefaultBrowserPage(int cameBy) : BrowserPage(IDD_DEFAULT_BROWSER, cameBy) {}
  BOOL initDialog(HWND w) override {
    computeDefault();
    fillBrowserList(GetDlgItem(w, IDC_BROWSER_LIST), g_browsers.found, shownAsCandidate, selectedWhenChosen);
    return BrowserPage::initDialog(w);
  }
  BOOL command(HWND w, int id, int code) override {
    if (id == IDC_BROWSER_LIST && code == LBN_SELCHANGE) {
      HWND list = GetDlgItem(w, IDC_BROWSER_LIST);
      LRESULT caret = SendMessageA(list, LB_GETCARETINDEX, 0, 0);
      if (caret >= 0 && SendMessageA(list, LB_GETSEL, (WPARAM)caret, 0) > 0) {
        LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
          if (i != caret) SendMessageA(list, LB_SETSEL, FALSE, i);
      }
      return TRUE;
    }
    return BrowserPage::command(w, id, code);
  }
  void take(HWND w) {
    HWND list = GetDlgItem(w, IDC_BROWSER_LIST);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    g_browsers.chosenDefault = nullptr;
    for (int i = 0; i < count; ++i)
      if (SendMessageA(list, LB_GETSEL, (WPARAM)i, 0) > 0) {
        g_browsers.chosenDefault = listRecord(list, i);
        break;
      }
    g_browsers.defaultChosen = 1;
  }
  BOOL acceptPage(HWND w, int) override {
    take(w);
    return TRUE;
  }
  BOOL cancelPage(HWND w) override {
    take(w);
    return BrowserPage::cancelPage(w);
  }
};

static void appendText(char *out, size_t room, const char *more) {
  size_t used = strlen(out);
  if (used + 1 < room) snprintf(out + used, room - used, "%s", more);
}

static int showNoBrowserPage(HWND owner, int cameBy) {
  char text[2048] = "", part[1024], program[kPathSize * 2];
  loadText(IDS_NO_BROWSER, part, sizeof part);
  appendText(text, sizeof text, part);
  loadText(IDS_CONFIGURE_BY_HAND, part, sizeof part);
  appendText(text, sizeof text, part);
  const char *destination = g_app.state->destination;
  size_t n = strlen(destination);
  snprintf(program, sizeof program, "%s%s%s", destination, n && destination[n - 1] != '\\' ? "\\" : "",
           baseNameOf(g_app.state->mainExe));
  appendText(text, sizeof text, program);
  loadText(IDS_REINSTALL_LATER, part, sizeof part);
  appendText(text, sizeof text, part);
  BrowserPage p(IDD_NO_BROWSER, cameBy);
  p.upperText = text;
  return p.run(owner);
}

// Page 7 is shown once for each selected, customisable browser: Next goes on to the
// following one and past the last to page 8, Back to the preceding one and before
// the first to page 6.
static int showComponentsPages(HWND owner, int cameBy) {
  BrowserRecord *head = g_browsers.found;
  const BrowserRecord *r =
      cameBy == IDC_BACK ? previousComponentsRecord(head, nullptr) : nextComponentsRecord(head, nullptr);
  int by = cameBy;
  for (;;) {
    if (!r) return by == IDC_BACK ? IDC_BACK : IDC_NEXT;
    g_browsers.current = const_cast<BrowserRecord *>(r);
    ComponentsPage p(g_browsers.current, by);
    int left = p.run(owner);
    if (left == IDC_NEXT) r = nextComponentsRecord(head, r);
    else if (left == IDC_BACK) r = previousComponentsRecord(head, r);
    else return left == IDC_FINISH ? IDC_FINISH : 0;
    by = left;
  }
}

static int endedBy(int left) { return left == IDC_BACK || left == IDC_NEXT || left == IDC_FINISH ? left : 0; }

int showBrowserPage(HWND owner, int page, int cameBy) {
  const BrowserLibrary *lib = &g_browsers.library;
  switch (page) {
    case 6: {
      if (!lib->getFoundBrowsers || !lib->getNotFoundBrowsers || !lib->setBrowserAsFound) {
        libraryError(owner, kBrowserLibraryName);
        return 0;
      }
      BrowserSelectionPage p(cameBy);
      return endedBy(p.run(owner));
    }
    case 7: return showComponentsPages(owner, cameBy);
    case 8: {
      DefaultBrowserPage p(cameBy);
      return endedBy(p.run(owner));
    }
    case 9: return endedBy(showNoBrowserPage(owner, cameBy));
  }
  return cameBy;
}

// --- installation step -------------------------------------------------------------

int configureBrowsers(HWND w) {
  if (!g_browsers.loaded) return 1;
  const BrowserLibrary *lib = &g_browsers.library;
  if (!lib->getFoundBrowsers || !lib->configureBrowser || !lib->closeConfigurationProcess) {
    libraryError(w, kBrowserLibraryName);
    return 0;
  }
  InstallState *s = g_app.state;
  g_browsers.found = lib->getFoundBrowsers();
  computeDefault();
  BrowserRecord *chosen = g_browsers.chosenDefault;
  if (chosen) {
    char command[kBrowserProgramSize];
    defaultBrowserCommand(chosen, platformExecutableFinder(), command, sizeof command);
    if (htmlHandlerDiffers(s->defaultBrowserCommand, command, chosen->programPath))
      registerFileType(".htm", "HtmlDefBrowser", command, "Hypertext Documents", 0);
  }
  if (!s->defaultBrowserCommand[0] && !chosen) s->prefs->write("HurledURL", "1");
  int ok = 1, n = 0;
  for (BrowserRecord *r = g_browsers.found; ok && r && n < 256; r = r->next, ++n)
    if (r->configure && lib->configureBrowser(r, s->destination) != 0) ok = 0;
  lib->closeConfigurationProcess();
  return ok;
}
