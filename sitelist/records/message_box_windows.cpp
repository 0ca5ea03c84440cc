// Shows a record message, and every other message of Tabulink, as a modal
// message box with the message's buttons, icon and default button.
#include "sitelist/records/record_messages.h"

#include <windows.h>

int ShowRecordMessage(const RecordMessage* m) { return ShowRecordMessageOver(nullptr, m); }

int ShowRecordMessageOver(void* owner, const RecordMessage* m) {
  static const UINT kButtons[] = {MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL};
  static const UINT kIcons[] = {MB_ICONINFORMATION, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONSTOP};
  static_assert(sizeof(kButtons) / sizeof(kButtons[0]) == RB_YES_NO_CANCEL + 1, "one style per button set");
  static_assert(sizeof(kIcons) / sizeof(kIcons[0]) == RI_STOP + 1, "one style per icon");
  if (!m || m->buttons < 0 || m->buttons > RB_YES_NO_CANCEL || m->icon < 0 || m->icon > RI_STOP) return RA_CANCEL;
  UINT flags = kButtons[m->buttons] | kIcons[m->icon] | MB_TASKMODAL | MB_SETFOREGROUND;
  // The default button: the first unless the default answer is a later one.
  if ((m->buttons == RB_OK_CANCEL && m->default_answer == RA_CANCEL) ||
      (m->buttons == RB_YES_NO && m->default_answer == RA_NO) ||
      (m->buttons == RB_YES_NO_CANCEL && m->default_answer == RA_NO))
    flags |= MB_DEFBUTTON2;
  if (m->buttons == RB_YES_NO_CANCEL && m->default_answer == RA_CANCEL) flags |= MB_DEFBUTTON3;
  HWND over = owner != nullptr ? static_cast<HWND>(owner) : GetActiveWindow();
  int r = MessageBoxA(over, m->text, m->title, flags);
  switch (r) {
    case IDOK: return RA_OK;
    case IDYES: return RA_YES;
    case IDNO: return RA_NO;
    default: return RA_CANCEL;
  }
}
