// Main: Tabulink's MDI frame "Tabulink", which starts every other window.
#ifndef SITELIST_WINDOWS_FRAME_WINDOW_H
#define SITELIST_WINDOWS_FRAME_WINDOW_H

#include <windows.h>

#include <cstddef>

// Creates the frame (hidden); null on failure.
HWND CreateMainFrame(HINSTANCE instance);

// Runs the frame's message loop until the program ends; returns the exit code
// (program_end.h: kExitNormal, or the code of a requested end; kExitNoFrame
// when the loop failed).
int RunMainLoop(HWND frame);

// A device context for the printer chosen under "&Print Setup ..." with the
// settings chosen there, or for the default printer when none was chosen (the
// first printer when there is no default); null when there is no printer. Any
// thread may call it. name (may be null) receives the printer's name. The
// caller deletes the context.
HDC CreateReportPrinterDC(char* name, size_t capacity);

#endif
