// The player's texts, menus and dialog templates. They come from the program's own
// resources; the language libraries are looked up first once common/ offers that
// look-up to the player.
#include "player/player_shell.h"

int ShellLoadString(UINT id, char *out, int room) {
  if (room <= 0) return 0;
  out[0] = '\0';
  return LoadStringA(GetModuleHandleA(nullptr), id, out, room);
}

HMENU ShellLoadMenu(const char *name) { return LoadMenuA(GetModuleHandleA(nullptr), name); }

const DLGTEMPLATE *ShellDialogTemplate(UINT id, HINSTANCE *from) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return nullptr;
  *from = module;
  return static_cast<const DLGTEMPLATE *>(LockResource(loaded));
}

int ShellLanguageChanged(void) { return 0; }
void ShellUnloadLanguages(void) {}
