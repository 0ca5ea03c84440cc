// The real TXDECODE.dll, loaded by name as its callers do, under Wine: the
// edge cases of dbInitDecoder and dbDecode, and bit-exact agreement with the
// statically linked core on the same calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decoder/core.h"
#include "decoder/interface.h"
#include "decoder/tests/test_frames.h"

namespace {

typedef int(WINAPI* InitFn)(int, int, int*);
typedef int(WINAPI* DecodeFn)(const void*, short*, int);
typedef void(WINAPI* FreeFn)(void);

// Loads a fresh copy of the library (its static state zero, as at process start).
class Dll : public ::testing::Test {
public:
  HMODULE module = nullptr;
  InitFn init = nullptr;
  DecodeFn decode = nullptr;
  FreeFn release = nullptr;

  void SetUp() override {
    std::string path = "TXDECODE.dll";
    if (const char* dist = std::getenv("TX_DIST")) {
      path = std::string("Z:") + dist + "/TXDECODE.dll";
      for (char& c : path)
        if (c == '/') c = '\\';
    }
    module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << "cannot load " << path;
    init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbInitDecoder")));
    decode = reinterpret_cast<DecodeFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbDecode")));
    release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(module, "dbFreeDecoder")));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(decode, nullptr);
    ASSERT_NE(release, nullptr);
    std::memset(&g_decoder, 0, sizeof g_decoder);  // the linked reference core, also fresh
  }
  void TearDown() override {
    if (release) release();
    if (module) FreeLibrary(module);
  }
};

std::vector<uint8_t> Padded(const unsigned char* bytes, size_t n) {
  std::vector<uint8_t> f(3840, 0);
  std::memcpy(f.data(), bytes, n);
  return f;
}

double Energy(const std::vector<short>& pcm) {
  double e = 0;
  for (short s : pcm) e += (double)s * s;
  return e;
}

TEST_F(Dll, OnlyTheThreeEntryPointsByTheirPlainNames) {
  EXPECT_EQ(GetProcAddress(module, "_dbDecode@12"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "DecoderCommand"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "g_decoder"), nullptr);
}

TEST_F(Dll, RatesAndChannelCounts) {
  int spf = 4242;
  EXPECT_EQ(init(48000, 2, &spf), -1);
  EXPECT_EQ(spf, 4242);
  EXPECT_EQ(init(22051, 1, &spf), -1);
  EXPECT_EQ(spf, 4242);
  EXPECT_EQ(init(44100, 2, &spf), 0);
  EXPECT_EQ(spf, 3072);
  EXPECT_EQ(init(8000, 5, &spf), 0);
  EXPECT_EQ(spf, 1536);
  for (int rate : {8000, 11025, 16000, 22050, 32000, 44100}) {
    spf = 0;
    EXPECT_EQ(init(rate, 1, &spf), 0) << rate;
    EXPECT_EQ(spf, 1536);
  }
  EXPECT_EQ(init(16000, 0, &spf), 0);
  EXPECT_EQ(spf, 1536);
}

TEST_F(Dll, LostFrameBeforeAnyGoodOneIsSilence) {
  int spf = 0;
  ASSERT_EQ(init(44100, 2, &spf), 0);
  std::vector<short> pcm(3072 + 4, 9);
  EXPECT_EQ(decode(nullptr, pcm.data(), 0), 0);
  for (int i = 0; i < 3072; i++) ASSERT_EQ(pcm[i], 0) << i;
  EXPECT_EQ(pcm[3072], 9);
  ASSERT_EQ(init(44100, 1, &spf), 0);
  std::fill(pcm.begin(), pcm.end(), 9);
  EXPECT_EQ(decode(kStereoFrames[0], pcm.data(), 0), 0) << "flags 0: the frame pointer is ignored";
  for (int i = 0; i < 1536; i++) ASSERT_EQ(pcm[i], 0) << i;
  EXPECT_EQ(pcm[1536], 9);
}

// Runs the same calls through the DLL and the linked core; outputs must agree exactly.
struct Call {
  const unsigned char* frame;
  size_t size;
  int flags;
  bool corrupt;
  int expect;
};

void RunBoth(Dll& t, int channels, const std::vector<Call>& calls, std::vector<std::vector<short>>* outputs) {
  int spf = 0, spfRef = 0;
  ASSERT_EQ(t.init(44100, channels, &spf), 0);
  ASSERT_EQ(dbInitDecoder(44100, channels, &spfRef), 0);
  ASSERT_EQ(spf, spfRef);
  for (size_t i = 0; i < calls.size(); i++) {
    const Call& c = calls[i];
    std::vector<uint8_t> frame = c.frame ? Padded(c.frame, c.size) : std::vector<uint8_t>(3840, 0);
    if (c.corrupt) frame[0] ^= 0x01;  // wrong sync word
    std::vector<short> a(spf, 1), b(spf, 2);
    EXPECT_EQ(t.decode(frame.data(), a.data(), c.flags), c.expect) << "call " << i;
    EXPECT_EQ(dbDecode(frame.data(), b.data(), c.flags), c.expect) << "call " << i;
    EXPECT_EQ(a, b) << "DLL and core differ at call " << i;
    if (outputs) outputs->push_back(a);
  }
}

TEST_F(Dll, LostAndCorruptFramesAfterAGoodOne) {
  const size_t n = sizeof kStereoFrames[0];
  std::vector<std::vector<short>> out;
  RunBoth(*this, 2,
          {{kStereoFrames[0], n, 1, false, 0},
           {kStereoFrames[1], n, 1, false, 0},
           {nullptr, 0, 0, false, 0},
           {kStereoFrames[2], n, 1, true, 0},
           {kStereoFrames[2], n, 1, false, 0},
           {kStereoFrames[3], n, 0, false, 0}},
          &out);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_GT(Energy(out[1]), 1e6);
  EXPECT_GT(Energy(out[2]), 1e6) << "the lost frame repeats frame 1";
  EXPECT_NE(out[2], out[1]) << "with the state moved on";

  // The same sequence with the corrupt call replaced by a lost one gives the same
  // samples: the corrupt frame was concealed, and frame 1 stayed the last good one.
  TearDown();
  SetUp();
  std::vector<std::vector<short>> lost;
  RunBoth(*this, 2,
          {{kStereoFrames[0], n, 1, false, 0},
           {kStereoFrames[1], n, 1, false, 0},
           {nullptr, 0, 0, false, 0},
           {nullptr, 0, 0, false, 0},
           {kStereoFrames[2], n, 1, false, 0},
           {nullptr, 0, 0, false, 0}},
          &lost);
  EXPECT_EQ(lost[3], out[3]);
  EXPECT_EQ(lost[5], out[5]) << "after frame 2 the last good frame is frame 2";
}

TEST_F(Dll, LastGoodFrameUntouchedByAFailingFrame) {
  int spf = 0;
  ASSERT_EQ(init(44100, 2, &spf), 0);
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  std::vector<short> a(spf), b(spf);
  ASSERT_EQ(decode(kStereoFrames[0], a.data(), 1), 0);
  ASSERT_EQ(dbDecode(kStereoFrames[0], b.data(), 1), 0);
  // Frame 1 with every bit after its header cleared: block 0 fails its checks.
  std::vector<uint8_t> bad = Padded(kStereoFrames[1], sizeof kStereoFrames[1]);
  for (uint32_t bit = g_decoder.blockStart[0]; bit < 8 * sizeof kStereoFrames[1]; bit++) {
    uint32_t word = bit / 16, inWord = 15 - bit % 16;
    bad[2 * word + (inWord >= 8)] &= (uint8_t) ~(1u << (inWord % 8));
  }
  EXPECT_EQ(decode(bad.data(), a.data(), 1), -1);
  EXPECT_EQ(dbDecode(bad.data(), b.data(), 1), -1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(decode(nullptr, a.data(), 0), 0);
  EXPECT_EQ(dbDecode(nullptr, b.data(), 0), 0);
  EXPECT_EQ(a, b);
  EXPECT_GT(Energy(a), 1e6) << "the lost frame repeats frame 0, not the failed one";
}

TEST_F(Dll, ReinitialisationWithAnotherChannelCount) {
  const size_t n = sizeof kStereoFrames[0];
  RunBoth(*this, 2, {{kStereoFrames[0], n, 1, false, 0}, {kStereoFrames[1], n, 1, false, 0}}, nullptr);
  std::vector<std::vector<short>> mono;
  RunBoth(*this, 1, {{kStereoFrames[2], n, 1, false, 0}, {nullptr, 0, 0, false, 0}}, &mono);
  ASSERT_EQ(mono[0].size(), 1536u);
  // A freshly loaded library decoding frame 2 in mono gives the same first frame:
  // the change of configuration cleared the overlap.
  TearDown();
  SetUp();
  int spf = 0;
  ASSERT_EQ(init(44100, 1, &spf), 0);
  std::vector<short> fresh(spf);
  ASSERT_EQ(decode(kStereoFrames[2], fresh.data(), 1), 0);
  EXPECT_EQ(fresh, mono[0]);
}

TEST_F(Dll, MonoStreamsDecode) {
  const size_t n = sizeof kMonoFrames[0];
  std::vector<std::vector<short>> out;
  RunBoth(*this, 1,
          {{kMonoFrames[0], n, 1, false, 0}, {kMonoFrames[1], n, 1, false, 0}, {kMonoFrames[2], n, 1, false, 0}}, &out);
  EXPECT_GT(Energy(out[2]), 1e6);
  RunBoth(*this, 2, {{kMonoFrames[0], n, 1, false, 0}, {kMonoFrames[1], n, 1, false, 0}}, &out);
  const std::vector<short>& st = out.back();
  for (size_t i = 0; i < st.size(); i += 2) ASSERT_EQ(st[i], st[i + 1]) << "1/0 to 2/0: both sides alike";
}

}  // namespace
