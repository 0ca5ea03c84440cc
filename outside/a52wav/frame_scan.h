// frame_scan: finds A/52 frames in a byte stream for a52wav.
//
// The input holds frames either in the byte order of ordinary .ac3 files (0x0B 0x77 first)
// or in the decoder library's little-endian word order (0x77 0x0B first). The scanner takes
// the order from the first sync word, walks from frame to frame by the size codes, skips
// anything between frames up to the next sync word, and copies each frame into the
// library's word order. Portable: no platform headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum ByteOrder {
  ORDER_NONE = 0,      // no sync word found
  ORDER_A52 = 1,       // 0x0B 0x77: big-endian 16-bit words, as in .ac3 files
  ORDER_WORDS_LE = 2,  // 0x77 0x0B: little-endian 16-bit words, as the library reads them
};

enum ScanResult {
  SCAN_FRAME = 0,      // a whole frame was found
  SCAN_END = 1,        // no further sync word before the end of the input
  SCAN_TRUNCATED = 2,  // a frame header was found but the input ends inside the frame
};

enum { MAX_FRAME_BYTES = 3840 };

struct FrameScan {
  const uint8_t* data;
  size_t size;
  size_t pos;  // next byte to look at
  ByteOrder order;
};

struct FrameSpot {
  size_t offset;   // byte offset of the frame's first byte in the input
  size_t bytes;    // frame length in bytes (twice the size table's word count)
  size_t skipped;  // bytes passed over before this frame (garbage)
  int fscod;
  int frmsizecod;
  int bsid;
};

// Frame length in 16-bit words for a sample-rate code (0..2) and frame-size code (0..37);
// 0 for codes outside the table.
int frameWords(int fscod, int frmsizecod);

// Sample rate of a stream in Hz: 48000, 44100 or 32000 by fscod, halved for bsid 9 and
// quartered for bsid 10; 0 for fscod 3 or bsid above 10.
int streamRate(int fscod, int bsid);

// Prepares a scan of data[0..size). Returns the byte order of the first sync word found
// (ORDER_NONE when the input holds none, in which case every scanNext returns SCAN_END).
ByteOrder scanStart(FrameScan* scan, const uint8_t* data, size_t size);

// Finds the next frame from scan->pos on. A candidate is a sync word (in the scan's order)
// followed by a header with a usable sample-rate code, frame-size code and bsid (10 or
// less); other sync words are garbage and skipped. On SCAN_FRAME the spot describes the
// frame and the scan moves past it; on SCAN_TRUNCATED the spot describes the frame whose
// end lies beyond the input (spot->bytes is its full length), and the scan is at its end.
ScanResult scanNext(FrameScan* scan, FrameSpot* spot);

// Copies the frame into out (capacity MAX_FRAME_BYTES) in the library's word order
// (sync word stored as 0x77 0x0B). Returns the number of bytes written, 0 if it does not fit.
size_t copyFrameForLibrary(const FrameScan* scan, const FrameSpot* spot, uint8_t* out, size_t cap);
