// The language registry, the loaded language and the look-up order of the language
// libraries; portable over a RegistryApi and a LanguageModuleApi.
#include "common/language_libraries.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"

const char kLanguagesKey[] = "Software\\Orvane Labs\\Languages";
const char kLocaleKey[] = "Software\\Orvane Labs\\Languages\\Locale";
const char kLanguages32Key[] = "Software\\Orvane Labs\\Languages\\32bit";

enum { kCountTextSize = 24, kKeySize = 400, kCountMax = 1000000000 };

// The code pages a version resource's translation may name: Unicode and the ANSI
// code pages of the Windows families this product runs on.
static const unsigned kCodePages[] = {874,  932,  936,  949,  950,  1200, 1250, 1251,
                                      1252, 1253, 1254, 1255, 1256, 1257, 1258};
static_assert(ARRAY_SIZE(kCodePages) == 15, "code page table");

int isTranslationCodePage(unsigned codePage) {
  for (unsigned c : kCodePages)
    if (c == codePage) return 1;
  return 0;
}

int languageFromTranslation(const void *data, size_t size) {
  if (!data || size != 4) return -1;
  const unsigned char *b = (const unsigned char *)data;
  unsigned language = (unsigned)b[0] | (unsigned)b[1] << 8;
  unsigned codePage = (unsigned)b[2] | (unsigned)b[3] << 8;
  if (!isTranslationCodePage(codePage)) return -1;
  return (int)language;
}

int parseLanguageId(const char *text) {
  if (!text) return kDefaultLanguage;
  while (*text == ' ' || *text == '\t') ++text;
  if (*text < '0' || *text > '9') return kDefaultLanguage;
  long value = 0;
  while (*text >= '0' && *text <= '9') {
    value = value * 10 + (*text++ - '0');
    if (value > 65535) return kDefaultLanguage;
  }
  while (*text == ' ' || *text == '\t') ++text;
  return *text ? kDefaultLanguage : (int)value;
}

int languageKeyPath(int language, char *out, size_t room) {
  int n = snprintf(out, room, "%s\\%d", kLanguages32Key, language);
  if (n < 0 || (size_t)n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}

int languageLibraryKeyPath(int language, const char *fileName, char *out, size_t room) {
  int n = snprintf(out, room, "%s\\%d\\%s", kLanguages32Key, language, fileName);
  if (n < 0 || (size_t)n >= room || !fileName[0] || strchr(fileName, '\\')) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}

void languageInit(LanguageLookup *l, const RegistryApi *registry, const LanguageModuleApi *modules) {
  l->registry = registry;
  l->modules = modules;
  l->language = kNoLanguage;
  l->count = 0;
  for (void *&m : l->loaded) m = nullptr;
}

int languageLocale(const LanguageLookup *l) {
  char text[kCountTextSize];
  if (!registryReadText(l->registry, kClassesRoot, kLocaleKey, nullptr, text, sizeof text)) return kDefaultLanguage;
  return parseLanguageId(text);
}

void languageUnload(LanguageLookup *l) {
  for (int i = 0; i < l->count; ++i)
    if (l->loaded[i]) l->modules->release(l->loaded[i]);
  l->count = 0;
  l->language = kNoLanguage;
}

void languageSwitch(LanguageLookup *l, int language) {
  if (language == l->language) return;
  languageUnload(l);
  char key[kKeySize];
  if (languageKeyPath(language, key, sizeof key)) {
    char name[kLanguageFileNameSize];
    for (int i = 0;
         l->count < kMaxLanguageLibraries && l->registry->subkeyName(kClassesRoot, key, i, name, sizeof name); ++i) {
      void *module = l->modules->load(name);
      if (module) l->loaded[l->count++] = module;
    }
  }
  if (languageLocale(l) != language) {
    char text[kCountTextSize];
    snprintf(text, sizeof text, "%d", language);
    registryWriteText(l->registry, kClassesRoot, kLocaleKey, nullptr, text);
  }
  l->language = language;
}

int languageRefresh(LanguageLookup *l) {
  int wanted = languageLocale(l);
  if (wanted == l->language) return 0;
  languageSwitch(l, wanted);
  return 1;
}

int languageFind(LanguageLookup *l, int (*accept)(void *module, void *context), void *context, void **module) {
  languageRefresh(l);
  for (int i = 0; i < l->count; ++i)
    if (accept(l->loaded[i], context)) {
      *module = l->loaded[i];
      return 1;
    }
  if (accept(nullptr, context)) {
    *module = nullptr;
    return 1;
  }
  *module = nullptr;
  return 0;
}

// Adds `more` to the decimal count a key keeps (0 when it has none), creating it.
static int raiseCount(const RegistryApi *registry, const char *key, int more, long *result) {
  char text[kCountTextSize];
  long count = 0;
  if (registryReadText(registry, kClassesRoot, key, nullptr, text, sizeof text)) {
    count = strtol(text, nullptr, 10);
    if (count < 0) count = 0;
    if (count > kCountMax) count = kCountMax;  // a damaged count never overflows
  }
  count += more;
  *result = count;
  snprintf(text, sizeof text, "%ld", count);
  return registry->createKey(kClassesRoot, key) && registryWriteText(registry, kClassesRoot, key, nullptr, text);
}

static const char *fileNameOf(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return name;
}

int languageRegisterSatellite(LanguageLookup *l, const SatelliteHost *host, const char *path, int importMode) {
  int language = host->languageOf(host->context, path);
  if (language < 0) return kSatelliteNotRegistered;
  char languageKey[kKeySize], fileKey[kKeySize];
  if (!languageKeyPath(language, languageKey, sizeof languageKey) ||
      !languageLibraryKeyPath(language, fileNameOf(path), fileKey, sizeof fileKey))
    return kSatelliteNotRegistered;
  int more = importMode ? 0 : 1;
  long languageCount = 0, fileCount = 0;
  if (!raiseCount(l->registry, languageKey, more, &languageCount)) return kSatelliteNotRegistered;
  if (!raiseCount(l->registry, fileKey, more, &fileCount)) return kSatelliteNotRegistered;
  if (!importMode) {
    if (host->logSharedKey) {
      host->logSharedKey(host->context, fileKey);
      host->logSharedKey(host->context, languageKey);
    }
    return kSatelliteRegistered;
  }
  // The library loads by its bare name: from its own directory, made current for the
  // switch. It is loaded afresh even when its language is already the loaded one, so
  // that a library registered just now is among the loaded.
  char before[kKeySize];
  int haveBefore = host->currentDirectory(host->context, before, sizeof before);
  char directory[kKeySize] = "";
  size_t directoryLength = (size_t)(fileNameOf(path) - path);
  if (directoryLength < sizeof directory) {
    memcpy(directory, path, directoryLength);
    directory[directoryLength] = '\0';
  }
  if (directory[0]) host->changeDirectory(host->context, directory);
  languageUnload(l);
  languageSwitch(l, language);
  if (haveBefore) host->changeDirectory(host->context, before);
  if (fileCount == 0) l->registry->deleteTree(kClassesRoot, fileKey);
  return kSatelliteRegistered;
}
