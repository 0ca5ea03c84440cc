// The program's record operations and rules on top of the store: the opening
// rules with use counts, the standard messages' exact texts, adds with their
// duplicate messages, change and delete of sites, and the category cascades,
// all-or-nothing under failures injected at every step.
#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"
#include "sitelist/records/tests/test_support.h"

#include <stdio.h>
#include <string.h>

#include <deque>
#include <fstream>
#include <map>

namespace {

// Messages shown through RecordPrompt, and the answers to give.
std::vector<RecordMessage> g_shown;
std::deque<int> g_answers;

int ScriptedPrompt(const RecordMessage* m) {
  g_shown.push_back(*m);
  if (g_answers.empty()) return m->default_answer;
  int a = g_answers.front();
  g_answers.pop_front();
  return a;
}

class OperationsTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    g_shown.clear();
    g_answers.clear();
    SetRecordPrompt(ScriptedPrompt);
  }
  void TearDown() override {
    for (int id = 0; id < RF_COUNT; id++)
      while (RecordFileUses(id) > 0) CloseRecordFile(id);
    SetRecordPrompt(nullptr);
    ks_debug_fail_after(0);
    g_RecordProgramEnd = 0;
    RecordsDirTest::TearDown();
  }
  void OpenAll() {
    ASSERT_EQ(1, OpenRecordFile(RF_CATEGORIES));
    ASSERT_EQ(1, OpenRecordFile(RF_CATHTML));
    ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
  }
  // Categories News (sites a, b, c; texts), news (site d), Sport (site e).
  void Populate() {
    OpenAll();
    for (const char* n : {"News", "Sport", "_Before All"}) {
      CategoryRecord c = MakeCategory(n, "about");
      ASSERT_EQ(1, AddCategory(&c));
    }
    const char* sites[][3] = {{"http://a/", "Alpha", "News"},
                              {"http://d/", "Beta", "news"},
                              {"http://b/", "Charlie", "News"},
                              {"http://e/", "Echo", "Sport"},
                              {"http://c/", "Delta", "News"}};
    for (auto& s : sites) {
      SiteRecord r = MakeSite(s[0], s[1], s[2], 1, "http");
      ASSERT_EQ(1, AddSite(&r));
    }
    for (const char* t : {"Before Category", "After Category"}) {
      CatHtmlRecord h = MakeText("News", t, "<hr>");
      ASSERT_EQ(1, AddCatText(&h));
    }
    CatHtmlRecord s = MakeText("Sport", "Replace Title", "<h2>Sport</h2>");
    ASSERT_EQ(1, AddCatText(&s));
  }
  CategoryRecord GetCategory(const char* name) {
    CategoryRecord c = MakeCategory(name);
    EXPECT_EQ(KS_OK, ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, &c)) << name;
    return c;
  }
  // Every record of the three files, as text, in physical order.
  std::string Dump() {
    std::string out;
    for (auto& s : ReadAll<SiteRecord>(RecordFile(RF_TABLNK), -1, nullptr, [](const SiteRecord& r) {
           return Field(r.Location) + "|" + Field(r.Category) + "|" + Field(r.Description);
         }))
      out += s + "\n";
    for (auto& s : ReadAll<CategoryRecord>(RecordFile(RF_CATEGORIES), -1, nullptr,
                                           [](const CategoryRecord& r) { return Field(r.Category); }))
      out += s + "\n";
    for (auto& s : ReadAll<CatHtmlRecord>(RecordFile(RF_CATHTML), -1, nullptr, [](const CatHtmlRecord& r) {
           return Field(r.Category) + "|" + Field(r.TypeOfHTML);
         }))
      out += s + "\n";
    return out;
  }
  std::vector<std::string> SitesOf(const char* category) {
    std::string filter = std::string("URL:Category='") + category + "'";
    return ReadAll<SiteRecord>(RecordFile(RF_TABLNK), URL_K_Location, filter.c_str(),
                               [](const SiteRecord& r) { return Field(r.Location); });
  }
  std::vector<std::string> TextsOf(const char* category) {
    std::string filter = std::string("HTM:Category='") + category + "'";
    return ReadAll<CatHtmlRecord>(RecordFile(RF_CATHTML), HTM_KeyCategoryHTML, filter.c_str(),
                                  [](const CatHtmlRecord& r) { return Field(r.TypeOfHTML); });
  }
};

// ---- Messages ------------------------------------------------------------------

struct MessageCase {
  int id, error;
  const char* file;
  const char* detail;
  const char* title;
  const char* text;
  int buttons;
};

TEST(RecordMessages, TextsTitlesAndButtonsAreExact) {
  const MessageCase cases[] = {
      {RM_DUPLICATE_KEY, 40, "TABLNK", "Site Location", "Duplicate Key Error",
       "Adding this record creates a duplicate entry for the key: Site Location", RB_OK},
      {RM_INSERT_ERROR, 5, "TABLNK", nullptr, "Record Insert Error",
       "An error was experienced during the update of record.  Error: Access Denied (5)", RB_OK},
      {RM_UPDATE_RETRY, 0, nullptr, nullptr, "Record Update Error",
       "An error was experienced changing this record.  Do you want to try to save again?", RB_YES_NO_CANCEL},
      {RM_DELETE_RETRY, 0, nullptr, nullptr, "Record Update Error",
       "An error was experienced deleting this record.  Do you want to try to save again?", RB_YES_NO_CANCEL},
      {RM_CHANGED_BY_OTHER, 89, "TABLNK", nullptr, "Update Operation Error",
       "This record was changed by another station.", RB_OK},
      {RM_UPDATE_OPERATION, 40, "CatHTML", nullptr, "Update Operation Error",
       "An error (Creates Duplicate Key (40)) was experienced when attempting to update a record from the file.  "
       "Probable Cause: CatHTML.",
       RB_OK},
      {RM_DELETE_OPERATION, 35, "TABLNK", nullptr, "Delete Operation Error",
       "An error (Record Not Found (35)) was experienced when attempting to delete a record from the file TABLNK",
       RB_OK},
      {RM_TRANSACTION_FRAMING, 32, "Categories", "Delete", "Transaction Framing Error",
       "Error: (File Is Already Locked (32)) attempting to frame the delete transaction on Categories.  Delete "
       "transaction cancelled.",
       RB_OK},
      {RM_RECORD_RETRIEVAL, 33, "TABLNK", nullptr, "Record Retrieval Error",
       "Error: (Record Not Available (33)) attempting to access a record from the TABLNK file.  Returning to "
       "previous window.",
       RB_OK},
      {RM_CONFIRM_DELETE, 0, nullptr, nullptr, "Confirm Delete",
       "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.", RB_OK_CANCEL},
      {RM_FIELD_CONTENTS, 0, "Categories", "URL:Category", "Field Contents Error",
       "The value for URL:Category must be found in the Categories file.", RB_OK},
      {RM_INVALID_KEY, 46, "TABLNK", nullptr, "Invalid Key",
       "Error: (Key File Must Be Rebuilt (46)) attempting to open the TABLNK file.  Do you want to rebuild its keys?",
       RB_YES_NO},
      {RM_FILE_ACCESS, 90, "History", nullptr, "File Access Error",
       "Error: (File System Error (90)) attempting to access the History file.  Press OK to end this application.",
       RB_OK_CANCEL},
      {RM_DISK_ERROR, 90, nullptr, nullptr, "Disk Error", "Disk Error", RB_OK},
  };
  for (const MessageCase& c : cases) {
    RecordMessage m;
    ASSERT_EQ(1, FormatRecordMessage(c.id, c.error, c.file, c.detail, &m)) << c.id;
    EXPECT_STREQ(c.title, m.title) << c.id;
    EXPECT_STREQ(c.text, m.text) << c.id;
    EXPECT_EQ(c.buttons, m.buttons) << c.id;
  }
  RecordMessage m;
  EXPECT_EQ(0, FormatRecordMessage(RM_COUNT, 0, nullptr, nullptr, &m));
  // A long detail is cut, never overrun.
  std::string huge(5000, 'k');
  EXPECT_EQ(0, FormatRecordMessage(RM_DUPLICATE_KEY, 40, "TABLNK", huge.c_str(), &m));
  EXPECT_EQ(sizeof m.text - 1, strlen(m.text));
}

// ---- Opening rules -----------------------------------------------------------------

TEST_F(OperationsTest, FilesAreCreatedOnFirstUseAndSharedByUseCount) {
  ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
  KsFile* first = RecordFile(RF_TABLNK);
  ASSERT_NE(nullptr, first);
  ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
  EXPECT_EQ(first, RecordFile(RF_TABLNK));
  EXPECT_EQ(2, RecordFileUses(RF_TABLNK));
  CloseRecordFile(RF_TABLNK);
  EXPECT_EQ(first, RecordFile(RF_TABLNK));
  CloseRecordFile(RF_TABLNK);
  EXPECT_EQ(nullptr, RecordFile(RF_TABLNK));
  EXPECT_TRUE(std::filesystem::exists("URL_L.KSF"));
  EXPECT_TRUE(g_shown.empty());
}

static void Corrupt(const char* path, long offset_from_end, int at_start_offset = -1) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  if (at_start_offset >= 0) f.seekp(at_start_offset);
  else f.seekp(offset_from_end, std::ios::end);
  f.put('\x5A');
}

TEST_F(OperationsTest, DamagedKeysAreRebuiltWhenTheUserAgrees) {
  Populate();
  for (int id : {RF_CATEGORIES, RF_CATHTML, RF_TABLNK}) CloseRecordFile(id);
  Corrupt("URL_L.KSF", -3);  // inside the last key section
  g_answers = {RA_YES};
  ASSERT_EQ(1, OpenRecordFile(RF_TABLNK));
  ASSERT_EQ(1u, g_shown.size());
  EXPECT_STREQ("Invalid Key", g_shown[0].title);
  uint32_t n = 0;
  ASSERT_EQ(KS_OK, ks_count(RecordFile(RF_TABLNK), &n));
  EXPECT_EQ(5u, n);
  for (int k = 0; k < TABLNK_Decl.nkeys; k++) EXPECT_EQ(5u, SiteOrder(RecordFile(RF_TABLNK), k).size());
  CloseRecordFile(RF_TABLNK);
  // Answering No leaves the error standing: "File Access Error", and the program ends on OK.
  Corrupt("URL_L.KSF", -3);
  g_shown.clear();
  g_answers = {RA_NO, RA_OK, RA_OK};
  EXPECT_EQ(0, OpenRecordFile(RF_TABLNK));
  ASSERT_EQ(3u, g_shown.size());
  EXPECT_STREQ("File Access Error", g_shown[1].title);
  EXPECT_STREQ("Disk Error", g_shown[2].title);
  EXPECT_EQ(1, g_RecordProgramEnd);
}

TEST_F(OperationsTest, AFileOfAnotherLayoutIsReportedInvalid) {
  {
    std::ofstream f("URL_C.KSF", std::ios::binary);
    f << "This is not a keyed file at all, just some text that happens to be long enough.";
    f << std::string(600, '.');
  }
  EXPECT_EQ(0, OpenRecordFile(RF_CATEGORIES));
  ASSERT_EQ(1u, g_shown.size());
  EXPECT_STREQ("Invalid File", g_shown[0].title);
  EXPECT_EQ(0, RecordFileUses(RF_CATEGORIES));
}

// ---- Adds -----------------------------------------------------------------------------

TEST_F(OperationsTest, DuplicateAddsNameTheKey) {
  Populate();
  g_shown.clear();
  int err = 0;
  SiteRecord s = MakeSite("HTTP://A/", "again", "News", 0, "http");
  EXPECT_EQ(0, AddSite(&s, &err));
  EXPECT_EQ(KS_ERR_DUPLICATE, err);
  CategoryRecord c = MakeCategory("news");
  EXPECT_EQ(0, AddCategory(&c, &err));
  CatHtmlRecord t = MakeText("NEWS", "before category", "x");
  EXPECT_EQ(0, AddCatText(&t, &err));
  ASSERT_EQ(3u, g_shown.size());
  EXPECT_STREQ("Adding this record creates a duplicate entry for the key: Site Location", g_shown[0].text);
  EXPECT_STREQ("Adding this record creates a duplicate entry for the key: Category", g_shown[1].text);
  EXPECT_STREQ("Adding this record creates a duplicate entry for the key: Category - Add HTML", g_shown[2].text);
  for (auto& m : g_shown) EXPECT_STREQ("Duplicate Key Error", m.title);
}

// ---- Sites ------------------------------------------------------------------------------

TEST_F(OperationsTest, ChangeAndDeleteSite) {
  Populate();
  SiteRecord s = MakeSite("http://e/", "", "", 0, "");
  ASSERT_EQ(KS_OK, ks_get(RecordFile(RF_TABLNK), URL_K_Location, &s));
  SET_FIELD(s.Description, "Echo changed");
  ASSERT_EQ(1, ChangeSite(&s));
  // Another station changes the site: this window's put fails with 89.
  KsFile* other = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &other));
  SiteRecord o = s;
  ASSERT_EQ(KS_OK, ks_get(other, URL_K_Location, &o));
  SET_FIELD(o.Description, "Theirs");
  ASSERT_EQ(KS_OK, ks_put(other, &o));
  ks_close(other);
  g_shown.clear();
  int err = 0;
  SET_FIELD(s.Description, "Mine");
  EXPECT_EQ(0, ChangeSite(&s, &err));
  EXPECT_EQ(KS_ERR_CHANGED, err);
  ASSERT_EQ(1u, g_shown.size());
  EXPECT_STREQ("Update Operation Error", g_shown[0].title);
  EXPECT_STREQ("This record was changed by another station.", g_shown[0].text);
  // The retry question follows the form's rules.
  g_answers = {RA_NO};
  EXPECT_EQ(RA_NO, AskUpdateRetry());
  // Delete re-reads the site through its position, so the newer version goes.
  ASSERT_EQ(1, DeleteSite(&s));
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_get(RecordFile(RF_TABLNK), URL_K_Location, &s));
}

// ---- Category cascades --------------------------------------------------------------------------

TEST_F(OperationsTest, RenamingACategoryCarriesTheNameToItsSitesAndTexts) {
  Populate();
  CategoryRecord c = GetCategory("News");
  SET_FIELD(c.Category, "Headlines");
  ASSERT_EQ(1, ChangeCategory(&c, "News"));
  EXPECT_EQ((std::vector<std::string>{"http://a/", "http://b/", "http://c/"}), SitesOf("Headlines"));
  EXPECT_EQ((std::vector<std::string>{}), SitesOf("News"));
  EXPECT_EQ((std::vector<std::string>{"http://d/"}), SitesOf("news"));  // other letter case: unchanged
  EXPECT_EQ((std::vector<std::string>{"After Category", "Before Category"}), TextsOf("Headlines"));
  EXPECT_EQ((std::vector<std::string>{"Replace Title"}), TextsOf("Sport"));
  EXPECT_TRUE(g_shown.empty());
}

TEST_F(OperationsTest, SavingACategoryUnderItsOwnNameRewritesNothingElse) {
  Populate();
  std::map<std::string, uint32_t> before;
  for (auto& v : ReadAll<SiteRecord>(RecordFile(RF_TABLNK), -1, nullptr, [](const SiteRecord& r) {
         return Field(r.Location) + "@" + std::to_string(r.Tag.version);
       }))
    before[v] = 1;
  CategoryRecord c = GetCategory("News");
  SET_MEMO(c.Description, "new description");
  ASSERT_EQ(1, ChangeCategory(&c, "News"));
  for (auto& v : ReadAll<SiteRecord>(RecordFile(RF_TABLNK), -1, nullptr, [](const SiteRecord& r) {
         return Field(r.Location) + "@" + std::to_string(r.Tag.version);
       }))
    EXPECT_EQ(1u, before.count(v)) << v;
}

TEST_F(OperationsTest, DeletingACategoryDeletesItsSitesAndTexts) {
  Populate();
  CategoryRecord c = GetCategory("News");
  ASSERT_EQ(1, DeleteCategory(&c));
  EXPECT_EQ((std::vector<std::string>{}), SitesOf("News"));
  EXPECT_EQ((std::vector<std::string>{"http://d/"}), SitesOf("news"));
  EXPECT_EQ((std::vector<std::string>{}), TextsOf("News"));
  EXPECT_EQ((std::vector<std::string>{"http://e/"}), SitesOf("Sport"));
  CategoryRecord gone = MakeCategory("news");
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, &gone));
}

// A failure at any step of a cascade leaves all three files as they were.
TEST_F(OperationsTest, CascadesAreAllOrNothingUnderFailuresAtEveryStep) {
  Populate();
  const std::string before = Dump();
  struct Step {
    const char* name;
    int (*run)(CategoryRecord*);
  } steps[] = {
      {"delete", [](CategoryRecord* c) { return DeleteCategory(c); }},
      {"rename",
       [](CategoryRecord* c) {
         SET_FIELD(c->Category, "Renamed");
         return ChangeCategory(c, "News");
       }},
  };
  for (const Step& step : steps) {
    int failures = 0;
    for (int n = 1; n < 50; n++) {
      CategoryRecord c = GetCategory("News");
      g_shown.clear();
      ks_debug_fail_after(n);
      int ok = step.run(&c);
      ks_debug_fail_after(0);
      if (ok) break;
      failures++;
      EXPECT_FALSE(g_shown.empty()) << step.name << " " << n;  // the user was told
      EXPECT_EQ(before, Dump()) << step.name << " failing at change " << n;
    }
    EXPECT_GE(failures, 6) << step.name;  // category, two texts and three sites at least
    // Undo the successful run for the next step.
    for (int id : {RF_CATEGORIES, RF_CATHTML, RF_TABLNK}) {
      CloseRecordFile(id);
      ks_remove(RecordFileDecl(id), nullptr);
    }
    Populate();
  }
}

TEST_F(OperationsTest, ATransactionThatCannotBeginTellsTheUserAndChangesNothing) {
  Populate();
  KsFile* other = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &other));
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(&other, 1, 0, &t));
  const std::string before = Dump();
  g_shown.clear();
  CategoryRecord c = GetCategory("News");
  int err = 0;
  EXPECT_EQ(0, DeleteCategory(&c, &err));
  EXPECT_EQ(KS_ERR_LOCKED, err);
  ks_rollback(t);
  ks_close(other);
  ASSERT_EQ(1u, g_shown.size());
  EXPECT_STREQ("Transaction Framing Error", g_shown[0].title);
  EXPECT_STREQ(
      "Error: (File Is Already Locked (32)) attempting to frame the delete transaction on Categories.  "
      "Delete transaction cancelled.",
      g_shown[0].text);
  EXPECT_EQ(before, Dump());
}

// ---- Rules of the site form ---------------------------------------------------------------------------

TEST(SiteRules, KeywordFromLocation) {
  const struct {
    const char* location;
    const char* keyword;
  } cases[] = {
      {"http://www.example.com/", "http"},
      {"ftp://files.example.com/", "ftp"},
      {"mailto:someone@example.com", "mailto:"},
      {"www.example.com", "?"},
      {"verylongscheme://x", "verylongsc"},
      {"HTTP://X/", "HTTP"},
      {"news:comp.lang", "?"},
      {"", "?"},
  };
  for (auto& c : cases) {
    char loc[255], kw[10];
    SetField(loc, sizeof loc, c.location);
    KeywordFromLocation(loc, sizeof loc, kw, sizeof kw);
    EXPECT_EQ(c.keyword, Field(kw)) << c.location;
  }
}

TEST(SiteRules, PseudoCategoriesInAnyLetterCase) {
  const struct {
    const char* name;
    int pseudo;
  } cases[] = {{"_Before All", 1},
               {"_after all", 1},
               {"_AFTER ALL   ", 1},
               {"_Before", 0},
               {"Before All", 0},
               {"_After All!", 0},
               {"", 0}};
  for (auto& c : cases) {
    char f[30];
    SetField(f, sizeof f, c.name);
    EXPECT_EQ(c.pseudo, IsPseudoCategory(f, sizeof f)) << c.name;
  }
}

}  // namespace
