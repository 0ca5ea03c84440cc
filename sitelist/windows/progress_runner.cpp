// The progress runner (see progress_runner.h): the IDD_PROGRESS window, its
// timer and the calls of the caller's step.
#include "sitelist/windows/progress_runner.h"

#include <cstdio>

#include "sitelist/records/record_messages.h"

#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/profile_rules.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const UINT_PTR kTickTimer = 1;
const UINT kDefaultTickMs = 10;  // a hundredth of a second
const int kButtonBandDu = 22;    // IDD_PROGRESS: the end line and button row, in dialog units

struct ProgressState {
  const ProgressDesign* design;
  ProgressStep step;
  ProgressRun run;
  int shownPercent;
  int result;
  bool inStep;       // no tick, and no end, while the step runs (it may open modal windows)
  bool cancelAsked;  // "Cancel" while the step ran: the run ends after it
  bool holding;      // the end state waits for "OK"
  bool ended;
  int buttonBand;  // pixels the button row takes below the percentage
};

ProgressState* StateOf(HWND dialog) { return reinterpret_cast<ProgressState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

UINT TickMs(const ProgressState* s) { return s->design->tickMs != 0 ? s->design->tickMs : kDefaultTickMs; }

void ShowPercent(HWND dialog, ProgressState* s) {
  int percent = s->run.percent < 0 ? 0 : (s->run.percent > 100 ? 100 : s->run.percent);
  if (percent == s->shownPercent) return;
  s->shownPercent = percent;
  char text[kProgressTextSize];
  ProgressFormat format = s->design->format != nullptr ? s->design->format : FormatPercent;
  if (!format(percent, text, sizeof text)) text[0] = '\0';
  text[sizeof text - 1] = '\0';
  SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, text);
}

// Shows or hides the row of the end line and the button, growing or shrinking
// the window by the row's height.
void ShowButtonRow(HWND dialog, ProgressState* s, bool show) {
  HWND button = GetDlgItem(dialog, IDCANCEL);
  bool shown = (GetWindowLongPtrA(button, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown == show) return;
  ShowWindow(button, show ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dialog, IDC_PROGRESS_LINE), show ? SW_SHOW : SW_HIDE);
  RECT r;
  GetWindowRect(dialog, &r);
  int grow = show ? s->buttonBand : -s->buttonBand;
  SetWindowPos(dialog, nullptr, r.left, r.top - grow / 2, r.right - r.left, r.bottom - r.top + grow,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void End(HWND dialog, ProgressState* s, int result) {
  KillTimer(dialog, kTickTimer);
  s->ended = true;
  s->result = result;
  DestroyWindow(dialog);
}

void Complete(HWND dialog, ProgressState* s) {
  KillTimer(dialog, kTickTimer);
  s->result = kProgressCompleted;
  if (s->design->endText == nullptr) {
    End(dialog, s, kProgressCompleted);
    return;
  }
  SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, s->design->endText);
  if (s->run.endLine[0] == '\0') {
    UpdateWindow(dialog);
    End(dialog, s, kProgressCompleted);
    return;
  }
  // The caller's line stays until the user has read it.
  SetDlgItemTextA(dialog, IDC_PROGRESS_LINE, s->run.endLine);
  char ok[32];
  LoadText(IDS_PROGRESS_OK, ok, sizeof ok);
  SetDlgItemTextA(dialog, IDCANCEL, ok);
  ShowButtonRow(dialog, s, true);
  ShowWindow(GetDlgItem(dialog, IDC_PROGRESS_LINE), SW_SHOW);
  EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  s->holding = true;
}

void OnTick(HWND dialog, ProgressState* s) {
  if (s->inStep || s->ended || s->holding) return;
  KillTimer(dialog, kTickTimer);
  s->run.window = dialog;
  s->inStep = true;
  int status = s->step(&s->run);
  s->inStep = false;
  ++s->run.ticks;
  ShowPercent(dialog, s);
  if (status == kStepDone) {
    Complete(dialog, s);
  } else if (status == kStepFailed) {
    End(dialog, s, kProgressFailed);
  } else if (s->cancelAsked) {
    End(dialog, s, kProgressCancelled);
  } else {
    SetTimer(dialog, kTickTimer, TickMs(s), nullptr);
  }
}

// "Cancel", Escape or a close of the window.
void OnCancel(HWND dialog, ProgressState* s) {
  if (s->holding) {
    End(dialog, s, kProgressCompleted);
    return;
  }
  if (!s->design->cancellable || s->ended) return;
  if (s->inStep) {
    s->cancelAsked = true;
    return;
  }
  End(dialog, s, kProgressCancelled);
}

INT_PTR OnInit(HWND dialog, LPARAM lParam) {
  SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  ProgressState* s = reinterpret_cast<ProgressState*>(lParam);
  s->run.window = dialog;
  SetWindowTextA(dialog, s->design->title != nullptr ? s->design->title : "");
  SetDlgItemTextA(dialog, IDC_PROGRESS_TEXT, s->design->text != nullptr ? s->design->text : "");
  RECT band = {0, 0, 0, kButtonBandDu};
  MapDialogRect(dialog, &band);
  s->buttonBand = band.bottom;
  if (!s->design->cancellable) ShowButtonRow(dialog, s, false);
  else ShowWindow(GetDlgItem(dialog, IDC_PROGRESS_LINE), SW_HIDE);
  s->shownPercent = -1;
  ShowPercent(dialog, s);
  SetTimer(dialog, kTickTimer, TickMs(s), nullptr);
  return TRUE;
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  ProgressState* s = StateOf(dialog);
  switch (msg) {
    case WM_INITDIALOG: return OnInit(dialog, lParam);
    case WM_TIMER:
      if (s != nullptr && wParam == kTickTimer) OnTick(dialog, s);
      return TRUE;
    case WM_COMMAND:
      if (s != nullptr && (LOWORD(wParam) == IDCANCEL || (LOWORD(wParam) == IDOK && s->holding))) OnCancel(dialog, s);
      return TRUE;  // Enter does nothing while the run goes on
    case WM_CLOSE:
      if (s != nullptr) OnCancel(dialog, s);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int RunProgress(HWND caller, const ProgressDesign* design, ProgressStep step, void* work) {
  if (design == nullptr || step == nullptr) return kProgressFailed;
  ProgressState s = {};
  s.design = design;
  s.step = step;
  s.run.work = work;
  s.result = kProgressCancelled;
  HWND owner = caller != nullptr ? ModalOwnerOf(caller) : nullptr;
  HWND dialog =
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProgressProc, (LPARAM)&s);
  if (dialog == nullptr) return kProgressFailed;
  if (owner != nullptr) BeginModalOver(owner, dialog);
  void* previousOwner = SetThreadMessageOwner(dialog);
  RunModal(owner, dialog);
  SetThreadMessageOwner(previousOwner);
  if (owner != nullptr) EndModalOver(owner);
  if (IsWindow(dialog)) {  // the loop ended with WM_QUIT
    KillTimer(dialog, kTickTimer);
    DestroyWindow(dialog);
    if (!s.ended) s.result = kProgressCancelled;
  }
  return s.result;
}

void SetProgressText(ProgressRun* run, const char* text) {
  if (run != nullptr && run->window != nullptr) SetDlgItemTextA(run->window, IDC_PROGRESS_TEXT, text);
}

void SetProgressEndLine(ProgressRun* run, const char* text) {
  if (run == nullptr) return;
  snprintf(run->endLine, sizeof run->endLine, "%s", text != nullptr ? text : "");
}
