// Language libraries, shared by the installer and the player: every text, picture,
// icon, menu and dialog template either program shows is looked up first in the
// libraries registered for the current language, then in the program itself.
//
// The registry (under HKEY_CLASSES_ROOT):
//   Software\Orvane Labs\Languages\Locale                    current language, decimal (missing: 1024)
//   Software\Orvane Labs\Languages\32bit\<id>                reference count, decimal
//   Software\Orvane Labs\Languages\32bit\<id>\<library file>  reference count; the subkey name is the
//                                                             library's file name, loaded by that name
//
// This header is portable: libraries are reached through a LanguageModuleApi and the
// registry through a RegistryApi. A program on Windows uses language_resources.h,
// which binds both and offers the resource look-ups (string, bitmap, icon, menu,
// dialog template, Create_Font, Load_Font) over one process-wide LanguageLookup.
#ifndef COMMON_LANGUAGE_LIBRARIES_H
#define COMMON_LANGUAGE_LIBRARIES_H

#include <stddef.h>

#include "common/registry_api.h"

enum {
  kDefaultLanguage = 1024,  // what a missing or unreadable Locale means
  kNoLanguage = -1,         // nothing loaded yet
  kMaxLanguageLibraries = 32,
  kLanguageFileNameSize = 257,  // subkey names are enumerated up to 256 characters
};

extern const char kLanguagesKey[];    // "Software\Orvane Labs\Languages"
extern const char kLocaleKey[];       // kLanguagesKey + "\Locale"
extern const char kLanguages32Key[];  // kLanguagesKey + "\32bit"

// The language of a library from its "\VarFileInfo\Translation" value: exactly four
// bytes, a little-endian language word then a code-page word that names a real
// character set. Returns the language (0..65535), or -1 when the value does not
// qualify (the library is then not a language library).
int languageFromTranslation(const void *data, size_t size);

// 1 when a version resource may name this code page for its texts: the ANSI code
// pages of Windows and Unicode (1200). 0, "no code page", is not a language.
int isTranslationCodePage(unsigned codePage);

// A language identifier stored as decimal text ("1031"); blanks around it allowed.
// Anything else (empty, signs, letters, beyond 65535) gives kDefaultLanguage.
int parseLanguageId(const char *text);

// The key of a language and of one library under it. 0 when it does not fit.
int languageKeyPath(int language, char *out, size_t room);
int languageLibraryKeyPath(int language, const char *fileName, char *out, size_t room);

// How libraries are loaded, searched and released. A module is an opaque handle;
// NULL stands for the program itself in `accept` callbacks.
struct LanguageModuleApi {
  // Loads a library by its file name (found the platform's usual way); NULL when
  // it does not load.
  void *(*load)(const char *fileName);
  void (*release)(void *module);
};

// The loaded language and its libraries, in the order the registry enumerates them.
struct LanguageLookup {
  const RegistryApi *registry;
  const LanguageModuleApi *modules;
  int language;  // kNoLanguage until the first look-up
  int count;
  void *loaded[kMaxLanguageLibraries];
};

void languageInit(LanguageLookup *l, const RegistryApi *registry, const LanguageModuleApi *modules);

// The language Locale names now (kDefaultLanguage when it is missing).
int languageLocale(const LanguageLookup *l);

// Makes `language` the loaded one: when it differs from the loaded language, frees
// every loaded library, loads each file named under its key (a library that does not
// load is skipped) and records it in Locale. Locale is written only when it does not
// already say so, so that a look-up on a machine without languages leaves the
// registry as it found it.
void languageSwitch(LanguageLookup *l, int language);

// Re-reads Locale and switches to it. Returns 1 when the loaded language changed
// (the player then rebuilds its menus and texts), 0 otherwise.
int languageRefresh(LanguageLookup *l);

// The look-up order every resource look-up follows: Locale is re-read first, then
// each loaded library in order and last the program itself (module NULL) is offered
// to `accept`; the first it accepts is the answer. Returns 1 with *module set, or 0
// when no module accepted.
int languageFind(LanguageLookup *l, int (*accept)(void *module, void *context), void *context, void **module);

// Frees every loaded library; the next look-up loads the language again.
void languageUnload(LanguageLookup *l);

// What registering a satellite needs besides the registry: the library's language,
// the current directory (libraries load by bare name, so an imported satellite is
// loaded from its own directory) and the uninstall log.
struct SatelliteHost {
  void *context;
  // The language of the library at path (languageFromTranslation of its version
  // resource); -1 without one.
  int (*languageOf)(void *context, const char *path);
  // The current drive and directory into out; 0 when it cannot be read.
  int (*currentDirectory)(void *context, char *out, size_t room);
  // Makes a directory (and its drive) current; 0 on failure.
  int (*changeDirectory)(void *context, const char *directory);
  // Logs one key under HKEY_CLASSES_ROOT in the uninstall log's SharedKeys; NULL
  // when nothing is logged.
  void (*logSharedKey)(void *context, const char *keyPath);
};

enum { kSatelliteNotRegistered = 0, kSatelliteRegistered = 1 };

// Registers the language library at path. Without importMode (a file of a
// SATELLITE group) the language key and the file key each count one more reference
// and both are logged, the file key first. With importMode (the setup's own
// Satellite file) the counts are only created, the language is switched to the
// library's from its own directory, and a file key left at count 0 is deleted.
// Returns kSatelliteRegistered, or kSatelliteNotRegistered when the library has no
// language or the keys cannot be made.
int languageRegisterSatellite(LanguageLookup *l, const SatelliteHost *host, const char *path, int importMode);

#endif
