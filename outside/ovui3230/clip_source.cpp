// Parsing of the stand-in's sources (see clip_source.h).
#include "outside/ovui3230/clip_source.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

int startsNoCase(const char *text, size_t n, const char *prefix) {
  size_t m = strlen(prefix);
  if (n < m) return 0;
  for (size_t i = 0; i < m; ++i) {
    if (tolower((unsigned char)text[i]) != tolower((unsigned char)prefix[i])) return 0;
  }
  return 1;
}

int startsNoCase(const char *text, const char *prefix) { return startsNoCase(text, strlen(text), prefix); }

}  // namespace

SourceKind sourceKind(const char *text) {
  if (text == nullptr || text[0] == '\0') return kSourceNone;
  if (startsNoCase(text, "ovm://") || startsNoCase(text, "http://")) return kSourceRemote;
  return kSourceLocal;
}

void localPathOf(const char *text, char *out, size_t room) {
  if (startsNoCase(text, "file:")) {
    text += 5;
    if (text[0] == '/' && text[1] == '/') text += 2;
  }
  copyBounded(out, room, text);
}

int parseLocation(const char *url, char *host, size_t hostRoom, int *port, char *path, size_t pathRoom) {
  const char *p;
  if (startsNoCase(url, "ovm://")) {
    p = url + 6;
  } else if (startsNoCase(url, "http://")) {
    p = url + 7;
  } else {
    return 0;
  }
  size_t hostLength = strcspn(p, ":/");
  if (hostLength == 0 || hostLength >= hostRoom) return 0;
  memcpy(host, p, hostLength);
  host[hostLength] = '\0';
  p += hostLength;
  *port = 80;
  if (*p == ':') {
    ++p;
    long v = 0;
    int digits = 0;
    while (isdigit((unsigned char)*p) && digits < 6) {
      v = v * 10 + (*p++ - '0');
      ++digits;
    }
    if (digits == 0 || v < 1 || v > 65535 || (*p != '/' && *p != '\0')) return 0;
    *port = (int)v;
  }
  return copyBounded(path, pathRoom, *p ? p : "/");
}

int looksLikeClipList(const uint8_t *data, size_t size) {
  size_t i = 0;
  while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
  const char *t = reinterpret_cast<const char *>(data + i);
  size_t n = size - i;
  return startsNoCase(t, n, "file:") || startsNoCase(t, n, "ovm://") || startsNoCase(t, n, "http://");
}

int parseClipList(const uint8_t *data, size_t size, char items[][kClipTextSize], int maxItems) {
  int count = 0;
  size_t i = 0;
  while (i < size && count < maxItems) {
    size_t end = i;
    while (end < size && data[end] != '\n') ++end;
    size_t b = i, e = end;
    while (b < e && (data[b] == ' ' || data[b] == '\t' || data[b] == '\r')) ++b;
    while (e > b && (data[e - 1] == ' ' || data[e - 1] == '\t' || data[e - 1] == '\r')) --e;
    const char *line = reinterpret_cast<const char *>(data + b);
    size_t n = e - b;
    int usable = startsNoCase(line, n, "file:") || startsNoCase(line, n, "ovm://") || startsNoCase(line, n, "http://");
    if (usable && n < kClipTextSize && memchr(line, '\0', n) == nullptr) {
      memcpy(items[count], line, n);
      items[count][n] = '\0';
      ++count;
    }
    i = end + 1;
  }
  return count;
}

int parseHttpAnswer(const uint8_t *data, size_t size, int *status, size_t *bodyOffset, size_t *bodyLength) {
  const char *t = reinterpret_cast<const char *>(data);
  if (!startsNoCase(t, size, "HTTP/1.") || size < 12) return 0;
  size_t headerEnd = 0;
  for (size_t i = 0; i + 3 < size; ++i) {
    if (memcmp(data + i, "\r\n\r\n", 4) == 0) {
      headerEnd = i + 4;
      break;
    }
  }
  if (headerEnd == 0) return 0;
  if (data[8] != ' ' || !isdigit(data[9]) || !isdigit(data[10]) || !isdigit(data[11])) return 0;
  *status = (data[9] - '0') * 100 + (data[10] - '0') * 10 + (data[11] - '0');
  *bodyOffset = headerEnd;
  *bodyLength = size - headerEnd;
  // Content-Length, when given and smaller than what came, bounds the body.
  size_t lineStart = 0;
  while (lineStart < headerEnd) {
    size_t lineEnd = lineStart;
    while (lineEnd + 1 < headerEnd && !(data[lineEnd] == '\r' && data[lineEnd + 1] == '\n')) ++lineEnd;
    const char *line = t + lineStart;
    size_t n = lineEnd - lineStart;
    if (startsNoCase(line, n, "content-length:")) {
      size_t k = 15;
      while (k < n && line[k] == ' ') ++k;
      unsigned long long v = 0;
      int digits = 0;
      while (k < n && isdigit((unsigned char)line[k]) && digits < 18) {
        v = v * 10 + (unsigned long long)(line[k++] - '0');
        ++digits;
      }
      if (digits > 0 && v < *bodyLength) *bodyLength = (size_t)v;
    }
    lineStart = lineEnd + 2;
  }
  return 1;
}

void clipTitle(const char *text, char *out, size_t room) {
  const char *last = text;
  for (const char *p = text; *p; ++p) {
    if ((*p == '/' || *p == '\\') && p[1] != '\0') last = p + 1;
  }
  copyBounded(out, room, last);
  size_t n = strlen(out);
  while (n > 0 && (out[n - 1] == '/' || out[n - 1] == '\\')) out[--n] = '\0';
}
