// The player library's own objects, shared by its parts: the client (a copy of the
// shell's ClientSetup) and the player (its window, controls, clip list, presets and
// the thread that plays). One player per TxguiNew; every part gets it as `Player *`.
#ifndef OUTSIDE_OVUI3230_LIBRARY_STATE_H
#define OUTSIDE_OVUI3230_LIBRARY_STATE_H

#include <windows.h>

#include <stdint.h>

#include "outside/ovui3230/clip_source.h"
#include "outside/ovui3230/ovui3230.h"
#include "outside/ovui3230/presets.h"

// The library's module (its resources and window classes), set when it is loaded.
extern HMODULE g_module;

struct Client {
  ClientSetup setup;  // a copy; its texts are the shell's and live as long as it
};

struct Player {
  Client *client;
  HWND shell;
  HWND panel;
  HWND stats;
  uint32_t flags;
  int mode;
  int statisticsShown;
  int scanning;
  char status[256];
  char source[kClipTextSize];  // what TxguiSetSource was given last (a preset stores it)
  char items[kMaxClipItems][kClipTextSize];
  int itemCount;
  int current;
  HANDLE thread;
  volatile LONG stop;
  volatile LONG playing;
  volatile LONG framesDecoded;
  volatile LONG bytesRead;
  LONG generation;  // raised for every clip started; older clips' messages are ignored
  int volume;
  PresetSlots presets;
};

#endif
