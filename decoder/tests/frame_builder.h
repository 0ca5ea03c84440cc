// frame_builder: writes valid A/52 frames with chosen side information and random
// exponents and mantissas, for the paths an encoder seldom or never produces (short
// blocks, 1+1 dual mono, bsid 9 and 10, delta bit allocation, skip fields, dynrng and
// compr, coupling with phase flags, rematrix patterns, addbsi). The mantissas are placed
// by the test's own slow bit allocation (peer_a52).
#pragma once

#include <stddef.h>
#include <stdint.h>

struct BuildSpec {
  const char* name;
  int fscod;  // 0, 1, 2
  int bsid;   // 8 normally; 6; 9 and 10 for the reduced rates
  int acmod;  // 0..7
  int lfeon;
  int shortBlocks;      // 0 never, 1 at random, 2 always
  int coupling;         // coupling in use (acmod 2 or more)
  int phaseFlags;       // acmod 2 with coupling: phsflginu and random phsflg
  int rematrix;         // acmod 2: 0 no flags, 1 random flag patterns
  int deltaAlloc;       // random delta bit allocation segments
  int skipFields;       // random skip fields
  int dynrng;           // 0 none; 1 random dynrng (and dynrng2) words
  int compr;            // 0 none; 1 compr (and compr2) in the header
  int addbsi;           // additional bitstream information
  int reuse;            // 1: blocks 1..5 reuse exponents and parameters at random
  int expLow, expHigh;  // range of the exponents (loudness: 2^-exp)
  unsigned seed;
};

// The scenarios the tests run: a table of specifications, ended by a null name.
extern const BuildSpec kBuildScenarios[];

// Builds `frames` frames of the scenario into out (A/52 byte order, frames back to back).
// Returns the number of bytes written, 0 when a frame could not be built (content too
// large even at the largest frame size, or the capacity too small).
size_t buildStream(const BuildSpec& plan, int frames, uint8_t* out, size_t cap);

// Finds a scenario by name; null when there is none.
const BuildSpec* findScenario(const char* name);
