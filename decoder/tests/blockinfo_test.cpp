// Side information parse, exponent groups, coupling coordinates, delta bit
// allocation and the consistency checks of an audio block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "decoder/blockinfo.h"
#include "decoder/core.h"
#include "decoder/tests/bit_writer.h"

namespace {

DecoderState g_state;

// Minimal side information of one block, written field by field in stream order.
struct SideInfo {
  int acmod = 1, lfeon = 0;
  int blksw = 0, dithflag = 1;
  int cplstre = 1, cplinu = 0, chincplMask = 0, phsflginu = 0, cplbegf = 0, cplendf = 15, cplbndstrc = 0;
  int mstrcplco = 0, cplcoexp = 0, cplcomant = 0;
  int rematstr = 1, rematflg = 0;
  int cplexpstr = 1, chexpstr = 1, lfeexpstr = 1, chbwcod = 0;
  int baie = 1, snroffste = 1, cplleake = 1;
  int deltbaie = 0, deltbae = 0, deltnseg = 0, deltoffst = 0, deltlen = 0, deltba = 0;
  int skiple = 0, skipl = 0;
};

int Nf(int acmod) {
  static const int kNf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  return kNf[acmod];
}

int GroupCount(int strategy, int end) {
  int per = 3 << (strategy - 1);
  return (end - 1 + per - 1) / per;
}

void Write(BitWriter& w, const SideInfo& s) {
  const int nf = Nf(s.acmod);
  for (int ch = 0; ch < nf; ch++) w.Put(s.blksw, 1);
  for (int ch = 0; ch < nf; ch++) w.Put(s.dithflag, 1);
  w.Put(0, 1);  // dynrnge
  if (s.acmod == 0) w.Put(0, 1);
  w.Put(s.cplstre, 1);
  if (s.cplstre) {
    w.Put(s.cplinu, 1);
    if (s.cplinu) {
      for (int ch = 0; ch < nf; ch++) w.Put((s.chincplMask >> ch) & 1, 1);
      if (s.acmod == 2) w.Put(s.phsflginu, 1);
      w.Put(s.cplbegf, 4);
      w.Put(s.cplendf, 4);
      for (int sb = s.cplbegf + 1; sb < s.cplendf + 3; sb++) w.Put(s.cplbndstrc, 1);
    }
  }
  int bands = 0;
  for (int sb = s.cplbegf; sb < s.cplendf + 3; sb++) bands += (sb == s.cplbegf || !s.cplbndstrc);
  if (s.cplinu) {
    for (int ch = 0; ch < nf; ch++) {
      if (!((s.chincplMask >> ch) & 1)) continue;
      w.Put(1, 1);  // cplcoe
      w.Put(s.mstrcplco, 2);
      for (int b = 0; b < bands; b++) {
        w.Put(s.cplcoexp, 4);
        w.Put(s.cplcomant, 4);
      }
    }
    if (s.acmod == 2 && s.phsflginu)
      for (int b = 0; b < bands; b++) w.Put(1, 1);
  }
  if (s.acmod == 2) {
    w.Put(s.rematstr, 1);
    if (s.rematstr) {
      int n = (!s.cplinu || s.cplbegf > 2) ? 4 : (s.cplbegf > 0 ? 3 : 2);
      for (int i = 0; i < n; i++) w.Put((s.rematflg >> i) & 1, 1);
    }
  }
  if (s.cplinu) w.Put(s.cplexpstr, 2);
  for (int ch = 0; ch < nf; ch++) w.Put(s.chexpstr, 2);
  if (s.lfeon) w.Put(s.lfeexpstr, 1);
  for (int ch = 0; ch < nf; ch++)
    if (s.chexpstr && !(s.cplinu && ((s.chincplMask >> ch) & 1))) w.Put(s.chbwcod, 6);
  if (s.cplinu && s.cplexpstr) {
    w.Put(5, 4);
    int groups = (12 * (s.cplendf + 3 - s.cplbegf)) / (3 << (s.cplexpstr - 1));
    for (int g = 0; g < groups; g++) w.Put(62, 7);  // digits 2 2 2: no change
  }
  for (int ch = 0; ch < nf; ch++) {
    if (!s.chexpstr) continue;
    const bool coupled = s.cplinu && ((s.chincplMask >> ch) & 1);
    int end = coupled ? 12 * s.cplbegf + 37 : 3 * s.chbwcod + 73;
    w.Put(10, 4);
    for (int g = 0; g < GroupCount(s.chexpstr, end); g++) w.Put(62, 7);
    w.Put(1, 2);  // gainrng
  }
  if (s.lfeon && s.lfeexpstr) {
    w.Put(10, 4);
    w.Put(62, 7);
    w.Put(62, 7);
  }
  w.Put(s.baie, 1);
  if (s.baie) w.Put(0x2A5, 11);
  w.Put(s.snroffste, 1);
  if (s.snroffste) {
    w.Put(15, 6);
    if (s.cplinu) w.Put(0, 7);
    for (int ch = 0; ch < nf; ch++) w.Put(0, 7);
    if (s.lfeon) w.Put(0, 7);
  }
  if (s.cplinu) {
    w.Put(s.cplleake, 1);
    if (s.cplleake) w.Put(0x3F, 6);
  }
  w.Put(s.deltbaie, 1);
  if (s.deltbaie) {
    if (s.cplinu) w.Put(2, 2);
    for (int ch = 0; ch < nf; ch++) w.Put(s.deltbae, 2);
    for (int ch = 0; ch < nf; ch++) {
      if (s.deltbae != 1) continue;
      w.Put(s.deltnseg, 3);
      for (int i = 0; i <= s.deltnseg; i++) {
        w.Put(s.deltoffst, 5);
        w.Put(s.deltlen, 4);
        w.Put(s.deltba, 3);
      }
    }
  }
  w.Put(s.skiple, 1);
  if (s.skiple) {
    w.Put(s.skipl, 9);
    for (int i = 0; i < s.skipl; i++) w.Put(0xFF, 8);
  }
}

std::vector<uint8_t> g_bytes;

// Parses s as block 'block' of a frame with s's acmod and lfeon; returns the status
// and sets *bits to the reader position relative to the written length.
int Parse(const SideInfo& s, int block, long* surplus = nullptr) {
  BitWriter w;
  Write(w, s);
  w.Put(0xFFFF, 16);  // mantissa bits follow
  g_bytes = w.Bytes(kMaxFrameWords);
  ReaderStart(g_state.reader, g_bytes.data(), 0, 0, kMaxFrameWords);
  g_state.header.acmod = (int16_t)s.acmod;
  g_state.header.lfeon = (int16_t)s.lfeon;
  g_state.header.nfchans = (int16_t)Nf(s.acmod);
  int status = ParseSideInformation(g_state, block);
  if (surplus) *surplus = (long)Mark(g_state.reader) - (long)(w.Size() - 16);
  return status;
}

TEST(SideInformation, ExponentGroupCountsByStrategy) {
  struct Case {
    int strategy, chbwcod, end, groups;
  } cases[] = {
      {1, 0, 73, 24},   {2, 0, 73, 12},   {3, 0, 73, 6}, {1, 60, 253, 84},
      {2, 60, 253, 42}, {3, 60, 253, 21}, {3, 1, 76, 7},
  };
  for (const Case& c : cases) {
    SideInfo s;
    s.chexpstr = c.strategy;
    s.chbwcod = c.chbwcod;
    long surplus = 0;
    ASSERT_EQ(Parse(s, 0, &surplus), 0);
    EXPECT_EQ(surplus, 0) << "reader ends at the first mantissa";
    const ExponentRecord& e = g_state.block.expRecord[0];
    EXPECT_EQ(g_state.block.endmant[0], c.end);
    EXPECT_EQ(e.groupSize, 1 << (c.strategy - 1));
    EXPECT_EQ(e.groupCount, c.groups) << "strategy " << c.strategy << " end " << c.end;
    EXPECT_EQ(e.firstExp, 10);
  }
}

TEST(SideInformation, EveryAcmodAndLfeParsesToTheMantissas) {
  for (int acmod = 0; acmod < 8; acmod++) {
    for (int lfe = 0; lfe < 2; lfe++) {
      SideInfo s;
      s.acmod = acmod;
      s.lfeon = lfe;
      s.cplinu = acmod >= 2;
      s.chincplMask = acmod >= 2 ? 0x1F : 0;
      s.cplbegf = 3;
      s.cplendf = 10;
      s.chbwcod = 20;
      long surplus = 0;
      ASSERT_EQ(Parse(s, 0, &surplus), 0) << acmod << " " << lfe;
      EXPECT_EQ(surplus, 0) << acmod << " " << lfe;
      if (lfe) { EXPECT_EQ(g_state.block.expRecord[kLfeIndex].groupCount, 2); }
    }
  }
}

TEST(SideInformation, CouplingRangeAndCoordinates) {
  SideInfo s;
  s.acmod = 2;
  s.cplinu = 1;
  s.chincplMask = 3;
  s.cplbegf = 0;
  s.cplendf = 15;
  s.cplcoexp = 15;
  s.cplcomant = 0;
  ASSERT_EQ(Parse(s, 0), 0);
  const BlockState& b = g_state.block;
  EXPECT_EQ(b.cplstrtmant, 37);
  EXPECT_EQ(b.cplendmant, 253);
  EXPECT_EQ(b.cplendf - b.cplbegf, 18);
  EXPECT_EQ(b.endmant[0], 37);
  EXPECT_EQ(b.expRecord[kCplIndex].groupCount, (253 - 37) / 3);
  EXPECT_EQ(b.expRecord[kCplIndex].firstExp, 10);
  EXPECT_EQ(b.cplcoMant[0][0] * std::ldexp(1.0, -b.cplcoExp[0][0]), 0.0);
  EXPECT_EQ(b.rematBands, 2);

  s.cplcoexp = 0;
  s.cplcomant = 15;
  s.cplbndstrc = 1;  // one band: every sub-band copies the first
  ASSERT_EQ(Parse(s, 0), 0);
  for (int sb = 0; sb < 18; sb++) {
    EXPECT_DOUBLE_EQ(b.cplcoMant[1][sb] * std::ldexp(1.0, -b.cplcoExp[1][sb]), 31.0 / 32.0) << sb;
  }
  s.cplcoexp = 3;
  s.cplcomant = 7;
  s.mstrcplco = 2;  // (7 + 16) / 32 x 2^-(3 + 6)
  ASSERT_EQ(Parse(s, 0), 0);
  EXPECT_DOUBLE_EQ(b.cplcoMant[0][5] * std::ldexp(1.0, -b.cplcoExp[0][5]), 23.0 / 32.0 / 512.0);
}

TEST(SideInformation, PhaseFlagsSetTheSignOfChannelOneOnce) {
  SideInfo s;
  s.acmod = 2;
  s.cplinu = 1;
  s.chincplMask = 3;
  s.phsflginu = 1;
  s.cplcomant = 4;
  s.cplendf = 2;
  ASSERT_EQ(Parse(s, 0), 0);
  EXPECT_LT(g_state.block.cplcoMant[1][0], 0.0);
  EXPECT_GT(g_state.block.cplcoMant[0][0], 0.0);
  EXPECT_LT(g_state.block.cplcoMant[1][4], 0.0);
}

TEST(SideInformation, RematrixFlagsPersistWithoutStrategy) {
  SideInfo s;
  s.acmod = 2;
  s.rematflg = 0x8;
  ASSERT_EQ(Parse(s, 0), 0);
  EXPECT_EQ(g_state.block.anyRematrix, 1);
  s.rematstr = 0;
  s.chexpstr = 0;
  s.baie = s.snroffste = 0;
  ASSERT_EQ(Parse(s, 3), 0);
  EXPECT_EQ(g_state.block.anyRematrix, 1);
  EXPECT_EQ(g_state.block.rematflg[3], 1);
  EXPECT_EQ(g_state.block.rematBands, 4);
  s.acmod = 1;
  ASSERT_EQ(Parse(s, 3), 0);
  EXPECT_EQ(g_state.block.anyRematrix, 0);
}

TEST(SideInformation, DeltaSegmentsNewRemovedAndKept) {
  SideInfo s;
  s.deltbaie = 1;
  s.deltbae = 1;
  s.deltnseg = 1;
  s.deltoffst = 3;
  s.deltlen = 2;
  s.deltba = 6;
  ASSERT_EQ(Parse(s, 0), 0);
  EXPECT_EQ(g_state.block.delta[0].count, 2);
  s.deltbae = 0;  // reuse keeps them
  ASSERT_EQ(Parse(s, 1), 0);
  EXPECT_EQ(g_state.block.delta[0].count, 2);
  s.deltbae = 2;  // no delta removes them
  ASSERT_EQ(Parse(s, 2), 0);
  EXPECT_EQ(g_state.block.delta[0].count, 0);
}

TEST(SideInformation, SkipFieldSkipsItsBytes) {
  SideInfo s;
  s.skiple = 1;
  s.skipl = 511;
  long surplus = 1;
  ASSERT_EQ(Parse(s, 0, &surplus), 0);
  EXPECT_EQ(surplus, 0);
}

TEST(SideInformation, ConsistencyChecksReportAStatus) {
  struct Case {
    const char* name;
    int block;
    void (*edit)(SideInfo&);
  } cases[] = {
      {"cplstre 0 in block 0", 0, [](SideInfo& s) { s.cplstre = 0; }},
      {"chexpstr reuse in block 0", 0, [](SideInfo& s) { s.chexpstr = 0; }},
      {"lfeexpstr reuse in block 0", 0,
       [](SideInfo& s) {
         s.lfeon = 1;
         s.lfeexpstr = 0;
       }},
      {"baie 0 in block 0", 0, [](SideInfo& s) { s.baie = 0; }},
      {"snroffste 0 in block 0", 0, [](SideInfo& s) { s.snroffste = 0; }},
      {"rematstr 0 in block 0", 0,
       [](SideInfo& s) {
         s.acmod = 2;
         s.rematstr = 0;
       }},
      {"cplexpstr reuse in block 0", 0,
       [](SideInfo& s) {
         s.acmod = 2;
         s.cplinu = 1;
         s.chincplMask = 3;
         s.cplexpstr = 0;
       }},
      {"cplleake 0 in block 0", 0,
       [](SideInfo& s) {
         s.acmod = 2;
         s.cplinu = 1;
         s.chincplMask = 3;
         s.cplleake = 0;
       }},
      {"coupling with 1+1", 2,
       [](SideInfo& s) {
         s.acmod = 0;
         s.cplinu = 1;
         s.chincplMask = 3;
       }},
      {"chbwcod above 60", 1, [](SideInfo& s) { s.chbwcod = 61; }},
      {"delta past band 49", 1,
       [](SideInfo& s) {
         s.deltbaie = 1;
         s.deltbae = 1;
         s.deltoffst = 31;
         s.deltlen = 15;
         s.deltnseg = 1;
       }},
      {"coupling ends before it begins", 1,
       [](SideInfo& s) {
         s.acmod = 2;
         s.cplinu = 1;
         s.chincplMask = 3;
         s.cplbegf = 15;
         s.cplendf = 0;
       }},
  };
  for (const Case& c : cases) {
    SideInfo s;
    c.edit(s);
    EXPECT_EQ(Parse(s, c.block), kStatusInconsistent) << c.name;
  }
  SideInfo fine;
  fine.cplstre = 0;
  fine.chexpstr = 0;
  fine.baie = fine.snroffste = 0;
  EXPECT_EQ(Parse(fine, 1), 0) << "reuse is fine after block 0";
}

TEST(Exponents, DifferentialGroupsAndReplication) {
  BitWriter w;
  w.Put(25 * 4 + 5 * 0 + 2, 7);  // +2, -2, 0
  w.Put(25 * 3 + 5 * 1 + 4, 7);  // +1, -1, +2
  g_bytes = w.Bytes(8);
  ReaderStart(g_state.reader, g_bytes.data(), 0, 0, 8);
  Skip(g_state.reader, 3);
  ExponentRecord rec = {1, 2, 10, 0};
  int16_t exps[kBins] = {};
  EXPECT_EQ(DecodeExponents(g_state.reader, rec, exps, 0), 7);
  const int16_t want[7] = {10, 12, 10, 10, 11, 10, 12};
  for (int i = 0; i < 7; i++) EXPECT_EQ(exps[i], want[i]) << i;
  EXPECT_EQ(Mark(g_state.reader), 3u) << "the caller's position is kept";

  rec.groupSize = 4;  // D45: each value fills four bins
  std::memset(exps, 0, sizeof exps);
  EXPECT_EQ(DecodeExponents(g_state.reader, rec, exps, 0), 25);
  EXPECT_EQ(exps[0], 10);
  for (int i = 1; i <= 4; i++) EXPECT_EQ(exps[i], 12);
  for (int i = 21; i <= 24; i++) EXPECT_EQ(exps[i], 12);

  rec.groupSize = 2;  // coupling: the first exponent is a reference only
  std::memset(exps, 0, sizeof exps);
  EXPECT_EQ(DecodeExponents(g_state.reader, rec, exps, 37), 37 + 12);
  EXPECT_EQ(exps[36], 0);
  EXPECT_EQ(exps[37], 12);
  EXPECT_EQ(exps[38], 12);
  EXPECT_EQ(exps[39], 10);
}

TEST(Exponents, StayWithinTheirRange) {
  BitWriter w;
  for (int i = 0; i < 4; i++) w.Put(0, 7);    // -2 -2 -2 each
  for (int i = 0; i < 4; i++) w.Put(127, 7);  // an invalid code
  g_bytes = w.Bytes(8);
  ReaderStart(g_state.reader, g_bytes.data(), 0, 0, 8);
  ExponentRecord rec = {1, 8, 3, 0};
  int16_t exps[kBins] = {};
  DecodeExponents(g_state.reader, rec, exps, 0);
  for (int i = 0; i < 25; i++) {
    EXPECT_GE(exps[i], 0);
    EXPECT_LE(exps[i], 24);
  }
}

// Each stored exponent is the running value clamped to 0..24; the running value
// itself goes on unclamped (A/52 leaves such streams undefined; the decoder
// only has to stay in range and in step).
TEST(Exponents, ClampEachValueButKeepTheRunningSum) {
  struct Case {
    int first, size;
    std::vector<int> codes;
  } cases[] = {
      {20, 1, {124, 124, 0, 0, 62}},     // up past 24 and back down
      {20, 2, {124, 124, 0, 0, 62}},     // the same with pairs
      {3, 1, {0, 0, 0, 127, 124, 124}},  // below 0 (127 reads as -2 -2 -2) and back up
      {3, 4, {0, 0, 0, 124, 124, 124}},
      {1, 1, {33, 124, 124}},  // just below 0 (0, -1, 0) and back up
      {23, 1, {91, 0, 0}},     // just above 24 (24, 25, 24) and back down
      {24, 2, {66}},           // 24, 25, 24: out of range inside one group
  };
  for (const Case& c : cases) {
    BitWriter w;
    for (int code : c.codes) w.Put((uint32_t)code, 7);
    g_bytes = w.Bytes(8);
    ReaderStart(g_state.reader, g_bytes.data(), 0, 0, 8);
    ExponentRecord rec = {(int16_t)c.size, (int16_t)c.codes.size(), (int16_t)c.first, 0};
    int16_t exps[kBins] = {};
    const int end = DecodeExponents(g_state.reader, rec, exps, 0);
    std::vector<int> want = {std::min(24, std::max(0, c.first))};
    int e = c.first;
    for (int code : c.codes) {
      const int digits[3] = {code < 125 ? code / 25 : 0, code < 125 ? code / 5 % 5 : 0, code < 125 ? code % 5 : 0};
      for (int d : digits) {
        e += d - 2;
        for (int j = 0; j < c.size; j++) want.push_back(std::min(24, std::max(0, e)));
      }
    }
    ASSERT_EQ(end, (int)want.size()) << c.first << " " << c.size;
    for (int i = 0; i < end; i++)
      EXPECT_EQ(exps[i], want[i]) << "start " << c.first << " size " << c.size << " bin " << i;
  }
}

TEST(DeltaArray, SegmentsAddTheirDeltaToConsecutiveBands) {
  DeltaSegments seg = {};
  seg.count = 3;
  seg.offset[0] = 2, seg.length[0] = 3, seg.code[0] = 0;  // bands 2-4: -512
  seg.offset[1] = 1, seg.length[1] = 1, seg.code[1] = 4;  // band 6: +128
  seg.offset[2] = 0, seg.length[2] = 2, seg.code[2] = 7;  // bands 7-8: +512
  int16_t delta[50];
  BuildDeltaArray(seg, delta);
  const int16_t want[10] = {0, 0, -512, -512, -512, 0, 128, 512, 512, 0};
  for (int i = 0; i < 10; i++) EXPECT_EQ(delta[i], want[i]) << i;
  for (int code = 0; code < 8; code++) {
    DeltaSegments one = {};
    one.count = 1;
    one.length[0] = 1;
    one.code[0] = (int16_t)code;
    BuildDeltaArray(one, delta);
    static const int16_t kWant[8] = {-512, -384, -256, -128, 128, 256, 384, 512};
    EXPECT_EQ(delta[0], kWant[code]);
  }
  DeltaSegments past = {};
  past.count = 1;
  past.offset[0] = 40, past.length[0] = 15, past.code[0] = 7;  // bands 40 to 54
  past.offset[1] = 31;
  BuildDeltaArray(past, delta);  // clipped at band 49, no write past the array
  EXPECT_EQ(delta[49], 512);
}

}  // namespace
