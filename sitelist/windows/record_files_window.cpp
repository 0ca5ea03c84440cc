// Opening record files from a window: the opening rules of the record store
// (with their message boxes), and the end of the program with "Disk Error"
// when the user confirmed "File Access Error".
#include <windows.h>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/tablnk_windows.h"

namespace {

const UINT kDiskErrorExitCode = 2;

}  // namespace

bool OpenFileForWindow(int id) {
  if (OpenRecordFile(id)) return true;
  EndProgramIfRequested();
  return false;
}

void EndProgramIfRequested() {
  // The rules have shown "File Access Error" and "Disk Error"; nothing can go on
  // without the file. Files other windows hold are closed by the system.
  if (g_RecordProgramEnd) ExitProcess(kDiskErrorExitCode);
}
