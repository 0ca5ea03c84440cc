// Control scaling for windows whose controls grow and shrink with them
// (BrowseTABLNK, UpdateTABLNK): the controls' places as fractions of the
// client area, kept in TABLNK.INI as "CtrlSize1".."CtrlSizeN" under the
// window's section, valid while "WindowScaled" holds the window's design stamp.
#ifndef SITELIST_WINDOWS_CONTROL_SCALING_H
#define SITELIST_WINDOWS_CONTROL_SCALING_H

#include <windows.h>

#include "sitelist/windows/profile_rules.h"

struct ScaledLayout {
  HWND window;
  int count;
  HWND controls[kMaxScaledControls];
  ControlFraction fractions[kMaxScaledControls];
};

// Opens the layout of window, whose controls 1..count are controls[0..count-1]
// placed as designed. When the stored stamp equals designStamp, restores the
// window position and places the controls from the stored "CtrlSize" entries
// (an unreadable entry keeps that control's designed fraction). Otherwise stores
// the designed fractions and then the stamp, and restores the window position.
// Returns false (doing nothing) when count is outside 1..kMaxScaledControls.
bool OpenScaledLayout(ScaledLayout* layout, HWND window, const char* section, const char* designStamp,
                      const HWND* controls, int count);

// As OpenScaledLayout for controls that live in window (a dialog hosted in
// an MDI child) while positioned (the host) is the window whose position is
// restored under section.
bool OpenScaledLayoutIn(ScaledLayout* layout, HWND positioned, HWND window, const char* section,
                        const char* designStamp, const HWND* controls, int count);

// Places every control again from its fractions; call on WM_SIZE.
void PlaceScaledControls(const ScaledLayout* layout);

#endif
