// libFuzzer target over what the language registry may hold: the input's first line is
// Locale's text, the second a library count, the third four translation bytes, the
// rest library file names, one a line, registered under the language Locale names.
// A look-up and a satellite registration then run over that registry in memory.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/language_libraries.h"
#include "common/tests/memory_registry.h"

namespace {

std::vector<std::string> loadedNames;

void *load(const char *name) {
  loadedNames.push_back(name);
  return (void *)(uintptr_t)loadedNames.size();
}
void release(void *) {}
const LanguageModuleApi kModules = {load, release};

int acceptNone(void *, void *) { return 0; }

int g_language = -1;
int languageOf(void *, const char *) { return g_language; }
int currentDirectory(void *, char *out, size_t room) {
  snprintf(out, room, "C:\\work\\");
  return 1;
}
int changeDirectory(void *, const char *) { return 1; }
void logKey(void *, const char *key) { (void)strlen(key); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string in((const char *)data, size);
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= in.size() && lines.size() < 40) {
    size_t nl = in.find('\n', at);
    if (nl == std::string::npos) nl = in.size();
    lines.push_back(in.substr(at, nl - at).c_str());  // stop at an embedded zero
    at = nl + 1;
  }
  while (lines.size() < 3) lines.push_back("");

  MemoryRegistry registry;
  const RegistryApi *api = registry.api();
  registryWriteText(api, kClassesRoot, kLocaleKey, nullptr, lines[0].c_str());
  int language = parseLanguageId(lines[0].c_str());
  for (size_t i = 3; i < lines.size(); ++i) {
    char key[600];
    if (languageLibraryKeyPath(language, lines[i].c_str(), key, sizeof key))
      registryWriteText(api, kClassesRoot, key, nullptr, lines[1].c_str());
  }
  g_language = languageFromTranslation(lines[2].data(), lines[2].size());

  LanguageLookup lookup;
  loadedNames.clear();
  languageInit(&lookup, api, &kModules);
  void *module;
  languageFind(&lookup, acceptNone, nullptr, &module);
  SatelliteHost host = {nullptr, languageOf, currentDirectory, changeDirectory, logKey};
  std::string path = "C:\\setup\\" + (lines.size() > 3 ? lines[3] : std::string("x.dll"));
  languageRegisterSatellite(&lookup, &host, path.c_str(), 0);
  languageRegisterSatellite(&lookup, &host, path.c_str(), 1);
  languageUnload(&lookup);
  return 0;
}
