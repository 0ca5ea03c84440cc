// The shell's open rules (see shell_open.h).
#include "player/shell_open.h"

#include "common/tx_util.h"
#include "player/player_rules.h"

int playText(OpenState *s, const char *text) {
  int r = s->lib->setSource(s->player, text);
  if (r == kTxguiDone) return kTxguiDone;
  if (r != kTxguiOk) return 0;
  return s->lib->doPlay(s->player) == kTxguiDone ? kTxguiDone : 0;
}

int openAsLocation(OpenState *s, const char *text) {
  copyBounded(s->locationUrl, sizeof s->locationUrl, text);
  s->openedLocally = 0;
  char location[kLocationUrlSize];
  locationToPlay(text, location, sizeof location);
  return playText(s, location);
}

int openAsLocalFile(OpenState *s, const char *text) {
  s->openedLocally = 1;
  lastFileOf(text, s->lastFile, sizeof s->lastFile);
  return playText(s, text);
}

int openForwarded(OpenState *s, const char *text) {
  if (s->busy || s->opening) return 0;
  OpenKind kind = forwardedKind(text);
  if (kind == kOpenNothing) return 0;
  s->opening = 1;
  int r = kind == kOpenLocation ? openAsLocation(s, text) : openAsLocalFile(s, text);
  if (r != kTxguiDone) s->opening = 0;
  return r;
}
