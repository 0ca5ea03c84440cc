// The text viewers' lines and their search (see text_viewer_text.h).
#include "sitelist/exchange/text_viewer_text.h"

#include <cerrno>
#include <cstring>

namespace {

// Windows ANSI (code page 1252) lower case of a byte.
unsigned char AnsiLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return (unsigned char)(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (unsigned char)(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return (unsigned char)(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

// Letters, digits and '_' of the ANSI code page make up words.
bool IsWordChar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') return true;
  if (c >= 0xC0 && c != 0xD7 && c != 0xF7) return true;
  return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

bool SameAt(const std::string& line, size_t at, const char* what, size_t n, bool matchCase) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char a = (unsigned char)line[at + i];
    unsigned char b = (unsigned char)what[i];
    if (matchCase ? a != b : AnsiLower(a) != AnsiLower(b)) return false;
  }
  return true;
}

void PutChar(TextLines* text, char c) {
  if (text->pending.size() >= kViewerLineChars) {
    text->lines.push_back(text->pending);
    text->pending.clear();
  }
  text->pending.push_back(c);
}

void EndLine(TextLines* text) {
  text->lines.push_back(text->pending);
  text->pending.clear();
}

}  // namespace

void TextLinesFeed(TextLines* text, const char* data, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = (unsigned char)data[i];
    bool afterCR = text->pendingCR;
    text->pendingCR = false;
    if (c == '\n') {
      if (!afterCR) EndLine(text);
    } else if (c == '\r') {
      EndLine(text);
      text->pendingCR = true;
    } else if (c == '\t') {
      do PutChar(text, ' ');
      while (text->pending.size() % kViewerTabStop != 0 && text->pending.size() < kViewerLineChars);
    } else {
      PutChar(text, c < 0x20 ? ' ' : (char)c);
    }
  }
}

void TextLinesFinish(TextLines* text) {
  if (!text->pending.empty()) EndLine(text);
  text->pendingCR = false;
}

bool TextReadBegin(TextFileRead* read, const char* path) {
  read->file = fopen(path, "rb");
  if (read->file == nullptr) return false;
  read->done = 0;
  read->size = 0;
  if (fseek(read->file, 0, SEEK_END) == 0) {
    long size = ftell(read->file);
    if (size > 0) read->size = (uint64_t)size;
  }
  if (fseek(read->file, 0, SEEK_SET) != 0) {
    int saved = errno;
    fclose(read->file);
    read->file = nullptr;
    errno = saved;
    return false;
  }
  read->text = TextLines();
  return true;
}

int TextReadStep(TextFileRead* read, size_t maxBytes) {
  char buffer[4096];
  size_t left = maxBytes;
  while (left > 0) {
    size_t want = left < sizeof buffer ? left : sizeof buffer;
    size_t got = fread(buffer, 1, want, read->file);
    TextLinesFeed(&read->text, buffer, got);
    read->done += got;
    left -= got;
    if (got < want) {
      if (ferror(read->file)) return kTextReadFailed;
      TextLinesFinish(&read->text);
      return kTextReadDone;
    }
  }
  return kTextReadMore;
}

void TextReadEnd(TextFileRead* read) {
  if (read->file != nullptr) fclose(read->file);
  read->file = nullptr;
}

int TextReadPercent(const TextFileRead& read) {
  if (read.size == 0) return 100;
  uint64_t p = read.done * 100 / read.size;
  return p > 100 ? 100 : (int)p;
}

bool LineMatches(const std::string& line, const FindOptions& options) {
  size_t n = options.what != nullptr ? strlen(options.what) : 0;
  if (n == 0 || n > line.size()) return false;
  for (size_t at = 0; at + n <= line.size(); ++at) {
    if (!SameAt(line, at, options.what, n, options.matchCase)) continue;
    if (!options.wholeWord) return true;
    bool leftOk = at == 0 || !IsWordChar((unsigned char)line[at - 1]);
    bool rightOk = at + n == line.size() || !IsWordChar((unsigned char)line[at + n]);
    if (leftOk && rightOk) return true;
  }
  return false;
}

long FindLine(const std::vector<std::string>& lines, long from, const FindOptions& options, bool* wrapped) {
  if (wrapped != nullptr) *wrapped = false;
  long count = (long)lines.size();
  if (count == 0 || options.what == nullptr || options.what[0] == '\0') return -1;
  if (from < -1 || from >= count) from = -1;
  long step = options.down ? 1 : -1;
  long at = from;
  if (from == -1) at = options.down ? -1 : count;
  for (long tried = 0; tried < count; ++tried) {
    at += step;
    if (at >= count || at < 0) {
      at = options.down ? 0 : count - 1;
      if (wrapped != nullptr && from != -1) *wrapped = true;
    }
    if (LineMatches(lines[(size_t)at], options)) return at;
  }
  return -1;
}
