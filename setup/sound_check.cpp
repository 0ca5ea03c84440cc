// The walk over the wave-output devices and its verdict.
#include "setup/sound_check.h"

#include <string.h>

#include "common/tx_util.h"

static const char *const kLowRateCards[] = {"MultiSound Wave Out", "Tahiti Wave Out"};
static_assert(ARRAY_SIZE(kLowRateCards) == 2, "the cards that want 11025 samples/s");

int wantsLowSampleRate(const char *productName) {
  for (const char *card : kLowRateCards)
    if (strcmp(card, productName) == 0) return 1;
  return 0;
}

SoundCheck checkSoundDevices(const WaveOutApi *api, int canOpen) {
  SoundCheck c = {kSoundNoDriver, 0, 0, -1};
  int lastSyncOnly = 0;
  int count = api->deviceCount(api->context);
  for (int device = 0; device < count; ++device) {
    char name[kWaveNameSize] = "";
    if (!api->productName(api->context, device, name, sizeof name)) continue;
    name[sizeof name - 1] = '\0';
    ++c.examined;
    if (wantsLowSampleRate(name)) c.install11 = 1;
    if (!canOpen) {
      lastSyncOnly = 0;
      break;
    }
    int result = api->openAndClose(api->context, device);
    lastSyncOnly = result == kWaveOpenSyncOnly;
    if (!lastSyncOnly) {
      c.openedDevice = device;
      break;
    }
  }
  if (c.examined == 0) c.verdict = kSoundNoDriver;
  else if (lastSyncOnly) c.verdict = kSoundSpeakerOnly;
  else c.verdict = kSoundPasses;
  return c;
}
