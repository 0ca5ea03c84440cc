// The decoder core's command entry point and the decoding of one audio block:
// header at block 0, side information, channels, mixing, transform, output.
#include "decoder/core.h"

#include <cstring>

#include "decoder/allocation.h"
#include "decoder/blockinfo.h"
#include "decoder/transform.h"

DecoderState g_decoder;

static uint32_t Result(int status) { return (uint32_t)(uint16_t)status << 16 | kInterfaceRevision; }

// The header (with additional information skipped, not read) lies within the
// first 64 words, the size of the smallest frame.
static const int kHeaderWords = 64;

static int FrameInfo(DecoderState& d, const FrameInfoRequest& req) {
  int limit = FrameLimitWords(req.data, req.startBit, req.wordFormat);
  ReaderStart(d.reader, req.data, req.startBit, req.wordFormat, limit < kHeaderWords ? limit : kHeaderWords);
  ParseFrameHeader(d.reader, d.header);
  int status = FrameHeaderStatus(d.header);
  BuildFrameInfoRecord(d.header, status, d.frameInfo);
  return status;
}

// Block 0: reads the frame header again, which also resets the dynamic range
// words and the delta bit allocation of every channel.
static int StartFrame(DecoderState& d, const BlockRequest& req) {
  int limit = FrameLimitWords(req.data, req.startBit, req.wordFormat);
  ReaderStart(d.reader, req.data, req.startBit, req.wordFormat, limit);
  ParseFrameHeader(d.reader, d.header);
  d.block.dynrng = d.block.dynrng2 = 0;
  for (DeltaSegments& seg : d.block.delta) seg.count = 0;
  const FrameHeader& h = d.header;
  if (h.bsid > 10) return kStatusBadBsid;
  if (h.nfchans > 5 || h.nfchans + h.lfeon > 6) return kStatusTooManyChannels;
  int status = FrameHeaderStatus(h);  // sync word and size codes, which FrameInfo checked before
  return status;
}

static void DecodeChannels(DecoderState& d) {
  const int nf = d.header.nfchans;
  BeginMix(d);
  for (int ch = 0; ch < nf; ch++) {
    PrepareChannel(d, ch);
    if (d.block.anyRematrix && ch == 0) continue;  // both halves first
    if (d.block.anyRematrix && ch == 1) {
      Rematrix(d);
      MixChannel(d, 0);
    }
    MixChannel(d, ch);
  }
  if (d.header.lfeon) {
    PrepareLfe(d);
    MixChannel(d, kLfeIndex);
  }
  TransformOutputs(d);
}

static int DecodeBlock(DecoderState& d, const BlockRequest& req) {
  d.outMode = (int16_t)(req.modeWord & 7);
  d.outLfe = (int16_t)((req.modeWord >> 3) & 1);
  d.dualMode = (int16_t)((req.modeWord >> 8) & 3);
  d.compMode = (int16_t)((req.modeWord >> 12) & 3);
  if (!d.initialised) {
    d.dither = 1;
    d.prevOutMode = d.prevOutLfe = -1;
    d.initialised = 1;
  }
  if (d.outMode != d.prevOutMode || d.outLfe != d.prevOutLfe) {
    std::memset(d.delay, 0, sizeof d.delay);
    d.prevOutMode = d.outMode;
    d.prevOutLfe = d.outLfe;
  }
  for (int k = 0; k < kSlots; k++) d.written[k] = 0;

  if (req.blockIndex < 0 || req.blockIndex > 5) {
    d.status = kStatusInconsistent;
  } else if (req.blockIndex == 0) {
    d.status = (int16_t)StartFrame(d, req);
  }
  if (d.status == 0) {
    d.blockStart[req.blockIndex] = Mark(d.reader);
    d.status = (int16_t)ParseSideInformation(d, req.blockIndex);
  }
  if (d.status == 0) {
    BuildMatrix(d, req);
    SetupAllocation(d, req);
    DecodeChannels(d);
  } else {
    ClearOutputs(d);
  }
  const int count = OutputChannelCount(d);
  if (!WindowAndOutputStereo(d, req))
    for (int k = 0; k < count; k++) WindowAndOutput(d, req, k);
  return d.status;
}

uint32_t DecoderCommand(uint32_t command, const void* record, const int16_t** info) {
  DecoderState& d = g_decoder;
  switch (command & 0xFFFF) {
    case kCmdInit: d.initialised = 0; return Result(0);
    case kCmdFrameInfo: {
      if (!record) return 0xFFFFFFFFu;
      int status = FrameInfo(d, *static_cast<const FrameInfoRequest*>(record));
      if (info) *info = d.frameInfo;
      return Result(status);
    }
    case kCmdCrc: {
      if (!record) return 0xFFFFFFFFu;
      const CrcRequest& req = *static_cast<const CrcRequest*>(record);
      int count = req.wordCount < 0 ? 0 : req.wordCount;
      return Result(FrameCrc((uint16_t)(command >> 16), req.data, count));
    }
    case kCmdDecodeBlock:
      if (!record) return 0xFFFFFFFFu;
      return Result(DecodeBlock(d, *static_cast<const BlockRequest*>(record)));
    default: return 0xFFFFFFFFu;
  }
}
