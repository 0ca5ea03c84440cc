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
// bookmark). Besides:
//
//   Internet Explorer  the ActiveX control, when installed: its class key
//                      HKCR\CLSID\{...} with the player as its LocalServer32; the
//                      bookmark: an Internet shortcut in the Favorites folder
//   Netscape           the player as helper of its MIME type, per user:
//                      HKCU\Software\Netscape\Netscape Navigator\Helpers\<product>;
//                      the plug-in: "npTessavox.ini" in "Plugins" beside the program,
//                      the Xtra: "Tessavox Xtra.ini" in "Plugins\Xtras"
//
// Everything the library creates is sent to the setup's main window with
// WM_SETUP_LOG_KEY, parents before what they hold, so that the uninstaller (newest
// first) removes it: kind 0 keys under HKEY_CLASSES_ROOT, 10 files, 20 keys under
// HKEY_CURRENT_USER, 30 directories. What was there before is never logged.
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
enum : WPARAM { kLogClassesKey = 0, kLogFiles = 10, kLogUserKey = 20, kLogDirectory = 30 };
static const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
static const char kControlClass[] = "CLSID\\{6C7A5E31-2B4D-4C8E-9F1A-7D3B2E5A9C40}";
static const char kNetscapeHelpers[] = "Software\\Netscape\\Netscape Navigator\\Helpers\\";
static const char kMimeType[] = "audio/x-ov-tessavox";
static const char kExtensions[] = ".tx,.txm";

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

static void logCreated(const char *path, WPARAM kind = kLogFiles) {
  if (g_setupWindow) SendMessageA(g_setupWindow, WM_SETUP_LOG_KEY, kind, (LPARAM)path);
}

// Opens a key for writing, creating it and the parents it lacks; each key created is
// logged, outermost first. NULL when it cannot be made.
static HKEY createKeyLogged(HKEY root, const char *path) {
  WPARAM kind = root == HKEY_CURRENT_USER ? kLogUserKey : kLogClassesKey;
  char prefix[400];
  size_t n = strlen(path);
  if (n >= sizeof prefix) return nullptr;
  HKEY key = nullptr;
  for (size_t i = 1; i <= n; ++i) {
    if (path[i] != '\\' && path[i] != '\0') continue;
    memcpy(prefix, path, i);
    prefix[i] = '\0';
    if (key) RegCloseKey(key);
    key = nullptr;
    if (RegOpenKeyExA(root, prefix, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) continue;
    if (RegCreateKeyExA(root, prefix, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return nullptr;
    logCreated(prefix, kind);
  }
  return key;
}

static int setValue(HKEY key, const char *name, const char *text) {
  return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1) == ERROR_SUCCESS;
}

// Makes a directory and the parents it lacks (a full "X:\..." path); each one made
// is logged, outermost first. 0 when it cannot be made.
static int createDirectoryLogged(const char *path) {
  char prefix[MAX_PATH];
  size_t n = strlen(path);
  if (n >= sizeof prefix || n < 3) return 0;
  for (size_t i = 3; i <= n; ++i) {
    if (path[i] != '\\' && path[i] != '\0') continue;
    memcpy(prefix, path, i);
    prefix[i] = '\0';
    DWORD a = GetFileAttributesA(prefix);
    if (a != INVALID_FILE_ATTRIBUTES) {
      if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return 0;
      continue;
    }
    if (!CreateDirectoryA(prefix, nullptr)) return 0;
    logCreated(prefix, kLogDirectory);
  }
  return 1;
}

// The player's program in the destination directory.
static void helperPath(const char *destination, char *out, size_t room) {
  char mainExe[100] = "";
  GetPrivateProfileStringA("Default Setting", "MainExe", "", mainExe, sizeof mainExe, g_scriptPath);
  snprintf(out, room, "%s%s", destination ? destination : "", mainExe);
}

// The directory of the browser's program with `sub` appended ("" for the directory).
static int besideProgram(const BrowserRecord *r, const char *sub, char *out, size_t room) {
  const char *slash = strrchr(r->programPath, '\\');
  if (!slash) return 0;
  int n = snprintf(out, room, "%.*s%s", (int)(slash - r->programPath), r->programPath, sub);
  return n > 0 && (size_t)n < room;
}

// A small description file of the player for the browser (its plug-in, its Xtra):
// in `directory`, made when missing.
static int writeDescription(const char *directory, const char *name, const char *section, const char *helper) {
  if (!createDirectoryLogged(directory)) return 0;
  char file[MAX_PATH + 64];
  snprintf(file, sizeof file, "%s\\%s", directory, name);
  int existed = GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;
  int ok = WritePrivateProfileStringA(section, "MimeType", kMimeType, file) &&
           WritePrivateProfileStringA(section, "Extensions", kExtensions, file) &&
           WritePrivateProfileStringA(section, "Helper", helper, file);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);  // flush
  if (!existed && fileExists(file)) logCreated(file);
  return ok;
}

// Netscape: the player as its MIME type's helper for this user, the plug-in and the
// Xtra as they were chosen.
static int configureNetscape(const BrowserRecord *r, const char *destination) {
  char helper[MAX_PATH * 2], path[MAX_PATH];
  helperPath(destination, helper, sizeof helper);
  char key[300];
  snprintf(key, sizeof key, "%s%s", kNetscapeHelpers, g_productName);
  HKEY k = createKeyLogged(HKEY_CURRENT_USER, key);
  if (!k) return 0;
  int ok = setValue(k, "MimeType", kMimeType) && setValue(k, "Extensions", kExtensions) && setValue(k, "Helper", helper);
  RegCloseKey(k);
  if (ok && r->installPlugin)
    ok = besideProgram(r, "\\Plugins", path, sizeof path) && writeDescription(path, "npTessavox.ini", "Plug-in", helper);
  if (ok && r->installExtension)
    ok = besideProgram(r, "\\Plugins\\Xtras", path, sizeof path) &&
         writeDescription(path, "Tessavox Xtra.ini", "Xtra", helper);
  return ok;
}

// Internet Explorer: the ActiveX control's class, served by the player.
static int registerControl(const BrowserRecord *r, const char *destination) {
  if (!r->installPlugin) return 1;
  char helper[MAX_PATH * 2], server[400];
  helperPath(destination, helper, sizeof helper);
  snprintf(server, sizeof server, "%s\\LocalServer32", kControlClass);
  HKEY k = createKeyLogged(HKEY_CLASSES_ROOT, kControlClass);
  if (!k) return 0;
  char name[160];
  snprintf(name, sizeof name, "%s Control", g_productName);
  int ok = setValue(k, nullptr, name);
  RegCloseKey(k);
  if (!ok || !(k = createKeyLogged(HKEY_CLASSES_ROOT, server))) return 0;
  ok = setValue(k, nullptr, helper);
  RegCloseKey(k);
  return ok;
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

  char helper[MAX_PATH * 2];
  helperPath(destination, helper, sizeof helper);
  int ok = setting(file, "MimeType", kMimeType) && setting(file, "Extensions", kExtensions) &&
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

// The open-file dialog for the browser's program; it starts in the folder of the path
// typed so far, when there is one.
static void browseForProgram(HWND w, const Locate *l) {
  char typed[MAX_PATH] = "", folder[MAX_PATH] = "", file[MAX_PATH] = "*.exe", title[160];
  GetDlgItemTextA(w, IDC_LOCATE_PATH, typed, sizeof typed);
  DWORD a = typed[0] ? GetFileAttributesA(typed) : INVALID_FILE_ATTRIBUTES;
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
    snprintf(folder, sizeof folder, "%s", typed);
  } else if (char *slash = strrchr(typed, '\\')) {
    *slash = '\0';
    a = GetFileAttributesA(typed);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) snprintf(folder, sizeof folder, "%s", typed);
  }
  snprintf(title, sizeof title, "Locate %s", l->record->name);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = w;
  ofn.lpstrFilter = "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (GetOpenFileNameA(&ofn)) SetDlgItemTextA(w, IDC_LOCATE_PATH, file);
}

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
        case IDC_LOCATE_BROWSE: browseForProgram(w, l); return TRUE;
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
  if (record->kind == kBrowserSiblingIcon && !configureNetscape(record, destination)) return 4;
  if (!writeSettings(record, destination)) return 2;
  if (record->kind == kBrowserActiveX && (!registerControl(record, destination) || !writeFavorite(record))) return 3;
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
