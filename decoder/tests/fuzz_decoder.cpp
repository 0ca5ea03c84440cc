// libFuzzer target over the decoder core's three entry points: arbitrary bytes as frames,
// with lost-frame calls and re-initialisations mixed in.
//
// Input: one control byte (output channels, caller's rate), then a sequence of operations,
// each introduced by one byte: bit 0 set = lost frame (flags 0); bit 1 set (rarely) =
// re-initialise with the other channel count; otherwise a frame follows. A frame whose
// header names a valid size is handed over in a heap buffer of exactly that size (the
// caller's contract: the buffer holds the whole frame), filled with the bytes that remain
// and zeros; a frame without a usable header gets a buffer of the largest frame size,
// 3840 bytes. The output buffer is exactly the announced size. AddressSanitizer thus
// catches any read past the frame or write past the output.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "decoder/interface.h"

namespace {

enum { MAX_FRAME_BYTES = 3840, MAX_OPS = 12 };

static const int kRates[8] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 0};
static const int kKbps[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};

// Frame size in bytes from a header stored in the library's word order, 0 if unusable.
size_t frameBytes(const uint8_t* p, size_t n) {
  if (n < 6 || p[0] != 0x77 || p[1] != 0x0B) return 0;
  int fscod = p[5] >> 6, code = p[5] & 0x3F;
  if (fscod == 3 || code > 37) return 0;
  int kbps = kKbps[code >> 1];
  int words = fscod == 0 ? 2 * kbps : fscod == 1 ? kbps * 96000 / 44100 + (code & 1) : 3 * kbps;
  return (size_t)words * 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int channels = (data[0] & 1) ? 1 : 2;
  int samples = 0;
  if (dbInitDecoder(kRates[(data[0] >> 1) & 7], channels, &samples) != 0) {
    if (dbInitDecoder(44100, channels, &samples) != 0) abort();
  }
  if (samples != channels * 1536) abort();
  short* pcm = (short*)malloc(sizeof(short) * (size_t)samples);
  size_t pos = 1;
  for (int op = 0; op < MAX_OPS && pos < size; ++op) {
    uint8_t code = data[pos++];
    if (code & 1) {
      if (dbDecode(nullptr, pcm, 0) < -1) abort();
      continue;
    }
    if ((code & 0x0E) == 0x0E) {
      channels = 3 - channels;
      free(pcm);
      if (dbInitDecoder(32000, channels, &samples) != 0 || samples != channels * 1536) abort();
      pcm = (short*)malloc(sizeof(short) * (size_t)samples);
      continue;
    }
    size_t rest = size - pos;
    size_t need = frameBytes(data + pos, rest);
    size_t cap = need ? need : MAX_FRAME_BYTES;
    uint8_t* frame = (uint8_t*)calloc(cap, 1);
    size_t take = rest < cap ? rest : cap;
    memcpy(frame, data + pos, take);
    pos += take;
    int rc = dbDecode(frame, pcm, 1);
    if (rc != 0 && rc != -1) abort();
    free(frame);
  }
  dbFreeDecoder();
  free(pcm);
  return 0;
}
