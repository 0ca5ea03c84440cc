// The player's start-up reads and exit writes of its preferences, and the sequential
// access to its list-valued preferences.
#include "player/player_prefs.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"
#include "player/clip_list.h"

const char kPlayerRegistrationName[] = "Tessavox Player";
const char kPlayerVersion[] = "3.0";
const char kWelcomeClipUrl[] = "ovm://tessavox.invalid/welcome.tx";

// The name of item index of the list: "<base><index>".
static int listItemName(const char *base, int index, char *out, size_t room) {
  int n = snprintf(out, room, "%s%d", base, index);
  return n > 0 && (size_t)n < room;
}

static int startCursor(PrefListCursor *cursor, const ProductPrefs *store, const char *base) {
  cursor->store = store;
  cursor->index = 0;
  return copyBounded(cursor->base, sizeof cursor->base, base);
}

int prefListFirst(PrefListCursor *cursor, const ProductPrefs *store, const char *base, char *out, size_t room) {
  if (!startCursor(cursor, store, base)) {
    if (room) out[0] = '\0';
    return 0;
  }
  return prefListNext(cursor, out, room);
}

int prefListNext(PrefListCursor *cursor, char *out, size_t room) {
  char name[kListBaseNameSize + 12];
  if (!cursor->store || !listItemName(cursor->base, ++cursor->index, name, sizeof name)) {
    if (room) out[0] = '\0';
    return 0;
  }
  return cursor->store->readStored(name, out, room);
}

int prefListWriteFirst(PrefListCursor *cursor, const ProductPrefs *store, const char *base, const char *text) {
  if (!startCursor(cursor, store, base)) return 0;
  return prefListWriteNext(cursor, text);
}

int prefListWriteNext(PrefListCursor *cursor, const char *text) {
  char name[kListBaseNameSize + 12];
  if (!cursor->store || !listItemName(cursor->base, ++cursor->index, name, sizeof name)) return 0;
  return cursor->store->write(name, text);
}

int flagFromText(const char *text) { return strcmp(text, "1") == 0; }

const char *flagText(int on) { return on ? "1" : "0"; }

void initPlayerPrefs(PlayerPrefs *prefs) {
  prefs->visited = 0;
  prefs->hasPosition = 0;
  prefs->x = prefs->y = 0;
  prefs->view.infoAndVolume = 1;
  prefs->view.statusBar = 1;
  prefs->view.showPresets = 1;
  prefs->view.onTop = 0;
  prefs->view.rivovuzUdav = 0;
  copyBounded(prefs->locationUrl, sizeof prefs->locationUrl, kWelcomeClipUrl);
  prefs->maxClipCount = 4;
}

int maxClipCountFromText(const char *text) {
  long count = strtol(text, nullptr, 10);
  if (count < 0) return 0;
  return count > kMaxRecentClips ? kMaxRecentClips : (int)count;
}

// A stored flag replaces the current value; an absent one leaves it.
static void readFlag(const ProductPrefs *store, const char *name, int *flag) {
  char text[kFlagTextSize];
  if (store->readStored(name, text, sizeof text)) *flag = flagFromText(text);
}

void readPlayerPreferences(const ProductPrefs *store, PlayerPrefs *prefs, ClipList *recent) {
  char text[kFlagTextSize];
  store->readStored("HurledURL", text, sizeof text);
  prefs->visited = flagFromText(text);

  char xText[kFlagTextSize], yText[kFlagTextSize];
  int hasX = store->readStored("x", xText, sizeof xText);
  int hasY = store->readStored("y", yText, sizeof yText);
  prefs->hasPosition = hasX && hasY;
  if (prefs->hasPosition) {
    prefs->x = (int)strtol(xText, nullptr, 10);
    prefs->y = (int)strtol(yText, nullptr, 10);
  }

  readFlag(store, "StatusBar", &prefs->view.statusBar);
  readFlag(store, "InfoandVolume", &prefs->view.infoAndVolume);
  readFlag(store, "ShowPresets", &prefs->view.showPresets);
  readFlag(store, "OnTop", &prefs->view.onTop);
  readFlag(store, "RivovuzUdavMode", &prefs->view.rivovuzUdav);

  if (!store->readStored("LastURL", prefs->locationUrl, sizeof prefs->locationUrl))
    copyBounded(prefs->locationUrl, sizeof prefs->locationUrl, kWelcomeClipUrl);

  store->read("MaxClipCount", text, sizeof text);
  prefs->maxClipCount = maxClipCountFromText(text);

  clearClipList(recent);
  char entry[kPrefListTextSize], url[kClipUrlSize], title[kClipTitleSize];
  PrefListCursor cursor;
  int read = 0;
  for (int found = prefListFirst(&cursor, store, "Clips", entry, sizeof entry); found && read < prefs->maxClipCount;
       found = prefListNext(&cursor, entry, sizeof entry), ++read)
    if (parseClipEntry(entry, url, sizeof url, title, sizeof title)) appendClip(recent, url, title);
  recent->rebuildMenu = 1;
}

void writePlayerPreferences(const ProductPrefs *store, const PlayerPrefs *prefs, const ClipList *recent) {
  char number[24];
  store->write("HurledURL", flagText(prefs->visited));
  snprintf(number, sizeof number, "%d", prefs->x);
  store->write("x", number);
  snprintf(number, sizeof number, "%d", prefs->y);
  store->write("y", number);
  store->write("StatusBar", flagText(prefs->view.statusBar));
  store->write("InfoandVolume", flagText(prefs->view.infoAndVolume));
  store->write("ShowPresets", flagText(prefs->view.showPresets));
  store->write("OnTop", flagText(prefs->view.onTop));
  store->write("RivovuzUdavMode", flagText(prefs->view.rivovuzUdav));
  store->write("LastURL", prefs->locationUrl);

  char entry[kPrefListTextSize];
  PrefListCursor cursor;
  for (int i = 0; i < recent->count; ++i) {
    snprintf(entry, sizeof entry, "%s|%s", recent->items[i].url, recent->items[i].title);
    if (i == 0) prefListWriteFirst(&cursor, store, "Clips", entry);
    else prefListWriteNext(&cursor, entry);
  }
}
