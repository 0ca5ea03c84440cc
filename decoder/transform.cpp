// Inverse transform, downmix, windowing and output (A/52 sections 7.8 and 7.9).
#include "decoder/transform.h"

#include <cstring>

#include "decoder/transform_tables.inc"

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

// In-place inverse complex FFT (e^{+j}) of n = 128 or 64 points whose input
// already lies in bit-reversed order.
static void InverseFft(double* re, double* im, int n) {
    // First two passes as one radix-4 pass (twiddles 1 and j).
    for (int i = 0; i < n; i += 4) {
        double ar = re[i] + re[i + 1], ai = im[i] + im[i + 1];
        double br = re[i] - re[i + 1], bi = im[i] - im[i + 1];
        double cr = re[i + 2] + re[i + 3], ci = im[i + 2] + im[i + 3];
        double dr = re[i + 2] - re[i + 3], di = im[i + 2] - im[i + 3];
        re[i] = ar + cr;
        im[i] = ai + ci;
        re[i + 2] = ar - cr;
        im[i + 2] = ai - ci;
        // (dr + j di) * j = -di + j dr
        re[i + 1] = br - di;
        im[i + 1] = bi + dr;
        re[i + 3] = br + di;
        im[i + 3] = bi - dr;
    }
    for (int size = 8; size <= n; size <<= 1) {
        const int half = size >> 1;
        const int step = 128 / size;
        for (int i = 0; i < n; i += size) {
            for (int k = 0; k < half; k++) {
                const double wr = kFftCos[k * step], wi = kFftSin[k * step];
                double* ar = re + i + k;
                double* ai = im + i + k;
                const double xr = ar[half], xi = ai[half];
                const double tr = xr * wr - xi * wi, ti = xr * wi + xi * wr;
                ar[half] = *ar - tr;
                ai[half] = *ai - ti;
                *ar += tr;
                *ai += ti;
            }
        }
    }
}

void ImdctLong(const double* X, double* V) {
    double re[128], im[128];
    for (int k = 0; k < 128; k++) {
        const double a = X[255 - 2 * k], b = X[2 * k];
        const int p = kBitRev.t[k];
        re[p] = a * kXcos1[k] - b * kXsin1[k];
        im[p] = b * kXcos1[k] + a * kXsin1[k];
    }
    InverseFft(re, im, 128);
    for (int n = 0; n < 128; n++) {
        V[n] = re[n] * kXcos1[n] - im[n] * kXsin1[n];
        V[128 + n] = im[n] * kXcos1[n] + re[n] * kXsin1[n];
    }
}

void ImdctShort(const double* X, double* V) {
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
    InverseFft(re1, im1, 64);
    InverseFft(re2, im2, 64);
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

void MixChannel(DecoderState& d, int ch) {
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

static inline double ClampOut(double v) { return v > 0.999999999 ? 0.999999999 : (v < -1.0 ? -1.0 : v); }

void WindowAndOutput(DecoderState& d, const BlockRequest& req, int k) {
    const double* A = d.accum[k];
    double* D = d.delay[k];
    const double* W = kWindowHalf;
    double O[kBins];
    for (int j = 0; j < 64; j++) {
        const double a = A[192 + j], b = A[63 - j], d1 = D[j], d2 = D[127 - j];
        O[2 * j] = -2.0 * (a * W[2 * j] + d1 * W[255 - 2 * j]);
        O[255 - 2 * j] = 2.0 * (a * W[255 - 2 * j] - d1 * W[2 * j]);
        O[2 * j + 1] = 2.0 * (d2 * W[254 - 2 * j] + b * W[2 * j + 1]);
        O[254 - 2 * j] = 2.0 * (d2 * W[2 * j + 1] - b * W[254 - 2 * j]);
    }
    std::memcpy(D, A + 64, 128 * sizeof(double));
    const int slot = OutputSlot(d, k);
    double* dest = req.outSlots ? req.outSlots[slot] : nullptr;
    if (!dest) return;
    const int stride = req.outStrides ? req.outStrides[slot] : 1;
    for (int n = 0; n < kBins; n++) dest[n * stride] = ClampOut(O[n]);
}
