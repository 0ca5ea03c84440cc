// The controls the library draws in the shell's window: a panel child window with
// Play and Stop, a position line, the clip's title and a volume bar (controls flag
// 0x200), the presets with Scan and Set (0x10000) and a status line (0x400), laid
// out for the client size the library asks for; and the statistics window.
#ifndef OUTSIDE_OVUI3230_CONTROLS_H
#define OUTSIDE_OVUI3230_CONTROLS_H

#include <stdint.h>

#include "outside/ovui3230/library_state.h"

enum {
  IDC_PLAY = 1001,
  IDC_STOP = 1002,
  IDC_POSITION = 1003,
  IDC_INFO = 1004,
  IDC_VOLUME = 1005,
  IDC_STATUS = 1006,
  IDC_VOLUME_LABEL = 1007,
  IDC_PRESET_FIRST = 1010,  // kPresetCount presets
  IDC_SCAN = 1014,
  IDC_SET = 1015,
};

static_assert(IDC_PRESET_FIRST + kPresetCount == IDC_SCAN, "the presets come before Scan");

// The client width the controls need.
extern const int kControlsWidth;
// The client height the controls need for these controls flags.
int ControlsHeight(uint32_t flags);

// Once, when the first client is set up.
void RegisterControlClasses(void);
// Creates the panel in the player's shell window. 0 when it cannot.
int CreatePanel(Player *p);
// Fits the panel to the shell's client area and shows the controls the flags ask for.
void Layout(Player *p);
// The player's status (shown unless a menu's text is shown instead).
void SetStatus(Player *p, const char *text);
// A menu's status text in the status line, or (null) the player's own status again.
void ShowScanText(Player *p, const char *text);
// The presets' button texts after a change.
void ShowPresetLabels(Player *p);
// Shows or hides the statistics window. 0 when it cannot be created.
int ToggleStatistics(Player *p);
// Destroys the player's windows.
void DestroyControls(Player *p);

#endif
