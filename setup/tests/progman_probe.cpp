// progman_probe: a test helper that talks to the desktop shell the way an installer's
// peers do, one command per run, and prints one line of JSON.
//   progman_probe request ITEM      DDE request of ITEM from service and topic
//                                   "Progman" (CF_TEXT); {"ok":..,"data":".."}
//   progman_probe execute TEXT      one DDE execute of TEXT; {"ok":..,"error":n}
//   progman_probe link PATH         loads a shell link through IShellLink and
//                                   IPersistFile; {"ok":..,"path","arguments",
//                                   "description"}
//   progman_probe servers           the Windows process ids of every server that
//                                   takes a conversation on service and topic
//                                   "PROGMAN"; {"pids":[..]}
//   progman_probe wait SECONDS      waits until "Progman" answers a request of
//                                   "GROUPS" (the shell is up); {"ok":..}
//   progman_probe folders           asks the shell for the Programs and Desktop
//                                   folders, as any program of the desktop does (the
//                                   shell then keeps them in the Shell Folders key);
//                                   {"ok":..,"programs":"..","desktop":".."}
#include <windows.h>
#include <dde.h>
#include <ddeml.h>
#include <objbase.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void printJsonText(const char *s) {
  putchar('"');
  for (const unsigned char *p = (const unsigned char *)s; *p; ++p) {
    if (*p == '"' || *p == '\\') printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x7f) printf("\\u%04x", *p);
    else putchar(*p);
  }
  putchar('"');
}

static HDDEDATA CALLBACK ignoreAll(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

struct Conversation {
  DWORD instance = 0;
  HSZ service = nullptr;
  HCONV conv = nullptr;
};

static int connect(Conversation *c) {
  if (DdeInitializeA(&c->instance, ignoreAll, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 0;
  c->service = DdeCreateStringHandleA(c->instance, "Progman", CP_WINANSI);
  c->conv = DdeConnect(c->instance, c->service, c->service, nullptr);
  return c->conv != nullptr;
}

static void disconnect(Conversation *c) {
  if (c->conv) DdeDisconnect(c->conv);
  if (c->service) DdeFreeStringHandle(c->instance, c->service);
  if (c->instance) DdeUninitialize(c->instance);
}

// The answer to a request of item, or empty; 1 when data came back.
static int request(Conversation *c, const char *item, char *out, DWORD room) {
  out[0] = '\0';
  HSZ hsz = DdeCreateStringHandleA(c->instance, item, CP_WINANSI);
  HDDEDATA data = DdeClientTransaction(nullptr, 0, c->conv, hsz, CF_TEXT, XTYP_REQUEST, 3000, nullptr);
  DdeFreeStringHandle(c->instance, hsz);
  if (!data) return 0;
  DWORD n = DdeGetData(data, (LPBYTE)out, room - 1, 0);
  out[n < room ? n : room - 1] = '\0';
  DdeFreeDataHandle(data);
  return 1;
}

static int requestCommand(const char *item) {
  Conversation c;
  static char answer[65536];
  int ok = connect(&c) && request(&c, item, answer, sizeof answer);
  printf("{\"ok\":%s,\"connected\":%s,\"data\":", ok ? "true" : "false", c.conv ? "true" : "false");
  printJsonText(ok ? answer : "");
  printf("}\n");
  disconnect(&c);
  return ok ? 0 : 1;
}

static int executeCommand(const char *text) {
  Conversation c;
  int ok = 0;
  UINT error = 0;
  if (connect(&c)) {
    HDDEDATA r = DdeClientTransaction((LPBYTE)text, (DWORD)strlen(text) + 1, c.conv, nullptr, CF_TEXT, XTYP_EXECUTE,
                                      3000, nullptr);
    ok = r != nullptr;
    if (!ok) error = DdeGetLastError(c.instance);
  }
  printf("{\"ok\":%s,\"connected\":%s,\"error\":%u}\n", ok ? "true" : "false", c.conv ? "true" : "false", error);
  disconnect(&c);
  return ok ? 0 : 1;
}

static int waitCommand(int seconds) {
  DWORD end = GetTickCount() + (DWORD)seconds * 1000;
  char answer[4096];
  for (;;) {
    Conversation c;
    int ok = connect(&c) && request(&c, "GROUPS", answer, sizeof answer);
    disconnect(&c);
    if (ok || (int)(GetTickCount() - end) > 0) {
      printf("{\"ok\":%s}\n", ok ? "true" : "false");
      return ok ? 0 : 1;
    }
    Sleep(100);  // the shell is starting: poll until it answers
  }
}

// The raw DDE initiation that DdeConnectList makes (Wine leaves that call unbuilt):
// WM_DDE_INITIATE to every top-level window, each server answering with WM_DDE_ACK
// from a conversation window of its own.
static HWND g_servers[16];
static int g_serverCount;

static LRESULT CALLBACK initiateProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_DDE_ACK) {
    if (g_serverCount < (int)(sizeof g_servers / sizeof g_servers[0])) g_servers[g_serverCount++] = (HWND)wp;
    GlobalDeleteAtom(LOWORD(lp));
    GlobalDeleteAtom(HIWORD(lp));
    return 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

static int serversCommand(void) {
  WNDCLASSA c = {};
  c.lpfnWndProc = initiateProc;
  c.lpszClassName = "ProgmanProbeClient";
  RegisterClassA(&c);
  HWND w = CreateWindowA(c.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ATOM app = GlobalAddAtomA("PROGMAN"), topic = GlobalAddAtomA("PROGMAN");
  DWORD_PTR ignored;
  SendMessageTimeoutA(HWND_BROADCAST, WM_DDE_INITIATE, (WPARAM)w, MAKELPARAM(app, topic), SMTO_ABORTIFHUNG, 3000,
                      &ignored);
  GlobalDeleteAtom(app);
  GlobalDeleteAtom(topic);
  printf("{\"pids\":[");
  for (int i = 0; i < g_serverCount; ++i) {
    DWORD pid = 0;
    GetWindowThreadProcessId(g_servers[i], &pid);
    printf("%s%lu", i ? "," : "", (unsigned long)pid);
    PostMessageA(g_servers[i], WM_DDE_TERMINATE, (WPARAM)w, 0);
  }
  printf("]}\n");
  DestroyWindow(w);
  return 0;
}

static int linkCommand(const char *path) {
  char target[MAX_PATH] = "", arguments[1024] = "", description[1024] = "";
  int ok = 0;
  CoInitialize(nullptr);
  IShellLinkA *link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link))) {
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
      if (SUCCEEDED(file->Load(wide, STGM_READ))) {
        ok = 1;
        link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
        link->GetArguments(arguments, sizeof arguments);
        link->GetDescription(description, sizeof description);
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  printf("{\"ok\":%s,\"path\":", ok ? "true" : "false");
  printJsonText(target);
  printf(",\"arguments\":");
  printJsonText(arguments);
  printf(",\"description\":");
  printJsonText(description);
  printf("}\n");
  return ok ? 0 : 1;
}

static int foldersCommand(void) {
  char programs[MAX_PATH] = "", desktop[MAX_PATH] = "";
  int ok = SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, 0, programs)) &&
           SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, desktop));
  printf("{\"ok\":%s,\"programs\":", ok ? "true" : "false");
  printJsonText(programs);
  printf(",\"desktop\":");
  printJsonText(desktop);
  printf("}\n");
  return ok ? 0 : 1;
}

int main(int argc, char **argv) {
  if (argc >= 3 && strcmp(argv[1], "request") == 0) return requestCommand(argv[2]);
  if (argc >= 3 && strcmp(argv[1], "execute") == 0) return executeCommand(argv[2]);
  if (argc >= 3 && strcmp(argv[1], "link") == 0) return linkCommand(argv[2]);
  if (argc >= 3 && strcmp(argv[1], "wait") == 0) return waitCommand(atoi(argv[2]));
  if (argc >= 2 && strcmp(argv[1], "servers") == 0) return serversCommand();
  if (argc >= 2 && strcmp(argv[1], "folders") == 0) return foldersCommand();
  fprintf(stderr, "usage: progman_probe request ITEM | execute TEXT | link PATH | servers | wait SECONDS | folders\n");
  return 2;
}
