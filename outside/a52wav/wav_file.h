// wav_file: writes a RIFF WAVE file of 16-bit PCM, streaming, for a52wav.
//
// The header is written first with zero sizes and patched by wavClose once the sample
// count is known; samples are stored little-endian whatever the host order.
#pragma once

#include <stdint.h>
#include <stdio.h>

struct WavFile {
  FILE* file;
  int channels;
  int rate;
  uint32_t dataBytes;
  int failed;  // set when a write failed; every later call then does nothing
};

// Creates path and writes the header. Returns 1 on success, 0 when the file cannot be
// created or written (wav->file is then null).
int wavOpen(WavFile* wav, const char* path, int channels, int rate);

// Appends count interleaved samples. Returns 1 on success, 0 on a write failure or when
// the data would pass the 4 GB limit of the format.
int wavWrite(WavFile* wav, const int16_t* samples, size_t count);

// Patches the sizes and closes the file. Returns 1 on success, 0 when any write failed.
int wavClose(WavFile* wav);
