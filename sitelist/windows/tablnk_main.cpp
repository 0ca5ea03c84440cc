// TABLNK.exe start-up: the import file name, the version check and upgrade of
// earlier-version files, "Version" written, the frame opened at its stored
// position, then the site browse and the splash each on a thread of its own,
// and the frame's message loop for the life of the program. The program's exit
// code is the one program_end.h lists: start-up returns a requested end itself
// (the upgrade runs before the frame), the frame's loop returns the others.
#include <windows.h>
#include <commctrl.h>

#include "sitelist/windows/browse_windows.h"
#include "sitelist/windows/frame_window.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/profile_rules.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/program_values.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/splash_window.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/upgrade_window.h"
#include "sitelist/windows/window_position.h"

namespace {

const char kSystemSection[] = "System";
const char kVersionKey[] = "Version";
const char kMainSection[] = "Main";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);

  SetImportFileName(kDefaultImportFileName);

  char version[32];
  ProfileRead(kSystemSection, kVersionKey, version, sizeof version);
  bool upgraded = true;
  if (NeedsUpgradeCheck(version)) upgraded = UpgradeEarlierFiles();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (upgraded) ProfileWrite(kSystemSection, kVersionKey, kTablnkVersion);

  HWND frame = CreateMainFrame(instance);
  if (frame == nullptr) {
    ShowMessage(nullptr, IDS_FRAME_TITLE, IDS_NO_FRAME, RB_OK, RI_STOP);
    return kExitNoFrame;
  }
  RestorePosition(frame, kMainSection, true);
  UpdateWindow(frame);

  StartProcedure(BrowseTABLNK, nullptr);
  StartProcedure(Splash, nullptr);
  return RunMainLoop(frame);
}
