// The player's four presets: each keeps a source to play again (a location or a
// local file, with the clip of its list to start at). Set, then a preset button,
// stores the source playing; the button plays it back; Scan steps through the
// stored ones. Kept as the preferences `Preset1` ... `Preset4`, each "<item>|<source>".
// Portable: the slots, their stored texts and labels.
#ifndef OUTSIDE_OVUI3230_PRESETS_H
#define OUTSIDE_OVUI3230_PRESETS_H

#include <stddef.h>

#include "outside/ovui3230/clip_source.h"

enum {
  kPresetCount = 4,
  kPresetValueSize = kClipTextSize + 16,  // "<item>|<source>"
  kPresetLabelSize = 64,
};

struct PresetSlots {
  char source[kPresetCount][kClipTextSize];  // empty: nothing stored
  int item[kPresetCount];                     // the clip of the source's list to start at
  int armed;                                  // Set was pressed: the next preset button stores
  int last;                                   // the preset played last (1-4), 0 for none
};

// How a preset takes the source playing: a local file is first offered to the shell
// (PresetFromFile), which may know the location it was downloaded from; a location
// is stored as it is.
enum PresetRoute { kPresetNothing = 0, kPresetAskShell = 1, kPresetStoreSource = 2 };
PresetRoute presetRoute(const char *source);

// Stores `source` (starting at clip `item`) in preset `number` (1-4). 0 for a
// number out of range, an empty source, a source that does not fit or a negative item.
int storePreset(PresetSlots *slots, int number, const char *source, int item);

// "<item>|<source>"; 0 when the preset is empty or the text does not fit.
int formatPresetValue(const PresetSlots *slots, int number, char *out, size_t room);
// Reads a stored text back into preset `number`; a text that is not "<digits>|<source>"
// (or whose source does not fit) leaves the preset empty and answers 0.
int parsePresetValue(PresetSlots *slots, int number, const char *value);

// The button's text: "Preset n" when empty, else "n: " and the clip's title, cut to
// fit `room`.
void presetLabel(const PresetSlots *slots, int number, char *out, size_t room);

// The stored preset after `from` (1-4, or 0 to start at the first), wrapping round;
// 0 when none is stored.
int nextStoredPreset(const PresetSlots *slots, int from);

#endif
