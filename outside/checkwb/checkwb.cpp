// checkwb.dll: our stand-in for the browser-check library that the Tessavox setup
// loads from its own directory. It knows three browsers:
//
//   Microsoft Internet Explorer  kind 1   found by HKLM App Paths "iexplore.exe"
//   Netscape Navigator           kind 13  found by HKLM App Paths "netscape.exe"
//   NCSA Mosaic                  kind 14  found by the file C:\Program Files\Mosaic\mosaic.exe
//
// A browser is found when its program file exists. Each browser's settings file is
// its program's path with ".exe" replaced by ".ini"; configuring a browser writes
// what its components ask into a section named after the product there (the
// player's MIME type, extensions and program, the plug-in, the extension and the
// bookmark). Internet Explorer's bookmark is an Internet shortcut in the Favorites
// folder. Every file the library creates is sent to the setup's main window with
// WM_SETUP_LOG_KEY (kind 10, Files), so that the uninstaller removes it; files that
// were there before are never logged.
//
// "Add Browser..." (SetBrowserAsFound) asks in a dialog of its own where the chosen
// browser's program is.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include "checkwb_resource.h"
#include "setup/browser_record.h"

static const UINT WM_SETUP_LOG_KEY = WM_USER + 0x40;
static const WPARAM kLogFiles = 10;
static const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct KnownBrowser {
  int kind;
  const char *name;
  const char *appPath;  // App Paths key name, or NULL
  const char *file;     // fixed program path, or NULL
  int offersPlugin, offersExtension, customisable;
  const char *bookmarkNameA;  // the Favorites folder (kind 1)
  const char *bookmarkNameB;  // a bookmark file beside the program
};

static const KnownBrowser kKnown[] = {
    {kBrowserActiveX, "Microsoft Internet Explorer", "iexplore.exe", nullptr, 1, 0, 1, "Favorites", nullptr},
    {kBrowserSiblingIcon, "Netscape Navigator", "netscape.exe", nullptr, 1, 1, 1, nullptr, "bookmark.htm"},
    {kBrowserNeverDefault, "NCSA Mosaic", nullptr, "C:\\Program Files\\Mosaic\\mosaic.exe", 0, 0, 0, nullptr, nullptr},
};
enum { kKnownCount = sizeof kKnown / sizeof kKnown[0] };

static HINSTANCE g_instance;
static BrowserRecord g_records[kKnownCount];
static BrowserRecord *g_found, *g_notFound;
static HWND g_setupWindow;
static char g_productName[100] = "Tessavox";
static char g_scriptPath[MAX_PATH];

static int fileExists(const char *path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

static void readAppPath(const char *program, char *out, size_t room) {
  char key[300];
  snprintf(key, sizeof key, "%s%s", kAppPaths, program);
  out[0] = '\0';
  LONG size = (LONG)room;
  if (RegQueryValueA(HKEY_LOCAL_MACHINE, key, out, &size) != ERROR_SUCCESS) out[0] = '\0';
  out[room - 1] = '\0';
}

static const KnownBrowser *knownOf(const BrowserRecord *r) {
  for (int i = 0; i < kKnownCount; ++i)
    if (r == &g_records[i]) return &kKnown[i];
  return nullptr;
}

// The found and not-found lists, each in the order of the table.
static void linkLists(void) {
  BrowserRecord **found = &g_found, **notFound = &g_notFound;
  g_found = g_notFound = nullptr;
  for (int i = 0; i < kKnownCount; ++i) {
    BrowserRecord *r = &g_records[i];
    r->next = nullptr;
    BrowserRecord ***tail = r->found ? &found : &notFound;
    **tail = r;
    *tail = &r->next;
  }
}

static void markFound(BrowserRecord *r, const char *program) {
  snprintf(r->programPath, sizeof r->programPath, "%s", program);
  r->found = 1;
  r->configure = 1;
  r->installPlugin = r->offersPlugin;
  r->installExtension = r->offersExtension;
  if (r->hasBookmarkB) {
    // The bookmark file beside the program, when there is one.
    char path[MAX_PATH + 16];
    snprintf(path, sizeof path, "%s", program);
    char *slash = strrchr(path, '\\');
    if (slash) snprintf(slash + 1, sizeof path - (size_t)(slash + 1 - path), "%s", r->bookmarkNameB);
    if (slash && fileExists(path)) snprintf(r->bookmarkPathB, sizeof r->bookmarkPathB, "%s", path);
  }
  r->installBookmark = r->bookmarkPathA[0] || r->bookmarkPathB[0];
}

static void findBrowsers(void) {
  for (int i = 0; i < kKnownCount; ++i) {
    const KnownBrowser *k = &kKnown[i];
    BrowserRecord *r = &g_records[i];
    memset(r, 0, sizeof *r);
    r->kind = k->kind;
    snprintf(r->libraryOwned1, sizeof r->libraryOwned1, "%s", k->name);
    r->name = r->libraryOwned1;
    r->offersPlugin = k->offersPlugin;
    r->offersExtension = k->offersExtension;
    r->customisable = k->customisable;
    if (k->bookmarkNameA) {
      r->hasBookmarkA = 1;
      snprintf(r->bookmarkNameA, sizeof r->bookmarkNameA, "%s", k->bookmarkNameA);
      char favorites[MAX_PATH];
      if (SHGetFolderPathA(nullptr, CSIDL_FAVORITES, nullptr, 0, favorites) == S_OK)
        snprintf(r->bookmarkPathA, sizeof r->bookmarkPathA, "%s", favorites);
    }
    if (k->bookmarkNameB) {
      r->hasBookmarkB = 1;
      snprintf(r->bookmarkNameB, sizeof r->bookmarkNameB, "%s", k->bookmarkNameB);
    }
    char program[MAX_PATH] = "";
    if (k->appPath) readAppPath(k->appPath, program, sizeof program);
    else snprintf(program, sizeof program, "%s", k->file);
    if (program[0] && fileExists(program)) markFound(r, program);
  }
  linkLists();
}

static void logCreated(const char *path) {
  if (g_setupWindow) SendMessageA(g_setupWindow, WM_SETUP_LOG_KEY, kLogFiles, (LPARAM)path);
}

// Writes one value into the browser's settings file; 0 when it cannot be written.
static int setting(const char *file, const char *key, const char *value) {
  return WritePrivateProfileStringA(g_productName, key, value, file) != 0;
}

static int writeSettings(const BrowserRecord *r, const char *destination) {
  char file[MAX_PATH + 8];
  snprintf(file, sizeof file, "%s", r->programPath);
  char *dot = strrchr(file, '.');
  char *slash = strrchr(file, '\\');
  if (dot && (!slash || dot > slash)) *dot = '\0';
  if (strlen(file) + 4 >= sizeof file) return 0;
  strcat(file, ".ini");
  int existed = GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;

  char mainExe[100] = "", helper[MAX_PATH * 2];
  GetPrivateProfileStringA("Default Setting", "MainExe", "", mainExe, sizeof mainExe, g_scriptPath);
  snprintf(helper, sizeof helper, "%s%s", destination ? destination : "", mainExe);
  int ok = setting(file, "MimeType", "audio/x-ov-tessavox") && setting(file, "Extensions", ".tx,.txm") &&
           setting(file, "Helper", helper);
  if (ok && r->offersPlugin) ok = setting(file, "Plugin", r->installPlugin ? "1" : "0");
  if (ok && r->offersExtension) ok = setting(file, "Extension", r->installExtension ? "1" : "0");
  const char *bookmark = r->hasBookmarkA ? r->bookmarkPathA : r->bookmarkPathB;
  if (ok && (r->hasBookmarkA || r->hasBookmarkB)) ok = setting(file, "Bookmark", r->installBookmark ? bookmark : "");
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);  // flush
  if (!existed && fileExists(file)) logCreated(file);
  return ok;
}

// Internet Explorer's bookmark: "<product> Home Page.url" in the Favorites folder.
static int writeFavorite(const BrowserRecord *r) {
  if (!r->installBookmark || !r->bookmarkPathA[0]) return 1;
  char path[MAX_PATH * 2], url[310] = "";
  snprintf(path, sizeof path, "%s\\%s Home Page.url", r->bookmarkPathA, g_productName);
  GetPrivateProfileStringA("Default Setting", "SondrellBaseURL", "", url, sizeof url, g_scriptPath);
  if (!url[0]) snprintf(url, sizeof url, "%s", "http://www.tessavox.invalid/");
  int existed = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  int ok = WritePrivateProfileStringA("InternetShortcut", "URL", url, path) != 0;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
  if (!existed && fileExists(path)) logCreated(path);
  return ok;
}

// --- the locate dialog --------------------------------------------------------------

struct Locate {
  BrowserRecord *record;
  char path[MAX_PATH];
};

static INT_PTR CALLBACK locateProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  Locate *l = (Locate *)GetWindowLongPtrA(w, GWLP_USERDATA);
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(w, GWLP_USERDATA, lp);
      l = (Locate *)lp;
      char prompt[400];
      snprintf(prompt, sizeof prompt, "Where is the program of %s installed?", l->record->name);
      SetDlgItemTextA(w, IDC_LOCATE_PROMPT, prompt);
      SendDlgItemMessageA(w, IDC_LOCATE_PATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_LOCATE_BROWSE: {
          char file[MAX_PATH] = "*.exe";
          OPENFILENAMEA ofn = {};
          ofn.lStructSize = sizeof ofn;
          ofn.hwndOwner = w;
          ofn.lpstrFilter = "Programs (*.exe)\0*.exe\0";
          ofn.lpstrFile = file;
          ofn.nMaxFile = sizeof file;
          ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
          if (GetOpenFileNameA(&ofn)) SetDlgItemTextA(w, IDC_LOCATE_PATH, file);
          return TRUE;
        }
        case IDOK:
          GetDlgItemTextA(w, IDC_LOCATE_PATH, l->path, sizeof l->path);
          if (!fileExists(l->path)) {
            char text[MAX_PATH + 64];
            snprintf(text, sizeof text, "Cannot find the program %s.", l->path);
            MessageBoxA(w, text, "Locate Browser", MB_OK | MB_ICONEXCLAMATION);
            return TRUE;
          }
          EndDialog(w, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(w, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- exports ------------------------------------------------------------------------

extern "C" {

int WINAPI OpenConfigurationProcess(const ConfigurationStart *start) {
  g_setupWindow = start ? (HWND)start->mainWindow : nullptr;
  if (start && start->productName && start->productName[0])
    snprintf(g_productName, sizeof g_productName, "%s", start->productName);
  if (start && start->scriptPath) snprintf(g_scriptPath, sizeof g_scriptPath, "%s", start->scriptPath);
  findBrowsers();
  return 1;
}

BrowserRecord *WINAPI GetFoundBrowsers(void) { return g_found; }

BrowserRecord *WINAPI GetNotFoundBrowsers(void) { return g_notFound; }

// 0 when the record became found (the lists changed); 1 when it stays as it was.
int WINAPI SetBrowserAsFound(BrowserRecord *record, HWND dialog) {
  if (!knownOf(record) || record->found) return 1;
  Locate l = {record, ""};
  if (DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_LOCATE_BROWSER), dialog, locateProc, (LPARAM)&l) != IDOK)
    return 1;
  markFound(record, l.path);
  linkLists();
  return 0;
}

// 0 when the browser is configured.
int WINAPI ConfigureBrowser(BrowserRecord *record, const char *destination) {
  if (!knownOf(record) || !record->found) return 1;
  if (!writeSettings(record, destination)) return 2;
  if (record->kind == kBrowserActiveX && !writeFavorite(record)) return 3;
  return 0;
}

int WINAPI CloseConfigurationProcess(void) {
  g_setupWindow = nullptr;
  return 1;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}
