// Bit reader, frame header, FrameInfo record and statuses, frame-size table and
// frame check of the decoder core.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "decoder/bitstream.h"
#include "decoder/core.h"
#include "decoder/tests/bit_writer.h"

namespace {

BitReader g_reader;

std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> out;
  for (uint16_t w : words) {
    out.push_back((uint8_t)(w & 0xFF));
    out.push_back((uint8_t)(w >> 8));
  }
  return out;
}

TEST(BitReader, FieldsStraddleWordsMostSignificantBitFirst) {
  auto data = Words({0xABCD, 0x1234, 0x5678});
  ReaderStart(g_reader, data.data(), 0, 0, 3);
  EXPECT_EQ(ReadUnsigned(g_reader, 4), 0xAu);
  EXPECT_EQ(ReadUnsigned(g_reader, 8), 0xBCu);
  EXPECT_EQ(ReadUnsigned(g_reader, 12), 0xD12u);   // straddles words 0 and 1
  EXPECT_EQ(ReadUnsigned(g_reader, 1), 0u);        // 0x3 = 0011
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0x68ACu);  // 011 0100 + 0101 0110 0
  EXPECT_EQ(Mark(g_reader), 41u);
}

TEST(BitReader, StartBitOffsetsTheFirstWord) {
  auto data = Words({0x0FFF, 0x8000});
  ReaderStart(g_reader, data.data(), 4, 0, 2);
  EXPECT_EQ(ReadUnsigned(g_reader, 12), 0xFFFu);
  EXPECT_EQ(ReadUnsigned(g_reader, 1), 1u);
}

TEST(BitReader, ReadLeftAlignedKeepsTheTopBits) {
  auto data = Words({0x807F, 0xA000});
  ReaderStart(g_reader, data.data(), 0, 0, 2);
  EXPECT_EQ((int16_t)ReadLeftAligned(g_reader, 8), -32768);  // 10000000
  EXPECT_EQ((int16_t)ReadLeftAligned(g_reader, 8), 32512);   // 01111111
  EXPECT_EQ(ReadLeftAligned(g_reader, 4), 0xA000u);          // 1010, signed -6 x 2^12
  EXPECT_EQ((int16_t)0xA000 >> 12, -6);
}

TEST(BitReader, ReadsZerosPastTheLimit) {
  auto data = Words({0xFFFF, 0xFFFF, 0xFFFF});
  ReaderStart(g_reader, data.data(), 0, 0, 1);  // only one word belongs to the frame
  EXPECT_EQ(ReadUnsigned(g_reader, 8), 0xFFu);
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0xFF00u);  // half real, half past the end
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0u);
  Skip(g_reader, 32767);
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0u);
  EXPECT_LE(Mark(g_reader), 16u);
}

TEST(BitReader, LimitIsCappedAtTheLargestFrame) {
  std::vector<uint8_t> data(2 * kMaxFrameWords + 64, 0xFF);
  ReaderStart(g_reader, data.data(), 0, 0, 5000);
  Skip(g_reader, 16 * kMaxFrameWords - 8);
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0xFF00u);
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0u);
}

TEST(BitReader, MarkAndResumeReadAFieldAgain) {
  auto data = Words({0x1234, 0x5678});
  ReaderStart(g_reader, data.data(), 0, 0, 2);
  Skip(g_reader, 12);
  uint32_t mark = Mark(g_reader);
  EXPECT_EQ(ReadUnsigned(g_reader, 8), 0x45u);
  Resume(g_reader, mark);
  EXPECT_EQ(ReadUnsigned(g_reader, 8), 0x45u);
}

TEST(BitReader, EightBitWordsTakeTheLowByte) {
  auto data = Words({0x00AB, 0x00CD});
  ReaderStart(g_reader, data.data(), 0, 2 << 14, 2);
  EXPECT_EQ(ReadUnsigned(g_reader, 16), 0xABCDu);
  EXPECT_EQ(ReadUnsigned(g_reader, 8), 0u);
}

// ---- frame size table ----

TEST(FrameSize, TableMatchesTheBitRatesOfA52) {
  static const int kKbps[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
  static const int kRate[3] = {48000, 44100, 32000};
  for (int fscod = 0; fscod < 3; fscod++) {
    for (int code = 0; code < 38; code++) {
      // words = bit rate x 1536 samples / sample rate / 16 bits, plus one for odd codes at 44.1 kHz
      int words = kKbps[code >> 1] * 96000 / kRate[fscod] + (fscod == 1 ? (code & 1) : 0);
      EXPECT_EQ(FrameSizeWords(fscod, code), words) << "fscod " << fscod << " code " << code;
    }
    EXPECT_EQ(FrameSizeWords(fscod, 38), 0);
  }
  EXPECT_EQ(FrameSizeWords(1, 0), 69);
  EXPECT_EQ(FrameSizeWords(1, 1), 70);
  EXPECT_EQ(FrameSizeWords(2, 37), 1920);
  EXPECT_EQ(FrameSizeWords(3, 0), 0);
}

// ---- header parse and FrameInfo ----

struct HeaderSpec {
  int fscod = 0, frmsizecod = 10, bsid = 8, bsmod = 2, acmod = 2;
  int cmixlev = 1, surmixlev = 2, dsurmod = 3, lfeon = 1, dialnorm = 27;
  int compre = 1, compr = 0x9C, langcode = 1, langcod = 0x5A, audprodie = 1, mixlevel = 21, roomtyp = 2;
  int dialnorm2 = 19, compr2e = 1, compr2 = 0x7F, langcod2e = 1, langcod2 = 0xA5, audprodi2e = 1, mixlevel2 = 9,
      roomtyp2 = 1;
  int copyrightb = 1, origbs = 0, timecod1e = 1, timecod1 = 0x1ABC, timecod2e = 1, timecod2 = 0x0123;
  int addbsie = 0, addbsil = 0;
  uint16_t sync = 0x0B77;
};

void WriteHeader(BitWriter& w, const HeaderSpec& s) {
  w.Put(s.sync, 16);
  w.Put(0x4321, 16);
  w.Put(s.fscod, 2);
  w.Put(s.frmsizecod, 6);
  w.Put(s.bsid, 5);
  w.Put(s.bsmod, 3);
  w.Put(s.acmod, 3);
  if ((s.acmod & 1) && s.acmod != 1) w.Put(s.cmixlev, 2);
  if (s.acmod & 4) w.Put(s.surmixlev, 2);
  if (s.acmod == 2) w.Put(s.dsurmod, 2);
  w.Put(s.lfeon, 1);
  w.Put(s.dialnorm, 5);
  w.Put(s.compre, 1);
  if (s.compre) w.Put(s.compr, 8);
  w.Put(s.langcode, 1);
  if (s.langcode) w.Put(s.langcod, 8);
  w.Put(s.audprodie, 1);
  if (s.audprodie) {
    w.Put(s.mixlevel, 5);
    w.Put(s.roomtyp, 2);
  }
  if (s.acmod == 0) {
    w.Put(s.dialnorm2, 5);
    w.Put(s.compr2e, 1);
    if (s.compr2e) w.Put(s.compr2, 8);
    w.Put(s.langcod2e, 1);
    if (s.langcod2e) w.Put(s.langcod2, 8);
    w.Put(s.audprodi2e, 1);
    if (s.audprodi2e) {
      w.Put(s.mixlevel2, 5);
      w.Put(s.roomtyp2, 2);
    }
  }
  w.Put(s.copyrightb, 1);
  w.Put(s.origbs, 1);
  w.Put(s.timecod1e, 1);
  if (s.timecod1e) w.Put(s.timecod1, 14);
  w.Put(s.timecod2e, 1);
  if (s.timecod2e) w.Put(s.timecod2, 14);
  w.Put(s.addbsie, 1);
  if (s.addbsie) {
    w.Put(s.addbsil, 6);
    for (int i = 0; i < s.addbsil + 1; i++) w.Put(0xA5, 8);
  }
}

// Runs FrameInfo on the header of s (padded to its frame size) and returns the status.
int RunFrameInfo(const HeaderSpec& s, const int16_t** record, size_t* headerBits = nullptr) {
  BitWriter w;
  WriteHeader(w, s);
  if (headerBits) *headerBits = w.Size();
  static std::vector<uint8_t> bytes;
  bytes = w.Bytes(kMaxFrameWords);
  FrameInfoRequest req = {5, bytes.data(), 0, 0, 0};
  uint32_t result = DecoderCommand(kCmdFrameInfo, &req, record);
  EXPECT_EQ(result & 0xFFFF, 0x0405u);
  return (int)(result >> 16);
}

TEST(FrameHeader, EveryAcmodCarriesItsOwnMixFields) {
  for (int acmod = 0; acmod < 8; acmod++) {
    HeaderSpec s;
    s.acmod = acmod;
    const int16_t* rec = nullptr;
    size_t bits = 0;
    ASSERT_EQ(RunFrameInfo(s, &rec, &bits), 0) << acmod;
    const FrameHeader& h = g_decoder.header;
    EXPECT_EQ(h.acmod, acmod);
    static const int kNf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
    EXPECT_EQ(h.nfchans, kNf[acmod]);
    EXPECT_EQ(h.cmixlev, ((acmod & 1) && acmod != 1) ? s.cmixlev : 0) << acmod;
    EXPECT_EQ(h.surmixlev, (acmod & 4) ? s.surmixlev : 0) << acmod;
    EXPECT_EQ(h.dsurmod, acmod == 2 ? s.dsurmod : 0) << acmod;
    EXPECT_EQ(h.dialnorm2, acmod == 0 ? s.dialnorm2 : 0) << acmod;
    EXPECT_EQ(h.langcod2, acmod == 0 ? s.langcod2 : 0) << acmod;
    EXPECT_EQ(h.mixlevel2, acmod == 0 ? s.mixlevel2 : 0) << acmod;
    EXPECT_EQ(h.compr2, acmod == 0 ? (int16_t)(s.compr2 << 8) : h.compr2);
    EXPECT_EQ(Mark(g_decoder.reader), bits) << "parse ends where the header ends, acmod " << acmod;
    EXPECT_EQ(rec[1] & 7, acmod);
    EXPECT_EQ((rec[4] >> 6) & 3, h.cmixlev);
    EXPECT_EQ((rec[4] >> 4) & 3, h.surmixlev);
    EXPECT_EQ((rec[4] >> 2) & 3, h.dsurmod);
  }
}

TEST(FrameHeader, RecordCarriesEveryField) {
  HeaderSpec s;
  s.acmod = 0;
  s.fscod = 1;
  s.frmsizecod = 13;
  const int16_t* rec = nullptr;
  ASSERT_EQ(RunFrameInfo(s, &rec), 0);
  const int words = FrameSizeWords(1, 13);
  EXPECT_EQ(rec[0], 10);
  EXPECT_EQ((uint16_t)rec[1], (uint16_t)(1 << 14 | 13 << 8 | 0 << 4 | 1 << 3 | 0));
  EXPECT_EQ(rec[2], words);
  EXPECT_EQ(rec[3], (words >> 1) + (words >> 3) - 1);
  EXPECT_EQ((uint16_t)rec[4], (uint16_t)(8 << 11 | 2 << 8 | 1 << 1 | 0));
  EXPECT_EQ(rec[5], 19 << 8 | 27);
  EXPECT_EQ((uint16_t)rec[6], (uint16_t)(0xA5 << 8 | 0x5A));
  EXPECT_EQ((uint16_t)rec[7], (uint16_t)(1 << 15 | 1 << 13 | 9 << 8 | 1 << 7 | 2 << 5 | 21));
  EXPECT_EQ(rec[8], 1 << 14 | 0x1ABC);
  EXPECT_EQ(rec[9], 1 << 14 | 0x0123);
  EXPECT_EQ(g_decoder.header.compr, (int16_t)(0x9C << 8));  // left-aligned: -100 x 256
}

TEST(FrameHeader, AbsentOptionalFieldsReadAsZero) {
  HeaderSpec full;
  full.acmod = 0;
  const int16_t* rec = nullptr;
  ASSERT_EQ(RunFrameInfo(full, &rec), 0);
  HeaderSpec bare;
  bare.acmod = 7;
  bare.langcode = bare.audprodie = bare.timecod1e = bare.timecod2e = 0;
  ASSERT_EQ(RunFrameInfo(bare, &rec), 0);
  for (int word = 5; word <= 9; word++) EXPECT_EQ(rec[word] & ~0x1F, 0) << "word " << word;
  EXPECT_EQ(rec[5], 27);  // dialnorm alone
}

TEST(FrameHeader, AdditionalInformationIsSkipped) {
  HeaderSpec s;
  s.addbsie = 1;
  s.addbsil = 63;
  const int16_t* rec = nullptr;
  size_t bits = 0;
  ASSERT_EQ(RunFrameInfo(s, &rec, &bits), 0);
  EXPECT_EQ(Mark(g_decoder.reader), bits);
  HeaderSpec plain;
  size_t plainBits = 0;
  RunFrameInfo(plain, &rec, &plainBits);
  EXPECT_EQ(bits - plainBits, 6u + 512u);
}

TEST(FrameHeader, BsidSetsTheRateShift) {
  struct Case {
    int bsid, shift;
  } cases[] = {{0, 0}, {6, 0}, {8, 0}, {9, 1}, {10, 2}};
  for (const Case& c : cases) {
    HeaderSpec s;
    s.bsid = c.bsid;
    const int16_t* rec = nullptr;
    ASSERT_EQ(RunFrameInfo(s, &rec), 0);
    EXPECT_EQ(g_decoder.header.rateShift, c.shift) << c.bsid;
    EXPECT_EQ((rec[1] >> 4) & 15, c.shift);
  }
}

TEST(FrameHeader, KaraokeFlagNeedsBsmod7AndTwoChannels) {
  struct Case {
    int acmod, bsmod, karaoke;
  } cases[] = {{2, 7, 1}, {7, 7, 1}, {1, 7, 0}, {0, 7, 0}, {7, 6, 0}};
  for (const Case& c : cases) {
    HeaderSpec s;
    s.acmod = c.acmod;
    s.bsmod = c.bsmod;
    const int16_t* rec = nullptr;
    RunFrameInfo(s, &rec);
    EXPECT_EQ(g_decoder.header.karaoke, c.karaoke) << c.acmod << " " << c.bsmod;
  }
}

TEST(FrameInfo, StatusesComeInTheirOrder) {
  struct Case {
    uint16_t sync;
    int bsid, fscod, frmsizecod, status;
  } cases[] = {
      {0x0B77, 8, 0, 10, 0},  {0x770B, 8, 0, 10, 1},  {0x0B76, 11, 3, 40, 1}, {0x0B77, 11, 3, 40, 4},
      {0x0B77, 31, 0, 10, 4}, {0x0B77, 10, 3, 40, 2}, {0x0B77, 8, 0, 38, 3},  {0x0B77, 8, 2, 63, 3},
  };
  for (const Case& c : cases) {
    HeaderSpec s;
    s.sync = c.sync;
    s.bsid = c.bsid;
    s.fscod = c.fscod;
    s.frmsizecod = c.frmsizecod;
    const int16_t* rec = nullptr;
    EXPECT_EQ(RunFrameInfo(s, &rec), c.status) << std::hex << c.sync << std::dec << " " << c.bsid;
    if (c.status != 0) {
      EXPECT_EQ(rec[2], 0);
      EXPECT_EQ(rec[3], 0);
    }
  }
}

TEST(FrameInfo, A52ByteOrderFailsTheSyncTest) {
  const uint8_t swapped[8] = {0x0B, 0x77, 0, 0, 0, 0, 0, 0};
  const uint8_t stored[8] = {0x77, 0x0B, 0, 0, 0x0A, 0, 0, 0};
  FrameInfoRequest req = {5, swapped, 0, 0, 0};
  EXPECT_EQ(DecoderCommand(kCmdFrameInfo, &req) >> 16, 1u);
  std::vector<uint8_t> frame(2 * kMaxFrameWords, 0);
  std::memcpy(frame.data(), stored, sizeof stored);
  req.data = frame.data();
  EXPECT_EQ(DecoderCommand(kCmdFrameInfo, &req) >> 16, 0u);
}

TEST(FrameInfo, ReadsNoFurtherThanTheHeaderAllows) {
  // A frame with a bad sync word: only its first word may be read.
  uint16_t one = 0x1234;
  EXPECT_EQ(FrameLimitWords(&one, 0, 0), 1);
  // Valid sync, invalid size code: the sync information only.
  auto bad = Words({0x0B77, 0, 0x3F00});  // frmsizecod 63
  EXPECT_EQ(FrameLimitWords(bad.data(), 0, 0), 3);
  auto good = Words({0x0B77, 0, 0x1000});  // fscod 0, frmsizecod 16
  EXPECT_EQ(FrameLimitWords(good.data(), 0, 0), FrameSizeWords(0, 16));
}

TEST(CoreCommand, UnknownCommandsAndInit) {
  EXPECT_EQ(DecoderCommand(7, nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(DecoderCommand(0x00010004, nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(DecoderCommand(kCmdInit, nullptr), 0x0405u);
  EXPECT_EQ(g_decoder.initialised, 0);
}

// ---- frame check ----

// Bit-serial CRC-16 (x^16 + x^15 + x^2 + 1) over the bits of the words, no reflection.
uint16_t SlowCrc(const std::vector<uint16_t>& words) {
  uint32_t reg = 0;
  for (uint16_t w : words) {
    for (int b = 15; b >= 0; b--) {
      reg = (reg << 1) | ((w >> b) & 1);
      if (reg & 0x10000) reg ^= 0x18005;
    }
  }
  return (uint16_t)reg;
}

TEST(Crc, GeneratorTable) {
  EXPECT_EQ(kCrcTable[1], 0x8005);
  EXPECT_EQ(kCrcTable[2], 0x800F);
  EXPECT_EQ(kCrcTable[0], 0);
}

TEST(Crc, IntactSectionGivesZero) {
  std::vector<uint16_t> words;
  uint32_t seed = 12345;
  for (int i = 0; i < 300; i++) {
    seed = seed * 1103515245u + 12345u;
    words.push_back((uint16_t)(seed >> 8));
  }
  words.push_back(0);  // the check word: the remainder of the section times x^16
  std::vector<uint8_t> bytes;
  for (uint16_t w : words) {
    bytes.push_back((uint8_t)w);
    bytes.push_back((uint8_t)(w >> 8));
  }
  uint16_t check = FrameCrc(0, bytes.data(), (int)words.size());
  EXPECT_EQ(check, SlowCrc(words));
  bytes[bytes.size() - 2] = (uint8_t)check;
  bytes[bytes.size() - 1] = (uint8_t)(check >> 8);
  CrcRequest req = {6, bytes.data(), 0, 0, 0, (int16_t)words.size()};
  EXPECT_EQ(DecoderCommand(kCmdCrc, &req), 0x0405u);  // status word 0: intact
  bytes[10] ^= 0x10;
  EXPECT_NE(DecoderCommand(kCmdCrc, &req) >> 16, 0u);
}

TEST(Crc, StartValueComesFromTheCommandWord) {
  const uint8_t bytes[4] = {0x34, 0x12, 0x78, 0x56};
  CrcRequest req = {6, bytes, 0, 0, 0, 1};
  uint16_t first = (uint16_t)(DecoderCommand(kCmdCrc, &req) >> 16);
  req.data = bytes + 2;
  uint32_t chained = DecoderCommand(kCmdCrc | (uint32_t)first << 16, &req) >> 16;
  req.data = bytes;
  req.wordCount = 2;
  EXPECT_EQ(chained, DecoderCommand(kCmdCrc, &req) >> 16);
  EXPECT_EQ(first, SlowCrc({0x1234}));
}

}  // namespace
