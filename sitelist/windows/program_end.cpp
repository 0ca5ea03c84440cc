// The end of the program on request (see program_end.h): the request is kept
// here and handed to the frame, which closes every window and ends the program.
#include "sitelist/windows/program_end.h"

#include <windows.h>

#include <atomic>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/procedure_threads.h"

namespace {

const int kNoRequest = -1;
std::atomic<int> g_exitCode{kNoRequest};

}  // namespace

void RequestProgramEnd(int exitCode) {
  int none = kNoRequest;
  g_exitCode.compare_exchange_strong(none, exitCode);
  HWND frame = ProcedureFrame();
  if (frame != nullptr) PostMessageA(frame, WM_CLOSE, 0, 0);
}

bool ProgramEndRequested() { return g_exitCode.load() != kNoRequest; }

int ProgramExitCode() {
  int code = g_exitCode.load();
  return code == kNoRequest ? kExitNormal : code;
}

bool RequestEndIfDiskError() {
  if (!g_RecordProgramEnd) return false;
  RequestProgramEnd(kExitDiskError);
  return true;
}
