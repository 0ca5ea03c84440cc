// wav_file: RIFF WAVE writer (see wav_file.h).
#include "outside/a52wav/wav_file.h"

#include <string.h>

namespace {

enum { HEADER_BYTES = 44 };

void put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
  put16(p, v & 0xFFFF);
  put16(p + 2, v >> 16);
}

void buildHeader(const WavFile* wav, uint8_t* h) {
  memcpy(h, "RIFF", 4);
  put32(h + 4, 36 + wav->dataBytes);
  memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);  // fmt chunk size
  put16(h + 20, 1);   // PCM
  put16(h + 22, (uint32_t)wav->channels);
  put32(h + 24, (uint32_t)wav->rate);
  put32(h + 28, (uint32_t)(wav->rate * wav->channels * 2));  // bytes per second
  put16(h + 32, (uint32_t)(wav->channels * 2));              // block align
  put16(h + 34, 16);                                         // bits per sample
  memcpy(h + 36, "data", 4);
  put32(h + 40, wav->dataBytes);
}

}  // namespace

int wavOpen(WavFile* wav, const char* path, int channels, int rate) {
  memset(wav, 0, sizeof(*wav));
  wav->channels = channels;
  wav->rate = rate;
  wav->file = fopen(path, "wb");
  if (!wav->file) return 0;
  uint8_t h[HEADER_BYTES];
  buildHeader(wav, h);
  if (fwrite(h, 1, sizeof(h), wav->file) != sizeof(h)) {
    fclose(wav->file);
    wav->file = nullptr;
    return 0;
  }
  return 1;
}

int wavWrite(WavFile* wav, const int16_t* samples, size_t count) {
  if (!wav->file || wav->failed) return 0;
  if (count > (0xFFFFFFFFu - HEADER_BYTES - wav->dataBytes) / 2) {
    wav->failed = 1;
    return 0;
  }
  uint8_t buf[4096];
  size_t done = 0;
  while (done < count) {
    size_t n = count - done;
    if (n > sizeof(buf) / 2) n = sizeof(buf) / 2;
    for (size_t i = 0; i < n; ++i) put16(buf + 2 * i, (uint16_t)samples[done + i]);
    if (fwrite(buf, 1, 2 * n, wav->file) != 2 * n) {
      wav->failed = 1;
      return 0;
    }
    done += n;
  }
  wav->dataBytes += (uint32_t)(2 * count);
  return 1;
}

int wavClose(WavFile* wav) {
  if (!wav->file) return 0;
  int ok = !wav->failed;
  if (ok) {
    uint8_t h[HEADER_BYTES];
    buildHeader(wav, h);
    ok = fseek(wav->file, 0, SEEK_SET) == 0 && fwrite(h, 1, sizeof(h), wav->file) == sizeof(h);
  }
  if (fclose(wav->file) != 0) ok = 0;
  wav->file = nullptr;
  return ok;
}
