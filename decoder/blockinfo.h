// Audio block side information (A/52 audblk up to the mantissas), coupling
// coordinates, delta bit allocation arrays and exponent decoding.
#ifndef TXDECODE_BLOCKINFO_H
#define TXDECODE_BLOCKINFO_H

#include <cstdint>

#include "decoder/state.h"

// Digits of a 7-bit group of three base-5 values as nibbles at bits 12-15, 8-11
// and 4-7 (codes 125 to 127 give 0 0 0). Serves exponents and bap-2 mantissas.
extern const uint16_t kBase5Groups[128];

// Parses the side information of block blockIndex into d.block from d.reader,
// which stands at the block's first bit; on return it stands at the first
// mantissa bit. Returns 0, or kStatusInconsistent when the block breaks an A/52
// consistency rule (reuse in block 0, coupling with 1+1, chbwcod above 60, a
// delta segment past band 49, coupling that ends before it begins).
int ParseSideInformation(DecoderState& d, int blockIndex);

// Decodes the exponent groups noted in rec into exps, starting at startBin (0 for
// full-bandwidth and LFE channels, which also store the first exponent at bin 0;
// cplstrtmant for the coupling channel). Exponents are kept within 0..24. The
// reader's position is preserved. Returns one past the last bin written.
int DecodeExponents(BitReader& r, const ExponentRecord& rec, int16_t* exps, int startBin);

// The 50 per-band masking offsets of a channel's delta segments.
void BuildDeltaArray(const DeltaSegments& seg, int16_t delta[50]);

#endif
