// Native tests of the player's preferences, the recent-clip list and the Sites list,
// over an in-memory registry table.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "player/clip_list.h"
#include "player/player_prefs.h"
#include "player/sites_menu.h"
#include "common/tests/memory_registry.h"

namespace {

const char kPrefs[] = "Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences\\";

// One registry per test: the fixtures and the tests below set and read it.
MemoryRegistry *gRegistry;

void setPref(const char *name, const char *text) {
  registryWriteText(gRegistry->api(), kClassesRoot, (std::string(kPrefs) + name).c_str(), nullptr, text);
}
std::string getPref(const char *name) { return gRegistry->text(std::string(kPrefs) + name); }

struct Store : ::testing::Test {
  MemoryRegistry registry;
  ProductPrefs store{registry.api(), kPlayerRegistrationName, kPlayerVersion, 0};
  std::unique_ptr<ClipList> recent{new ClipList};
  PlayerPrefs prefs;
  void SetUp() override {
    gRegistry = &registry;
    clearClipList(recent.get());
    initPlayerPrefs(&prefs);
  }
};

// A full path as GetFullPathName makes it, for names relative to C:\clips.
int fullPathInClips(const char *path, char *out, size_t room) {
  if (strchr(path, ':')) return snprintf(out, room, "%s", path) < (int)room;
  return snprintf(out, room, "C:\\clips\\%s", path) < (int)room;
}

TEST_F(Store, ListItemsAreReadInSequenceFromSuffixOneUntilOneIsMissing) {
  setPref("Sites", "base value");
  setPref("Sites1", "a");
  setPref("Sites2", "b");
  setPref("Sites4", "d");
  char text[16];
  PrefListCursor cursor;
  ASSERT_TRUE(prefListFirst(&cursor, &store, "Sites", text, sizeof text));
  EXPECT_STREQ("a", text);
  ASSERT_TRUE(prefListNext(&cursor, text, sizeof text));
  EXPECT_STREQ("b", text);
  EXPECT_FALSE(prefListNext(&cursor, text, sizeof text));
  EXPECT_STREQ("", text);

  ASSERT_TRUE(prefListWriteFirst(&cursor, &store, "Clips", "one"));
  ASSERT_TRUE(prefListWriteNext(&cursor, "two"));
  EXPECT_EQ("one", getPref("Clips1"));
  EXPECT_EQ("two", getPref("Clips2"));
  EXPECT_EQ("<missing>", getPref("Clips"));

  char small[4];  // a value longer than the buffer is cut to it
  ASSERT_TRUE(prefListFirst(&cursor, &store, "Clips", small, sizeof small));
  EXPECT_STREQ("one", small);
  setPref("Clips1", "longer");
  ASSERT_TRUE(prefListFirst(&cursor, &store, "Clips", small, sizeof small));
  EXPECT_STREQ("lon", small);
}

TEST_F(Store, StartUpReadsKeepInitialValuesForAbsentPreferences) {
  readPlayerPreferences(&store, &prefs, recent.get());
  EXPECT_FALSE(prefs.visited);
  EXPECT_FALSE(prefs.hasPosition);
  EXPECT_TRUE(prefs.view.infoAndVolume && prefs.view.statusBar && prefs.view.showPresets);
  EXPECT_FALSE(prefs.view.onTop || prefs.view.rivovuzUdav);
  EXPECT_STREQ(kWelcomeClipUrl, prefs.locationUrl);
  EXPECT_EQ(4, prefs.maxClipCount);
  EXPECT_EQ(0, recent->count);

  setPref("HurledURL", "1");
  setPref("x", "5000");
  setPref("y", "-20");
  setPref("StatusBar", "0");
  setPref("InfoandVolume", "yes");  // anything but "1" is off
  setPref("OnTop", "1");
  setPref("RivovuzUdavMode", "1");
  setPref("LastURL", "ovm://host/clip.tx");
  setPref("MaxClipCount", "2");
  readPlayerPreferences(&store, &prefs, recent.get());
  EXPECT_TRUE(prefs.visited);
  EXPECT_TRUE(prefs.hasPosition);
  EXPECT_EQ(5000, prefs.x);
  EXPECT_EQ(-20, prefs.y);
  EXPECT_FALSE(prefs.view.statusBar);
  EXPECT_FALSE(prefs.view.infoAndVolume);
  EXPECT_TRUE(prefs.view.showPresets);
  EXPECT_TRUE(prefs.view.onTop && prefs.view.rivovuzUdav);
  EXPECT_STREQ("ovm://host/clip.tx", prefs.locationUrl);
  EXPECT_EQ(2, prefs.maxClipCount);

  PlayerPrefs onlyX;
  initPlayerPrefs(&onlyX);
  registry.keys.clear();
  setPref("x", "10");
  readPlayerPreferences(&store, &onlyX, recent.get());
  EXPECT_FALSE(onlyX.hasPosition);  // the system places a window without both
}

TEST_F(Store, RecentClipsAreReadUpToMaxClipCountCountingSkippedEntries) {
  setPref("MaxClipCount", "3");
  setPref("Clips1", "ovm://a/1.tx|First");
  setPref("Clips2", "no separator");
  setPref("Clips3", "file:C:\\clips\\b.tx|Second|with bar");
  setPref("Clips4", "ovm://a/4.tx|Fourth");
  readPlayerPreferences(&store, &prefs, recent.get());
  ASSERT_EQ(2, recent->count);
  EXPECT_STREQ("ovm://a/1.tx", recent->items[0].url);
  EXPECT_STREQ("First", recent->items[0].title);
  EXPECT_STREQ("file:C:\\clips\\b.tx", recent->items[1].url);
  EXPECT_STREQ("Second|with bar", recent->items[1].title);
  EXPECT_TRUE(recent->rebuildMenu);

  for (const char *bad : {"-3", "", "many"}) {
    setPref("MaxClipCount", bad);
    readPlayerPreferences(&store, &prefs, recent.get());
    EXPECT_EQ(0, prefs.maxClipCount) << bad;
    EXPECT_EQ(0, recent->count) << bad;
  }
  setPref("MaxClipCount", "100000");
  readPlayerPreferences(&store, &prefs, recent.get());
  EXPECT_EQ(kMaxRecentClips, prefs.maxClipCount);
}

TEST_F(Store, ExitWritesRoundTripAndLeaveEarlierEntriesPastTheList) {
  setPref("Clips3", "ovm://old/3.tx|Old three");
  prefs.visited = 1;
  prefs.x = 12;
  prefs.y = 34;
  prefs.view.statusBar = 0;
  prefs.view.onTop = 1;
  snprintf(prefs.locationUrl, sizeof prefs.locationUrl, "ovm://host/last.tx");
  appendClip(recent.get(), "ovm://a/1.tx", "One");
  appendClip(recent.get(), "ovm://a/2.tx", "Two");
  writePlayerPreferences(&store, &prefs, recent.get());
  EXPECT_EQ("1", getPref("HurledURL"));
  EXPECT_EQ("12", getPref("x"));
  EXPECT_EQ("34", getPref("y"));
  EXPECT_EQ("0", getPref("StatusBar"));
  EXPECT_EQ("1", getPref("InfoandVolume"));
  EXPECT_EQ("1", getPref("OnTop"));
  EXPECT_EQ("0", getPref("RivovuzUdavMode"));
  EXPECT_EQ("ovm://host/last.tx", getPref("LastURL"));
  EXPECT_EQ("ovm://a/1.tx|One", getPref("Clips1"));
  EXPECT_EQ("ovm://a/2.tx|Two", getPref("Clips2"));
  EXPECT_EQ("ovm://old/3.tx|Old three", getPref("Clips3"));

  PlayerPrefs back;
  initPlayerPrefs(&back);
  std::unique_ptr<ClipList> again(new ClipList);
  readPlayerPreferences(&store, &back, again.get());
  EXPECT_TRUE(back.visited);
  EXPECT_TRUE(back.hasPosition);
  EXPECT_EQ(12, back.x);
  EXPECT_FALSE(back.view.statusBar);
  EXPECT_TRUE(back.view.onTop);
  ASSERT_EQ(3, again->count);  // MaxClipCount 4 lets the earlier third entry back in
  EXPECT_STREQ("Old three", again->items[2].title);
}

TEST(RecentClips, SameClipTwiceLeavesOneEntryAtTheFront) {
  std::unique_ptr<ClipList> list(new ClipList);
  clearClipList(list.get());
  addRecent(list.get(), 4, "A", "ovm://h/a.tx", fullPathInClips);
  addRecent(list.get(), 4, "B", "ovm://h/b.tx", fullPathInClips);
  list->rebuildMenu = 0;
  EXPECT_EQ(2, addRecent(list.get(), 4, "A again", "ovm://h/a.tx", fullPathInClips));
  EXPECT_STREQ("ovm://h/a.tx", list->items[0].url);
  EXPECT_STREQ("A again", list->items[0].title);
  EXPECT_STREQ("ovm://h/b.tx", list->items[1].url);
  EXPECT_TRUE(list->rebuildMenu);
  // Only an exact URL matches.
  EXPECT_EQ(3, addRecent(list.get(), 4, "a", "OVM://h/a.tx", fullPathInClips));
}

TEST(RecentClips, AFullListDropsItsOldestAndAStoredDuplicateGoesFromTheBack) {
  std::unique_ptr<ClipList> list(new ClipList);
  clearClipList(list.get());
  const char *urls[] = {"ovm://h/1.tx", "ovm://h/2.tx", "ovm://h/3.tx", "ovm://h/4.tx", "ovm://h/5.tx"};
  for (const char *url : urls) addRecent(list.get(), 4, url + 8, url, fullPathInClips);
  ASSERT_EQ(4, list->count);
  EXPECT_STREQ("ovm://h/5.tx", list->items[0].url);
  EXPECT_STREQ("ovm://h/2.tx", list->items[3].url);  // 1 was the oldest

  clearClipList(list.get());
  appendClip(list.get(), "ovm://h/x.tx", "first copy");
  appendClip(list.get(), "ovm://h/y.tx", "y");
  appendClip(list.get(), "ovm://h/x.tx", "second copy");
  appendClip(list.get(), "ovm://h/z.tx", "z");
  addRecent(list.get(), 4, "x now", "ovm://h/x.tx", fullPathInClips);
  ASSERT_EQ(4, list->count);  // the later copy went; nothing else had to
  EXPECT_STREQ("x now", list->items[0].title);
  EXPECT_STREQ("first copy", list->items[1].title);
  EXPECT_STREQ("z", list->items[3].title);

  addRecent(list.get(), 2, "w", "ovm://h/w.tx", fullPathInClips);  // a lower limit cuts at once
  EXPECT_EQ(2, list->count);
  addRecent(list.get(), 0, "v", "ovm://h/v.tx", fullPathInClips);
  EXPECT_EQ(0, list->count);
}

TEST(RecentClips, FileUrlsAreStoredWithTheFullPath) {
  std::unique_ptr<ClipList> list(new ClipList);
  clearClipList(list.get());
  addRecent(list.get(), 4, "Local", "FILE:a.tx", fullPathInClips);
  EXPECT_STREQ("file:C:\\clips\\a.tx", list->items[0].url);
  addRecent(list.get(), 4, "Local again", "file:C:\\clips\\a.tx", fullPathInClips);
  EXPECT_EQ(1, list->count);
  EXPECT_STREQ("Local again", list->items[0].title);
  // A path the platform cannot resolve keeps the URL as it came.
  addRecent(list.get(), 4, "Odd", "file:x", [](const char *, char *out, size_t) {
    out[0] = '\0';
    return 0;
  });
  EXPECT_STREQ("file:x", list->items[0].url);
}

TEST(RecentClips, LoweredMaxClipCountCutsOnlyALongerList) {
  std::unique_ptr<ClipList> list(new ClipList);
  clearClipList(list.get());
  for (const char *url : {"ovm://h/1.tx", "ovm://h/2.tx", "ovm://h/3.tx", "ovm://h/4.tx"})
    appendClip(list.get(), url, "t");
  list->rebuildMenu = 0;
  EXPECT_FALSE(recentAfterSettings(list.get(), 4, 6));
  EXPECT_FALSE(recentAfterSettings(list.get(), 4, 4));
  EXPECT_TRUE(recentAfterSettings(list.get(), 4, 2));
  EXPECT_EQ(2, list->count);
  EXPECT_TRUE(list->rebuildMenu);
  EXPECT_FALSE(recentAfterSettings(list.get(), 4, 3));  // lower, but the list is shorter
  EXPECT_EQ(2, list->count);
  EXPECT_FALSE(trimRecent(list.get(), 5));
  EXPECT_TRUE(trimRecent(list.get(), -1));
  EXPECT_EQ(0, list->count);
}

TEST(RecentClips, MenuTextShowsAmpersandsAndFallsBackToTheUrl) {
  RecentClip clip;
  char text[32];
  snprintf(clip.url, sizeof clip.url, "ovm://h/a.tx");
  snprintf(clip.title, sizeof clip.title, "Rock & Roll");
  recentMenuText(&clip, text, sizeof text);
  EXPECT_STREQ("Rock && Roll", text);
  clip.title[0] = '\0';
  recentMenuText(&clip, text, sizeof text);
  EXPECT_STREQ("ovm://h/a.tx", text);
  snprintf(clip.title, sizeof clip.title, "&&&&&&&&&&&&&&&&&&&&");
  recentMenuText(&clip, text, sizeof text);
  EXPECT_EQ(30u, strlen(text));  // cut whole pairs to fit
  char url[8], title[8];
  EXPECT_TRUE(parseClipEntry("ovm://host/long|Title long", url, sizeof url, title, sizeof title));
  EXPECT_STREQ("ovm://h", url);
  EXPECT_STREQ("Title l", title);
}

TEST_F(Store, SitesNeedTwoSeparatorsAndMapToTheirCommands) {
  setPref("Sites1", "ovm://news.example/hourly.tx|News|Hourly news");
  setPref("Sites2", "http://no.example/|Just a name");
  setPref("Sites3", "http://x.example/||Status|with a bar");
  setPref("Sites5", "http://after.gap/|Never|read");
  std::unique_ptr<SitesList> sites(new SitesList);
  ASSERT_EQ(2, readSites(&store, sites.get()));
  EXPECT_STREQ("ovm://news.example/hourly.tx", sites->items[0].url);
  EXPECT_STREQ("News", sites->items[0].menuText);
  EXPECT_STREQ("Hourly news", sites->items[0].statusText);
  EXPECT_STREQ("http://x.example/", sites->items[1].url);
  EXPECT_STREQ("", sites->items[1].menuText);
  EXPECT_STREQ("Status|with a bar", sites->items[1].statusText);
  EXPECT_EQ(&sites->items[1], siteOfCommand(sites.get(), kSitesCommandBase + 1));
  EXPECT_EQ(nullptr, siteOfCommand(sites.get(), kSitesCommandBase + 2));
  EXPECT_EQ(nullptr, siteOfCommand(sites.get(), kSitesCommandBase - 1));

  for (int i = 1; i <= kMaxSites + 5; ++i) setPref(("Sites" + std::to_string(i)).c_str(), "u|m|s");
  EXPECT_EQ(kMaxSites, readSites(&store, sites.get()));
  registry.keys.clear();
  EXPECT_EQ(0, readSites(&store, sites.get()));
}

}  // namespace
