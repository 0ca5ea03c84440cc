// Window positions in TABLNK.INI: reads and writes the keys and applies the
// plans of profile_rules through the window placement calls, whose normal
// rectangle is in the coordinates of the window's parent (or the work area).
#include "sitelist/windows/window_position.h"

#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/profile_rules.h"

namespace {

const size_t kValueText = 32;

const char* ReadOrNull(const char* section, const char* key, char* buffer) {
  return ProfileRead(section, key, buffer, kValueText) ? buffer : nullptr;
}

}  // namespace

void RestorePosition(HWND window, const char* section, bool resizable) {
  char x[kValueText], y[kValueText], w[kValueText], h[kValueText], m[kValueText];
  StoredPosition stored;
  stored.xPosit = ReadOrNull(section, "XPosit", x);
  stored.yPosit = ReadOrNull(section, "YPosit", y);
  stored.width = ReadOrNull(section, "Width", w);
  stored.height = ReadOrNull(section, "Height", h);
  stored.maximize = ReadOrNull(section, "Maximize", m);
  RestorePlan plan = PlanRestore(stored, resizable, IsZoomed(window) != FALSE);

  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  GetWindowPlacement(window, &wp);
  if (plan.move) {
    long width = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
    long height = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
    if (plan.resize) {
      width = plan.rect.width;
      height = plan.rect.height;
    }
    wp.rcNormalPosition.left = plan.rect.x;
    wp.rcNormalPosition.top = plan.rect.y;
    wp.rcNormalPosition.right = plan.rect.x + width;
    wp.rcNormalPosition.bottom = plan.rect.y + height;
  }
  wp.flags = 0;
  wp.showCmd = plan.maximize ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  SetWindowPlacement(window, &wp);
}

void SavePosition(HWND window, const char* section) {
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(window, &wp)) return;
  WindowRect normal = {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                       wp.rcNormalPosition.right - wp.rcNormalPosition.left,
                       wp.rcNormalPosition.bottom - wp.rcNormalPosition.top};
  SavePlan plan = PlanSave(IsIconic(window) != FALSE, IsZoomed(window) != FALSE, normal);
  if (!plan.writeAnything) return;
  ProfileWrite(section, "Maximize", plan.maximize);
  ProfileWriteLong(section, "XPosit", plan.rect.x);
  ProfileWriteLong(section, "YPosit", plan.rect.y);
  ProfileWriteLong(section, "Width", plan.rect.width);
  ProfileWriteLong(section, "Height", plan.rect.height);
}
