// formsend (Windows): Windows Sockets 1.1 reached through "wsock32.dll", loaded when
// delivery starts and looked up function by function; every receive waits at most
// kReceiveTimeoutSeconds for the gateway.
#include "formsend/winsock_binding.h"

#include <winsock2.h>
#include <windows.h>

#include <string.h>

typedef int(WINAPI *WSAStartupFn)(WORD, LPWSADATA);
typedef int(WINAPI *WSACleanupFn)(void);
typedef int(WINAPI *GethostnameFn)(char *, int);
typedef int(WINAPI *WSAGetLastErrorFn)(void);
typedef struct hostent *(WINAPI *GethostbynameFn)(const char *);
typedef struct hostent *(WINAPI *GethostbyaddrFn)(const char *, int, int);
typedef char *(WINAPI *InetNtoaFn)(struct in_addr);
typedef unsigned long(WINAPI *InetAddrFn)(const char *);
typedef SOCKET(WINAPI *SocketFn)(int, int, int);
typedef int(WINAPI *ConnectFn)(SOCKET, const struct sockaddr *, int);
typedef int(WINAPI *BindFn)(SOCKET, const struct sockaddr *, int);
typedef int(WINAPI *ClosesocketFn)(SOCKET);
typedef int(WINAPI *RecvFn)(SOCKET, char *, int, int);
typedef int(WINAPI *SendFn)(SOCKET, const char *, int, int);
typedef int(WINAPI *IoctlsocketFn)(SOCKET, long, u_long *);
typedef int(WINAPI *SelectFn)(int, fd_set *, fd_set *, fd_set *, const struct timeval *);

// The functions looked up in the library, by these names, in this order.
struct Winsock {
  HMODULE library;
  WSAStartupFn startup;
  WSACleanupFn cleanup;
  GethostnameFn gethostname;
  WSAGetLastErrorFn getLastError;
  GethostbynameFn gethostbyname;
  GethostbyaddrFn gethostbyaddr;
  InetNtoaFn inetNtoa;  // looked up, never called
  InetAddrFn inetAddr;
  SocketFn socket;
  ConnectFn connect;
  BindFn bind;  // looked up, never called
  ClosesocketFn closesocket;
  RecvFn recv;
  SendFn send;
  IoctlsocketFn ioctlsocket;
  SelectFn select;  // for the receive time-out
  int lastError;
};

static Winsock g_ws;

// The generic pointer GetProcAddress gives, as the type of one entry.
template <typename T>
static void lookUp(T *slot, const char *name) {
  FARPROC p = GetProcAddress(g_ws.library, name);
  *slot = reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(p));
}

static void noteError(void) { g_ws.lastError = g_ws.getLastError ? g_ws.getLastError() : 0; }

static int wsLoad(void) {
  memset(&g_ws, 0, sizeof(g_ws));
  HMODULE lib = LoadLibraryA("wsock32.dll");
  if ((uintptr_t)lib <= 32) { return 0; }
  g_ws.library = lib;
  lookUp(&g_ws.startup, "WSAStartup");
  lookUp(&g_ws.cleanup, "WSACleanup");
  lookUp(&g_ws.gethostname, "gethostname");
  lookUp(&g_ws.getLastError, "WSAGetLastError");
  lookUp(&g_ws.gethostbyname, "gethostbyname");
  lookUp(&g_ws.gethostbyaddr, "gethostbyaddr");
  lookUp(&g_ws.inetNtoa, "inet_ntoa");
  lookUp(&g_ws.inetAddr, "inet_addr");
  lookUp(&g_ws.socket, "socket");
  lookUp(&g_ws.connect, "connect");
  lookUp(&g_ws.bind, "bind");
  lookUp(&g_ws.closesocket, "closesocket");
  lookUp(&g_ws.recv, "recv");
  lookUp(&g_ws.send, "send");
  lookUp(&g_ws.ioctlsocket, "ioctlsocket");
  lookUp(&g_ws.select, "select");
  if (!g_ws.startup || !g_ws.cleanup || !g_ws.gethostname || !g_ws.getLastError || !g_ws.gethostbyname ||
      !g_ws.gethostbyaddr || !g_ws.inetAddr || !g_ws.socket || !g_ws.connect || !g_ws.closesocket || !g_ws.recv ||
      !g_ws.send || !g_ws.select) {
    FreeLibrary(lib);
    memset(&g_ws, 0, sizeof(g_ws));
    return 0;
  }
  WSADATA data;
  g_ws.startup(MAKEWORD(1, 1), &data);  // its result is not examined
  return 1;
}

static void wsUnload(void) {
  if (g_ws.library) {
    g_ws.cleanup();
    FreeLibrary(g_ws.library);
  }
  memset(&g_ws, 0, sizeof(g_ws));
}

static int wsHostName(char *out, int limit) {
  if (g_ws.gethostname(out, limit) != 0) {
    noteError();
    return -1;
  }
  return 0;
}

static int wsLastError(void) { return g_ws.lastError; }

static int wsParseAddress(const char *text, unsigned char out[4]) {
  unsigned long a = g_ws.inetAddr(text);
  if (a == INADDR_NONE) { return 0; }
  memcpy(out, &a, 4);  // network order as inet_addr gives it
  return 1;
}

static int copyEntry(const struct hostent *h, HostEntry *out) {
  if (!h) {
    noteError();
    return 0;
  }
  copyBounded(out->name, sizeof(out->name), h->h_name ? h->h_name : "");
  out->addressLength = h->h_length;
  if (h->h_addr_list && h->h_addr_list[0]) {
    int n = h->h_length < 4 ? h->h_length : 4;
    memcpy(out->address, h->h_addr_list[0], n > 0 ? (size_t)n : 0);
  }
  return 1;
}

static int wsHostByAddress(const unsigned char address[4], HostEntry *out) {
  return copyEntry(g_ws.gethostbyaddr((const char *)address, 4, AF_INET), out);
}

static int wsHostByName(const char *name, HostEntry *out) { return copyEntry(g_ws.gethostbyname(name), out); }

static SocketHandle wsOpenStream(void) {
  SOCKET s = g_ws.socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    noteError();
    return -1;
  }
  return (SocketHandle)s;
}

static int wsConnectTo(SocketHandle s, const unsigned char address[4], int port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons((u_short)port);
  memcpy(&to.sin_addr, address, 4);
  if (g_ws.connect((SOCKET)s, (const struct sockaddr *)&to, sizeof(to)) != 0) {
    noteError();
    return -1;
  }
  return 0;
}

static void wsCloseSocket(SocketHandle s) { g_ws.closesocket((SOCKET)s); }

static int wsReceive(SocketHandle s, char *buf, int len) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET((SOCKET)s, &readable);
  struct timeval limit = {kReceiveTimeoutSeconds, 0};
  int ready = g_ws.select(0, &readable, NULL, NULL, &limit);
  if (ready == 0) {
    g_ws.lastError = kErrorTimedOut;
    return -1;
  }
  if (ready < 0) {
    noteError();
    return -1;
  }
  int n = g_ws.recv((SOCKET)s, buf, len, 0);
  if (n < 0) {
    noteError();
    return -1;
  }
  return n;
}

static int wsSend(SocketHandle s, const char *buf, int len) {
  int n = g_ws.send((SOCKET)s, buf, len, 0);
  if (n < 0) {
    noteError();
    return -1;
  }
  return n;
}

static const SocketApi kWinsockApi = {
    wsLoad,       wsUnload,     wsHostName,  wsLastError,   wsParseAddress, wsHostByAddress,
    wsHostByName, wsOpenStream, wsConnectTo, wsCloseSocket, wsReceive,      wsSend,
};

const SocketApi *winsockApi(void) { return &kWinsockApi; }

void privateProfileLookup(void *context, const char *key, char *out, size_t room) {
  (void)context;
  char path[MAX_PATH + 32];
  DWORD n = GetCurrentDirectoryA(MAX_PATH, path);
  if (n == 0 || n >= MAX_PATH) {
    copyBounded(out, room, "none");
    return;
  }
  copyBounded(path + n, sizeof(path) - n, "\\formsend.ini");
  GetPrivateProfileStringA("Quenby Mailer", key, "none", out, (DWORD)room, path);
}
