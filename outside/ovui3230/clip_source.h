// What the player library stand-in is asked to play: a local clip, an ovm:// or
// http:// location fetched over HTTP, or a clip list (".txm": one "file:" or
// location a line). Portable: the parsing of locations, clip lists and HTTP answers.
#ifndef OUTSIDE_OVUI3230_CLIP_SOURCE_H
#define OUTSIDE_OVUI3230_CLIP_SOURCE_H

#include <stddef.h>
#include <stdint.h>

enum {
  kClipTextSize = 1280,
  kMaxClipItems = 64,
  kHostSize = 256,
};

enum SourceKind { kSourceNone = 0, kSourceLocal = 1, kSourceRemote = 2 };

// A local clip ("file:" dropped, with "//" after it dropped too) or a remote one.
SourceKind sourceKind(const char *text);
// The path of a local source: without "file:" and a following "//".
void localPathOf(const char *text, char *out, size_t room);

// "ovm://host[:port]/path" or "http://host[:port]/path": host, port (80 when not
// given) and path (with its leading "/"; "/" when empty). 0 for anything else or a
// host or port that does not fit.
int parseLocation(const char *url, char *host, size_t hostRoom, int *port, char *path, size_t pathRoom);

// A clip list: the text begins (after blanks) with "file:", "ovm://" or "http://".
int looksLikeClipList(const uint8_t *data, size_t size);
// The items of a clip list, one a line ("file:" or a location; other lines, blank
// ones included, are skipped; lines longer than an item are skipped). Returns the
// number of items stored (at most kMaxClipItems).
int parseClipList(const uint8_t *data, size_t size, char items[][kClipTextSize], int maxItems);

// An HTTP/1.0 or 1.1 answer: the status code and where the body lies (up to the
// Content-Length when there is one, else to the end of the data). 0 when the
// status line or the header end is missing.
int parseHttpAnswer(const uint8_t *data, size_t size, int *status, size_t *bodyOffset, size_t *bodyLength);

// The clip's title: its last path component ("/" or "\" separated), at most room-1.
void clipTitle(const char *text, char *out, size_t room);

#endif
