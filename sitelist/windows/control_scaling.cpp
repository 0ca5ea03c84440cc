// Control scaling: fractions from the designed layout or from TABLNK.INI,
// applied to the window's client area.
#include "sitelist/windows/control_scaling.h"

#include <cstdio>

#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/window_position.h"

namespace {

void KeyName(int number, char* out, size_t capacity) { snprintf(out, capacity, "CtrlSize%d", number); }

// The control's rectangle in the client coordinates of its window.
WindowRect ControlRect(HWND window, HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, window, (POINT*)&r, 2);
  return WindowRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

bool OpenScaledLayout(ScaledLayout* layout, HWND window, const char* section, const char* designStamp,
                      const HWND* controls, int count) {
  return OpenScaledLayoutIn(layout, window, window, section, designStamp, controls, count);
}

bool OpenScaledLayoutIn(ScaledLayout* layout, HWND positioned, HWND window, const char* section,
                        const char* designStamp, const HWND* controls, int count) {
  if (count < 1 || count > kMaxScaledControls) return false;
  layout->window = window;
  layout->count = count;
  RECT client = {};
  GetClientRect(window, &client);
  for (int i = 0; i < count; ++i) {
    layout->controls[i] = controls[i];
    layout->fractions[i] = FractionOf(ControlRect(window, controls[i]), client.right, client.bottom);
  }
  char stamp[kCtrlSizeText + 8];
  bool stored = ProfileRead(section, "WindowScaled", stamp, sizeof stamp);
  char key[24];
  char value[kCtrlSizeText + 8];
  if (stored && StampMatches(stamp, designStamp)) {
    RestorePosition(positioned, section, true);
    for (int i = 0; i < count; ++i) {
      KeyName(i + 1, key, sizeof key);
      if (ProfileRead(section, key, value, sizeof value)) ParseCtrlSize(value, &layout->fractions[i]);
    }
  } else {
    for (int i = 0; i < count; ++i) {
      KeyName(i + 1, key, sizeof key);
      if (FormatCtrlSize(layout->fractions[i], value, sizeof value)) ProfileWrite(section, key, value);
    }
    ProfileWrite(section, "WindowScaled", designStamp);
    RestorePosition(positioned, section, true);
  }
  PlaceScaledControls(layout);
  return true;
}

void PlaceScaledControls(const ScaledLayout* layout) {
  RECT client = {};
  GetClientRect(layout->window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;  // minimized: keep the places
  for (int i = 0; i < layout->count; ++i) {
    WindowRect r = PlaceControl(layout->fractions[i], client.right, client.bottom);
    SetWindowPos(layout->controls[i], nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(layout->window, nullptr, TRUE);
}
