// Fuzz target of what the player library stand-in reads from files and the network:
// clip lists, HTTP answers, locations and stored presets.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "outside/ovui3230/clip_source.h"
#include "outside/ovui3230/presets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static char items[kMaxClipItems][kClipTextSize];
  looksLikeClipList(data, size);
  parseClipList(data, size, items, kMaxClipItems);
  int status;
  size_t offset, length;
  if (parseHttpAnswer(data, size, &status, &offset, &length) && offset + length > size) __builtin_trap();
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  char host[kHostSize], path[kClipTextSize], title[64];
  int port;
  parseLocation(text.data(), host, sizeof host, &port, path, sizeof path);
  clipTitle(text.data(), title, sizeof title);
  localPathOf(text.data(), path, sizeof path);
  static PresetSlots presets;
  if (parsePresetValue(&presets, 1, text.data())) {
    char value[kPresetValueSize], label[kPresetLabelSize];
    if (!formatPresetValue(&presets, 1, value, sizeof value)) __builtin_trap();
    presetLabel(&presets, 1, label, sizeof label);
  }
  return 0;
}
