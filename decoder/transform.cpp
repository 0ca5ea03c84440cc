// Inverse transform, downmix, windowing and output (A/52 sections 7.8 and 7.9).
#include "decoder/transform.h"

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

// The radix-4 passes of sizes 16 and (for 128 points) 64.
static inline __attribute__((always_inline)) void MiddlePasses(double* re, double* im, int n) {
    // Radix-4 passes (radix 2 x 2: two radix-2 stages at once, three twiddles).
    const double* wc = kR4Cos;
    const double* ws = kR4Sin;
    for (int m = 4; m <= 16 && 4 * m <= n; m *= 4) {
        const double* c1 = wc;
        const double* s1 = ws;
        const double* c2 = wc + m;
        const double* s2 = ws + m;
        const double* c3 = wc + 2 * m;
        const double* s3 = ws + 2 * m;
        for (int i = 0; i < n; i += 4 * m) {
            double* __restrict r0 = re + i;
            double* __restrict i0 = im + i;
            double* __restrict r1 = re + i + m;
            double* __restrict i1 = im + i + m;
            double* __restrict r2 = re + i + 2 * m;
            double* __restrict i2 = im + i + 2 * m;
            double* __restrict r3 = re + i + 3 * m;
            double* __restrict i3 = im + i + 3 * m;
            for (int k = 0; k < m; k++) {
                // a1 = W^2k x1, a2 = W^k x2, a3 = W^3k x3
                const double a1r = r1[k] * c2[k] - i1[k] * s2[k], a1i = r1[k] * s2[k] + i1[k] * c2[k];
                const double a2r = r2[k] * c1[k] - i2[k] * s1[k], a2i = r2[k] * s1[k] + i2[k] * c1[k];
                const double a3r = r3[k] * c3[k] - i3[k] * s3[k], a3i = r3[k] * s3[k] + i3[k] * c3[k];
                const double y0r = r0[k] + a1r, y0i = i0[k] + a1i, y1r = r0[k] - a1r, y1i = i0[k] - a1i;
                const double z0r = a2r + a3r, z0i = a2i + a3i, z1r = a2r - a3r, z1i = a2i - a3i;
                r0[k] = y0r + z0r;
                i0[k] = y0i + z0i;
                r2[k] = y0r - z0r;
                i2[k] = y0i - z0i;
                r1[k] = y1r - z1i;  // y1 + j z1
                i1[k] = y1i + z1r;
                r3[k] = y1r + z1i;  // y1 - j z1
                i3[k] = y1i - z1r;
            }
        }
        wc += 3 * m;
        ws += 3 * m;
    }
}

// The 64-point FFT of the short transform.
static inline __attribute__((always_inline)) void InverseFft64(double* re, double* im) {
    for (int i = 0; i < 64; i += 4)
        FirstPass(re + i, im + i, re[i], im[i], re[i + 1], im[i + 1], re[i + 2], im[i + 2], re[i + 3], im[i + 3]);
    MiddlePasses(re, im, 64);
}

// The long transform with the pre-twiddle fused into the first FFT pass (four
// bit-reversed inputs at a time) and the last radix-2 pass into the post-twiddle.
TX_HOT void ImdctLong(const double* X, double* V) {
    double re[128], im[128];
    for (int i = 0; i < 128; i += 4) {
        double r[4], m[4];
        for (int j = 0; j < 4; j++) {
            const int k = kBitRev.t[i + j];
            const double a = X[255 - 2 * k], b = X[2 * k];
            r[j] = a * kXcos1[k] - b * kXsin1[k];
            m[j] = b * kXcos1[k] + a * kXsin1[k];
        }
        FirstPass(re + i, im + i, r[0], m[0], r[1], m[1], r[2], m[2], r[3], m[3]);
    }
    MiddlePasses(re, im, 128);
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
        V[n] = re1[n] * kXcos2[n] - im1[n] * kXsin2[n];         // yr1
        V[192 + n] = im1[n] * kXcos2[n] + re1[n] * kXsin2[n];   // yi1
        V[64 + n] = re2[n] * kXcos2[n] - im2[n] * kXsin2[n];    // yr2
        V[128 + n] = im2[n] * kXcos2[n] + re2[n] * kXsin2[n];   // yi2
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
    double (&m)[kSlots][kSlots] = d.matrix;
    const FrameHeader& h = d.header;
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

TX_HOT void WindowAndOutput(DecoderState& d, const BlockRequest& req, int k) {
    const double* A = d.accum[k];
    double* D = d.delay[k];
    const double* w0 = kPairs.w[0];
    const double* w1 = kPairs.w[1];
    const double* w2 = kPairs.w[2];
    const double* w3 = kPairs.w[3];
    double even[64], evenBack[64], odd[64], oddBack[64];  // O[2j], O[255-2j], O[2j+1], O[254-2j]
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
        even[j] = clamp(-(a * w0[j] + d1 * w1[j]));
        evenBack[j] = clamp(a * w1[j] - d1 * w0[j]);
        odd[j] = clamp(d2[j] * w2[j] + b[j] * w3[j]);
        oddBack[j] = clamp(d2[j] * w3[j] - b[j] * w2[j]);
    }
    std::memcpy(D, A + 64, 128 * sizeof(double));
    const int slot = OutputSlot(d, k);
    double* dest = req.outSlots ? req.outSlots[slot] : nullptr;
    if (!dest) return;
    const int s = req.outStrides ? req.outStrides[slot] : 1;
    for (int j = 0; j < 64; j++) {
        dest[2 * j * s] = even[j];
        dest[(2 * j + 1) * s] = odd[j];
        dest[(255 - 2 * j) * s] = evenBack[j];
        dest[(254 - 2 * j) * s] = oddBack[j];
    }
}
