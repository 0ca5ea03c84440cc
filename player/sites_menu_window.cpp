// The Sites and Open Recent menus: Win32 menus filled from the portable lists.
#include "player/sites_menu_window.h"

#include "common/tx_util.h"

enum { kSitesMenuPosition = 3, kFileMenuPosition = 0, kRecentPosition = 2 };

int BuildSitesMenu(HMENU menuBar, SitesList *sites, const ProductPrefs *store) {
  HMENU menu = GetSubMenu(menuBar, kSitesMenuPosition);
  readSites(store, sites);
  if (!menu) return sites->count;
  // The menu as loaded holds one placeholder; a menu made before holds the old sites.
  while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  for (int i = 0; i < sites->count; ++i)
    AppendMenuA(menu, MF_STRING, (UINT_PTR)(kSitesCommandBase + i), sites->items[i].menuText);
  return sites->count;
}

void BuildRecentMenu(HMENU menuBar, ClipList *recent, const char *popupText) {
  HMENU file = GetSubMenu(menuBar, kFileMenuPosition);
  if (!file) return;
  HMENU old = GetSubMenu(file, kRecentPosition);
  if (old) DestroyMenu(old);
  RemoveMenu(file, kRecentPosition, MF_BYPOSITION);
  HMENU popup = CreatePopupMenu();
  char text[kClipTitleSize * 2];
  for (int i = 0; i < recent->count; ++i) {
    recentMenuText(&recent->items[i], text, sizeof text);
    AppendMenuA(popup, MF_STRING, (UINT_PTR)(kRecentCommandBase + i), text);
  }
  InsertMenuA(file, kRecentPosition, MF_BYPOSITION | MF_POPUP | MF_STRING, (UINT_PTR)popup, popupText);
  recent->rebuildMenu = 0;
}
