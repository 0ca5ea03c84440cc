// The wave-output device and the WAVE file fallback (audio_output.h).
#include "outside/ovui3230/audio_output.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"
#include "outside/ovui3230/clip_source.h"

namespace {

const DWORD kBufferWaitMs = 200;

void WavePathFor(const char *item, char *out, size_t room) {
  char title[MAX_PATH];
  clipTitle(item, title, sizeof title);
  char *dot = strrchr(title, '.');
  if (dot) *dot = '\0';
  if (sourceKind(item) == kSourceLocal) {
    char path[kClipTextSize];
    localPathOf(item, path, sizeof path);
    char *slash = strrchr(path, '\\');
    if (slash) {
      slash[1] = '\0';
      snprintf(out, room, "%s%s.wav", path, title);
    } else {
      snprintf(out, room, "%s.wav", title);
    }
    return;
  }
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof temp) temp[0] = '\0';
  snprintf(out, room, "%s%s.wav", temp, title);
}

int OpenDevice(Output *o, int channels, int rate) {
  WAVEFORMATEX fmt = {};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = (WORD)channels;
  fmt.nSamplesPerSec = (DWORD)rate;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = (WORD)(2 * channels);
  fmt.nAvgBytesPerSec = fmt.nSamplesPerSec * fmt.nBlockAlign;
  o->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (o->done &&
      waveOutOpen(&o->device, WAVE_MAPPER, &fmt, (DWORD_PTR)o->done, 0, CALLBACK_EVENT) == MMSYSERR_NOERROR) {
    o->useDevice = 1;
    for (int i = 0; i < kDeviceBuffers; ++i) {
      o->buffers[i] = static_cast<int16_t *>(calloc(kFramesPerBuffer * 2 * kSamplesPerChannel, sizeof(int16_t)));
      o->headers[i].dwFlags = WHDR_DONE;
    }
    return 1;
  }
  if (o->done) CloseHandle(o->done);
  o->done = nullptr;
  return 0;
}

}  // namespace

int OpenOutput(Output *o, const char *item, int channels, int rate, char *where, size_t whereRoom) {
  memset(o, 0, sizeof *o);
  if (waveOutGetNumDevs() > 0 && OpenDevice(o, channels, rate)) {
    copyBounded(where, whereRoom, "wave device");
    return 1;
  }
  WavePathFor(item, where, whereRoom);
  return wavOpen(&o->wav, where, channels, rate);
}

int WriteOutput(Output *o, const int16_t *samples, size_t count, volatile LONG *stop) {
  if (!o->useDevice) return wavWrite(&o->wav, samples, count);
  WAVEHDR *h = &o->headers[o->next];
  while (!(h->dwFlags & WHDR_DONE)) {
    if (*stop) return 1;
    WaitForSingleObject(o->done, kBufferWaitMs);
  }
  if (h->dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(o->device, h, sizeof *h);
  if (o->buffers[o->next] == nullptr) return 0;
  size_t bytes = count * sizeof(int16_t);
  memcpy(o->buffers[o->next], samples, bytes);
  memset(h, 0, sizeof *h);
  h->lpData = reinterpret_cast<LPSTR>(o->buffers[o->next]);
  h->dwBufferLength = (DWORD)bytes;
  if (waveOutPrepareHeader(o->device, h, sizeof *h) != MMSYSERR_NOERROR) return 0;
  if (waveOutWrite(o->device, h, sizeof *h) != MMSYSERR_NOERROR) return 0;
  o->next = (o->next + 1) % kDeviceBuffers;
  return 1;
}

int CloseOutput(Output *o, int stopped) {
  if (!o->useDevice) return wavClose(&o->wav);
  if (stopped) waveOutReset(o->device);
  for (int i = 0; i < kDeviceBuffers; ++i) {
    while (!(o->headers[i].dwFlags & WHDR_DONE) && (o->headers[i].dwFlags & WHDR_PREPARED))
      WaitForSingleObject(o->done, kBufferWaitMs);
    if (o->headers[i].dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(o->device, &o->headers[i], sizeof(WAVEHDR));
    free(o->buffers[i]);
  }
  waveOutClose(o->device);
  CloseHandle(o->done);
  return 1;
}
