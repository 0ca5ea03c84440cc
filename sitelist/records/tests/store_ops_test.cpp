// Operations of the keyed store: open modes and their errors, create and
// remove, add, put, delete, get, count, cursors with partial keys, next and
// previous, positions and filters. The line files are in line_file_test.cpp.
#include "sitelist/records/keyed_store.h"
#include "sitelist/records/record_files.h"
#include "sitelist/records/tests/test_support.h"

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>

namespace {

typedef std::vector<std::string> Order;

class StoreTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
    ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
    const char* rows[][4] = {
        {"http://a.example/", "Alpha", "News", "1"},      {"http://b.example/", "Beta", "News", "2"},
        {"http://c.example/", "Gamma", "Sport", "3"},     {"http://d.example/", "Delta", "news", "4"},
        {"http://e.example/", "Epsilon", "Weather", "5"},
    };
    for (auto& r : rows) {
      SiteRecord s = MakeSite(r[0], r[1], r[2], 0, "http", r[3]);
      ASSERT_EQ(KS_OK, ks_add(f_, &s));
    }
  }
  void TearDown() override {
    ks_close(f_);
    RecordsDirTest::TearDown();
  }
  SiteRecord Get(const char* location) {
    SiteRecord s;
    ks_clear(&TABLNK_Decl, &s);
    SET_FIELD(s.Location, location);
    EXPECT_EQ(KS_OK, ks_get(f_, URL_K_Location, &s)) << location;
    return s;
  }
  KsFile* f_ = nullptr;
};

TEST_F(StoreTest, OpenReportsMissingAlreadyOpenAndLockedFiles) {
  KsFile* g = nullptr;
  EXPECT_EQ(KS_ERR_NO_FILE, ks_open(&Categories_Decl, nullptr, KS_SHARED, &g));
  EXPECT_EQ(nullptr, g);
  KsFile* same = f_;
  EXPECT_EQ(KS_ERR_ALREADY_OPEN, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &same));
  // Open denying writes fails while another handle has the file open to write.
  EXPECT_EQ(KS_ERR_LOCKED, ks_open(&TABLNK_Decl, nullptr, KS_DENY_WRITE, &g));
  EXPECT_EQ(KS_ERR_LOCKED, ks_create(&TABLNK_Decl, nullptr));
  EXPECT_EQ(KS_ERR_LOCKED, ks_remove(&TABLNK_Decl, nullptr));
  ks_close(f_);
  f_ = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_DENY_WRITE, &g));
  uint32_t n = 0;
  EXPECT_EQ(KS_OK, ks_count(g, &n));
  EXPECT_EQ(5u, n);
  SiteRecord s = MakeSite("http://x/", "x", "", 0, "");
  EXPECT_EQ(KS_ERR_ACCESS, ks_add(g, &s));
  KsFile* h = nullptr;
  EXPECT_EQ(KS_ERR_LOCKED, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &h));  // others are denied writing
  ks_close(g);
  g = nullptr;
  EXPECT_EQ(KS_OK, ks_remove(&TABLNK_Decl, nullptr));
  EXPECT_EQ(KS_ERR_NO_FILE, ks_remove(&TABLNK_Decl, nullptr));
  EXPECT_EQ(KS_ERR_NO_FILE, ks_open(&TABLNK_Decl, nullptr, KS_DENY_WRITE, &g));
}

TEST_F(StoreTest, CreateReplacesTheFileWithAnEmptyOne) {
  ks_close(f_);
  f_ = nullptr;
  ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
  uint32_t n = 99;
  EXPECT_EQ(KS_OK, ks_count(f_, &n));
  EXPECT_EQ(0u, n);
}

TEST_F(StoreTest, RecordsSurviveCloseAndReopen) {
  SiteRecord s = Get("http://c.example/");
  SET_FIELD(s.Description, "Gamma rays");
  ASSERT_EQ(KS_OK, ks_put(f_, &s));
  SiteRecord d = Get("http://a.example/");
  ASSERT_EQ(KS_OK, ks_delete(f_, &d));
  ks_close(f_);
  f_ = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
  EXPECT_EQ("Gamma rays", Field(Get("http://c.example/").Description));
  EXPECT_EQ((Order{"2", "4", "5", "3"}), SiteOrder(f_, URL_K_Description));
  SiteRecord gone;
  ks_clear(&TABLNK_Decl, &gone);
  SET_FIELD(gone.Location, "http://a.example/");
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_get(f_, URL_K_Location, &gone));
}

TEST_F(StoreTest, RewritingTheFileKeepsEveryOrder) {
  for (int i = 0; i < 40; i++) {
    char loc[32], info[8];
    snprintf(loc, sizeof loc, "http://x%02d/", i);
    snprintf(info, sizeof info, "x%02d", i);
    SiteRecord s = MakeSite(loc, i % 3 ? "Same" : "Other", "News", i % 4, "http", info);
    ASSERT_EQ(KS_OK, ks_add(f_, &s));
    if (i % 5 == 0) { ASSERT_EQ(KS_OK, ks_delete(f_, &s)); }
  }
  std::vector<Order> before;
  for (int k = -1; k < TABLNK_Decl.nkeys; k++) before.push_back(SiteOrder(f_, k));
  ks_close(f_);  // the last user rewrites the file
  f_ = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
  for (int k = -1; k < TABLNK_Decl.nkeys; k++) EXPECT_EQ(before[k + 1], SiteOrder(f_, k)) << k;
  SiteRecord s = MakeSite("http://after/", "Same", "News", 0, "http", "after");
  ASSERT_EQ(KS_OK, ks_add(f_, &s));
  EXPECT_EQ("after", SiteOrder(f_, -1).back());
}

TEST_F(StoreTest, PutAndDeleteNeedARecordThatWasRead) {
  SiteRecord s = MakeSite("http://new/", "n", "", 0, "");
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_put(f_, &s));
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_delete(f_, &s));
  SiteRecord a = Get("http://a.example/");
  SET_FIELD(a.Location, "HTTP://B.EXAMPLE/");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_put(f_, &a));  // unique key of another record
  SET_FIELD(a.Location, "HTTP://A.EXAMPLE/");   // its own key in other letter case
  EXPECT_EQ(KS_OK, ks_put(f_, &a));
}

TEST_F(StoreTest, GetOnADuplicateKeyFindsTheFirstEqualEntry) {
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Category, "NEWS");
  SET_FIELD(s.Description, "delta");
  ASSERT_EQ(KS_OK, ks_get(f_, URL_K_Category, &s));
  EXPECT_STREQ("4", s.SiteInfo);
  SET_FIELD(s.Description, "Delt");
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_get(f_, URL_K_Category, &s));  // exact match of all components
}

TEST_F(StoreTest, PartialKeyPositionsAtTheFirstEntryAtOrAfterIt) {
  KsCursor* c = nullptr;
  ASSERT_EQ(KS_OK, ks_cursor_open(f_, URL_K_Category, nullptr, &c));
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Category, "news");  // description at its lowest (blank)
  ASSERT_EQ(KS_OK, ks_set(c, &s));
  std::string seen;
  while (ks_next(c, &s) == KS_OK) seen += s.SiteInfo;
  EXPECT_EQ("12435", seen);  // Alpha, Beta, Delta of news/News, then Sport, Weather
  // Backwards from the end, then forwards again from where it stands.
  ASSERT_EQ(KS_OK, ks_set_end(c));
  seen.clear();
  while (ks_previous(c, &s) == KS_OK) seen += s.SiteInfo;
  EXPECT_EQ("53421", seen);
  EXPECT_EQ(KS_OK, ks_next(c, &s));
  EXPECT_STREQ("1", s.SiteInfo);
  EXPECT_EQ(KS_OK, ks_next(c, &s));
  EXPECT_STREQ("2", s.SiteInfo);
  EXPECT_EQ(KS_OK, ks_previous(c, &s));
  EXPECT_STREQ("1", s.SiteInfo);
  // A value after every entry leaves nothing to read forward, everything backward.
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Category, "zzz");
  ASSERT_EQ(KS_OK, ks_set(c, &s));
  EXPECT_EQ(KS_ERR_NO_RECORD, ks_next(c, &s));
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Category, "zzz");
  ASSERT_EQ(KS_OK, ks_set(c, &s));
  EXPECT_EQ(KS_OK, ks_previous(c, &s));
  EXPECT_STREQ("5", s.SiteInfo);
  ks_cursor_close(c);
}

TEST_F(StoreTest, CursorsSurviveChangesUnderThem) {
  KsCursor* c = nullptr;
  ASSERT_EQ(KS_OK, ks_cursor_open(f_, URL_K_Description, nullptr, &c));
  ASSERT_EQ(KS_OK, ks_set(c, nullptr));
  SiteRecord s;
  std::string seen;
  while (ks_next(c, &s) == KS_OK) {
    seen += s.SiteInfo;
    if (!strcmp(s.SiteInfo, "2")) {
      SiteRecord del = Get("http://d.example/");  // Delta: the next entry
      ASSERT_EQ(KS_OK, ks_delete(f_, &del));
      SiteRecord add = MakeSite("http://f.example/", "Zulu", "", 0, "", "6");
      ASSERT_EQ(KS_OK, ks_add(f_, &add));
      ASSERT_EQ(KS_OK, ks_delete(f_, &s));  // the current one
    }
  }
  EXPECT_EQ("12536", seen);
  ks_cursor_close(c);
}

TEST_F(StoreTest, PhysicalOrderIsTheOrderOfAdding) {
  SiteRecord b = Get("http://b.example/");
  ASSERT_EQ(KS_OK, ks_delete(f_, &b));
  SiteRecord s = MakeSite("http://0.example/", "Zero", "", 0, "", "6");
  ASSERT_EQ(KS_OK, ks_add(f_, &s));
  EXPECT_EQ((Order{"1", "3", "4", "5", "6"}), SiteOrder(f_, -1));
}

TEST_F(StoreTest, ProgressOfAPassIsMeasuredInBytesOfTheFile) {
  uint64_t size = 0;
  ASSERT_EQ(KS_OK, ks_file_size(f_, &size));
  KsCursor* c = nullptr;
  ASSERT_EQ(KS_OK, ks_cursor_open(f_, -1, nullptr, &c));
  ASSERT_EQ(KS_OK, ks_set(c, nullptr));
  SiteRecord s;
  uint64_t last = 0;
  while (ks_next(c, &s) == KS_OK) {
    EXPECT_GT(ks_cursor_bytes(c), last);
    last = ks_cursor_bytes(c);
  }
  EXPECT_LE(last, size);
  ks_cursor_close(c);
}

// With the read-ahead hint on, a pass sees other stations' changes when it is
// set, not at every record; without it, at every record.
TEST_F(StoreTest, ReadAheadHintDefersOtherStationsChangesToTheNextSet) {
  KsFile* other = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &other));
  for (int hint = 0; hint < 2; hint++) {
    ks_read_ahead(f_, hint);
    KsCursor* c = nullptr;
    ASSERT_EQ(KS_OK, ks_cursor_open(f_, URL_K_Location, nullptr, &c));
    ASSERT_EQ(KS_OK, ks_set(c, nullptr));
    SiteRecord s;
    ASSERT_EQ(KS_OK, ks_next(c, &s));
    std::string loc = "http://zz" + std::to_string(hint) + "/";
    SiteRecord add = MakeSite(loc.c_str(), "late", "", 0, "");
    ASSERT_EQ(KS_OK, ks_add(other, &add));
    int seen = 0;
    while (ks_next(c, &s) == KS_OK) seen += Field(s.Location) == loc;
    EXPECT_EQ(hint ? 0 : 1, seen) << "hint " << hint;
    ASSERT_EQ(KS_OK, ks_set(c, nullptr));
    seen = 0;
    while (ks_next(c, &s) == KS_OK) seen += Field(s.Location) == loc;
    EXPECT_EQ(1, seen) << "hint " << hint;
    ks_cursor_close(c);
  }
  ks_read_ahead(f_, 0);
  ks_close(other);
}

TEST_F(StoreTest, PositionsReReadExactlyTheirRecord) {
  SiteRecord c = Get("http://c.example/");
  KsPosition pos;
  ASSERT_EQ(KS_OK, ks_get_position(f_, URL_K_Location, &c, &pos));
  EXPECT_LE(pos.size, (uint16_t)KS_POSITION_MAX);
  SiteRecord other = Get("http://a.example/");
  SiteRecord back;
  ASSERT_EQ(KS_OK, ks_reget(f_, &pos, &back));
  EXPECT_STREQ("3", back.SiteInfo);
  // A cursor set to the position reads that record next.
  KsCursor* cur = nullptr;
  ASSERT_EQ(KS_OK, ks_cursor_open(f_, URL_K_Location, nullptr, &cur));
  ASSERT_EQ(KS_OK, ks_set_position(cur, &pos));
  ASSERT_EQ(KS_OK, ks_next(cur, &other));
  EXPECT_STREQ("3", other.SiteInfo);
  ASSERT_EQ(KS_OK, ks_next(cur, &other));
  EXPECT_STREQ("4", other.SiteInfo);
  // Once deleted, the position finds nothing; a cursor goes on after it.
  ASSERT_EQ(KS_OK, ks_delete(f_, &back));
  EXPECT_EQ(KS_ERR_NOT_FOUND, ks_reget(f_, &pos, &back));
  ASSERT_EQ(KS_OK, ks_set_position(cur, &pos));
  ASSERT_EQ(KS_OK, ks_next(cur, &other));
  EXPECT_STREQ("4", other.SiteInfo);
  ks_cursor_close(cur);
  // A garbled handle is refused.
  pos.data[0] = 77;
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_reget(f_, &pos, &back));
}

TEST_F(StoreTest, PositionsOfLongKeysStayWithinTheirSize) {
  std::string loc = "http://" + std::string(240, ' ') + "x";  // spaces double in the key bytes
  SiteRecord s = MakeSite(loc.c_str(), "spacey", "", 0, "", "9");
  ASSERT_EQ(KS_OK, ks_add(f_, &s));
  KsPosition pos;
  ASSERT_EQ(KS_OK, ks_get_position(f_, URL_K_Location, &s, &pos));
  EXPECT_LE(pos.size, (uint16_t)KS_POSITION_MAX);
  SiteRecord back;
  ASSERT_EQ(KS_OK, ks_reget(f_, &pos, &back));
  EXPECT_STREQ("9", back.SiteInfo);
  KsCursor* cur = nullptr;
  ASSERT_EQ(KS_OK, ks_cursor_open(f_, URL_K_Location, nullptr, &cur));
  ASSERT_EQ(KS_OK, ks_set_position(cur, &pos));
  ASSERT_EQ(KS_OK, ks_next(cur, &back));
  EXPECT_STREQ("9", back.SiteInfo);
  ks_cursor_close(cur);
}

// Every cut and every damaged byte of a file gives 0, 46 or 47, never a crash
// or a hang; a file cut inside its log opens with the operations before the cut.
TEST_F(StoreTest, TruncatedAndGarbledFilesGiveTheirErrors) {
  ks_close(f_);  // snapshot of the five records
  f_ = nullptr;
  KsFile* keep = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &keep));
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
  for (int i = 0; i < 4; i++) {  // a log after it (the second handle keeps it from being rewritten)
    std::string loc = "http://log" + std::to_string(i) + "/";
    SiteRecord s = MakeSite(loc.c_str(), "log", "Log", i, "http");
    ASSERT_EQ(KS_OK, ks_add(f_, &s));
  }
  ks_close(f_);
  f_ = nullptr;
  std::string image;
  {
    std::ifstream in("URL_L.KSF", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    image = ss.str();
  }
  ks_close(keep);
  auto try_open = [&](const std::string& bytes, uint32_t* count) {
    {
      std::ofstream out("DAMAGED.KSF", std::ios::binary | std::ios::trunc);
      out << bytes;
    }
    KsFile* g = nullptr;
    int rc = ks_open(&TABLNK_Decl, "DAMAGED.KSF", KS_SHARED, &g);
    *count = 0;
    if (rc == KS_OK) {
      ks_count(g, count);
      for (int k = -1; k < TABLNK_Decl.nkeys; k++) EXPECT_LE(SiteOrder(g, k).size(), *count);
      ks_close(g);
    }
    return rc;
  };
  uint32_t prev = 0;
  int counts[3] = {0, 0, 0};
  for (size_t cut = 0; cut <= image.size(); cut++) {
    uint32_t n;
    int rc = try_open(image.substr(0, cut), &n);
    ASSERT_TRUE(rc == KS_OK || rc == KS_ERR_REBUILD || rc == KS_ERR_INVALID) << cut << " " << rc;
    if (rc == KS_OK) {
      EXPECT_GE(n, prev) << cut;  // cuts in the log keep a prefix of the operations
      prev = n;
    }
    counts[rc == KS_OK ? 0 : rc == KS_ERR_REBUILD ? 1 : 2]++;
  }
  EXPECT_EQ(9u, prev);
  for (size_t at = 0; at < image.size(); at++) {
    std::string bad = image;
    bad[at] = (char)(bad[at] ^ 0x55);
    uint32_t n;
    int rc = try_open(bad, &n);
    ASSERT_TRUE(rc == KS_OK || rc == KS_ERR_REBUILD || rc == KS_ERR_INVALID) << at << " " << rc;
    if (rc == KS_OK) { EXPECT_LE(n, 9u); }
    counts[rc == KS_OK ? 0 : rc == KS_ERR_REBUILD ? 1 : 2]++;
  }
  EXPECT_GT(counts[1], 0);  // damaged key sections ask for a rebuild
  EXPECT_GT(counts[2], 0);
}

struct FilterCase {
  const char* filter;
  Order expected;
};

TEST_F(StoreTest, ViewsFilterByExpression) {
  const FilterCase cases[] = {
      {"UPPER(URL:Category) = 'NEWS'", {"1", "2", "4"}},
      {"URL:Category='News'", {"1", "2"}},
      {"URL:Category <> 'News' AND URL:Category <> 'news'", {"5", "3"}},
      {"lower(url:category)='news' and URL:Description<>'Beta'", {"1", "4"}},
      {"URL:Category = 'News   '", {"1", "2"}},
      {"'x' = 'x'", {"1", "2", "4", "5", "3"}},
      {"URL:Rating = '0' AND URL:Keyword = 'http'", {"1", "2", "4", "5", "3"}},
      {"UPPER(LOWER(URL:Description)) = 'GAMMA'", {"3"}},
      {"URL:Description = 'It''s'", {}},
      {"   ", {"1", "2", "4", "5", "3"}},
  };
  for (const FilterCase& c : cases) EXPECT_EQ(c.expected, SiteOrder(f_, URL_K_Description, c.filter)) << c.filter;
}

TEST_F(StoreTest, BadFilterExpressionsAreRefusedWithAReason) {
  const char* bad[] = {
      "URL:Category == 'x'", "URL:Nothing = 'x'",        "URL:Category = 'x' OR URL:Category = 'y'",
      "URL:Category = 'x",   "UPPER URL:Category = 'X'", "URL:Category",
      "URL:Category > 'x'",  "(URL:Category = 'x')",     "URL:Category = \"x\"",
      "Category = 'x'",      "URL:Category = 'x' AND",   "TRIM(URL:Category) = 'x'",
  };
  for (const char* b : bad) {
    KsCursor* c = nullptr;
    char err[128] = "";
    EXPECT_EQ(KS_ERR_BAD_FILTER, ks_cursor_open(f_, URL_K_Description, b, &c, err, sizeof err)) << b;
    EXPECT_EQ(nullptr, c);
    EXPECT_NE('\0', err[0]) << b;
  }
  EXPECT_STREQ("Invalid Filter Expression", ks_error_text(KS_ERR_BAD_FILTER));
}

TEST(StoreErrors, EveryCodeTheProgramTestsHasItsText) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {2, "File Not Found"},
      {32, "File Is Already Locked"},
      {33, "Record Not Available"},
      {35, "Record Not Found"},
      {40, "Creates Duplicate Key"},
      {46, "Key File Must Be Rebuilt"},
      {47, "Invalid Record Declaration"},
      {52, "File Already Open"},
      {89, "Record Changed By Another Station"},
  };
  for (auto& c : cases) EXPECT_STREQ(c.text, ks_error_text(c.code)) << c.code;
  EXPECT_STREQ("Unknown Error", ks_error_text(12345));
}

}  // namespace
