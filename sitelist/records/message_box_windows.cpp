// Shows a record message, and every other message of Tabulink, as a modal
// message box with the message's buttons, icon and default button.
#include "sitelist/records/record_messages.h"

#include <windows.h>

#include "common/tx_util.h"

int ShowRecordMessage(const RecordMessage* m) { return ShowRecordMessageOver(nullptr, m); }

int ShowRecordMessageOver(void* owner, const RecordMessage* m) {
  static const UINT kButtons[] = {MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL};
  static const UINT kIcons[] = {MB_ICONINFORMATION, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONSTOP};
  static_assert(ARRAY_SIZE(kButtons) == RB_YES_NO_CANCEL + 1, "one style per button set");
  static_assert(ARRAY_SIZE(kIcons) == RI_STOP + 1, "one style per icon");
  if (!m || m->buttons < 0 || m->buttons > RB_YES_NO_CANCEL || m->icon < 0 || m->icon > RI_STOP) return RA_CANCEL;
  UINT flags = kButtons[m->buttons] | kIcons[m->icon] | MB_TASKMODAL | MB_SETFOREGROUND;
  // The default button: the first unless the default answer is a later one.
  if ((m->buttons == RB_OK_CANCEL && m->default_answer == RA_CANCEL) ||
      (m->buttons == RB_YES_NO && m->default_answer == RA_NO) ||
      (m->buttons == RB_YES_NO_CANCEL && m->default_answer == RA_NO))
    flags |= MB_DEFBUTTON2;
  if (m->buttons == RB_YES_NO_CANCEL && m->default_answer == RA_CANCEL) flags |= MB_DEFBUTTON3;
  HWND over = static_cast<HWND>(owner != nullptr ? owner : ThreadMessageOwner());
  if (over == nullptr || !IsWindow(over)) over = GetActiveWindow();
  int r;
  if (over != nullptr && (GetWindowLongPtrA(over, GWL_STYLE) & WS_CHILD) != 0) {
    // A message box owned by a child window would disable the child's top-level
    // window (the frame, with every other window in it): disable the child alone.
    bool wasEnabled = IsWindowEnabled(over) != FALSE;
    if (wasEnabled) EnableWindow(over, FALSE);
    r = MessageBoxA(nullptr, m->text, m->title, flags);
    if (wasEnabled) {
      EnableWindow(over, TRUE);
      SetFocus(over);
    }
  } else {
    r = MessageBoxA(over, m->text, m->title, flags);
  }
  switch (r) {
    case IDOK: return RA_OK;
    case IDYES: return RA_YES;
    case IDNO: return RA_NO;
    default: return RA_CANCEL;
  }
}
