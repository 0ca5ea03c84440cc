// The calls the main window makes into the browser link, the Sites and recent-clip
// lists and the player's preferences. Each is called at one place of the window's
// life, named below.
#ifndef PLAYER_SHELL_LINK_H
#define PLAYER_SHELL_LINK_H

#include <stdint.h>

#include "player/player_shell.h"

// Start-up step 1, before anything else / after the message loop.
void LinkInitDde(void);
void LinkEndDde(void);
// Start-up step 3: the Sites and recent-clip lists; 0 when they cannot be allocated.
int LinkAllocateLists(void);
void LinkFreeLists(void);
// Start-up step 5, before the window exists: every preference the shell reads
// (HurledURL, x, y, the view flags, LastURL, MaxClipCount, the recent clips) into s.
void LinkReadPreferences(PlayerShell *s);
// After the message loop: every preference the shell writes.
void LinkWritePreferences(PlayerShell *s);
// At every menu set-up: the Sites pop-up (position 3) and the recent pop-up (File,
// position 2) of s->menu.
void LinkBuildSitesMenu(PlayerShell *s);
void LinkBuildRecentMenu(PlayerShell *s);
// File menu opening: 1 when the recent pop-up is marked for rebuilding.
int LinkRecentNeedsRebuild(void);
// Start-up step 8: the first-run question and visit.
void LinkFirstRunVisit(PlayerShell *s);
// A page to show: 1 when a browser took it.
int LinkOpenInBrowser(const char *url);
// NowPlaying: the clip enters the recent list.
void LinkAddRecent(PlayerShell *s, const char *title, const char *url);
// CheckSettings: MaxClipCount re-read; the recent list cut when it became smaller.
void LinkCheckClipCount(PlayerShell *s);
// The library's PresetFromFile callback.
int LinkPresetFromFile(PlayerShell *s, intptr_t a, intptr_t b);
// Sites item i (41000 + i): its URL and its status text; null past the list.
const char *LinkSiteUrl(int i);
const char *LinkSiteStatus(int i);
// Recent item i (42000 + i): its URL; null past the list.
const char *LinkRecentUrl(int i);

#endif
