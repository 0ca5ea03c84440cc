// The progress runner: the "Processing Records" window of every long run of
// Tabulink (upgrade, export, import, merge, reports, quick publishing, reading
// a text file). It shows a title and a line of the caller's, a percentage
// ("0% Completed" by default, or the caller's format) and, when the run can be
// cancelled, "Cancel"; a timer calls the caller's step function, which works
// one batch of records per tick and answers with a status code; at the end it
// shows the end state ("Process Completed" and an optional line of the
// caller's) and closes.
//
// RunProgress runs on the calling thread, modal to the calling window: a
// window procedure calls it from its own thread with its window (or form) as
// caller; start-up calls it with no caller. The step gets the progress window,
// so it can open a form or picker over it (RunForm) or show a message
// (tablnk_messages.h) and go on afterwards; no tick arrives while a step runs.
#ifndef SITELIST_WINDOWS_PROGRESS_RUNNER_H
#define SITELIST_WINDOWS_PROGRESS_RUNNER_H

#include <windows.h>

#include <cstddef>

// What a step answers.
enum ProgressStepStatus {
  kStepMore = 0,  // work remains: call again at the next tick
  kStepDone,      // the run is complete: show the end state and close
  kStepFailed,    // the run stops (the step has told the user why); no end state
};

// What RunProgress returns.
enum ProgressResult {
  kProgressCompleted = 1,  // a step answered kStepDone
  kProgressCancelled,      // the user chose "Cancel" (or the window was closed) first
  kProgressFailed,         // a step answered kStepFailed, or the window could not be created
};

const size_t kProgressTextSize = 256;

// What the step sees on every call.
struct ProgressRun {
  HWND window;                      // the progress window: owner of any form, picker or box the step opens
  void* work;                       // the caller's work, as passed to RunProgress
  int percent;                      // the step sets it (0..100); shown whenever its whole value changes
  unsigned ticks;                   // steps called so far, this one not counted
  char endLine[kProgressTextSize];  // set by the step: a line shown under the end text
};

// One batch of work; returns a ProgressStepStatus.
typedef int (*ProgressStep)(ProgressRun* run);

// Formats the percentage text into out (capacity bytes, always terminated);
// returns false when it does not fit.
typedef bool (*ProgressFormat)(int percent, char* out, size_t capacity);

struct ProgressDesign {
  const char* title;      // window title: "Processing Records", "Generating Report" ...
  const char* text;       // the line above the percentage: "Exporting", "Upgrading Location File" ...
  ProgressFormat format;  // null: "N% Completed" (FormatPercent)
  const char* endText;    // shown at kStepDone ("Process Completed"); null: closes at once
  bool cancellable;       // shows "Cancel"; Escape and closing the window cancel too
  UINT tickMs;            // timer period; 0: 10 ms (a hundredth of a second)
};

// Runs step over work until it answers kStepDone or kStepFailed, or the user
// cancels; caller is the window the progress window is modal to (null: none).
// With an end text and no end line, the end state is drawn and the window
// closes at once; with an end line, the window keeps the end state until the
// user presses "OK" (the "Cancel" button relabelled), so the line can be read.
// Returns a ProgressResult; the caller finishes its work (closing files,
// writing a footer after a cancel) after RunProgress returns.
int RunProgress(HWND caller, const ProgressDesign* design, ProgressStep step, void* work);

// Changes the line above the percentage while the run goes on (for example
// "Processing. Record Read: 120").
void SetProgressText(ProgressRun* run, const char* text);

// Sets run->endLine (cut to its capacity).
void SetProgressEndLine(ProgressRun* run, const char* text);

#endif
