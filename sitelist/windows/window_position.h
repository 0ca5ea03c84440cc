// Restore and save of a window's position and size under its name in
// TABLNK.INI; every Tabulink window calls these when it opens and closes.
#ifndef SITELIST_WINDOWS_WINDOW_POSITION_H
#define SITELIST_WINDOWS_WINDOW_POSITION_H

#include <windows.h>

// Restores the position stored under section and shows the window (maximized
// when "Maximize" is "Yes", normal otherwise). A window without stored values
// keeps its designed position. Fixed-size windows (resizable false) keep their
// designed size.
void RestorePosition(HWND window, const char* section, bool resizable);

// Saves "Maximize" and the window's un-maximized position and size under
// section; writes nothing for a minimized window.
void SavePosition(HWND window, const char* section);

#endif
