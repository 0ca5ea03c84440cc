// Bit reader over a frame's 16-bit words and the A/52 frame header (sync
// information and bitstream information), the frame-size table and the frame
// check (CRC-16) of the decoder core.
#ifndef TXDECODE_BITSTREAM_H
#define TXDECODE_BITSTREAM_H

#include <cstdint>
#include <cstring>

constexpr int kMaxFrameWords = 1920;  // largest A/52 frame: 3840 bytes
constexpr int kReaderPadBytes = 520;  // zeros after the frame: 64-bit loads, a run of 256 16-bit reads

// The reader copies the frame (at most its header's size) into its own buffer in
// stream bit order, followed by zeros; every read is thereby bounded by the frame
// size, and bits past it read as 0.
struct BitReader {
  uint8_t bytes[kMaxFrameWords * 2 + kReaderPadBytes];
  uint32_t pos;    // bits consumed
  uint32_t limit;  // bits of the frame held in bytes[]
};

// Word format bits 14-15: 0 and 1 = 16-bit words, 2 = 8-bit words (one stream
// byte in the low byte of each stored word).
int WordBits(int wordFormat);

// Points the reader at data, copying limitWords stored words (at most 1920),
// and positions it at startBit of the first word.
void ReaderStart(BitReader& r, const void* data, int startBit, int wordFormat, int limitWords);

inline uint32_t ReaderPeek32(const BitReader& r) {
  uint64_t v;
  std::memcpy(&v, r.bytes + (r.pos >> 3), sizeof v);  // pos <= limit: inside bytes[]
  v = __builtin_bswap64(v);
  return (uint32_t)((v << (r.pos & 7)) >> 32);
}

inline void ReaderAdvance(BitReader& r, uint32_t n) {
  r.pos += n;
  if (r.pos > r.limit) r.pos = r.limit;
}

// The next n bits (1 to 16), right-aligned.
inline uint32_t ReadUnsigned(BitReader& r, int n) {
  uint32_t v = ReaderPeek32(r) >> (32 - n);
  ReaderAdvance(r, (uint32_t)n);
  return v;
}

// The next n bits (1 to 16) in the top n bits of a 16-bit word; read as int16 a
// two's-complement field yields its value times 2^(16 - n).
inline uint16_t ReadLeftAligned(BitReader& r, int n) { return (uint16_t)(ReadUnsigned(r, n) << (16 - n)); }

inline void Skip(BitReader& r, int n) { ReaderAdvance(r, (uint32_t)n); }
inline uint32_t Mark(const BitReader& r) { return r.pos; }
inline void Resume(BitReader& r, uint32_t mark) { r.pos = mark <= r.limit ? mark : r.limit; }

// A/52 syncinfo and bsi fields of the current frame, plus derived values.
struct FrameHeader {
  uint16_t syncword, crc1;
  int16_t fscod, frmsizecod, bsid, bsmod, acmod;
  int16_t cmixlev, surmixlev, dsurmod, lfeon, dialnorm;
  int16_t compre, compr;  // compr left-aligned (value x 256)
  int16_t langcode, langcod, audprodie, mixlevel, roomtyp;
  int16_t dialnorm2, compr2e, compr2, langcod2e, langcod2, audprodi2e, mixlevel2, roomtyp2;
  int16_t copyrightb, origbs, timecod1e, timecod1, timecod2e, timecod2, addbsie, addbsil;
  int16_t rateShift;  // 0, 1 or 2 for bsid <= 8, 9, 10
  int16_t karaoke;    // acmod >= 2 and bsmod 7
  int16_t nfchans;    // full-bandwidth channels by acmod
};

extern const int16_t kChannelsByAcmod[8];  // 2, 1, 2, 3, 3, 4, 4, 5

// Frame size in 16-bit words (A/52 Table 5.18), 0 for fscod 3 or frmsizecod >= 38.
int FrameSizeWords(int fscod, int frmsizecod);

// How many stored words a reader may take from data: the frame's size when the
// sync word and size codes are valid, else only the words holding the sync
// information; so that no read passes what the header promises.
int FrameLimitWords(const void* data, int startBit, int wordFormat);

// Parses syncinfo and bsi from the reader's position into h. The optional
// fields that the frame does not carry (mix levels, language codes, production
// information, time codes, the second dual-mono set) are set to 0.
void ParseFrameHeader(BitReader& r, FrameHeader& h);

// FrameInfo status of a parsed header: 1 bad sync word, 4 bsid above 10, 2 fscod 3,
// 3 frmsizecod 38 or more, else 0 (first failing test in that order).
int FrameHeaderStatus(const FrameHeader& h);

// Fills the ten-word frame-information record from h and its status.
void BuildFrameInfoRecord(const FrameHeader& h, int status, int16_t record[10]);

// CRC-16 (x^16 + x^15 + x^2 + 1) over count little-endian 16-bit words, starting
// from crc; an intact section ending with its check word gives 0.
uint16_t FrameCrc(uint16_t crc, const void* data, int count);

extern const uint16_t kCrcTable[256];

#endif
