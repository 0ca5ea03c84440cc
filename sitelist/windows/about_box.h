// About: the logo, "Version 1.5" and "&OK", modal over the frame.
#ifndef SITELIST_WINDOWS_ABOUT_BOX_H
#define SITELIST_WINDOWS_ABOUT_BOX_H

#include <windows.h>

// Runs About modally over owner; its position is kept under "About".
void About(HWND owner);

#endif
