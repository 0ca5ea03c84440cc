// Main: Tabulink's MDI frame "Tabulink", which starts every other window.
#ifndef SITELIST_WINDOWS_FRAME_WINDOW_H
#define SITELIST_WINDOWS_FRAME_WINDOW_H

#include <windows.h>

// Creates the frame (hidden); null on failure.
HWND CreateMainFrame(HINSTANCE instance);

// Runs the frame's message loop until the program ends; returns the exit code
// (program_end.h: kExitNormal, or the code of a requested end; kExitNoFrame
// when the loop failed).
int RunMainLoop(HWND frame);

#endif
