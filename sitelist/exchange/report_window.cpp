// The six report procedures of the "&Reports" menu: each reads its file in its
// key's order under the "Generating Report" progress window, in batches of 25
// records, and hands the rows to ReportPreview; "Cancel" stops the report
// without a preview.
#include <windows.h>

#include "sitelist/exchange/report_run.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"

namespace {

const int kRecordsPerBatch = 25;
// A timer tick works batches of 25 records until this much time has passed,
// so that a large file does not take a timer period per 25 records while the
// window still answers between ticks.
const DWORD kTickBudgetMs = 40;

int ReportTick(ProgressRun* progress) {
  ReportRun* run = static_cast<ReportRun*>(progress->work);
  DWORD start = GetTickCount();
  int status;
  do status = ReportStep(run, kRecordsPerBatch);
  while (status == kReportMore && GetTickCount() - start < kTickBudgetMs);
  progress->percent = run->percent;
  if (status == kReportDone) return kStepDone;
  return status == kReportMore ? kStepMore : kStepFailed;
}

int RunReport(int kind) {
  ReportRun* run = new ReportRun();
  int result = 0;
  if (ReportBegin(run, kind)) {
    char title[64];
    LoadText(IDS_REPORT_PROGRESS_TITLE, title, sizeof title);
    ProgressDesign design = {title, run->definition->title, FormatReportPercent, nullptr, true, 0};
    int progress = RunProgress(nullptr, &design, ReportTick, run);
    ReportEnd(run);
    if (progress == kProgressCompleted) result = ReportPreview(*run->definition, run->rows);
  } else {
    RequestEndIfDiskError();
  }
  delete run;
  return result;
}

}  // namespace

int PrintURL_K_Description(void*) { return RunReport(kReportByDescription); }
int PrintURL_K_Location(void*) { return RunReport(kReportByLocation); }
int PrintURL_K_Category(void*) { return RunReport(kReportByCategory); }
int PrintURL_K_Rating(void*) { return RunReport(kReportByRating); }
int PrintURL_K_Keyword(void*) { return RunReport(kReportByKeyword); }
int PrintCAT_K_Category(void*) { return RunReport(kReportCategories); }
