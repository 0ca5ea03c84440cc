// decoder_link: how a52wav reaches the decoder library's three entry points.
//
// The Windows builds load TXDECODE.dll by name at run time, as any caller would; the
// native build links the portable core, which has the same three entry points.
#pragma once

#include <stddef.h>

#if defined(_WIN32)
#define A52WAV_CALL __stdcall
#else
#define A52WAV_CALL
#endif

typedef int(A52WAV_CALL* InitDecoderFn)(int rate, int channels, int* samplesPerFrame);
typedef int(A52WAV_CALL* DecodeFn)(void* frame, short* out, int flags);
typedef void(A52WAV_CALL* FreeDecoderFn)(void);

struct DecoderLink {
  InitDecoderFn init;
  DecodeFn decode;
  FreeDecoderFn release;
  void* module;  // the loaded library (Windows), else null
};

// Fills link with the three entry points. Returns 1 on success; 0 with a message in
// err (capacity cap, including the terminating zero) when the library or an entry point
// is missing.
int openDecoderLink(DecoderLink* link, char* err, size_t cap);

// Releases what openDecoderLink acquired.
void closeDecoderLink(DecoderLink* link);
