// The window skeleton (see window_skeleton.h): record files, the host window
// and its dialog, positions and control scaling, the loop, and modal forms.
#include "sitelist/windows/window_skeleton.h"

#include <mutex>

#include "sitelist/records/record_files.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/windows/control_scaling.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/window_position.h"

namespace {

const char kHostClass[] = "TabulinkWindow";
const char kRunProp[] = "TabulinkWindowRun";
const char kModalProp[] = "TabulinkModalOver";
const char kClosePendingProp[] = "TabulinkClosePending";

// One window or form on the skeleton; lives on the stack of RunWindow or
// RunForm and is kept in the user data of its windows.
struct WindowRun {
  const char* name;
  DLGPROC proc;
  bool resizable;
  bool isForm;
  const char* designStamp;
  const int* scaledControls;
  int scaledCount;
  void* state;
  HWND host;  // the MDI child, or the dialog itself (popups and forms)
  HWND dialog;
  int completion;
  bool scaled;  // layout is open
  ScaledLayout layout;
};

WindowRun* RunOfWindow(HWND w) { return w != nullptr ? static_cast<WindowRun*>(GetPropA(w, kRunProp)) : nullptr; }

// The run that w (a host, a dialog or a control in one) belongs to.
WindowRun* FindRun(HWND w) {
  while (w != nullptr) {
    WindowRun* run = RunOfWindow(w);
    if (run != nullptr) return run;
    if ((GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD) == 0) return nullptr;
    w = GetAncestor(w, GA_PARENT);
  }
  return nullptr;
}

// Opens every file or none; a failure closes the ones opened and passes an end
// request of the opening rules on.
bool OpenFiles(const int* files, int count) {
  if (count < 0 || count > kMaxWindowFiles || (count > 0 && files == nullptr)) return false;
  for (int i = 0; i < count; ++i) {
    if (!OpenRecordFile(files[i])) {
      while (--i >= 0) CloseRecordFile(files[i]);
      RequestEndIfDiskError();
      return false;
    }
  }
  return true;
}

void CloseFiles(const int* files, int count) {
  for (int i = count - 1; i >= 0; --i) CloseRecordFile(files[i]);
}

bool OpenLayout(WindowRun* run) {
  if (run->designStamp == nullptr || run->name == nullptr) return false;
  if (run->scaledCount < 1 || run->scaledCount > kMaxScaledControls || run->scaledControls == nullptr) return false;
  HWND controls[kMaxScaledControls];
  for (int i = 0; i < run->scaledCount; ++i) controls[i] = GetDlgItem(run->dialog, run->scaledControls[i]);
  run->scaled =
      OpenScaledLayoutIn(&run->layout, run->host, run->dialog, run->name, run->designStamp, controls, run->scaledCount);
  return run->scaled;
}

// Restores the position (and the scaled controls) and shows the window.
void PlaceAndShow(WindowRun* run, bool noActivate) {
  if (OpenLayout(run)) return;
  if (run->name != nullptr) {
    RestorePosition(run->host, run->name, run->resizable);
    return;
  }
  ShowWindow(run->host, noActivate ? SW_SHOWNOACTIVATE : SW_SHOW);
}

// A close of run's window or form: first any modal window over it.
bool CloseModalFirst(HWND owner) {
  HWND modal = static_cast<HWND>(GetPropA(owner, kModalProp));
  if (modal == nullptr || !IsWindow(modal)) return false;
  SetPropA(owner, kClosePendingProp, (HANDLE)1);
  PostMessageA(modal, WM_CLOSE, 0, 0);
  return true;
}

void SaveRunPosition(WindowRun* run) {
  if (run->name != nullptr) SavePosition(run->host, run->name);
}

void CloseRun(WindowRun* run) {
  if (run->isForm) {
    EndForm(run->dialog, kResponseCancelled);
    return;
  }
  CloseWindowRun(run->dialog);
}

INT_PTR OnInitDialog(HWND dialog, LPARAM lParam) {
  WindowRun* run = reinterpret_cast<WindowRun*>(lParam);
  run->dialog = dialog;
  if (run->host == nullptr) run->host = dialog;
  SetPropA(dialog, kRunProp, run);
  SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)run);
  return run->proc(dialog, WM_INITDIALOG, 0, (LPARAM)run->state);
}

// The defaults of the skeleton for what the window's procedure left alone.
INT_PTR Default(WindowRun* run, UINT msg, WPARAM wParam) {
  switch (msg) {
    case WM_CLOSE: CloseRun(run); return TRUE;
    case WM_COMMAND:
      if (run->isForm && LOWORD(wParam) == IDCANCEL) {
        CloseRun(run);
        return TRUE;
      }
      return FALSE;
    case WM_SIZE:
      if (run->isForm && run->scaled && wParam != SIZE_MINIMIZED) PlaceScaledControls(&run->layout);
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK SkeletonDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return OnInitDialog(dialog, lParam);
  WindowRun* run = RunOfWindow(dialog);
  if (run == nullptr) return FALSE;
  if (msg == WM_NCDESTROY) {
    run->proc(dialog, msg, wParam, lParam);
    RemovePropA(dialog, kRunProp);
    RemovePropA(dialog, kModalProp);
    RemovePropA(dialog, kClosePendingProp);
    return FALSE;
  }
  INT_PTR handled = run->proc(dialog, msg, wParam, lParam);
  return handled ? handled : Default(run, msg, wParam);
}

// ---- The MDI child that hosts a window's dialog ------------------------------------

void OnHostSize(WindowRun* run, WPARAM kind, LPARAM size) {
  if (run == nullptr || run->dialog == nullptr || kind == SIZE_MINIMIZED) return;
  MoveWindow(run->dialog, 0, 0, LOWORD(size), HIWORD(size), TRUE);
  if (run->scaled) PlaceScaledControls(&run->layout);
}

void OnHostClose(HWND host, WindowRun* run) {
  if (run != nullptr && run->dialog != nullptr && IsWindow(run->dialog)) {
    SendMessageA(run->dialog, WM_CLOSE, 0, 0);
    return;
  }
  DestroyWindow(host);
}

LRESULT OnHostNcCreate(HWND host, LPARAM lParam) {
  const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
  const MDICREATESTRUCTA* mdi = static_cast<const MDICREATESTRUCTA*>(cs->lpCreateParams);
  WindowRun* run = mdi != nullptr ? reinterpret_cast<WindowRun*>(mdi->lParam) : nullptr;
  if (run == nullptr) return FALSE;
  run->host = host;
  SetWindowLongPtrA(host, GWLP_USERDATA, (LONG_PTR)run);
  SetPropA(host, kRunProp, run);
  return DefMDIChildProcA(host, WM_NCCREATE, 0, lParam);
}

void OnHostNcDestroy(HWND host) {
  RemovePropA(host, kRunProp);
  RemovePropA(host, kHostedDialogProp);
  RemovePropA(host, kModalProp);
  RemovePropA(host, kClosePendingProp);
  SetWindowLongPtrA(host, GWLP_USERDATA, 0);
}

bool FocusDialog(WindowRun* run) {
  if (run == nullptr || run->dialog == nullptr) return false;
  SetFocus(run->dialog);
  return true;
}

LRESULT CALLBACK HostProc(HWND host, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowRun* run = reinterpret_cast<WindowRun*>(GetWindowLongPtrA(host, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: return OnHostNcCreate(host, lParam);
    case WM_SIZE: OnHostSize(run, wParam, lParam); break;
    case WM_SETFOCUS:
      if (FocusDialog(run)) return 0;
      break;
    case WM_CLOSE: OnHostClose(host, run); return 0;
    case WM_NCDESTROY: OnHostNcDestroy(host); break;
  }
  return DefMDIChildProcA(host, msg, wParam, lParam);
}

bool RegisterHostClass(HINSTANCE instance) {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [instance] {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TABLNK));
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHostClass;
    registered = RegisterClassExA(&wc) != 0 || GetClassInfoExA(instance, kHostClass, &wc);
  });
  return registered;
}

// Creates the MDI child and its dialog, the child sized to the dialog as
// designed and titled with the template's caption. Returns false (nothing left
// behind) on failure.
bool CreateHosted(WindowRun* run, const WindowDesign* design) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterHostClass(instance)) return false;
  DWORD style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (design->resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  HWND host =
      CreateProcedureChild(kHostClass, "", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, run);
  if (host == nullptr) return false;
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(design->dialog), host, SkeletonDialogProc, (LPARAM)run);
  if (dialog == nullptr) {
    DestroyWindow(host);
    return false;
  }
  SetPropA(host, kHostedDialogProp, dialog);
  char title[256] = "";
  GetWindowTextA(dialog, title, sizeof title);
  SetWindowTextA(host, title);
  RECT designed;
  GetWindowRect(dialog, &designed);
  RECT frame = {0, 0, designed.right - designed.left, designed.bottom - designed.top};
  AdjustWindowRectEx(&frame, (DWORD)GetWindowLongPtrA(host, GWL_STYLE), FALSE,
                     (DWORD)GetWindowLongPtrA(host, GWL_EXSTYLE));
  SetWindowPos(host, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(dialog, SW_SHOW);
  return true;
}

bool CreatePopup(WindowRun* run, const WindowDesign* design) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(design->dialog), ProcedureFrame(),
                                   SkeletonDialogProc, (LPARAM)run);
  return dialog != nullptr;
}

}  // namespace

int RunWindow(const WindowDesign* design, void* state) {
  if (design == nullptr || design->proc == nullptr) return kWindowNotOpened;
  if (!OpenFiles(design->files, design->fileCount)) return kWindowNotOpened;
  WindowRun run = {};
  run.name = design->name;
  run.proc = design->proc;
  run.resizable = design->resizable;
  run.designStamp = design->designStamp;
  run.scaledControls = design->scaledControls;
  run.scaledCount = design->scaledCount;
  run.state = state;
  run.completion = kWindowClosed;
  bool made = design->kind == kMdiChildWindow ? CreateHosted(&run, design) : CreatePopup(&run, design);
  if (!made) {
    CloseFiles(design->files, design->fileCount);
    return kWindowNotOpened;
  }
  HWND host = run.host;
  PlaceAndShow(&run, design->showNoActivate);
  UpdateWindow(host);
  AttachProcedureWindow(host);
  void* previousOwner = SetThreadMessageOwner(host);
  RunWindowLoop(host);
  SetThreadMessageOwner(previousOwner);
  DetachProcedureWindow(host);
  if (IsWindow(host)) DestroyWindow(host);  // the loop ended with WM_QUIT
  CloseFiles(design->files, design->fileCount);
  return run.completion;
}

bool RegisterDialogClass(const char* className) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, className, &wc)) return true;
  wc.lpfnWndProc = DefDlgProcA;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.lpszClassName = className;
  return RegisterClassA(&wc) != 0;
}

void* WindowStateData(HWND dialog) {
  WindowRun* run = FindRun(dialog);
  return run != nullptr ? run->state : nullptr;
}

void SetWindowCompletion(HWND dialog, int code) {
  WindowRun* run = FindRun(dialog);
  if (run != nullptr) run->completion = code;
}

HWND WindowHostOf(HWND dialog) {
  WindowRun* run = FindRun(dialog);
  return run != nullptr ? run->host : nullptr;
}

void CloseWindowRun(HWND dialog) {
  WindowRun* run = FindRun(dialog);
  if (run == nullptr || run->isForm) return;
  if (CloseModalFirst(run->host)) return;
  SaveRunPosition(run);
  DestroyWindow(run->host);
}

int RunForm(HWND caller, const FormDesign* design, void* state) {
  if (design == nullptr || design->proc == nullptr) return kResponseCancelled;
  if (!OpenFiles(design->files, design->fileCount)) return kResponseCancelled;
  HWND owner = caller != nullptr ? ModalOwnerOf(caller) : nullptr;
  WindowRun run = {};
  run.name = design->name;
  run.proc = design->proc;
  run.resizable = design->resizable;
  run.isForm = true;
  run.designStamp = design->designStamp;
  run.scaledControls = design->scaledControls;
  run.scaledCount = design->scaledCount;
  run.state = state;
  HWND form = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(design->dialog), owner, SkeletonDialogProc,
                                 (LPARAM)&run);
  int response = kResponseCancelled;
  if (form != nullptr) {
    PlaceAndShow(&run, false);
    if (owner != nullptr) BeginModalOver(owner, form);
    void* previousOwner = SetThreadMessageOwner(form);
    response = RunModal(owner, form);
    SetThreadMessageOwner(previousOwner);
    if (owner != nullptr) EndModalOver(owner);
    if (IsWindow(form)) DestroyWindow(form);  // the loop ended with WM_QUIT
  }
  CloseFiles(design->files, design->fileCount);
  return response;
}

void EndForm(HWND form, int response) {
  WindowRun* run = FindRun(form);
  if (run == nullptr || !run->isForm) return;
  if (CloseModalFirst(run->host)) return;
  SetModalResponse(run->host, response);
  SaveRunPosition(run);
  DestroyWindow(run->host);
}

HWND ModalOwnerOf(HWND caller) {
  WindowRun* run = FindRun(caller);
  if (run != nullptr) return run->host;
  HWND w = caller;
  HWND client = ProcedureMdiClient();
  while (w != nullptr && (GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD) != 0) {
    HWND parent = GetAncestor(w, GA_PARENT);
    if (parent == nullptr || parent == client) break;
    w = parent;
  }
  return w;
}

void BeginModalOver(HWND owner, HWND modal) {
  SetPropA(owner, kModalProp, modal);
  RemovePropA(owner, kClosePendingProp);
}

void EndModalOver(HWND owner) {
  RemovePropA(owner, kModalProp);
  if (RemovePropA(owner, kClosePendingProp) != nullptr && IsWindow(owner)) PostMessageA(owner, WM_CLOSE, 0, 0);
}
