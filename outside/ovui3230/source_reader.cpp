// Reading local and fetched sources and resolving clip lists (source_reader.h).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"
#include "outside/ovui3230/source_reader.h"

namespace {

const size_t kMaxClipBytes = 64u * 1024u * 1024u;
const DWORD kReceiveTimeoutMs = 15000;

// Makes room for more bytes: doubles the buffer up to the limit. 0 at the limit or
// when memory runs out (the caller keeps what it has).
int Grow(uint8_t **data, size_t *cap) {
  if (*cap >= kMaxClipBytes) return 0;
  uint8_t *more = static_cast<uint8_t *>(realloc(*data, *cap * 2));
  if (more == nullptr) return 0;
  *data = more;
  *cap *= 2;
  return 1;
}

int ReadLocal(const char *text, Bytes *out, char *why, size_t whyRoom) {
  char path[kClipTextSize];
  localPathOf(text, path, sizeof path);
  FILE *f = fopen(path, "rb");
  if (f == nullptr) {
    snprintf(why, whyRoom, "Cannot open %s", path);
    return 0;
  }
  size_t cap = 65536, size = 0;
  uint8_t *data = static_cast<uint8_t *>(malloc(cap));
  size_t n;
  while (data && (n = fread(data + size, 1, cap - size, f)) > 0) {
    size += n;
    if (size == cap && !Grow(&data, &cap)) break;
  }
  fclose(f);
  if (data == nullptr) {
    snprintf(why, whyRoom, "Out of memory reading %s", path);
    return 0;
  }
  out->data = data;
  out->size = size;
  return 1;
}

// A connected socket to the host and port, or INVALID_SOCKET with the reason.
SOCKET Connect(const char *host, int port, char *why, size_t whyRoom) {
  char portText[8];
  snprintf(portText, sizeof portText, "%d", port);
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, portText, &hints, &found) != 0 || found == nullptr) {
    snprintf(why, whyRoom, "Cannot find the host %s", host);
    return INVALID_SOCKET;
  }
  SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  int connected = s != INVALID_SOCKET && connect(s, found->ai_addr, (int)found->ai_addrlen) == 0;
  freeaddrinfo(found);
  if (!connected) {
    if (s != INVALID_SOCKET) closesocket(s);
    snprintf(why, whyRoom, "Cannot connect to %s:%d", host, port);
    return INVALID_SOCKET;
  }
  DWORD timeout = kReceiveTimeoutMs;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  return s;
}

int Fetch(const char *url, Bytes *out, char *why, size_t whyRoom) {
  char host[kHostSize], path[kClipTextSize];
  int port = 80;
  if (!parseLocation(url, host, sizeof host, &port, path, sizeof path)) {
    snprintf(why, whyRoom, "Not a location: %s", url);
    return 0;
  }
  SOCKET s = Connect(host, port, why, whyRoom);
  if (s == INVALID_SOCKET) return 0;
  char request[kClipTextSize + kHostSize + 128];
  int n =
      snprintf(request, sizeof request,
               "GET %s HTTP/1.0\r\nHost: %s:%d\r\nUser-Agent: ovui3230\r\nConnection: close\r\n\r\n", path, host, port);
  if (n <= 0 || (size_t)n >= sizeof request || send(s, request, n, 0) != n) {
    closesocket(s);
    snprintf(why, whyRoom, "Cannot ask %s for %s", host, path);
    return 0;
  }
  size_t cap = 65536, size = 0;
  uint8_t *data = static_cast<uint8_t *>(malloc(cap));
  while (data) {
    if (size == cap && !Grow(&data, &cap)) break;
    int got = recv(s, reinterpret_cast<char *>(data + size), (int)(cap - size), 0);
    if (got <= 0) break;
    size += (size_t)got;
  }
  closesocket(s);
  int status = 0;
  size_t offset = 0, length = 0;
  if (data == nullptr || !parseHttpAnswer(data, size, &status, &offset, &length) || status != 200) {
    snprintf(why, whyRoom, "%s answered %d for %s", host, status, path);
    free(data);
    return 0;
  }
  memmove(data, data + offset, length);
  out->data = data;
  out->size = length;
  return 1;
}

}  // namespace

void FreeBytes(Bytes *b) {
  free(b->data);
  b->data = nullptr;
  b->size = 0;
}

int ReadSource(const char *text, Bytes *out, char *why, size_t whyRoom) {
  return sourceKind(text) == kSourceRemote ? Fetch(text, out, why, whyRoom) : ReadLocal(text, out, why, whyRoom);
}

int ResolveSource(const char *text, char items[][kClipTextSize], int maxItems, int *count, char *why,
                  size_t whyRoom) {
  *count = 0;
  int maybeList = 1;
  if (sourceKind(text) == kSourceRemote) {
    const char *dot = strrchr(text, '.');
    maybeList = dot != nullptr && _stricmp(dot, ".txm") == 0;
  }
  if (maybeList) {
    Bytes b = {};
    if (!ReadSource(text, &b, why, whyRoom)) return 0;
    if (looksLikeClipList(b.data, b.size)) *count = parseClipList(b.data, b.size, items, maxItems);
    FreeBytes(&b);
    if (*count > 0) return 1;
  }
  copyBounded(items[0], kClipTextSize, text);
  *count = 1;
  return 1;
}
