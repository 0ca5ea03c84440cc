// TXSETUP (Windows): the run from its start through the wizard and the installation
// steps to the shutdown, the file groups with their verified copies, and the failure
// path that puts back what this run changed.
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "common/language_resources.h"
#include "setup/browser_pages.h"
#include "setup/control_sums.h"
#include "setup/directory_rule.h"
#include "setup/progman_group.h"
#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/verified_copy.h"

static const char kDefaultSetting[] = "Default Setting";
static HWND g_progress;  // the progress dialog the groups of the run share

static RefContext refContext(void) {
  RefContext c = {&g_app.script, g_app.state->destination, g_app.windowsDirectory, g_app.systemDirectory};
  return c;
}

// --- windows by title, message pumping -------------------------------------------

struct TitleSearch {
  char wanted[101];
  HWND found;
};

static BOOL CALLBACK matchTitle(HWND w, LPARAM lp) {
  TitleSearch *s = (TitleSearch *)lp;
  if (GetParent(w) != nullptr) return TRUE;
  LONG style = GetWindowLongA(w, GWL_STYLE);
  if ((style & WS_CAPTION) != WS_CAPTION) return TRUE;
  char title[512];
  GetWindowTextA(w, title, sizeof title);
  for (char *p = title; *p; ++p) *p = (char)tolower((unsigned char)*p);
  for (const char *at = strstr(title, s->wanted); at; at = strstr(at + 1, s->wanted)) {
    if (at == title || (at - title >= 3 && strncmp(at - 3, " - ", 3) == 0)) {
      s->found = w;
      return FALSE;
    }
  }
  return TRUE;
}

HWND findWindowByTitle(const char *title) {
  TitleSearch s;
  snprintf(s.wanted, sizeof s.wanted, "%s", title);
  for (char *p = s.wanted; *p; ++p) *p = (char)tolower((unsigned char)*p);
  s.found = nullptr;
  if (!s.wanted[0]) return nullptr;
  EnumWindows(matchTitle, (LPARAM)&s);
  return s.found;
}

void letMessagesRun(int ticks) {
  UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
  int seen = 0;
  MSG m;
  while (seen < ticks && GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (m.message == WM_TIMER && m.hwnd == nullptr && m.wParam == timer) ++seen;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  KillTimer(nullptr, timer);
}

// --- steps of the start -----------------------------------------------------------

static int platformCode(void) {
  DWORD v = GetVersion();
  DWORD major = LOBYTE(LOWORD(v));
  g_app.state->platformMajor = major;
  if (v & 0x80000000u) return major <= 3 ? 2 : 4;
  return 8;
}

// The background text drawn black on white into a bitmap 50 pixels high.
static void prepareBackgroundText(void) {
  char text[50 + 3];
  scriptText(&g_app.script, kDefaultSetting, "BackgroundText", text, 50);
  if (!text[0]) return;
  strcat(text, "   ");
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HFONT font = languageCreateFont(50, 21, 0, 0, 600, TRUE, 0, 0, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                                  CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN, "Times New Roman");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE size;
  GetTextExtentPoint32A(dc, text, (int)strlen(text), &size);
  int planes = 1, bits = 24;
  BITMAP side;
  if (g_app.state->sidePicture && GetObjectA(g_app.state->sidePicture, sizeof side, &side)) {
    planes = side.bmPlanes;
    bits = side.bmBitsPixel;
  }
  g_app.textWidth = size.cx;
  g_app.textHeight = 50;
  g_app.textBitmap = CreateBitmap(size.cx, 50, (UINT)planes, (UINT)bits, nullptr);
  HGDIOBJ oldBitmap = SelectObject(dc, g_app.textBitmap);
  RECT r = {0, 0, size.cx, 50};
  FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 0, 0, text, (int)strlen(text));
  SelectObject(dc, oldBitmap);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

// [Unload]: asks each running program to close; 0 when the user gives up.
static int closeRunningPrograms(HWND owner) {
  char title[100];
  for (int n = 1; scriptNumbered(&g_app.script, "Unload", "Caption%d", n, title, sizeof title); ++n) {
    for (;;) {
      HWND w = findWindowByTitle(title);
      for (int attempt = 0; w && attempt < 5; ++attempt) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        letMessagesRun(25);
        w = findWindowByTitle(title);
      }
      if (!w) break;
      if (retryBox(owner, IDS_IN_USE, IDS_CLOSE_IT) == 1) continue;
      if (exitConfirmation(owner) == 2) return 0;
    }
  }
  return 1;
}

// [Old Files] removed from directory d, then d itself when it is left empty; each
// file is set aside so that a failed run can put it back.
static void removeOldFiles(const char *directory) {
  char name[kPathSize], path[kPathSize + 2];
  size_t n = strlen(directory);
  if (n == 0) return;
  for (int i = 1; scriptNumbered(&g_app.script, "Old Files", "File%d", i, name, sizeof name); ++i) {
    int w = snprintf(path, sizeof path, "%s%s%s", directory, directory[n - 1] == '\\' ? "" : "\\", name);
    if (w < 0 || w >= kPathSize) continue;
    char mainName[kPathSize];
    scriptText(&g_app.script, kDefaultSetting, "MainExe", mainName, 100);
    if (mainName[0] && strcasecmp(name, mainName) == 0)
      fileVersion(path, g_app.state->oldMainVersion, sizeof g_app.state->oldMainVersion);
    g_app.journal->setAside(path);
  }
  char bare[kPathSize];
  snprintf(bare, sizeof bare, "%s", directory);
  size_t b = strlen(bare);
  if (b > 0 && bare[b - 1] == '\\') bare[--b] = '\0';
  // The set-aside files are still in it: it goes with them once the run has succeeded,
  // unless something else is left in it.
  if (b > 3) g_app.journal->removeWhenEmptied(bare);
}

static void failRun(HWND w) {
  failureNotice(w);
  g_app.journal->undo();
  g_app.inProgress = 0;
  DestroyWindow(w);
}

static void runInstallSteps(HWND w, int resumed);

void startRun(HWND w) {
  InstallState *s = g_app.state;
  const SetupScript *script = &g_app.script;
  s->platform = platformCode();
  if (!script->path[0] || GetFileAttributesA(script->path) == INVALID_FILE_ATTRIBUTES) {
    errorBox(w, IDS_CANNOT_OPEN, script->path);
    failRun(w);
    return;
  }
  scriptText(script, kDefaultSetting, "DestName", s->destination, 100);
  scriptText(script, kDefaultSetting, "ProductName", s->productName, sizeof s->productName);
  if (!scriptText(script, kDefaultSetting, "RegistrationName", s->registrationName, sizeof s->registrationName))
    snprintf(s->registrationName, sizeof s->registrationName, "%s", s->productName);
  scriptText(script, kDefaultSetting, "MainExe", s->mainExe, 100);

  char path[kPathSize * 2];
  snprintf(path, sizeof path, "%s%s", g_app.setupDirectory, s->mainExe);
  fileVersion(path, s->version, sizeof s->version);
  if (strcmp(s->version, "0.0") == 0) {
    char v[kVersionTextSize];
    if (scriptText(script, kDefaultSetting, "MainVersion", v, sizeof v) && v[0])
      snprintf(s->version, sizeof s->version, "%s", v);
  }
  s->prefs = new ProductPrefs(g_app.registry, s->registrationName, s->version, s->platform == 2);
  importSetupSatellite();

  s->sidePicture = languageLoadBitmap(g_app.instance, MAKEINTRESOURCEA(IDB_SIDE));
  BITMAP b;
  if (s->sidePicture && GetObjectA(s->sidePicture, sizeof b, &b)) {
    s->sideSize.cx = b.bmWidth;
    s->sideSize.cy = b.bmHeight;
  }
  prepareBackgroundText();
  SetClassLongPtrA(w, GCLP_HICON, (LONG_PTR)languageLoadIcon(g_app.instance, MAKEINTRESOURCEA(IDI_TXSETUP)));
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);

  if (scriptNumber(script, kDefaultSetting, "NoWin32s") && s->platform == 2) {
    errorBox(w, IDS_RUN_16BIT, nullptr);
    failRun(w);
    return;
  }
  if (scriptNumber(script, kDefaultSetting, "DetectWaveDriver") != 0 && !runSoundCheck(w)) {
    failRun(w);
    return;
  }
  if (!closeRunningPrograms(w)) {
    failRun(w);
    return;
  }
  s->prefs->readFamily("UserName", s->userName, sizeof s->userName);
  s->prefs->readFamily("UserCompany", s->userCompany, sizeof s->userCompany);
  s->prefs->readFamily("UserAddress", s->userAddress, sizeof s->userAddress);
  if (!openBrowserLibrary(w)) {
    failRun(w);
    return;
  }

  s->prefs->findPrevious(s->previousCommand, sizeof s->previousCommand, s->previousDirectory,
                         sizeof s->previousDirectory);
  char bandwidth[16];
  s->prefs->read("Bandwidth", bandwidth, sizeof bandwidth);
  long speed = strtol(bandwidth, nullptr, 10);
  if (speed > 0) s->speed = speed;

  if (!runWizard(w)) {
    failRun(w);
    return;
  }

  s->prefs->writeFamily("UserName", s->userName);
  s->prefs->writeFamily("UserCompany", s->userCompany);
  s->prefs->writeFamily("UserAddress", s->userAddress);
  migrateOldIni();
  s->prefs->raiseInstallCount();
  RefContext c = refContext();
  int type;
  resolveReference(&c, "Uninstaller::F1", 15, s->uninstallerPath, sizeof s->uninstallerPath, &type);
  size_t n = strlen(s->destination);
  if (n > 0 && s->destination[n - 1] != '\\' && n + 1 < sizeof s->destination) strcat(s->destination, "\\");
  s->prefs->copyPrevious();
  removeOldFiles(s->destination);

  // The previous installation.
  char previous[kPathSize] = "";
  int removeFromPrevious = 0;
  char *command = s->previousCommand;
  if (s->previousDirectory[0]) {
    snprintf(previous, sizeof previous, "%s", s->previousDirectory);
  } else {
    char regPath[kPathSize];
    if (scriptText(script, "Old Files", "RegPath", regPath, sizeof regPath) && regPath[0]) {
      registryReadText(g_app.registry, kClassesRoot, regPath, nullptr, previous, sizeof previous);
      char *slash = strrchr(previous, '\\');
      if (slash) slash[1] = '\0';
      else previous[0] = '\0';
      removeFromPrevious = 1;
    } else {
      registryReadText(g_app.registry, kClassesRoot, s->prefs->keyPath(), nullptr, previous, sizeof previous);
    }
  }
  if (previous[0]) {
    size_t p = strlen(previous);
    if (previous[p - 1] != '\\' && p + 1 < sizeof previous) strcat(previous, "\\");
    if (strcasecmp(previous, s->destination) != 0) {
      char raw[512], question[1024];
      loadText(IDS_UNINSTALL_PREVIOUS, raw, sizeof raw);
      snprintf(question, sizeof question, raw, previous);
      if (yesNoBox(w, question) == 2) {
        command[0] = '\0';
        removeFromPrevious = 0;
      }
    } else {
      // The earlier installation is in the destination itself: its files are
      // replaced one by one (and put back should this run fail), so it is not
      // uninstalled first.
      command[0] = '\0';
    }
    if (removeFromPrevious) removeOldFiles(previous);
  }
  if (command[0]) {
    char line[kUninstallCommandSize + 300];
    snprintf(line, sizeof line, "%s -i%s", command, g_app.caption);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
      s->oldMainVersion[0] = '\0';
      s->uninstallerStarted = 1;
      return;  // WM_SETUP_RESUME runs the installation steps
    }
  }
  runInstallSteps(w, 0);
}

void resumeRun(HWND w) {
  if (!g_app.state->uninstallerStarted) return;  // only the uninstaller this run started resumes it
  g_app.state->uninstallerStarted = 0;
  SetForegroundWindow(w);
  BringWindowToTop(w);
  runInstallSteps(w, 1);
}

// --- groups --------------------------------------------------------------------

static void copyPaths(void *, const char *source, const char *destination) {
  progressPaths(g_progress, source, destination);
}
static void copyAdvanced(void *, long bytes) { progressAdvance(g_progress, bytes); }

static void logDirectories(char (*prefixes)[260], int count) {
  for (int i = 0; i < count; ++i) g_app.state->log.add(kLogDirectories, prefixes[i]);
}

static void journalDirectory(void *, const char *path) { g_app.journal->createdDirectory(path); }

static void enterInstalled(const char *destination) {
  InstallState *s = g_app.state;
  char name[64];
  snprintf(name, sizeof name, "%s", baseNameOf(destination));
  for (char *p = name; *p; ++p) *p = (char)tolower((unsigned char)*p);
  int slot = s->installedCount;
  for (int i = 0; i < s->installedCount; ++i)
    if (strcmp(s->installed[i].name, name) == 0) slot = i;
  if (slot == kInstalledFilesMax) return;
  snprintf(s->installed[slot].name, sizeof s->installed[slot].name, "%s", name);
  snprintf(s->installed[slot].path, sizeof s->installed[slot].path, "%s", destination);
  if (slot == s->installedCount) ++s->installedCount;
}

const char *installedPath(const char *bareName) {
  char name[64];
  snprintf(name, sizeof name, "%s", bareName);
  for (char *p = name; *p; ++p) *p = (char)tolower((unsigned char)*p);
  for (int i = 0; i < g_app.state->installedCount; ++i)
    if (strcmp(g_app.state->installed[i].name, name) == 0) return g_app.state->installed[i].path;
  return nullptr;
}

static int copyMessage(HWND w, int status, const char *source, const char *destination) {
  if (status == kCopySumsDiffer) {
    char upper[1024], changed[512], lower[512];
    loadText(IDS_CHANGED_IN_DOWNLOAD, changed, sizeof changed);
    loadText(IDS_REDOWNLOAD, lower, sizeof lower);
    snprintf(upper, sizeof upper, "%s %s", destination, changed);
    errorBoxText(w, upper, lower);
  } else if (status == kCopyNoMemory) {
    errorBox(w, status, nullptr);
  } else {
    errorBox(w, status, status == kCopyWrongLength || status == kCopyNoSource ? source : destination);
  }
  return 0;
}

static int installGroup(HWND w, const char *group) {
  InstallState *s = g_app.state;
  RefContext c = refContext();
  char directory[kPathSize];
  int type;
  if (!resolveReference(&c, group, strlen(group), directory, sizeof directory, &type)) return 0;
  if (type == kGroupSubroot) {
    char prefixes[32][260];
    int count = 0;
    DirectoryObserver o = {nullptr, journalDirectory};
    if (!checkDirectory(g_app.files, directory, &o, prefixes, 32, &count)) {
      errorBox(w, IDS_CANNOT_COPY_TO, directory);
      return 0;
    }
    logDirectories(prefixes, count);
  }
  char sumsSection[kPathSize + 16];
  snprintf(sumsSection, sizeof sumsSection, "%s Control Sums", group);
  for (int n = 1;; ++n) {
    char reference[kPathSize + 24], destination[kPathSize];
    snprintf(reference, sizeof reference, "%s::F%d", group, n);
    if (!resolveReference(&c, reference, strlen(reference), destination, sizeof destination, &type)) return 1;
    s->groupType = type;
    char source[kPathSize * 2];
    snprintf(source, sizeof source, "%s%s", g_app.setupDirectory, baseNameOf(destination));
    char key[24], lengthText[40], sumsText[40];
    snprintf(key, sizeof key, "L%d", n);
    int haveLength = scriptText(&g_app.script, sumsSection, key, lengthText, sizeof lengthText);
    snprintf(key, sizeof key, "F%d", n);
    int haveSums = scriptText(&g_app.script, sumsSection, key, sumsText, sizeof sumsText);
    long long length = 0;
    if (!haveLength || !haveSums || !parseFileLength(lengthText, &length)) {
      errorBox(w, IDS_NO_CONTROL_SUMS, destination);
      return 0;
    }
    uint8_t sums[kSumCount];
    if (parseControlSums(sumsText, sums) < kSumCount) {
      errorBox(w, IDS_BAD_CONTROL_SUMS, destination);
      return 0;
    }
    if (type == kGroupShared || type == kGroupSatellite) s->log.add(kLogSharedFiles, destination);
    else if (type != kGroupUninstaller) s->log.add(kLogFiles, destination);

    if (type == kGroupShared || type == kGroupSatellite) {
      char installedVersion[kVersionTextSize + 1];
      long installed = fileVersion(destination, installedVersion, sizeof installedVersion);
      if (GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES) installed = -1;
      int raise = !s->oldMainVersion[0] || strcmp(s->oldMainVersion, installedVersion) != 0;
      long count = raiseSharedCount(destination, raise);
      long offered = fileVersion(source, nullptr, 0);
      if (count > 1 && offered < installed) {
        char raw[512], text[1024];
        loadText(IDS_SHARED_NEWER, raw, sizeof raw);
        snprintf(text, sizeof text, raw, destination);
        if (okCancelBox(w, text) == 2) return 0;
      }
    }
    CopyProgress progress = {nullptr, copyPaths, copyAdvanced};
    int status = copyVerified(g_app.files, g_app.journal, &progress, source, destination, length, sums, 1);
    if (status != kCopyDone) return copyMessage(w, status, source, destination);
    enterInstalled(destination);
    if (!s->mainExeFound && strcasecmp(baseNameOf(destination), s->mainExe) == 0) {
      s->mainExeFound = 1;
      snprintf(s->mainExe, sizeof s->mainExe, "%s", destination);
    }
    if (type == kGroupSatellite) registerGroupSatellite(destination);
  }
}

int installGroupOnRequest(HWND w, const char *group) {
  if (!group) return 0;
  char total[16];
  scriptText(&g_app.script, group, "RegisteredSpace", total, sizeof total);
  HWND outer = g_progress;
  g_progress = openProgressDialog(w, strtoll(total, nullptr, 10));
  int ok = installGroup(w, group);
  closeProgressDialog(g_progress);
  g_progress = outer;
  // Asked for once the run has succeeded, the group stands alone: what it replaced is
  // let go when it worked, and put back when it did not.
  if (g_app.state->succeeded) {
    if (ok) g_app.journal->commit();
    else g_app.journal->undo();
  }
  return ok;
}

void logKeyMessage(WPARAM kind, const char *text) {
  UninstallLog &log = g_app.state->log;
  // A library logs what it made for the product: a failed run removes it too.
  int made = text && text[0];
  switch (kind) {
    case 0:
      log.add(kLogKeys, text, "HKEY_CLASSES_ROOT");
      if (made) g_app.journal->createdKey(kClassesRoot, text);
      break;
    case 10:
      log.add(kLogFiles, text);
      if (made) g_app.journal->createdFile(text);
      break;
    case 20:
      log.add(kLogKeyValues, text, "HKEY_CURRENT_USER");
      if (made) g_app.journal->createdKey(kCurrentUser, text);
      break;
    case 30:
      log.add(kLogDirectories, text);
      if (made) g_app.journal->createdDirectory(text);
      break;
    default: break;  // accepted and ignored
  }
}

// --- installation steps ---------------------------------------------------------

// 1 to go on, 0 to abort the installation.
static int checkFreeSpace(HWND w) {
  char self[16];
  scriptText(&g_app.script, "File Groups", "SelfSpace", self, sizeof self);
  long long selfSpace = strtoll(self, nullptr, 10);
  long long need = selfSpace > 2097151 || selfSpace < 0 ? 0 : 2097152 - selfSpace;
  char root[4] = {g_app.state->destination[0], ':', '\\', '\0'};
  for (;;) {
    DWORD sectors, bytes, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &clusters)) return 1;
    // In 64 bits: the product passes 32 bits on any disk of today.
    unsigned long long freeBytes = (unsigned long long)sectors * bytes * freeClusters;
    if (freeBytes > 999999999ull || (long long)freeBytes >= need) return 1;
    if (retryBox(w, IDS_NEED_SPACE, 0) != 1) return 0;
  }
}

static void runInstallSteps(HWND w, int resumed) {
  InstallState *s = g_app.state;
  int ok = 1;
  if (resumed) cleanUpVersionTwo();  // 3.1: the preferences are read from the registry as they stand
  // The log is opened before the file types are registered, so that their keys are
  // logged too (they are registered with the log flag on).
  s->log.open(g_app.registry, s->prefs->keyPath());
  if (scriptNumber(&g_app.script, kDefaultSetting, "RegisterExtensions")) registerFileTypes();
  writeScriptPreferences();
  writeFirstStartAndPresets();
  char displayKey[kKeyPathSize + 16];
  snprintf(displayKey, sizeof displayKey, "%s\\DisplayName", s->prefs->keyPath());
  registryWriteText(g_app.registry, kClassesRoot, displayKey, nullptr, s->productName);

  char prefixes[32][260];
  int count = 0;
  DirectoryObserver o = {nullptr, journalDirectory};
  if (!checkDirectory(g_app.files, s->destination, &o, prefixes, 32, &count)) {
    errorBox(w, IDS_CANNOT_COPY_TO, s->destination);
    ok = 0;
  }
  if (ok) {
    logDirectories(prefixes, count);
    s->prefs->writeInstallDirectory(s->destination);
    ok = checkFreeSpace(w);
  }
  if (ok && s->uninstallerPath[0]) registerUninstallCommand();
  if (ok && strcasecmp(s->destination, g_app.setupDirectory) == 0) g_app.resultCode = 0;
  if (ok && resumed) letMessagesRun(50);
  if (ok) {
    char total[16];
    scriptText(&g_app.script, "File Groups", "RegisteredSpace", total, sizeof total);
    g_progress = openProgressDialog(w, strtoll(total, nullptr, 10));
    char group[200];
    for (int n = 1; ok && scriptNumbered(&g_app.script, "File Groups", "Group%d", n, group, sizeof group); ++n)
      ok = installGroup(w, group);
    closeProgressDialog(g_progress);
    g_progress = nullptr;
  }
  if (ok) ok = configureBrowsers(w);
  if (ok && s->mainExeFound) registerApplicationPath();
  if (ok) {
    char title[100];
    for (int n = 1; scriptNumbered(&g_app.script, "Unload", "Caption%d", n, title, sizeof title); ++n)
      s->log.add(kLogShutdownNames, title);
  }
  if (ok) openProgmanConversation();
  if (ok) selfRegisterLibraries();
  if (ok) {
    char token[32], name[32];
    if (scriptText(&g_app.script, kDefaultSetting, "ReadMeReplacement", token, sizeof token) && token[0] &&
        scriptText(&g_app.script, kDefaultSetting, "ReadMeFileName", name, sizeof name) && name[0])
      replaceReadMeToken();
  }
  if (ok) ok = buildProgramGroup(w);
  if (ok) {
    g_app.journal->commit();
    s->succeeded = 1;
    successNotice(w);
  } else {
    // Only this run's changes are undone: an earlier installation, its files and
    // its log entries stay as they were.
    failureNotice(w);
    g_app.journal->undo();
  }
  g_app.inProgress = 0;
  DestroyWindow(w);
}

// --- shutdown ------------------------------------------------------------------

static void runLaunchCommands(void) {
  RefContext c = refContext();
  char value[100];
  for (int n = 1; scriptNumbered(&g_app.script, "Launch", "L%d", n, value, sizeof value); ++n) {
    if (!g_app.state->succeeded && value[1] != ':') continue;
    char program[kPathSize], args[kPathSize];
    if (!expandCommand(&c, value, program, sizeof program, args, sizeof args)) continue;
    char line[kPathSize * 2 + 4];
    snprintf(line, sizeof line, "\"%s\" %s", program, args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = 5;
    PROCESS_INFORMATION pi;
    if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
}

void shutdownSetup(void) {
  InstallState *s = g_app.state;
  if (s->browserLibrary) FreeLibrary(s->browserLibrary);
  closeProgmanConversation();
  if (s->succeeded && s->destination[0]) SetCurrentDirectoryA(s->destination);
  runLaunchCommands();
  if (g_app.textBitmap) DeleteObject(g_app.textBitmap);
  if (g_app.palette) DeleteObject(g_app.palette);
  languageRelease();
  HWND archive = findWindowByTitle("Kelmar Selfextracting Archive");
  if (archive) PostMessageA(archive, WM_USER, (WPARAM)g_app.resultCode, 0);
}
