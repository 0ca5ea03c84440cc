// ovui3230: the interface of the outside player library as TXPLAYER calls it.
//
// The player shell hands the library its window (through the window cell), a
// ClientSetup record of texts and callbacks, and every location or file to play;
// the library draws its controls inside that window, plays, and calls the shell
// back. Every call answers a 32-bit integer; kTxguiDone (60) from
// TxguiSetConsoleName, TxguiSetSource and TxguiDoPlay means the library ended the
// shell's part in the operation.
#ifndef OUTSIDE_OVUI3230_OVUI3230_H
#define OUTSIDE_OVUI3230_OVUI3230_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TXGUI_CALL __cdecl
#if defined(OVUI3230_BUILD)
#define TXGUI_API __declspec(dllexport)
#else
#define TXGUI_API __declspec(dllimport)
#endif
#else
#define TXGUI_CALL
#define TXGUI_API
#endif

enum {
  kTxguiOk = 0,
  kTxguiDone = 60,  // the library took the operation over: the shell returns at once
  kClientSetupSize32 = 62,
  kWindowCellSize32 = 36,
};

// Controls flags of TxguiSetControlsFlags.
enum {
  kControlsWin95 = 0x1100,
  kControlsOther = 0x7100,
  kControlsInfoVolume = 0x200,
  kControlsStatusBar = 0x400,
  kControlsPresets = 0x10000,
  kControlsFullSet = 0x20000,
};

typedef struct TxguiObject* TxguiHandle;

// The shell's window cell: the main window's handle first; the rest is the
// library's own.
struct WindowCell {
  void* window;  // HWND
  unsigned char rest[32];
};

// Callbacks the library calls (addresses in ClientSetup). OpenInBrowser: the shell
// shows the URL in the user's web browser (1) or cannot (0); the first argument is
// ignored. PresetFromFile(a, b): this library asks it with its preset number (1-4)
// and the clip index in the source's list when a local file is to become a preset;
// the shell answers 1 after calling TxguiSetPreset(player, a, b, URL, 0) with the
// location the file was downloaded from, else 0.
typedef int(TXGUI_CALL* OpenInBrowserFn)(void* ignored, const char* url);
typedef int(TXGUI_CALL* NowPlayingFn)(void* ignored, const char* title, const char* url);
typedef int(TXGUI_CALL* PresetFromFileFn)(intptr_t a, intptr_t b);
typedef int(TXGUI_CALL* CheckSettingsFn)(void);

#pragma pack(push, 1)
// What the shell tells the library about itself; 62 bytes packed in the 32-bit
// build. `size` holds sizeof(ClientSetup).
struct ClientSetup {
  uint32_t size;
  OpenInBrowserFn openInBrowser;
  uint32_t reserved8;
  NowPlayingFn nowPlaying;
  WindowCell* windowCell;
  const char* platform;
  const char* title;
  const char* fullName;
  const char* version;
  const char* release;
  const char* copyright;
  const char* webAddress;
  uint32_t reserved48;
  PresetFromFileFn presetFromFile;
  uint16_t reserved56;
  CheckSettingsFn checkSettings;
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ClientSetup) == kClientSetupSize32, "ClientSetup is 62 bytes");
static_assert(offsetof(ClientSetup, openInBrowser) == 4, "ClientSetup layout");
static_assert(offsetof(ClientSetup, reserved8) == 8, "ClientSetup layout");
static_assert(offsetof(ClientSetup, nowPlaying) == 12, "ClientSetup layout");
static_assert(offsetof(ClientSetup, windowCell) == 16, "ClientSetup layout");
static_assert(offsetof(ClientSetup, platform) == 20, "ClientSetup layout");
static_assert(offsetof(ClientSetup, title) == 24, "ClientSetup layout");
static_assert(offsetof(ClientSetup, fullName) == 28, "ClientSetup layout");
static_assert(offsetof(ClientSetup, version) == 32, "ClientSetup layout");
static_assert(offsetof(ClientSetup, release) == 36, "ClientSetup layout");
static_assert(offsetof(ClientSetup, copyright) == 40, "ClientSetup layout");
static_assert(offsetof(ClientSetup, webAddress) == 44, "ClientSetup layout");
static_assert(offsetof(ClientSetup, reserved48) == 48, "ClientSetup layout");
static_assert(offsetof(ClientSetup, presetFromFile) == 52, "ClientSetup layout");
static_assert(offsetof(ClientSetup, reserved56) == 56, "ClientSetup layout");
static_assert(offsetof(ClientSetup, checkSettings) == 58, "ClientSetup layout");
static_assert(sizeof(WindowCell) == kWindowCellSize32, "the window cell is 36 bytes");
#endif

extern "C" {
TXGUI_API int TXGUI_CALL TxguiSetupClient(const ClientSetup* setup, TxguiHandle* client);
TXGUI_API int TXGUI_CALL TxguiNew(TxguiHandle client, TxguiHandle* player);
TXGUI_API int TXGUI_CALL TxguiSetReportError(TxguiHandle player, int on);
TXGUI_API int TXGUI_CALL TxguiSetConsoleName(TxguiHandle player, const char* name, int unique);
TXGUI_API int TXGUI_CALL TxguiSetControlsFlags(TxguiHandle player, uint32_t flags);
TXGUI_API int TXGUI_CALL TxguiGetPreferedClientWidth(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiGetPreferedClientHeight(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiResizeWindow(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiSetWindow(TxguiHandle player, WindowCell* cell);
TXGUI_API int TXGUI_CALL TxguiSetPlayMode(TxguiHandle player, int mode);
TXGUI_API int TXGUI_CALL TxguiSetSource(TxguiHandle player, const char* source);
TXGUI_API int TXGUI_CALL TxguiDoPlay(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiShowAbout(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiEditPreferences(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiHideShowStatistics(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiIsStatisticsVisible(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiCanStop(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiHasNextItem(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiHasPrevItem(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiDoNextItem(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiDoPrevItem(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiStatusScanStart(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiStatusScan(TxguiHandle player, const char* text);
TXGUI_API int TXGUI_CALL TxguiStatusScanEnd(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiSetPreset(TxguiHandle player, intptr_t a, intptr_t b, const char* url, int flags);
TXGUI_API int TXGUI_CALL TxguiDestroy(TxguiHandle player);
TXGUI_API int TXGUI_CALL TxguiShutdownClient(TxguiHandle client);
}

#endif
