// Reading what the library is asked to play: a local file, or a location fetched
// with an HTTP/1.0 GET from its host; and turning a source into its clips (a clip
// list's items, or the source itself as one clip).
#ifndef OUTSIDE_OVUI3230_SOURCE_READER_H
#define OUTSIDE_OVUI3230_SOURCE_READER_H

#include <stddef.h>
#include <stdint.h>

#include "outside/ovui3230/clip_source.h"

// Bytes read from a source; the caller frees them with FreeBytes.
struct Bytes {
  uint8_t *data;
  size_t size;
};

void FreeBytes(Bytes *b);

// Reads the whole source (at most 64 MB) into `out`. 0 with the reason in `why`
// when the file cannot be opened or the host cannot be reached or does not answer
// 200 (Winsock must be started).
int ReadSource(const char *text, Bytes *out, char *why, size_t whyRoom);

// The clips of a source: the items of a clip list (a local file, or a location
// ending in ".txm", whose text is a clip list), else the source itself. Returns 0
// with a reason when a source that may be a list cannot be read.
int ResolveSource(const char *text, char items[][kClipTextSize], int maxItems, int *count, char *why,
                  size_t whyRoom);

#endif
