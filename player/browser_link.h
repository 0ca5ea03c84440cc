// The player's link to the user's web browser: pages are shown by asking a running
// browser over DDE (the browsers' "WWW_" topics), and when none answers by starting
// the program registered for HTML files. The same link asks a browser for the URL a
// local file was downloaded from. Portable: DDE, the registry and starting a program
// are reached through function tables, bound to the platform in
// browser_link_binding.cpp.
#ifndef PLAYER_BROWSER_LINK_H
#define PLAYER_BROWSER_LINK_H

#include <stddef.h>
#include <stdint.h>

#include "common/product_prefs.h"
#include "common/registry_api.h"

enum {
  kBrowserServiceSize = 30,      // a Browser<n> value: up to 29 characters
  kBrowserUrlSize = 1280,        // the URL a browser answers for a file
  kBrowserCommandSize = 260,     // the ".htm" handler's command as stored
  kBrowserCommandLineSize = 1600,
  kDdeItemSize = 1400,
  kDdeTimeoutMs = 60000,
  kDdeSkipAllNotifications = 0x3C0000,  // CBF_SKIP_ALLNOTIFICATIONS
};

// "Any window" in WWW_OpenURL: all 32 bits set.
static const uint32_t kAnyBrowserWindow = 4294967295u;

typedef void *DdeConversation;

// The platform's DDE management library as a client sees it. Strings are in the
// Windows ANSI code page.
struct DdeApi {
  void *context;
  // Starts a client instance whose callback answers nothing, with the given filter
  // flags; 1 on success.
  int (*initialize)(void *context, unsigned long flags);
  void (*uninitialize)(void *context);
  // A conversation with (service, topic), or NULL when nobody answers.
  DdeConversation (*connect)(void *context, const char *service, const char *topic);
  void (*disconnect)(void *context, DdeConversation conversation);
  // Requests item in text format, waiting at most timeoutMs. Returns the size of the
  // data that came back (up to room bytes of it copied to out), or -1 for none.
  long (*request)(void *context, DdeConversation conversation, const char *item, unsigned long timeoutMs, void *out,
                  size_t room);
};

// Starting a program as the shell does.
struct ShellApi {
  void *context;
  // Starts the command line, showing the program's window in its default way, and
  // waits until it is ready for input (or a while). 1 when it started.
  int (*startCommand)(void *context, const char *commandLine);
};

struct BrowserLink {
  const DdeApi *dde;
  const ShellApi *shell;
  const RegistryApi *registry;
  const ProductPrefs *prefs;  // Browser1, Browser2 ... name the services to ask
  int ddeReady;               // the client instance exists
  char service[kBrowserServiceSize];  // the browser that answered last; "" for none
};

// Binds the link; nothing is started.
void initBrowserLink(BrowserLink *link, const DdeApi *dde, const ShellApi *shell, const RegistryApi *registry,
                     const ProductPrefs *prefs);

// Starts the DDE client (every notification skipped). A failure leaves DDE unusable;
// every later DDE step then fails and pages go through the shell. 1 on success.
int InitDde(BrowserLink *link);
// Forgets the cached browser and ends the client.
void EndDde(BrowserLink *link);

// The cached browser, or the first Browser<n> service that answers on "WWW_Version"
// (then cached). 1 when there is one.
int FindBrowser(BrowserLink *link);

// Asks the browser to show the URL in any window: item "\"<URL>\",,4294967295,0,,,,"
// on "WWW_OpenURL". A failed connection drops the cached browser, looks again and
// retries once. 1 when the browser answered a nonzero window number.
int OpenUrlByDde(BrowserLink *link, const char *url);

// The URL the browser downloaded a local file from ("WWW_QueryURLFile"), without its
// surrounding quotes. 1 when the browser answered a text that is not empty.
int QueryUrlOfFile(BrowserLink *link, const char *path, char *url, size_t room);

// Starts the program registered for ".htm" (else ".html") files. A command holding
// "%1" is started with the URL in its place; one without it (or one that did not
// start with the URL) is started as it is, and the URL then follows over DDE.
// 1 when the page is on its way.
int ShellOpen(BrowserLink *link, const char *url);

// OpenUrlByDde, and ShellOpen when no browser took it. 1 when a browser took it.
int OpenInBrowser(BrowserLink *link, const char *url);

// The first-run visit: unless *visited, ask(context) puts the question; on yes,
// URLtoHurl is shown in the browser and, when that works, *visited is set. No, or a
// failed open, leaves it clear, so that the question returns at the next start.
// Returns 1 when the page was shown.
int FirstRunVisit(BrowserLink *link, int *visited, int (*ask)(void *context), void *context);

// The URL of the preset for the current clip: only for a clip opened as a local file
// with a known last file, the URL the browser answers for that file. 1 when found.
int PresetUrlFromFile(BrowserLink *link, int openedLocally, const char *lastFile, char *url, size_t room);

// The URL made safe to travel inside a double-quoted argument or DDE item: every
// double quote and control character becomes its %XX escape. 0 when it does not fit.
int quotedUrlText(const char *url, char *out, size_t room);

// The WWW_OpenURL item for a URL (already made safe); 0 when it does not fit.
int openUrlItem(const char *url, char *out, size_t room);

// The command with every "%1" replaced by the text, nothing else changed (a "%" of
// any other kind stays as it is); 0 when the result does not fit.
int fillCommand(const char *command, const char *text, char *out, size_t room);

#if defined(_WIN32)
// The tables bound to the platform's DDE library and process start. The client's
// callback (a PFNCALLBACK answering nothing) is the program's own, or the binding's
// when null.
const DdeApi *platformDde(void *clientCallback);
const ShellApi *platformShell(void);
#endif

#endif
