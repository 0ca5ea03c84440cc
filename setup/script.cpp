// The script's key table and its reads.
#include "setup/script.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "common/tx_util.h"

const ScriptKey kScriptKeys[] = {
    {"Default Setting", "Caption", 260, "Setup"},
    {"Default Setting", "BackgroundText", 50, ""},
    {"Default Setting", "DestName", 100, ""},
    {"Default Setting", "ProductName", 100, ""},
    {"Default Setting", "RegistrationName", 100, ""},
    {"Default Setting", "MainExe", 100, ""},
    {"Default Setting", "MainVersion", 10, "0.0"},
    {"Default Setting", "Satellite", 13, ""},
    {"Default Setting", "NoWin32s", 0, "0"},
    {"Default Setting", "DetectWaveDriver", 0, "1"},
    {"Default Setting", "CheckWebBrowsers", 0, "0"},
    {"Default Setting", "AskBandwidth", 0, "0"},
    {"Default Setting", "AskContents", 0, "0"},
    {"Default Setting", "Sondrel", 0, "0"},
    {"Default Setting", "SondrellBaseURL", 310, ""},
    {"Default Setting", "RegisterExtensions", 0, "0"},
    {"Default Setting", "ReadMeFileName", 31, ""},
    {"Default Setting", "ReadMeReplacement", 31, ""},
    {"INI File", "INI", 13, ""},
    {"INI File", "Install11", 0, "0"},
    {"INI File", "Preference%d", 300, ""},
    {"INI File", "Group%d", 50, ""},
    {"INI File", "Item%d_%d", 50, ""},
    {"Unload", "Caption%d", 100, ""},
    {"File Groups", "Group%d", 200, ""},
    {"File Groups", "RegisteredSpace", 11, "0"},
    {"File Groups", "SelfSpace", 11, "0"},
    {"Old Files", "File%d", 260, ""},
    {"Old Files", "RegPath", 260, ""},
    {"Progman Group", "Name", 100, ""},
    {"Progman Group", "Item%d", 100, ""},
    {"Uninstaller", "ItemName", 256, ""},
    {"SelfReg", "File%d", 31, ""},
    {"Launch", "L%d", 100, ""},
};
const int kScriptKeyCount = (int)ARRAY_SIZE(kScriptKeys);

// Whether key matches a name pattern whose "%d" stand for runs of digits.
static int matchesPattern(const char *pattern, const char *key) {
  while (*pattern) {
    if (pattern[0] == '%' && pattern[1] == 'd') {
      if (*key < '0' || *key > '9') return 0;
      while (*key >= '0' && *key <= '9') ++key;
      pattern += 2;
    } else {
      char a = *pattern >= 'A' && *pattern <= 'Z' ? (char)(*pattern + 32) : *pattern;
      char b = *key >= 'A' && *key <= 'Z' ? (char)(*key + 32) : *key;
      if (a != b) return 0;
      ++pattern;
      ++key;
    }
  }
  return *key == '\0';
}

const ScriptKey *findScriptKey(const char *section, const char *key) {
  for (int i = 0; i < kScriptKeyCount; ++i)
    if (strcasecmp(kScriptKeys[i].section, section) == 0 && matchesPattern(kScriptKeys[i].key, key))
      return &kScriptKeys[i];
  return nullptr;
}

void scriptPathFor(const char *moduleFileName, char *out, size_t room) {
  const char *slash = strrchr(moduleFileName, '\\');
  size_t dir = slash ? (size_t)(slash - moduleFileName) + 1 : 0;
  static const char kName[] = "txsetup.inf";
  if (dir + sizeof kName > kPathSize || dir + sizeof kName > room) {
    if (room) out[0] = '\0';
    return;
  }
  memcpy(out, moduleFileName, dir);
  memcpy(out + dir, kName, sizeof kName);
}

int scriptText(const SetupScript *s, const char *section, const char *key, char *out, size_t room) {
  if (room == 0) return 0;
  const ScriptKey *entry = findScriptKey(section, key);
  size_t keep = room;
  if (entry && entry->size > 0 && (size_t)entry->size < keep) keep = (size_t)entry->size;
  int present = s->path[0] ? s->api->read(s->api->context, s->path, section, key, out, keep) : 0;
  if (!present) {
    out[0] = '\0';
    if (entry) snprintf(out, keep, "%s", entry->defaultText);
  }
  return present;
}

long scriptNumber(const SetupScript *s, const char *section, const char *key) {
  const ScriptKey *entry = findScriptKey(section, key);
  long fallback = entry ? strtol(entry->defaultText, nullptr, 10) : 0;
  char text[32];
  if (!s->path[0] || !s->api->read(s->api->context, s->path, section, key, text, sizeof text)) return fallback;
  char *end = nullptr;
  long value = strtol(text, &end, 10);
  return end == text ? fallback : value;
}

int scriptNumbered(const SetupScript *s, const char *section, const char *pattern, int n, char *out, size_t room) {
  char key[64];
  snprintf(key, sizeof key, pattern, n);
  return scriptText(s, section, key, out, room);
}
