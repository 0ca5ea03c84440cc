// TXSETUP (Windows): the program's state objects, the window messages of its
// protocol, and the functions its modules offer each other.
#ifndef SETUP_SETUP_APP_H
#define SETUP_SETUP_APP_H

#include <windows.h>

#include "common/product_prefs.h"
#include "setup/file_refs.h"
#include "setup/file_system.h"
#include "setup/install_journal.h"
#include "setup/script.h"
#include "setup/uninstall_log.h"

enum {
  WM_SETUP_START = WM_USER,
  WM_SETUP_INSTALL_GROUP = WM_USER + 0x20,
  WM_SETUP_FIND_PROGRAM = WM_USER + 0x30,
  WM_SETUP_LOG_KEY = WM_USER + 0x40,
  WM_SETUP_RESUME = WM_USER + 0x50,
};

extern const char kMainWindowClass[];

enum { kUserFieldSize = 50, kInstalledFilesMax = 512 };

// Lower-cased file name -> destination path of every file copied in this run.
struct InstalledFile {
  char name[64];
  char path[kPathSize];
};

struct InstallState {
  InstallState();
  ~InstallState();

  char destination[kPathSize];
  char productName[100];
  char registrationName[100];
  char token[16];  // "_PRODUCT_NAME_"
  char mainExe[kPathSize];
  int mainExeFound;
  char uninstallerPath[kPathSize];
  char userName[kUserFieldSize];
  char userCompany[kUserFieldSize];
  char userAddress[kUserFieldSize];
  long speed;
  int contentChoice;
  int platform;
  DWORD platformMajor;
  char version[kVersionTextSize + 1];
  char oldMainVersion[kVersionTextSize + 1];
  char defaultBrowserCommand[kPathSize];
  HMODULE browserLibrary;
  HBITMAP sidePicture;
  SIZE sideSize;
  ProductPrefs *prefs;
  UninstallLog log;
  int uninstallerStarted;
  int succeeded;
  int groupType;  // type code of the group being resolved
  char previousCommand[kUninstallCommandSize];
  char previousDirectory[kPathSize];
  InstalledFile installed[kInstalledFilesMax];
  int installedCount;
};

struct SetupApp {
  HINSTANCE instance;
  SetupScript script;
  char setupDirectory[kPathSize];
  char windowsDirectory[kPathSize];
  char systemDirectory[kPathSize];
  char caption[260];
  HWND mainWindow;
  HPALETTE palette;
  HBITMAP textBitmap;
  int textWidth, textHeight;
  InstallState *state;
  int inProgress;
  int resultCode;  // for the archive program; 1 unless installed into the setup directory
  InstallJournal *journal;
  const RegistryApi *registry;  // journaling: every write of the run can be undone
  const FileSystemApi *files;
};

extern SetupApp g_app;

// file_system_binding.cpp
const FileSystemApi *win32FileSystem(void);
const ProfileApi *privateProfileApi(void);
// The version rule: packed major<<28|minor<<20|release<<12|build; text "major.minor".
// 0 and "0.0" without a version resource.
long fileVersion(const char *path, char *text, size_t room);

// text helpers (setup_dialogs.cpp)
// The string-table text n with "_PRODUCT_NAME_" replaced.
void loadText(int id, char *out, size_t room);
void replaceToken(const char *in, char *out, size_t room);

// Message dialogs (setup_dialogs.cpp). Each returns the identifier that ended it.
int errorBox(HWND owner, int textId, const char *argument);
int errorBoxText(HWND owner, const char *upper, const char *lower);
int retryBox(HWND owner, int upperId, int lowerId);  // 1 retry, 2 exit
int exitConfirmation(HWND owner);                    // 1 continue, 2 exit
int yesNoBox(HWND owner, const char *text);          // 1 yes, 2 no
int okCancelBox(HWND owner, const char *text);       // 1 OK, 2 cancel
void failureNotice(HWND owner);
void successNotice(HWND owner);

// language_steps.cpp: the language look-up over the run's registry (before any text
// is loaded), the script's own Satellite (start step 1.4), a SATELLITE group's file.
void prepareLanguages(void);
void importSetupSatellite(void);
void registerGroupSatellite(const char *destination);

// sound_check_binding.cpp: the wave-output check of the start; 1 when it passes,
// else its message was shown.
int runSoundCheck(HWND window);

// wizard_pages.cpp: the ten pages; 1 when the wizard ended with Finish.
int runWizard(HWND owner);

// progress_dialog.cpp
int registerProgressBarClass(HINSTANCE instance);
HWND openProgressDialog(HWND owner, long long total);
void progressPaths(HWND dialog, const char *source, const char *destination);
void progressAdvance(HWND dialog, long bytes);
void closeProgressDialog(HWND dialog);

// install_run.cpp
void startRun(HWND window);
void resumeRun(HWND window);
int installGroupOnRequest(HWND window, const char *group);
void logKeyMessage(WPARAM kind, const char *text);
void shutdownSetup(void);
// Finds a top-level window by a part of its title (the archive's, a program to close).
HWND findWindowByTitle(const char *title);
void letMessagesRun(int ticks);

// registry_steps.cpp (and preference writes of the run)
void registerFileTypes(void);
// One file type: the extension's class, its description, icon and open command
// (program + " %1"); with log, its keys go into the uninstall log.
void registerFileType(const char *extension, const char *className, const char *program, const char *description,
                      int log);
void writeScriptPreferences(void);
void writeFirstStartAndPresets(void);
void registerUninstallCommand(void);
void registerApplicationPath(void);
long raiseSharedCount(const char *destination, int raise);
void selfRegisterLibraries(void);
void replaceReadMeToken(void);
void migrateOldIni(void);
void cleanUpVersionTwo(void);
const char *installedPath(const char *bareName);

#endif
