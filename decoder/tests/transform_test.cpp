// Inverse transform against the direct formulas of A/52 7.9.4, the downmix
// matrix for every stream and output layout, windowing, overlap and clamping.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>

#include "decoder/core.h"
#include "decoder/transform.h"

namespace {

DecoderState g_state;
using cd = std::complex<double>;
const double kPi = 3.14159265358979323846;

// Steps 1 to 3 of A/52 7.9.4.1 with the sum of step 2 evaluated directly.
void DirectLong(const double* X, double* V) {
  const int N = 512;
  cd Z[128], z[128];
  for (int k = 0; k < N / 4; k++) {
    double c = -std::cos(2 * kPi * (8 * k + 1) / (8.0 * N)), s = -std::sin(2 * kPi * (8 * k + 1) / (8.0 * N));
    Z[k] = cd(X[N / 2 - 2 * k - 1] * c - X[2 * k] * s, X[2 * k] * c + X[N / 2 - 2 * k - 1] * s);
  }
  for (int n = 0; n < N / 4; n++) {
    z[n] = 0;
    for (int k = 0; k < N / 4; k++) z[n] += Z[k] * cd(std::cos(8 * kPi * k * n / N), std::sin(8 * kPi * k * n / N));
  }
  for (int n = 0; n < N / 4; n++) {
    double c = -std::cos(2 * kPi * (8 * n + 1) / (8.0 * N)), s = -std::sin(2 * kPi * (8 * n + 1) / (8.0 * N));
    V[n] = z[n].real() * c - z[n].imag() * s;
    V[128 + n] = z[n].imag() * c + z[n].real() * s;
  }
}

// A/52 7.9.4.2: two 64-point transforms of the even and odd coefficients.
void DirectShort(const double* X, double* V) {
  const int N = 512;
  double X1[128], X2[128];
  for (int k = 0; k < N / 4; k++) {
    X1[k] = X[2 * k];
    X2[k] = X[2 * k + 1];
  }
  cd Z1[64], Z2[64], z1[64], z2[64];
  for (int k = 0; k < N / 8; k++) {
    double c = -std::cos(2 * kPi * (8 * k + 1) / (4.0 * N)), s = -std::sin(2 * kPi * (8 * k + 1) / (4.0 * N));
    Z1[k] = cd(X1[N / 4 - 2 * k - 1] * c - X1[2 * k] * s, X1[2 * k] * c + X1[N / 4 - 2 * k - 1] * s);
    Z2[k] = cd(X2[N / 4 - 2 * k - 1] * c - X2[2 * k] * s, X2[2 * k] * c + X2[N / 4 - 2 * k - 1] * s);
  }
  for (int n = 0; n < N / 8; n++) {
    z1[n] = z2[n] = 0;
    for (int k = 0; k < N / 8; k++) {
      cd w(std::cos(16 * kPi * k * n / N), std::sin(16 * kPi * k * n / N));
      z1[n] += Z1[k] * w;
      z2[n] += Z2[k] * w;
    }
  }
  for (int n = 0; n < N / 8; n++) {
    double c = -std::cos(2 * kPi * (8 * n + 1) / (4.0 * N)), s = -std::sin(2 * kPi * (8 * n + 1) / (4.0 * N));
    V[n] = z1[n].real() * c - z1[n].imag() * s;        // yr1
    V[192 + n] = z1[n].imag() * c + z1[n].real() * s;  // yi1
    V[64 + n] = z2[n].real() * c - z2[n].imag() * s;   // yr2
    V[128 + n] = z2[n].imag() * c + z2[n].real() * s;  // yi2
  }
}

TEST(Imdct, LongAndShortMatchTheDirectFormulas) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 20; trial++) {
    double X[256], want[256], got[256];
    for (double& x : X) x = u(rng);
    if (trial == 0) {
      std::memset(X, 0, sizeof X);
      X[5] = 1.0;
    }
    DirectLong(X, want);
    ImdctLong(X, got);
    for (int i = 0; i < 256; i++) ASSERT_NEAR(got[i], want[i], 1e-12) << "long, trial " << trial << " i " << i;
    DirectShort(X, want);
    ImdctShort(X, got);
    for (int i = 0; i < 256; i++) ASSERT_NEAR(got[i], want[i], 1e-12) << "short, trial " << trial << " i " << i;
  }
}

TEST(Imdct, TablesAreTheStandardOnes) {
  EXPECT_NEAR(kWindowHalf[0], 0.00014, 5e-6);
  EXPECT_NEAR(kWindowHalf[255], 1.0, 1e-5);
  for (int n = 0; n < 256; n++) {
    // Princen-Bradley: w[n]^2 + w[n + 256]^2 = 1, with w[511 - n] = w[n]
    double other = kWindowHalf[255 - n];
    EXPECT_NEAR(kWindowHalf[n] * kWindowHalf[n] + other * other, 1.0, 1e-12) << n;
  }
}

// ---- downmix matrix ----

const double h = 0.707106781;
const int L = 0, C = 1, R = 2, S = 3, Ls = 3, Rs = 4, LFE = 5;

void Matrix(int acmod, int outMode, int cmixlev = 0, int surmixlev = 0, int dual = 0, int bsmod = 0, int lfeon = 0,
            int outLfe = 0) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.acmod = (int16_t)acmod;
  d.header.cmixlev = (int16_t)cmixlev;
  d.header.surmixlev = (int16_t)surmixlev;
  d.header.bsmod = (int16_t)bsmod;
  d.header.karaoke = (int16_t)(acmod >= 2 && bsmod == 7);
  d.header.lfeon = (int16_t)lfeon;
  d.outMode = (int16_t)outMode;
  d.outLfe = (int16_t)outLfe;
  d.dualMode = (int16_t)dual;
  BlockRequest req = {};
  BuildMatrix(d, req);
}

struct Entry {
  int out, in;
  double v;
};

void ExpectMatrix(const std::vector<Entry>& entries, const char* what) {
  double want[6][6] = {};
  for (const Entry& e : entries) want[e.out][e.in] = e.v;
  for (int o = 0; o < 6; o++)
    for (int i = 0; i < 6; i++)
      EXPECT_NEAR(g_state.matrix[o][i], want[o][i], 1e-9) << what << " [" << o << "][" << i << "]";
}

TEST(Downmix, EdgeCasesOfTheStandardLayouts) {
  Matrix(7, 2, 0, 0);  // 3/2 to stereo
  ExpectMatrix({{L, L, 1}, {R, R, 1}, {L, C, h}, {R, C, h}, {L, Ls, h}, {R, Rs, h}}, "3/2 to 2/0");
  EXPECT_EQ(g_state.overload, 1);
  Matrix(7, 2, 2, 2);
  ExpectMatrix({{L, L, 1}, {R, R, 1}, {L, C, 0.5}, {R, C, 0.5}}, "3/2 to 2/0, -6 dB centre, no surround");
  Matrix(2, 1);  // 2/0 to mono
  ExpectMatrix({{C, L, h}, {C, R, h}}, "2/0 to 1/0");
  EXPECT_EQ(g_state.overload, 1);
  Matrix(1, 2);  // mono to stereo
  ExpectMatrix({{L, C, h}, {R, C, h}}, "1/0 to 2/0");
  EXPECT_EQ(g_state.overload, 0);
  Matrix(2, 2);
  ExpectMatrix({{L, L, 1}, {R, R, 1}}, "2/0 to 2/0");
  EXPECT_EQ(g_state.overload, 0);
  Matrix(7, 7, 1, 1, 0, 0, 1, 1);
  ExpectMatrix({{L, L, 1}, {C, C, 1}, {R, R, 1}, {Ls, Ls, 1}, {Rs, Rs, 1}, {LFE, LFE, 1}}, "3/2+LFE through");
  Matrix(7, 7, 1, 1, 0, 0, 1, 0);
  EXPECT_EQ(g_state.matrix[LFE][LFE], 0.0) << "LFE only when the output has it";
}

TEST(Downmix, EveryStreamLayoutToEveryOutput) {
  const double clev[4] = {0.707106781, 0.594603557, 0.5, 0.594603557};
  const double slev[4] = {0.707106781, 0.5, 0.0, 0.5};
  const int front[8] = {2, 1, 2, 3, 2, 3, 2, 3}, surround[8] = {0, 0, 0, 0, 1, 1, 2, 2};
  for (int acmod = 1; acmod < 8; acmod++) {
    for (int out = 0; out < 8; out++) {
      const int cm = acmod % 3, sm = out % 3;
      Matrix(acmod, out, cm, sm);
      const int nf = front[acmod], ns = surround[acmod], nfo = front[out], nso = surround[out];
      std::vector<Entry> e;
      auto has = [](int mode, int slot) {
        static const int slots[8][5] = {{0, 2, -1},    {1, -1},          {0, 2, -1},       {0, 1, 2, -1},
                                        {0, 2, 3, -1}, {0, 1, 2, 3, -1}, {0, 2, 3, 4, -1}, {0, 1, 2, 3, 4}};
        for (int i = 0; i < 5 && slots[mode][i] >= 0; i++)
          if (slots[mode][i] == slot) return true;
        return false;
      };
      // the standard's rules, case by case
      for (int s = 0; s < 5; s++)
        if (has(acmod, s) && has(out, s)) e.push_back({s, s, 1.0});
      auto set = [&](int o, int i, double v) {
        for (Entry& x : e)
          if (x.out == o && x.in == i) {
            x.v = v;
            return;
          }
        e.push_back({o, i, v});
      };
      if (out == 0) {
        if (nf != 2) set(L, C, h), set(R, C, h);
        if (ns == 1) set(L, S, -h), set(R, S, h);
        if (ns == 2) set(L, Ls, -h), set(L, Rs, -h), set(R, Ls, h), set(R, Rs, h);
      } else if (out == 1) {
        if (nf != 1) set(C, L, h), set(C, R, h);
        if (nf == 3) set(C, C, clev[cm] * 1.414213562);
        if (ns == 1) set(C, S, slev[sm] * h);
        if (ns == 2) set(C, Ls, slev[sm] * h), set(C, Rs, slev[sm] * h);
      } else {
        if (nfo == 2 && nf == 1) set(L, C, h), set(R, C, h);
        if (nfo == 2 && nf == 3) set(L, C, clev[cm]), set(R, C, clev[cm]);
        if (ns == 1 && nso == 0) set(L, S, slev[sm] * h), set(R, S, slev[sm] * h);
        if (ns == 1 && nso == 2) set(Ls, S, h), set(Rs, S, h);
        if (ns == 2 && nso == 0) set(L, Ls, slev[sm]), set(R, Rs, slev[sm]);
        if (ns == 2 && nso == 1) set(S, Ls, h), set(S, Rs, h);
      }
      std::string what = "acmod " + std::to_string(acmod) + " to mode " + std::to_string(out);
      ExpectMatrix(e, what.c_str());
      bool overload = false;
      for (int o = 0; o < 6; o++) {
        double sum = 0;
        for (int i = 0; i < 6; i++) sum += std::fabs(g_state.matrix[o][i]);
        overload = overload || sum > 1.0;
      }
      EXPECT_EQ(g_state.overload, overload) << what;
      // every stream channel reaches the output unless its mix level is 0
      for (int s = 0; s < 5; s++) {
        if (!has(acmod, s)) continue;
        double reach = 0;
        for (int o = 0; o < 6; o++) reach += std::fabs(g_state.matrix[o][s]);
        if (!(s >= 3 && sm == 2 && (out == 1 || nso == 0))) { EXPECT_GT(reach, 0.0) << what << " slot " << s; }
      }
    }
  }
}

TEST(Downmix, DualMonoModes) {
  struct Case {
    int out, dual;
    std::vector<Entry> e;
  } cases[] = {
      {1, 0, {{C, L, 0.5}, {C, R, 0.5}}},
      {1, 1, {{C, L, 1}}},
      {1, 2, {{C, R, 1}}},
      {1, 3, {{C, L, 0.5}, {C, R, 0.5}}},
      {2, 0, {{L, L, 1}, {R, R, 1}}},
      {2, 1, {{L, L, h}, {R, L, h}}},
      {2, 2, {{L, R, h}, {R, R, h}}},
      {2, 3, {{L, L, 0.5}, {L, R, 0.5}, {R, L, 0.5}, {R, R, 0.5}}},
      {3, 0, {{L, L, 1}, {R, R, 1}}},
      {3, 1, {{C, L, 1}}},
      {3, 2, {{C, R, 1}}},
      {7, 3, {{C, L, 0.5}, {C, R, 0.5}}},
  };
  for (const Case& c : cases) {
    Matrix(0, c.out, 0, 0, c.dual);
    std::string what = "1+1 to mode " + std::to_string(c.out) + " dual " + std::to_string(c.dual);
    ExpectMatrix(c.e, what.c_str());
  }
}

TEST(Downmix, KaraokeStreams) {
  Matrix(7, 1, 1, 1, 0, 7);
  ExpectMatrix({{C, L, h}, {C, R, h}, {C, C, 0.594603557 * 1.414213562}, {C, Ls, 0.5 * h}, {C, Rs, 0.5 * h}},
               "karaoke to mono");
  Matrix(5, 2, 1, 1, 0, 7);
  ExpectMatrix({{L, L, 1}, {R, R, 1}, {L, C, 0.594603557}, {R, C, 0.594603557}, {L, S, 0.5 * h}, {R, S, 0.5 * h}},
               "karaoke 3/1 to stereo");
  Matrix(7, 7, 0, 1, 0, 7);
  ExpectMatrix({{L, L, 1}, {C, C, 1}, {R, R, 1}, {L, Ls, 0.5}, {R, Rs, 0.5}}, "karaoke 3/2 to 3/2");
  Matrix(5, 3, 0, 0, 0, 7);
  ExpectMatrix({{L, L, 1}, {C, C, 1}, {R, R, 1}, {C, S, h}}, "karaoke 3/1 to 3/0");
}

TEST(Downmix, CallerMatrixIsTakenAsGiven) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.acmod = 7;
  d.outMode = 2;
  double custom[36] = {};
  custom[0 * 6 + 4] = 0.25;
  custom[2 * 6 + 5] = 2.0;
  BlockRequest req = {};
  req.customDownmix = custom;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][4], 0.25);
  EXPECT_EQ(d.matrix[2][5], 2.0);
  EXPECT_EQ(d.matrix[0][0], 0.0);
  EXPECT_EQ(d.overload, 1);
}

// The matrix follows every change of its inputs from block to block, also after
// a custom matrix, and stays when nothing changed.
TEST(Matrix, FollowsItsInputsFromBlockToBlock) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.acmod = 7;
  d.outMode = 2;
  BlockRequest req = {};
  BuildMatrix(d, req);
  EXPECT_DOUBLE_EQ(d.matrix[0][1], 0.707106781);  // centre at clev 0.707
  d.header.cmixlev = 2;
  BuildMatrix(d, req);
  EXPECT_DOUBLE_EQ(d.matrix[0][1], 0.5) << "centre mix level changed";
  d.header.surmixlev = 2;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][3], 0.0) << "surround mix level changed";
  d.header.lfeon = 1;
  d.outLfe = 1;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[5][5], 1.0) << "LFE switched on";
  d.header.acmod = 2;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][1], 0.0) << "no centre in 2/0";
  EXPECT_EQ(d.matrix[0][0], 1.0);
  double custom[36] = {};
  custom[0 * 6 + 4] = 0.25;
  req.customDownmix = custom;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][0], 0.0) << "custom matrix";
  req.customDownmix = nullptr;
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][0], 1.0) << "standard matrix again after the custom one";
  EXPECT_EQ(d.matrix[0][4], 0.0);
  d.matrix[0][0] = 7.0;  // nothing changed: the matrix is kept as it is
  BuildMatrix(d, req);
  EXPECT_EQ(d.matrix[0][0], 7.0);
}

// ---- windowing and output ----

TEST(Window, OverlapAddAndClamp) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.outMode = 1;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-0.2, 0.2);
  double A[256], D[128];
  for (double& x : A) x = u(rng);
  for (double& x : D) x = u(rng);
  std::memcpy(d.accum[0], A, sizeof A);
  std::memcpy(d.delay[0], D, sizeof D);
  double out[256];
  double* slots[6] = {nullptr, out, nullptr, nullptr, nullptr, nullptr};
  const int16_t strides[6] = {2, 1, 2, 1, 1, 1};
  BlockRequest req = {};
  req.outSlots = slots;
  req.outStrides = strides;
  WindowAndOutput(d, req, 0);
  // A/52's windowing of the un-windowed halves: x = the current block's first half
  // de-interleaved and windowed, plus the previous block's windowed second half.
  auto w = [](int n) { return n < 256 ? kWindowHalf[n] : kWindowHalf[511 - n]; };
  for (int n = 0; n < 64; n++) {
    EXPECT_NEAR(out[2 * n], 2 * (-A[192 + n] * w(2 * n) - D[n] * w(256 + 2 * n)), 1e-15);
    EXPECT_NEAR(out[2 * n + 1], 2 * (A[63 - n] * w(2 * n + 1) + D[127 - n] * w(256 + 2 * n + 1)), 1e-15);
  }
  for (int i = 0; i < 128; i++) EXPECT_EQ(d.delay[0][i], A[64 + i]);

  // Clamping: a full-scale accumulator saturates at 0.999999999 and -1.0.
  for (int i = 0; i < 256; i++) d.accum[0][i] = (i < 128 ? 1.0 : -1.0) * 10;
  std::memset(d.delay[0], 0, sizeof d.delay[0]);
  WindowAndOutput(d, req, 0);
  double hi = -2, lo = 2;
  for (double v : out) hi = std::max(hi, v), lo = std::min(lo, v);
  EXPECT_EQ(hi, 0.999999999);
  EXPECT_EQ(lo, -1.0);
}

TEST(Window, StridesPlaceTheSamples) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.outMode = 2;
  for (int i = 0; i < 128; i++) d.delay[0][i] = d.delay[1][i] = 0.1;
  double staging[512];
  for (double& v : staging) v = 9.0;
  double* slots[6] = {staging, nullptr, staging + 1, nullptr, nullptr, nullptr};
  const int16_t strides[6] = {2, 1, 2, 1, 1, 1};
  BlockRequest req = {};
  req.outSlots = slots;
  req.outStrides = strides;
  WindowAndOutput(d, req, 0);
  for (int n = 0; n < 256; n++) EXPECT_NE(staging[2 * n], 9.0);
  for (int n = 0; n < 256; n++) EXPECT_EQ(staging[2 * n + 1], 9.0);
  WindowAndOutput(d, req, 1);
  for (int n = 0; n < 512; n++) EXPECT_NE(staging[n], 9.0);
}

// The interleaved stereo path gives exactly what the two single-channel calls
// give (samples and delay lines), and declines every other layout untouched.
TEST(Window, StereoPathEqualsTwoChannelCalls) {
  static DecoderState a, b;
  std::memset(&a, 0, sizeof a);
  a.outMode = 2;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-0.8, 0.8);
  for (int k = 0; k < 2; k++) {
    for (double& v : a.accum[k]) v = u(rng);
    for (double& v : a.delay[k]) v = u(rng);
  }
  a.accum[1][200] = 3.0;  // clamped at the top
  std::memcpy(&b, &a, sizeof a);
  double one[512], two[512];
  for (int n = 0; n < 512; n++) one[n] = two[n] = 9.0;
  double* slotsOne[6] = {one, nullptr, one + 1, nullptr, nullptr, nullptr};
  double* slotsTwo[6] = {two, nullptr, two + 1, nullptr, nullptr, nullptr};
  const int16_t strides[6] = {2, 1, 2, 1, 1, 1};
  BlockRequest req = {};
  req.outStrides = strides;
  req.outSlots = slotsOne;
  ASSERT_TRUE(WindowAndOutputStereo(a, req));
  req.outSlots = slotsTwo;
  WindowAndOutput(b, req, 0);
  WindowAndOutput(b, req, 1);
  EXPECT_EQ(std::memcmp(one, two, sizeof one), 0);
  EXPECT_EQ(std::memcmp(a.delay, b.delay, sizeof a.delay), 0);

  struct Case {
    const char* what;
    int outMode;
    int rightOffset;
    int16_t stride;
  } cases[] = {
      {"mono output", 1, 1, 2},
      {"three outputs", 7, 1, 2},
      {"R not next to L", 2, 3, 2},
      {"stride 1", 2, 1, 1},
  };
  for (const Case& c : cases) {
    std::memcpy(&b, &a, sizeof a);
    b.outMode = (int16_t)c.outMode;
    double* slots[6] = {two, two, two + c.rightOffset, nullptr, nullptr, nullptr};
    const int16_t caseStrides[6] = {c.stride, 1, c.stride, 1, 1, 1};
    req.outSlots = slots;
    req.outStrides = caseStrides;
    EXPECT_FALSE(WindowAndOutputStereo(b, req)) << c.what;
    EXPECT_EQ(std::memcmp(a.delay, b.delay, sizeof a.delay), 0) << c.what;
  }
}

TEST(Mix, SameTransformTypeIsMixedBeforeTheTransform) {
  DecoderState& d = g_state;
  std::memset(&d, 0, sizeof d);
  d.header.acmod = 7;
  d.header.cmixlev = 0;
  d.header.surmixlev = 0;
  d.outMode = 2;
  BlockRequest req = {};
  BuildMatrix(d, req);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int ch = 0; ch < 5; ch++)
    for (int i = 0; i < 256; i++) d.coeffs[ch][i] = u(rng);
  d.block.blksw[3] = 1;  // Ls short, the others long
  d.headroom[1] = 2;     // the centre was scaled up by 2^2
  BeginMix(d);
  for (int ch = 0; ch < 5; ch++) MixChannel(d, ch);
  TransformOutputs(d);
  double V[5][256];
  for (int ch = 0; ch < 5; ch++) (ch == 3 ? ImdctShort : ImdctLong)(d.coeffs[ch], V[ch]);
  for (int i = 0; i < 256; i++) {
    double left = V[0][i] + h * V[1][i] / 4 + h * V[3][i];
    double right = V[2][i] + h * V[1][i] / 4 + h * V[4][i];
    ASSERT_NEAR(d.accum[0][i], left, 1e-12) << i;
    ASSERT_NEAR(d.accum[1][i], right, 1e-12) << i;
  }
  EXPECT_EQ(d.written[0], 1);
}

}  // namespace
