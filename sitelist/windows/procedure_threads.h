// The machinery every Tabulink window procedure runs on: each browse, report,
// monitor, export and import window runs on a thread of its own with its own
// message loop, inside the frame; forms and pickers run modally to the window
// that called them and answer with a response.
#ifndef SITELIST_WINDOWS_PROCEDURE_THREADS_H
#define SITELIST_WINDOWS_PROCEDURE_THREADS_H

#include <windows.h>

// Requests a browse passes to a form, and the form's responses.
enum FormRequest { kRequestInsert = 1, kRequestChange = 2, kRequestDelete = 3 };
enum FormResponse { kResponseCompleted = 1, kResponseCancelled = 2 };

// A window procedure: runs its window to the end on the calling thread and
// returns its completion code.
typedef int (*WindowProcedure)(void* argument);

const int kMaxProcedures = 64;

// Tells the machinery which frame and MDI client the procedures' child windows
// belong to (null for programs without a frame, such as tests).
void SetProcedureFrame(HWND frame, HWND mdiClient);
HWND ProcedureFrame();
HWND ProcedureMdiClient();

// Starts procedure(argument) on a new thread. Returns false when the thread
// could not be started or kMaxProcedures are already running; argument stays
// the caller's (it must outlive the procedure).
bool StartProcedure(WindowProcedure procedure, void* argument);

// The number of procedures started and not yet returned.
int RunningProcedures();

// Registers the window that the calling thread's procedure shows, so that
// CloseAllProcedures can close it; a window attached while the program closes
// is asked to close at once. Detach when the window is destroyed.
void AttachProcedureWindow(HWND window);
void DetachProcedureWindow(HWND window);

// Asks every attached window to close (WM_CLOSE) and waits up to timeoutMs for
// every procedure to return, dispatching the calling thread's messages
// meanwhile. Returns true when all returned in time.
bool CloseAllProcedures(DWORD timeoutMs);

// Creates an MDI child of the frame on the calling thread (the window belongs
// to that thread and its message loop). Returns null on failure or when no
// frame is set.
HWND CreateProcedureChild(const char* className, const char* title, DWORD style, int x, int y, int width, int height,
                          void* createParam);

// Default processing for a procedure's MDI child: as DefMDIChildProc, except
// that WM_CLOSE destroys the window on its own thread (the MDI client, on the
// frame's thread, cannot destroy a window of another thread).
LRESULT ProcedureChildDefProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// The window property naming the dialog a window hosts: keyboard navigation
// in RunWindowLoop goes to that dialog (set by window_skeleton).
const char kHostedDialogProp[] = "TabulinkHostedDialog";

// Runs the calling thread's message loop until window is destroyed, with
// keyboard navigation among its controls and the MDI system keys. Returns
// false when WM_QUIT arrived first (it is posted again for the outer loop).
bool RunWindowLoop(HWND window);

// Runs form modally over owner (owner may be null): owner is disabled, the form
// is shown and its messages dispatched until it is destroyed; then owner is
// enabled and activated again. Returns the response the form gave with
// SetModalResponse before it was destroyed, kResponseCancelled when none.
int RunModal(HWND owner, HWND form);

// Sets the response RunModal returns for form (call before destroying it).
void SetModalResponse(HWND form, int response);

#endif
