// Playing the player's clips: one thread per clip decodes it through TXDECODE.dll
// (loaded at run time) to the output, and tells the controls when it starts, how
// far it got and how it ended (the messages below, posted to the panel).
#ifndef OUTSIDE_OVUI3230_PLAYBACK_H
#define OUTSIDE_OVUI3230_PLAYBACK_H

#include <windows.h>

#include "outside/ovui3230/library_state.h"

enum {
  WM_OVUI_STARTED = WM_APP + 1,   // wParam item index, lParam generation: the clip began
  WM_OVUI_POSITION = WM_APP + 2,  // wParam tenths of seconds decoded
  WM_OVUI_ENDED = WM_APP + 3,     // wParam item index, lParam generation * 4 + ClipEnd
};

enum ClipEnd { kClipFailed = 0, kClipComplete = 1, kClipStopped = 2 };

// Once, when the library is loaded: TXDECODE keeps one static decoder, so clips of
// all players are decoded one at a time.
void InitPlayback(void);
// Stops the clip playing, if any, and waits for its thread.
void StopPlaying(Player *p);
// Plays item `index` of the clip list (stopping the one before). 0 when there is
// no such item or the thread cannot start.
int StartItem(Player *p, int index);
// Takes `source` as the player's clips (a clip list's items, or itself), stopping
// the clip before. 0 with a reason when it cannot be read.
int SetPlayerSource(Player *p, const char *source, char *why, size_t whyRoom);
// Waits for the thread of a clip that ended (after WM_OVUI_ENDED).
void JoinEndedClip(Player *p);

#endif
