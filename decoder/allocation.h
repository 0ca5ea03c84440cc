// Bit allocation (A/52 7.2), mantissa decoding and dequantisation (7.3),
// channel gain (dynamic range and dialogue normalisation), coupling (7.4)
// and rematrixing (7.5).
#ifndef TXDECODE_ALLOCATION_H
#define TXDECODE_ALLOCATION_H

#include <cstdint>

#include "decoder/state.h"

extern const uint8_t kMaskTab[256];  // bin -> band
extern const uint8_t kBandEnd[50];   // one past each band's last bin
extern const uint8_t kLaTab[256];
extern const int16_t kHth[3][50];
extern const uint8_t kBapTab[64];
extern const int16_t kFastGain[8];

// Block-wide allocation settings and channel gains; call after the side
// information and the downmix matrix (its overload flag) of the block are known.
void SetupAllocation(DecoderState& d, const BlockRequest& req);

// Gain word L (1.0 = 8 octaves) and dialogue level d to mantissa m in [0.5, 1)
// and power-of-two exponent S, as A/52 reads a gain word; with dialogue
// normalisation unless compMode is 0, and times pcmScale.
void ChannelGain(double logGain, int dialnorm, int compMode, double pcmScale, double* m, int* S);

// A/52 parametric bit allocation of bins start..end-1 of one channel into bap.
// fastLeak and slowLeak are the coupling channel's initial leaks (ignored when
// start is 0). The exponents must lie in 0..24, as DecodeExponents leaves them.
void ComputeBap(const DecoderState& d, const int16_t* exps, uint8_t* bap, int start, int end, int fastGain,
                int snrOffset, int fastLeak, int slowLeak, const int16_t* delta);

// Exponents, allocation, mantissas and dequantisation of full-bandwidth channel
// ch (its coupled range included) into d.coeffs[ch].
void PrepareChannel(DecoderState& d, int ch);

// The same for the LFE channel (bins 0 to 6) into d.coeffs[kLfeIndex].
void PrepareLfe(DecoderState& d);

// Sum and difference of channels 0 and 1 in the flagged rematrix bands.
void Rematrix(DecoderState& d);

#endif
