// The file history of the export and import windows: the names of recently
// exported and imported files, kept in History (prefix HIS) under their type,
// newest first within a type (HIS:KeyType). The windows offer them in their
// drop lists and enter every name they run with.
//
// History dates are day numbers counted from 28 December 1800 (so 1 January
// 1801 is day 4), and times are hundredths of a second since midnight plus one
// (so midnight is 1); both order correctly and convert back to dates and times.
#pragma once

#include "sitelist/records/record_files.h"

#include <stddef.h>
#include <stdint.h>

// Types of entries.
extern const char kHistoryExport[];  // "Export"
extern const char kHistoryImport[];  // "Import"

// When History holds this many records or more (of every type together), an
// entry makes room by deleting the oldest one of its own type first.
enum { kHistoryLimit = 10 };

enum FileHistoryStatus {
  kHistoryAdded = 0,        // the entry was added
  kHistoryDuplicate = 1,    // same type, file, day and time already there: not added, not an error
  kHistoryAddFailed = 2,    // the add failed: *error holds the store's code; tell the user
  kHistoryBadArgument = 3,  // no file, an empty or unusable type, or an empty name: nothing done
};

// Enters fileName under type in the open History file `history`, made at
// (date, time):
//   1. when History holds kHistoryLimit records or more, the oldest entry of this
//      type (the last one of the type in HIS:KeyType order) is deleted; should that
//      fail (another window deleted it meanwhile, say) the add goes on;
//   2. a record with the type, the name (cut to 255 characters), date and time is
//      added.
// Returns a FileHistoryStatus; for kHistoryAddFailed *error (if given) receives
// the store's code (never 40: a duplicate is kHistoryDuplicate). Works on a
// record buffer of its own, so several windows may call it at once.
int AddFileHistory(KsFile* history, const char* type, const char* fileName, int32_t date, int32_t time,
                   int* error = nullptr);

// AddFileHistory at the present local date and time.
int AddFileHistoryNow(KsFile* history, const char* type, const char* fileName, int* error = nullptr);

// Calls visit(name, context) for each entry of type, newest first, with the
// name's trailing spaces removed. Stops early when visit returns 0. Returns
// KS_OK, or the store's code when reading failed (the entries visited so far
// stay visited).
typedef int (*FileHistoryVisit)(const char* name, void* context);
int ListFileHistory(KsFile* history, const char* type, FileHistoryVisit visit, void* context);

// The text the windows show for kHistoryAddFailed: "Error adding to file
// history: " and the store's text of `error`. Always terminated.
void FileHistoryMessage(int error, char* out, size_t capacity);

// The encodings of HIS:Date and HIS:Time. HistoryDay is 0 for a date before
// 1801 or with a month or day out of range.
int32_t HistoryDay(int year, int month, int day);
int32_t HistoryTime(int hour, int minute, int second, int hundredths);
// The date of a day number (1801 onwards); 0 when out of range.
int HistoryDate(int32_t dayNumber, int* year, int* month, int* day);
// The present local date and time in those encodings.
void HistoryNow(int32_t* date, int32_t* time);
