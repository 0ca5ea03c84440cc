// TXDECODE public interface: the three calls a caller uses to turn A/52 frames
// (stored as little-endian 16-bit words) into interleaved 16-bit PCM.
//
// The library keeps one static decoder; calls from several threads at once are
// not supported. The same three functions are exported by TXDECODE.dll (plain
// names, standard calling convention) and linked natively from txdecode_core.
#ifndef TXDECODE_INTERFACE_H
#define TXDECODE_INTERFACE_H

#if defined(_WIN32)
#define TX_WINAPI __stdcall
#else
#define TX_WINAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Checks the caller's sample rate (8000, 11025, 16000, 22050, 32000 or 44100;
// anything else: returns -1 and changes nothing), selects stereo output for
// channels == 2 and mono for every other value, writes the number of int16
// samples each later dbDecode produces (3072 stereo, 1536 mono) to
// *samplesPerFrame and re-initialises the decoder. Returns 0.
int TX_WINAPI dbInitDecoder(int sampleRate, int channels, int* samplesPerFrame);

// Decodes one frame into pcm (exactly *samplesPerFrame values, L/R interleaved in
// stereo). flags bit 0 set: frame points at a complete frame whose first word is
// the sync word (bytes 0x77, 0x0B). Bit 0 clear: the frame was lost; the last good
// frame is decoded again. Returns 0 on success (also when silence was produced for
// want of any decodable frame), -1 when a block of the frame failed to decode; a
// failed frame is not kept as the last good frame.
int TX_WINAPI dbDecode(const void* frame, short* pcm, int flags);

// Does nothing: the decoder's state is static. May be called at any time.
void TX_WINAPI dbFreeDecoder(void);

#ifdef __cplusplus
}
#endif

#endif
