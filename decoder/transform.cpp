// Inverse transform, downmix, windowing and output (A/52 sections 7.8 and 7.9).
#include "decoder/transform.h"

#include <cmath>
#include <cstring>

#include "decoder/transform_tables.inc"

// The transform, mixing and windowing loops also get a clone for processors with
// AVX2 and FMA (x86-64-v3) where the platform can pick one at load time (GNU
// ifunc; GCC on Linux).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_ADDRESS__)
#define TX_HOT __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define TX_HOT
#endif

const int8_t kSlotByMode[8][5] = {
    {0, 2, -1, -1, -1}, {1, -1, -1, -1, -1}, {0, 2, -1, -1, -1}, {0, 1, 2, -1, -1},
    {0, 2, 3, -1, -1},  {0, 1, 2, 3, -1},    {0, 2, 3, 4, -1},   {0, 1, 2, 3, 4},
};
const int8_t kFrontByMode[8] = {2, 1, 2, 3, 2, 3, 2, 3};
const int8_t kSurroundByMode[8] = {0, 0, 0, 0, 1, 1, 2, 2};
static const int8_t kChannelsByMode[8] = {2, 1, 2, 3, 3, 4, 4, 5};

static const int L = 0, C = 1, R = 2, Ls = 3, S = 3, Rs = 4, LFE = 5;
static const double kHalfRoot = 0.707106781;
static const double kRoot2 = 1.414213562;
static const double kCentreMix[4] = {0.707106781, 0.594603557, 0.5, 0.594603557};
static const double kSurroundMix[4] = {0.707106781, 0.5, 0.0, 0.5};

// ---- FFT --------------------------------------------------------------------

struct BitRevMaker {
  uint8_t t[128];
  constexpr BitRevMaker() : t() {
    for (int i = 0; i < 128; i++) {
      int r = 0;
      for (int b = 0; b < 7; b++) r |= ((i >> b) & 1) << (6 - b);
      t[i] = (uint8_t)r;
    }
  }
};
static constexpr BitRevMaker kBitRev;
static_assert(kBitRev.t[1] == 64 && kBitRev.t[127] == 127, "bit reversal");

// The inverse complex FFT (e^{+j}) of n = 128 or 64 points runs in place on
// input in bit-reversed order: the first two radix-2 passes as one radix-4 pass,
// radix-4 passes of size 16 and 64, and for 128 points a final radix-2 pass. The
// long transform fuses the first and last passes with its twiddles.

// The first two passes as one radix-4 pass (twiddles 1 and j) on four values.
static inline __attribute__((always_inline)) void FirstPass(double* re, double* im, double r0, double i0, double r1,
                                                            double i1, double r2, double i2, double r3, double i3) {
  const double ar = r0 + r1, ai = i0 + i1, br = r0 - r1, bi = i0 - i1;
  const double cr = r2 + r3, ci = i2 + i3, dr = r2 - r3, di = i2 - i3;
  re[0] = ar + cr;
  im[0] = ai + ci;
  re[2] = ar - cr;
  im[2] = ai - ci;
  // (dr + j di) * j = -di + j dr
  re[1] = br - di;
  im[1] = bi + dr;
  re[3] = br + di;
  im[3] = bi - dr;
}

// Four doubles as one value (GCC and clang vector extension): lowered to
// whatever vector width the target has, or to plain scalar code.
typedef double Double4 __attribute__((vector_size(32)));

// Rows a, b, c, d become the columns of the 4 x 4 matrix they form.
static inline __attribute__((always_inline)) void Transpose4(Double4& a, Double4& b, Double4& c, Double4& d) {
  const Double4 t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);  // a0 b0 a2 b2
  const Double4 t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);  // a1 b1 a3 b3
  const Double4 t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);  // c0 d0 c2 d2
  const Double4 t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);  // c1 d1 c3 d3
  a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// One radix-4 pass (radix 2 x 2: two radix-2 stages at once, three twiddles)
// over blocks of 4 M of an N-point FFT, four butterflies at a time.
template <int M, int N>
static inline __attribute__((always_inline)) void RadixFourPass(double* re, double* im, const double* wc,
                                                                const double* ws) {
  static_assert(M % 4 == 0, "four butterflies at a time");
  for (int i = 0; i < N; i += 4 * M) {
    for (int k = 0; k < M; k += 4) {
      Double4 c1, s1, c2, s2, c3, s3, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i;
      std::memcpy(&c1, wc + k, 32);
      std::memcpy(&s1, ws + k, 32);
      std::memcpy(&c2, wc + M + k, 32);
      std::memcpy(&s2, ws + M + k, 32);
      std::memcpy(&c3, wc + 2 * M + k, 32);
      std::memcpy(&s3, ws + 2 * M + k, 32);
      std::memcpy(&x0r, re + i + k, 32);
      std::memcpy(&x0i, im + i + k, 32);
      std::memcpy(&x1r, re + i + M + k, 32);
      std::memcpy(&x1i, im + i + M + k, 32);
      std::memcpy(&x2r, re + i + 2 * M + k, 32);
      std::memcpy(&x2i, im + i + 2 * M + k, 32);
      std::memcpy(&x3r, re + i + 3 * M + k, 32);
      std::memcpy(&x3i, im + i + 3 * M + k, 32);
      // a1 = W^2k x1, a2 = W^k x2, a3 = W^3k x3
      const Double4 a1r = x1r * c2 - x1i * s2, a1i = x1r * s2 + x1i * c2;
      const Double4 a2r = x2r * c1 - x2i * s1, a2i = x2r * s1 + x2i * c1;
      const Double4 a3r = x3r * c3 - x3i * s3, a3i = x3r * s3 + x3i * c3;
      const Double4 y0r = x0r + a1r, y0i = x0i + a1i, y1r = x0r - a1r, y1i = x0i - a1i;
      const Double4 z0r = a2r + a3r, z0i = a2i + a3i, z1r = a2r - a3r, z1i = a2i - a3i;
      const Double4 o0r = y0r + z0r, o0i = y0i + z0i, o2r = y0r - z0r, o2i = y0i - z0i;
      const Double4 o1r = y1r - z1i, o1i = y1i + z1r;  // y1 + j z1
      const Double4 o3r = y1r + z1i, o3i = y1i - z1r;  // y1 - j z1
      std::memcpy(re + i + k, &o0r, 32);
      std::memcpy(im + i + k, &o0i, 32);
      std::memcpy(re + i + M + k, &o1r, 32);
      std::memcpy(im + i + M + k, &o1i, 32);
      std::memcpy(re + i + 2 * M + k, &o2r, 32);
      std::memcpy(im + i + 2 * M + k, &o2i, 32);
      std::memcpy(re + i + 3 * M + k, &o3r, 32);
      std::memcpy(im + i + 3 * M + k, &o3i, 32);
    }
  }
}

// The radix-4 passes of sizes 16 and 64 of an N-point FFT (N = 64 or 128).
template <int N>
static inline __attribute__((always_inline)) void MiddlePasses(double* re, double* im) {
  RadixFourPass<4, N>(re, im, kR4Cos, kR4Sin);
  RadixFourPass<16, N>(re, im, kR4Cos + 12, kR4Sin + 12);
}

// The 64-point FFT of the short transform.
static inline __attribute__((always_inline)) void InverseFft64(double* re, double* im) {
  for (int i = 0; i < 64; i += 4)
    FirstPass(re + i, im + i, re[i], im[i], re[i + 1], im[i + 1], re[i + 2], im[i + 2], re[i + 3], im[i + 3]);
  MiddlePasses<64>(re, im);
}

// The long transform: the pre-twiddle in natural order, the first FFT pass four
// butterflies at a time with their results transposed into bit-reversed place,
// the last radix-2 pass fused with the post-twiddle.
TX_HOT void ImdctLong(const double* X, double* V) {
  double xa[128], xb[128], zr[128], zi[128], re[128], im[128];
  for (int j = 0; j < 128; j++) {  // the transform's input pairs, gathered first
    xb[j] = X[2 * j];
    xa[127 - j] = X[2 * j + 1];
  }
  for (int k = 0; k < 128; k++) {  // pre-twiddle in natural order
    zr[k] = xa[k] * kXcos1[k] - xb[k] * kXsin1[k];
    zi[k] = xb[k] * kXcos1[k] + xa[k] * kXsin1[k];
  }
  // The first pass: the four values at positions p .. p + 3 come from inputs
  // k, k + 64, k + 32, k + 96 for p = bit reversal of k (k < 32). Four k at a
  // time: their butterflies side by side, then transposed so that each k's
  // four results go to its positions in one store.
  for (int k = 0; k < 32; k += 4) {
    Double4 r0, i0, r1, i1, r2, i2, r3, i3;
    std::memcpy(&r0, zr + k, 32);
    std::memcpy(&i0, zi + k, 32);
    std::memcpy(&r1, zr + k + 64, 32);
    std::memcpy(&i1, zi + k + 64, 32);
    std::memcpy(&r2, zr + k + 32, 32);
    std::memcpy(&i2, zi + k + 32, 32);
    std::memcpy(&r3, zr + k + 96, 32);
    std::memcpy(&i3, zi + k + 96, 32);
    const Double4 ar = r0 + r1, ai = i0 + i1, br = r0 - r1, bi = i0 - i1;
    const Double4 cr = r2 + r3, ci = i2 + i3, dr = r2 - r3, di = i2 - i3;
    Double4 o0r = ar + cr, o0i = ai + ci, o2r = ar - cr, o2i = ai - ci;
    Double4 o1r = br - di, o1i = bi + dr;  // (dr + j di) * j = -di + j dr
    Double4 o3r = br + di, o3i = bi - dr;
    Transpose4(o0r, o1r, o2r, o3r);
    Transpose4(o0i, o1i, o2i, o3i);
    std::memcpy(re + kBitRev.t[k], &o0r, 32);
    std::memcpy(im + kBitRev.t[k], &o0i, 32);
    std::memcpy(re + kBitRev.t[k + 1], &o1r, 32);
    std::memcpy(im + kBitRev.t[k + 1], &o1i, 32);
    std::memcpy(re + kBitRev.t[k + 2], &o2r, 32);
    std::memcpy(im + kBitRev.t[k + 2], &o2i, 32);
    std::memcpy(re + kBitRev.t[k + 3], &o3r, 32);
    std::memcpy(im + kBitRev.t[k + 3], &o3i, 32);
  }
  MiddlePasses<128>(re, im);
  const double* __restrict ar = re;
  const double* __restrict ai = im;
  const double* __restrict br = re + 64;
  const double* __restrict bi = im + 64;
  for (int k = 0; k < 64; k++) {
    const double tr = br[k] * kR2Cos[k] - bi[k] * kR2Sin[k], ti = br[k] * kR2Sin[k] + bi[k] * kR2Cos[k];
    const double lr = ar[k] + tr, li = ai[k] + ti;  // bin k
    const double hr = ar[k] - tr, hi = ai[k] - ti;  // bin 64 + k
    V[k] = lr * kXcos1[k] - li * kXsin1[k];
    V[128 + k] = li * kXcos1[k] + lr * kXsin1[k];
    V[64 + k] = hr * kXcos1[64 + k] - hi * kXsin1[64 + k];
    V[192 + k] = hi * kXcos1[64 + k] + hr * kXsin1[64 + k];
  }
}

TX_HOT void ImdctShort(const double* X, double* V) {
  double re1[64], im1[64], re2[64], im2[64];
  for (int k = 0; k < 64; k++) {
    const int p = kBitRev.t[k] >> 1;
    const double a1 = X[254 - 4 * k], b1 = X[4 * k];
    const double a2 = X[255 - 4 * k], b2 = X[4 * k + 1];
    re1[p] = a1 * kXcos2[k] - b1 * kXsin2[k];
    im1[p] = b1 * kXcos2[k] + a1 * kXsin2[k];
    re2[p] = a2 * kXcos2[k] - b2 * kXsin2[k];
    im2[p] = b2 * kXcos2[k] + a2 * kXsin2[k];
  }
  InverseFft64(re1, im1);
  InverseFft64(re2, im2);
  for (int n = 0; n < 64; n++) {
    V[n] = re1[n] * kXcos2[n] - im1[n] * kXsin2[n];        // yr1
    V[192 + n] = im1[n] * kXcos2[n] + re1[n] * kXsin2[n];  // yi1
    V[64 + n] = re2[n] * kXcos2[n] - im2[n] * kXsin2[n];   // yr2
    V[128 + n] = im2[n] * kXcos2[n] + re2[n] * kXsin2[n];  // yi2
  }
}

// ---- downmix matrix ----------------------------------------------------------

int OutputChannelCount(const DecoderState& d) { return kChannelsByMode[d.outMode & 7] + (d.outLfe ? 1 : 0); }

static int OutputSlot(const DecoderState& d, int k) {
  return k < kChannelsByMode[d.outMode & 7] ? kSlotByMode[d.outMode & 7][k] : LFE;
}

static int InputSlot(const DecoderState& d, int ch) {
  return ch == kLfeIndex ? LFE : kSlotByMode[d.header.acmod & 7][ch];
}

void BuildMatrix(DecoderState& d, const BlockRequest& req) {
  double(&m)[kSlots][kSlots] = d.matrix;
  const FrameHeader& h = d.header;
  // Everything the standard matrix depends on; the same inputs as last time
  // leave matrix and overload flag as they are.
  const int32_t key = 1 | (h.acmod & 7) << 1 | (h.cmixlev & 3) << 4 | (h.surmixlev & 3) << 6 |
                      (h.karaoke ? 1 : 0) << 8 | (h.lfeon ? 1 : 0) << 9 | (d.outMode & 7) << 10 |
                      (d.outLfe ? 1 : 0) << 13 | (d.dualMode & 3) << 14;
  if (!req.customDownmix && key == d.matrixKey) return;
  d.matrixKey = req.customDownmix ? 0 : key;
  if (req.customDownmix) {
    for (int o = 0; o < kSlots; o++)
      for (int i = 0; i < kSlots; i++) m[o][i] = req.customDownmix[o * kSlots + i];
  } else {
    std::memset(m, 0, sizeof m);
    const int acmod = h.acmod & 7, out = d.outMode & 7;
    const int nf = kFrontByMode[acmod], ns = kSurroundByMode[acmod];
    const int nfo = kFrontByMode[out], nso = kSurroundByMode[out];
    const double clev = kCentreMix[h.cmixlev & 3], slev = kSurroundMix[h.surmixlev & 3];
    if (acmod == 0) {
      const int dual = d.dualMode & 3;
      if (nfo == 1) {
        if (dual == 1) m[C][L] = 1.0;
        else if (dual == 2) m[C][R] = 1.0;
        else m[C][L] = m[C][R] = 0.5;
      } else if (nfo == 2) {
        if (dual == 0) m[L][L] = m[R][R] = 1.0;
        else if (dual == 1) m[L][L] = m[R][L] = kHalfRoot;
        else if (dual == 2) m[L][R] = m[R][R] = kHalfRoot;
        else m[L][L] = m[L][R] = m[R][L] = m[R][R] = 0.5;
      } else {
        if (dual == 0) m[L][L] = m[R][R] = 1.0;
        else if (dual == 1) m[C][L] = 1.0;
        else if (dual == 2) m[C][R] = 1.0;
        else m[C][L] = m[C][R] = 0.5;
      }
    } else if (!h.karaoke) {
      bool inStream[5] = {}, inOutput[5] = {};
      for (int i = 0; i < 5 && kSlotByMode[acmod][i] >= 0; i++) inStream[kSlotByMode[acmod][i]] = true;
      for (int i = 0; i < 5 && kSlotByMode[out][i] >= 0; i++) inOutput[kSlotByMode[out][i]] = true;
      for (int s = 0; s < 5; s++)
        if (inStream[s] && inOutput[s]) m[s][s] = 1.0;
      if (out == 0) {
        if (nf != 2) m[L][C] = m[R][C] = kHalfRoot;
        if (ns == 1) {
          m[L][S] = -kHalfRoot;
          m[R][S] = kHalfRoot;
        } else if (ns == 2) {
          m[L][Ls] = m[L][Rs] = -kHalfRoot;
          m[R][Ls] = m[R][Rs] = kHalfRoot;
        }
      } else if (out == 1) {
        if (nf != 1) m[C][L] = m[C][R] = kHalfRoot;
        if (nf == 3) m[C][C] = clev * kRoot2;
        if (ns == 1) m[C][S] = slev * kHalfRoot;
        else if (ns == 2) m[C][Ls] = m[C][Rs] = slev * kHalfRoot;
      } else {
        if (nfo == 2) {
          if (nf == 1) m[L][C] = m[R][C] = kHalfRoot;
          else if (nf == 3) m[L][C] = m[R][C] = clev;
        }
        if (ns == 1) {
          if (nso == 0) m[L][S] = m[R][S] = slev * kHalfRoot;
          else if (nso == 2) m[Ls][S] = m[Rs][S] = kHalfRoot;
        } else if (ns == 2) {
          if (nso == 0) {
            m[L][Ls] = slev;
            m[R][Rs] = slev;
          } else if (nso == 1) {
            m[S][Ls] = m[S][Rs] = kHalfRoot;
          }
        }
      }
    } else {
      if (nfo == 1) {
        m[C][L] = m[C][R] = kHalfRoot;
        m[C][C] = clev * kRoot2;
        m[C][Ls] = m[C][Rs] = slev * kHalfRoot;
      } else if (nfo == 2) {
        m[L][L] = m[R][R] = 1.0;
        m[L][C] = m[R][C] = clev;
        if (ns == 1) m[L][S] = m[R][S] = slev * kHalfRoot;
        else if (ns == 2) {
          m[L][Ls] = slev;
          m[R][Rs] = slev;
        }
      } else {
        m[L][L] = m[C][C] = m[R][R] = 1.0;
        if (ns == 1) m[C][S] = slev;
        else if (ns == 2) {
          m[L][Ls] = slev;
          m[R][Rs] = slev;
        }
      }
    }
    if (h.lfeon && d.outLfe) m[LFE][LFE] = 1.0;
  }
  d.overload = 0;
  for (int o = 0; o < kSlots; o++) {
    double sum = 0.0;
    for (int i = 0; i < kSlots; i++) sum += m[o][i] < 0 ? -m[o][i] : m[o][i];
    if (sum > 1.0) d.overload = 1;
  }
}

// ---- mixing, transform, window -----------------------------------------------

void BeginMix(DecoderState& d) {
  for (int k = 0; k < kSlots; k++) d.hasLong[k] = d.hasShort[k] = 0;
}

TX_HOT void MixChannel(DecoderState& d, int ch) {
  const int in = InputSlot(d, ch);
  if (in < 0) return;
  const bool isShort = ch != kLfeIndex && d.block.blksw[ch];
  const double* X = d.coeffs[ch];
  const double shift = 1.0 / (double)(1 << d.headroom[ch]);
  const int count = OutputChannelCount(d);
  for (int k = 0; k < count; k++) {
    const double c = d.matrix[OutputSlot(d, k)][in] * shift;
    if (c == 0.0) continue;
    double* mix = isShort ? d.mixShort[k] : d.mixLong[k];
    int16_t& has = isShort ? d.hasShort[k] : d.hasLong[k];
    if (has) {
      for (int i = 0; i < kBins; i++) mix[i] += c * X[i];
    } else {
      for (int i = 0; i < kBins; i++) mix[i] = c * X[i];
      has = 1;
    }
  }
}

void TransformOutputs(DecoderState& d) {
  const int count = OutputChannelCount(d);
  for (int k = 0; k < count; k++) {
    double* A = d.accum[k];
    if (d.hasLong[k]) {
      ImdctLong(d.mixLong[k], A);
      if (d.hasShort[k]) {
        double V[kBins];
        ImdctShort(d.mixShort[k], V);
        for (int i = 0; i < kBins; i++) A[i] += V[i];
      }
    } else if (d.hasShort[k]) {
      ImdctShort(d.mixShort[k], A);
    } else {
      std::memset(A, 0, sizeof d.accum[k]);
    }
    d.written[k] = (int16_t)(d.hasLong[k] || d.hasShort[k]);
  }
}

void ClearOutputs(DecoderState& d) {
  std::memset(d.accum, 0, sizeof d.accum);
  for (int k = 0; k < kSlots; k++) d.written[k] = 0;
}

// The window halves that WindowAndOutput pairs, in loop order and times 2:
// [0][j] = 2 W[2j], [1][j] = 2 W[255 - 2j], [2][j] = 2 W[254 - 2j], [3][j] = 2 W[2j + 1].
struct WindowPairs {
  double w[4][64];
};
static WindowPairs MakeWindowPairs() {
  WindowPairs p;
  for (int j = 0; j < 64; j++) {
    p.w[0][j] = 2.0 * kWindowHalf[2 * j];
    p.w[1][j] = 2.0 * kWindowHalf[255 - 2 * j];
    p.w[2][j] = 2.0 * kWindowHalf[254 - 2 * j];
    p.w[3][j] = 2.0 * kWindowHalf[2 * j + 1];
  }
  return p;
}
static const WindowPairs kPairs = MakeWindowPairs();

// O[0..255] to dest at stride S (0: the run-time stride s): the common strides as
// constants, so that every store has a fixed offset.
template <int S>
static inline __attribute__((always_inline)) void StoreOutput(double* dest, const double* even, const double* odd,
                                                              const double* evenBack, const double* oddBack, int s) {
  const int step = S ? S : s;
  for (int j = 0; j < 64; j++) {
    dest[2 * j * step] = even[j];
    dest[(2 * j + 1) * step] = odd[j];
    dest[(255 - 2 * j) * step] = evenBack[j];
    dest[(254 - 2 * j) * step] = oddBack[j];
  }
}

// Output channel k windowed and overlapped: O[2j], O[2j + 1], O[255 - 2j] and
// O[254 - 2j] for j = 0..63. Updates k's delay line.
struct WindowedBlock {
  double even[64], odd[64], evenBack[64], oddBack[64];
};

static inline __attribute__((always_inline)) void WindowChannel(DecoderState& d, int k, WindowedBlock& o) {
  const double* A = d.accum[k];
  double* D = d.delay[k];
  const double* w0 = kPairs.w[0];
  const double* w1 = kPairs.w[1];
  const double* w2 = kPairs.w[2];
  const double* w3 = kPairs.w[3];
  double b[64], d2[64];
  for (int j = 0; j < 64; j++) {
    b[j] = A[63 - j];
    d2[j] = D[127 - j];
  }
  auto clamp = [](double v) {
    v = v > 0.999999999 ? 0.999999999 : v;
    return v < -1.0 ? -1.0 : v;
  };
  for (int j = 0; j < 64; j++) {
    const double a = A[192 + j], d1 = D[j];
    o.even[j] = clamp(-(a * w0[j] + d1 * w1[j]));
    o.evenBack[j] = clamp(a * w1[j] - d1 * w0[j]);
    o.odd[j] = clamp(d2[j] * w2[j] + b[j] * w3[j]);
    o.oddBack[j] = clamp(d2[j] * w3[j] - b[j] * w2[j]);
  }
  std::memcpy(D, A + 64, 128 * sizeof(double));
}

TX_HOT void WindowAndOutput(DecoderState& d, const BlockRequest& req, int k) {
  WindowedBlock o;
  WindowChannel(d, k, o);
  const int slot = OutputSlot(d, k);
  double* dest = req.outSlots ? req.outSlots[slot] : nullptr;
  if (!dest) return;
  const int s = req.outStrides ? req.outStrides[slot] : 1;
  if (s == 2) {
    StoreOutput<2>(dest, o.even, o.odd, o.evenBack, o.oddBack, 2);
  } else if (s == 1) {
    StoreOutput<1>(dest, o.even, o.odd, o.evenBack, o.oddBack, 1);
  } else {
    StoreOutput<0>(dest, o.even, o.odd, o.evenBack, o.oddBack, s);
  }
}

TX_HOT bool WindowAndOutputStereo(DecoderState& d, const BlockRequest& req) {
  if (OutputChannelCount(d) != 2 || OutputSlot(d, 0) != L || OutputSlot(d, 1) != R || !req.outSlots ||
      !req.outStrides || req.outStrides[L] != 2 || req.outStrides[R] != 2 || !req.outSlots[L] ||
      req.outSlots[R] != req.outSlots[L] + 1)
    return false;
  WindowedBlock l, r;
  WindowChannel(d, 0, l);
  WindowChannel(d, 1, r);
  // Samples n = 2j, 2j + 1 lie at dest[4j .. 4j + 3] as L, R, L, R; samples
  // 254 - 2j, 255 - 2j at dest[508 - 4j .. 511 - 4j]. Four j at a time,
  // transposed so that each j's four values go out in one store.
  double* dest = req.outSlots[L];
  for (int j = 0; j < 64; j += 4) {
    Double4 a, b, c, e;
    std::memcpy(&a, l.even + j, 32);
    std::memcpy(&b, r.even + j, 32);
    std::memcpy(&c, l.odd + j, 32);
    std::memcpy(&e, r.odd + j, 32);
    Transpose4(a, b, c, e);
    std::memcpy(dest + 4 * j, &a, 32);
    std::memcpy(dest + 4 * j + 4, &b, 32);
    std::memcpy(dest + 4 * j + 8, &c, 32);
    std::memcpy(dest + 4 * j + 12, &e, 32);
    std::memcpy(&a, l.oddBack + j, 32);
    std::memcpy(&b, r.oddBack + j, 32);
    std::memcpy(&c, l.evenBack + j, 32);
    std::memcpy(&e, r.evenBack + j, 32);
    Transpose4(a, b, c, e);
    std::memcpy(dest + 508 - 4 * j, &a, 32);
    std::memcpy(dest + 504 - 4 * j, &b, 32);
    std::memcpy(dest + 500 - 4 * j, &c, 32);
    std::memcpy(dest + 496 - 4 * j, &e, 32);
  }
  return true;
}

// Saturating first gives the same result as rounding first (32767.5 and
// -32768.5 truncate to the limits) and lets the loop below run without branches.
short ConvertSample(double x) {
  double v = x * 49152.0;
  v = v > 32767.0 ? 32767.0 : v;
  v = v < -32768.0 ? -32768.0 : v;
  return (short)(int)(v + std::copysign(0.5, v));
}

// The same steps as ConvertSample, four samples at a time.
typedef int64_t Int64x4 __attribute__((vector_size(32)));
typedef int32_t Int32x4 __attribute__((vector_size(16)));
typedef int16_t Int16x4 __attribute__((vector_size(8)));

TX_HOT void ConvertToPcm(const double* x, short* out, int n) {
  const Double4 hi = {32767.0, 32767.0, 32767.0, 32767.0}, lo = {-32768.0, -32768.0, -32768.0, -32768.0};
  const Double4 half = {0.5, 0.5, 0.5, 0.5};
  const Int64x4 sign = {INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    Double4 v;
    std::memcpy(&v, x + i, sizeof v);
    v = v * 49152.0;
    v = v > hi ? hi : v;
    v = v < lo ? lo : v;
    const Double4 rounder = (Double4)(((Int64x4)v & sign) | (Int64x4)half);  // +-0.5 by the sign
    const Int16x4 s = __builtin_convertvector(__builtin_convertvector(v + rounder, Int32x4), Int16x4);
    std::memcpy(out + i, &s, sizeof s);
  }
  for (; i < n; i++) out[i] = ConvertSample(x[i]);
}
