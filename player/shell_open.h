// How the shell opens what it is given: a location (typed, forwarded or from the
// recent list) or a local file (chosen, dropped or forwarded), handed to the player
// library through its table. Also the busy and opening flags that decide whether a
// forwarded request is taken. Portable.
#ifndef PLAYER_SHELL_OPEN_H
#define PLAYER_SHELL_OPEN_H

#include <stddef.h>

#include "player/player_library.h"

enum { kLocationUrlSize = 1280, kLastFileSize = 261 };

struct OpenState {
  const PlayerLibrary *lib;
  TxguiHandle player;
  char locationUrl[kLocationUrlSize];  // the Open Location text, saved as LastURL
  char lastFile[kLastFileSize];        // the last local file, without "file:"
  int openedLocally;                   // the current clip came from a local file
  int busy;                            // a modal window of the shell or the library is up
  int opening;                         // a forwarded request is being handled
};

// Plays the text: TxguiSetSource, and TxguiDoPlay after its 0. Returns kTxguiDone
// when either answered it, else 0 (a refusal plays nothing and says nothing).
int playText(OpenState *s, const char *text);
// Remembers the text as the location URL, clears the opened-locally flag and plays
// the location it names (leading white space skipped, "ovm://" added when it has
// neither "ovm://" nor "http://").
int openAsLocation(OpenState *s, const char *text);
// Sets the opened-locally flag, remembers the text without "file:" as the last file
// and plays the text unchanged.
int openAsLocalFile(OpenState *s, const char *text);
// A forwarded request: ignored (answering 0) while busy or opening; otherwise the
// text opens as a location when it begins "ovm:", else as a local file. The opening
// flag is left set when the open answered kTxguiDone.
int openForwarded(OpenState *s, const char *text);

#endif
