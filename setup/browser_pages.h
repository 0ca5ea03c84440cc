// TXSETUP (Windows): browser configuration through the browser-check library
// checkwb.dll: loading it and its exports, the wizard's browser pages (6 to 9) and
// the installation step that configures the selected browsers and the default HTML
// handler.
#ifndef SETUP_BROWSER_PAGES_H
#define SETUP_BROWSER_PAGES_H

#include <windows.h>

#include "setup/browser_record.h"
#include "setup/browser_rules.h"

// The library's exports, found by name; each takes its arguments on the stack and
// removes them itself (WINAPI). A missing export is a null entry.
typedef int(WINAPI *OpenConfigurationFn)(const ConfigurationStart *start);
typedef BrowserRecord *(WINAPI *BrowserListFn)(void);
typedef int(WINAPI *SetBrowserAsFoundFn)(BrowserRecord *record, HWND dialog);
typedef int(WINAPI *ConfigureBrowserFn)(BrowserRecord *record, const char *destination);
typedef int(WINAPI *CloseConfigurationFn)(void);

struct BrowserLibrary {
  HMODULE module;
  OpenConfigurationFn openConfigurationProcess;
  BrowserListFn getFoundBrowsers;
  BrowserListFn getNotFoundBrowsers;
  SetBrowserAsFoundFn setBrowserAsFound;
  ConfigureBrowserFn configureBrowser;
  CloseConfigurationFn closeConfigurationProcess;
};

extern const char kBrowserLibraryName[];  // "checkwb.dll"

// browser_library.cpp
// Loads the library at path and finds its exports; 0 when it does not load (the
// table is then empty). Exports may still be missing.
int loadBrowserLibrary(const char *path, BrowserLibrary *library);
// The platform's find-executable call as the rules use it.
const ExecutableFinder *platformExecutableFinder(void);
// The program of the current ".htm" (else ".html") handler's open command, cut after
// ".exe"; empty when any read fails.
void readHtmlHandler(char *out, size_t room);

// browser_pages.cpp
// Start of the run, with [Default Setting] CheckWebBrowsers: loads the library from
// the setup directory, opens its configuration process and reads the current HTML
// handler. 0 after error 3297 (the run then fails); 1 otherwise, also without the
// setting.
int openBrowserLibrary(HWND mainWindow);
// Whether wizard page 6, 7, 8 or 9 applies now.
int browserPageApplicable(int page);
// Shows wizard page 6 to 9 (page 7 once for each browser it applies to); cameBy is
// the button that led there. Returns the button that left it (Back, Next, Finish),
// or 0 when the wizard ends unsuccessfully.
int showBrowserPage(HWND owner, int page, int cameBy);
// Installation step: the default HTML handler, HurledURL, ConfigureBrowser for each
// selected browser, CloseConfigurationProcess. 0 when the installation fails.
int configureBrowsers(HWND mainWindow);

#endif
