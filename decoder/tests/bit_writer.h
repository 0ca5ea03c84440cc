// Test helper: writes A/52 fields most significant bit first into 16-bit words
// stored little-endian, the layout the decoder reads.
#ifndef TXDECODE_TEST_BIT_WRITER_H
#define TXDECODE_TEST_BIT_WRITER_H

#include <cstdint>
#include <vector>

struct BitWriter {
  std::vector<uint8_t> bits;  // one entry per bit

  void Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; i--) bits.push_back((value >> i) & 1);
  }
  size_t Size() const { return bits.size(); }

  // Stored bytes (low byte of each word first), padded with zeros to 'words' words.
  std::vector<uint8_t> Bytes(size_t words = 0) const {
    size_t need = (bits.size() + 15) / 16;
    if (words < need) words = need;
    std::vector<uint8_t> out(words * 2 + 16, 0);
    for (size_t i = 0; i < bits.size(); i++) {
      if (!bits[i]) continue;
      size_t word = i / 16, bit = 15 - i % 16;
      out[2 * word + (bit >= 8 ? 1 : 0)] |= (uint8_t)(1u << (bit % 8));
    }
    return out;
  }
};

#endif
