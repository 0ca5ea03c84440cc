// The PlayerLibrary table bound to ovui3230, which TXPLAYER links against.
#include "player/player_library.h"

namespace {

const PlayerLibrary kLinked = {
    TxguiSetupClient,
    TxguiNew,
    TxguiSetReportError,
    TxguiSetConsoleName,
    TxguiSetControlsFlags,
    TxguiGetPreferedClientWidth,
    TxguiGetPreferedClientHeight,
    TxguiResizeWindow,
    TxguiSetWindow,
    TxguiSetPlayMode,
    TxguiSetSource,
    TxguiDoPlay,
    TxguiShowAbout,
    TxguiEditPreferences,
    TxguiHideShowStatistics,
    TxguiIsStatisticsVisible,
    TxguiCanStop,
    TxguiHasNextItem,
    TxguiHasPrevItem,
    TxguiDoNextItem,
    TxguiDoPrevItem,
    TxguiStatusScanStart,
    TxguiStatusScan,
    TxguiStatusScanEnd,
    TxguiSetPreset,
    TxguiDestroy,
    TxguiShutdownClient,
};

}  // namespace

const PlayerLibrary *linkedPlayerLibrary(void) { return &kLinked; }
