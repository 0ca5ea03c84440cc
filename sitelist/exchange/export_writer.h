// Tabulink's export: publishes the site file TABLNK as a Web page (three HTML
// layouts, one of them a set of frame pages) or as a plain or comma-delimited
// text file, line by line through export line files (OUT:Line, 512 characters a
// line, CR LF). The sites are taken in stored order; category sections are woven
// with the category texts of CatHTML; the settings are those kept in section
// "Export" of TABLNK.INI.
//
// Portable: the window (export_window.cpp) reads and writes the settings through
// the profile, runs the export a batch of records per timer tick and turns the
// codes and reports below into its messages.
#pragma once

#include "sitelist/records/record_files.h"

#include <stddef.h>
#include <stdint.h>

// ---- Settings -------------------------------------------------------------------------

enum ExportType {
  kExportTable = 0,  // "HTML - Table"
  kExportSimple,     // "HTML - Simple"
  kExportFrame,      // "HTML - Frame"
  kExportAscii,      // "ASCII"
  kExportComma,      // "Comma-Delimited"
  kExportTypeCount
};

// The type's name as the settings keep it; NULL out of range.
const char* ExportTypeName(int type);
// The type named by text (letter case and surrounding spaces not significant);
// kExportTable for anything unknown, as for a missing setting.
int ExportTypeFromName(const char* text);
// True for the three HTML types (their names begin with "H").
bool IsHtmlExportType(int type);

// The settings of section "Export", as texts of the stated widths (capacities
// include the terminating zero).
struct ExportSettings {
  char Name[256];       // "Name": the export file
  char Type[16];        // "Type": an ExportTypeName
  char Categories[21];  // "Categories": "All" or "Selected"
  char Category[31];    // "Category": the category to export when "Selected"
  int SiteInfo;         // "SiteInfo": 1 exports the site notes
  int Ratings;          // "Ratings": 1 exports the ratings
};

extern const char kExportSection[];  // "Export"

// The values a missing setting takes: "TLNKEXP.HTM", "HTML - Table", "All", no
// category, notes and ratings on.
void DefaultExportSettings(ExportSettings* s);

// Reads one setting: copies the value of key into out (capacity includes the
// zero) and returns 1, or returns 0 when the key is missing or blank.
typedef int (*ExportProfileRead)(const char* key, char* out, size_t capacity, void* context);
// Writes one setting; returns 0 when the platform refused.
typedef int (*ExportProfileWrite)(const char* key, const char* value, void* context);

// Reads the six settings; a missing one takes its default, values are cut to
// their widths, and "SiteInfo" and "Ratings" are 1 for any number but 0.
void ReadExportSettings(ExportProfileRead read, void* context, ExportSettings* s);
// Writes the six settings. Returns 1 when every write succeeded.
int WriteExportSettings(const ExportSettings* s, ExportProfileWrite write, void* context);

// True when only the sites of s->Category are exported ("Selected", any letter case).
bool ExportsSelectedCategory(const ExportSettings* s);

// The extension rule of the file entry: a name whose file part (after the last
// "\" or "/") holds no "." gets ".htm" for an HTML type and ".txt" otherwise.
// Returns 0 (name unchanged) when the longer name would not fit capacity.
int AddExportExtension(char* name, size_t capacity, int type);

// ---- The frame layout's companion files --------------------------------------------------

// The stem of the companion files of the frame type: the export file's name up
// to the first "." of its file part (the whole name if there is none), directory
// included; a file part longer than 7 characters loses its last character, a
// shorter one gets "_" (once). D:\WEB\SITES.HTM gives D:\WEB\SITES_ and
// LONGNAME.HTM gives LONGNAM. Returns 0 when it does not fit capacity.
int ExportFrameStem(const char* exportName, char* stem, size_t capacity);
// The name of page file `page` (0: stem + "m.htm"; n: stem + n + ".htm", with
// the stem's last character dropped for n above 9). 0 when it does not fit.
int ExportPageName(const char* stem, int page, char* out, size_t capacity);

// ---- The run -------------------------------------------------------------------------------

// The long date form written in the page heading: "December 8, 2026".
struct ExportDate {
  int year, month, day;
};
// The long form of date into out; 0 when the month is out of range or it does not fit.
int FormatExportDate(const ExportDate& date, char* out, size_t capacity);

enum ExportStatus {
  kExportDone = 0,      // every site was read, the files are written and closed
  kExportMore,          // ExportStep has more records to read
  kExportCreateFailed,  // ExportBegin: the export file could not be created; nothing written
  kExportReadFailed,    // reading TABLNK failed (*error): the run has ended
  kExportBadArgument,   // missing files or settings
  kExportNoMemory,
};

// Problems reported while the run goes on; the window shows each as its message.
enum ExportProblem {
  kExportLineFailed = 1,  // "Error adding to " + file + ": " + error text
  kExportOpenFailed,      // "Error opening " + file + ": " + error text
};
typedef void (*ExportReport)(int problem, const char* file, int error, void* context);

// The product's credit lines at the end of every page and in the banner file.
extern const char kExportCreditH5[];
extern const char kExportCreditH6[];

// The message of a problem ("Error adding to NAME: Access Denied"), always terminated.
void FormatExportProblem(int problem, const char* file, int error, char* out, size_t capacity);

struct ExportRun;

// Starts an export of the sites in `sites` (TABLNK, open) with the category texts
// of `texts` (CatHTML, open), dated `today`: creates the export file anew
// (replacing one of that name) and writes the start of the page. Returns
// kExportMore with *out set, or an ExportStatus with *error (if given) holding
// the store's code (kExportCreateFailed: the file could not be created).
// report (may be NULL) hears of every later problem, on the calling thread.
int ExportBegin(const ExportSettings* settings, KsFile* sites, KsFile* texts, const ExportDate& today,
                ExportReport report, void* context, ExportRun** out, int* error = nullptr);

// Reads and writes up to maxRecords sites. Returns kExportMore, kExportDone (the
// end of the page is written and every file closed) or kExportReadFailed (*error
// holds the code; the files are closed as they stand).
int ExportStep(ExportRun* run, int maxRecords, int* error = nullptr);

// The percentage of the sites read so far (0 to 100).
int ExportPercent(const ExportRun* run);
// Lines that could not be written (each file's first failure was reported).
long ExportLinesLost(const ExportRun* run);
// Sites written so far (those of other categories skipped under "Selected" do not count).
long ExportSitesWritten(const ExportRun* run);

// Ends the run: closes what is still open (a cancelled run leaves its files as
// far as they were written) and frees it. NULL is allowed.
void ExportEnd(ExportRun* run);

// The whole export in one call (ExportBegin, ExportStep to the end, ExportEnd).
int ExportAll(const ExportSettings* settings, KsFile* sites, KsFile* texts, const ExportDate& today,
              ExportReport report, void* context, int* error = nullptr);
