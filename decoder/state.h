// The decoder's state record and the records its commands take: the constants
// of the channel layout, the block statuses, the FrameInfo, Crc and block
// requests, the side information of one block and DecoderState itself. Every
// stage works on these; the stages do not include one another for them.
#ifndef TXDECODE_STATE_H
#define TXDECODE_STATE_H

#include <cstddef>
#include <cstdint>

#include "decoder/bitstream.h"

constexpr int kMaxChannels = 5;  // full-bandwidth channels of a stream
constexpr int kSlots = 6;        // L, C, R, Ls/S, Rs, LFE
constexpr int kBins = 256;
constexpr int kCplIndex = kMaxChannels;      // coupling channel in per-channel arrays
constexpr int kLfeIndex = kMaxChannels + 1;  // LFE channel in per-channel arrays
constexpr int kAllChannels = kMaxChannels + 2;

// Block statuses beyond those of FrameInfo (1 to 4).
enum BlockStatus : int16_t {
  kStatusOk = 0,
  kStatusBadBsid = 3,  // bsid above 10
  kStatusTooManyChannels = 4,
  kStatusInconsistent = 5,  // side information violates an A/52 consistency rule
};

struct FrameInfoRequest {
  int16_t fieldCount;  // 5
  const void* data;    // first word of the frame
  int16_t startBit;
  int16_t reserved;
  int16_t wordFormat;
};

struct CrcRequest {
  int16_t fieldCount;
  const void* data;
  int16_t startBit;
  int16_t reserved;
  int16_t wordFormat;
  int16_t wordCount;  // 16-bit words to check
};

struct BlockRequest {
  int16_t fieldCount;  // 16
  const void* data;    // the frame, first word = sync word
  int16_t startBit;
  int16_t reserved;
  int16_t wordFormat;
  double* const* outSlots;    // 6 pointers, slot order L, C, R, Ls/S, Rs, LFE
  const int16_t* outStrides;  // 6 strides in doubles
  const int16_t* reservedTable;
  int16_t modeWord;    // bits 0-2 output mode, 3 LFE out, 8-9 dual mono, 12-13 compression
  int16_t blockIndex;  // 0 to 5
  double cutScale;
  double boostScale;
  double pcmScale;
  int16_t rampLength;
  const double* customDownmix;  // 36 doubles [out slot][in slot], or null
  const void* customTable;
  int16_t reserved2;
};

// The record carries pointers, so its layout follows the build's pointer size;
// these pin the field order that the driver and the core share.
static_assert(offsetof(BlockRequest, data) > offsetof(BlockRequest, fieldCount), "field order");
static_assert(offsetof(BlockRequest, outSlots) > offsetof(BlockRequest, wordFormat), "field order");
static_assert(offsetof(BlockRequest, modeWord) > offsetof(BlockRequest, reservedTable), "field order");
static_assert(offsetof(BlockRequest, pcmScale) > offsetof(BlockRequest, boostScale), "field order");
static_assert(offsetof(BlockRequest, reserved2) > offsetof(BlockRequest, customTable), "field order");
static_assert(offsetof(FrameInfoRequest, wordFormat) == offsetof(CrcRequest, wordFormat),
              "FrameInfo and Crc requests share their first fields");

// Where a channel's exponent groups lie in the stream (noted by the side
// information parse, read later by DecodeExponents).
struct ExponentRecord {
  int16_t groupSize;  // 1, 2, 4
  int16_t groupCount;
  int16_t firstExp;   // absolute exponent (or 2 x cplabsexp)
  uint32_t position;  // reader mark at the first group
};

struct DeltaSegments {
  int16_t count;
  int16_t offset[8], length[8], code[8];
};

// Grouped mantissas of bap 1, 2 and 4: digits still held, next digit in the top
// nibble. Shared by all channels of a block in stream order.
struct MantissaGroups {
  int16_t count1, count2, count4;
  uint16_t digits1, digits2, digits4;
};

struct BlockState {
  int16_t blksw[kMaxChannels], dithflag[kMaxChannels];
  int16_t dynrng, dynrng2;
  int16_t cplinu, chincpl[kMaxChannels], firstCoupled, phsflginu;
  int16_t cplbegf, cplendf;  // cplendf holds the index one past the last sub-band
  int16_t cplstrtmant, cplendmant;
  int16_t cplbndstrc[18];
  int16_t cplcoe[kMaxChannels];
  double cplcoMant[kMaxChannels][18];
  int16_t cplcoExp[kMaxChannels][18];
  int16_t rematstr, rematflg[4], rematBands, anyRematrix;
  int16_t cplexpstr, chexpstr[kMaxChannels], lfeexpstr;
  int16_t endmant[kMaxChannels];
  ExponentRecord expRecord[kAllChannels];
  int16_t gainrng[kMaxChannels];
  int16_t baie, sdcycod, fdcycod, sgaincod, dbpbcod, floorcod;
  int16_t snroffste, csnroffst, cplfsnroffst, cplfgaincod;
  int16_t fsnroffst[kMaxChannels], fgaincod[kMaxChannels], lfefsnroffst, lfefgaincod;
  int16_t cplleake, cplfleak, cplsleak;
  int16_t deltbaie, cpldeltbae, deltbae[kMaxChannels];
  DeltaSegments delta[kMaxChannels + 1];  // channels, then coupling
};

struct DecoderState {
  // Command interface and frame
  int16_t initialised;
  int16_t status;          // block status, reset at block 0
  int16_t frameInfo[10];   // last FrameInfo record
  uint32_t blockStart[6];  // stream bit (from the frame's first bit) where each block began
  FrameHeader header;
  BitReader reader;
  BlockState block;

  // Exponents and bit allocation
  int16_t exps[kAllChannels][kBins];
  uint8_t bap[kAllChannels][kBins];
  MantissaGroups groups;
  int16_t dither;
  int16_t sdecay, fdecay, sgain, dbknee, floorLevel, anyOffset;  // this block's allocation
  int16_t cplNoted;                                              // the coupling mantissas of this block were read
  double cplValues[kBins];  // their quantised values, for the later coupled channels

  // Per-block gains: mantissa, exponent and headroom shift per channel
  double gainMant[kAllChannels];
  int16_t gainExp[kAllChannels];
  int16_t headroom[kAllChannels];
  int16_t overload;

  // Coefficients of the channels being prepared
  double coeffs[kAllChannels][kBins];

  // Output side: matrix, frequency-domain mix, accumulators, delay lines
  int16_t outMode, outLfe, dualMode, compMode, prevOutMode, prevOutLfe;
  double matrix[kSlots][kSlots];
  int32_t matrixKey;  // the inputs the standard matrix was built from; 0: none (or custom)
  double mixLong[kSlots][kBins], mixShort[kSlots][kBins];
  int16_t hasLong[kSlots], hasShort[kSlots];
  double accum[kSlots][kBins];
  int16_t written[kSlots];
  double delay[kSlots][128];

  // Frame driver (the exports)
  int32_t outputChannels;                // 1 or 2; 0 before the first dbInitDecoder
  double staging[2 * 1536];              // six blocks of output before conversion
  uint8_t lastGood[kMaxFrameWords * 2];  // most recent frame decoded without error
};

#endif
