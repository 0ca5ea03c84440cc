// Handing an open request to the running copy's window: a global atom sent with
// WM_USER, as every copy of the player understands; a text longer than an atom
// holds goes as WM_COPYDATA instead, so that a deep path is not lost.
#include "player/player_shell.h"

#include <string.h>

int ForwardText(HWND target, const char *text) {
  switch (forwardWay(text)) {
    case kForwardNone: return 1;
    case kForwardAtom: {
      ATOM atom = GlobalAddAtomA(text);
      if (atom == 0) return 0;
      SendMessageA(target, WM_USER, 0, (LPARAM)atom);
      GlobalDeleteAtom(atom);
      return 1;
    }
    case kForwardCopyData: {
      COPYDATASTRUCT data;
      data.dwData = kForwardCopyTag;
      data.cbData = (DWORD)strlen(text);
      data.lpData = const_cast<char *>(text);
      return SendMessageA(target, WM_COPYDATA, 0, (LPARAM)&data) != 0;
    }
    case kForwardTooLong: break;
  }
  return 0;
}
