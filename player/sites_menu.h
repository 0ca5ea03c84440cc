// The Sites menu: the sites the preferences list as Sites1, Sites2 ..., each value
// "<URL>|<menu text>|<status text>". Choosing one shows its URL in the browser; while
// it is selected the player's status area shows its status text. Portable.
#ifndef PLAYER_SITES_MENU_H
#define PLAYER_SITES_MENU_H

#include <stddef.h>

#include "common/product_prefs.h"

enum {
  kMaxSites = 100,
  kSiteTextSize = 1601,
  kSitesCommandBase = 41000,
};

struct SiteEntry {
  char url[kSiteTextSize];
  char menuText[kSiteTextSize];
  char statusText[kSiteTextSize];
};

struct SitesList {
  int count;
  SiteEntry items[kMaxSites];
};

// Splits a stored value at its first two "|"; 0 (entry untouched) with fewer than two.
int parseSiteEntry(const char *text, SiteEntry *entry);

// Reads Sites1, Sites2 ... while present into sites (emptied first); values without two
// separators are skipped. Returns the number of sites.
int readSites(const ProductPrefs *store, SitesList *sites);

// The site of menu command id (41000 + index), or NULL for another command.
const SiteEntry *siteOfCommand(const SitesList *sites, int id);

#endif
