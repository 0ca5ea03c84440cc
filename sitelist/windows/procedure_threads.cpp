// Procedure threads, window loops and modal forms (see procedure_threads.h).
#include "sitelist/windows/procedure_threads.h"

#include <process.h>

#include <atomic>
#include <mutex>

namespace {

const char kModalProp[] = "TabulinkModal";
const DWORD kPollMs = 20;

struct ProcedureSlot {
  bool used;
  DWORD threadId;
  HWND window;
};

struct StartBlock {
  WindowProcedure procedure;
  void* argument;
  int slot;
};

struct ModalState {
  int response;
};

std::mutex g_lock;
ProcedureSlot g_slots[kMaxProcedures];
StartBlock g_starts[kMaxProcedures];
std::atomic<int> g_running{0};
std::atomic<bool> g_closing{false};
HWND g_frame = nullptr;
HWND g_mdiClient = nullptr;

unsigned __stdcall ProcedureThread(void* param) {
  StartBlock* block = static_cast<StartBlock*>(param);
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_slots[block->slot].threadId = GetCurrentThreadId();
  }
  block->procedure(block->argument);
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_slots[block->slot] = ProcedureSlot{};
  }
  g_running.fetch_sub(1);
  return 0;
}

// The window whose dialog navigation applies to msg: the MDI child or
// top-level window that holds msg's target.
HWND NavigationRoot(HWND target) {
  HWND w = target;
  while (w != nullptr && (GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD) != 0) {
    HWND parent = GetParent(w);
    if (parent == nullptr || parent == g_mdiClient) break;
    w = parent;
  }
  return w;
}

void PumpOne(const MSG& msg) {
  if (g_mdiClient != nullptr && TranslateMDISysAccel(g_mdiClient, const_cast<MSG*>(&msg))) return;
  HWND root = NavigationRoot(msg.hwnd);
  // A window that hosts a dialog (window_skeleton) navigates in that dialog.
  HWND hosted = root != nullptr ? static_cast<HWND>(GetPropA(root, kHostedDialogProp)) : nullptr;
  if (hosted != nullptr) root = hosted;
  if (root != nullptr && root != g_frame && root != g_mdiClient &&
      GetWindowThreadProcessId(root, nullptr) == GetCurrentThreadId() &&
      IsDialogMessageA(root, const_cast<MSG*>(&msg))) {
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

}  // namespace

void SetProcedureFrame(HWND frame, HWND mdiClient) {
  g_frame = frame;
  g_mdiClient = mdiClient;
}

HWND ProcedureFrame() { return g_frame; }
HWND ProcedureMdiClient() { return g_mdiClient; }

bool StartProcedure(WindowProcedure procedure, void* argument) {
  if (procedure == nullptr || g_closing.load()) return false;
  int slot = -1;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    for (int i = 0; i < kMaxProcedures; ++i) {
      if (!g_slots[i].used) {
        slot = i;
        break;
      }
    }
    if (slot < 0) return false;
    g_slots[slot] = ProcedureSlot{true, 0, nullptr};
    g_starts[slot] = StartBlock{procedure, argument, slot};
  }
  g_running.fetch_add(1);
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, ProcedureThread, &g_starts[slot], 0, &id);
  if (handle == 0) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_slots[slot] = ProcedureSlot{};
    g_running.fetch_sub(1);
    return false;
  }
  CloseHandle((HANDLE)handle);
  return true;
}

int RunningProcedures() { return g_running.load(); }

void AttachProcedureWindow(HWND window) {
  DWORD me = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> hold(g_lock);
    for (ProcedureSlot& s : g_slots) {
      if (s.used && s.threadId == me && s.window == nullptr) {
        s.window = window;
        break;
      }
    }
  }
  if (g_closing.load()) PostMessageA(window, WM_CLOSE, 0, 0);
}

void DetachProcedureWindow(HWND window) {
  std::lock_guard<std::mutex> hold(g_lock);
  for (ProcedureSlot& s : g_slots) {
    if (s.used && s.window == window) s.window = nullptr;
  }
}

bool CloseAllProcedures(DWORD timeoutMs) {
  g_closing.store(true);
  {
    std::lock_guard<std::mutex> hold(g_lock);
    for (ProcedureSlot& s : g_slots) {
      if (s.used && s.window != nullptr) PostMessageA(s.window, WM_CLOSE, 0, 0);
    }
  }
  DWORD start = GetTickCount();
  while (g_running.load() > 0) {
    if (GetTickCount() - start >= timeoutMs) {
      g_closing.store(false);
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage((int)msg.wParam);
        g_closing.store(false);
        return false;
      }
      PumpOne(msg);
    }
  }
  g_closing.store(false);
  return true;
}

HWND CreateProcedureChild(const char* className, const char* title, DWORD style, int x, int y, int width, int height,
                          void* createParam) {
  if (g_mdiClient == nullptr) return nullptr;
  return CreateMDIWindowA(className, title, style, x, y, width, height, g_mdiClient, GetModuleHandleA(nullptr),
                          (LPARAM)createParam);
}

LRESULT ProcedureChildDefProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  return DefMDIChildProcA(window, msg, wParam, lParam);
}

bool RunWindowLoop(HWND window) {
  MSG msg;
  while (IsWindow(window)) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) return false;
    if (got == 0) {
      PostQuitMessage((int)msg.wParam);
      return false;
    }
    PumpOne(msg);
  }
  return true;
}

int RunModal(HWND owner, HWND form) {
  ModalState state = {kResponseCancelled};
  if (form == nullptr) return kResponseCancelled;
  SetPropA(form, kModalProp, &state);
  bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  RunWindowLoop(form);
  if (ownerWasEnabled) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  return state.response;
}

void SetModalResponse(HWND form, int response) {
  ModalState* state = static_cast<ModalState*>(GetPropA(form, kModalProp));
  if (state != nullptr) state->response = response;
}
