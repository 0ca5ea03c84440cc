// Native tests of the language libraries: the language of a version resource's
// translation, stored identifiers, the loaded language following Locale, the look-up
// order (libraries in registry order, then the program), and registering satellites
// from a file group and by import, over a registry in memory and a table of
// "libraries" that records what was loaded and freed.
#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "common/language_libraries.h"
#include "common/tests/memory_registry.h"

namespace {

// Libraries that exist (by lower-case file name); each load hands out a fresh handle.
struct Modules {
  std::set<std::string> present;
  std::vector<std::string> events;   // "load a.dll", "free a.dll"
  std::vector<std::string> handles;  // handle n - 1 is the file name loaded
  std::string directory = "C:\\work\\";
  std::vector<std::string> directories;  // every directory made current

  static Modules *&current() {
    static Modules *m;
    return m;
  }
  static void *load(const char *name) {
    Modules *m = current();
    std::string n = MemoryRegistry::lower(name);
    // A bare name is found in the current directory, as the platform's search does.
    if (!m->present.count(n) && !m->present.count(MemoryRegistry::lower(m->directory) + n)) return nullptr;
    m->events.push_back("load " + n);
    m->handles.push_back(n);
    return (void *)(uintptr_t)m->handles.size();
  }
  static void release(void *module) { current()->events.push_back("free " + nameOf(module)); }
  static std::string nameOf(void *module) {
    return module ? current()->handles[(uintptr_t)module - 1] : std::string("<program>");
  }
  const LanguageModuleApi *api() {
    current() = this;
    static const LanguageModuleApi table = {load, release};
    return &table;
  }
};

struct Fixture : ::testing::Test {
  MemoryRegistry registry;
  Modules modules;
  LanguageLookup lookup;
  std::vector<std::string> logged;

  void SetUp() override { languageInit(&lookup, registry.api(), modules.api()); }
  void TearDown() override { languageUnload(&lookup); }

  void registerFile(int language, const char *file, const char *count = "1") {
    char key[400];
    ASSERT_TRUE(languageLibraryKeyPath(language, file, key, sizeof key));
    registryWriteText(registry.api(), kClassesRoot, key, nullptr, count);
  }
  void setLocale(const char *text) { registryWriteText(registry.api(), kClassesRoot, kLocaleKey, nullptr, text); }

  // The modules offered to a look-up, in order, when `holder` has the resource
  // ("" : nobody has it).
  std::vector<std::string> offered(const std::string &holder, std::string *answer) {
    struct Context {
      std::vector<std::string> seen;
      std::string holder;
    } c{{}, holder};
    auto accept = [](void *module, void *context) -> int {
      Context *x = (Context *)context;
      x->seen.push_back(Modules::nameOf(module));
      return x->seen.back() == x->holder;
    };
    void *module = (void *)1;
    int found = languageFind(&lookup, accept, &c, &module);
    *answer = found ? Modules::nameOf(module) : "<none>";
    return c.seen;
  }
};

}  // namespace

TEST(LanguageId, TranslationValueOfAVersionResource) {
  const unsigned char german[] = {0x07, 0x04, 0xE4, 0x04};  // 0x0407, code page 1252
  EXPECT_EQ(1031, languageFromTranslation(german, 4));
  const unsigned char unicode[] = {0x0C, 0x04, 0xB0, 0x04};  // French 0x040C, code page 1200
  EXPECT_EQ(1036, languageFromTranslation(unicode, 4));
  const unsigned char neutral[] = {0x07, 0x04, 0x00, 0x00};  // no code page
  EXPECT_EQ(-1, languageFromTranslation(neutral, 4));
  const unsigned char bogus[] = {0x07, 0x04, 0x34, 0x12};
  EXPECT_EQ(-1, languageFromTranslation(bogus, 4));
  // Two translations (eight bytes) or a cut value are not "exactly one language".
  const unsigned char two[] = {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xE4, 0x04};
  EXPECT_EQ(-1, languageFromTranslation(two, 8));
  EXPECT_EQ(-1, languageFromTranslation(german, 3));
  EXPECT_EQ(-1, languageFromTranslation(nullptr, 4));
}

TEST(LanguageId, StoredDecimalTexts) {
  struct Case {
    const char *text;
    int id;
  } cases[] = {{"1031", 1031},  {" 1036 ", 1036}, {"0", 0},         {"65535", 65535},
               {"65536", 1024}, {"", 1024},       {"-1031", 1024},  {"+1031", 1024},
               {"10x", 1024},   {"0x407", 1024},  {"1031 1", 1024}, {"99999999999999999999", 1024}};
  for (const Case &c : cases) EXPECT_EQ(c.id, parseLanguageId(c.text)) << "\"" << c.text << "\"";
  EXPECT_EQ(1024, parseLanguageId(nullptr));
}

TEST(LanguageId, KeyPaths) {
  char key[64];
  ASSERT_TRUE(languageLibraryKeyPath(1031, "de.dll", key, sizeof key));
  EXPECT_STREQ("Software\\Orvane Labs\\Languages\\32bit\\1031\\de.dll", key);
  EXPECT_FALSE(languageLibraryKeyPath(1031, "sub\\de.dll", key, sizeof key));  // a name, never a path
  EXPECT_FALSE(languageLibraryKeyPath(1031, "", key, sizeof key));
  char small[20];
  EXPECT_FALSE(languageKeyPath(1031, small, sizeof small));
  EXPECT_STREQ("", small);
}

TEST_F(Fixture, NoLanguageRegisteredOffersOnlyTheProgramAndWritesNothing) {
  std::string answer;
  EXPECT_EQ(std::vector<std::string>{"<program>"}, offered("<program>", &answer));
  EXPECT_EQ("<program>", answer);
  EXPECT_EQ(1024, lookup.language);
  EXPECT_TRUE(registry.keys.empty());  // not even Locale: the machine is left as it was
  EXPECT_EQ(0, registry.writes);
  offered("", &answer);
  EXPECT_EQ("<none>", answer);
}

TEST_F(Fixture, LibrariesOfTheLocaleComeFirstInRegistryOrderThenTheProgram) {
  modules.present = {"strings_b.dll", "strings_a.dll", "gone_c.dll"};
  registerFile(1031, "Strings_B.dll");
  registerFile(1031, "Strings_A.dll");
  registerFile(1031, "missing.dll");  // does not load: skipped
  registerFile(1036, "francais.dll");
  setLocale("1031");
  std::string answer;
  EXPECT_EQ((std::vector<std::string>{"strings_a.dll", "strings_b.dll", "<program>"}), offered("<program>", &answer));
  EXPECT_EQ((std::vector<std::string>{"strings_a.dll"}), offered("strings_a.dll", &answer));
  EXPECT_EQ("strings_a.dll", answer);
  EXPECT_EQ((std::vector<std::string>{"strings_a.dll", "strings_b.dll"}), offered("strings_b.dll", &answer));
  EXPECT_EQ("strings_b.dll", answer);
  // Loaded once for the language, not once per look-up.
  EXPECT_EQ((std::vector<std::string>{"load strings_a.dll", "load strings_b.dll"}), modules.events);
  EXPECT_EQ("1031", registry.text(kLocaleKey));
}

TEST_F(Fixture, EveryLookUpFollowsLocaleWhenAnotherProgramChangesIt) {
  modules.present = {"deutsch.dll", "francais.dll"};
  registerFile(1031, "deutsch.dll");
  registerFile(1036, "francais.dll");
  setLocale("1031");
  std::string answer;
  offered("", &answer);
  EXPECT_EQ(0, languageRefresh(&lookup));
  setLocale("1036");
  EXPECT_EQ((std::vector<std::string>{"francais.dll", "<program>"}), offered("", &answer));
  EXPECT_EQ((std::vector<std::string>{"load deutsch.dll", "free deutsch.dll", "load francais.dll"}), modules.events);
  setLocale("garbage");  // reads as the default language, which has no libraries
  EXPECT_EQ(1, languageRefresh(&lookup));
  EXPECT_EQ(1024, lookup.language);
  EXPECT_EQ(0, lookup.count);
  EXPECT_EQ("free francais.dll", modules.events.back());
  EXPECT_EQ(0, languageRefresh(&lookup));
}

TEST_F(Fixture, SwitchingWritesLocaleAndUnloadFreesEverything) {
  modules.present = {"deutsch.dll"};
  registerFile(1031, "deutsch.dll");
  languageSwitch(&lookup, 1031);
  EXPECT_EQ("1031", registry.text(kLocaleKey));
  EXPECT_EQ(1, lookup.count);
  languageSwitch(&lookup, 1031);  // already loaded: nothing happens
  EXPECT_EQ(1u, modules.events.size());
  languageUnload(&lookup);
  EXPECT_EQ("free deutsch.dll", modules.events.back());
  EXPECT_EQ(kNoLanguage, lookup.language);
}

namespace {

struct Host {
  std::map<std::string, int> languages;  // path -> language
  std::vector<std::string> logged;
  Modules *modules;

  static int languageOf(void *c, const char *path) {
    auto &l = ((Host *)c)->languages;
    auto it = l.find(path);
    return it == l.end() ? -1 : it->second;
  }
  static int currentDirectory(void *c, char *out, size_t room) {
    return snprintf(out, room, "%s", ((Host *)c)->modules->directory.c_str()) > 0;
  }
  static int changeDirectory(void *c, const char *directory) {
    Host *h = (Host *)c;
    h->modules->directory = directory;
    h->modules->directories.push_back(directory);
    return 1;
  }
  static void log(void *c, const char *key) { ((Host *)c)->logged.push_back(key); }
  SatelliteHost table() { return SatelliteHost{this, languageOf, currentDirectory, changeDirectory, log}; }
};

const char kGermanKey[] = "Software\\Orvane Labs\\Languages\\32bit\\1031";
const char kGermanFileKey[] = "Software\\Orvane Labs\\Languages\\32bit\\1031\\TXDE.DLL";

}  // namespace

TEST_F(Fixture, SatelliteOfAFileGroupIsCountedAndLoggedFileKeyFirst) {
  Host h{{{"C:\\Player\\TXDE.DLL", 1031}, {"D:\\Other\\TXDE.DLL", 1031}}, {}, &modules};
  SatelliteHost host = h.table();
  EXPECT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Player\\TXDE.DLL", 0));
  EXPECT_EQ("1", registry.text(kGermanKey));
  EXPECT_EQ("1", registry.text(kGermanFileKey));
  EXPECT_EQ((std::vector<std::string>{kGermanFileKey, kGermanKey}), h.logged);
  // A second installation of the same library counts both keys again.
  EXPECT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "D:\\Other\\TXDE.DLL", 0));
  EXPECT_EQ("2", registry.text(kGermanKey));
  EXPECT_EQ("2", registry.text(kGermanFileKey));
  EXPECT_EQ(4u, h.logged.size());
  // Registering neither switches the language nor loads anything.
  EXPECT_TRUE(modules.events.empty());
  EXPECT_EQ("<missing>", registry.text(kLocaleKey));
}

TEST_F(Fixture, ALibraryWithoutALanguageIsNotRegistered) {
  Host h{{}, {}, &modules};
  SatelliteHost host = h.table();
  EXPECT_EQ(kSatelliteNotRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Player\\plain.dll", 0));
  EXPECT_EQ(kSatelliteNotRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Player\\plain.dll", 1));
  EXPECT_TRUE(registry.keys.empty());
  EXPECT_TRUE(h.logged.empty());
}

TEST_F(Fixture, ImportedSatelliteSwitchesFromItsOwnDirectoryAndLeavesOnlyTheLanguageKey) {
  modules.present = {"c:\\setup\\txde.dll"};  // loads only with its directory current
  Host h{{{"C:\\Setup\\TXDE.DLL", 1031}}, {}, &modules};
  SatelliteHost host = h.table();
  EXPECT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Setup\\TXDE.DLL", 1));
  EXPECT_EQ((std::vector<std::string>{"C:\\Setup\\", "C:\\work\\"}), modules.directories);
  EXPECT_EQ((std::vector<std::string>{"load txde.dll"}), modules.events);
  EXPECT_EQ(1031, lookup.language);
  EXPECT_EQ("1031", registry.text(kLocaleKey));
  EXPECT_EQ("0", registry.text(kGermanKey));
  EXPECT_FALSE(registry.exists(kGermanFileKey));
  EXPECT_TRUE(h.logged.empty());
  // The library stays loaded for the look-ups that follow.
  std::string answer;
  EXPECT_EQ((std::vector<std::string>{"txde.dll", "<program>"}), offered("", &answer));
}

TEST_F(Fixture, ImportOfAnInstalledSatelliteKeepsItsCounts) {
  modules.present = {"c:\\setup\\txde.dll"};
  Host h{{{"C:\\Setup\\TXDE.DLL", 1031}}, {}, &modules};
  SatelliteHost host = h.table();
  ASSERT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Setup\\TXDE.DLL", 0));
  ASSERT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Setup\\TXDE.DLL", 1));
  EXPECT_EQ("1", registry.text(kGermanKey));
  EXPECT_EQ("1", registry.text(kGermanFileKey));
  EXPECT_EQ(2u, h.logged.size());  // only the file group's registration is logged
}

TEST_F(Fixture, ImportWhileItsLanguageIsLoadedLoadsTheNewLibraryToo) {
  modules.present = {"older.dll", "c:\\setup\\txde.dll"};
  registerFile(1031, "older.dll");
  setLocale("1031");
  std::string answer;
  offered("", &answer);
  ASSERT_EQ(1, lookup.count);
  Host h{{{"C:\\Setup\\TXDE.DLL", 1031}}, {}, &modules};
  SatelliteHost host = h.table();
  ASSERT_EQ(kSatelliteRegistered, languageRegisterSatellite(&lookup, &host, "C:\\Setup\\TXDE.DLL", 1));
  EXPECT_EQ((std::vector<std::string>{"older.dll", "txde.dll", "<program>"}), offered("", &answer));
}
