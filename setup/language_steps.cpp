// TXSETUP (Windows): the installer's language steps: the look-up bound to the run's
// registry, the setup's own Satellite library imported at the start of the run, and
// the libraries of SATELLITE groups registered as they are installed.
#include <windows.h>

#include <stdio.h>

#include "common/language_resources.h"
#include "setup/setup_app.h"

void prepareLanguages(void) {
  // Through the run's journal: a failed run puts the language keys back as well.
  languageUseRegistry(g_app.registry);
}

void importSetupSatellite(void) {
  char name[13];
  if (!scriptText(&g_app.script, "Default Setting", "Satellite", name, sizeof name) || !name[0]) return;
  char path[kPathSize + 16];
  int n = snprintf(path, sizeof path, "%s%s", g_app.setupDirectory, name);
  if (n < 0 || (size_t)n >= sizeof path || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  registerSatellite(path, 1, nullptr, nullptr);
}

static void logSharedKey(void *, const char *keyPath) {
  g_app.state->log.add(kLogSharedKeys, keyPath, "HKEY_CLASSES_ROOT");
}

void registerGroupSatellite(const char *destination) { registerSatellite(destination, 0, logSharedKey, nullptr); }
