// The check sums of the script's "[<group> Control Sums]" and the eight byte-wide
// accumulators a copy keeps over a file's bytes.
#ifndef SETUP_CONTROL_SUMS_H
#define SETUP_CONTROL_SUMS_H

#include <stddef.h>
#include <stdint.h>

enum { kSumCount = 8 };

// Reads the integers of an "F<n>" line: runs of digits and "-" separated by any other
// characters, each run read as a decimal from its start ("12-200" is 12), stored
// modulo 256. Fills up to kSumCount bytes; returns how many integers the text held.
int parseControlSums(const char *text, uint8_t sums[kSumCount]);

// Reads an "L<n>" length: decimal digits, surrounding blanks allowed. 0 when it is not one.
int parseFileLength(const char *text, long long *length);

// Eight sums modulo 256: byte i of the data goes to sum i mod 8, counted from the
// data's start across calls.
struct SumAccumulator {
  uint8_t sums[kSumCount];
  uint64_t position;
};

void sumStart(SumAccumulator *a);
void sumAdd(SumAccumulator *a, const void *data, size_t length);

#endif
