// Tests of the test tooling itself: the independent A/52 model (frame check, tables, bit
// allocation) and the frame builder, so that a fault in them cannot pass for a fault (or
// for the absence of one) in the decoder.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "decoder/core.h"
#include "decoder/interface.h"
#include "decoder/tests/frame_builder.h"
#include "decoder/tests/peer_a52.h"

namespace {

TEST(PeerModel, CrcGeneratorAndSections) {
  // T[1] of the generator x^16 + x^15 + x^2 + 1 is 0x8005, T[2] 0x800F.
  // The check of one word d is the remainder of d x^16.
  const uint8_t one[2] = {0x00, 0x01}, two[2] = {0x00, 0x02};
  EXPECT_EQ(peer::crc16(0, one, 2), 0x8005u);
  EXPECT_EQ(peer::crc16(0, two, 2), 0x800Fu);
  // setCrcs makes both sections check to zero, and the core's Crc agrees.
  std::vector<uint8_t> f(2 * peer::frameWords(1, 5));
  for (size_t i = 0; i < f.size(); ++i) f[i] = (uint8_t)(i * 37 + 11);
  f[0] = 0x0B;
  f[1] = 0x77;
  f[4] = (1 << 6) | 5;
  EXPECT_FALSE(peer::checkCrcs(f.data(), f.size()));
  peer::setCrcs(f.data(), f.size());
  EXPECT_TRUE(peer::checkCrcs(f.data(), f.size()));
  size_t words = f.size() / 2, last58 = (words >> 1) + (words >> 3) - 1;
  std::vector<uint16_t> le(words);
  for (size_t i = 0; i < words; ++i) le[i] = (uint16_t)((f[2 * i] << 8) | f[2 * i + 1]);
  CrcRequest req;
  memset(&req, 0, sizeof(req));
  req.fieldCount = 6;
  req.data = le.data() + 1;
  req.wordCount = (int16_t)last58;
  EXPECT_EQ(DecoderCommand(kCmdCrc, &req) >> 16, 0u);
  req.data = le.data() + last58 + 1;
  req.wordCount = (int16_t)(words - last58 - 1);
  EXPECT_EQ(DecoderCommand(kCmdCrc, &req) >> 16, 0u);
  // One flipped bit is caught.
  f[words] ^= 0x10;
  EXPECT_FALSE(peer::checkCrcs(f.data(), f.size()));
}

TEST(PeerModel, FrameSizesAndMantissaWidths) {
  struct Case {
    int fscod, code, words;
  } cases[] = {{0, 0, 64}, {0, 37, 1280}, {1, 0, 69}, {1, 1, 70}, {1, 37, 1394}, {2, 0, 96}, {2, 37, 1920}, {3, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(peer::frameWords(c.fscod, c.code), c.words);
  const int bits[16] = {0, 5, 7, 3, 7, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};
  for (int b = 0; b < 16; ++b) EXPECT_EQ(peer::mantissaBits(b), bits[b]);
  EXPECT_EQ(peer::mantissaLevels(4), 11);
}

TEST(PeerModel, BitAllocationZeroAndFloorCases) {
  int exps[256], bap[256];
  for (int i = 0; i < 256; ++i) exps[i] = 24;  // the quietest exponent
  // Lowest offsets: a quiet channel gets nothing.
  peer::bitAllocation(0, 253, exps, 0, 0, 2, 1, 1, 1, 7, 4, ((0 - 15) * 16 + 0) * 4, 0, 0, nullptr, bap);
  for (int i = 0; i < 253; ++i) ASSERT_EQ(bap[i], 0) << i;
  // Loud flat spectrum with a high offset: high baps, and never above 15.
  for (int i = 0; i < 256; ++i) exps[i] = 0;
  peer::bitAllocation(0, 253, exps, 1, 0, 2, 1, 1, 1, 7, 7, ((63 - 15) * 16 + 15) * 4, 0, 0, nullptr, bap);
  for (int i = 0; i < 253; ++i) {
    ASSERT_GE(bap[i], 10) << i;
    ASSERT_LE(bap[i], 15) << i;
  }
  // A positive delta raises the mask and so lowers the allocation of its band only.
  int base[256], raised[256], deltas[50] = {0};
  for (int i = 0; i < 256; ++i) exps[i] = 6 + (i % 5);
  deltas[30] = 512;
  peer::bitAllocation(0, 253, exps, 0, 0, 2, 1, 1, 1, 4, 4, ((20 - 15) * 16 + 5) * 4, 0, 0, nullptr, base);
  peer::bitAllocation(0, 253, exps, 0, 0, 2, 1, 1, 1, 4, 4, ((20 - 15) * 16 + 5) * 4, 0, 0, deltas, raised);
  for (int i = 0; i < 253; ++i) {
    bool inBand30 = i >= 34 && i < 37;  // band 30 holds bins 34..36
    if (inBand30) {
      EXPECT_LT(raised[i], base[i]) << i;
    } else {
      EXPECT_EQ(raised[i], base[i]) << i;
    }
  }
}

// Every builder scenario writes frames that the model reads back with the chosen fields,
// and that the library decodes without error.
TEST(FrameBuilder, ScenariosRoundTripAndDecode) {
  static uint8_t buf[8 * peer::MAX_FRAME_BYTES];
  static peer::Frame frame;
  static short pcm[2 * 1536];
  for (const BuildSpec* s = kBuildScenarios; s->name; ++s) {
    size_t n = buildStream(*s, 3, buf, sizeof(buf));
    ASSERT_GT(n, 0u) << s->name;
    int spf = 0;
    ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
    size_t pos = 0;
    int frames = 0;
    while (pos < n) {
      size_t bytes = (size_t)peer::frameWords(buf[pos + 4] >> 6, buf[pos + 4] & 0x3F) * 2;
      ASSERT_GT(bytes, 0u) << s->name;
      ASSERT_TRUE(peer::parseFrame(buf + pos, bytes, &frame)) << s->name;
      EXPECT_TRUE(peer::checkCrcs(buf + pos, bytes)) << s->name;
      EXPECT_EQ(frame.bsi.acmod, s->acmod) << s->name;
      EXPECT_EQ(frame.bsi.bsid, s->bsid) << s->name;
      EXPECT_EQ(frame.bsi.lfeon, s->lfeon) << s->name;
      EXPECT_EQ(frame.bsi.addbsie, s->addbsi) << s->name;
      int shorts = 0, coupled = 0;
      for (int k = 0; k < 6; ++k) {
        coupled += frame.blk[k].cplinu;
        for (int ch = 0; ch < peer::nfchans(s->acmod); ++ch) shorts += frame.blk[k].blksw[ch];
      }
      if (s->shortBlocks == 2) { EXPECT_EQ(shorts, 6 * peer::nfchans(s->acmod)) << s->name; }
      if (s->shortBlocks == 0) { EXPECT_EQ(shorts, 0) << s->name; }
      EXPECT_EQ(coupled > 0, s->coupling && s->acmod >= 2) << s->name;
      std::vector<uint8_t> le(buf + pos, buf + pos + bytes);
      for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(le[i], le[i + 1]);
      EXPECT_EQ(dbDecode(le.data(), pcm, 1), 0) << s->name << " frame " << frames;
      pos += bytes;
      ++frames;
    }
    EXPECT_EQ(frames, 3) << s->name;
  }
}

}  // namespace
