// Inverse transform (A/52 7.9.4, long and short blocks), the downmix matrix,
// mixing, windowing with overlap-add and output of one audio block.
#ifndef TXDECODE_TRANSFORM_H
#define TXDECODE_TRANSFORM_H

#include <cstdint>

#include "decoder/state.h"

extern const double kWindowHalf[256];   // w[0..255] of the 512-point KBD window (alpha 5)
extern const int8_t kSlotByMode[8][5];  // channel -> slot by audio coding mode, -1 past the last
extern const int8_t kFrontByMode[8], kSurroundByMode[8];

// Steps 1 to 4 of the A/52 inverse transform (no window) of 256 coefficients:
// long: V[0..127] = yr, V[128..255] = yi; short: V = yr1, yr2, yi2, yi1 (64 each).
void ImdctLong(const double* X, double* V);
void ImdctShort(const double* X, double* V);

// The 6 x 6 downmix matrix of this block ([output slot][input slot]) and the
// overload flag, from the stream's header and the request's output settings.
void BuildMatrix(DecoderState& d, const BlockRequest& req);

// Clears this block's frequency-domain mixes.
void BeginMix(DecoderState& d);

// Adds channel ch (kLfeIndex for the LFE) of d.coeffs into every output whose
// matrix coefficient for it is nonzero. Channels sharing a transform type are
// summed before the transform, which is linear.
void MixChannel(DecoderState& d, int ch);

// Transforms each output's mixes into its accumulator (zero if nothing mixed).
void TransformOutputs(DecoderState& d);

// Zero accumulators for every output (a block that decodes nothing).
void ClearOutputs(DecoderState& d);

// Windows, overlaps and writes output channel k to its slot of the request.
void WindowAndOutput(DecoderState& d, const BlockRequest& req, int k);

// WindowAndOutput of outputs 0 and 1 at once when they are L and R written
// interleaved (stride 2, R one past L), as the frame driver's stereo staging
// lies; false (nothing done) for any other layout.
bool WindowAndOutputStereo(DecoderState& d, const BlockRequest& req);

// A staged sample as 16-bit PCM: scaled by 49152, saturated to int16 and
// rounded half away from zero.
short ConvertSample(double x);

// ConvertSample over n staged samples into out (the frame driver's last step).
void ConvertToPcm(const double* x, short* out, int n);

// Number of output channels of the current output configuration.
int OutputChannelCount(const DecoderState& d);

#endif
