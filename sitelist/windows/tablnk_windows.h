// The window procedures of TABLNK.exe that start-up and the frame call, and the
// helpers they share (texts from the string table, the "Stop" box).
#ifndef SITELIST_WINDOWS_TABLNK_WINDOWS_H
#define SITELIST_WINDOWS_TABLNK_WINDOWS_H

#include <windows.h>

#include <cstddef>

// Loads string-table text id into out (always terminated; "" when missing).
void LoadText(UINT id, char* out, size_t capacity);

// Main: creates the MDI frame "Tabulink" (hidden); null on failure.
HWND CreateMainFrame(HINSTANCE instance);

// Runs the frame's message loop until the program ends; returns the exit code.
int RunMainLoop(HWND frame);

// Splash: the logo window, run on its own thread by StartProcedure.
int Splash(void* unused);

// Closes the splash window if it is still open (the first menu choice does).
void CloseSplash();

// A device context for the printer chosen under "&Print Setup ..." with the
// settings chosen there, or for the default printer when none was chosen;
// null when there is no printer. Any thread may call it. name (may be null)
// receives the printer's name. The caller deletes the context.
HDC CreateReportPrinterDC(char* name, size_t capacity);

// About: the modal About box over owner.
void About(HWND owner);

// The platform stop box titled "Stop" with Abort and Ignore; returns IDABORT
// or IDIGNORE.
int StopBox(HWND owner, const char* text);

// Opens record file id (RecordFileId) for a window by the opening rules, which
// tell the user of any failure; ends the program when the user confirmed
// "File Access Error". Returns true when the file is open (one use counted;
// CloseRecordFile gives it back).
bool OpenFileForWindow(int id);

// Ends the program when the opening rules asked for it ("Disk Error").
void EndProgramIfRequested();

// The start-up upgrade of earlier-version files (run before the frame opens).
// Returns false when an earlier-version file is there but could not be
// upgraded (the user was told), so that the next start checks again.
bool UpgradeEarlierFiles();

#endif
