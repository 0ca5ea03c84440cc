// Check-sum parsing and the eight accumulators.
#include "setup/control_sums.h"

#include <ctype.h>
#include <string.h>

static int inRun(char c) { return (c >= '0' && c <= '9') || c == '-'; }

int parseControlSums(const char *text, uint8_t sums[kSumCount]) {
  int count = 0;
  const char *p = text;
  while (*p) {
    if (!inRun(*p)) {
      ++p;
      continue;
    }
    const char *run = p;
    while (inRun(*p)) ++p;
    // The run's value: an optional leading "-", then digits up to the first non-digit.
    const char *q = run;
    int negative = 0;
    if (*q == '-') {
      negative = 1;
      ++q;
    }
    unsigned value = 0;  // modulo 256 all along: the low byte is all that is kept
    for (; q < p && *q >= '0' && *q <= '9'; ++q) value = (value * 10u + (unsigned)(*q - '0')) & 0xFFu;
    if (negative) value = (256u - value) & 0xFFu;
    if (count < kSumCount) sums[count] = (uint8_t)value;
    ++count;
  }
  return count;
}

int parseFileLength(const char *text, long long *length) {
  while (*text == ' ' || *text == '\t') ++text;
  if (!isdigit((unsigned char)*text)) return 0;
  long long v = 0;
  for (; isdigit((unsigned char)*text); ++text) {
    if (v > (1LL << 50)) return 0;
    v = v * 10 + (*text - '0');
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (*text) return 0;
  *length = v;
  return 1;
}

void sumStart(SumAccumulator *a) {
  memset(a->sums, 0, sizeof a->sums);
  a->position = 0;
}

void sumAdd(SumAccumulator *a, const void *data, size_t length) {
  const uint8_t *p = (const uint8_t *)data;
  // Bytes up to the next multiple of eight one at a time, so that lanes line up.
  while (length > 0 && (a->position & 7) != 0) {
    a->sums[a->position & 7] = (uint8_t)(a->sums[a->position & 7] + *p++);
    ++a->position;
    --length;
  }
  // Whole eight-byte blocks: even and odd bytes in 16-bit lanes of two words, folded
  // back before a lane can overflow (255 additions of at most 255 fit in 16 bits).
  const uint64_t kLow = 0x00FF00FF00FF00FFull;
  while (length >= 8) {
    size_t blocks = length / 8;
    if (blocks > 255) blocks = 255;
    uint64_t even = 0, odd = 0;
    for (size_t b = 0; b < blocks; ++b) {
      uint64_t w;
      memcpy(&w, p + b * 8, 8);
      even += w & kLow;
      odd += (w >> 8) & kLow;
    }
    for (int lane = 0; lane < 4; ++lane) {
      a->sums[lane * 2] = (uint8_t)(a->sums[lane * 2] + (uint8_t)(even >> (16 * lane)));
      a->sums[lane * 2 + 1] = (uint8_t)(a->sums[lane * 2 + 1] + (uint8_t)(odd >> (16 * lane)));
    }
    p += blocks * 8;
    length -= blocks * 8;
    a->position += blocks * 8;
  }
  while (length > 0) {
    a->sums[a->position & 7] = (uint8_t)(a->sums[a->position & 7] + *p++);
    ++a->position;
    --length;
  }
}
