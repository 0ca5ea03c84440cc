// frame_scan: byte-order detection and frame walking for a52wav (see frame_scan.h).
#include "outside/a52wav/frame_scan.h"

#include <string.h>

#include "common/tx_util.h"

namespace {

// Bit rates in kb/s of the frame-size codes 2k and 2k+1.
static const int kBitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                  192, 224, 256, 320, 384, 448, 512, 576, 640};
static_assert(ARRAY_SIZE(kBitRates) == 19, "19 bit rates, 38 size codes");

static const int kRates[3] = {48000, 44100, 32000};

// Byte i of the frame in A/52 order, for a frame starting at offset in the given order.
uint8_t headerByte(const FrameScan* scan, size_t offset, size_t i) {
  size_t at = offset + (scan->order == ORDER_WORDS_LE ? (i ^ 1u) : i);
  return at < scan->size ? scan->data[at] : 0;
}

bool syncAt(const FrameScan* scan, size_t at) {
  if (at + 1 >= scan->size) return false;
  if (scan->order == ORDER_A52) return scan->data[at] == 0x0B && scan->data[at + 1] == 0x77;
  return scan->data[at] == 0x77 && scan->data[at + 1] == 0x0B;
}

}  // namespace

int frameWords(int fscod, int frmsizecod) {
  if (fscod < 0 || fscod > 2 || frmsizecod < 0 || frmsizecod > 37) return 0;
  int kbps = kBitRates[frmsizecod >> 1];
  switch (fscod) {
    case 0: return 2 * kbps;
    case 1: return kbps * 96000 / 44100 + (frmsizecod & 1);  // 1536 * rate / 16 bits / 44100
    default: return 3 * kbps;
  }
}

int streamRate(int fscod, int bsid) {
  if (fscod < 0 || fscod > 2 || bsid < 0 || bsid > 10) return 0;
  int shift = bsid == 9 ? 1 : bsid == 10 ? 2 : 0;
  return kRates[fscod] >> shift;
}

ByteOrder scanStart(FrameScan* scan, const uint8_t* data, size_t size) {
  scan->data = data;
  scan->size = size;
  scan->pos = 0;
  scan->order = ORDER_NONE;
  for (size_t i = 0; i + 1 < size; ++i) {
    if (data[i] == 0x0B && data[i + 1] == 0x77) {
      scan->order = ORDER_A52;
      break;
    }
    if (data[i] == 0x77 && data[i + 1] == 0x0B) {
      scan->order = ORDER_WORDS_LE;
      break;
    }
  }
  return scan->order;
}

ScanResult scanNext(FrameScan* scan, FrameSpot* spot) {
  memset(spot, 0, sizeof(*spot));
  if (scan->order == ORDER_NONE) return SCAN_END;
  size_t start = scan->pos;
  for (size_t at = scan->pos; at + 1 < scan->size; ++at) {
    if (!syncAt(scan, at)) continue;
    uint8_t b4 = headerByte(scan, at, 4);
    uint8_t b5 = headerByte(scan, at, 5);
    int fscod = b4 >> 6;
    int frmsizecod = b4 & 0x3F;
    int bsid = b5 >> 3;
    int words = frameWords(fscod, frmsizecod);
    if (words == 0 || bsid > 10) continue;  // a sync pattern inside garbage
    spot->offset = at;
    spot->bytes = (size_t)words * 2;
    spot->skipped = at - start;
    spot->fscod = fscod;
    spot->frmsizecod = frmsizecod;
    spot->bsid = bsid;
    if (spot->bytes > scan->size - at) {
      scan->pos = scan->size;
      return SCAN_TRUNCATED;
    }
    scan->pos = at + spot->bytes;
    return SCAN_FRAME;
  }
  scan->pos = scan->size;
  return SCAN_END;
}

size_t copyFrameForLibrary(const FrameScan* scan, const FrameSpot* spot, uint8_t* out, size_t cap) {
  if (spot->bytes > cap || spot->offset > scan->size || spot->bytes > scan->size - spot->offset) return 0;
  const uint8_t* src = scan->data + spot->offset;
  if (scan->order == ORDER_WORDS_LE) {
    memcpy(out, src, spot->bytes);
  } else {
    for (size_t i = 0; i + 1 < spot->bytes; i += 2) {
      out[i] = src[i + 1];
      out[i + 1] = src[i];
    }
  }
  return spot->bytes;
}
