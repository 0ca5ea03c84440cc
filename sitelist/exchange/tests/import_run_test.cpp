// The import and merge runs on the real record store: today's bookmark files
// (Firefox, Chrome, Edge), an old Netscape file, an HTML page, a
// comma-delimited and a text file, each link checked with its title, folder,
// note and keyword; the three category methods; importing twice; an import
// running while another thread saves; the merge from another directory.
#include "sitelist/exchange/import_run.h"

#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/records/tests/test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

struct Site {
  std::string description, category, note, keyword;
  int rating;
  bool operator==(const Site& o) const {
    return description == o.description && category == o.category && note == o.note && keyword == o.keyword &&
           rating == o.rating;
  }
};

std::ostream& operator<<(std::ostream& os, const Site& s) {
  return os << "{" << s.description << " | " << s.category << " | " << s.note << " | " << s.keyword << " | " << s.rating
            << "}";
}

std::string FixturePath(const char* name) {
  const char* dir = getenv("TX_IMPORT_FIXTURES");
  return std::string(dir ? dir : "fixtures") + "/" + name;
}

// The prompts the runs raised, for the tests to look at.
std::vector<std::string> g_prompts;
int RecordingPrompt(const RecordMessage* m) {
  g_prompts.push_back(std::string(m->title) + ": " + m->text);
  return m->default_answer;
}

struct Asked {
  std::vector<std::string> questions;  // "location|best guess"
  const char* answer;                  // NULL: "&Use Best Guess"
};

int AskCategory(void* context, const SiteRecord* site, const char* best_guess, char* category, size_t cap) {
  Asked* a = (Asked*)context;
  a->questions.push_back(Field(site->Location) + "|" + best_guess);
  if (!a->answer) return 0;
  snprintf(category, cap, "%s", a->answer);
  return 1;
}

class ImportRunTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    g_prompts.clear();
    SetRecordPrompt(RecordingPrompt);
    ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
    ASSERT_EQ(1, OpenRecordFile(RF_CATEGORIES));
  }
  void TearDown() override {
    CloseRecordFile(RF_CATEGORIES);
    CloseRecordFile(RF_TABLNK);
    SetRecordPrompt(nullptr);
    RecordsDirTest::TearDown();
  }

  ImportCounts Import(const std::string& file, const char* type, const char* method, const char* category = "",
                      Asked* asked = nullptr) {
    ImportSettings s = {};
    snprintf(s.name, sizeof s.name, "%s", file.c_str());
    snprintf(s.type, sizeof s.type, "%s", type);
    snprintf(s.method, sizeof s.method, "%s", method);
    snprintf(s.category, sizeof s.category, "%s", category);
    ImportUi ui = {asked, asked ? AskCategory : nullptr, nullptr};
    ImportRun* run = new ImportRun;
    EXPECT_EQ(0, ImportOpen(run, &s, &ui));
    int last = -1;
    while (ImportStep(run, 7)) {
      int p = ImportPercent(run);
      EXPECT_GE(p, last);
      EXPECT_LE(p, 100);
      last = p;
    }
    EXPECT_EQ(100, ImportPercent(run));
    EXPECT_EQ(0, run->read_error);
    ImportCounts c = run->counts;
    ImportClose(run);
    delete run;
    return c;
  }

  std::map<std::string, Site> Sites() {
    std::map<std::string, Site> out;
    KsCursor* c = nullptr;
    EXPECT_EQ(KS_OK, ks_cursor_open(RecordFile(RF_TABLNK), -1, nullptr, &c));
    ks_set(c, nullptr);
    SiteRecord s;
    while (ks_next(c, &s) == KS_OK)
      out[Field(s.Location)] = Site{Field(s.Description), Field(s.Category), s.SiteInfo, Field(s.Keyword), s.Rating};
    ks_cursor_close(c);
    return out;
  }

  std::vector<std::string> Categories() {
    return ReadAll<CategoryRecord>(RecordFile(RF_CATEGORIES), CAT_K_Category, nullptr,
                                   [](const CategoryRecord& c) { return Field(c.Category); });
  }
};

struct FixtureCase {
  const char* file;
  const char* type;
  std::map<std::string, Site> sites;
  std::vector<std::string> categories;  // in CAT:K_Category order
};

const std::vector<FixtureCase>& Fixtures() {
  static const std::vector<FixtureCase> cases = {
      {"firefox_bookmarks.html",
       "HTML Document",
       {{"https://www.mozilla.org/en-US/firefox/", {"Get Help", "Bookmarks Menu", "", "https", 0}},
        {"https://news.example.com/world",
         {"Daily News &amp; Views", "Work News", "Read every morning before the stand-up", "https", 0}},
        {"https://blog.example.org/bob", {"Bob&#39;s Garage Blog", "Work News", "", "https", 0}},
        {"https://cafe.example.fr/creme",
         {"Caf\xE9 Cr\xE8me \x96 Paris", "Caf\xE9 Reviews", "Best croissants in the 11&#7497;", "https", 0}},
        {"https://tokyo.example.jp/", {"&#26481;&#20140; Guide", "Caf\xE9 Reviews", "", "https", 0}},
        {"https://markets.example.com/eur", {"\x80 exchange rates", "Work News", "", "https", 0}},
        {"https://www.wikipedia.org/", {"Wikipedia", "Bookmarks Toolbar", "", "https", 0}},
        {"place:sort=8&amp;maxResults=10", {"Most Visited", "Bookmarks Toolbar", "", "?", 0}},
        {"mailto:help@example.com", {"Write to support", "Bookmarks Menu", "", "mailto:", 0}}},
       {"Bookmarks Menu", "Bookmarks Toolbar", "Caf\xE9 Reviews", "Work News"}},
      {"chrome_bookmarks.html",
       "H",
       {{"https://mail.example.com/mail/u/0/#inbox", {"Inbox (3) \x96 Mail", "Bookmarks bar", "", "https", 0}},
        {"https://longreads.example.net/story?id=42&amp;ref=bm",
         {"A Story: Part 1 &quot;The Start&quot;", "Reading list for the", "", "https", 0}},
        {"https://xn--zrich-kva.example.ch/altstadt", {"Z\xFCrich Altstadt", "Reading list for the", "", "https", 0}},
        {"http://intranet.local:8080/wiki", {"Intranet Wiki", "Bookmarks bar", "", "http", 0}},
        {"ftp://ftp.example.org/pub/", {"FTP mirror", "Other bookmarks", "", "ftp", 0}},
        {"https://music.example.com/", {"&#127925; Music", "Other bookmarks", "", "https", 0}}},
       {"Bookmarks bar", "Other bookmarks", "Reading list for the"}},
      {"edge_favorites.html",
       "HTML Document",
       {{"https://www.bing.com/", {"Bing", "Favorites bar", "", "https", 0}},
        {"https://shop.example.de/strasse",
         {"Stra\xDF"
          "e &amp; Mehr",
          "Favorites bar", "", "https", 0}},
        {"https://docs.example.com/guide#install", {"Install guide \x96 Docs", "Bookmarks", "", "https", 0}}},
       {"Bookmarks", "Favorites bar"}},
      {"netscape4_bookmarks.htm",
       "HTML Document",
       {{"http://www.radio.example.es/",
         {"Radio Espa\xF1"
          "a \x96 en directo",
          "Se\xF1"
          "ales de radio",
          "Emisiones en l\xED"
          "nea",
          "http", 0}},
        {"http://home.netscape.com/", {"Netscape", "Bookmarks for Jos\xE9 G", "", "http", 0}}},
       {"Bookmarks for Jos\xE9 G",
        "Se\xF1"
        "ales de radio"}},
      {"links_page.html",
       "HTML Document",
       {{"http://www.altavista.example/",
         {"AltaVista", "Search engines", "the fastest <a href=\"http://www.lycos.example/\">Lycos</a></p>", "http", 0}},
        {"http://www.lycos.example/", {"Lycos", "Search engines", "", "http", 0}},
        {"news:comp.infosystems.www", {"WWW newsgroup", "A heading that is ra", "", "?", 0}},
        {"http://www.no-end-tag.example/", {"Rest of the line", "A heading that is ra", "", "http", 0}}},
       {"A heading that is ra", "Search engines"}},
      {"sites.csv",
       "Comma-delimited file",
       {{"http://www.example.com/", {"Example Domain", "New", "Reserved for documentation", "http", 0}},
        {"ftp://ftp.example.org/", {"Example FTP", "New", "", "ftp", 0}},
        {"http://spaced.example/", {"Leading spaces", "New", "kept out", "http", 0}}},
       {"New"}},
      {"notes.txt",
       "Any ASCII text file",
       {{"http://www.example.com/page.html", {"for the details.", "", "for the details.", "http", 0}},
        {"https://secure.example.net/login",
         {"then ftp://files.example.org/pub/readme.txt", "", "then ftp://files.example.org/pub/readme.txt", "https",
          0}},
        {"ftp://files.example.org/pub/readme.txt", {"", "", "", "ftp", 0}},
        {"telnet://bbs.example.org",
         {"news://news.example.org/comp.lang.c gopher://gopher.example.edu/", "",
          "news://news.example.org/comp.lang.c gopher://gopher.example.edu/", "telnet", 0}},
        {"news://news.example.org/comp.lang.c",
         {"gopher://gopher.example.edu/", "", "gopher://gopher.example.edu/", "news", 0}},
        {"gopher://gopher.example.edu/", {"", "", "", "gopher", 0}}},
       {}},
  };
  return cases;
}

TEST_F(ImportRunTest, EveryLinkOfEachFixtureArrivesWithTitleFolderAndNote) {
  for (const FixtureCase& f : Fixtures()) {
    SCOPED_TRACE(f.file);
    // Each fixture into an empty collection.
    CloseRecordFile(RF_CATEGORIES);
    CloseRecordFile(RF_TABLNK);
    ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
    ASSERT_EQ(KS_OK, ks_create(&Categories_Decl, nullptr));
    ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
    ASSERT_EQ(1, OpenRecordFile(RF_CATEGORIES));
    ImportCounts c = Import(FixturePath(f.file), f.type, "Make Best Guess");
    EXPECT_EQ((long)f.sites.size(), c.added);
    EXPECT_EQ(0, c.duplicates);
    EXPECT_EQ(f.sites, Sites());
    // The text file's sites have no heading: no blank category is made for them.
    EXPECT_EQ(f.categories, Categories());
    EXPECT_EQ((long)f.categories.size(), c.categories_added);
    EXPECT_TRUE(g_prompts.empty()) << g_prompts[0];
  }
}

TEST_F(ImportRunTest, ImportingTwiceAddsNothing) {
  ImportCounts first = Import(FixturePath("firefox_bookmarks.html"), "HTML Document", "Make Best Guess");
  EXPECT_EQ(9, first.added);
  std::map<std::string, Site> before = Sites();
  ImportCounts second = Import(FixturePath("firefox_bookmarks.html"), "HTML Document", "Make Best Guess");
  EXPECT_EQ(0, second.added);
  EXPECT_EQ(9, second.duplicates);
  EXPECT_EQ(0, second.notes);  // a duplicate is no last-added site: its <DD> is not written again
  EXPECT_EQ(0, second.categories_added);
  EXPECT_EQ(before, Sites());
}

TEST_F(ImportRunTest, DuplicatesAreFoundWithoutRegardToCase) {
  SiteRecord s = MakeSite("HTTPS://WWW.WIKIPEDIA.ORG/", "Already here", "Kept", 7, "https");
  ASSERT_EQ(1, AddSite(&s));
  ImportCounts c = Import(FixturePath("firefox_bookmarks.html"), "H", "M");
  EXPECT_EQ(8, c.added);
  EXPECT_EQ(1, c.duplicates);
  std::map<std::string, Site> sites = Sites();
  EXPECT_EQ(0u, sites.count("https://www.wikipedia.org/"));
  EXPECT_EQ("Already here", sites["HTTPS://WWW.WIKIPEDIA.ORG/"].description);
}

TEST_F(ImportRunTest, SelectedCategoryFilesEverySiteUnderIt) {
  CategoryRecord cat = MakeCategory("Programming Languages Ref");  // longer than a heading
  ASSERT_EQ(1, AddCategory(&cat));
  ImportCounts c =
      Import(FixturePath("chrome_bookmarks.html"), "HTML Document", "Selected Category", "Programming Languages Ref");
  EXPECT_EQ(6, c.added);
  for (const auto& s : Sites()) EXPECT_EQ("Programming Languages Ref", s.second.category) << s.first;
  EXPECT_EQ(std::vector<std::string>{"Programming Languages Ref"}, Categories());
}

TEST_F(ImportRunTest, BestGuessMakesTheHeadingsCategoriesOnlyOnce) {
  CategoryRecord cat = MakeCategory("work news", "kept as it was");
  ASSERT_EQ(1, AddCategory(&cat));
  ImportCounts c = Import(FixturePath("firefox_bookmarks.html"), "HTML Document", "Make Best Guess");
  EXPECT_EQ(3, c.categories_added);  // "Work News" exists already (in another letter case)
  EXPECT_EQ((std::vector<std::string>{"Bookmarks Menu", "Bookmarks Toolbar", "Caf\xE9 Reviews", "work news"}),
            Categories());
}

TEST_F(ImportRunTest, AskForEachUrl) {
  CategoryRecord cat = MakeCategory("Picked");
  ASSERT_EQ(1, AddCategory(&cat));
  // "&Select" with a category: that category.
  Asked selecting = {{}, "Picked"};
  ImportCounts c = Import(FixturePath("edge_favorites.html"), "HTML Document", "Ask for Each URL", "", &selecting);
  EXPECT_EQ(3, c.added);
  EXPECT_EQ(
      (std::vector<std::string>{"https://www.bing.com/|Favorites bar", "https://shop.example.de/strasse|Favorites bar",
                                "https://docs.example.com/guide#install|Bookmarks"}),
      selecting.questions);
  for (const auto& s : Sites()) EXPECT_EQ("Picked", s.second.category);
  // Nobody is asked about sites that are there already.
  Asked again = {{}, "Picked"};
  c = Import(FixturePath("edge_favorites.html"), "HTML Document", "Ask for Each URL", "", &again);
  EXPECT_EQ(3, c.duplicates);
  EXPECT_TRUE(again.questions.empty());
  // "&Use Best Guess" (or closing the window): "New", which is made.
  Asked guessing = {{}, nullptr};
  c = Import(FixturePath("sites.csv"), "Comma-delimited file", "Ask for Each URL", "", &guessing);
  EXPECT_EQ(3, c.added);
  EXPECT_EQ("http://www.example.com/|New", guessing.questions[0]);
  std::map<std::string, Site> sites = Sites();
  EXPECT_EQ("New", sites["http://www.example.com/"].category);
  EXPECT_EQ((std::vector<std::string>{"New", "Picked"}), Categories());
  // A selected category that does not exist yet is made, whole.
  Asked naming = {{}, "A brand new category name"};
  c = Import(FixturePath("notes.txt"), "A", "A", "", &naming);
  EXPECT_EQ(6, c.added);
  EXPECT_EQ((std::vector<std::string>{"A brand new category name", "New", "Picked"}), Categories());
}

TEST_F(ImportRunTest, DefaultsAndFirstLetters) {
  EXPECT_STREQ("HTML Document", ImportTypeText(""));
  EXPECT_STREQ("Comma-delimited file", ImportTypeText("c"));
  EXPECT_STREQ("Any ASCII text file", ImportTypeText("Anything"));
  EXPECT_STREQ("HTML Document", ImportTypeText("Zebra"));
  EXPECT_STREQ("Make Best Guess", ImportMethodText("  "));
  EXPECT_STREQ("Selected Category", ImportMethodText("S"));
  EXPECT_STREQ("Ask for Each URL", ImportMethodText("ask"));
  // A blank type and method import an HTML document by best guess.
  ImportCounts c = Import(FixturePath("edge_favorites.html"), "", "");
  EXPECT_EQ(3, c.added);
  EXPECT_EQ((std::vector<std::string>{"Bookmarks", "Favorites bar"}), Categories());
}

std::vector<int> g_failures;
void RecordFailure(void*, int error) { g_failures.push_back(error); }

TEST_F(ImportRunTest, AFailedAddIsToldAndTheImportGoesOn) {
  // Inside a transaction of this thread the store can be told to fail the
  // third change; the import's adds are those changes.
  KsFile* files[] = {RecordFile(RF_TABLNK)};
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(files, 1, 2000, &t));
  ks_debug_fail_after(3);
  g_failures.clear();
  ImportSettings s = {};
  snprintf(s.name, sizeof s.name, "%s", FixturePath("edge_favorites.html").c_str());
  snprintf(s.type, sizeof s.type, "H");
  snprintf(s.method, sizeof s.method, "S");
  ImportUi ui = {nullptr, nullptr, RecordFailure};
  ImportRun* run = new ImportRun;
  ASSERT_EQ(0, ImportOpen(run, &s, &ui));
  while (ImportStep(run, 100)) {}
  ks_debug_fail_after(0);
  EXPECT_EQ(2, run->counts.added);
  EXPECT_EQ(1, run->counts.failed);
  EXPECT_EQ(0, run->counts.duplicates);
  EXPECT_EQ(std::vector<int>{KS_ERR_IO}, g_failures);
  ImportClose(run);
  delete run;
  EXPECT_EQ(KS_OK, ks_commit(t));
  std::map<std::string, Site> sites = Sites();
  EXPECT_EQ(2u, sites.size());
  EXPECT_EQ(0u, sites.count("https://docs.example.com/guide#install"));  // the third site failed
}

TEST_F(ImportRunTest, MissingFileIsReportedNotCreated) {
  ImportSettings s = {};
  snprintf(s.name, sizeof s.name, "%s", Path("bookmark.htm").c_str());
  ImportUi ui = {};
  ImportRun* run = new ImportRun;
  int rc = ImportOpen(run, &s, &ui);
  EXPECT_EQ(ENOENT, rc);
  EXPECT_FALSE(std::filesystem::exists(Path("bookmark.htm")));
  delete run;
}

TEST_F(ImportRunTest, ImportRunsWhileAnotherThreadSaves) {
  // A bookmark file of 3,000 links in 30 folders.
  std::string file = Path("big.html");
  FILE* f = fopen(file.c_str(), "wb");
  ASSERT_TRUE(f);
  fprintf(f, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n");
  for (int i = 0; i < 3000; i++) {
    if (i % 100 == 0) fprintf(f, "<DT><H3>Folder %d</H3>\n<DL><p>\n", i / 100);
    fprintf(f, "<DT><A HREF=\"http://site%d.example/\">Site %d</A>\n<DD>Note %d\n", i, i, i);
    if (i % 100 == 99) fprintf(f, "</DL><p>\n");
  }
  fclose(f);
  // Meanwhile another window adds sites and changes one of them again and again,
  // through the program-wide buffer as the forms do.
  std::atomic<bool> done{false};
  std::thread other([&] {
    for (int i = 0; i < 200; i++) {
      g_URL = MakeSite(("http://other" + std::to_string(i) + ".example/").c_str(), "Other", "Mine", 5, "http");
      AddSite(&g_URL);
      SET_FIELD(g_URL.Description, "Other, changed");
      ChangeSite(&g_URL);
    }
    done = true;
  });
  ImportCounts c = Import(file, "HTML Document", "Make Best Guess");
  other.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(3000, c.added);
  EXPECT_EQ(3000, c.notes);
  std::map<std::string, Site> sites = Sites();
  ASSERT_EQ(3200u, sites.size());
  for (int i = 0; i < 3000; i += 37) {
    const Site& s = sites["http://site" + std::to_string(i) + ".example/"];
    EXPECT_EQ("Site " + std::to_string(i), s.description);
    EXPECT_EQ("Folder " + std::to_string(i / 100), s.category);
    EXPECT_EQ("Note " + std::to_string(i), s.note);
  }
  for (int i = 0; i < 200; i++) {
    const Site& s = sites["http://other" + std::to_string(i) + ".example/"];
    EXPECT_EQ("Other, changed", s.description);
    EXPECT_EQ("Mine", s.category);
  }
  EXPECT_TRUE(g_prompts.empty());
}

// ---- The merge --------------------------------------------------------------------------

TEST_F(ImportRunTest, MergeNameRule) {
  EXPECT_TRUE(MergeNameAccepted("URL_L.KSF"));
  EXPECT_TRUE(MergeNameAccepted("C:\\old\\url_l.ksf"));
  EXPECT_TRUE(MergeNameAccepted("Z:\\tmp\\Url_L.Ksf"));
  EXPECT_FALSE(MergeNameAccepted("C:\\old\\URL_C.KSF"));
  EXPECT_FALSE(MergeNameAccepted("TABLNK.KSF"));
  EXPECT_FALSE(MergeNameAccepted(""));
  EXPECT_FALSE(MergeNameAccepted("URL_L.KS"));
}

TEST_F(ImportRunTest, MergeCopiesLocationInformationOnly) {
  SiteRecord mine = MakeSite("http://both.example/", "Mine", "Ours", 3, "http", "my notes");
  ASSERT_EQ(1, AddSite(&mine));
  // The other directory's site file.
  std::filesystem::create_directories(Path("other"));
  std::string other = Path("other/URL_L.KSF");
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_create(&ImportSource_Decl, other.c_str()));
  ASSERT_EQ(KS_OK, ks_open(&ImportSource_Decl, other.c_str(), KS_SHARED, &f));
  for (int i = 0; i < 500; i++) {
    SiteRecord s = MakeSite(("ftp://m" + std::to_string(i) + ".example/").c_str(), ("M " + std::to_string(i)).c_str(),
                            i % 2 ? "Odd" : "Even", i % 100 - 50, "ftp", "their notes");
    ASSERT_EQ(KS_OK, ks_add(f, &s));
  }
  SiteRecord dup = MakeSite("HTTP://BOTH.EXAMPLE/", "Theirs", "Elsewhere", 9, "http");
  ASSERT_EQ(KS_OK, ks_add(f, &dup));
  ASSERT_EQ(KS_OK, ks_close(f));

  MergeRun run;
  ImportUi ui = {};
  ASSERT_EQ(KS_OK, MergeOpen(&run, other.c_str(), &ui));
  int last = 0;
  while (MergeStep(&run, 33)) {
    EXPECT_GE(MergePercent(&run), last);
    last = MergePercent(&run);
  }
  EXPECT_EQ(100, MergePercent(&run));
  EXPECT_EQ(500, run.counts.added);
  EXPECT_EQ(1, run.counts.duplicates);
  EXPECT_EQ(0, run.read_error);
  MergeClose(&run);

  std::map<std::string, Site> sites = Sites();
  ASSERT_EQ(501u, sites.size());
  EXPECT_EQ((Site{"M 7", "Odd", "", "ftp", -43}), sites["ftp://m7.example/"]);
  EXPECT_EQ((Site{"Mine", "Ours", "my notes", "http", 3}), sites["http://both.example/"]);
  EXPECT_TRUE(Categories().empty());  // categories are not copied
}

TEST_F(ImportRunTest, MergeSourceThatIsMissingOrNoSiteFile) {
  MergeRun run;
  ImportUi ui = {};
  std::string missing = Path("nowhere/URL_L.KSF");
  EXPECT_EQ(KS_ERR_NO_FILE, MergeOpen(&run, missing.c_str(), &ui));
  EXPECT_FALSE(std::filesystem::exists(missing));  // never created
  // A categories file renamed URL_L.KSF does not match the site layout.
  std::filesystem::create_directories(Path("cats"));
  std::string cats = Path("cats/URL_L.KSF");
  ASSERT_EQ(KS_OK, ks_create(&Categories_Decl, cats.c_str()));
  EXPECT_EQ(KS_ERR_INVALID, MergeOpen(&run, cats.c_str(), &ui));
}

}  // namespace
