// The file history of the export and import windows over History: entering a
// name with room made by the oldest entry of its type, listing the names of a
// type newest first, and the day and time encodings of its entries.
#include "sitelist/exchange/file_history.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <chrono>

const char kHistoryExport[] = "Export";
const char kHistoryImport[] = "Import";

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// True when the padded HIS:Type field holds `type` (letter case and trailing
// spaces not significant), as HIS:KeyType compares them.
bool IsType(const char (&field)[10], const char* type) {
  size_t n = strlen(type);
  for (size_t i = 0; i < sizeof field; i++) {
    char want = i < n ? type[i] : ' ';
    if (LowerAscii(field[i]) != LowerAscii(want)) return false;
  }
  return true;
}

// A type usable as HIS:Type: 1 to 10 characters, not only spaces.
bool UsableType(const char* type) {
  if (type == nullptr) return false;
  size_t n = strlen(type);
  if (n == 0 || n > sizeof(HistoryRecord{}.Type)) return false;
  for (size_t i = 0; i < n; i++)
    if (type[i] != ' ') return true;
  return false;
}

// Opens a cursor in HIS:KeyType set before the newest entry of type.
int OpenTypeCursor(KsFile* history, const char* type, KsCursor** cursor) {
  int rc = ks_cursor_open(history, HIS_KeyType, nullptr, cursor);
  if (rc != KS_OK) return rc;
  HistoryRecord start;
  ks_clear(&History_Decl, &start);
  SET_FIELD(start.Type, type);
  // Date and time descend in the key: their highest values come first.
  start.Date = INT32_MAX;
  start.Time = INT32_MAX;
  rc = ks_set(*cursor, &start);
  if (rc != KS_OK) {
    ks_cursor_close(*cursor);
    *cursor = nullptr;
  }
  return rc;
}

// Deletes the oldest entry of type; failures leave the history as it is.
void DeleteOldest(KsFile* history, const char* type) {
  KsCursor* c = nullptr;
  if (OpenTypeCursor(history, type, &c) != KS_OK) return;
  HistoryRecord rec, oldest;
  bool found = false;
  while (ks_next(c, &rec) == KS_OK && IsType(rec.Type, type)) {
    oldest = rec;
    found = true;
  }
  ks_cursor_close(c);
  if (found) ks_delete(history, &oldest);
}

// Days from 1 March of year 0 in the proleptic Gregorian calendar.
long DaysFromCivil(long y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

const long kDayZero = DaysFromCivil(1800, 12, 28);

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

int AddFileHistory(KsFile* history, const char* type, const char* fileName, int32_t date, int32_t time, int* error) {
  if (error) *error = KS_OK;
  if (history == nullptr || !UsableType(type) || fileName == nullptr || fileName[0] == '\0') return kHistoryBadArgument;
  uint32_t count = 0;
  if (ks_count(history, &count) == KS_OK && count >= kHistoryLimit) DeleteOldest(history, type);
  HistoryRecord rec;
  ks_clear(&History_Decl, &rec);
  SET_FIELD(rec.Type, type);
  SET_FIELD(rec.FieldContents, fileName);
  rec.Date = date;
  rec.Time = time;
  int rc = ks_add(history, &rec);
  if (rc == KS_OK) return kHistoryAdded;
  if (rc == KS_ERR_DUPLICATE) return kHistoryDuplicate;
  if (error) *error = rc;
  return kHistoryAddFailed;
}

int AddFileHistoryNow(KsFile* history, const char* type, const char* fileName, int* error) {
  int32_t date, time;
  HistoryNow(&date, &time);
  return AddFileHistory(history, type, fileName, date, time, error);
}

int ListFileHistory(KsFile* history, const char* type, FileHistoryVisit visit, void* context) {
  if (history == nullptr || !UsableType(type) || visit == nullptr) return KS_ERR_BAD_ARGUMENT;
  KsCursor* c = nullptr;
  int rc = OpenTypeCursor(history, type, &c);
  if (rc != KS_OK) return rc;
  HistoryRecord rec;
  char name[sizeof rec.FieldContents + 1];
  while ((rc = ks_next(c, &rec)) == KS_OK && IsType(rec.Type, type)) {
    GET_FIELD(rec.FieldContents, name);
    if (!visit(name, context)) break;
  }
  ks_cursor_close(c);
  return rc == KS_ERR_NO_RECORD || rc == KS_OK ? KS_OK : rc;
}

void FileHistoryMessage(int error, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  snprintf(out, capacity, "Error adding to file history: %s", ks_error_text(error));
}

int32_t HistoryDay(int year, int month, int day) {
  if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return 0;
  return (int32_t)(DaysFromCivil(year, month, day) - kDayZero);
}

int32_t HistoryTime(int hour, int minute, int second, int hundredths) {
  return (int32_t)(((hour * 60L + minute) * 60L + second) * 100L + hundredths + 1);
}

int HistoryDate(int32_t dayNumber, int* year, int* month, int* day) {
  if (dayNumber < HistoryDay(1801, 1, 1) || dayNumber > HistoryDay(9999, 12, 31)) return 0;
  // Civil date from days since 1 March of year 0.
  long z = dayNumber + kDayZero;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  int d = (int)(doy - (153 * mp + 2) / 5 + 1);
  int m = (int)(mp < 10 ? mp + 3 : mp - 9);
  long y = yoe + era * 400 + (m <= 2);
  if (year) *year = (int)y;
  if (month) *month = m;
  if (day) *day = d;
  return 1;
}

void HistoryNow(int32_t* date, int32_t* time) {
  using namespace std::chrono;
  system_clock::time_point now = system_clock::now();
  time_t t = system_clock::to_time_t(now);
  int hundredths = (int)(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000 / 10);
  struct tm local = {};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  if (date) *date = HistoryDay(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  if (time) *time = HistoryTime(local.tm_hour, local.tm_min, local.tm_sec, hundredths);
}
