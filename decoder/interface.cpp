// The library's exports and the frame driver: one dbDecode call runs six
// block decodes of the core, conceals lost and bad frames with the last good
// one, and converts the staged samples to 16-bit PCM.
#include "decoder/interface.h"

#include <cstring>

#include "decoder/core.h"
#include "decoder/transform.h"

static const int kRates[6] = {8000, 11025, 16000, 22050, 32000, 44100};
static const int16_t kStrides[kSlots] = {2, 1, 2, 1, 1, 1};
static const int16_t kNoTable[kSlots] = {0, 0, 0, 0, 0, 0};
static_assert(sizeof(int) == 4 && sizeof(short) == 2, "the exports' argument types");
static_assert(sizeof g_decoder.lastGood == 3840, "last good frame holds the largest frame");

// Frame size in words of the frame at data, 0 when it is not decodable.
static int FrameWords(const void* data) {
  FrameInfoRequest req = {5, data, 0, 0, 0};
  const int16_t* info = nullptr;
  uint32_t result = DecoderCommand(kCmdFrameInfo, &req, &info);
  return (result >> 16) == 0 && info ? info[2] : 0;
}

extern "C" int TX_WINAPI dbInitDecoder(int sampleRate, int channels, int* samplesPerFrame) {
  bool known = false;
  for (int rate : kRates) known = known || rate == sampleRate;
  if (!known) return -1;
  g_decoder.outputChannels = channels == 2 ? 2 : 1;
  if (samplesPerFrame) *samplesPerFrame = g_decoder.outputChannels * 1536;
  DecoderCommand(kCmdInit, nullptr);
  return 0;
}

extern "C" int TX_WINAPI dbDecode(const void* frame, short* pcm, int flags) {
  DecoderState& d = g_decoder;
  const int channels = d.outputChannels;
  if (channels == 0 || !pcm) return -1;  // not initialised, or nowhere to write
  const int samples = channels * 1536;

  const void* source = (flags & 1) && frame ? frame : static_cast<const void*>(d.lastGood);
  int words = FrameWords(source);
  if (words == 0 && source != d.lastGood) {
    source = d.lastGood;
    words = FrameWords(source);
  }
  if (words == 0) {
    std::memset(pcm, 0, (size_t)samples * sizeof(short));
    return 0;
  }

  double* slots[kSlots] = {};
  BlockRequest req = {};
  req.fieldCount = 16;
  req.data = source;
  req.outSlots = slots;
  req.outStrides = kStrides;
  req.reservedTable = kNoTable;
  req.modeWord = (int16_t)(0x2000 + channels);
  req.pcmScale = 1.0;
  bool failed = false;
  for (int b = 0; b < 6; b++) {
    if (channels == 2) {
      slots[0] = d.staging + 512 * b;
      slots[2] = d.staging + 512 * b + 1;
    } else {
      slots[1] = d.staging + 256 * b;
    }
    req.blockIndex = (int16_t)b;
    if ((DecoderCommand(kCmdDecodeBlock, &req) >> 16) != 0) failed = true;
  }
  ConvertToPcm(d.staging, pcm, samples);
  if (!failed && source != d.lastGood) std::memcpy(d.lastGood, source, (size_t)words * 2);
  return failed ? -1 : 0;
}

extern "C" void TX_WINAPI dbFreeDecoder(void) {}
