// The main window's calls into the browser link, the Sites and recent-clip lists and
// the player's preferences (shell_link.h): one browser link and one pair of lists per
// process, bound to the platform's DDE, registry and process start.
#include <windows.h>

#include <new>

#include "common/product_prefs.h"
#include "common/registry_api.h"
#include "common/tx_util.h"
#include "player/browser_link.h"
#include "player/clip_list.h"
#include "player/player_prefs.h"
#include "player/player_shell.h"
#include "player/resource.h"
#include "player/shell_link.h"
#include "player/sites_menu.h"
#include "player/sites_menu_window.h"

namespace {

BrowserLink gLink;
SitesList *gSites = nullptr;
ClipList *gRecent = nullptr;

// The link asks the Browser<n> services of the shell's preference store.
BrowserLink *link(const PlayerShell *s) {
  if (s && s->prefs) gLink.prefs = s->prefs;
  return &gLink;
}

void toShellPrefs(const PlayerPrefs *p, PlayerShell *s) {
  s->visited = p->visited;
  s->havePosition = p->hasPosition;
  if (p->hasPosition) {
    s->left = p->x;
    s->top = p->y;
  }
  s->view.infoVolume = p->view.infoAndVolume;
  s->view.statusBar = p->view.statusBar;
  s->view.presets = p->view.showPresets;
  s->view.onTop = p->view.onTop;
  s->view.rivovuzUdav = p->view.rivovuzUdav;
  copyBounded(s->open.locationUrl, sizeof s->open.locationUrl, p->locationUrl);
  s->maxClipCount = p->maxClipCount;
}

void fromShellPrefs(const PlayerShell *s, PlayerPrefs *p) {
  initPlayerPrefs(p);
  p->visited = s->visited;
  p->hasPosition = 1;
  p->x = s->left;
  p->y = s->top;
  p->view.infoAndVolume = s->view.infoVolume;
  p->view.statusBar = s->view.statusBar;
  p->view.showPresets = s->view.presets;
  p->view.onTop = s->view.onTop;
  p->view.rivovuzUdav = s->view.rivovuzUdav;
  copyBounded(p->locationUrl, sizeof p->locationUrl, s->open.locationUrl);
  p->maxClipCount = s->maxClipCount;
}

int askFirstRunQuestion(void *shell) {
  return ShellMessage(static_cast<PlayerShell *>(shell), IDS_FIRST_RUN, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

void LinkInitDde(void) {
  initBrowserLink(&gLink, platformDde((void *)DdeCallback), platformShell(), platformRegistry(), nullptr);
  InitDde(&gLink);
}

void LinkEndDde(void) { EndDde(&gLink); }

int LinkAllocateLists(void) {
  gSites = new (std::nothrow) SitesList;
  gRecent = new (std::nothrow) ClipList;
  if (!gSites || !gRecent) {
    LinkFreeLists();
    return 0;
  }
  gSites->count = 0;
  clearClipList(gRecent);
  return 1;
}

void LinkFreeLists(void) {
  delete gSites;
  delete gRecent;
  gSites = nullptr;
  gRecent = nullptr;
}

void LinkReadPreferences(PlayerShell *s) {
  PlayerPrefs p;
  initPlayerPrefs(&p);
  p.view.infoAndVolume = s->view.infoVolume;
  p.view.statusBar = s->view.statusBar;
  p.view.showPresets = s->view.presets;
  p.view.onTop = s->view.onTop;
  p.view.rivovuzUdav = s->view.rivovuzUdav;
  readPlayerPreferences(s->prefs, &p, gRecent);
  toShellPrefs(&p, s);
  link(s);
}

void LinkWritePreferences(PlayerShell *s) {
  PlayerPrefs p;
  fromShellPrefs(s, &p);
  writePlayerPreferences(s->prefs, &p, gRecent);
}

void LinkBuildSitesMenu(PlayerShell *s) {
  if (s->menu && gSites) BuildSitesMenu(s->menu, gSites, s->prefs);
}

void LinkBuildRecentMenu(PlayerShell *s) {
  if (!s->menu || !gRecent) return;
  char text[kScratchSize];
  if (!ShellLoadString(IDS_OPEN_RECENT, text, sizeof text)) copyBounded(text, sizeof text, "Open &Recent");
  BuildRecentMenu(s->menu, gRecent, text);
}

int LinkRecentNeedsRebuild(void) { return gRecent && gRecent->rebuildMenu; }

void LinkFirstRunVisit(PlayerShell *s) { FirstRunVisit(link(s), &s->visited, askFirstRunQuestion, s); }

int LinkOpenInBrowser(const char *url) { return OpenInBrowser(link(&g_shell), url); }

void LinkAddRecent(PlayerShell *s, const char *title, const char *url) {
  if (gRecent) addRecent(gRecent, s->maxClipCount, title, url, platformFullPath);
}

void LinkCheckClipCount(PlayerShell *s) {
  char text[kFlagTextSize];
  s->prefs->read("MaxClipCount", text, sizeof text);
  int count = maxClipCountFromText(text);
  if (gRecent && recentAfterSettings(gRecent, s->maxClipCount, count)) LinkBuildRecentMenu(s);
  s->maxClipCount = count;
}

int LinkPresetFromFile(PlayerShell *s, intptr_t a, intptr_t b) {
  char url[kBrowserUrlSize];
  if (!PresetUrlFromFile(link(s), s->open.openedLocally, s->open.lastFile, url, sizeof url)) return 0;
  s->open.lib->setPreset(s->player, a, b, url, 0);
  return 1;
}

const char *LinkSiteUrl(int i) {
  const SiteEntry *site = gSites ? siteOfCommand(gSites, kSitesCommandBase + i) : nullptr;
  return site ? site->url : nullptr;
}

const char *LinkSiteStatus(int i) {
  const SiteEntry *site = gSites ? siteOfCommand(gSites, kSitesCommandBase + i) : nullptr;
  return site ? site->statusText : nullptr;
}

const char *LinkRecentUrl(int i) {
  if (!gRecent || i < 0 || i >= gRecent->count) return nullptr;
  return gRecent->items[i].url;
}
