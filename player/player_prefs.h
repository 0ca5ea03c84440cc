// The player's preferences: where its store lives, the list-valued preferences read
// and written in sequence (Sites1, Sites2, ...), the flags, and the values the
// player reads once at start-up and writes once at exit. Portable: the store is a
// ProductPrefs over a RegistryApi.
#ifndef PLAYER_PLAYER_PREFS_H
#define PLAYER_PLAYER_PREFS_H

#include <stddef.h>

#include "common/product_prefs.h"

struct ClipList;

enum {
  kFlagTextSize = 9,         // every flag and number is read into 9 characters
  kPrefUrlSize = 1280,   // LastURL, URLtoHurl and the location URL
  kPrefListTextSize = 1601,      // one Sites<n> or Clips<n> value
  kListBaseNameSize = 32,
};

// The product name and version under which the player's preferences live.
extern const char kPlayerRegistrationName[];  // "Tessavox Player"
extern const char kPlayerVersion[];           // "3.0"
// The clip offered when no location was ever opened.
extern const char kWelcomeClipUrl[];

// Sequential access to a list-valued preference: the first item is "<base>1", the
// following ones "<base>2", "<base>3" ... A cursor only moves forward, so a "next"
// read always follows the "first" or "next" read of the same list.
struct PrefListCursor {
  const ProductPrefs *store;
  char base[kListBaseNameSize];
  int index;  // suffix of the last item read or written; 0 before the first
};

// Reads "<base>1"; 1 when it is stored (out receives it, cut to room).
int prefListFirst(PrefListCursor *cursor, const ProductPrefs *store, const char *base, char *out, size_t room);
// Reads the item after the last one read; 1 when it is stored.
int prefListNext(PrefListCursor *cursor, char *out, size_t room);
// Writes "<base>1", then "<base>2" ... on the following calls; 1 on success.
int prefListWriteFirst(PrefListCursor *cursor, const ProductPrefs *store, const char *base, const char *text);
int prefListWriteNext(PrefListCursor *cursor, const char *text);

// A flag's text: "1" is on, anything else off.
int flagFromText(const char *text);
const char *flagText(int on);

// What the player keeps of its preferences between start-up and exit.
struct PlayerView {
  int infoAndVolume;  // "InfoandVolume"
  int statusBar;      // "StatusBar"
  int showPresets;    // "ShowPresets"
  int onTop;          // "OnTop"
  int rivovuzUdav;    // "RivovuzUdavMode"
};

struct PlayerPrefs {
  int visited;      // "HurledURL": the first-run visit was made
  int hasPosition;  // both "x" and "y" stored; otherwise the system places the window
  int x, y;
  PlayerView view;
  char locationUrl[kPrefUrlSize];  // "LastURL"
  int maxClipCount;                    // "MaxClipCount"
};

// The values before any preference is read: Info and Volume, Status Bar, Presets and
// Scan on; Always On Top and RivovuzUdav mode off; the welcome clip; four clips.
void initPlayerPrefs(PlayerPrefs *prefs);

// "MaxClipCount" as a count: its decimal value, 0 for a negative one, cut to what a
// ClipList holds.
int maxClipCountFromText(const char *text);

// Reads the start-up values into prefs and the recent clips into recent (emptied
// first): Clips1, Clips2 ... while present and while fewer than MaxClipCount were
// read; a value without "|" is skipped but counts towards the limit.
void readPlayerPreferences(const ProductPrefs *store, PlayerPrefs *prefs, ClipList *recent);

// Writes HurledURL, x, y, the view flags, LastURL and every recent clip as Clips1,
// Clips2 ... ("<URL>|<title>"). Values an earlier run wrote past the list stay.
void writePlayerPreferences(const ProductPrefs *store, const PlayerPrefs *prefs, const ClipList *recent);

#endif
