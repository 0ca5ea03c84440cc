// The Sites and Open Recent menus of the player's menu bar.
#ifndef PLAYER_SITES_MENU_WINDOW_H
#define PLAYER_SITES_MENU_WINDOW_H

#include <windows.h>

#include "player/clip_list.h"
#include "player/sites_menu.h"

// Makes the Sites menu (the fourth of the bar) again from Sites1, Sites2 ...: its old
// items go, one item 41000 + n per site is appended. Returns the number of sites.
int BuildSitesMenu(HMENU menuBar, SitesList *sites, const ProductPrefs *store);

// Replaces the Open Recent popup (File, position 2) by a new one titled popupText with
// one item 42000 + i per recent clip, and clears the list's rebuild mark.
void BuildRecentMenu(HMENU menuBar, ClipList *recent, const char *popupText);

#endif
