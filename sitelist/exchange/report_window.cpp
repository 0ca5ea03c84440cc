// The six report procedures of the "&Reports" menu: each reads its file in its
// key's order under the "Generating Report" progress window, in batches of 25
// records, and hands the rows to ReportPreview; "Cancel" stops the report
// without a preview.
#include <windows.h>

#include "sitelist/exchange/report_run.h"
#include "sitelist/exchange/report_windows.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"

namespace {

const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 10;
const int kRecordsPerBatch = 25;
// A timer tick works batches of 25 records until this much time has passed,
// so that a large file does not take a timer period per 25 records while the
// window still answers between ticks.
const DWORD kTickBudgetMs = 40;

struct Progress {
  ReportRun run;
  int shown;
  bool finished;
  int status;  // ReportStatus; kReportMore when cancelled
};

void ShowPercent(HWND dialog, Progress* g) {
  if (g->run.percent == g->shown) return;
  g->shown = g->run.percent;
  char text[32];
  FormatReportPercent(g->shown, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_REPORT_PERCENT, text);
  UpdateWindow(dialog);
}

void Finish(HWND dialog, Progress* g, int status) {
  KillTimer(dialog, kTickTimer);
  g->status = status;
  g->finished = true;
  DestroyWindow(dialog);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  Progress* g = reinterpret_cast<Progress*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      g = reinterpret_cast<Progress*>(lParam);
      char title[64];
      LoadText(IDS_REPORT_PROGRESS_TITLE, title, sizeof title);
      SetWindowTextA(dialog, title);
      SetDlgItemTextA(dialog, IDC_REPORT_TEXT, g->run.definition->title);
      char text[32];
      FormatReportPercent(0, text, sizeof text);
      SetDlgItemTextA(dialog, IDC_REPORT_PERCENT, text);
      g->shown = 0;
      SetTimer(dialog, kTickTimer, kTickMs, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTickTimer && g != nullptr && !g->finished) {
        DWORD start = GetTickCount();
        int status;
        do status = ReportStep(&g->run, kRecordsPerBatch);
        while (status == kReportMore && GetTickCount() - start < kTickBudgetMs);
        ShowPercent(dialog, g);
        if (status != kReportMore) Finish(dialog, g, status);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && g != nullptr && !g->finished) Finish(dialog, g, kReportMore);
      return TRUE;
    case WM_CLOSE:
      if (g != nullptr && !g->finished) Finish(dialog, g, kReportMore);
      return TRUE;
    case WM_DESTROY:
      DetachProcedureWindow(dialog);
      return FALSE;
  }
  return FALSE;
}

int RunReport(int kind) {
  Progress* g = new Progress();
  g->status = kReportMore;
  int result = 0;
  if (ReportBegin(&g->run, kind)) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_REPORT_PROGRESS),
                                     ProcedureFrame(), ProgressProc, (LPARAM)g);
    if (dialog != nullptr) {
      AttachProcedureWindow(dialog);
      RunWindowLoop(dialog);
    }
    ReportEnd(&g->run);
    if (g->status == kReportDone) result = ReportPreview(*g->run.definition, g->run.rows);
  }
  EndProgramIfRequested();
  delete g;
  return result;
}

}  // namespace

int PrintURL_K_Description(void*) { return RunReport(kReportByDescription); }
int PrintURL_K_Location(void*) { return RunReport(kReportByLocation); }
int PrintURL_K_Category(void*) { return RunReport(kReportByCategory); }
int PrintURL_K_Rating(void*) { return RunReport(kReportByRating); }
int PrintURL_K_Keyword(void*) { return RunReport(kReportByKeyword); }
int PrintCAT_K_Category(void*) { return RunReport(kReportCategories); }
