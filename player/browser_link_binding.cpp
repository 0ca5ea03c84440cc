// DdeApi bound to the platform's DDE management library (one client instance per
// process, strings in the Windows ANSI code page) and ShellApi to CreateProcess.
#include <windows.h>
#include <ddeml.h>

#include <string.h>

#include "player/browser_link.h"

static DWORD gDdeInstance = 0;

// Every transaction the client instance sees is answered with no data.
static HDDEDATA CALLBACK answerNothing(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

static int bindInitialize(void *context, unsigned long flags) {
  gDdeInstance = 0;
  PFNCALLBACK callback = context ? (PFNCALLBACK)context : answerNothing;
  if (DdeInitializeA(&gDdeInstance, callback, (DWORD)flags, 0) != DMLERR_NO_ERROR) {
    gDdeInstance = 0;
    return 0;
  }
  return 1;
}

static void bindUninitialize(void *) {
  if (gDdeInstance) DdeUninitialize(gDdeInstance);
  gDdeInstance = 0;
}

static DdeConversation bindConnect(void *, const char *service, const char *topic) {
  if (!gDdeInstance) return nullptr;
  HSZ serviceName = DdeCreateStringHandleA(gDdeInstance, service, CP_WINANSI);
  HSZ topicName = DdeCreateStringHandleA(gDdeInstance, topic, CP_WINANSI);
  HCONV conversation = nullptr;
  if (serviceName && topicName) conversation = DdeConnect(gDdeInstance, serviceName, topicName, nullptr);
  if (serviceName) DdeFreeStringHandle(gDdeInstance, serviceName);
  if (topicName) DdeFreeStringHandle(gDdeInstance, topicName);
  return conversation;
}

static void bindDisconnect(void *, DdeConversation conversation) { DdeDisconnect((HCONV)conversation); }

static long bindRequest(void *, DdeConversation conversation, const char *item, unsigned long timeoutMs, void *out,
                        size_t room) {
  HSZ itemName = DdeCreateStringHandleA(gDdeInstance, item, CP_WINANSI);
  if (!itemName) return -1;
  HDDEDATA data =
      DdeClientTransaction(nullptr, 0, (HCONV)conversation, itemName, CF_TEXT, XTYP_REQUEST, (DWORD)timeoutMs, nullptr);
  DdeFreeStringHandle(gDdeInstance, itemName);
  if (!data) return -1;
  DWORD size = DdeGetData(data, nullptr, 0, 0);
  DWORD keep = size < room ? size : (DWORD)room;
  if (keep) DdeGetData(data, (LPBYTE)out, keep, 0);
  DdeFreeDataHandle(data);
  return (long)size;
}

static DdeApi gPlatformDde = {nullptr, bindInitialize, bindUninitialize, bindConnect, bindDisconnect, bindRequest};

const DdeApi *platformDde(void *clientCallback) {
  gPlatformDde.context = clientCallback;
  return &gPlatformDde;
}

// Starts the command line as the shell would, in the program's default show state, and
// gives the program up to 30 seconds to be ready for input (so that a browser started
// here has set up its DDE service before the link asks it).
static int bindStartCommand(void *, const char *commandLine) {
  char line[kBrowserCommandLineSize];
  if (strlen(commandLine) >= sizeof line) return 0;
  strcpy(line, commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 0;
  WaitForInputIdle(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

static const ShellApi kPlatformShell = {nullptr, bindStartCommand};

const ShellApi *platformShell(void) { return &kPlatformShell; }
