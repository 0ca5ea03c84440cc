// The language look-up bound to Windows: libraries loaded with LoadLibraryA, the
// resource look-ups in the look-up order, the fonts a library supplies, the language
// of a library from its version resource, and the current directory for imports.
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "common/language_resources.h"

static void *bindLoad(const char *fileName) {
  HMODULE module = LoadLibraryA(fileName);
  // Only handles above 32 are libraries; lower values are load errors of old.
  if ((uintptr_t)module <= 32) return nullptr;
  return module;
}

static void bindRelease(void *module) { FreeLibrary((HMODULE)module); }

static const LanguageModuleApi kModules = {bindLoad, bindRelease};

static LanguageLookup g_lookup;
static int g_ready;

static LanguageLookup *lookup(void) {
  if (!g_ready) {
    languageInit(&g_lookup, platformRegistry(), &kModules);
    g_ready = 1;
  }
  return &g_lookup;
}

void languageUseRegistry(const RegistryApi *registry) { lookup()->registry = registry; }

LanguageLookup *languageLibraries(void) { return lookup(); }

int languageChanged(void) { return languageRefresh(lookup()); }

// The module an accept callback was offered: a library, or the program.
static HINSTANCE moduleOr(void *module, HINSTANCE program) { return module ? (HINSTANCE)module : program; }

struct StringSearch {
  HINSTANCE program;
  UINT id;
  char *out;
  int room;
};

static int acceptString(void *module, void *context) {
  StringSearch *s = (StringSearch *)context;
  return LoadStringA(moduleOr(module, s->program), s->id, s->out, s->room) > 0;
}

int languageLoadString(HINSTANCE program, UINT id, char *out, int room) {
  if (room <= 0) return 0;
  StringSearch s = {program, id, out, room};
  void *module;
  if (languageFind(lookup(), acceptString, &s, &module)) return 1;
  out[0] = '\0';
  return 0;
}

struct ResourceSearch {
  HINSTANCE program;
  LPCSTR name;
  LPCSTR type;
};

static int acceptResource(void *module, void *context) {
  ResourceSearch *s = (ResourceSearch *)context;
  return FindResourceA(moduleOr(module, s->program), s->name, s->type) != nullptr;
}

// The module holding a resource of that type and name; NULL when none does.
static HINSTANCE findModule(HINSTANCE program, LPCSTR name, LPCSTR type) {
  ResourceSearch s = {program, name, type};
  void *module;
  if (!languageFind(lookup(), acceptResource, &s, &module)) return nullptr;
  return moduleOr(module, program);
}

HBITMAP languageLoadBitmap(HINSTANCE program, LPCSTR name) {
  HINSTANCE module = findModule(program, name, (LPCSTR)RT_BITMAP);
  return module ? (HBITMAP)LoadImageA(module, name, IMAGE_BITMAP, 0, 0, 0) : nullptr;
}

HICON languageLoadIcon(HINSTANCE program, LPCSTR name) {
  HINSTANCE module = findModule(program, name, (LPCSTR)RT_GROUP_ICON);
  return module ? LoadIconA(module, name) : nullptr;
}

HMENU languageLoadMenu(HINSTANCE program, LPCSTR name) {
  HINSTANCE module = findModule(program, name, (LPCSTR)RT_MENU);
  return module ? LoadMenuA(module, name) : nullptr;
}

int languageFindDialog(HINSTANCE program, LPCSTR name, HINSTANCE *module, LPCDLGTEMPLATEA *dialogTemplate) {
  *module = nullptr;
  *dialogTemplate = nullptr;
  HINSTANCE holder = findModule(program, name, (LPCSTR)RT_DIALOG);
  if (!holder) return 0;
  HRSRC resource = FindResourceA(holder, name, (LPCSTR)RT_DIALOG);
  HGLOBAL loaded = resource ? LoadResource(holder, resource) : nullptr;
  const void *data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return 0;
  *module = holder;
  *dialogTemplate = (LPCDLGTEMPLATEA)data;
  return 1;
}

INT_PTR languageDialogBox(HINSTANCE program, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter) {
  HINSTANCE module;
  LPCDLGTEMPLATEA dialogTemplate;
  if (!languageFindDialog(program, name, &module, &dialogTemplate)) return -1;
  return DialogBoxIndirectParamA(module, dialogTemplate, owner, procedure, parameter);
}

HWND languageCreateDialog(HINSTANCE program, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter) {
  HINSTANCE module;
  LPCDLGTEMPLATEA dialogTemplate;
  if (!languageFindDialog(program, name, &module, &dialogTemplate)) return nullptr;
  return CreateDialogIndirectParamA(module, dialogTemplate, owner, procedure, parameter);
}

struct ExportSearch {
  const char *name;
  FARPROC found;
};

static int acceptExport(void *module, void *context) {
  ExportSearch *s = (ExportSearch *)context;
  if (!module) return 0;  // the program's fonts are the platform's
  s->found = GetProcAddress((HMODULE)module, s->name);
  return s->found != nullptr;
}

static FARPROC libraryExport(const char *name) {
  ExportSearch s = {name, nullptr};
  void *module;
  return languageFind(lookup(), acceptExport, &s, &module) ? s.found : nullptr;
}

HFONT languageCreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  CreateFontExport create = (CreateFontExport)(void (*)(void))libraryExport("Create_Font");
  if (create)
    return create(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                  outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
  return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
}

HGDIOBJ languageStockFont(int index) {
  LoadFontExport load = (LoadFontExport)(void (*)(void))libraryExport("Load_Font");
  if (load) return load(index);
  return GetStockObject(index);
}

int languageOfFile(const char *path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return -1;
  void *info = malloc(size);
  int language = -1;
  void *value = nullptr;
  UINT length = 0;
  if (info && GetFileVersionInfoA(path, 0, size, info) &&
      VerQueryValueA(info, "\\VarFileInfo\\Translation", &value, &length))
    language = languageFromTranslation(value, length);
  free(info);
  return language;
}

struct HostContext {
  void (*log)(void *context, const char *keyPath);
  void *context;
};

static int hostLanguageOf(void *, const char *path) { return languageOfFile(path); }

static int hostCurrentDirectory(void *, char *out, size_t room) {
  DWORD n = GetCurrentDirectoryA((DWORD)room, out);
  return n > 0 && n < room;
}

static int hostChangeDirectory(void *, const char *directory) { return SetCurrentDirectoryA(directory) != 0; }

static void hostLog(void *context, const char *keyPath) {
  HostContext *h = (HostContext *)context;
  if (h->log) h->log(h->context, keyPath);
}

int registerSatellite(const char *path, int importMode, void (*logSharedKey)(void *context, const char *keyPath),
                      void *context) {
  HostContext h = {logSharedKey, context};
  SatelliteHost host = {&h, hostLanguageOf, hostCurrentDirectory, hostChangeDirectory, hostLog};
  return languageRegisterSatellite(lookup(), &host, path, importMode);
}

void languageRelease(void) { languageUnload(lookup()); }
