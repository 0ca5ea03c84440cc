// The clipboard monitor's scan against real record files: the locations found in
// plain and HTML texts, their descriptions, categories and keywords, duplicates
// (also in other letter case), and scans that must end.
#include "sitelist/windows/clipboard_scan.h"

#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/records/tests/test_support.h"

namespace {

int QuietPrompt(const RecordMessage* m) { return m->default_answer; }

struct Expected {
  const char* location;
  const char* description;
  const char* category;
  const char* keyword;
  const char* info;
};

struct ScanCase {
  const char* name;
  const char* text;
  int added;
  std::vector<Expected> sites;
};

std::string Field(const char* f, size_t width) {
  char out[1100];
  GetField(f, width, out, sizeof(out));
  return out;
}

class ClipboardScanTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    SetRecordPrompt(QuietPrompt);
    ASSERT_EQ(1, OpenRecordFile(RF_CATEGORIES));
    ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
  }
  void TearDown() override {
    CloseRecordFile(RF_TABLNK);
    CloseRecordFile(RF_CATEGORIES);
    SetRecordPrompt(nullptr);
    RecordsDirTest::TearDown();
  }
  ClipboardScanResult Scan(const std::string& text) {
    return ScanClipboardText(text, "12/08/2026", "11:30:00", &sink_, &count_, &status_);
  }
  uint32_t Count(int id) {
    uint32_t n = 0;
    EXPECT_EQ(KS_OK, ks_count(RecordFile(id), &n));
    return n;
  }
  bool GetSite(const char* location, SiteRecord* site) {
    ks_clear(&TABLNK_Decl, site);
    SET_FIELD(site->Location, location);
    return ks_get(RecordFile(RF_TABLNK), URL_K_Location, site) == KS_OK;
  }
  bool HasCategory(const char* name) { return sink_.CategoryExists(name); }

  StoreClipboardSink sink_;
  int count_ = 0;
  std::string status_;
};

TEST_F(ClipboardScanTest, TextsGiveTheirSites) {
  const ScanCase cases[] = {
      {"sentence with one address",
       "Have a look at http://Example.com/news today, it is good.",
       1,
       {{"http://Example.com/news", "today, it is good.", "Clipboard", "http", ""}}},
      {"anchor with link text",
       "<a href=\"http://a.org/x\">The A site</a> more words",
       1,
       {{"http://a.org/x", "The A site", "Clipboard", "http", "more words"}}},
      {"www without scheme",
       "try www.nowhere.net please",
       1,
       {{"http://www.nowhere.net", "please", "Clipboard", "http", ""}}},
      {"address alone gets a generated description",
       "ftp://files.example.com/pub",
       1,
       {{"ftp://files.example.com/pub", "Added from clipboard 12/08/2026 11:30:00 ftp://files.example.com/pub",
         "Clipboard", "ftp", ""}}},
      {"mailto",
       "write to mailto:someone@example.com now",
       1,
       {{"mailto:someone@example.com", "now", "Clipboard", "mailto:", ""}}},
      {"bookmark folder heading",
       "<DT><H3 ADD_DATE=\"1\">Tools</H3>\n<DL><p>\n"
       "<DT><A HREF=\"http://one.example/\" ADD_DATE=\"2\">One</A>\n"
       "<DT><A HREF=\"http://two.example/\" ADD_DATE=\"3\">Two</A>\n",
       2,
       {{"http://one.example/", "One", "Tools", "http", ""}, {"http://two.example/", "Two", "Clipboard", "http", ""}}},
      {"html heading",
       "<h2>  Search engines</h2><a href=\"http://find.example/\">Find</a>",
       1,
       {{"http://find.example/", "Find", "Search engines", "http", ""}}},
      {"a rule or a head is no heading",
       "<hr>Rule text<head>Head text</head><a href=\"http://rule.example/\">Rule</a>",
       1,
       {{"http://rule.example/", "Rule", "Clipboard", "http", ""}}},
      {"a heading after the link does not name it",
       "<a href=\"http://before.example/\">Before</a><h1>Later</h1>",
       1,
       {{"http://before.example/", "Before", "Clipboard", "http", ""}}},
      {"links within the page are skipped",
       "<a href=\"#top\">Top</a> <a href=\"#x:y\">Odd</a> <a href=\"http://real.example/\">Real</a>",
       1,
       {{"http://real.example/", "Real", "Clipboard", "http", ""}}},
      {"one address a line",
       "http://a.example/\r\nhttp://b.example/ B site\r\nnext line\r\n\thttp://c.example/\tC site",
       3,
       {{"http://a.example/", "Added from clipboard 12/08/2026 11:30:00 http://a.example/", "Clipboard", "http", ""},
        {"http://b.example/", "B site", "Clipboard", "http", ""},
        {"http://c.example/", "C site", "Clipboard", "http", ""}}},
      {"link text over two lines, heading with line breaks",
       "<h1>\r\n  Wrapped  </h1>\r\n<a href=\"http://wrap.example/\">Wrapped\r\n   link text</a>\r\n",
       1,
       {{"http://wrap.example/", "Wrapped link text", "Wrapped", "http", ""}}},
      {"href without a quote ends", "<a href=nothing> and href again", 0, {}},
      {"link without colon is not a site", "<a href=\"page.html\">Page</a>", 0, {}},
      {"no address at all", "just some words, nothing more", 0, {}},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    int before = count_;
    ClipboardScanResult r = Scan(c.text);
    EXPECT_EQ(c.added, r.added);
    EXPECT_EQ(before + c.added, count_);
    for (const Expected& e : c.sites) {
      SiteRecord s;
      ASSERT_TRUE(GetSite(e.location, &s)) << e.location;
      EXPECT_EQ(e.location, Field(s.Location, sizeof(s.Location)));
      EXPECT_EQ(e.description, Field(s.Description, sizeof(s.Description)));
      EXPECT_EQ(e.category, Field(s.Category, sizeof(s.Category)));
      EXPECT_EQ(e.keyword, Field(s.Keyword, sizeof(s.Keyword)));
      EXPECT_EQ(e.info, std::string(s.SiteInfo).substr(0, std::string(s.SiteInfo).find_last_not_of(' ') + 1));
      EXPECT_EQ(0, s.Rating);
      EXPECT_TRUE(HasCategory(e.category));
    }
  }
  EXPECT_TRUE(HasCategory("clipboard"));  // created once, found in any letter case
}

TEST_F(ClipboardScanTest, DuplicatesAreNotAddedAgain) {
  CategoryRecord clip = MakeCategory("Clipboard");
  ASSERT_EQ(1, AddCategory(&clip));
  SiteRecord stored = MakeSite("http://stored.example/", "Stored", "Clipboard", 0, "http");
  ASSERT_EQ(1, AddSite(&stored));
  const std::string text = "see HTTP://STORED.EXAMPLE/ and http://new.example/ too";
  EXPECT_EQ(1, Scan(text).added);
  EXPECT_EQ("Added 1:  http://new.example/", status_);
  EXPECT_EQ(0, Scan(text).added);  // the same text again
  EXPECT_EQ(2u, Count(RF_TABLNK));
  EXPECT_EQ(1u, Count(RF_CATEGORIES));
  EXPECT_EQ("Added 1:  http://new.example/", status_);
}

TEST_F(ClipboardScanTest, OnlyTheFirst2000CharactersAreScanned) {
  std::string text(CLIPBOARD_TEXT_WIDTH, 'x');
  text += " http://far.example/";
  EXPECT_EQ(0, Scan(text).added);
  // An address the 2000th character cuts is kept as far as the field holds it.
  text = std::string(1990, 'x') + " http://cut.example/far/away";
  EXPECT_EQ(1, Scan(text).added);
  EXPECT_EQ("Added 1:  http://cu", status_);
  text = std::string(1950, 'y') + " http://near.example/";
  EXPECT_EQ(1, Scan(text).added);
}

TEST_F(ClipboardScanTest, TheWorkingTextIsAFieldPaddedWithSpaces) {
  // 2000 characters with one space before the address: once the text before
  // the address is dropped, the field's padding ends it, cut to the field.
  std::string text = "see http://long.example/";
  text += std::string(CLIPBOARD_TEXT_WIDTH - text.size(), 'b');
  ASSERT_EQ(1, Scan(text).added);
  SiteRecord s;
  std::string location = text.substr(4, sizeof(s.Location));
  ASSERT_TRUE(GetSite(location.c_str(), &s));
  EXPECT_EQ(location, Field(s.Location, sizeof(s.Location)));
}

// The store's sink, but its lookup misses the sites that a second station adds
// between the lookup and the add: the store then refuses the add.
class RacingSink : public StoreClipboardSink {
public:
  bool LocationExists(const std::string&) override { return false; }
  bool AddFailed(const SiteRecord& site, int code) override {
    char location[256];
    GET_FIELD(site.Location, location);
    failures.push_back(std::string(location) + " " + std::to_string(code));
    return goOn;
  }
  std::vector<std::string> failures;
  bool goOn = true;
};

TEST_F(ClipboardScanTest, AFailedAddGoesOnOrEndsTheScanAsAnswered) {
  SiteRecord stored = MakeSite("http://taken.example/", "Stored", "Clipboard", 0, "http");
  ASSERT_EQ(1, AddSite(&stored));
  const std::string text = "a http://first.example/ b HTTP://TAKEN.EXAMPLE/ c http://last.example/ d";
  RacingSink racing;
  ClipboardScanResult r = ScanClipboardText(text, "Dec 8, 2026", "1:05PM", &racing, &count_, &status_);
  EXPECT_EQ(2, r.added);
  EXPECT_EQ(1, r.failed);
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(std::vector<std::string>{"HTTP://TAKEN.EXAMPLE/ 40"}, racing.failures);
  EXPECT_EQ("Added 2:  http://last.example/", status_);

  // Answered "end": nothing after the failed add is looked at.
  racing.failures.clear();
  racing.goOn = false;
  r = ScanClipboardText("x http://first.example/ y http://later.example/ z", "", "", &racing, &count_, &status_);
  EXPECT_EQ(0, r.added);
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(std::vector<std::string>{"http://first.example/ 40"}, racing.failures);
  SiteRecord later;
  EXPECT_FALSE(GetSite("http://later.example/", &later));
  EXPECT_EQ(2, count_);
}

TEST_F(ClipboardScanTest, ACategoryAnotherWindowAddedMeanwhileIsNoError) {
  // The lookup misses it (added after the look), the add finds it: no message.
  struct LateCategorySink : StoreClipboardSink {
    bool CategoryExists(const std::string&) override { return false; }
  } late;
  int prompts = 0;
  static int* counter;
  counter = &prompts;
  SetRecordPrompt([](const RecordMessage* m) {
    ++*counter;
    return m->default_answer;
  });
  EXPECT_EQ(1, ScanClipboardText("x http://one.example/ y", "", "", &late, &count_, &status_).added);
  EXPECT_EQ(1, ScanClipboardText("x http://two.example/ y", "", "", &late, &count_, &status_).added);
  EXPECT_EQ(0, prompts);
  EXPECT_EQ(1u, Count(RF_CATEGORIES));
}

TEST_F(ClipboardScanTest, EveryPassShortensTheText) {
  // A text with neither space nor comma after the address, and many hrefs.
  std::string packed(2000, 'z');
  packed.replace(0, 11, "http://zzzz");
  ClipboardScanResult r = Scan(packed);
  EXPECT_EQ(0, r.added);
  EXPECT_LE(r.passes, 2001);
  std::string hrefs;
  while (hrefs.size() < 2000) hrefs += "href";
  r = Scan(hrefs);
  EXPECT_LE(r.passes, 2001);
}

}  // namespace
