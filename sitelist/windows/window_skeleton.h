// The skeleton every Tabulink window procedure runs on, and its modal forms
// and pickers.
//
// A window procedure (BrowseTABLNK, ExportMain, ...) describes its window in a
// static WindowDesign and calls RunWindow, which
//   1. opens the design's record files by the opening rules (OpenRecordFile),
//   2. creates the window: an MDI child of the frame hosting the dialog
//      template design.dialog from the program's resources (or, for kPopupWindow,
//      the dialog itself as a window owned by the frame),
//   3. restores its position under design.name (TABLNK.INI) and, with a design
//      stamp, scales its controls from the stored "CtrlSize" entries,
//   4. attaches it to the procedure machinery (so closing the frame closes it),
//   5. runs its message loop on the calling thread until it is closed,
//   6. detaches it, having saved its position under design.name as it closed,
//   7. closes the record files it opened, and
//   8. returns the window's completion code.
//
// The window's own code is a dialog procedure (design.proc) that sees the
// template's controls as usual. Its state is a struct of the caller's, passed
// to RunWindow and found again with WindowStateOf<State>(dialog) in every
// message (it is also WM_INITDIALOG's lParam). The procedure is a short switch
// of one-line cases calling small handlers; WM_COMMAND goes through a
// WindowCommand table with DispatchWindowCommand.
//
// Messages the skeleton handles when design.proc returns FALSE for them:
//   WM_CLOSE   closes the window (CloseWindowRun) with the completion code set
//              so far; a window with a form or progress window open over it
//              closes that first, then itself.
//   WM_SIZE    (resizable hosts) the dialog follows the host; scaled controls
//              are placed again.
//
// Forms and pickers (UpdateTABLNK, SelectCategories, AskCategory ...) are
// described by a FormDesign and run with RunForm: a dialog from the resources,
// modal to the calling window (which is disabled meanwhile; other windows of
// the frame stay usable), its position kept under design.name, optionally with
// scaled controls. The form ends with EndForm(form, kResponseCompleted or
// kResponseCancelled); WM_CLOSE and IDCANCEL that design.proc leaves alone end it
// cancelled. RunForm returns the response.
//
// Everything runs on the calling thread: a window procedure started with
// StartProcedure owns its window, its forms and its progress windows, and keeps
// its records in its state, never in another thread's.
#ifndef SITELIST_WINDOWS_WINDOW_SKELETON_H
#define SITELIST_WINDOWS_WINDOW_SKELETON_H

#include <windows.h>

#include <cstddef>

#include "sitelist/windows/procedure_threads.h"

// Completion codes of RunWindow (a window may set others of its own, > 0,
// with SetWindowCompletion).
const int kWindowClosed = 0;      // the window ran and was closed
const int kWindowNotOpened = -1;  // a record file or the window could not be opened
                                  // (the user was told; an end may have been requested)

enum WindowKind {
  kMdiChildWindow = 0,  // an MDI child of the frame hosting the dialog (template: WS_CHILD)
  kPopupWindow,         // the dialog itself, owned by the frame (template: WS_POPUP)
};

const int kMaxWindowFiles = 8;

struct WindowDesign {
  const char* name;  // procedure name and TABLNK.INI section; null keeps no position
  UINT dialog;       // IDD_ template in the program's resources
  WindowKind kind;
  DLGPROC proc;               // the window's dialog procedure
  const int* files;           // RecordFileId of each file to open, in order (null: none)
  int fileCount;              // 0..kMaxWindowFiles
  bool resizable;             // restores width and height too; the dialog follows the host
  const char* designStamp;    // "WindowScaled" stamp of scaled controls; null: not scaled
  const int* scaledControls;  // control ids in "CtrlSize1".."CtrlSizeN" order
  int scaledCount;            // 1..kMaxScaledControls when designStamp is set
  bool showNoActivate;        // popups: shown without taking the activation (the splash)
};

// Runs the window described by design to its end on the calling thread (see the
// steps above) with the caller's state (which must outlive the call). Returns
// the completion code set with SetWindowCompletion (kWindowClosed when none),
// or kWindowNotOpened when a file or the window could not be opened; when the
// opening rules asked for the end of the program ("Disk Error"), the end has
// been requested (program_end.h).
int RunWindow(const WindowDesign* design, void* state);

// The caller's state of the window or form that dialog belongs to (a dialog
// run by RunWindow or RunForm, or any control in it); null for other windows.
void* WindowStateData(HWND dialog);
template <typename State>
State* WindowStateOf(HWND dialog) {
  return static_cast<State*>(WindowStateData(dialog));
}

// Sets the code RunWindow returns for dialog's window.
void SetWindowCompletion(HWND dialog, int code);

// Closes dialog's window: saves its position under its name and destroys it
// (the host for MDI children); RunWindow then returns. With a form or
// progress window open over it, that is asked to close first.
void CloseWindowRun(HWND dialog);

// The window that RunWindow created for dialog (the MDI child, or the dialog
// itself for popups); null for other windows.
HWND WindowHostOf(HWND dialog);

// Registers className (once) as a dialog window class, for templates whose
// CLASS statement names it (so other programs and tests can find the window by
// class). Returns false when it cannot be registered.
bool RegisterDialogClass(const char* className);

// ---- Commands -----------------------------------------------------------------

// One command of a window: its control or menu id and the handler it runs.
template <typename State>
struct WindowCommand {
  UINT id;
  void (*run)(HWND dialog, State* state);
};

// Runs the handler of command id from table; returns false when the table has
// none (so the procedure can return FALSE and let the skeleton act).
template <typename State, size_t N>
bool DispatchWindowCommand(const WindowCommand<State> (&table)[N], HWND dialog, UINT id) {
  for (const WindowCommand<State>& c : table) {
    if (c.id == id) {
      c.run(dialog, WindowStateOf<State>(dialog));
      return true;
    }
  }
  return false;
}

// ---- Forms and pickers --------------------------------------------------------

struct FormDesign {
  const char* name;  // procedure name and TABLNK.INI section; null keeps no position
  UINT dialog;       // IDD_ template (WS_POPUP)
  DLGPROC proc;      // the form's dialog procedure
  bool resizable;
  const char* designStamp;  // scaled controls as in WindowDesign; null: not scaled
  const int* scaledControls;
  int scaledCount;
  const int* files;  // record files the form opens by the opening rules (null: none)
  int fileCount;     // 0..kMaxWindowFiles
};

// Runs the form modally over caller (a window or form of the calling thread,
// or any control in one; null: no owner) with the caller's state, which the
// form finds with WindowStateOf. The caller's window is disabled until the
// form ends. The form's files are opened before it is created and closed after
// it ended. Returns kResponseCompleted or kResponseCancelled (also when a file
// or the form could not be opened; an end of the program may have been
// requested then, as for RunWindow).
int RunForm(HWND caller, const FormDesign* design, void* state);

// Ends form with response: saves its position under its name and destroys it.
void EndForm(HWND form, int response);

// ---- For modal windows of the machinery (forms, the progress runner) -------------

// The window a modal window over caller disables and is owned by: the window
// (host) or form that caller belongs to; caller itself for other windows.
HWND ModalOwnerOf(HWND caller);

// Marks modal as open over owner, so that a close of owner (the frame closing,
// CloseWindowRun) closes modal first; EndModalOver unmarks it and, when a close
// of owner was asked for meanwhile, posts it again.
void BeginModalOver(HWND owner, HWND modal);
void EndModalOver(HWND owner);

#endif
