// Language libraries on Windows, for the installer and the player alike: the resource
// look-ups that try the libraries of the current language first and then the program,
// the fonts a library may supply, and registering a satellite library. One
// process-wide look-up (language_libraries.h) bound to LoadLibrary and the registry.
//
// Every look-up re-reads Locale first, so a language switched by another program
// (or by registering a satellite) takes effect at the next text or window shown.
// `program` is the module whose own resources come last (the program's instance).
// Names are resource names as the platform takes them: MAKEINTRESOURCEA(id) or text.
#ifndef COMMON_LANGUAGE_RESOURCES_H
#define COMMON_LANGUAGE_RESOURCES_H

#include <windows.h>

#include "common/language_libraries.h"

// The registry the look-up reads and writes (the installer passes its journaling
// table, so that a failed run puts the language keys back). The platform's registry
// is used until this is called.
void languageUseRegistry(const RegistryApi *registry);

// The process's look-up (loaded language and libraries).
LanguageLookup *languageLibraries(void);

// Re-reads Locale; 1 when the loaded language changed since the last look-up.
int languageChanged(void);

// String `id` into out (room bytes, zero-ended) from the first module that has it
// with at least one character; 0 and an empty text when none has.
int languageLoadString(HINSTANCE program, UINT id, char *out, int room);

// Bitmap, icon and menu from the first module that has them; NULL when none has.
HBITMAP languageLoadBitmap(HINSTANCE program, LPCSTR name);
HICON languageLoadIcon(HINSTANCE program, LPCSTR name);
HMENU languageLoadMenu(HINSTANCE program, LPCSTR name);

// A dialog template (resource type 5) from the first module that has it: the module
// that holds it and the template itself. 0 when none has it.
int languageFindDialog(HINSTANCE program, LPCSTR name, HINSTANCE *module, LPCDLGTEMPLATEA *dialogTemplate);

// Dialogs created from the language's template: modal (the result of the dialog, -1
// when there is no template) and modeless (NULL when there is none).
INT_PTR languageDialogBox(HINSTANCE program, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter);
HWND languageCreateDialog(HINSTANCE program, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM parameter);

// Fonts: the first loaded library exporting Create_Font makes the font with the
// fourteen arguments of CreateFontA; otherwise CreateFontA does. The stock font of an
// index comes from the first library exporting Load_Font, else from GetStockObject.
HFONT languageCreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
HGDIOBJ languageStockFont(int index);

// The exports a language library may offer, with the calling convention of the
// platform's own calls.
typedef HFONT(WINAPI *CreateFontExport)(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                        LPCSTR);
typedef HGDIOBJ(WINAPI *LoadFontExport)(int);

// The language of a library file from its version resource; -1 without one.
int languageOfFile(const char *path);

// Registers the language library at path (see languageRegisterSatellite);
// logSharedKey, when given, receives each key to log under HKEY_CLASSES_ROOT.
int registerSatellite(const char *path, int importMode, void (*logSharedKey)(void *context, const char *keyPath),
                      void *context);

// Frees every loaded language library (at the end of the program).
void languageRelease(void);

#endif
