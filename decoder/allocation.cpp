// Bit allocation, mantissas, dequantisation, channel gain, coupling and
// rematrixing of one audio block (A/52 sections 7.2 to 7.5).
#include "decoder/allocation.h"

#include <cstring>

#include "decoder/blockinfo.h"

// ---- A/52 tables (section 7.2.2) -------------------------------------------

static const int16_t kSlowDec[4] = {15, 17, 19, 21};
static const int16_t kFastDec[4] = {63, 83, 103, 123};
static const int16_t kSlowGain[4] = {1344, 1240, 1144, 1040};
static const int16_t kDbpbTab[4] = {0, 1792, 2304, 2816};
static const int16_t kFloorTab[8] = {752, 688, 624, 560, 496, 368, 240, -2048};
const int16_t kFastGain[8] = {128, 256, 384, 512, 640, 768, 896, 1024};

const uint8_t kBandEnd[50] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,  19,  20,  21,  22,  23,  24,  25,
    26, 27, 28, 31, 34, 37, 40, 43, 46, 49, 55, 61, 67, 73, 79, 85, 97, 109, 121, 133, 157, 181, 205, 229, 253,
};

struct MaskTabMaker {
  uint8_t t[256];
  constexpr MaskTabMaker() : t() {
    int band = 0;
    for (int bin = 0; bin < 256; bin++) {
      if (band < 49 && bin >= kBandEndC[band]) band++;
      t[bin] = (uint8_t)band;
    }
  }
  static constexpr uint8_t kBandEndC[50] = {
      1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,  19,  20,  21,  22,  23,  24,  25,
      26, 27, 28, 31, 34, 37, 40, 43, 46, 49, 55, 61, 67, 73, 79, 85, 97, 109, 121, 133, 157, 181, 205, 229, 253,
  };
};
static constexpr MaskTabMaker kMaskMaker;
static_assert(kMaskMaker.t[27] == 27 && kMaskMaker.t[28] == 28 && kMaskMaker.t[31] == 29 && kMaskMaker.t[252] == 49 &&
                  kMaskMaker.t[255] == 49,
              "bin to band table");
const uint8_t kMaskTab[256] = {
#define R(i) kMaskMaker.t[i], kMaskMaker.t[i + 1], kMaskMaker.t[i + 2], kMaskMaker.t[i + 3]
#define R16(i) R(i), R(i + 4), R(i + 8), R(i + 12)
    R16(0),   R16(16),  R16(32),  R16(48),  R16(64),  R16(80),  R16(96),  R16(112),
    R16(128), R16(144), R16(160), R16(176), R16(192), R16(208), R16(224), R16(240),
#undef R16
#undef R
};

// Log-addition table (A/52 Table 7.14).
const uint8_t kLaTab[256] = {
    // 10 per line; 0 from 210 on
    64, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 52, 51, 50, 49, 48, 47, 47, 46, 45, 44, 44, 43, 42, 41, 41,
    40, 39, 38, 38, 37, 36, 36, 35, 35, 34, 33, 33, 32, 32, 31, 30, 30, 29, 29, 28, 28, 27, 27, 26, 26, 25, 25, 24,
    24, 23, 23, 22, 22, 21, 21, 21, 20, 20, 19, 19, 19, 18, 18, 18, 17, 17, 17, 16, 16, 16, 15, 15, 15, 14, 14, 14,
    13, 13, 13, 13, 12, 12, 12, 12, 11, 11, 11, 11, 10, 10, 10, 10, 10, 9,  9,  9,  9,  9,  8,  8,  8,  8,  8,  8,
    7,  7,  7,  7,  7,  7,  6,  6,  6,  6,  6,  6,  6,  6,  5,  5,  5,  5,  5,  5,  5,  5,  4,  4,  4,  4,  4,  4,
    4,  4,  4,  4,  4,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  3,  2,  2,  2,  2,  2,  2,  2,  2,  2,
    2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,
    1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // ... up to 255
};
static_assert(sizeof kLaTab == 256, "log-addition table");

// Hearing threshold by fscod and band (A/52 Table 7.15).
const int16_t kHth[3][50] = {
    {0x4d0, 0x4d0, 0x440, 0x400, 0x3e0, 0x3c0, 0x3b0, 0x3b0, 0x3a0, 0x3a0, 0x3a0, 0x3a0, 0x3a0,
     0x390, 0x390, 0x390, 0x380, 0x380, 0x370, 0x370, 0x360, 0x360, 0x350, 0x350, 0x340, 0x340,
     0x330, 0x320, 0x310, 0x300, 0x2f0, 0x2f0, 0x2f0, 0x2f0, 0x300, 0x310, 0x340, 0x390, 0x3e0,
     0x420, 0x460, 0x490, 0x4a0, 0x460, 0x440, 0x440, 0x520, 0x800, 0x840, 0x840},
    {0x4f0, 0x4f0, 0x460, 0x410, 0x3e0, 0x3d0, 0x3c0, 0x3b0, 0x3b0, 0x3a0, 0x3a0, 0x3a0, 0x3a0,
     0x3a0, 0x390, 0x390, 0x390, 0x380, 0x380, 0x380, 0x370, 0x370, 0x360, 0x360, 0x350, 0x350,
     0x340, 0x340, 0x320, 0x310, 0x300, 0x2f0, 0x2f0, 0x2f0, 0x2f0, 0x300, 0x320, 0x350, 0x390,
     0x3e0, 0x420, 0x450, 0x4a0, 0x490, 0x460, 0x440, 0x480, 0x630, 0x840, 0x840},
    {0x580, 0x580, 0x4b0, 0x450, 0x420, 0x3f0, 0x3e0, 0x3d0, 0x3c0, 0x3b0, 0x3b0, 0x3b0, 0x3a0,
     0x3a0, 0x3a0, 0x3a0, 0x3a0, 0x3a0, 0x3a0, 0x3a0, 0x390, 0x390, 0x390, 0x390, 0x380, 0x380,
     0x380, 0x370, 0x360, 0x350, 0x340, 0x330, 0x320, 0x310, 0x300, 0x2f0, 0x2f0, 0x2f0, 0x300,
     0x310, 0x330, 0x350, 0x3c0, 0x410, 0x470, 0x4a0, 0x460, 0x440, 0x450, 0x4e0},
};

// Bit allocation pointer by masked PSD (A/52 Table 7.16).
const uint8_t kBapTab[64] = {
    0,  1,  1,  1,  1,  1,  2,  2,  3,  3,  3,  4,  4,  5,  5,  6,  6,  6,  6,  7,  7,  7,
    7,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 13,
    13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 15, 15, 15, 15,
};

// ---- quantiser tables (section 7.3) ------------------------------------------

// Stream bits of a mantissa by bap (bap 1, 2, 4: of a whole group).
static const uint8_t kBapBits[16] = {0, 5, 7, 3, 7, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};

static const double kLevels1[3] = {-2.0 / 3, 0.0, 2.0 / 3};
static const double kLevels2[5] = {-4.0 / 5, -2.0 / 5, 0.0, 2.0 / 5, 4.0 / 5};
static const double kLevels3[8] = {-6.0 / 7, -4.0 / 7, -2.0 / 7, 0.0, 2.0 / 7, 4.0 / 7, 6.0 / 7, 0.0};
static const double kLevels4[11] = {-10.0 / 11, -8.0 / 11, -6.0 / 11, -4.0 / 11, -2.0 / 11, 0.0,
                                    2.0 / 11,   4.0 / 11,  6.0 / 11,  8.0 / 11,  10.0 / 11};
static const double kLevels5[16] = {-14.0 / 15, -12.0 / 15, -10.0 / 15, -8.0 / 15, -6.0 / 15, -4.0 / 15,
                                    -2.0 / 15,  0.0,        2.0 / 15,   4.0 / 15,  6.0 / 15,  8.0 / 15,
                                    10.0 / 15,  12.0 / 15,  14.0 / 15,  0.0};

struct GroupMaker {  // bap 1: 5-bit groups of three base-3 digits; bap 4: 7-bit groups of two base-11
  uint16_t three[32], eleven[128];
  constexpr GroupMaker() : three(), eleven() {
    for (int v = 0; v < 27; v++) three[v] = (uint16_t)((v / 9) << 12 | ((v / 3) % 3) << 8 | (v % 3) << 4);
    for (int v = 0; v < 121; v++) eleven[v] = (uint16_t)((v / 11) << 12 | (v % 11) << 8);
  }
};
static constexpr GroupMaker kGroups;
static_assert(kGroups.three[26] == 0x2220 && kGroups.three[27] == 0, "base-3 groups");
static_assert(kGroups.eleven[120] == 0xAA00 && kGroups.eleven[121] == 0, "base-11 groups");

// Powers of two: kPow2[64 + k] = 2^k for k = -64 .. 63.
struct Pow2Maker {
  double t[128];
  constexpr Pow2Maker() : t() {
    double v = 1.0;
    for (int k = 0; k < 64; k++, v *= 2.0) t[64 + k] = v;
    v = 1.0;
    for (int k = 0; k <= 64; k++, v *= 0.5) t[64 - k < 0 ? 0 : 64 - k] = v;
  }
};
static constexpr Pow2Maker kPow2;
static_assert(kPow2.t[64] == 1.0 && kPow2.t[65] == 2.0 && kPow2.t[32] == 1.0 / 4294967296.0, "powers of two");

// Dialogue normalisation 2^((d - 31) / 6) as mantissa 2^(-j/6) and power of two.
static const double kDialMant[6] = {
    1.0, 0.89089871814033927, 0.79370052598409979, 0.70710678118654757, 0.62996052494743670, 0.56123102415468651};

// ---- gains -------------------------------------------------------------------

void ChannelGain(double logGain, int dialnorm, int compMode, double pcmScale, double* mOut, int* sOut) {
  int32_t b = (int32_t)(logGain * 8388608.0);
  int S = (b >> 20) + 1;
  double m = (double)((b & 0xFFFFF) | 0x100000) * 4.0 / 8388608.0;
  if (compMode != 0 && dialnorm >= 1 && dialnorm <= 31) {
    int q = 31 - dialnorm;
    m *= kDialMant[q % 6];
    S -= q / 6;
  }
  m *= pcmScale;
  for (int i = 0; i < 32 && m != 0.0 && m < 0.5 && m > -0.5; i++) {
    m *= 2.0;
    S--;
  }
  for (int i = 0; i < 32 && (m >= 1.0 || m <= -1.0); i++) {
    m *= 0.5;
    S++;
  }
  *mOut = m;
  *sOut = S;
}

static double LogGain(const DecoderState& d, const BlockRequest& req, int dyn, int compre, int compr) {
  const double K = 0.229156494140625;
  const double D = dyn * (1.0 / 32768.0);
  switch (d.compMode) {
    case 3:
      if (compre) return (compr != 0 ? compr * (1.0 / 32768.0) : D) + K;
      return d.overload ? D - K : D;
    case 2:
      if (dyn > 0) return D * req.boostScale;
      return d.overload ? D : D * req.cutScale;
    default: {
      double L = dyn > 0 ? D * req.boostScale : D * req.cutScale;
      return d.overload ? L - K : L;
    }
  }
}

void SetupAllocation(DecoderState& d, const BlockRequest& req) {
  const BlockState& b = d.block;
  const FrameHeader& h = d.header;
  const int nf = h.nfchans;
  d.sdecay = (int16_t)(kSlowDec[b.sdcycod & 3] >> h.rateShift);
  d.fdecay = (int16_t)(kFastDec[b.fdcycod & 3] >> h.rateShift);
  d.sgain = kSlowGain[b.sgaincod & 3];
  d.dbknee = kDbpbTab[b.dbpbcod & 3];
  d.floorLevel = kFloorTab[b.floorcod & 7];
  int any = b.csnroffst;
  for (int ch = 0; ch < nf; ch++) any |= b.fsnroffst[ch];
  if (b.cplinu) any |= b.cplfsnroffst;
  if (h.lfeon) any |= b.lfefsnroffst;
  d.anyOffset = (int16_t)(any != 0);
  d.groups = MantissaGroups();
  d.cplNoted = 0;

  const double L = LogGain(d, req, b.dynrng, h.compre, h.compr);
  const double L2 = h.acmod == 0 ? LogGain(d, req, b.dynrng2, h.compr2e, h.compr2) : L;
  // Every channel shares one gain but the second of a dual-mono pair.
  double mainM = 0.0, secondM = 0.0;
  int mainS = 0, secondS = 0;
  ChannelGain(L, h.dialnorm, d.compMode, req.pcmScale, &mainM, &mainS);
  if (h.acmod == 0) ChannelGain(L2, h.dialnorm2, d.compMode, req.pcmScale, &secondM, &secondS);
  for (int ch = 0; ch < kAllChannels; ch++) {
    if (ch == kCplIndex) continue;
    const bool second = h.acmod == 0 && ch == 1;
    const double m = second ? secondM : mainM;
    const int S = second ? secondS : mainS;
    int range = ch < kMaxChannels ? b.gainrng[ch] : 0;
    if (b.anyRematrix && ch < 2) range = b.gainrng[0] < b.gainrng[1] ? b.gainrng[0] : b.gainrng[1];
    int hr = range - S + (m == 0.5 ? 1 : 0);
    hr = hr < 0 ? 0 : (hr > 3 ? 3 : hr);
    d.gainMant[ch] = m;
    d.gainExp[ch] = (int16_t)(S + hr);
    d.headroom[ch] = (int16_t)hr;
  }
}

// ---- bit allocation ----------------------------------------------------------

static const int kNeutralPsd = -32768;

static inline int LogAdd(int a, int b) {
  int c = a - b;
  int address = (c >= 0 ? c : -c) >> 1;
  if (address > 255) address = 255;
  return (c >= 0 ? a : b) + kLaTab[address];
}

static inline int LowComp(int a, int b0, int b1, int band) {
  if (band < 7) {
    if (b0 + 256 == b1) return 384;
    if (b0 > b1) return a - 64 > 0 ? a - 64 : 0;
    return a;
  }
  if (band < 20) {
    if (b0 + 256 == b1) return 320;
    if (b0 > b1) return a - 64 > 0 ? a - 64 : 0;
    return a;
  }
  return a - 128 > 0 ? a - 128 : 0;
}

static inline int Max(int a, int b) { return a > b ? a : b; }

// kBapTab by an unclamped address ((3072 - mask) >> 5) - 4 e, which lies in
// -279 .. 160 for masks -2048 .. 8912 and exponents 0 .. 24.
constexpr int kBapAddressBias = 280;
struct BapByAddressMaker {
  uint8_t t[448];
  constexpr BapByAddressMaker() : t() {
    for (int i = 0; i < 448; i++) {
      const int a = i - kBapAddressBias;
      t[i] = kBapTabC[a < 0 ? 0 : (a > 63 ? 63 : a)];
    }
  }
  static constexpr uint8_t kBapTabC[64] = {
      0,  1,  1,  1,  1,  1,  2,  2,  3,  3,  3,  4,  4,  5,  5,  6,  6,  6,  6,  7,  7,  7,
      7,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 13,
      13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 15, 15, 15, 15,
  };
};
static constexpr BapByAddressMaker kBapByAddress;
static_assert(kBapAddressBias + ((3072 - 8912) >> 5) - 4 * 24 >= 0 && kBapAddressBias + ((3072 + 2048) >> 5) < 448,
              "every address of a mask and exponent lies in the table");
static_assert(kBapByAddress.t[kBapAddressBias - 1] == 0 && kBapByAddress.t[kBapAddressBias + 63] == 15 &&
                  kBapByAddress.t[447] == 15 && kBapByAddress.t[kBapAddressBias + 13] == 5,
              "clamped allocation table");

void ComputeBap(const DecoderState& d, const int16_t* exps, uint8_t* bap, int start, int end, int fastGain,
                int snrOffset, int fastLeak, int slowLeak, const int16_t* delta) {
  if (start >= end) return;
  if (!d.anyOffset) {
    std::memset(bap + start, 0, (size_t)(end - start));
    return;
  }
  const FrameHeader& h = d.header;
  // psd[kBins] is a neutral element of LogAdd: far below any PSD, it adds 0.
  int psd[kBins + 1];
  int bndpsd[51] = {};
  int excite[50] = {};
  for (int bin = start; bin < end; bin++) psd[bin] = 3072 - (exps[bin] << 7);
  psd[kBins] = kNeutralPsd;

  // PSD integration per band. Each band's sum is a chain of dependent
  // log-additions; four bands run side by side so that their chains overlap,
  // the shorter ones padded with the neutral element (same order, same sums).
  const int bndstrt = kMaskTab[start];
  const int bndend = kMaskTab[end - 1] + 1;
  int k = bndstrt;
  for (; k < bndend && kBandEnd[k] - (k ? kBandEnd[k - 1] : 0) == 1; k++) bndpsd[k] = psd[k];
  if (k == bndstrt && k < bndend) {  // a first band that the range starts inside of
    const int stop = kBandEnd[k] < end ? kBandEnd[k] : end;
    int p = psd[start];
    for (int j = start + 1; j < stop; j++) p = LogAdd(p, psd[j]);
    bndpsd[k++] = p;
  }
  for (; k < bndend; k += 4) {
    int lo[4], count[4], p[4];
    int steps = 0;
    for (int i = 0; i < 4; i++) {
      const int band = k + i < bndend ? k + i : bndend - 1;
      lo[i] = kBandEnd[band - 1];
      const int hi = kBandEnd[band] < end ? kBandEnd[band] : end;
      count[i] = k + i < bndend ? hi - lo[i] : 1;
      p[i] = psd[lo[i]];
      steps = count[i] > steps ? count[i] : steps;
    }
    for (int s = 1; s < steps; s++) {
      for (int i = 0; i < 4; i++) p[i] = LogAdd(p[i], psd[s < count[i] ? lo[i] + s : kBins]);
    }
    for (int i = 0; i < 4 && k + i < bndend; i++) bndpsd[k + i] = p[i];
  }

  // Excitation
  const int fgain = fastGain, sgain = d.sgain, fdecay = d.fdecay, sdecay = d.sdecay;
  int begin;
  if (bndstrt == 0) {
    const bool lfe = bndend == 7;
    int lowcomp = LowComp(0, bndpsd[0], bndpsd[1], 0);
    excite[0] = bndpsd[0] - fgain - lowcomp;
    lowcomp = LowComp(lowcomp, bndpsd[1], bndpsd[2], 1);
    excite[1] = bndpsd[1] - fgain - lowcomp;
    begin = 7;
    for (int band = 2; band < 7; band++) {
      const bool last = lfe && band == 6;
      if (!last) lowcomp = LowComp(lowcomp, bndpsd[band], bndpsd[band + 1], band);
      fastLeak = bndpsd[band] - fgain;
      slowLeak = bndpsd[band] - sgain;
      excite[band] = fastLeak - lowcomp;
      if (!last && bndpsd[band] <= bndpsd[band + 1]) {
        begin = band + 1;
        break;
      }
    }
    const int stop = bndend < 22 ? bndend : 22;
    for (int band = begin; band < stop; band++) {
      if (!(lfe && band == 6)) lowcomp = LowComp(lowcomp, bndpsd[band], bndpsd[band + 1], band);
      fastLeak = Max(fastLeak - fdecay, bndpsd[band] - fgain);
      slowLeak = Max(slowLeak - sdecay, bndpsd[band] - sgain);
      excite[band] = Max(fastLeak - lowcomp, slowLeak);
    }
    begin = 22;
  } else {
    begin = bndstrt;
  }
  for (int band = begin; band < bndend; band++) {
    fastLeak = Max(fastLeak - fdecay, bndpsd[band] - fgain);
    slowLeak = Max(slowLeak - sdecay, bndpsd[band] - sgain);
    excite[band] = Max(fastLeak, slowLeak);
  }

  // Masking curve and allocation, band by band. With psd = 3072 - 128 e,
  // (psd - mask) >> 5 = ((3072 - mask) >> 5) - 4 e: one subtraction per bin and
  // a table that holds the clamp of the address to 0..63.
  const int16_t* hth = kHth[h.fscod < 3 ? h.fscod : 0];
  const int floorLevel = d.floorLevel, dbknee = d.dbknee;
  for (int band = bndstrt; band < bndend; band++) {
    int e = excite[band];
    if (bndpsd[band] < dbknee) e += (dbknee - bndpsd[band]) >> 2;
    int m = Max(e, hth[band >> h.rateShift]) + delta[band] - snrOffset - floorLevel;
    if (m < 0) m = 0;
    const int mask = (m & 0x1FE0) + floorLevel;
    const uint8_t* row = kBapByAddress.t + kBapAddressBias + ((3072 - mask) >> 5);
    const int lo = band == bndstrt ? start : kBandEnd[band - 1];
    const int hi = kBandEnd[band] < end ? kBandEnd[band] : end;
    for (int bin = lo; bin < hi; bin++) bap[bin] = row[-4 * exps[bin]];
  }
}

// ---- mantissas ------------------------------------------------------------------


// 2^-(i - 64) for i - 64 below 32, 0 from there on: the scale of a mantissa with
// exponent e under gain exponent S is kScale[64 + e - S].
struct ScaleMaker {
  double t[192];
  constexpr ScaleMaker() : t() {
    for (int i = 0; i < 192; i++) t[i] = i - 64 < 32 ? kPow2.t[128 - i < 0 ? 0 : (128 - i > 127 ? 127 : 128 - i)] : 0.0;
  }
};
static constexpr ScaleMaker kScale;
static_assert(kScale.t[64] == 1.0 && kScale.t[65] == 0.5 && kScale.t[63] == 2.0 && kScale.t[95] == kPow2.t[33] &&
                  kScale.t[96] == 0.0,
              "mantissa scale table");

// Offset into kScale for gain exponent S (exponents 0..24 keep the index in range).
static inline int ScaleOffset(int S) {
  if (S < -63) S = -63;
  if (S > 64) S = 64;
  return 64 - S;
}

// Reads and dequantises the mantissas of bins start..end-1 into out: value x
// factor x 2^-(exps[bin] - shift); with kValues also the plain values into values.
// The reader's zero padding (kReaderPadBytes) covers a whole run of 256 reads of
// 16 bits past the frame's end, so the loop reads without checking and the
// position is brought back to the limit once at the end: the same zeros as
// reads that stop at the limit.
template <bool kValues, bool kDither>
static void ReadMantissaRun(DecoderState& d, const uint8_t* bap, const int16_t* exps, int start, int end, double factor,
                            int shift, double* out, double* values) {
  static_assert(kReaderPadBytes >= kBins * 16 / 8 + 8, "padding for a run of unchecked reads");
  const uint8_t* bytes = d.reader.bytes;
  uint32_t pos = d.reader.pos;
  auto read = [&](int n) -> uint32_t {
    uint64_t v;
    std::memcpy(&v, bytes + (pos >> 3), sizeof v);  // pos <= limit + 16 x 256: inside bytes[]
    v = __builtin_bswap64(v) << (pos & 7);
    pos += (uint32_t)n;
    return (uint32_t)(v >> (64 - n));
  };
  MantissaGroups g = d.groups;
  int16_t state = d.dither;
  const double ditherScale = (d.header.rateShift == 2 ? 0.5 : 0.70710678) * (1.0 / 32768.0);
  // factor x 2^-(e - shift) for every exponent 0..24: exact, as the scale is a power of two.
  const double* scale = kScale.t + ScaleOffset(shift);
  double mult[25];
  for (int e = 0; e < 25; e++) mult[e] = factor * scale[e];
  for (int bin = start; bin < end; bin++) {
    // An if-chain in order of frequency: its branches predict far better than
    // the indirect jump of a switch over random-looking bap sequences.
    double v;
    const int b = bap[bin];
    if (b == 0) {
      v = 0.0;
      if (kDither) {
        state = (int16_t)(uint16_t)((int32_t)state * -17547);
        v = state * ditherScale;
      }
    } else if (b == 1) {
      if (g.count1 == 0) {
        g.digits1 = kGroups.three[read(5)];
        g.count1 = 3;
      }
      v = kLevels1[g.digits1 >> 12];
      g.digits1 = (uint16_t)(g.digits1 << 4);
      g.count1--;
    } else if (b == 3) {
      v = kLevels3[read(3)];
    } else if (b >= 6) {
      const int bits = kBapBits[b];
      v = (int16_t)(uint16_t)(read(bits) << (16 - bits)) * (1.0 / 32768.0);
    } else if (b == 2) {
      if (g.count2 == 0) {
        g.digits2 = kBase5Groups[read(7)];
        g.count2 = 3;
      }
      v = kLevels2[g.digits2 >> 12];
      g.digits2 = (uint16_t)(g.digits2 << 4);
      g.count2--;
    } else if (b == 4) {
      if (g.count4 == 0) {
        g.digits4 = kGroups.eleven[read(7)];
        g.count4 = 2;
      }
      v = kLevels4[g.digits4 >> 12];
      g.digits4 = (uint16_t)(g.digits4 << 4);
      g.count4--;
    } else {
      v = kLevels5[read(4)];
    }
    if (kValues) values[bin] = v;
    out[bin] = v * mult[exps[bin]];
  }
  d.reader.pos = pos < d.reader.limit ? pos : d.reader.limit;
  d.groups = g;
  d.dither = state;
}

static void ReadMantissas(DecoderState& d, const uint8_t* bap, const int16_t* exps, int start, int end, bool dither,
                          double factor, int shift, double* out, double* values = nullptr) {
  if (values) {
    if (dither) ReadMantissaRun<true, true>(d, bap, exps, start, end, factor, shift, out, values);
    else ReadMantissaRun<true, false>(d, bap, exps, start, end, factor, shift, out, values);
  } else {
    if (dither) ReadMantissaRun<false, true>(d, bap, exps, start, end, factor, shift, out, values);
    else ReadMantissaRun<false, false>(d, bap, exps, start, end, factor, shift, out, values);
  }
}

// The coupled range of channel ch, each 12-bin sub-band scaled by the channel's
// coordinate. The first coupled channel reads the mantissas from the stream;
// the later ones take the same values again, drawing their own dither for the
// bins without bits, in the order a second reading would.
static void ReadCoupledMantissas(DecoderState& d, int ch, int start, int end, bool firstPass) {
  const BlockState& b = d.block;
  const bool dither = b.dithflag[ch] != 0;
  const double ditherScale = (d.header.rateShift == 2 ? 0.5 : 0.70710678) * (1.0 / 32768.0);
  for (int bin = start; bin < end;) {
    const int sb = (bin - 37) / 12;
    const int stop = 37 + 12 * (sb + 1) < end ? 37 + 12 * (sb + 1) : end;
    const double factor = d.gainMant[ch] * b.cplcoMant[ch][sb];
    const int shift = d.gainExp[ch] + 3 - b.cplcoExp[ch][sb];
    if (firstPass) {
      ReadMantissas(d, d.bap[kCplIndex], d.exps[kCplIndex], bin, stop, dither, factor, shift, d.coeffs[ch],
                    d.cplValues);
    } else {
      const double* scale = kScale.t + ScaleOffset(shift);
      const uint8_t* bap = d.bap[kCplIndex];
      const int16_t* exps = d.exps[kCplIndex];
      double* out = d.coeffs[ch];
      for (int i = bin; i < stop; i++) {
        double v = d.cplValues[i];
        if (bap[i] == 0) {
          v = 0.0;
          if (dither) {
            d.dither = (int16_t)(uint16_t)((int32_t)d.dither * -17547);
            v = d.dither * ditherScale;
          }
        }
        out[i] = v * factor * scale[exps[i]];
      }
    }
    bin = stop;
  }
}

static int SnrOffset(int csnroffst, int fsnroffst) { return ((csnroffst - 15) * 16 + fsnroffst) * 4; }

static void DecodeCoupledRange(DecoderState& d, int ch) {
  BlockState& b = d.block;
  const int start = b.cplstrtmant, end = b.cplendmant;
  const bool firstPass = !d.cplNoted;
  if (firstPass) {
    // The coupling mantissas follow here in the stream, once for all coupled channels.
    d.cplNoted = 1;
    if (b.cplexpstr != 0) DecodeExponents(d.reader, b.expRecord[kCplIndex], d.exps[kCplIndex], start);
    const bool again = b.cplexpstr != 0 || b.baie || b.snroffste || b.cplleake || (b.deltbaie && b.cpldeltbae != 0);
    if (again) {
      int16_t delta[50];
      BuildDeltaArray(b.delta[kMaxChannels], delta);
      ComputeBap(d, d.exps[kCplIndex], d.bap[kCplIndex], start, end, kFastGain[b.cplfgaincod & 7],
                 SnrOffset(b.csnroffst, b.cplfsnroffst), b.cplfleak, b.cplsleak, delta);
    }
  }
  ReadCoupledMantissas(d, ch, start, end, firstPass);
}

void PrepareChannel(DecoderState& d, int ch) {
  BlockState& b = d.block;
  const int end = b.endmant[ch];
  double* out = d.coeffs[ch];
  if (b.chexpstr[ch] != 0) DecodeExponents(d.reader, b.expRecord[ch], d.exps[ch], 0);
  if (b.chexpstr[ch] != 0 || b.baie || b.snroffste || (b.deltbaie && b.deltbae[ch] != 0)) {
    int16_t delta[50];
    BuildDeltaArray(b.delta[ch], delta);
    ComputeBap(d, d.exps[ch], d.bap[ch], 0, end, kFastGain[b.fgaincod[ch] & 7], SnrOffset(b.csnroffst, b.fsnroffst[ch]),
               0, 0, delta);
  }
  ReadMantissas(d, d.bap[ch], d.exps[ch], 0, end, b.dithflag[ch] != 0, d.gainMant[ch], d.gainExp[ch], out);
  int last = end;
  if (b.cplinu && b.chincpl[ch]) {
    DecodeCoupledRange(d, ch);
    last = b.cplendmant > end ? b.cplendmant : end;
  }
  for (int bin = last; bin < kBins; bin++) out[bin] = 0.0;
}

void PrepareLfe(DecoderState& d) {
  BlockState& b = d.block;
  double* out = d.coeffs[kLfeIndex];
  if (b.lfeexpstr) DecodeExponents(d.reader, b.expRecord[kLfeIndex], d.exps[kLfeIndex], 0);
  if (b.lfeexpstr || b.baie || b.snroffste) {
    static const int16_t kNoDelta[50] = {};
    ComputeBap(d, d.exps[kLfeIndex], d.bap[kLfeIndex], 0, 7, kFastGain[b.lfefgaincod & 7],
               SnrOffset(b.csnroffst, b.lfefsnroffst), 0, 0, kNoDelta);
  }
  ReadMantissas(d, d.bap[kLfeIndex], d.exps[kLfeIndex], 0, 7, false, d.gainMant[kLfeIndex], d.gainExp[kLfeIndex], out);
  for (int bin = 7; bin < kBins; bin++) out[bin] = 0.0;
}

void Rematrix(DecoderState& d) {
  static const int kStart[4] = {13, 25, 37, 61};
  static const int kEnd[4] = {25, 37, 61, 253};
  const BlockState& b = d.block;
  int limit = b.endmant[0] < b.endmant[1] ? b.endmant[0] : b.endmant[1];
  double* c0 = d.coeffs[0];
  double* c1 = d.coeffs[1];
  for (int i = 0; i < b.rematBands && i < 4; i++) {
    if (!b.rematflg[i]) continue;
    int stop = kEnd[i] < limit ? kEnd[i] : limit;
    for (int bin = kStart[i]; bin < stop; bin++) {
      double l = c0[bin] + c1[bin], r = c0[bin] - c1[bin];
      c0[bin] = l;
      c1[bin] = r;
    }
  }
}
