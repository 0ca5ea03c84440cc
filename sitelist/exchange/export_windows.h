// The export's window procedures in TABLNK.exe: the "Export" window started
// from the frame's "&File" menu, the export run with its progress window, and
// the viewer of "Export.Txt".
#ifndef SITELIST_EXCHANGE_EXPORT_WINDOWS_H
#define SITELIST_EXCHANGE_EXPORT_WINDOWS_H

#include <windows.h>

#include "sitelist/exchange/export_writer.h"

// ExportMain: the "Export" window (an MDI child of the frame, on the calling
// thread). Reads its settings from section "Export" of TABLNK.INI; "&OK" enters
// the file in the history, writes the settings and runs ExportFile. Returns the
// window's completion code.
int ExportMain(void* unused);

// What ExportFile answers.
enum ExportFileResult {
  kExportFileCompleted = 1,  // every site was read and the files written ("Process Completed")
  kExportFileCancelled,      // the user chose "Cancel"
  kExportFileNotCreated,     // the export file could not be created (the user was told)
  kExportFileFailed,         // reading the sites failed, or the run could not start (the user was told)
};

// ExportFile: exports the site file with the settings, showing "Processing
// Records" modal to caller (a window of the calling thread), a batch of sites
// per tick. The record files TABLNK and CatHTML must be open (OpenRecordFile).
// Problems while it runs are shown as they come; the run goes on.
int ExportFile(HWND caller, const ExportSettings* settings);

// ExportHelp: the text viewer of "Export.Txt", titled "Using Tabulink"
// (text_viewer_window.cpp, declared with the other viewers in report_windows.h).
int ExportHelp(void* unused);

#endif
