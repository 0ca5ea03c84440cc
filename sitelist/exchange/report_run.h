// A report run over the record store, free of any window: opens the report's
// file by the opening rules, counts its records, reads them in the report's
// key order a batch at a time and collects one row per record, so that the
// window can show the percentage between batches.
#ifndef SITELIST_EXCHANGE_REPORT_RUN_H
#define SITELIST_EXCHANGE_REPORT_RUN_H

#include <cstdint>

#include "sitelist/exchange/report_layout.h"
#include "sitelist/records/record_files.h"

enum ReportStatus {
  kReportMore = 0,    // records remain: call ReportStep again
  kReportDone,        // the key was read to its end (the store's code 33)
  kReportReadFailed,  // a read failed ("Record Retrieval Error" was shown); the run ends
};

// One run's state. The record buffers are the run's own: a report never
// touches the program-wide buffers, which other windows' threads write.
struct ReportRun {
  const ReportDefinition* definition = nullptr;
  KsFile* file = nullptr;
  KsCursor* cursor = nullptr;
  uint32_t total = 0;  // records in the file when the run began
  uint32_t read = 0;   // records read so far
  int percent = 0;     // ReportPercent of read and total
  int lastError = 0;   // the store's code of a failed read
  bool fileOpen = false;
  ReportRows rows;
  SiteRecord site;
  CategoryRecord category;
};

// Opens the file of report kind by the opening rules (which tell the user of
// any failure), counts its records and sets a cursor at the start of the
// report's key. Returns false (with everything closed again) when the run
// cannot start.
bool ReportBegin(ReportRun* run, int kind);

// Reads up to maxRecords records and adds a row for each; updates percent.
int ReportStep(ReportRun* run, int maxRecords);

// Closes the cursor and gives the file back (its rows stay).
void ReportEnd(ReportRun* run);

// Records read as a percentage of the count, capped at 100; an empty file
// counts as complete.
int ReportPercent(uint32_t read, uint32_t total);

// The percentage as the progress window shows it: three digits, right
// aligned, then "% Completed" ("  7% Completed"). False when out is too small.
bool FormatReportPercent(int percent, char* out, size_t capacity);

// The cells of a site's row and of a category's row, cut to the columns'
// widths; cell texts go to buffer (at least kReportRowText characters).
const size_t kReportRowText = 1400;
void SiteRowCells(const SiteRecord& site, char* buffer, const char* cells[5]);
void CategoryRowCells(const CategoryRecord& category, char* buffer, const char* cells[2]);

#endif
