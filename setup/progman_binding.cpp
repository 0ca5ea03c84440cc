// The ProgmanApi table bound to the DDE management library: the installer's one DDE
// instance (text format, the ANSI code page), its client conversation with Program
// Manager, and the "PROGMAN" service the installer registers for itself.
#include <windows.h>
#include <ddeml.h>

#include <string.h>

#include "setup/progman_api.h"

static DWORD g_instance;
static HSZ g_progman;  // "Progman": Program Manager's service and topic
static HSZ g_own;      // "PROGMAN": the service and topic this program answers
static HCONV g_conversation;

// The installer's own service: it takes conversations on the topic "PROGMAN" and
// acknowledges every execute without acting on it. The instance is initialised with
// CBF_FAIL_SELFCONNECTIONS: service names compare without regard to case, and
// without that flag the installer's own conversation with "Progman" could land here
// and every group command would go nowhere.
static HDDEDATA CALLBACK ddeCallback(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT: return (HDDEDATA)(UINT_PTR)(DdeCmpStringHandles(topic, g_own) == 0);
    case XTYP_EXECUTE: return (HDDEDATA)(UINT_PTR)DDE_FACK;
    default: return nullptr;
  }
}

static void releaseAll(void) {
  if (g_conversation) DdeDisconnect(g_conversation);
  g_conversation = nullptr;
  if (!g_instance) return;
  DdeNameService(g_instance, nullptr, nullptr, DNS_UNREGISTER);
  if (g_own) DdeFreeStringHandle(g_instance, g_own);
  if (g_progman) DdeFreeStringHandle(g_instance, g_progman);
  g_own = g_progman = nullptr;
  DdeUninitialize(g_instance);
  g_instance = 0;
}

static int openConversation(void) {
  if (g_conversation) return 1;
  // A machine whose shell does not answer Program Manager's service. Wine's desktop
  // shell always answers, so the tests of the shortcut-file group ask for this.
  char noShell[8];
  if (GetEnvironmentVariableA("TXSETUP_NO_PROGMAN", noShell, sizeof noShell) > 0) return 0;
  if (!g_instance) {
    DWORD flags = APPCLASS_STANDARD | CBF_FAIL_SELFCONNECTIONS | CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS |
                  CBF_SKIP_ALLNOTIFICATIONS;
    if (DdeInitializeA(&g_instance, ddeCallback, flags, 0) != DMLERR_NO_ERROR) {
      g_instance = 0;
      return 0;
    }
    g_progman = DdeCreateStringHandleA(g_instance, "Progman", CP_WINANSI);
    g_own = DdeCreateStringHandleA(g_instance, "PROGMAN", CP_WINANSI);
    if (g_own) DdeNameService(g_instance, g_own, nullptr, DNS_REGISTER);
  }
  CONVCONTEXT context = {};
  context.cb = sizeof context;
  context.iCodePage = CP_WINANSI;
  if (g_progman) g_conversation = DdeConnect(g_instance, g_progman, g_progman, &context);
  return g_conversation != nullptr;
}

static int isConnected(void) { return g_conversation != nullptr; }

static int execute(const char *command) {
  if (!g_conversation) return 0;
  HDDEDATA r = DdeClientTransaction((LPBYTE)command, (DWORD)strlen(command) + 1, g_conversation, nullptr, CF_TEXT,
                                    XTYP_EXECUTE, 1000, nullptr);
  return r != nullptr;
}

static int request(const char *item, char *out, size_t room) {
  if (room == 0) return 0;
  out[0] = '\0';
  if (!g_conversation) return 0;
  HSZ name = DdeCreateStringHandleA(g_instance, item, CP_WINANSI);
  if (!name) return 0;
  HDDEDATA data = DdeClientTransaction(nullptr, 0, g_conversation, name, CF_TEXT, XTYP_REQUEST, 1000, nullptr);
  DdeFreeStringHandle(g_instance, name);
  if (!data) return 0;
  DWORD n = DdeGetData(data, (LPBYTE)out, (DWORD)(room - 1), 0);
  out[n < room ? n : room - 1] = '\0';
  DdeFreeDataHandle(data);
  return 1;
}

static const ProgmanApi kProgman = {openConversation, isConnected, execute, request, releaseAll};

const ProgmanApi *platformProgman(void) { return &kProgman; }
