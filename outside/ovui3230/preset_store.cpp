// Storing, keeping and playing back the presets (preset_store.h).
#include "outside/ovui3230/preset_store.h"

#include <stdio.h>

#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/controls.h"
#include "outside/ovui3230/library_prefs.h"
#include "outside/ovui3230/playback.h"

namespace {

void PresetName(int number, char *out, size_t room) { snprintf(out, room, "Preset%d", number); }

// Keeps the slot in the store and shows it on its button.
void SavePreset(Player *p, int number) {
  char name[16], value[kPresetValueSize];
  PresetName(number, name, sizeof name);
  if (formatPresetValue(&p->presets, number, value, sizeof value) && !WritePreference(name, value))
    Log("PresetNotSaved\t%d", number);
  ShowPresetLabels(p);
  char title[kPresetLabelSize], status[kPresetLabelSize + 32];
  clipTitle(p->presets.source[number - 1], title, sizeof title);
  snprintf(status, sizeof status, "Preset %d keeps %s", number, title);
  SetStatus(p, status);
}

}  // namespace

void LoadPresets(Player *p) {
  for (int n = 1; n <= kPresetCount; ++n) {
    char name[16], value[kPresetValueSize];
    PresetName(n, name, sizeof name);
    ReadPreference(name, value, sizeof value, "");
    if (value[0] && !parsePresetValue(&p->presets, n, value)) Log("PresetIgnored\t%d", n);
  }
}

void StorePlayingAsPreset(Player *p, int number) {
  PresetRoute route = presetRoute(p->itemCount ? p->source : "");
  if (route == kPresetNothing) {
    SetStatus(p, "Play a clip to keep it in a preset");
    return;
  }
  PresetFromFileFn ask = p->client->setup.presetFromFile;
  if (route == kPresetAskShell && ask) {
    Log("PresetFromFile\t%d\t%d", number, p->current);
    int taken = ask(number, p->current);
    Log("PresetFromFileAnswer\t%d", taken);
    if (taken) return;  // the shell called TxguiSetPreset with the file's location
  }
  if (storePreset(&p->presets, number, p->source, p->current)) {
    Log("PresetStored\t%d\t%d\t%s", number, p->current, p->source);
    SavePreset(p, number);
  }
}

int SetPresetFromShell(Player *p, intptr_t a, intptr_t b, const char *url) {
  if (a < 1 || a > kPresetCount || b < 0 || b > kMaxClipItems) return 0;
  if (!storePreset(&p->presets, (int)a, url, (int)b)) return 0;
  Log("PresetStored\t%d\t%d\t%s", (int)a, (int)b, url);
  SavePreset(p, (int)a);
  return 1;
}

void RecallPreset(Player *p, int number) {
  if (number < 1 || number > kPresetCount || p->presets.source[number - 1][0] == '\0') return;
  p->presets.last = number;
  const char *source = p->presets.source[number - 1];
  int item = p->presets.item[number - 1];
  Log("PresetPlay\t%d\t%d\t%s", number, item, source);
  char why[512] = "";
  if (!SetPlayerSource(p, source, why, sizeof why)) {
    Log("SourceFailed\t%s\t%s", source, why);
    SetStatus(p, why);
    return;
  }
  StartItem(p, item < p->itemCount ? item : 0);
}

void ScanPresets(Player *p) {
  int next = nextStoredPreset(&p->presets, p->presets.last);
  if (next == 0) {
    SetStatus(p, "No preset is set");
    return;
  }
  RecallPreset(p, next);
}
