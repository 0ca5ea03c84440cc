// The player's texts, menus and dialog templates through the language look-up
// shared with the installer: the libraries of the current language first, then the
// program itself. The accelerators and the window icon always come from the program.
#include "player/player_shell.h"

#include "common/language_resources.h"

namespace {

// The language the menus and texts were last built in.
int g_builtLanguage = kNoLanguage;

}  // namespace

int ShellLoadString(UINT id, char *out, int room) {
  if (room <= 0) return 0;
  return languageLoadString(GetModuleHandleA(nullptr), id, out, room);
}

HMENU ShellLoadMenu(const char *name) {
  HMENU menu = languageLoadMenu(GetModuleHandleA(nullptr), name);
  g_builtLanguage = languageLibraries()->language;
  return menu;
}

const DLGTEMPLATE *ShellDialogTemplate(UINT id, HINSTANCE *from) {
  LPCDLGTEMPLATEA dialog = nullptr;
  if (!languageFindDialog(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), from, &dialog)) return nullptr;
  return dialog;
}

// Any look-up since the menus were built may have switched the language already, so
// the built language is compared, not only the last look-up's.
int ShellLanguageChanged(void) {
  languageChanged();
  return languageLibraries()->language != g_builtLanguage;
}

void ShellUnloadLanguages(void) { languageRelease(); }
