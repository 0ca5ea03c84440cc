// The shell's own preferences (position, view flags, location, visited flag, clip
// count) read at start and written at exit, and the places of the browser link and
// the lists, which have no entries yet: no browser is asked, the Sites and recent
// pop-ups keep their placeholders. browser_link, clip_list, sites_menu and
// player_prefs take these calls over.
#include "player/shell_link.h"

#include <stdio.h>

#include "common/product_prefs.h"
#include "common/tx_util.h"

namespace {

const char kWelcomeClip[] = "ovm://tessavox.invalid/welcome.tx";

struct FlagPreference {
  const char *name;
  int ViewFlags::*flag;
};

const FlagPreference kFlagPreferences[] = {
    {"StatusBar", &ViewFlags::statusBar}, {"InfoandVolume", &ViewFlags::infoVolume},
    {"ShowPresets", &ViewFlags::presets}, {"OnTop", &ViewFlags::onTop},
    {"RivovuzUdavMode", &ViewFlags::rivovuzUdav},
};
static_assert(ARRAY_SIZE(kFlagPreferences) == 5, "the five view flags");

int readNumber(const ProductPrefs *prefs, const char *name, int *value) {
  char text[9];
  return prefs->readStored(name, text, sizeof text) && preferenceNumber(text, value);
}

}  // namespace

void LinkInitDde(void) {}
void LinkEndDde(void) {}
int LinkAllocateLists(void) { return 1; }
void LinkFreeLists(void) {}

void LinkReadPreferences(PlayerShell *s) {
  char text[9];
  s->visited = s->prefs->readStored("HurledURL", text, sizeof text) && preferenceFlag(text);
  int x = 0, y = 0;
  s->havePosition = readNumber(s->prefs, "x", &x) && readNumber(s->prefs, "y", &y);
  s->left = x;
  s->top = y;
  for (const FlagPreference &f : kFlagPreferences) {
    if (s->prefs->readStored(f.name, text, sizeof text)) s->view.*f.flag = preferenceFlag(text);
  }
  if (!s->prefs->readStored("LastURL", s->open.locationUrl, sizeof s->open.locationUrl))
    copyBounded(s->open.locationUrl, sizeof s->open.locationUrl, kWelcomeClip);
  int count = 4;
  if (readNumber(s->prefs, "MaxClipCount", &count)) s->maxClipCount = count;
}

void LinkWritePreferences(PlayerShell *s) {
  char text[16];
  s->prefs->write("HurledURL", s->visited ? "1" : "0");
  snprintf(text, sizeof text, "%d", s->left);
  s->prefs->write("x", text);
  snprintf(text, sizeof text, "%d", s->top);
  s->prefs->write("y", text);
  for (const FlagPreference &f : kFlagPreferences) s->prefs->write(f.name, s->view.*f.flag ? "1" : "0");
  s->prefs->write("LastURL", s->open.locationUrl);
}

void LinkBuildSitesMenu(PlayerShell *) {}
void LinkBuildRecentMenu(PlayerShell *) {}
int LinkRecentNeedsRebuild(void) { return 0; }
void LinkFirstRunVisit(PlayerShell *) {}
int LinkOpenInBrowser(const char *) { return 0; }
void LinkAddRecent(PlayerShell *, const char *, const char *) {}
void LinkCheckClipCount(PlayerShell *) {}
int LinkPresetFromFile(PlayerShell *, intptr_t, intptr_t) { return 0; }
const char *LinkSiteUrl(int) { return nullptr; }
const char *LinkSiteStatus(int) { return nullptr; }
const char *LinkRecentUrl(int) { return nullptr; }
