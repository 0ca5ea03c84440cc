// Where decoded audio goes: the wave-output device when one opens, else a WAVE
// file (beside a local clip with its extension made ".wav"; a fetched clip's in the
// temporary directory).
#ifndef OUTSIDE_OVUI3230_AUDIO_OUTPUT_H
#define OUTSIDE_OVUI3230_AUDIO_OUTPUT_H

#include <windows.h>
#include <mmsystem.h>

#include <stddef.h>
#include <stdint.h>

#include "outside/a52wav/wav_file.h"

enum {
  kSamplesPerChannel = 1536,  // one A/52 frame
  kFramesPerBuffer = 8,       // frames handed to the output at once
  kDeviceBuffers = 4,
};

struct Output {
  WavFile wav;
  HWAVEOUT device;
  HANDLE done;  // signalled by the device whenever a buffer is played
  WAVEHDR headers[kDeviceBuffers];
  int16_t *buffers[kDeviceBuffers];
  int next;
  int useDevice;
};

// Opens the output for a clip of 16-bit PCM; `where` names it ("wave device" or
// the WAVE file's path). 0 when neither opens.
int OpenOutput(Output *o, const char *item, int channels, int rate, char *where, size_t whereRoom);
// Sends `count` interleaved samples (at most one buffer) to the device, waiting
// for a free buffer unless `*stop` is raised, or to the file. 0 on a write error.
int WriteOutput(Output *o, const int16_t *samples, size_t count, volatile LONG *stop);
// Drains (or, when stopped, resets) the device, or completes the WAVE file.
// 0 when the file could not be completed.
int CloseOutput(Output *o, int stopped);

#endif
