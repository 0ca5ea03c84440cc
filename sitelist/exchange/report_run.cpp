// A report run over the record store (see report_run.h).
#include "sitelist/exchange/report_run.h"

#include <cstdio>
#include <cstring>

#include "sitelist/records/record_messages.h"

namespace {

// Copies at most `chars` characters of a padded field, without its trailing
// spaces, into out (which holds chars + 1).
char* PutField(const char* field, size_t width, size_t chars, char* out) {
  size_t n = GetField(field, width < chars ? width : chars, out, chars + 1);
  return out + n + 1;
}

}  // namespace

int ReportPercent(uint32_t read, uint32_t total) {
  if (total == 0) return 100;
  uint64_t p = (uint64_t)read * 100 / total;
  return p > 100 ? 100 : (int)p;
}

bool FormatReportPercent(int percent, char* out, size_t capacity) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  int n = snprintf(out, capacity, "%3d%% Completed", percent);
  return n > 0 && (size_t)n < capacity;
}

void SiteRowCells(const SiteRecord& site, char* buffer, const char* cells[5]) {
  const ReportColumn* c = ReportDefinitionOf(kReportByLocation)->columns;
  char* p = buffer;
  cells[0] = p;
  p = PutField(site.Location, sizeof site.Location, c[0].chars, p);
  cells[1] = p;
  p = PutField(site.Description, sizeof site.Description, c[1].chars, p);
  cells[2] = p;
  p = PutField(site.Category, sizeof site.Category, c[2].chars, p);
  cells[3] = p;
  int rating = site.Rating;
  if (rating > 99) rating = 99;
  if (rating < -99) rating = -99;
  p += snprintf(p, 4, "%2d", rating) + 1;
  cells[4] = p;
  PutField(site.Keyword, sizeof site.Keyword, c[4].chars, p);
}

void CategoryRowCells(const CategoryRecord& category, char* buffer, const char* cells[2]) {
  char* p = buffer;
  cells[0] = p;
  p = PutField(category.Category, sizeof category.Category, 30, p);
  cells[1] = p;
  // The memo keeps its line breaks as '\n'; other control characters print as spaces.
  size_t n = 0;
  for (size_t i = 0; i < sizeof category.Description - 1 && category.Description[i] != '\0'; ++i) {
    unsigned char ch = (unsigned char)category.Description[i];
    if (ch == '\r') continue;
    p[n++] = ch == '\n' ? '\n' : (ch < 0x20 ? ' ' : (char)ch);
  }
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\n')) --n;
  p[n] = '\0';
}

bool ReportBegin(ReportRun* run, int kind) {
  run->definition = ReportDefinitionOf(kind);
  if (run->definition == nullptr) return false;
  const ReportDefinition& d = *run->definition;
  ReportRowsReset(&run->rows, d.ncolumns);
  run->read = 0;
  run->total = 0;
  run->percent = 0;
  run->lastError = 0;
  if (!OpenRecordFile(d.file)) return false;
  run->fileOpen = true;
  run->file = RecordFile(d.file);
  int rc = ks_count(run->file, &run->total);
  if (rc == KS_OK) rc = ks_cursor_open(run->file, d.key, nullptr, &run->cursor);
  if (rc == KS_OK) rc = ks_set(run->cursor, nullptr);
  if (rc != KS_OK) {
    run->lastError = rc;
    RecordPrompt(RM_RECORD_RETRIEVAL, rc, RecordFileDecl(d.file)->label, nullptr);
    ReportEnd(run);
    return false;
  }
  ks_read_ahead(run->file, 1);
  run->percent = 0;
  return true;
}

int ReportStep(ReportRun* run, int maxRecords) {
  char buffer[kReportRowText];
  const char* cells[kMaxReportColumns];
  const bool sites = run->definition->file == RF_TABLNK;
  for (int i = 0; i < maxRecords; ++i) {
    int rc = sites ? ks_next(run->cursor, &run->site) : ks_next(run->cursor, &run->category);
    if (rc == KS_ERR_NO_RECORD) {
      run->percent = 100;
      return kReportDone;
    }
    if (rc != KS_OK) {
      run->lastError = rc;
      RecordPrompt(RM_RECORD_RETRIEVAL, rc, ks_decl(run->file)->label, nullptr);
      return kReportReadFailed;
    }
    if (sites) SiteRowCells(run->site, buffer, cells);
    else CategoryRowCells(run->category, buffer, cells);
    if (!ReportRowsAdd(&run->rows, cells)) {
      run->lastError = KS_ERR_NO_MEMORY;
      RecordPrompt(RM_RECORD_RETRIEVAL, KS_ERR_NO_MEMORY, ks_decl(run->file)->label, nullptr);
      return kReportReadFailed;
    }
    ++run->read;
    run->percent = ReportPercent(run->read, run->total);
  }
  return kReportMore;
}

void ReportEnd(ReportRun* run) {
  if (run->cursor != nullptr) {
    ks_cursor_close(run->cursor);
    run->cursor = nullptr;
  }
  if (run->fileOpen) {
    ks_read_ahead(run->file, 0);
    CloseRecordFile(run->definition->file);
    run->fileOpen = false;
    run->file = nullptr;
  }
}
