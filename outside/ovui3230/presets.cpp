// The player's presets (presets.h).
#include "outside/ovui3230/presets.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

const int kMaxItem = 99999;  // more than any clip list holds; keeps the stored text short

int validNumber(int number) { return number >= 1 && number <= kPresetCount; }

}  // namespace

PresetRoute presetRoute(const char *source) {
  switch (sourceKind(source)) {
    case kSourceLocal: return kPresetAskShell;
    case kSourceRemote: return kPresetStoreSource;
    default: return kPresetNothing;
  }
}

int storePreset(PresetSlots *slots, int number, const char *source, int item) {
  if (!validNumber(number) || source == nullptr || source[0] == '\0' || item < 0 || item > kMaxItem) return 0;
  if (strlen(source) >= sizeof slots->source[0]) return 0;
  copyBounded(slots->source[number - 1], sizeof slots->source[0], source);
  slots->item[number - 1] = item;
  return 1;
}

int formatPresetValue(const PresetSlots *slots, int number, char *out, size_t room) {
  if (room) out[0] = '\0';
  if (!validNumber(number) || slots->source[number - 1][0] == '\0') return 0;
  int n = snprintf(out, room, "%d|%s", slots->item[number - 1], slots->source[number - 1]);
  if (n < 0 || (size_t)n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}

int parsePresetValue(PresetSlots *slots, int number, const char *value) {
  if (!validNumber(number)) return 0;
  slots->source[number - 1][0] = '\0';
  slots->item[number - 1] = 0;
  if (value == nullptr) return 0;
  int item = 0, digits = 0;
  const char *p = value;
  while (isdigit((unsigned char)*p)) {
    if (++digits > 5) return 0;
    item = item * 10 + (*p++ - '0');
  }
  if (digits == 0 || *p != '|') return 0;
  return storePreset(slots, number, p + 1, item);
}

void presetLabel(const PresetSlots *slots, int number, char *out, size_t room) {
  if (!validNumber(number) || slots->source[number - 1][0] == '\0') {
    snprintf(out, room, "Preset %d", number);
    return;
  }
  char title[kPresetLabelSize];
  clipTitle(slots->source[number - 1], title, sizeof title);
  snprintf(out, room, "%d: %s", number, title);
}

int nextStoredPreset(const PresetSlots *slots, int from) {
  if (from < 0 || from > kPresetCount) from = 0;
  for (int step = 1; step <= kPresetCount; ++step) {
    int n = (from + step - 1) % kPresetCount + 1;
    if (slots->source[n - 1][0]) return n;
  }
  return 0;
}
