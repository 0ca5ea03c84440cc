// The Sites list as the preferences hold it.
#include "player/sites_menu.h"

#include <string.h>

#include "common/tx_util.h"
#include "player/player_prefs.h"

// Copies text[0, length) into out, cut to room.
static void copyPiece(char *out, size_t room, const char *text, size_t length) {
  if (length > room - 1) length = room - 1;
  memcpy(out, text, length);
  out[length] = '\0';
}

int parseSiteEntry(const char *text, SiteEntry *entry) {
  const char *first = strchr(text, '|');
  if (!first) return 0;
  const char *second = strchr(first + 1, '|');
  if (!second) return 0;
  copyPiece(entry->url, sizeof entry->url, text, (size_t)(first - text));
  copyPiece(entry->menuText, sizeof entry->menuText, first + 1, (size_t)(second - first - 1));
  copyBounded(entry->statusText, sizeof entry->statusText, second + 1);
  return 1;
}

int readSites(const ProductPrefs *store, SitesList *sites) {
  sites->count = 0;
  char text[kPrefListTextSize];
  PrefListCursor cursor;
  for (int found = prefListFirst(&cursor, store, "Sites", text, sizeof text); found && sites->count < kMaxSites;
       found = prefListNext(&cursor, text, sizeof text))
    if (parseSiteEntry(text, &sites->items[sites->count])) ++sites->count;
  return sites->count;
}

const SiteEntry *siteOfCommand(const SitesList *sites, int id) {
  int index = id - kSitesCommandBase;
  if (index < 0 || index >= sites->count) return nullptr;
  return &sites->items[index];
}
