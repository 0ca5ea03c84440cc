// Bit reader, frame header parse, frame-size table and frame check of the
// decoder core (A/52 sections 5.3 and 5.4.1).
#include "decoder/bitstream.h"

#include "common/tx_util.h"

const int16_t kChannelsByAcmod[8] = {2, 1, 2, 3, 3, 4, 4, 5};

// A/52 Table 5.18 in 16-bit words, two codes per bit rate (odd codes differ by one
// word only at 44.1 kHz).
static const int16_t kFrameWords[3][38] = {
    {64,  64,  80,  80,  96,  96,  112, 112, 128, 128, 160, 160, 192, 192,  224,  224,  256,  256,  320,
     320, 384, 384, 448, 448, 512, 512, 640, 640, 768, 768, 896, 896, 1024, 1024, 1152, 1152, 1280, 1280},
    {69,  70,  87,  88,  104, 105, 121, 122, 139, 140, 174, 175, 208, 209,  243,  244,  278,  279,  348,
     349, 417, 418, 487, 488, 557, 558, 696, 697, 835, 836, 975, 976, 1114, 1115, 1253, 1254, 1393, 1394},
    {96,  96,  120, 120, 144, 144, 168, 168, 192, 192,  240,  240,  288,  288,  336,  336,  384,  384,  480,
     480, 576, 576, 672, 672, 768, 768, 960, 960, 1152, 1152, 1344, 1344, 1536, 1536, 1728, 1728, 1920, 1920},
};
static_assert(ARRAY_SIZE(kFrameWords) * ARRAY_SIZE(kFrameWords[0]) == 3 * 38, "frame size table");

struct CrcTableMaker {
  uint16_t t[256];
  constexpr CrcTableMaker() : t() {
    for (int i = 0; i < 256; i++) {
      uint16_t c = (uint16_t)(i << 8);
      for (int b = 0; b < 8; b++) c = (uint16_t)((c & 0x8000) ? (c << 1) ^ 0x8005 : c << 1);
      t[i] = c;
    }
  }
};
static constexpr CrcTableMaker kCrcMaker;
static_assert(kCrcMaker.t[1] == 0x8005 && kCrcMaker.t[2] == 0x800F, "CRC-16 generator table");
const uint16_t kCrcTable[256] = {
#define R(i) kCrcMaker.t[i], kCrcMaker.t[i + 1], kCrcMaker.t[i + 2], kCrcMaker.t[i + 3]
#define R16(i) R(i), R(i + 4), R(i + 8), R(i + 12)
    R16(0),   R16(16),  R16(32),  R16(48),  R16(64),  R16(80),  R16(96),  R16(112),
    R16(128), R16(144), R16(160), R16(176), R16(192), R16(208), R16(224), R16(240),
#undef R16
#undef R
};

int WordBits(int wordFormat) { return ((wordFormat >> 14) & 3) == 2 ? 8 : 16; }

void ReaderStart(BitReader& r, const void* data, int startBit, int wordFormat, int limitWords) {
  const uint8_t* src = static_cast<const uint8_t*>(data);
  int wordBits = WordBits(wordFormat);
  if (limitWords < 0) limitWords = 0;
  if (limitWords > kMaxFrameWords * 16 / wordBits) limitWords = kMaxFrameWords * 16 / wordBits;
  int bytes = 0;
  if (wordBits == 16) {
    for (int i = 0; i < limitWords; i++) {  // little-endian words, high byte first in the stream
      uint16_t w;
      std::memcpy(&w, src + 2 * i, 2);
      w = __builtin_bswap16(w);
      std::memcpy(r.bytes + 2 * i, &w, 2);
    }
    bytes = 2 * limitWords;
  } else {
    for (int i = 0; i < limitWords; i++) r.bytes[i] = src[2 * i];
    bytes = limitWords;
  }
  std::memset(r.bytes + bytes, 0, kReaderPadBytes);  // what any read past the limit finds
  r.limit = (uint32_t)bytes * 8;
  r.pos = 0;
  ReaderAdvance(r, (uint32_t)(startBit & (wordBits - 1)));
}

int FrameSizeWords(int fscod, int frmsizecod) {
  if (fscod < 0 || fscod > 2 || frmsizecod < 0 || frmsizecod >= 38) return 0;
  return kFrameWords[fscod][frmsizecod];
}

int FrameLimitWords(const void* data, int startBit, int wordFormat) {
  const uint8_t* src = static_cast<const uint8_t*>(data);
  const int wordBits = WordBits(wordFormat);
  startBit &= wordBits - 1;
  auto wordsFor = [&](int bits) { return (startBit + bits + wordBits - 1) / wordBits; };
  uint64_t acc = 0;  // stream bits of the words loaded so far, the first one highest
  int loaded = 0;
  auto load = [&](int words) {
    for (; loaded < words; loaded++) {
      uint32_t unit = wordBits == 16 ? (uint32_t)(src[2 * loaded] | src[2 * loaded + 1] << 8) : src[2 * loaded];
      acc = acc << wordBits | unit;
    }
  };
  auto field = [&](int at, int n) {  // n bits at stream bit 'at' after startBit
    int shift = loaded * wordBits - (startBit + at + n);
    return (int)((acc >> shift) & ((1u << n) - 1));
  };
  load(wordsFor(16));
  if (field(0, 16) != 0x0B77) return loaded;
  load(wordsFor(40));
  int size = FrameSizeWords(field(32, 2), field(34, 6));
  if (size == 0) return loaded;
  return wordsFor(size * 16);
}

void ParseFrameHeader(BitReader& r, FrameHeader& h) {
  // Optional fields absent from this frame read as 0.
  h.cmixlev = h.surmixlev = h.dsurmod = h.langcod = h.mixlevel = h.roomtyp = 0;
  h.dialnorm2 = h.langcod2 = h.audprodi2e = h.mixlevel2 = h.roomtyp2 = 0;
  h.timecod1 = h.timecod2 = 0;
  h.syncword = (uint16_t)ReadUnsigned(r, 16);
  h.crc1 = (uint16_t)ReadUnsigned(r, 16);
  h.fscod = (int16_t)ReadUnsigned(r, 2);
  h.frmsizecod = (int16_t)ReadUnsigned(r, 6);
  h.bsid = (int16_t)ReadUnsigned(r, 5);
  if (h.bsid <= 8) h.rateShift = 0;
  else if (h.bsid == 9) h.rateShift = 1;
  else if (h.bsid == 10) h.rateShift = 2;
  h.bsmod = (int16_t)ReadUnsigned(r, 3);
  h.acmod = (int16_t)ReadUnsigned(r, 3);
  if ((h.acmod & 1) && h.acmod != 1) h.cmixlev = (int16_t)ReadUnsigned(r, 2);
  if (h.acmod & 4) h.surmixlev = (int16_t)ReadUnsigned(r, 2);
  if (h.acmod == 2) h.dsurmod = (int16_t)ReadUnsigned(r, 2);
  h.lfeon = (int16_t)ReadUnsigned(r, 1);
  h.karaoke = (int16_t)(h.acmod >= 2 && h.bsmod == 7);
  h.nfchans = kChannelsByAcmod[h.acmod];
  h.dialnorm = (int16_t)ReadUnsigned(r, 5);
  h.compre = (int16_t)ReadUnsigned(r, 1);
  if (h.compre) h.compr = (int16_t)ReadLeftAligned(r, 8);
  h.langcode = (int16_t)ReadUnsigned(r, 1);
  if (h.langcode) h.langcod = (int16_t)ReadUnsigned(r, 8);
  h.audprodie = (int16_t)ReadUnsigned(r, 1);
  if (h.audprodie) {
    h.mixlevel = (int16_t)ReadUnsigned(r, 5);
    h.roomtyp = (int16_t)ReadUnsigned(r, 2);
  }
  if (h.acmod == 0) {
    h.dialnorm2 = (int16_t)ReadUnsigned(r, 5);
    h.compr2e = (int16_t)ReadUnsigned(r, 1);
    if (h.compr2e) h.compr2 = (int16_t)ReadLeftAligned(r, 8);
    h.langcod2e = (int16_t)ReadUnsigned(r, 1);
    if (h.langcod2e) h.langcod2 = (int16_t)ReadUnsigned(r, 8);
    h.audprodi2e = (int16_t)ReadUnsigned(r, 1);
    if (h.audprodi2e) {
      h.mixlevel2 = (int16_t)ReadUnsigned(r, 5);
      h.roomtyp2 = (int16_t)ReadUnsigned(r, 2);
    }
  }
  h.copyrightb = (int16_t)ReadUnsigned(r, 1);
  h.origbs = (int16_t)ReadUnsigned(r, 1);
  h.timecod1e = (int16_t)ReadUnsigned(r, 1);
  if (h.timecod1e) h.timecod1 = (int16_t)ReadUnsigned(r, 14);
  h.timecod2e = (int16_t)ReadUnsigned(r, 1);
  if (h.timecod2e) h.timecod2 = (int16_t)ReadUnsigned(r, 14);
  h.addbsie = (int16_t)ReadUnsigned(r, 1);
  if (h.addbsie) {
    h.addbsil = (int16_t)ReadUnsigned(r, 6);
    Skip(r, (h.addbsil + 1) * 8);
  }
}

int FrameHeaderStatus(const FrameHeader& h) {
  if (h.syncword != 0x0B77) return 1;
  if (h.bsid > 10) return 4;
  if (h.fscod == 3) return 2;
  if (h.frmsizecod >= 38) return 3;
  return 0;
}

void BuildFrameInfoRecord(const FrameHeader& h, int status, int16_t rec[10]) {
  int words = status == 0 ? FrameSizeWords(h.fscod, h.frmsizecod) : 0;
  rec[0] = 10;
  rec[1] = (int16_t)(h.fscod << 14 | h.frmsizecod << 8 | h.rateShift << 4 | h.lfeon << 3 | h.acmod);
  rec[2] = (int16_t)words;
  rec[3] = (int16_t)(words ? (words >> 1) + (words >> 3) - 1 : 0);
  rec[4] = (int16_t)(h.bsid << 11 | h.bsmod << 8 | h.cmixlev << 6 | h.surmixlev << 4 | h.dsurmod << 2 |
                     h.copyrightb << 1 | h.origbs);
  rec[5] = (int16_t)(h.dialnorm2 << 8 | h.dialnorm);
  rec[6] = (int16_t)(h.langcod2 << 8 | h.langcod);
  rec[7] = (int16_t)(h.audprodi2e << 15 | h.roomtyp2 << 13 | h.mixlevel2 << 8 | h.audprodie << 7 | h.roomtyp << 5 |
                     h.mixlevel);
  rec[8] = (int16_t)(h.timecod1e << 14 | h.timecod1);
  rec[9] = (int16_t)(h.timecod2e << 14 | h.timecod2);
}

uint16_t FrameCrc(uint16_t crc, const void* data, int count) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint16_t c = crc;
  for (int i = 0; i < count; i++) {
    uint16_t d = (uint16_t)(p[2 * i] | p[2 * i + 1] << 8);
    uint16_t e = (uint16_t)(kCrcTable[c >> 8] ^ (d >> 8) ^ (uint16_t)(c << 8));
    c = (uint16_t)((d & 0xFF) ^ kCrcTable[e >> 8] ^ (uint16_t)(e << 8));
  }
  return c;
}
