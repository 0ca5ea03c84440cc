// Bit allocation against a direct implementation of A/52 section 7.2, grouped
// mantissas across channels, coupling, dequantisation, channel gain, dither and
// rematrixing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "decoder/allocation.h"
#include "decoder/blockinfo.h"
#include "decoder/core.h"
#include "decoder/tests/bit_writer.h"

namespace {

DecoderState g_state;

// ---- A/52 7.2.2, written out as the standard gives it ----

const int kBndTab[50] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,   10,  11,  12,  13,  14,  15, 16,
                         17, 18, 19, 20, 21, 22, 23, 24, 25, 26,  27,  28,  31,  34,  37,  40, 43,
                         46, 49, 55, 61, 67, 73, 79, 85, 97, 109, 121, 133, 157, 181, 205, 229};
const int kBndSz[50] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  1,  1,  1,  1,  1,  1,  1,  1,
                        1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 6, 6, 6, 6, 6, 6, 12, 12, 12, 12, 24, 24, 24, 24, 24};

int SlowMaskTab(int bin) {
  for (int b = 0; b < 50; b++)
    if (bin >= kBndTab[b] && bin < kBndTab[b] + kBndSz[b]) return b;
  return 49;
}

int SlowLogAdd(int a, int b) {
  int c = a - b;
  int address = std::min(std::abs(c) >> 1, 255);
  return c >= 0 ? a + kLaTab[address] : b + kLaTab[address];
}

int SlowLowComp(int a, int b0, int b1, int bin) {
  if (bin < 7) {
    if (b0 + 256 == b1) a = 384;
    else if (b0 > b1) a = std::max(0, a - 64);
  } else if (bin < 20) {
    if (b0 + 256 == b1) a = 320;
    else if (b0 > b1) a = std::max(0, a - 64);
  } else {
    a = std::max(0, a - 128);
  }
  return a;
}

struct AllocCase {
  int start, end, fscod, rateShift;
  int sdcycod, fdcycod, sgaincod, dbpbcod, floorcod, fgaincod, csnroffst, fsnroffst;
  int fleak, sleak;  // coupling leaks (stored form)
  int deltbae;       // 0 reuse / 1 new: delta applied; 2: none
  int delta[50];
};

void SlowBitAllocation(const AllocCase& c, const int16_t* exp, int* bap) {
  static const int slowdec[4] = {0x0f, 0x11, 0x13, 0x15}, fastdec[4] = {0x3f, 0x53, 0x67, 0x7b};
  static const int slowgain[4] = {0x540, 0x4d8, 0x478, 0x410}, dbpbtab[4] = {0x000, 0x700, 0x900, 0xb00};
  static const int floortab[8] = {0x2f0, 0x2b0, 0x270, 0x230, 0x1f0, 0x170, 0x0f0, 0xf800 - 0x10000};
  static const int fastgain[8] = {0x080, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x400};
  const int sdecay = slowdec[c.sdcycod] >> c.rateShift, fdecay = fastdec[c.fdcycod] >> c.rateShift;
  const int sgain = slowgain[c.sgaincod], dbknee = dbpbtab[c.dbpbcod], floor = floortab[c.floorcod];
  const int fgain = fastgain[c.fgaincod];
  const int snroffset = ((c.csnroffst - 15) * 16 + c.fsnroffst) * 4;  // A/52: ((csnroffst - 15) << 4 + fsnroffst) << 2
  const int start = c.start, end = c.end;
  int psd[256], bndpsd[50] = {}, excite[50] = {}, mask[50] = {};
  int fastleak = c.fleak, slowleak = c.sleak;
  if (c.csnroffst == 0 && c.fsnroffst == 0) {
    for (int bin = start; bin < end; bin++) bap[bin] = 0;
    return;
  }
  for (int bin = start; bin < end; bin++) psd[bin] = 3072 - (exp[bin] << 7);
  int j = start, k = SlowMaskTab(start), lastbin;
  do {
    lastbin = std::min(kBndTab[k] + kBndSz[k], end);
    bndpsd[k] = psd[j];
    j++;
    for (int i = j; i < lastbin; i++) {
      bndpsd[k] = SlowLogAdd(bndpsd[k], psd[j]);
      j++;
    }
    k++;
  } while (end > lastbin);
  const int bndstrt = SlowMaskTab(start), bndend = SlowMaskTab(end - 1) + 1;
  int begin;
  if (bndstrt == 0) {
    int lowcomp = 0;
    lowcomp = SlowLowComp(lowcomp, bndpsd[0], bndpsd[1], 0);
    excite[0] = bndpsd[0] - fgain - lowcomp;
    lowcomp = SlowLowComp(lowcomp, bndpsd[1], bndpsd[2], 1);
    excite[1] = bndpsd[1] - fgain - lowcomp;
    begin = 7;
    for (int bin = 2; bin < 7; bin++) {
      if ((bndend != 7) || (bin != 6)) lowcomp = SlowLowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak = bndpsd[bin] - fgain;
      slowleak = bndpsd[bin] - sgain;
      excite[bin] = fastleak - lowcomp;
      if ((bndend != 7) || (bin != 6)) {
        if (bndpsd[bin] <= bndpsd[bin + 1]) {
          begin = bin + 1;
          break;
        }
      }
    }
    for (int bin = begin; bin < std::min(bndend, 22); bin++) {
      if ((bndend != 7) || (bin != 6)) lowcomp = SlowLowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak -= fdecay;
      fastleak = std::max(fastleak, bndpsd[bin] - fgain);
      slowleak -= sdecay;
      slowleak = std::max(slowleak, bndpsd[bin] - sgain);
      excite[bin] = std::max(fastleak - lowcomp, slowleak);
    }
    begin = 22;
  } else {
    begin = bndstrt;
  }
  for (int bin = begin; bin < bndend; bin++) {
    fastleak -= fdecay;
    fastleak = std::max(fastleak, bndpsd[bin] - fgain);
    slowleak -= sdecay;
    slowleak = std::max(slowleak, bndpsd[bin] - sgain);
    excite[bin] = std::max(fastleak, slowleak);
  }
  for (int bin = bndstrt; bin < bndend; bin++) {
    if (bndpsd[bin] < dbknee) excite[bin] += ((dbknee - bndpsd[bin]) >> 2);
    mask[bin] = std::max(excite[bin], (int)kHth[c.fscod][bin >> c.rateShift]);
  }
  if (c.deltbae == 0 || c.deltbae == 1)
    for (int band = bndstrt; band < bndend; band++) mask[band] += c.delta[band];
  int i = start;
  j = SlowMaskTab(start);
  do {
    lastbin = std::min(kBndTab[j] + kBndSz[j], end);
    mask[j] -= snroffset;
    mask[j] -= floor;
    if (mask[j] < 0) mask[j] = 0;
    mask[j] &= 0x1fe0;
    mask[j] += floor;
    for (k = i; k < lastbin; k++) {
      int address = (psd[i] - mask[j]) >> 5;
      address = std::min(63, std::max(0, address));
      bap[i] = kBapTab[address];
      i++;
    }
    j++;
  } while (end > lastbin);
}

TEST(BitAllocation, MatchesTheDirectImplementation) {
  std::mt19937 rng(20261208);
  auto pick = [&](int n) { return (int)(rng() % (unsigned)n); };
  int mismatches = 0;
  for (int trial = 0; trial < 3000; trial++) {
    AllocCase c = {};
    const int kind = trial % 3;  // full bandwidth, coupling, LFE
    if (kind == 0) {
      c.start = 0;
      c.end = 3 * pick(61) + 73;
    } else if (kind == 1) {
      int begf = pick(15);
      c.start = 12 * begf + 37;
      c.end = 12 * (begf + 1 + pick(18 - begf - 1 + 1)) + 37;
      if (c.end > 253) c.end = 253;
      c.fleak = pick(8) * 256 + 768;
      c.sleak = pick(8) * 256 + 768;
    } else {
      c.start = 0;
      c.end = 7;
    }
    c.fscod = pick(3);
    c.rateShift = pick(3);
    c.sdcycod = pick(4), c.fdcycod = pick(4), c.sgaincod = pick(4), c.dbpbcod = pick(4);
    c.floorcod = pick(8), c.fgaincod = pick(8);
    c.csnroffst = pick(64), c.fsnroffst = pick(16);
    if (trial % 50 == 0) c.csnroffst = c.fsnroffst = 0;
    static const int kDeltas[6] = {-512, -384, 0, 0, 128, 512};
    c.deltbae = kind == 2 ? 2 : pick(3);
    for (int b = 0; b < 50; b++) c.delta[b] = c.deltbae == 2 ? 0 : kDeltas[pick(6)];

    int16_t exps[kBins] = {};
    int e = pick(25);
    const int style = pick(3);  // smooth, wild, flat
    for (int bin = 0; bin < kBins; bin++) {
      if (style == 0) e = std::min(24, std::max(0, e + pick(5) - 2));
      else if (style == 1) e = pick(25);
      exps[bin] = (int16_t)e;
    }

    int want[kBins];
    SlowBitAllocation(c, exps, want);

    DecoderState& d = g_state;
    d.header.fscod = (int16_t)c.fscod;
    d.header.rateShift = (int16_t)c.rateShift;
    d.header.nfchans = 1;
    d.header.lfeon = 0;
    d.block = BlockState();
    d.block.sdcycod = (int16_t)c.sdcycod, d.block.fdcycod = (int16_t)c.fdcycod;
    d.block.sgaincod = (int16_t)c.sgaincod, d.block.dbpbcod = (int16_t)c.dbpbcod;
    d.block.floorcod = (int16_t)c.floorcod;
    d.block.csnroffst = (int16_t)c.csnroffst;
    d.block.fsnroffst[0] = (int16_t)c.fsnroffst;
    BlockRequest req = {};
    req.pcmScale = 1.0;
    SetupAllocation(d, req);
    int16_t delta[50];
    for (int b = 0; b < 50; b++) delta[b] = (int16_t)c.delta[b];
    uint8_t bap[kBins] = {};
    ComputeBap(d, exps, bap, c.start, c.end, kFastGain[c.fgaincod], ((c.csnroffst - 15) * 16 + c.fsnroffst) * 4,
               c.fleak, c.sleak, delta);
    for (int bin = c.start; bin < c.end; bin++) {
      if (bap[bin] != want[bin]) {
        if (++mismatches < 10)
          ADD_FAILURE() << "trial " << trial << " kind " << kind << " bin " << bin << " got " << (int)bap[bin]
                        << " want " << want[bin];
        break;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// ---- mantissas ----

// A decoder state whose channels use preset bap arrays (nothing to recompute)
// and unit gain, reading the mantissas from w.
std::vector<uint8_t> g_bytes;
void PresetBlock(DecoderState& d, const BitWriter& w, int acmod) {
  std::memset(&d, 0, sizeof d);
  g_bytes = w.Bytes(64);
  ReaderStart(d.reader, g_bytes.data(), 0, 0, 64);
  d.header.acmod = (int16_t)acmod;
  static const int kNf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  d.header.nfchans = (int16_t)kNf[acmod];
  d.dither = 1;
  for (int ch = 0; ch < kAllChannels; ch++) {
    d.gainMant[ch] = 0.5;  // m x 2^S = 1
    d.gainExp[ch] = 1;
  }
}

TEST(Mantissas, GroupsSpanChannelsInStreamOrder) {
  BitWriter w;
  w.Put(2 * 9 + 0 * 3 + 2, 5);  // bap-1 group: +2/3, -2/3, +2/3
  w.Put(5, 3);                  // a bap-3 mantissa of channel 1: 4/7
  w.Put(0x3, 2);                // left over
  DecoderState& d = g_state;
  PresetBlock(d, w, 2);
  d.block.endmant[0] = 2;
  d.block.endmant[1] = 2;
  d.bap[0][0] = d.bap[0][1] = 1;
  d.bap[1][0] = 1;
  d.bap[1][1] = 3;
  PrepareChannel(d, 0);
  PrepareChannel(d, 1);
  EXPECT_DOUBLE_EQ(d.coeffs[0][0], 2.0 / 3);
  EXPECT_DOUBLE_EQ(d.coeffs[0][1], -2.0 / 3);
  EXPECT_DOUBLE_EQ(d.coeffs[1][0], 2.0 / 3) << "third mantissa of channel 0's group";
  EXPECT_DOUBLE_EQ(d.coeffs[1][1], 4.0 / 7);
  EXPECT_EQ(Mark(d.reader), 8u);
  for (int bin = 2; bin < kBins; bin++) ASSERT_EQ(d.coeffs[1][bin], 0.0);
}

TEST(Mantissas, QuantiserLevelsAndExponents) {
  struct Case {
    int bap, bits;
    uint32_t code;
    int exp;
    double value;
  } cases[] = {
      {2, 7, 25 * 4 + 5 * 1 + 0, 0, 4.0 / 5},
      {3, 3, 0, 1, -6.0 / 7 / 2},
      {4, 7, 11 * 10 + 3, 0, 10.0 / 11},
      {5, 4, 14, 3, 14.0 / 15 / 8},
      {6, 5, 0x10, 0, -1.0},
      {15, 16, 0x4000, 2, 0.5 / 4},
      {15, 16, 0xC000, 24, -0.5 / 16777216.0},
      {14, 14, 0x1FFF, 0, 8191.0 / 8192},
  };
  for (const Case& c : cases) {
    BitWriter w;
    w.Put(c.code, c.bits);
    DecoderState& d = g_state;
    PresetBlock(d, w, 1);
    d.block.endmant[0] = 1;
    d.bap[0][0] = (uint8_t)c.bap;
    d.exps[0][0] = (int16_t)c.exp;
    PrepareChannel(d, 0);
    EXPECT_DOUBLE_EQ(d.coeffs[0][0], c.value) << "bap " << c.bap;
    EXPECT_EQ(Mark(d.reader), (uint32_t)c.bits) << "bap " << c.bap;
  }
}

TEST(Mantissas, ZeroOffsetsAllocateNothingAndDitherFills) {
  BitWriter w;
  w.Put(0xFFFF, 16);
  DecoderState& d = g_state;
  PresetBlock(d, w, 1);
  BlockState& b = d.block;
  b.chexpstr[0] = 1;
  b.baie = b.snroffste = 1;
  b.dithflag[0] = 1;
  b.endmant[0] = 73;
  b.expRecord[0] = {1, 24, 0, 0};
  BitWriter zeros;
  for (int i = 0; i < 24; i++) zeros.Put(62, 7);
  g_bytes = zeros.Bytes(64);
  ReaderStart(d.reader, g_bytes.data(), 0, 0, 64);
  Skip(d.reader, 24 * 7);
  BlockRequest req = {};
  req.pcmScale = 1.0;
  SetupAllocation(d, req);  // csnroffst and fsnroffst are 0
  EXPECT_EQ(d.anyOffset, 0);
  PrepareChannel(d, 0);
  for (int bin = 0; bin < 73; bin++) ASSERT_EQ(d.bap[0][bin], 0);
  EXPECT_EQ(Mark(d.reader), 24u * 7) << "no mantissa bits read";
  // gain 1 (L = 0, no dialogue normalisation in mode 0), exponent 0: the dither value itself
  EXPECT_NEAR(d.coeffs[0][0], -17547.0 / 32768.0 * 0.70710678, 1e-12);
  EXPECT_NEAR(d.coeffs[0][0], -0.3787, 1e-4);
  int16_t state = -17547;
  state = (int16_t)(uint16_t)(state * -17547);
  EXPECT_NEAR(d.coeffs[0][1], state / 32768.0 * 0.70710678, 1e-12);
  EXPECT_EQ(d.coeffs[0][73], 0.0);
}

TEST(Mantissas, DitherIsHalfAtQuarterRate) {
  BitWriter w;
  DecoderState& d = g_state;
  PresetBlock(d, w, 1);
  d.header.rateShift = 2;
  d.block.dithflag[0] = 1;
  d.block.endmant[0] = 1;
  PrepareChannel(d, 0);
  EXPECT_NEAR(d.coeffs[0][0], -17547.0 / 32768.0 * 0.5, 1e-12);
}

TEST(Mantissas, CoupledChannelsShareTheCouplingMantissas) {
  BitWriter w;
  for (int i = 0; i < 12; i++) w.Put((uint32_t)(i % 7), 3);  // coupling: 12 bap-3 values
  w.Put(9, 4);                                               // channel 2 (not coupled): bap 5
  DecoderState& d = g_state;
  PresetBlock(d, w, 3);
  BlockState& b = d.block;
  b.cplinu = 1;
  b.chincpl[0] = b.chincpl[2] = 1;  // L and R coupled, C not
  b.cplbegf = 0;
  b.cplendf = 1;
  b.cplstrtmant = 37;
  b.cplendmant = 49;
  b.endmant[0] = b.endmant[2] = 37;
  b.endmant[1] = 1;
  b.cplcoMant[0][0] = 0.75, b.cplcoExp[0][0] = 0;
  b.cplcoMant[2][0] = 0.5, b.cplcoExp[2][0] = 1;
  for (int bin = 37; bin < 49; bin++) d.bap[kCplIndex][bin] = 3;
  d.bap[1][0] = 5;
  for (int ch = 0; ch < 3; ch++) PrepareChannel(d, ch);
  for (int i = 0; i < 12; i++) {
    const double level = (2.0 * (i % 7) - 6) / 7;
    // coupling scale 2^3 (A/52's factor 8) times the coordinate
    EXPECT_DOUBLE_EQ(d.coeffs[0][37 + i], level * 8 * 0.75) << i;
    EXPECT_DOUBLE_EQ(d.coeffs[2][37 + i], level * 8 * 0.5 / 2) << i;
  }
  EXPECT_DOUBLE_EQ(d.coeffs[1][0], 4.0 / 15) << "centre reads after the coupling mantissas";
  EXPECT_EQ(Mark(d.reader), 12u * 3 + 4) << "coupling bits counted once";
}

// ---- gain ----

TEST(ChannelGain, DynamicRangeWordsFollowA52) {
  for (int v = -128; v < 128; v++) {
    const int16_t stored = (int16_t)((int16_t)(uint16_t)((v & 0xFF) << 8) >> 1);
    double m = 0;
    int S = 0;
    ChannelGain(stored / 32768.0, 0, 0, 1.0, &m, &S);
    const int X = v >> 5, Y = v & 31;  // signed 3-bit exponent, 5-bit mantissa
    const double want = (32 + Y) / 64.0 * std::ldexp(1.0, X + 1);
    EXPECT_DOUBLE_EQ(m * std::ldexp(1.0, S), want) << v;
    EXPECT_GE(m, 0.5);
    EXPECT_LT(m, 1.0);
  }
}

TEST(ChannelGain, DialogueNormalisation) {
  struct Case {
    int dialnorm, mode;
    double gain;
  } cases[] = {
      {31, 2, 1.0},
      {0, 2, 1.0},
      {25, 2, 0.5},
      {1, 2, 1.0 / 32},
      {28, 2, std::pow(2.0, -0.5)},
      {20, 1, std::pow(2.0, -11.0 / 6)},
      {1, 0, 1.0},
  };
  for (const Case& c : cases) {
    double m = 0;
    int S = 0;
    ChannelGain(0.0, c.dialnorm, c.mode, 1.0, &m, &S);
    EXPECT_NEAR(m * std::ldexp(1.0, S), c.gain, 1e-12) << c.dialnorm << " mode " << c.mode;
  }
  double m = 0;
  int S = 0;
  ChannelGain(0.0, 31, 2, 3.0, &m, &S);  // pcm scale
  EXPECT_NEAR(m * std::ldexp(1.0, S), 3.0, 1e-12);
  EXPECT_GE(m, 0.5);
}

TEST(ChannelGain, LineModeCutsOnlyWhenTheDownmixCanOverload) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.nfchans = 2;
  d.header.acmod = 2;
  d.header.dialnorm = 31;
  d.compMode = 2;
  d.block.dynrng = (int16_t)((int16_t)(uint16_t)(0xE0 << 8) >> 1);  // -32: a cut of 6 dB
  BlockRequest req = {};
  req.pcmScale = 1.0;
  d.overload = 0;
  SetupAllocation(d, req);
  EXPECT_DOUBLE_EQ(d.gainMant[0] * std::ldexp(1.0, d.gainExp[0] - d.headroom[0]), 1.0);
  d.overload = 1;
  SetupAllocation(d, req);
  EXPECT_DOUBLE_EQ(d.gainMant[0] * std::ldexp(1.0, d.gainExp[0] - d.headroom[0]), 0.5);
  d.block.dynrng = (int16_t)(0x20 << 7);  // a boost, scale 0: nothing
  SetupAllocation(d, req);
  EXPECT_DOUBLE_EQ(d.gainMant[0] * std::ldexp(1.0, d.gainExp[0] - d.headroom[0]), 1.0);
  req.boostScale = 1.0;
  SetupAllocation(d, req);
  EXPECT_DOUBLE_EQ(d.gainMant[0] * std::ldexp(1.0, d.gainExp[0] - d.headroom[0]), 2.0);
}

TEST(ChannelGain, HeadroomFollowsGainRange) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.nfchans = 2;
  d.header.acmod = 2;
  d.block.gainrng[0] = 3;
  d.block.gainrng[1] = 1;
  BlockRequest req = {};
  req.pcmScale = 1.0;
  SetupAllocation(d, req);  // gain 1: m 0.5, S 1 -> h = gainrng - 1 + 1
  EXPECT_EQ(d.headroom[0], 3);
  EXPECT_EQ(d.headroom[1], 1);
  d.block.anyRematrix = 1;
  SetupAllocation(d, req);
  EXPECT_EQ(d.headroom[0], 1) << "rematrixed channels share the smaller range";
  EXPECT_EQ(d.headroom[1], 1);
}

// ---- rematrixing ----

TEST(Rematrix, OnlyFlaggedBandsUpToTheSmallerEnd) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  for (int bin = 0; bin < kBins; bin++) {
    d.coeffs[0][bin] = 3.0;
    d.coeffs[1][bin] = 1.0;
  }
  d.block.rematBands = 4;
  d.block.rematflg[3] = 1;
  d.block.endmant[0] = 200;
  d.block.endmant[1] = 180;
  Rematrix(d);
  for (int bin = 0; bin < kBins; bin++) {
    const bool inBand = bin >= 61 && bin < 180;
    EXPECT_EQ(d.coeffs[0][bin], inBand ? 4.0 : 3.0) << bin;
    EXPECT_EQ(d.coeffs[1][bin], inBand ? 2.0 : 1.0) << bin;
  }
  std::memset(&d, 0, sizeof d);
  d.coeffs[0][13] = d.coeffs[0][24] = d.coeffs[0][25] = 1.0;
  d.block.rematBands = 2;  // coupling from sub-band 0: two bands only
  d.block.rematflg[0] = d.block.rematflg[1] = d.block.rematflg[2] = 1;
  d.block.endmant[0] = d.block.endmant[1] = 37;
  d.coeffs[0][40] = 1.0;
  Rematrix(d);
  EXPECT_EQ(d.coeffs[1][13], 1.0);
  EXPECT_EQ(d.coeffs[1][25], 1.0);
  EXPECT_EQ(d.coeffs[1][40], 0.0);
}

}  // namespace
