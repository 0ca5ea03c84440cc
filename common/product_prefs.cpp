// The player's preference store: product key path, vocabulary and the reads and
// writes of preference values under HKEY_CLASSES_ROOT.
#include "common/product_prefs.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "common/tx_util.h"

const char kMakerCompany[] = "Orvane Labs, Inc.";
const char kUninstallKeyRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const PreferenceName kPreferenceVocabulary[] = {
    {"NetworkLatency", "3000"},
    {"RivovuzUdavMode", "0"},
    {"RivovuzUdavTime", "30"},
    {"HurledURL", "0"},
    {"URLtoHurl", ""},
    {"HTTPProxyPort", "0"},
    {"HTTPProxyHost", ""},
    {"EndScan", "150"},
    {"Scan", " "},
    {"Scan1", " "},
    {"Presets", " "},
    {"Presets1", " "},
    {"ShowPresets", "1"},
    {"MaxClipCount", "4"},
    {"Clips", ""},
    {"Clips1", ""},
    {"Sites", ""},
    {"Sites1", ""},
    {"Bandwidth", "28800"},
    {"MultiplePlayer", "0"},
    {"SyncMultimedia", "1"},
    {"SplitterPort", " "},
    {"SplitterHost", " "},
    {"UseSplitter", "0"},
    {"UDPPort", "7070"},
    {"UseUDPPort", "0"},
    {"ReceiveTCP", "0"},
    {"AudioQuality", "0"},
    {"NotProxy", ""},
    {"NotProxy1", ""},
    {"HttpPort", "0"},
    {"HttpHost", ""},
    {"ProxySupport", "0"},
    {"CyclesPerPeriod", " "},
    {"FilePeriod", " "},
    {"NetPeriod", " "},
    {"SeekLine", "20"},
    {"SeekPage", " "},
    {"RampBlocks", " "},
    {"AcceptableLoss", " "},
    {"ServerTimeOut", "90"},
    {"SendStatistics", "1"},
    {"LossCorrection", "1"},
    {"BitsPerSample", "16"},
    {"SamplingRate", "0"},
    {"InfoandVolume", "1"},
    {"StatusBar", "1"},
    {"y", "0"},
    {"x", "0"},
    {"OnTop", "0"},
    {"DefPort", "7070"},
    {"Volume", "50"},
    {"LastURL", " "},
    {"Browser", " "},
    {"Browser1", " "},
    {"Not an entry", "0"},
};
const int kPreferenceCount = (int)ARRAY_SIZE(kPreferenceVocabulary) - 1;
static_assert(ARRAY_SIZE(kPreferenceVocabulary) == 56, "55 preferences and the sentinel");

const PreferenceName *findPreference(const char *name) {
  for (int i = 0; i < kPreferenceCount; ++i)
    if (strcasecmp(kPreferenceVocabulary[i].name, name) == 0) return &kPreferenceVocabulary[i];
  return &kPreferenceVocabulary[kPreferenceCount];
}

static int putText(char *out, size_t room, const char *text) {
  size_t n = strlen(text);
  if (n + 1 > room) {
    if (room) out[0] = '\0';
    return 0;
  }
  memcpy(out, text, n + 1);
  return 1;
}

int buildProductKeyPath(const char *company, const char *product, const char *version, int win32s, char *out,
                        size_t room) {
  const char *comma = strchr(company, ',');
  int companyLength = comma ? (int)(comma - company) : (int)strlen(company);
  int n = snprintf(out, room, "Software\\%.*s\\%s\\%s", companyLength, company, product, version);
  if (n < 0 || (size_t)n >= room) {
    if (room) out[0] = '\0';
    return 0;
  }
  if (win32s)
    for (char *p = out; *p; ++p)
      if (*p == ' ') *p = '_';
  return 1;
}

int keyPathParent(const char *path, int count, char *out, size_t room) {
  if (!putText(out, room, path)) return 0;
  for (int i = 0; i < count; ++i) {
    char *slash = strrchr(out, '\\');
    if (!slash) {
      out[0] = '\0';
      return 0;
    }
    *slash = '\0';
  }
  return 1;
}

int previousVersionFromCommand(const char *command, const char *productPrefix, char *version, size_t room) {
  if (room) version[0] = '\0';
  if (!productPrefix[0]) return 0;
  const char *at = strstr(command, productPrefix);
  if (!at) return 0;
  at += strlen(productPrefix);
  size_t n = 0;
  while (n < 9 && at[n] && !isspace((unsigned char)at[n])) ++n;
  if (n + 1 > room) return 0;
  memcpy(version, at, n);
  version[n] = '\0';
  return n > 0;
}

int splitPreferenceAssignment(const char *text, char *name, size_t nameRoom, char *value, size_t valueRoom) {
  const char *comma = strchr(text, ',');
  if (!comma) return 0;
  size_t n = (size_t)(comma - text);
  if (n + 1 > nameRoom || strlen(comma + 1) + 1 > valueRoom) return 0;
  memcpy(name, text, n);
  name[n] = '\0';
  strcpy(value, comma + 1);
  return 1;
}

void contentPresetSection(long speed, int choice, char *out, size_t room) {
  snprintf(out, room, speed >= 28800 ? "Content%d" : "Content14-%d", choice);
}

ProductPrefs::ProductPrefs(const RegistryApi *api, const char *registrationName, const char *version, int win32s)
    : api_(api) {
  snprintf(registrationName_, sizeof registrationName_, "%s", registrationName);
  snprintf(version_, sizeof version_, "%s", version);
  buildProductKeyPath(kMakerCompany, registrationName_, version_, win32s, keyPath_, sizeof keyPath_);
  previousKeyPath_[0] = '\0';
  snprintf(prefsPath_, sizeof prefsPath_, "%s\\Preferences", keyPath_);
}

static int readPreferenceAt(const RegistryApi *api, const char *prefsPath, const char *name, char *out, size_t room) {
  char path[kKeyPathSize + kPrefNameSize + 16];
  if (snprintf(path, sizeof path, "%s\\%s", prefsPath, name) >= (int)sizeof path) {
    if (room) out[0] = '\0';
    return 0;
  }
  return registryReadText(api, kClassesRoot, path, nullptr, out, room);
}

int ProductPrefs::readStored(const char *name, char *out, size_t room) const {
  return readPreferenceAt(api_, prefsPath_, name, out, room);
}

int ProductPrefs::read(const char *name, char *out, size_t room) const {
  if (readStored(name, out, room)) return 1;
  putText(out, room, findPreference(name)->defaultText);
  return 0;
}

int ProductPrefs::write(const char *name, const char *text) const {
  char path[kKeyPathSize + kPrefNameSize + 16];
  if (snprintf(path, sizeof path, "%s\\%s", prefsPath_, name) >= (int)sizeof path) return 0;
  return registryWriteText(api_, kClassesRoot, path, nullptr, text);
}

int ProductPrefs::readPrevious(const char *name, char *out, size_t room) const {
  if (!previousKeyPath_[0]) {
    if (room) out[0] = '\0';
    return 0;
  }
  char prefs[kKeyPathSize + 16];
  snprintf(prefs, sizeof prefs, "%s\\Preferences", previousKeyPath_);
  return readPreferenceAt(api_, prefs, name, out, room);
}

int ProductPrefs::readFamily(const char *name, char *out, size_t room) const {
  char family[kKeyPathSize], prefs[kKeyPathSize + 16];
  if (!keyPathParent(keyPath_, 2, family, sizeof family)) return 0;
  snprintf(prefs, sizeof prefs, "%s\\Preferences", family);
  return readPreferenceAt(api_, prefs, name, out, room);
}

int ProductPrefs::writeFamily(const char *name, const char *text) const {
  char family[kKeyPathSize], path[kKeyPathSize + kPrefNameSize + 16];
  if (!keyPathParent(keyPath_, 2, family, sizeof family)) return 0;
  if (snprintf(path, sizeof path, "%s\\Preferences\\%s", family, name) >= (int)sizeof path) return 0;
  return registryWriteText(api_, kClassesRoot, path, nullptr, text);
}

void ProductPrefs::findPrevious(char *command, size_t commandRoom, char *directory, size_t directoryRoom) {
  char uninstallKey[kKeyPathSize + kRegistrationNameSize];
  snprintf(uninstallKey, sizeof uninstallKey, "%s%s", kUninstallKeyRoot, registrationName_);
  registryReadText(api_, kClassesRoot, uninstallKey, nullptr, command, commandRoom);
  if (directoryRoom) directory[0] = '\0';
  if (!command[0]) return;
  char prefix[kKeyPathSize], version[kVersionTextSize];
  if (!keyPathParent(keyPath_, 1, prefix, sizeof prefix - 1)) return;
  strcat(prefix, "\\");
  if (!previousVersionFromCommand(command, prefix, version, sizeof version)) return;
  if (snprintf(previousKeyPath_, sizeof previousKeyPath_, "%s%s", prefix, version) >= (int)sizeof previousKeyPath_) {
    previousKeyPath_[0] = '\0';
    return;
  }
  registryReadText(api_, kClassesRoot, previousKeyPath_, nullptr, directory, directoryRoom);
}

long ProductPrefs::installCount() const {
  char text[10];
  registryReadText(api_, kClassesRoot, prefsPath_, nullptr, text, sizeof text);
  return strtol(text, nullptr, 10);
}

long ProductPrefs::raiseInstallCount() const {
  api_->createKey(kClassesRoot, keyPath_);
  long count = installCount() + 1;
  char text[24];
  snprintf(text, sizeof text, "%ld", count);
  registryWriteText(api_, kClassesRoot, prefsPath_, nullptr, text);
  return count;
}

int ProductPrefs::writeInstallDirectory(const char *directory) const {
  if (!api_->keyExists(kClassesRoot, keyPath_)) return 0;
  return registryWriteText(api_, kClassesRoot, keyPath_, nullptr, directory);
}

int ProductPrefs::copyPrevious() const {
  if (!previousKeyPath_[0] || strcasecmp(previousKeyPath_, keyPath_) == 0) return 0;
  char prefs[kKeyPathSize + 16];
  snprintf(prefs, sizeof prefs, "%s\\Preferences", previousKeyPath_);
  if (!api_->keyExists(kClassesRoot, prefs)) return 0;
  int copied = 0;
  char name[kPrefNameSize], value[kPrefValueSize];
  for (int i = 0; api_->subkeyName(kClassesRoot, prefs, i, name, sizeof name); ++i) {
    readPreferenceAt(api_, prefs, name, value, sizeof value);
    if (write(name, value)) ++copied;
  }
  return copied;
}
