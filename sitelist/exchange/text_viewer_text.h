// The text viewers' contents without any window: a text file read a piece at a
// time into lines of at most 255 characters (for the "Reading File" progress),
// and the search of "Searching Text..." over those lines: whole word or not,
// letter case or not, up or down, wrapping at the ends.
#ifndef SITELIST_EXCHANGE_TEXT_VIEWER_TEXT_H
#define SITELIST_EXCHANGE_TEXT_VIEWER_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

const size_t kViewerLineChars = 255;
const int kViewerTabStop = 8;

// The lines of a text file. A line longer than kViewerLineChars goes on in
// the next line; tabs become spaces to the next multiple of kViewerTabStop;
// other control characters (and a zero byte) show as spaces; CR LF, LF and a
// lone CR end a line.
struct TextLines {
  std::vector<std::string> lines;
  std::string pending;     // the line being read
  bool pendingCR = false;  // the last byte was a CR (a following LF belongs to it)
};

// Adds len bytes of the file to the lines.
void TextLinesFeed(TextLines* text, const char* data, size_t len);
// Ends the file: a last line without line end is kept.
void TextLinesFinish(TextLines* text);

// Reads a file a piece at a time, for a progress window between pieces.
struct TextFileRead {
  FILE* file = nullptr;
  uint64_t size = 0;
  uint64_t done = 0;
  TextLines text;
};

enum TextReadStatus { kTextReadMore = 0, kTextReadDone, kTextReadFailed };

// Opens the file for reading. Returns false when it cannot be opened (errno
// tells why).
bool TextReadBegin(TextFileRead* read, const char* path);
// Reads up to maxBytes more; kTextReadDone at the end (the lines finished).
int TextReadStep(TextFileRead* read, size_t maxBytes);
void TextReadEnd(TextFileRead* read);
// Bytes read as a percentage of the size, capped at 100 (an empty file: 100).
int TextReadPercent(const TextFileRead& read);

// ---- Find ----------------------------------------------------------------------

struct FindOptions {
  const char* what;  // the text to find (the dialog allows 20 characters)
  bool wholeWord;    // only where neither neighbour is a letter, digit or '_'
  bool matchCase;    // else letters compare without regard to case (Windows ANSI)
  bool down;         // search towards the end; else towards the start
};

// True when line holds what as the options say.
bool LineMatches(const std::string& line, const FindOptions& options);

// The line of the next match after `from` (down) or before it (up), wrapping
// around at the end (or start) and ending with `from` itself; from may be -1
// (no line selected: a downward search starts at the first line, an upward one
// at the last). Returns -1 when no line matches or `what` is empty; *wrapped
// (if given) says whether the search went past an end.
long FindLine(const std::vector<std::string>& lines, long from, const FindOptions& options, bool* wrapped);

#endif
