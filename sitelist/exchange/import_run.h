// The runs behind the import windows, free of any window: ImportFile's run
// (a document read line by line, its sites added to TABLNK with a category by
// the chosen method) and ImportURLProcess's run (the sites of another
// directory's site file merged into TABLNK). Both work a batch per step, so a
// window can show progress between steps and stop when the user cancels.
//
// The runs keep every record they touch in their own state, never in the
// program-wide record buffers, so they may run while other windows work on
// their records. They use the shared open files TABLNK and Categories, which
// the caller opens (OpenRecordFile) before the run and closes after it.
#pragma once

#include "sitelist/exchange/import_parsers.h"
#include "sitelist/exchange/import_text.h"
#include "sitelist/records/record_files.h"

#include <stddef.h>

// The import settings (section "Import" of TABLNK.INI). Only the first letter
// of the type ('H', 'C', 'A') and of the method ('S', 'M', 'A') counts.
struct ImportSettings {
  char name[256];     // the file to import
  char type[21];      // "HTML Document", "Comma-delimited file", "Any ASCII text file"
  char method[21];    // "Selected Category", "Make Best Guess", "Ask for Each URL"
  char category[31];  // the category to import (method S)
};

extern const char* const kImportTypes[3];    // the three type texts, in that order
extern const char* const kImportMethods[3];  // the three method texts
extern const char kImportDefaultType[];      // "HTML Document"
extern const char kImportDefaultMethod[];    // "Make Best Guess"

// What a run asks of its window.
struct ImportUi {
  void* context;
  // AskCategory for one site: best_guess is the heading. Returns 1 when the
  // user selected a category (its name in category, capacity cap), else 0.
  // NULL: every site gets "New", as if "&Use Best Guess" were pressed.
  int (*ask_category)(void* context, const SiteRecord* site, const char* best_guess, char* category, size_t cap);
  // A site could not be added for another reason than a duplicate location:
  // error is the store's code (the window shows its text + " adding location").
  // NULL: nothing shown. The run goes on with the next site either way.
  void (*add_failed)(void* context, int error);
};

struct ImportCounts {
  long lines;             // lines read
  long added;             // sites added
  long duplicates;        // sites skipped: location already in TABLNK
  long failed;            // sites that could not be added for another reason
  long notes;             // "<DD>" notes written to sites
  long categories_added;  // categories added (methods M and A)
};

struct ImportRun {
  ImportSettings settings;
  ImportUi ui;
  char type;    // 'H', 'C' or 'A'
  char method;  // 'S', 'M' or 'A'
  ImportLineReader reader;
  ImportParser parser;
  SiteRecord site;          // the site being added
  SiteRecord noted;         // the last-added site, re-read for its note
  CategoryRecord category;  // the category record of methods M and A
  char category_name[31];   // the name the category record was last set to
  KsPosition last_added;    // valid while parser.has_last_added
  ImportCounts counts;
  int done;        // the whole file was read
  int read_error;  // errno of a failed read (the run ended there)
};

// Starts a run over settings->name: opens the file (the record files must be
// open already). Returns 0, or the errno of the failed open (the run is then
// not started and needs no ImportClose).
int ImportOpen(ImportRun* run, const ImportSettings* settings, const ImportUi* ui);
// Reads and imports up to max_lines lines. Returns 1 while there is more to
// read, 0 at the end of the file (or after a read error: run->read_error).
int ImportStep(ImportRun* run, int max_lines);
// Percentage of the file read, 0 to 100.
int ImportPercent(const ImportRun* run);
void ImportClose(ImportRun* run);

// Whole value of a setting by its first letter, for the INI file ("H" gives
// "HTML Document"); the default for a blank or unknown text.
const char* ImportTypeText(const char* value);
const char* ImportMethodText(const char* value);

// ---- The merge ---------------------------------------------------------------------------

// 1 when name may be merged from: it holds "URL_L.KSF" (compared in upper case).
int MergeNameAccepted(const char* name);

struct MergeRun {
  ImportUi ui;
  KsFile* source;         // the other directory's site file (prefix ILOC)
  KsCursor* cursor;       // its records in physical order
  uint64_t source_bytes;  // its records' bytes, for the percentage
  SiteRecord from;        // the source's record
  SiteRecord site;        // the site being added
  ImportCounts counts;
  int done;
  int read_error;  // store code of a failed read
};

// Opens the merge source `name` (never creating it; an interrupted transaction
// is recovered). Returns KS_OK, or the store's code (the run is then not
// started and needs no MergeClose).
int MergeOpen(MergeRun* run, const char* name, const ImportUi* ui);
// Merges up to max_records sites; 1 while there is more, 0 at the end.
int MergeStep(MergeRun* run, int max_records);
int MergePercent(const MergeRun* run);
void MergeClose(MergeRun* run);
