// TXSETUP (Windows): the sound device check over winmm's wave-output devices, its
// mark in the script for the cards that want 11025 samples/s, and its messages.
#include <windows.h>
#include <mmsystem.h>

#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/sound_check.h"

static_assert(WAVERR_SYNC == kWaveOpenSyncOnly, "the synchronous-only answer of an open");

static int winmmDeviceCount(void *) { return (int)waveOutGetNumDevs(); }

static int winmmProductName(void *, int device, char *out, size_t room) {
  WAVEOUTCAPSA caps;
  if (waveOutGetDevCapsA((UINT_PTR)device, &caps, sizeof caps) != MMSYSERR_NOERROR) return 0;
  lstrcpynA(out, caps.szPname, (int)room);
  return 1;
}

static int winmmOpenAndClose(void *context, int device) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kSoundSampleRate;
  format.nAvgBytesPerSec = 2 * kSoundSampleRate;
  format.nBlockAlign = 2;
  format.wBitsPerSample = 16;
  HWAVEOUT wave = nullptr;
  MMRESULT r = waveOutOpen(&wave, (UINT)device, &format, (DWORD_PTR)(HWND)context, 0, CALLBACK_WINDOW);
  if (r == MMSYSERR_NOERROR) waveOutClose(wave);
  return (int)r;
}

int runSoundCheck(HWND window) {
  WaveOutApi api = {window, winmmDeviceCount, winmmProductName, winmmOpenAndClose};
  SoundCheck c = checkSoundDevices(&api, window != nullptr);
  if (c.install11) WritePrivateProfileStringA("INI File", "Install11", "1", g_app.script.path);
  if (c.verdict == kSoundPasses) return 1;
  char upper[512], lower[512];
  loadText(c.verdict == kSoundNoDriver ? IDS_NO_SOUND_DRIVER : IDS_SPEAKER_DRIVER, upper, sizeof upper);
  loadText(c.verdict == kSoundNoDriver ? IDS_NEEDS_DRIVERS : IDS_NEEDS_CARD, lower, sizeof lower);
  errorBoxText(window, upper, lower);
  return 0;
}
