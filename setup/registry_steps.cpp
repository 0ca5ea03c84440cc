// TXSETUP (Windows): the registry and preference steps of the installation: file
// types, preferences from the script, first-start page and content presets, the
// uninstall command, the application path, shared-file counts, self-registration,
// the read-me token, the old INI file's migration and the clean-up of version 2.0.
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "setup/setup_app.h"

static const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
static const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

static void logKey(const char *path, RegistryRoot root) {
  g_app.state->log.add(kLogKeys, path, registryRootName(root));
}

void registerFileType(const char *extension, const char *className, const char *program, const char *description,
                      int log) {
  const RegistryApi *r = g_app.registry;
  char path[kPathSize + 40], value[kPathSize + 8];
  registryWriteText(r, kClassesRoot, extension, nullptr, className);
  registryWriteText(r, kClassesRoot, className, nullptr, description);
  snprintf(path, sizeof path, "%s\\DefaultIcon", className);
  snprintf(value, sizeof value, "%s,0", program);
  registryWriteText(r, kClassesRoot, path, nullptr, value);
  snprintf(path, sizeof path, "%s\\shell\\open\\command", className);
  snprintf(value, sizeof value, "%s %%1", program);
  registryWriteText(r, kClassesRoot, path, nullptr, value);
  if (!log) return;
  logKey(extension, kClassesRoot);
  static const char *const kLogged[] = {"\\shell\\open\\command", "\\shell\\open", "\\shell", "\\DefaultIcon", ""};
  for (const char *tail : kLogged) {
    snprintf(path, sizeof path, "%s%s", className, tail);
    logKey(path, kClassesRoot);
  }
}

void registerFileTypes(void) {
  InstallState *s = g_app.state;
  char program[kPathSize * 2];
  snprintf(program, sizeof program, "%s%s", s->destination, baseNameOf(s->mainExe));
  static const char *const kTypes[4][2] = {
      {".tx", "tx,txmfile"}, {".txm", "tx,txmfile"}, {".tx", "txmfile"}, {".txm", "txmfile"}};
  for (const auto &t : kTypes) registerFileType(t[0], t[1], program, "Tessavox Files", 1);
}

void writeScriptPreferences(void) {
  InstallState *s = g_app.state;
  char text[300], name[kPrefNameSize], value[300];
  for (int n = 1; scriptNumbered(&g_app.script, "INI File", "Preference%d", n, text, sizeof text); ++n)
    if (splitPreferenceAssignment(text, name, sizeof name, value, sizeof value)) s->prefs->write(name, value);
  if (scriptNumber(&g_app.script, "INI File", "Install11")) s->prefs->write("SamplingRate", "11025");
  if (scriptNumber(&g_app.script, "Default Setting", "AskBandwidth")) {
    char speed[24];
    snprintf(speed, sizeof speed, "%ld", s->speed);
    s->prefs->write("Bandwidth", speed);
  }
}

void writeFirstStartAndPresets(void) {
  InstallState *s = g_app.state;
  char url[310];
  if (scriptText(&g_app.script, "Default Setting", "SondrellBaseURL", url, sizeof url) && url[0]) {
    s->prefs->write("URLtoHurl", url);
    s->prefs->write("HurledURL", "0");
  }
  char section[32], preset[199], name[24], existing[kPrefValueSize];
  contentPresetSection(s->speed, s->contentChoice, section, sizeof section);
  for (int n = 1; scriptNumbered(&g_app.script, section, "Presets%d", n, preset, sizeof preset); ++n) {
    snprintf(name, sizeof name, "Presets%d", n);
    if (s->contentChoice == 5 && s->prefs->readStored(name, existing, sizeof existing) && existing[0]) continue;
    s->prefs->write(name, preset);
  }
}

void registerUninstallCommand(void) {
  InstallState *s = g_app.state;
  const RegistryApi *r = g_app.registry;
  char command[kUninstallCommandSize], key[kKeyPathSize + kRegistrationNameSize], display[128];
  snprintf(command, sizeof command, "%s %s", s->uninstallerPath, s->prefs->keyPath());
  snprintf(key, sizeof key, "%s%s", kUninstallKeyRoot, s->registrationName);
  if (s->platform == 2)
    for (char *p = key; *p; ++p)
      if (*p == ' ') *p = '_';
  registryWriteText(r, kClassesRoot, key, nullptr, command);
  logKey(key, kClassesRoot);
  snprintf(display, sizeof display, "%s %s", s->productName, s->version);
  registryWriteText(r, kLocalMachine, key, "DisplayName", display);
  registryWriteText(r, kLocalMachine, key, "UninstallString", command);
  logKey(key, kLocalMachine);
}

void registerApplicationPath(void) {
  InstallState *s = g_app.state;
  char key[kPathSize + 80], directory[kPathSize + 2];
  snprintf(key, sizeof key, "%s%s", kAppPaths, baseNameOf(s->mainExe));
  g_app.registry->createKey(kLocalMachine, key);
  registryWriteText(g_app.registry, kLocalMachine, key, nullptr, s->mainExe);
  int dir = (int)(baseNameOf(s->mainExe) - s->mainExe);
  if (dir > 0) --dir;  // without the trailing backslash
  snprintf(directory, sizeof directory, "%.*s;", dir, s->mainExe);
  registryWriteText(g_app.registry, kLocalMachine, key, "Path", directory);
  logKey(key, kLocalMachine);
}

long raiseSharedCount(const char *destination, int raise) {
  const RegistryApi *r = g_app.registry;
  char name[kPathSize];
  snprintf(name, sizeof name, "%s", destination);
  for (char *p = name; *p; ++p) *p = (char)tolower((unsigned char)*p);
  r->createKey(kLocalMachine, kSharedDlls);
  uint32_t count = 0;
  size_t size = 0;
  if (r->readValue(kLocalMachine, kSharedDlls, name, &count, sizeof count, &size) != kRegDword || size != 4) count = 0;
  if (count == 0 || raise) {
    ++count;
    r->writeValue(kLocalMachine, kSharedDlls, name, kRegDword, &count, sizeof count);
  }
  return (long)count;
}

void selfRegisterLibraries(void) {
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  char name[31];
  for (int n = 1; scriptNumbered(&g_app.script, "SelfReg", "File%d", n, name, sizeof name); ++n) {
    const char *path = installedPath(name);
    if (!path) continue;
    HMODULE library = LoadLibraryA(path);
    if ((uintptr_t)library < 32) continue;
    typedef HRESULT(STDAPICALLTYPE * RegisterFn)(void);
    RegisterFn registerServer =
        reinterpret_cast<RegisterFn>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, "DllRegisterServer")));
    if (registerServer) {
      registerServer();
      g_app.state->log.add(kLogSelfRegs, path);
    }
    FreeLibrary(library);
  }
  SetCursor(old);
}

// A name or address made into a path: blanks around it removed, a leading "file:"
// (and "//") dropped, "/" made "\".
static void cleanPath(const char *in, char *out, size_t room) {
  while (*in == ' ') ++in;
  if (strncasecmp(in, "file:", 5) == 0) {
    in += 5;
    if (strncmp(in, "//", 2) == 0) in += 2;
  }
  snprintf(out, room, "%s", in);
  size_t n = strlen(out);
  while (n > 0 && out[n - 1] == ' ') out[--n] = '\0';
  for (char *p = out; *p; ++p)
    if (*p == '/') *p = '\\';
}

void replaceReadMeToken(void) {
  char name[32], cleaned[kPathSize], token[32], url[310];
  scriptText(&g_app.script, "Default Setting", "ReadMeFileName", name, sizeof name);
  scriptText(&g_app.script, "Default Setting", "ReadMeReplacement", token, sizeof token);
  scriptText(&g_app.script, "Default Setting", "SondrellBaseURL", url, sizeof url);
  cleanPath(name, cleaned, sizeof cleaned);
  const char *path = installedPath(baseNameOf(cleaned));
  if (!path || !token[0]) return;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD size = GetFileSize(f, nullptr), got = 0;
  if (size == INVALID_FILE_SIZE || size > (64u << 20)) {
    CloseHandle(f);
    return;
  }
  char *text = (char *)malloc(size + 1);
  if (!text || !ReadFile(f, text, size, &got, nullptr) || got != size) {
    CloseHandle(f);
    free(text);
    return;
  }
  CloseHandle(f);
  text[size] = '\0';
  size_t tokenLength = strlen(token), urlLength = strlen(url), count = 0;
  for (const char *p = strstr(text, token); p; p = strstr(p + tokenLength, token)) ++count;
  size_t outSize = size + count * urlLength + 1;
  char *out = (char *)malloc(outSize);
  if (!out) {
    free(text);
    return;
  }
  size_t used = 0;
  const char *p = text;
  for (const char *at = strstr(p, token); at; at = strstr(p, token)) {
    memcpy(out + used, p, (size_t)(at - p));
    used += (size_t)(at - p);
    memcpy(out + used, url, urlLength);
    used += urlLength;
    p = at + tokenLength;
  }
  size_t rest = size - (size_t)(p - text);
  memcpy(out + used, p, rest);
  used += rest;
  f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD put;
    WriteFile(f, out, (DWORD)used, &put, nullptr);
    CloseHandle(f);
  }
  free(out);
  free(text);
}

void migrateOldIni(void) {
  char ini[13];
  if (!scriptText(&g_app.script, "INI File", "INI", ini, sizeof ini) || !ini[0]) return;
  char path[kPathSize + 16];
  snprintf(path, sizeof path, "%s\\%s", g_app.windowsDirectory, ini);
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  char section[50], key[50], value[300], existing[kPrefValueSize], pattern[32];
  for (int a = 1; scriptNumbered(&g_app.script, "INI File", "Group%d", a, section, sizeof section); ++a) {
    for (int b = 1;; ++b) {
      snprintf(pattern, sizeof pattern, "Item%d_%%d", a);
      if (!scriptNumbered(&g_app.script, "INI File", pattern, b, key, sizeof key)) break;
      if (g_app.state->prefs->readStored(key, existing, sizeof existing)) continue;
      GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
      if (value[0]) g_app.state->prefs->write(key, value);
    }
  }
  g_app.journal->setAside(path);  // deleted once the run has succeeded
}

void cleanUpVersionTwo(void) {
  const char *previous = g_app.state->prefs->previousKeyPath();
  const char *version = strrchr(previous, '\\');
  if (!previous[0] || !version || strcasecmp(version + 1, "2.0") != 0) return;
  char prefs[kKeyPathSize + 16], count[10];
  snprintf(prefs, sizeof prefs, "%s\\Preferences", previous);
  registryReadText(g_app.registry, kClassesRoot, prefs, nullptr, count, sizeof count);
  if (strtol(count, nullptr, 10) > 1) return;
  g_app.registry->deleteTree(kClassesRoot, prefs);
  g_app.registry->deleteTree(kClassesRoot, previous);
}
