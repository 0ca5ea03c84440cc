// TXSETUP (Windows): the browser-check library bound by name, the platform's
// find-executable call and the current HTML handler from the registry.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>

#include "setup/browser_pages.h"
#include "setup/setup_app.h"

const char kBrowserLibraryName[] = "checkwb.dll";

template <typename Fn>
static Fn exportOf(HMODULE module, const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

int loadBrowserLibrary(const char *path, BrowserLibrary *library) {
  memset(library, 0, sizeof *library);
  HMODULE module = LoadLibraryA(path);
  if ((uintptr_t)module <= 31) return 0;
  library->module = module;
  library->openConfigurationProcess = exportOf<OpenConfigurationFn>(module, "OpenConfigurationProcess");
  library->getFoundBrowsers = exportOf<BrowserListFn>(module, "GetFoundBrowsers");
  library->getNotFoundBrowsers = exportOf<BrowserListFn>(module, "GetNotFoundBrowsers");
  library->setBrowserAsFound = exportOf<SetBrowserAsFoundFn>(module, "SetBrowserAsFound");
  library->configureBrowser = exportOf<ConfigureBrowserFn>(module, "ConfigureBrowser");
  library->closeConfigurationProcess = exportOf<CloseConfigurationFn>(module, "CloseConfigurationProcess");
  return 1;
}

static long findExecutable(void *, const char *file, char *out, size_t room) {
  char result[MAX_PATH] = "";
  if (!file || !file[0]) return 2;
  long code = (long)(INT_PTR)FindExecutableA(file, nullptr, result);
  snprintf(out, room, "%s", result);
  return code;
}

const ExecutableFinder *platformExecutableFinder(void) {
  static const ExecutableFinder finder = {nullptr, findExecutable};
  return &finder;
}

void readHtmlHandler(char *out, size_t room) {
  char handlerClass[kPathSize] = "", path[kPathSize + 32], command[kPathSize * 2] = "";
  out[0] = '\0';
  if (!registryReadText(g_app.registry, kClassesRoot, ".HTM", nullptr, handlerClass, sizeof handlerClass) ||
      !handlerClass[0])
    registryReadText(g_app.registry, kClassesRoot, ".HTML", nullptr, handlerClass, sizeof handlerClass);
  if (!handlerClass[0]) return;
  snprintf(path, sizeof path, "%s\\shell\\open\\command", handlerClass);
  if (!registryReadText(g_app.registry, kClassesRoot, path, nullptr, command, sizeof command) || !command[0]) return;
  handlerProgram(command, out, room);
}
