// formsend tests: SocketApi over BSD sockets, with errors mapped onto the Windows
// Sockets numbers the error texts are keyed by.
#include "formsend/tests/posix_sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int g_posixReceiveTimeoutMs = kReceiveTimeoutSeconds * 1000;
int g_posixLoadFails = 0;
static int g_lastError;

static int mapErrno(int e) {
  switch (e) {
    case ECONNREFUSED: return 10061;
    case ECONNRESET: return 10054;
    case ETIMEDOUT: return 10060;
    case EPIPE: return 10058;
    default: return 10022;
  }
}

static int pLoad(void) { return !g_posixLoadFails; }
static void pUnload(void) {}
static int pHostName(char *out, int limit) {
  if (gethostname(out, (size_t)limit) != 0) {
    g_lastError = mapErrno(errno);
    return -1;
  }
  out[limit - 1] = '\0';
  return 0;
}
static int pLastError(void) { return g_lastError; }
static int pParseAddress(const char *text, unsigned char out[4]) {
  struct in_addr a;
  if (inet_pton(AF_INET, text, &a) != 1) { return 0; }
  memcpy(out, &a, 4);
  return 1;
}
static int pHostByAddress(const unsigned char address[4], HostEntry *out) {
  struct sockaddr_in sa;
  memset(&sa, 0, sizeof(sa));
  sa.sin_family = AF_INET;
  memcpy(&sa.sin_addr, address, 4);
  char host[NI_MAXHOST];
  if (getnameinfo((struct sockaddr *)&sa, sizeof(sa), host, sizeof(host), NULL, 0, NI_NAMEREQD) != 0) {
    g_lastError = 11004;
    return 0;
  }
  copyBounded(out->name, sizeof(out->name), host);
  memcpy(out->address, address, 4);
  out->addressLength = 4;
  return 1;
}
static int pHostByName(const char *name, HostEntry *out) {
  struct addrinfo hints, *res = NULL;
  memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_flags = AI_CANONNAME;
  if (getaddrinfo(name, NULL, &hints, &res) != 0 || !res) {
    g_lastError = 11001;
    return 0;
  }
  copyBounded(out->name, sizeof(out->name), res->ai_canonname ? res->ai_canonname : name);
  memcpy(out->address, &((struct sockaddr_in *)res->ai_addr)->sin_addr, 4);
  out->addressLength = 4;
  freeaddrinfo(res);
  return 1;
}
static SocketHandle pOpenStream(void) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) {
    g_lastError = mapErrno(errno);
    return -1;
  }
  return s;
}
static int pConnectTo(SocketHandle s, const unsigned char address[4], int port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons((unsigned short)port);
  memcpy(&to.sin_addr, address, 4);
  if (connect((int)s, (struct sockaddr *)&to, sizeof(to)) != 0) {
    g_lastError = mapErrno(errno);
    return -1;
  }
  return 0;
}
static void pCloseSocket(SocketHandle s) { close((int)s); }
static int pReceive(SocketHandle s, char *buf, int len) {
  struct pollfd p = {(int)s, POLLIN, 0};
  int ready = poll(&p, 1, g_posixReceiveTimeoutMs);
  if (ready == 0) {
    g_lastError = kErrorTimedOut;
    return -1;
  }
  ssize_t n = ready < 0 ? -1 : recv((int)s, buf, (size_t)len, 0);
  if (n < 0) {
    g_lastError = mapErrno(errno);
    return -1;
  }
  return (int)n;
}
static int pSend(SocketHandle s, const char *buf, int len) {
  ssize_t n = send((int)s, buf, (size_t)len, MSG_NOSIGNAL);
  if (n < 0) {
    g_lastError = mapErrno(errno);
    return -1;
  }
  return (int)n;
}

static const SocketApi kPosixApi = {
    pLoad,       pUnload,     pHostName,  pLastError,   pParseAddress, pHostByAddress,
    pHostByName, pOpenStream, pConnectTo, pCloseSocket, pReceive,      pSend,
};

const SocketApi *posixSocketApi(void) { return &kPosixApi; }
