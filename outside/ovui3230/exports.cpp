// ovui3230 stand-in: the outside player library TXPLAYER links against, small and
// honest. Its exported calls, as the shell makes them: each is logged with its
// arguments (call_log.h) and handed to the part that does the work: the controls
// drawn in the shell's window (controls.h), playing (playback.h) what the sources
// give (source_reader.h) to the output (audio_output.h), the presets
// (preset_store.h) and the dialogs (dialogs.h).
//
// Test switches (environment): OVUI3230_CONSOLE_RESULT, OVUI3230_SOURCE_RESULT and
// OVUI3230_PLAY_RESULT answer those calls with the given number instead of 0.
#include <winsock2.h>
#include <windows.h>

#include <stdlib.h>

#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/controls.h"
#include "outside/ovui3230/dialogs.h"
#include "outside/ovui3230/library_state.h"
#include "outside/ovui3230/ovui3230.h"
#include "outside/ovui3230/playback.h"
#include "outside/ovui3230/preset_store.h"

HMODULE g_module = nullptr;

namespace {

const int kVolumeDefault = 50;

// Winsock and the window classes, once for the process.
void StartLibrary(void) {
  static int started = 0;
  if (started) return;
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  RegisterControlClasses();
  started = 1;
}

}  // namespace

extern "C" {

int TXGUI_CALL TxguiSetupClient(const ClientSetup *setup, TxguiHandle *client) {
  const WindowCell *cell = setup ? setup->windowCell : nullptr;
  Log("TxguiSetupClient\tsize=%u\tplatform=%s\ttitle=%s\tfullName=%s\tversion=%s\trelease=%s\tcopyright=%s\t"
      "web=%s\tcell=%s\tcallbacks=%d%d%d%d",
      setup ? (unsigned)setup->size : 0u, Text(setup ? setup->platform : nullptr), Text(setup ? setup->title : nullptr),
      Text(setup ? setup->fullName : nullptr), Text(setup ? setup->version : nullptr),
      Text(setup ? setup->release : nullptr), Text(setup ? setup->copyright : nullptr),
      Text(setup ? setup->webAddress : nullptr), cell && IsWindow((HWND)cell->window) ? "window" : "none",
      setup && setup->openInBrowser != nullptr, setup && setup->nowPlaying != nullptr,
      setup && setup->presetFromFile != nullptr, setup && setup->checkSettings != nullptr);
  if (setup == nullptr || client == nullptr || setup->size != sizeof(ClientSetup)) return 1;
  StartLibrary();
  Client *c = static_cast<Client *>(calloc(1, sizeof(Client)));
  if (c == nullptr) return 1;
  c->setup = *setup;
  *client = reinterpret_cast<TxguiHandle>(c);
  return 0;
}

int TXGUI_CALL TxguiNew(TxguiHandle client, TxguiHandle *player) {
  Log("TxguiNew\t%s", client ? "client" : "(null)");
  if (client == nullptr || player == nullptr) return 1;
  Player *p = static_cast<Player *>(calloc(1, sizeof(Player)));
  if (p == nullptr) return 1;
  p->client = reinterpret_cast<Client *>(client);
  p->volume = kVolumeDefault;
  LoadPresets(p);
  *player = reinterpret_cast<TxguiHandle>(p);
  return 0;
}

#define PLAYER(h) Player *p = reinterpret_cast<Player *>(h)

int TXGUI_CALL TxguiSetReportError(TxguiHandle, int on) {
  Log("TxguiSetReportError\t%d", on);
  return 0;
}

int TXGUI_CALL TxguiSetConsoleName(TxguiHandle, const char *name, int unique) {
  Log("TxguiSetConsoleName\t%s\t%d", Text(name), unique);
  return EnvResult("OVUI3230_CONSOLE_RESULT", 0);
}

int TXGUI_CALL TxguiSetControlsFlags(TxguiHandle h, uint32_t flags) {
  PLAYER(h);
  Log("TxguiSetControlsFlags\t0x%X", (unsigned)flags);
  if (p == nullptr) return 1;
  p->flags = flags;
  Layout(p);
  return 0;
}

int TXGUI_CALL TxguiGetPreferedClientWidth(TxguiHandle h) {
  Log("TxguiGetPreferedClientWidth");
  return h ? kControlsWidth : 0;
}

int TXGUI_CALL TxguiGetPreferedClientHeight(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiGetPreferedClientHeight");
  return p ? ControlsHeight(p->flags) : 0;
}

int TXGUI_CALL TxguiResizeWindow(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiResizeWindow");
  if (p) Layout(p);
  return 0;
}

int TXGUI_CALL TxguiSetWindow(TxguiHandle h, WindowCell *cell) {
  PLAYER(h);
  Log("TxguiSetWindow\t%s", cell && IsWindow((HWND)cell->window) ? "window" : "none");
  if (p == nullptr || cell == nullptr || !IsWindow((HWND)cell->window)) return 1;
  p->shell = (HWND)cell->window;
  if (p->panel == nullptr) CreatePanel(p);
  return 0;
}

int TXGUI_CALL TxguiSetPlayMode(TxguiHandle h, int mode) {
  PLAYER(h);
  Log("TxguiSetPlayMode\t%d", mode);
  if (p) p->mode = mode;
  return 0;
}

int TXGUI_CALL TxguiSetSource(TxguiHandle h, const char *source) {
  PLAYER(h);
  Log("TxguiSetSource\t%s", Text(source));
  int forced = EnvResult("OVUI3230_SOURCE_RESULT", 0);
  if (forced != 0) return forced;
  if (p == nullptr || source == nullptr || source[0] == '\0') return 1;
  char why[512] = "";
  if (!SetPlayerSource(p, source, why, sizeof why)) {
    Log("SourceFailed\t%s\t%s", source, why);
    SetStatus(p, why);
    return 2;
  }
  return 0;
}

int TXGUI_CALL TxguiDoPlay(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoPlay");
  int forced = EnvResult("OVUI3230_PLAY_RESULT", 0);
  if (forced != 0) return forced;
  if (p == nullptr || p->itemCount == 0) return 1;
  return StartItem(p, p->current) ? 0 : 1;
}

int TXGUI_CALL TxguiShowAbout(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiShowAbout");
  if (p == nullptr) return 1;
  ShowAboutBox(p);
  return 0;
}

int TXGUI_CALL TxguiEditPreferences(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiEditPreferences");
  if (p == nullptr) return 1;
  int ok = EditPreferences(p);
  Log("PreferencesClosed\t%s", ok ? "ok" : "cancel");
  if (ok && p->client->setup.checkSettings) {
    Log("CheckSettings");
    p->client->setup.checkSettings();
  }
  return 0;
}

int TXGUI_CALL TxguiHideShowStatistics(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHideShowStatistics");
  return p && ToggleStatistics(p) ? 0 : 1;
}

int TXGUI_CALL TxguiIsStatisticsVisible(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiIsStatisticsVisible");
  return p ? p->statisticsShown : 0;
}

int TXGUI_CALL TxguiCanStop(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiCanStop");
  return p ? (int)p->playing : 0;
}

int TXGUI_CALL TxguiHasNextItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHasNextItem");
  return p && p->current + 1 < p->itemCount;
}

int TXGUI_CALL TxguiHasPrevItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHasPrevItem");
  return p && p->current > 0 && p->itemCount > 0;
}

int TXGUI_CALL TxguiDoNextItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoNextItem");
  return p && StartItem(p, p->current + 1) ? 0 : 1;
}

int TXGUI_CALL TxguiDoPrevItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoPrevItem");
  return p && StartItem(p, p->current - 1) ? 0 : 1;
}

int TXGUI_CALL TxguiStatusScanStart(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiStatusScanStart");
  if (p) p->scanning = 1;
  return 0;
}

int TXGUI_CALL TxguiStatusScan(TxguiHandle h, const char *text) {
  PLAYER(h);
  Log("TxguiStatusScan\t%s", Text(text));
  if (p) ShowScanText(p, text ? text : "");
  return 0;
}

int TXGUI_CALL TxguiStatusScanEnd(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiStatusScanEnd");
  if (p == nullptr) return 1;
  p->scanning = 0;
  ShowScanText(p, nullptr);
  return 0;
}

int TXGUI_CALL TxguiSetPreset(TxguiHandle h, intptr_t a, intptr_t b, const char *url, int flags) {
  PLAYER(h);
  Log("TxguiSetPreset\t%ld\t%ld\t%s\t%d", (long)a, (long)b, Text(url), flags);
  return p && SetPresetFromShell(p, a, b, url) ? 0 : 1;
}

int TXGUI_CALL TxguiDestroy(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDestroy\t%s", p ? "player" : "(null)");
  if (p == nullptr) return 1;
  StopPlaying(p);
  DestroyControls(p);
  free(p);
  return 0;
}

int TXGUI_CALL TxguiShutdownClient(TxguiHandle h) {
  Log("TxguiShutdownClient\t%s", h ? "client" : "(null)");
  free(reinterpret_cast<Client *>(h));
  return 0;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    InitCallLog();
    InitPlayback();
  }
  return TRUE;
}
