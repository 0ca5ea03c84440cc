// The exports and the frame driver, natively: rates, channel counts, lost and
// corrupt frames, the last-good-frame buffer, re-initialisation, conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "decoder/core.h"
#include "decoder/interface.h"
#include "decoder/tests/test_frames.h"
#include "decoder/transform.h"

namespace {

class Driver : public ::testing::Test {
protected:
  void SetUp() override { std::memset(&g_decoder, 0, sizeof g_decoder); }  // as at load
};

std::vector<uint8_t> Frame(const unsigned char* bytes, size_t n) {
  std::vector<uint8_t> f(2 * kMaxFrameWords, 0);
  std::memcpy(f.data(), bytes, n);
  return f;
}

double Energy(const std::vector<short>& pcm) {
  double e = 0;
  for (short s : pcm) e += (double)s * s;
  return e;
}

TEST(Conversion, RoundsHalfAwayFromZeroAndSaturates) {
  struct Case {
    double x;
    short want;
  } cases[] = {
      {32767.0 / 49152, 32767},
      {0.5 / 49152, 1},
      {-0.5 / 49152, -1},
      {0.49 / 49152, 0},
      {-0.49 / 49152, 0},
      {1.2, 32767},
      {-1.2, -32768},
      {0.999999999, 32767},
      {-1.0, -32768},
      {0.0, 0},
      {1.5 / 49152, 2},
      {-32768.0 / 49152, -32768},
      {-32768.4 / 49152, -32768},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertSample(c.x), c.want) << c.x;
}

TEST_F(Driver, InitAcceptsOnlyTheRateTable) {
  int spf = 777;
  EXPECT_EQ(dbInitDecoder(48000, 2, &spf), -1);
  EXPECT_EQ(spf, 777);
  EXPECT_EQ(g_decoder.outputChannels, 0) << "a refused rate changes nothing";
  for (int rate : {8000, 11025, 16000, 22050, 32000, 44100}) {
    spf = 0;
    EXPECT_EQ(dbInitDecoder(rate, 2, &spf), 0) << rate;
    EXPECT_EQ(spf, 3072);
  }
  for (int rate : {0, -1, 7999, 44099, 96000}) EXPECT_EQ(dbInitDecoder(rate, 1, &spf), -1) << rate;
  struct Case {
    int channels, spf;
  } cases[] = {{2, 3072}, {1, 1536}, {0, 1536}, {3, 1536}, {5, 1536}, {-2, 1536}};
  for (const Case& c : cases) {
    EXPECT_EQ(dbInitDecoder(8000, c.channels, &spf), 0);
    EXPECT_EQ(spf, c.spf) << c.channels;
  }
  EXPECT_EQ(dbInitDecoder(8000, 2, nullptr), 0) << "no samples-per-frame variable: still initialised";
  dbFreeDecoder();
}

TEST_F(Driver, DecodeBeforeInitFails) {
  std::vector<short> pcm(3072, 5);
  EXPECT_EQ(dbDecode(kStereoFrames[0], pcm.data(), 1), -1);
  EXPECT_EQ(pcm[0], 5);
}

TEST_F(Driver, LostFrameBeforeAnyGoodOneIsSilence) {
  for (int channels : {1, 2}) {
    int spf = 0;
    ASSERT_EQ(dbInitDecoder(44100, channels, &spf), 0);
    std::vector<short> pcm(3072 + 8, 7);
    EXPECT_EQ(dbDecode(nullptr, pcm.data(), 0), 0);
    for (int i = 0; i < spf; i++) ASSERT_EQ(pcm[i], 0) << i;
    EXPECT_EQ(pcm[spf], 7) << "nothing past the announced samples";
    auto junk = Frame(kStereoFrames[0], 16);
    junk[0] = 0x0B;  // A/52 byte order: not a frame for this library
    junk[1] = 0x77;
    std::fill(pcm.begin(), pcm.end(), 7);
    EXPECT_EQ(dbDecode(junk.data(), pcm.data(), 1), 0);
    for (int i = 0; i < spf; i++) ASSERT_EQ(pcm[i], 0) << i;
  }
}

TEST_F(Driver, GoodFramesDecodeInBothLayouts) {
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(32000, 2, &spf), 0);
  std::vector<short> pcm(spf);
  for (int f = 0; f < 4; f++) EXPECT_EQ(dbDecode(kStereoFrames[f], pcm.data(), 1), 0) << f;
  EXPECT_GT(Energy(pcm), 1e6);
  EXPECT_EQ(std::memcmp(g_decoder.lastGood, kStereoFrames[3], sizeof kStereoFrames[3]), 0);
  ASSERT_EQ(dbInitDecoder(32000, 1, &spf), 0);
  pcm.assign(spf, 0);
  for (int f = 0; f < 3; f++) EXPECT_EQ(dbDecode(kMonoFrames[f], pcm.data(), 1), 0) << f;
  EXPECT_GT(Energy(pcm), 1e6);
}

TEST_F(Driver, LostAndCorruptFramesRepeatTheLastGoodOne) {
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> first(spf), again(spf), lost(spf), corrupt(spf);
  ASSERT_EQ(dbDecode(kStereoFrames[0], first.data(), 1), 0);
  ASSERT_EQ(dbDecode(kStereoFrames[1], first.data(), 1), 0);

  // Reference: the same decoder state decoding frame 1 once more.
  static DecoderState saved;
  saved = g_decoder;
  ASSERT_EQ(dbDecode(kStereoFrames[1], again.data(), 1), 0);
  g_decoder = saved;
  EXPECT_EQ(dbDecode(nullptr, lost.data(), 0), 0);
  EXPECT_EQ(lost, again);
  EXPECT_NE(lost, first) << "the delay lines and dither moved on";

  g_decoder = saved;
  auto bad = Frame(kStereoFrames[2], sizeof kStereoFrames[2]);
  bad[1] = 0x0C;  // wrong sync word
  EXPECT_EQ(dbDecode(bad.data(), corrupt.data(), 1), 0);
  EXPECT_EQ(corrupt, again);
  EXPECT_EQ(std::memcmp(g_decoder.lastGood, kStereoFrames[1], sizeof kStereoFrames[1]), 0);
  EXPECT_EQ(dbDecode(kStereoFrames[2], corrupt.data(), 3), 0) << "other flag bits are ignored";
}

TEST_F(Driver, ABlockThatFailsReturnsMinusOneAndIsNotKept) {
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> pcm(spf);
  ASSERT_EQ(dbDecode(kStereoFrames[0], pcm.data(), 1), 0);
  // Zero every bit after the header: block 0 then lacks its coupling strategy.
  const uint32_t start = g_decoder.blockStart[0];
  auto bad = Frame(kStereoFrames[1], sizeof kStereoFrames[1]);
  for (uint32_t bit = start; bit < 8 * sizeof kStereoFrames[1]; bit++) {
    uint32_t word = bit / 16, inWord = 15 - bit % 16;
    bad[2 * word + (inWord >= 8)] &= (uint8_t) ~(1u << (inWord % 8));
  }
  static uint8_t before[3840];
  std::memcpy(before, g_decoder.lastGood, sizeof before);
  EXPECT_EQ(dbDecode(bad.data(), pcm.data(), 1), -1);
  EXPECT_EQ(std::memcmp(before, g_decoder.lastGood, sizeof before), 0) << "last good frame untouched";
  EXPECT_EQ(dbDecode(nullptr, pcm.data(), 0), 0) << "a lost frame repeats the previous good one";
}

TEST_F(Driver, ReinitialisingWithAnotherChannelCountStartsAfresh) {
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> pcm(spf);
  for (int f = 0; f < 3; f++) ASSERT_EQ(dbDecode(kStereoFrames[f], pcm.data(), 1), 0);
  ASSERT_EQ(dbInitDecoder(44100, 1, &spf), 0);
  ASSERT_EQ(spf, 1536);
  std::vector<short> afterSwitch(spf, 0), fresh(spf, 1);
  ASSERT_EQ(dbDecode(kStereoFrames[3], afterSwitch.data(), 1), 0);

  std::memset(&g_decoder, 0, sizeof g_decoder);
  ASSERT_EQ(dbInitDecoder(44100, 1, &spf), 0);
  ASSERT_EQ(dbDecode(kStereoFrames[3], fresh.data(), 1), 0);
  EXPECT_EQ(afterSwitch, fresh) << "no overlap from the stereo configuration";

  // A lost frame right after re-initialisation repeats the previous stream's last good frame.
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> lost(spf, 0);
  EXPECT_EQ(dbDecode(nullptr, lost.data(), 0), 0);
  EXPECT_GT(Energy(lost), 1e6);
}

TEST_F(Driver, MonoDownmixIsTheSumOfTheStereoChannels) {
  int spf = 0;
  std::vector<short> stereo(3072), mono(1536);
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  for (int f = 0; f < 4; f++) ASSERT_EQ(dbDecode(kStereoFrames[f], stereo.data(), 1), 0);
  std::memset(&g_decoder, 0, sizeof g_decoder);
  ASSERT_EQ(dbInitDecoder(44100, 1, &spf), 0);
  for (int f = 0; f < 4; f++) ASSERT_EQ(dbDecode(kStereoFrames[f], mono.data(), 1), 0);
  // 2/0 to 1/0: C = 0.707 (L + R); the stream's dynamic range words do not cut here
  double worst = 0;
  for (int i = 0; i < 1536; i++) {
    double want = 0.707106781 * (stereo[2 * i] + stereo[2 * i + 1]);
    worst = std::max(worst, std::fabs(mono[i] - want));
  }
  EXPECT_LT(worst, 2.5);
}

TEST_F(Driver, FramesAreReadOnlyUpToTheirSize) {
  // A buffer exactly as long as the frame, at the end of an allocation, decodes
  // (under AddressSanitizer a read past it would fail the test).
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> pcm(spf);
  std::vector<uint8_t> exact(kStereoFrames[0], kStereoFrames[0] + sizeof kStereoFrames[0]);
  EXPECT_EQ(dbDecode(exact.data(), pcm.data(), 1), 0);
  // The same frame claiming the largest size code reads zeros past the real data.
  std::vector<uint8_t> big(2 * kMaxFrameWords, 0);
  std::memcpy(big.data(), kStereoFrames[1], sizeof kStereoFrames[1]);
  big[4] = 0x40 | 37;  // stored low byte of word 2: fscod 1, frmsizecod 37 -> 1394 words
  big[5] = kStereoFrames[1][5];
  dbDecode(big.data(), pcm.data(), 1);
  SUCCEED();
}

}  // namespace

namespace {

// Frames with random bit errors (past the sync word and size codes, or
// anywhere) decode to -1 or 0 without reading outside the frame.
TEST_F(Driver, DamagedFramesNeverEscapeTheirBuffers) {
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> pcm(spf);
  uint32_t seed = 99;
  auto next = [&]() { return seed = seed * 1664525u + 1013904223u; };
  int failures = 0;
  for (int trial = 0; trial < 1500; trial++) {
    const bool keepHeader = trial % 4 != 0;
    const size_t n = sizeof kStereoFrames[0];
    // A damaged size code may claim up to 3840 bytes: the caller's buffer holds that much.
    std::vector<uint8_t> frame(keepHeader ? n : 2 * kMaxFrameWords, 0);
    std::memcpy(frame.data(), kStereoFrames[trial % 4], n);
    const int flips = 1 + (int)(next() % 40);
    for (int i = 0; i < flips; i++) {
      size_t bit = (keepHeader ? 48 : 0) + next() % (8 * n - (keepHeader ? 48 : 0));  // stored bytes 0-5
      frame[bit / 8] ^= (uint8_t)(1u << (bit % 8));
    }
    if (trial % 7 == 0) dbInitDecoder(44100, 1 + trial % 2, &spf);
    int r = dbDecode(frame.data(), pcm.data(), (trial % 11) ? 1 : 0);
    ASSERT_TRUE(r == 0 || r == -1);
    failures += r != 0;
  }
  EXPECT_GT(failures, 0) << "some damage is detected";
}

}  // namespace
