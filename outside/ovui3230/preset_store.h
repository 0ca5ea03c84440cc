// The presets at work (presets.h): kept in the preference store, stored from the
// source playing (a local file offered to the shell first, through its
// PresetFromFile callback, which answers with TxguiSetPreset), played back and
// scanned.
#ifndef OUTSIDE_OVUI3230_PRESET_STORE_H
#define OUTSIDE_OVUI3230_PRESET_STORE_H

#include <stdint.h>

#include "outside/ovui3230/library_state.h"

// Reads Preset1 ... Preset4 into the player's slots.
void LoadPresets(Player *p);
// Set, then preset `number`: keeps the source playing in it. A local file is offered
// to the shell's PresetFromFile(number, clip index) first; when the shell does not
// take it (0) the file itself is kept.
void StorePlayingAsPreset(Player *p, int number);
// TxguiSetPreset: keeps `url` in preset `a`, starting at clip `b`. 0 when `a` is no
// preset or the URL is empty or too long.
int SetPresetFromShell(Player *p, intptr_t a, intptr_t b, const char *url);
// Plays preset `number` (nothing when it is empty).
void RecallPreset(Player *p, int number);
// Scan: plays the stored preset after the one played last.
void ScanPresets(Player *p);

#endif
