// The player library as the shell reaches it: a table of the ovui3230 calls, bound
// to the linked library in player_library_binding.cpp. Portable: the open rules in
// shell_open.cpp call through it.
#ifndef PLAYER_PLAYER_LIBRARY_H
#define PLAYER_PLAYER_LIBRARY_H

#include <stdint.h>

#include "outside/ovui3230/ovui3230.h"

struct PlayerLibrary {
  int (*setupClient)(const ClientSetup *setup, TxguiHandle *client);
  int (*create)(TxguiHandle client, TxguiHandle *player);  // TxguiNew
  int (*setReportError)(TxguiHandle player, int on);
  int (*setConsoleName)(TxguiHandle player, const char *name, int unique);
  int (*setControlsFlags)(TxguiHandle player, uint32_t flags);
  int (*preferredClientWidth)(TxguiHandle player);
  int (*preferredClientHeight)(TxguiHandle player);
  int (*resizeWindow)(TxguiHandle player);
  int (*setWindow)(TxguiHandle player, WindowCell *cell);
  int (*setPlayMode)(TxguiHandle player, int mode);
  int (*setSource)(TxguiHandle player, const char *source);
  int (*doPlay)(TxguiHandle player);
  int (*showAbout)(TxguiHandle player);
  int (*editPreferences)(TxguiHandle player);
  int (*hideShowStatistics)(TxguiHandle player);
  int (*isStatisticsVisible)(TxguiHandle player);
  int (*canStop)(TxguiHandle player);
  int (*hasNextItem)(TxguiHandle player);
  int (*hasPrevItem)(TxguiHandle player);
  int (*doNextItem)(TxguiHandle player);
  int (*doPrevItem)(TxguiHandle player);
  int (*statusScanStart)(TxguiHandle player);
  int (*statusScan)(TxguiHandle player, const char *text);
  int (*statusScanEnd)(TxguiHandle player);
  int (*setPreset)(TxguiHandle player, intptr_t a, intptr_t b, const char *url, int flags);
  int (*destroy)(TxguiHandle player);
  int (*shutdownClient)(TxguiHandle client);
};

#if defined(_WIN32)
// The table bound to the linked ovui3230.
const PlayerLibrary *linkedPlayerLibrary(void);
#endif

#endif
