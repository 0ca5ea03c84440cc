// The browser link: finding a browser over DDE, the WWW_OpenURL and WWW_QueryURLFile
// requests, the start of the HTML handler when no browser answers, the first-run
// visit and the preset URL of a local clip.
#include "player/browser_link.h"

#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"
#include "player/player_prefs.h"

static const char kTopicVersion[] = "WWW_Version";
static const char kTopicOpenUrl[] = "WWW_OpenURL";
static const char kTopicQueryUrlFile[] = "WWW_QueryURLFile";

void initBrowserLink(BrowserLink *link, const DdeApi *dde, const ShellApi *shell, const RegistryApi *registry,
                     const ProductPrefs *prefs) {
  link->dde = dde;
  link->shell = shell;
  link->registry = registry;
  link->prefs = prefs;
  link->ddeReady = 0;
  link->service[0] = '\0';
}

int InitDde(BrowserLink *link) {
  link->service[0] = '\0';
  link->ddeReady = link->dde && link->dde->initialize(link->dde->context, kDdeSkipAllNotifications);
  return link->ddeReady;
}

void EndDde(BrowserLink *link) {
  link->service[0] = '\0';
  if (link->ddeReady) link->dde->uninitialize(link->dde->context);
  link->ddeReady = 0;
}

// A service name worth asking: anything but blanks (the preference's default is one blank).
static int isServiceName(const char *name) {
  for (const char *p = name; *p; ++p)
    if (*p != ' ') return 1;
  return 0;
}

int FindBrowser(BrowserLink *link) {
  if (link->service[0]) return 1;
  if (!link->ddeReady || !link->prefs) return 0;
  char name[kBrowserServiceSize];
  PrefListCursor cursor;
  for (int found = prefListFirst(&cursor, link->prefs, "Browser", name, sizeof name); found;
       found = prefListNext(&cursor, name, sizeof name)) {
    if (!isServiceName(name)) continue;
    DdeConversation conversation = link->dde->connect(link->dde->context, name, kTopicVersion);
    if (!conversation) continue;
    link->dde->disconnect(link->dde->context, conversation);
    copyBounded(link->service, sizeof link->service, name);
    return 1;
  }
  return 0;
}

// A conversation with the cached browser on topic; when that fails the browser is
// looked for again once (it may have ended, another may run).
static DdeConversation connectBrowser(BrowserLink *link, const char *topic) {
  if (!FindBrowser(link)) return nullptr;
  DdeConversation conversation = link->dde->connect(link->dde->context, link->service, topic);
  if (conversation) return conversation;
  link->service[0] = '\0';
  if (!FindBrowser(link)) return nullptr;
  conversation = link->dde->connect(link->dde->context, link->service, topic);
  if (!conversation) link->service[0] = '\0';
  return conversation;
}

int quotedUrlText(const char *url, char *out, size_t room) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t n = 0;
  for (const unsigned char *p = (const unsigned char *)url; *p; ++p) {
    int escape = *p == '"' || *p < 0x20 || *p == 0x7F;
    size_t need = escape ? 3 : 1;
    if (n + need + 1 > room) {
      if (room) out[0] = '\0';
      return 0;
    }
    if (escape) {
      out[n++] = '%';
      out[n++] = kHex[*p >> 4];
      out[n++] = kHex[*p & 15];
    } else {
      out[n++] = (char)*p;
    }
  }
  if (room == 0) return 0;
  out[n] = '\0';
  return 1;
}

int openUrlItem(const char *url, char *out, size_t room) {
  int n = snprintf(out, room, "\"%s\",,%lu,0,,,,", url, (unsigned long)kAnyBrowserWindow);
  if (n < 0 || (size_t)n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}

int OpenUrlByDde(BrowserLink *link, const char *url) {
  char safe[kBrowserUrlSize * 3], item[kDdeItemSize];
  if (!quotedUrlText(url, safe, sizeof safe) || !openUrlItem(safe, item, sizeof item)) return 0;
  DdeConversation conversation = connectBrowser(link, kTopicOpenUrl);
  if (!conversation) return 0;
  unsigned char answer[4] = {0, 0, 0, 0};
  long size = link->dde->request(link->dde->context, conversation, item, kDdeTimeoutMs, answer, sizeof answer);
  link->dde->disconnect(link->dde->context, conversation);
  // The answer's first 32-bit value (little-endian, as the browser wrote it) is the
  // window that shows the page; a short answer counts as the bytes it has.
  uint32_t window = (uint32_t)answer[0] | (uint32_t)answer[1] << 8 | (uint32_t)answer[2] << 16 |
                    (uint32_t)answer[3] << 24;
  return size > 0 && window != 0;
}

int QueryUrlOfFile(BrowserLink *link, const char *path, char *url, size_t room) {
  if (room) url[0] = '\0';
  if (room < 2) return 0;
  char item[kDdeItemSize];
  int n = snprintf(item, sizeof item, "\"%s\"", path);
  if (n < 0 || (size_t)n >= sizeof item) return 0;
  DdeConversation conversation = connectBrowser(link, kTopicQueryUrlFile);
  if (!conversation) return 0;
  long size = link->dde->request(link->dde->context, conversation, item, kDdeTimeoutMs, url, room - 1);
  link->dde->disconnect(link->dde->context, conversation);
  if (size < 0) {
    url[0] = '\0';
    return 0;
  }
  size_t got = (size_t)size < room - 1 ? (size_t)size : room - 1;
  url[got] = '\0';
  size_t length = strlen(url);
  if (length >= 2 && url[0] == '"' && url[length - 1] == '"') {
    memmove(url, url + 1, length - 2);
    url[length - 2] = '\0';
  }
  return url[0] != '\0';  // an empty text names no URL
}

int fillCommand(const char *command, const char *text, char *out, size_t room) {
  size_t n = 0, textLength = strlen(text);
  for (const char *p = command; *p;) {
    const char *piece = p;
    size_t pieceLength = 1;
    if (p[0] == '%' && p[1] == '1') {
      piece = text;
      pieceLength = textLength;
      p += 2;
    } else {
      ++p;
    }
    if (n + pieceLength + 1 > room) {
      if (room) out[0] = '\0';
      return 0;
    }
    memcpy(out + n, piece, pieceLength);
    n += pieceLength;
  }
  if (room == 0) return 0;
  out[n] = '\0';
  return 1;
}

// The command registered for HTML files: ".HTM"'s class, else ".HTML"'s, and its
// "shell\open\command". 0 when there is none.
static int htmlCommand(const RegistryApi *registry, char *command, size_t room) {
  char htmlClass[kBrowserCommandSize];
  if (!registryReadText(registry, kClassesRoot, ".HTM", nullptr, htmlClass, sizeof htmlClass) &&
      !registryReadText(registry, kClassesRoot, ".HTML", nullptr, htmlClass, sizeof htmlClass))
    return 0;
  char key[kBrowserCommandSize + 32];
  if (snprintf(key, sizeof key, "%s\\shell\\open\\command", htmlClass) >= (int)sizeof key) return 0;
  return registryReadText(registry, kClassesRoot, key, nullptr, command, room) && command[0];
}

int ShellOpen(BrowserLink *link, const char *url) {
  if (!link->registry || !link->shell) return 0;
  char command[kBrowserCommandSize];
  if (!htmlCommand(link->registry, command, sizeof command)) return 0;
  char safe[kBrowserUrlSize * 3], line[kBrowserCommandLineSize];
  if (!quotedUrlText(url, safe, sizeof safe)) return 0;
  if (strstr(command, "%1")) {
    if (fillCommand(command, safe, line, sizeof line) && link->shell->startCommand(link->shell->context, line))
      return 1;
    // It did not start with the URL: start it without and hand the URL over DDE.
    if (!fillCommand(command, "", line, sizeof line)) return 0;
  } else {
    copyBounded(line, sizeof line, command);
  }
  return link->shell->startCommand(link->shell->context, line) && OpenUrlByDde(link, url);
}

int OpenInBrowser(BrowserLink *link, const char *url) {
  if (!url || !url[0]) return 0;
  return OpenUrlByDde(link, url) || ShellOpen(link, url);
}

int FirstRunVisit(BrowserLink *link, int *visited, int (*ask)(void *context), void *context) {
  if (*visited || !link->prefs) return 0;
  if (!ask(context)) return 0;
  char url[kPrefUrlSize];
  if (!link->prefs->readStored("URLtoHurl", url, sizeof url) || !url[0]) return 0;
  if (!OpenInBrowser(link, url)) return 0;
  *visited = 1;
  return 1;
}

int PresetUrlFromFile(BrowserLink *link, int openedLocally, const char *lastFile, char *url, size_t room) {
  if (room) url[0] = '\0';
  if (!openedLocally || !lastFile || !lastFile[0]) return 0;
  return QueryUrlOfFile(link, lastFile, url, room);
}
