// TXPLAYER's shell state (one instance per process) and the calls between the main
// window and the rest of the program: texts from the language libraries, the
// platform facts, forwarding to a running copy, and the browser link, lists and
// preferences (shell_link.h).
#ifndef PLAYER_PLAYER_SHELL_H
#define PLAYER_PLAYER_SHELL_H

#include <windows.h>
#include <ddeml.h>

#include "outside/ovui3230/ovui3230.h"
#include "player/player_library.h"
#include "player/player_rules.h"
#include "player/shell_open.h"

class ProductPrefs;

extern const char kPlayerClass[];  // "Orvane Labs TXPlayer"

enum {
  kTitleSize = 81,
  kCaptionFormatSize = 81,
  kScratchSize = 257,
  kPathSize = 261,
  kUrlScratchSize = 1280,
  kMessageSize = 257,
  kListTextSize = 1601,
  kFullNameSize = 128,
};

// Buffers allocated at start-up (their sizes include the zero).
struct ShellBuffers {
  char title[kTitleSize];
  char captionFormat[kCaptionFormatSize];
  char scratch[kScratchSize];
  char path[kPathSize];
  char path2[kPathSize];
  char urlScratch[kUrlScratchSize];
  char message[kMessageSize];
  char listText[kListTextSize];
  char fullName[kFullNameSize];
  char platform[kPlatformStringSize];
  char tempClipList[kPathSize];  // the last temporary clip list of dropped files
};

struct PlayerShell {
  HINSTANCE instance;
  HWND window;
  HMENU menu;  // the language's MAINMENU, with the inserted items
  HACCEL accelerators;
  WindowCell *cell;
  ClientSetup setup;
  TxguiHandle client;
  TxguiHandle player;
  OpenState open;  // library table and handle, location URL, last file, flags
  ShellBuffers *buf;
  HBRUSH dialogBrush;
  ProductPrefs *prefs;
  int platform;  // platform code (kPlatformWin95 ...)
  ViewFlags view;
  int left, top;     // window position, kept up to date on every move
  int havePosition;  // x and y were found in the preferences
  int filterIndex;   // Open File filter last chosen
  int scanning;      // TxguiStatusScanStart was called for the open menu
  int visited;       // the first-run visit was made (HurledURL)
  int maxClipCount;
};

// The one shell of the process; the library's callbacks carry no context.
extern PlayerShell g_shell;

// Texts, menus and dialog templates of the current language (player_texts.cpp):
// the language libraries first, then the program itself.
int ShellLoadString(UINT id, char *out, int room);
HMENU ShellLoadMenu(const char *name);
// The dialog template of that number, or null; valid until the language changes.
const DLGTEMPLATE *ShellDialogTemplate(UINT id, HINSTANCE *from);
// 1 when the language identifier differs from the one of the loaded texts.
int ShellLanguageChanged(void);
void ShellUnloadLanguages(void);

// The platform string and code (platform_info.cpp).
void ShellPlatformString(HINSTANCE instance, char *out, size_t room, int *platform);

// Forwards a text to the window of a running copy (forwarding.cpp): a global atom
// with WM_USER up to 255 characters; longer texts as WM_COPYDATA. Returns 0 when the
// text could not be handed over (it is then too long or the atom failed).
int ForwardText(HWND target, const char *text);
// The tag of a forwarded open request carried by WM_COPYDATA.
enum { kForwardCopyTag = 0x4C505854 };  // "TXPL"

// The window (main_window.cpp).
void ShellApplyControlsFlags(PlayerShell *s);
void ShellSetCaption(PlayerShell *s, const char *clipTitle);
// Rebuilds the language's menu, title, caption format and their inserted items.
void ShellBuildLanguageParts(PlayerShell *s);
// Shows a message box with the title, busy while it is up; returns its answer.
int ShellMessage(PlayerShell *s, UINT textId, UINT type);

extern "C" {
__declspec(dllexport) LRESULT CALLBACK MainWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
__declspec(dllexport) INT_PTR CALLBACK OpenURLDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// The DDE client's callback: every transaction is answered with no data.
__declspec(dllexport) HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
__declspec(dllexport) BOOL CALLBACK EnumWindowsProc(HWND window, LPARAM lParam);
}

// What EnumWindowsProc looks for: a window whose owner runs the program at `path`.
struct OwnerSearch {
  const char *path;
  int found;
};

#endif
