// Tests of a52wav's frame scanner and WAVE writer.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "outside/a52wav/frame_scan.h"
#include "outside/a52wav/wav_file.h"

namespace {

// A fake frame in A/52 byte order: sync word, crc1, then fscod/frmsizecod and bsid/bsmod,
// the rest filled with a counter so that byte swaps are visible.
std::vector<uint8_t> fakeFrame(int fscod, int frmsizecod, int bsid) {
  int words = frameWords(fscod, frmsizecod);
  std::vector<uint8_t> f((size_t)words * 2);
  for (size_t i = 0; i < f.size(); ++i) f[i] = (uint8_t)(i * 7 + 3);
  f[0] = 0x0B;
  f[1] = 0x77;
  f[4] = (uint8_t)((fscod << 6) | frmsizecod);
  f[5] = (uint8_t)(bsid << 3);
  return f;
}

std::vector<uint8_t> swapped(std::vector<uint8_t> v) {
  for (size_t i = 0; i + 1 < v.size(); i += 2) std::swap(v[i], v[i + 1]);
  return v;
}

void append(std::vector<uint8_t>* v, const std::vector<uint8_t>& w) { v->insert(v->end(), w.begin(), w.end()); }

TEST(FrameTable, SizesAndRates) {
  struct Case {
    int fscod, code, words;
  } cases[] = {{0, 0, 64},    {0, 1, 64},    {0, 37, 1280}, {1, 0, 69},    {1, 1, 70},
               {1, 4, 104},   {1, 5, 105},   {1, 36, 1393}, {1, 37, 1394}, {2, 0, 96},
               {2, 37, 1920}, {2, 30, 1344}, {0, 38, 0},    {3, 0, 0},     {1, -1, 0}};
  for (const Case& c : cases) EXPECT_EQ(frameWords(c.fscod, c.code), c.words) << c.fscod << "/" << c.code;
  EXPECT_EQ(streamRate(0, 8), 48000);
  EXPECT_EQ(streamRate(1, 6), 44100);
  EXPECT_EQ(streamRate(2, 8), 32000);
  EXPECT_EQ(streamRate(1, 9), 22050);
  EXPECT_EQ(streamRate(1, 10), 11025);
  EXPECT_EQ(streamRate(2, 10), 8000);
  EXPECT_EQ(streamRate(3, 8), 0);
  EXPECT_EQ(streamRate(0, 11), 0);
}

TEST(FrameScan, BothByteOrdersGiveTheSameLibraryWords) {
  std::vector<uint8_t> a52 = fakeFrame(1, 3, 8);
  append(&a52, fakeFrame(1, 2, 8));
  std::vector<uint8_t> le = swapped(a52);
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<uint8_t>& in = pass ? le : a52;
    FrameScan scan;
    ASSERT_EQ(scanStart(&scan, in.data(), in.size()), pass ? ORDER_WORDS_LE : ORDER_A52);
    FrameSpot spot;
    uint8_t out[MAX_FRAME_BYTES];
    ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
    EXPECT_EQ(spot.offset, 0u);
    EXPECT_EQ(spot.bytes, 176u);
    ASSERT_EQ(copyFrameForLibrary(&scan, &spot, out, sizeof(out)), 176u);
    EXPECT_EQ(out[0], 0x77);
    EXPECT_EQ(out[1], 0x0B);
    EXPECT_EQ(0, memcmp(out, le.data(), 176));
    ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
    EXPECT_EQ(spot.offset, 176u);
    EXPECT_EQ(spot.bytes, 174u);
    EXPECT_EQ(scanNext(&scan, &spot), SCAN_END);
  }
}

TEST(FrameScan, SkipsGarbageAndFalseSyncWords) {
  std::vector<uint8_t> in = {1, 2, 3};
  // A sync word whose header has fscod 3: not a frame.
  append(&in, {0x0B, 0x77, 0, 0, 0xC0, 0x40, 9, 9});
  // A sync word whose bsid is 16: not a frame.
  append(&in, {0x0B, 0x77, 0, 0, 0x00, 0x80});
  size_t firstAt = in.size();
  append(&in, fakeFrame(0, 0, 8));
  append(&in, {0x55, 0x0B});
  size_t secondAt = in.size();
  append(&in, fakeFrame(2, 1, 6));
  FrameScan scan;
  ASSERT_EQ(scanStart(&scan, in.data(), in.size()), ORDER_A52);
  FrameSpot spot;
  ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
  EXPECT_EQ(spot.offset, firstAt);
  EXPECT_EQ(spot.skipped, firstAt);
  ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
  EXPECT_EQ(spot.offset, secondAt);
  EXPECT_EQ(spot.skipped, 2u);
  EXPECT_EQ(spot.fscod, 2);
  EXPECT_EQ(spot.bsid, 6);
  EXPECT_EQ(scanNext(&scan, &spot), SCAN_END);
}

TEST(FrameScan, OddOffsetFrameInWordOrder) {
  std::vector<uint8_t> in = {0xEE};
  append(&in, swapped(fakeFrame(0, 2, 10)));
  FrameScan scan;
  ASSERT_EQ(scanStart(&scan, in.data(), in.size()), ORDER_WORDS_LE);
  FrameSpot spot;
  ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
  EXPECT_EQ(spot.offset, 1u);
  EXPECT_EQ(spot.bsid, 10);
  uint8_t out[MAX_FRAME_BYTES];
  ASSERT_EQ(copyFrameForLibrary(&scan, &spot, out, sizeof(out)), 160u);
  EXPECT_EQ(0, memcmp(out, in.data() + 1, 160));
}

TEST(FrameScan, TruncatedLastFrameAndNoSync) {
  std::vector<uint8_t> in = fakeFrame(0, 4, 8);
  std::vector<uint8_t> second = fakeFrame(0, 4, 8);
  second.resize(100);
  append(&in, second);
  FrameScan scan;
  ASSERT_EQ(scanStart(&scan, in.data(), in.size()), ORDER_A52);
  FrameSpot spot;
  ASSERT_EQ(scanNext(&scan, &spot), SCAN_FRAME);
  ASSERT_EQ(scanNext(&scan, &spot), SCAN_TRUNCATED);
  EXPECT_EQ(spot.offset, 192u);
  EXPECT_EQ(spot.bytes, 192u);
  EXPECT_EQ(scanNext(&scan, &spot), SCAN_END);

  std::vector<uint8_t> none(500, 0x0B);
  EXPECT_EQ(scanStart(&scan, none.data(), none.size()), ORDER_NONE);
  EXPECT_EQ(scanNext(&scan, &spot), SCAN_END);
  uint8_t tiny[1] = {0x0B};
  EXPECT_EQ(scanStart(&scan, tiny, 1), ORDER_NONE);
}

std::vector<uint8_t> readAll(const char* path) {
  std::vector<uint8_t> v;
  FILE* f = fopen(path, "rb");
  if (!f) return v;
  int c;
  while ((c = fgetc(f)) != EOF) v.push_back((uint8_t)c);
  fclose(f);
  return v;
}

uint32_t le32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | ((uint32_t)v[at + 3] << 24);
}

TEST(WavFile, HeaderAndSamples) {
  const char* path = "a52wav_scan_test.wav";
  WavFile wav;
  ASSERT_EQ(wavOpen(&wav, path, 2, 22050), 1);
  int16_t s[6] = {0, 1, -1, 32767, -32768, 0x1234};
  ASSERT_EQ(wavWrite(&wav, s, 6), 1);
  ASSERT_EQ(wavWrite(&wav, s, 2), 1);
  ASSERT_EQ(wavClose(&wav), 1);
  std::vector<uint8_t> f = readAll(path);
  ASSERT_EQ(f.size(), 44u + 16u);
  EXPECT_EQ(0, memcmp(f.data(), "RIFF", 4));
  EXPECT_EQ(le32(f, 4), 36u + 16u);
  EXPECT_EQ(0, memcmp(f.data() + 8, "WAVEfmt ", 8));
  EXPECT_EQ(le32(f, 24), 22050u);
  EXPECT_EQ(le32(f, 28), 22050u * 4);
  EXPECT_EQ(f[22], 2);
  EXPECT_EQ(f[32], 4);
  EXPECT_EQ(f[34], 16);
  EXPECT_EQ(le32(f, 40), 16u);
  const uint8_t expect[12] = {0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x34, 0x12};
  EXPECT_EQ(0, memcmp(f.data() + 44, expect, 12));
  remove(path);
}

TEST(WavFile, UnwritablePathFails) {
  WavFile wav;
  EXPECT_EQ(wavOpen(&wav, "no-such-directory/x/out.wav", 1, 48000), 0);
  EXPECT_EQ(wavWrite(&wav, nullptr, 0), 0);
  EXPECT_EQ(wavClose(&wav), 0);
}

}  // namespace
