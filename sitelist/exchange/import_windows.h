// The import and merge windows of TABLNK.exe: ImportMain ("Import", from the
// frame's "&File" menu) with its run ImportFile and the per-site category
// question AskCategory (with UpdateCategoriesNoMDI behind its "&Insert"), and
// the merge window ImportTABLNK ("Import from Tabulink Database") with its run
// ImportURLProcess.
#ifndef SITELIST_EXCHANGE_IMPORT_WINDOWS_H
#define SITELIST_EXCHANGE_IMPORT_WINDOWS_H

#include <windows.h>

#include "sitelist/exchange/import_run.h"

// Window procedures (WindowProcedure); the argument is unused. Each returns
// the skeleton's completion code: 1 when a run was started, else kWindowClosed
// (or kWindowNotOpened).
int ImportMain(void* unused);
int ImportTABLNK(void* unused);

// The runs, each with the "Processing Records" window modal to caller. They
// tell the user of every failure. Return 1 when the run went to the end, 0
// when it was cancelled, -1 when the file could not be opened (nothing done).
int ImportFile(HWND caller, const ImportSettings* settings);
int ImportURLProcess(HWND caller, const char* fileName);

// AskCategory: "Category Assignment" for one site, modal to caller, with
// best_guess shown. Returns 1 with the selected category in category
// (capacity cap) when the user pressed "&Select" on one; 0 for "&Use Best
// Guess", closing or cancelling.
int AskCategory(HWND caller, const SiteRecord* site, const char* best_guess, char* category, size_t cap);

// UpdateCategoriesNoMDI: the category form for an insert, modal to caller.
// Returns kResponseCompleted with the new category's name in name (capacity
// cap) once it was added, else kResponseCancelled.
int UpdateCategoriesNoMDI(HWND caller, char* name, size_t cap);

#endif
