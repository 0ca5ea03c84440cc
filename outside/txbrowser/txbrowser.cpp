// txbrowser: a stand-in for a web browser as the player meets it. It is a DDE server
// for the topics "WWW_Version", "WWW_OpenURL" and "WWW_QueryURLFile" under a service
// name of its own, shows the last page it was asked for in its window, and writes every
// start and every request to a log file, one line each, so that tests can check what
// reached the browser. Registered as the ".htm" handler with "%1" in its command, it
// receives the URL on its command line and logs it too.
//
//   txbrowser.exe [-service NAME] [-log FILE] [-window N] [-downloads FILE] [URL]
//
//   -service    the DDE service name (default "TXBrowser")
//   -log        where the lines go (default txbrowser.log in the current directory)
//   -window     the window number WWW_OpenURL answers (default 1; 0 means the page
//               was not shown)
//   -downloads  a text file of "<path>|<URL>" lines: the URL each local file was
//               downloaded from, as WWW_QueryURLFile answers it
//
// Log lines: "start <service> <command line>", "url <URL>" (a URL on the command
// line), "connect <topic>", "request <topic> <item>", "answer <topic> <text>",
// "end <service>".
#include <windows.h>
#include <ddeml.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kClassName[] = "TxBrowserStandIn";

DWORD gInstance = 0;
HSZ gService = nullptr;
HWND gWindow = nullptr;
char gServiceName[64] = "TXBrowser";
char gLogPath[MAX_PATH] = "txbrowser.log";
char gDownloads[MAX_PATH] = "";
DWORD gWindowNumber = 1;
char gShown[2048] = "";

void logLine(const char *kind, const char *text) {
  FILE *f = fopen(gLogPath, "ab");
  if (!f) return;
  fprintf(f, "%s %s\r\n", kind, text);
  fclose(f);
}

void logPair(const char *kind, const char *a, const char *b) {
  char line[4096];
  snprintf(line, sizeof line, "%s %s", a, b);
  logLine(kind, line);
}

void showPage(const char *url) {
  snprintf(gShown, sizeof gShown, "%s", url);
  if (gWindow) InvalidateRect(gWindow, nullptr, TRUE);
}

// The first argument of a DDE item: a double-quoted text up to its closing quote, or
// the text up to the first comma.
void firstArgument(const char *item, char *out, size_t room) {
  const char *p = item, *end;
  if (*p == '"') {
    ++p;
    end = strchr(p, '"');
  } else {
    end = strchr(p, ',');
  }
  size_t n = end ? (size_t)(end - p) : strlen(p);
  if (n >= room) n = room - 1;
  memcpy(out, p, n);
  out[n] = '\0';
}

// The URL the downloads file gives for a path (compared without regard to case).
int downloadedFrom(const char *path, char *url, size_t room) {
  if (!gDownloads[0]) return 0;
  FILE *f = fopen(gDownloads, "rb");
  if (!f) return 0;
  char line[2048];
  int found = 0;
  while (!found && fgets(line, sizeof line, f)) {
    line[strcspn(line, "\r\n")] = '\0';
    char *bar = strchr(line, '|');
    if (!bar) continue;
    *bar = '\0';
    if (_stricmp(line, path) == 0) {
      snprintf(url, room, "%s", bar + 1);
      found = 1;
    }
  }
  fclose(f);
  return found;
}

HDDEDATA answerText(HSZ item, const char *topic, const char *text) {
  logPair("answer", topic, text);
  return DdeCreateDataHandle(gInstance, (LPBYTE)text, (DWORD)strlen(text) + 1, 0, item, CF_TEXT, 0);
}

HDDEDATA request(HSZ topicName, HSZ itemName) {
  char topic[256] = "", item[1024] = "";
  DdeQueryStringA(gInstance, topicName, topic, sizeof topic, CP_WINANSI);
  DdeQueryStringA(gInstance, itemName, item, sizeof item, CP_WINANSI);
  logPair("request", topic, item);
  if (_stricmp(topic, "WWW_Version") == 0) return answerText(itemName, topic, "1.0");
  if (_stricmp(topic, "WWW_OpenURL") == 0) {
    char url[1024];
    firstArgument(item, url, sizeof url);
    if (gWindowNumber) showPage(url);
    char number[16];
    snprintf(number, sizeof number, "%lu", (unsigned long)gWindowNumber);
    logPair("answer", topic, number);
    return DdeCreateDataHandle(gInstance, (LPBYTE)&gWindowNumber, sizeof gWindowNumber, 0, itemName, CF_TEXT, 0);
  }
  if (_stricmp(topic, "WWW_QueryURLFile") == 0) {
    char path[1024], url[1024], quoted[1100];
    firstArgument(item, path, sizeof path);
    if (!downloadedFrom(path, url, sizeof url)) {
      logPair("answer", topic, "(none)");
      return nullptr;
    }
    snprintf(quoted, sizeof quoted, "\"%s\"", url);
    return answerText(itemName, topic, quoted);
  }
  return nullptr;
}

int isOurTopic(HSZ topicName) {
  char topic[256] = "";
  DdeQueryStringA(gInstance, topicName, topic, sizeof topic, CP_WINANSI);
  int ours = _stricmp(topic, "WWW_Version") == 0 || _stricmp(topic, "WWW_OpenURL") == 0 ||
             _stricmp(topic, "WWW_QueryURLFile") == 0;
  if (ours) logLine("connect", topic);
  return ours;
}

HDDEDATA CALLBACK ddeCallback(UINT type, UINT, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT: return (HDDEDATA)(ULONG_PTR)isOurTopic(topic);
    case XTYP_REQUEST: return request(topic, item);
    default: return nullptr;
  }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT r;
      GetClientRect(window, &r);
      InflateRect(&r, -8, -8);
      char text[2200];
      snprintf(text, sizeof text, "Showing: %s", gShown[0] ? gShown : "(nothing)");
      DrawTextA(dc, text, -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  const char *url = nullptr;
  for (int i = 1; i < __argc; ++i) {
    const char *a = __argv[i];
    if (strcmp(a, "-service") == 0 && i + 1 < __argc) snprintf(gServiceName, sizeof gServiceName, "%s", __argv[++i]);
    else if (strcmp(a, "-log") == 0 && i + 1 < __argc) snprintf(gLogPath, sizeof gLogPath, "%s", __argv[++i]);
    else if (strcmp(a, "-window") == 0 && i + 1 < __argc) gWindowNumber = strtoul(__argv[++i], nullptr, 10);
    else if (strcmp(a, "-downloads") == 0 && i + 1 < __argc) snprintf(gDownloads, sizeof gDownloads, "%s", __argv[++i]);
    else url = a;
  }
  logPair("start", gServiceName, commandLine);
  if (url && url[0]) {
    logLine("url", url);
    showPage(url);
  }

  // The service is up before the first message is read: whoever started this program
  // and waits for it to be ready for input may ask it at once.
  if (DdeInitializeA(&gInstance, ddeCallback, APPCLASS_STANDARD | CBF_FAIL_POKES | CBF_FAIL_EXECUTES |
                                                 CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                     0) != DMLERR_NO_ERROR) {
    logLine("error", "DdeInitialize failed");
    return 1;
  }
  gService = DdeCreateStringHandleA(gInstance, gServiceName, CP_WINANSI);
  if (!gService || !DdeNameService(gInstance, gService, nullptr, DNS_REGISTER)) {
    logLine("error", "DdeNameService failed");
    DdeUninitialize(gInstance);
    return 1;
  }

  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  char title[128];
  snprintf(title, sizeof title, "TX Browser - %s", gServiceName);
  gWindow = CreateWindowA(kClassName, title, WS_OVERLAPPEDWINDOW, 600, 420, 400, 160, nullptr, nullptr, instance,
                          nullptr);
  ShowWindow(gWindow, show);
  UpdateWindow(gWindow);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DdeNameService(gInstance, gService, nullptr, DNS_UNREGISTER);
  DdeFreeStringHandle(gInstance, gService);
  DdeUninitialize(gInstance);
  logLine("end", gServiceName);
  return 0;
}
