// Key orders of every record file: case-insensitive ANSI ordering, blank
// exclusion, descending components, duplicates and unique keys, trailing
// spaces and truncation.
#include "sitelist/records/record_files.h"
#include "sitelist/records/store_internal.h"
#include "sitelist/records/tests/test_support.h"

#include <string.h>

namespace {

typedef std::vector<std::string> Order;

class KeyOrderTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
    ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f_));
  }
  void TearDown() override {
    ks_close(f_);
    RecordsDirTest::TearDown();
  }
  void Add(const char* loc, const char* desc, const char* cat, int rating, const char* kw, const char* id) {
    SiteRecord s = MakeSite(loc, desc, cat, rating, kw, id);
    ASSERT_EQ(KS_OK, ks_add(f_, &s)) << id;
  }
  void AddSample() {
    Add("http://zeta.example/", "Zeta site", "News", 2, "http", "1");
    Add("http://alpha.example/", "alpha site", "news", 10, "http", "2");
    Add("ftp://files.example/", "", "Tools", 10, "ftp", "3");
    Add("mailto:me@example.com", "Mail me", "", 5, "mailto:", "4");
    Add("http://beta.example/", "Zeta site", "Tools", 2, "http", "5");
    Add("", "No location", "", 0, "?", "6");
  }
  KsFile* f_ = nullptr;
};

struct OrderCase {
  int key;
  Order expected;
};

TEST_F(KeyOrderTest, EverySiteKeyOrdersAsDeclared) {
  AddSample();
  const OrderCase cases[] = {
      {URL_K_Location, {"3", "2", "5", "1", "4"}},          // blank location excluded
      {URL_K_Description, {"2", "4", "6", "1", "5"}},       // blank description excluded, ties by entry
      {URL_K_Category, {"4", "6", "2", "1", "3", "5"}},     // "news" and "News" together, then by description
      {URL_K_CategoryLocation, {"4", "2", "1", "3", "5"}},  // blank category and location excluded
      {URL_K_Rating, {"3", "2", "4", "5", "1", "6"}},       // 10 before 2; ties by description then location
      {URL_K_Keyword, {"6", "3", "2", "5", "1", "4"}},
  };
  for (const OrderCase& c : cases) EXPECT_EQ(c.expected, SiteOrder(f_, c.key)) << TABLNK_Decl.keys[c.key].name;
  EXPECT_EQ((Order{"1", "2", "3", "4", "5", "6"}), SiteOrder(f_, -1));
}

TEST_F(KeyOrderTest, LocationIsUniqueWithoutRegardToCase) {
  AddSample();
  SiteRecord s = MakeSite("HTTP://ALPHA.example/", "other", "x", 1, "http", "7");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f_, &s));
  uint32_t n = 0;
  ASSERT_EQ(KS_OK, ks_count(f_, &n));
  EXPECT_EQ(6u, n);
  // Blank locations are exempt from uniqueness.
  SiteRecord b = MakeSite("", "another blank", "", 0, "?", "8");
  EXPECT_EQ(KS_OK, ks_add(f_, &b));
}

TEST_F(KeyOrderTest, RatingsOrderNumericallyDescendingWithNegatives) {
  Add("a:1", "d", "", -5, "", "m5");
  Add("a:2", "d", "", 10, "", "10");
  Add("a:3", "d", "", 2, "", "2");
  Add("a:4", "d", "", 0, "", "0");
  Add("a:5", "d", "", 99, "", "99");
  EXPECT_EQ((Order{"99", "10", "2", "0", "m5"}), SiteOrder(f_, URL_K_Rating));
}

TEST_F(KeyOrderTest, LongValuesAreCutToTheFieldWidth) {
  std::string loc = "http://" + std::string(293, 'x');
  ASSERT_EQ(300u, loc.size());
  SiteRecord s = MakeSite(loc.c_str(), "long", "", 0, "http", "long");
  ASSERT_EQ(KS_OK, ks_add(f_, &s));
  SiteRecord g;
  ks_clear(&TABLNK_Decl, &g);
  SET_FIELD(g.Location, loc.substr(0, 255).c_str());
  ASSERT_EQ(KS_OK, ks_get(f_, URL_K_Location, &g));
  EXPECT_EQ(loc.substr(0, 255), Field(g.Location));
  // A longer memo is cut to its 1000 characters.
  std::string memo(1200, 'm');
  SET_MEMO(g.SiteInfo, memo.c_str());
  ASSERT_EQ(KS_OK, ks_put(f_, &g));
  SiteRecord h;
  ks_clear(&TABLNK_Decl, &h);
  SET_FIELD(h.Location, loc.c_str());
  ASSERT_EQ(KS_OK, ks_get(f_, URL_K_Location, &h));
  EXPECT_EQ(1000u, strlen(h.SiteInfo));
}

TEST_F(KeyOrderTest, TrailingSpacesAreNotSignificant) {
  Add("http://a/", "x", "", 0, "", "a");
  SiteRecord g;
  ks_clear(&TABLNK_Decl, &g);
  memcpy(g.Location, "http://a/", 9);  // rest already spaces
  EXPECT_EQ(KS_OK, ks_get(f_, URL_K_Location, &g));
  SiteRecord dup = MakeSite("http://a/   ", "y", "", 0, "", "b");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f_, &dup));
}

struct StringOrderCase {
  const char* lower;
  const char* higher;
};

// Comparison of single string components as space-padded, case-insensitive ANSI strings.
TEST(KeyEncoding, OrdersAsPaddedLowerCasedAnsiStrings) {
  const StringOrderCase cases[] = {
      {"_After All", "apple"},  // "_" lies between upper and lower case: before letters
      {"_Before All", "Apple"},
      {"_After All", "_Before All"},
      {"ab\x01", "ab"},  // a control character sorts below the padding space
      {"ab", "ab!"},
      {"ab", "AB c"},
      {"ab  c", "ab c"},
      {"zebra",
       "\xC9"
       "clair"},  // E acute lowers to 0xE9, above every ASCII letter
      {"Mango", "news"},
  };
  for (const StringOrderCase& c : cases) {
    std::string a, b;
    encode_key_string(c.lower, strlen(c.lower), 1, 0, &a);
    encode_key_string(c.higher, strlen(c.higher), 1, 0, &b);
    EXPECT_LT(a, b) << c.lower << " < " << c.higher;
    std::string da, db;
    encode_key_string(c.lower, strlen(c.lower), 1, 1, &da);
    encode_key_string(c.higher, strlen(c.higher), 1, 1, &db);
    EXPECT_GT(da, db) << "descending " << c.lower;
  }
  std::string x, y;
  encode_key_string(
      "\xC9"
      "CLAIR  ",
      7, 1, 0, &x);
  encode_key_string(
      "\xE9"
      "clair",
      6, 1, 0, &y);
  EXPECT_EQ(x, y);
  EXPECT_EQ('\x9A', (char)kAnsiLower[0x8A]);
  EXPECT_EQ('\xFF', (char)kAnsiLower[0x9F]);
  EXPECT_EQ('\xD7', (char)kAnsiLower[0xD7]);  // the multiplication sign has no lower case
}

class OtherFilesTest : public RecordsDirTest {};

TEST_F(OtherFilesTest, CategoriesOrderPseudoCategoriesFirstAndRefuseCaseDuplicates) {
  ASSERT_EQ(KS_OK, ks_create(&Categories_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&Categories_Decl, nullptr, KS_SHARED, &f));
  for (const char* n : {"zebra", "News", "_Before All", "Apple", "_After All", "Mango",
                        "\xC9"
                        "clair"}) {
    CategoryRecord c = MakeCategory(n);
    ASSERT_EQ(KS_OK, ks_add(f, &c)) << n;
  }
  CategoryRecord dup = MakeCategory("news");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f, &dup));
  CategoryRecord dup2 = MakeCategory(
      "\xE9"
      "CLAIR");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f, &dup2));
  CategoryRecord blank = MakeCategory("");
  EXPECT_EQ(KS_OK, ks_add(f, &blank));
  auto order =
      ReadAll<CategoryRecord>(f, CAT_K_Category, nullptr, [](const CategoryRecord& c) { return Field(c.Category); });
  EXPECT_EQ((Order{"_After All", "_Before All", "Apple", "Mango", "News", "zebra",
                   "\xC9"
                   "clair"}),
            order);
  ks_close(f);
}

TEST_F(OtherFilesTest, CategoryTextsAreUniquePerCategoryAndType) {
  ASSERT_EQ(KS_OK, ks_create(&CatHTML_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &f));
  const char* types[] = {"Replace Title", "Before Category", "Before Category Title", "After Category Title",
                         "After Category"};
  for (const char* t : types) {
    CatHtmlRecord r = MakeText("News", t, "<p>");
    ASSERT_EQ(KS_OK, ks_add(f, &r)) << t;
  }
  CatHtmlRecord dup = MakeText("news", "before category", "<b>");
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f, &dup));
  auto order = ReadAll<CatHtmlRecord>(f, HTM_KeyCategoryHTML, nullptr,
                                      [](const CatHtmlRecord& r) { return Field(r.TypeOfHTML); });
  EXPECT_EQ(
      (Order{"After Category", "After Category Title", "Before Category", "Before Category Title", "Replace Title"}),
      order);
  ks_close(f);
}

TEST_F(OtherFilesTest, HistoryListsNewestFirstWithinEachType) {
  ASSERT_EQ(KS_OK, ks_create(&History_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&History_Decl, nullptr, KS_SHARED, &f));
  struct {
    const char* type;
    const char* file;
    int date, time;
  } entries[] = {{"Export", "a.htm", 100, 5},
                 {"Import", "b.htm", 99, 1},
                 {"Export", "c.htm", 101, 1},
                 {"Export", "d.htm", 100, 9},
                 {"Import", "e.htm", 99, 7}};
  for (auto& e : entries) {
    HistoryRecord h;
    ks_clear(&History_Decl, &h);
    SET_FIELD(h.Type, e.type);
    SET_FIELD(h.FieldContents, e.file);
    h.Date = e.date;
    h.Time = e.time;
    ASSERT_EQ(KS_OK, ks_add(f, &h));
  }
  HistoryRecord again;
  ks_clear(&History_Decl, &again);
  SET_FIELD(again.Type, "EXPORT");
  SET_FIELD(again.FieldContents, "A.HTM");
  again.Date = 100;
  again.Time = 5;
  EXPECT_EQ(KS_ERR_DUPLICATE, ks_add(f, &again));
  auto file = [](const HistoryRecord& h) { return Field(h.FieldContents); };
  EXPECT_EQ((Order{"c.htm", "d.htm", "a.htm", "e.htm", "b.htm"}),
            ReadAll<HistoryRecord>(f, HIS_KeyType, nullptr, file));
  EXPECT_EQ((Order{"c.htm", "d.htm", "a.htm"}), ReadAll<HistoryRecord>(f, HIS_KeyType, "HIS:Type='Export'", file));
  EXPECT_EQ((Order{"e.htm", "b.htm"}), ReadAll<HistoryRecord>(f, HIS_KeyType, "HIS:Type='Import'", file));
  ks_close(f);
}

TEST_F(OtherFilesTest, EarlierVersionSitesOrderRatingsAscending) {
  ASSERT_EQ(KS_OK, ks_create(&OldTABLNK_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&OldTABLNK_Decl, nullptr, KS_SHARED, &f));
  int ratings[] = {10, 2, 5};
  const char* locs[] = {"http://c/", "http://a/", "http://b/"};
  for (int i = 0; i < 3; i++) {
    OldSiteRecord o;
    ks_clear(&OldTABLNK_Decl, &o);
    SET_FIELD(o.Location, locs[i]);
    o.Rating = ratings[i];
    ASSERT_EQ(KS_OK, ks_add(f, &o));
  }
  auto loc = [](const OldSiteRecord& o) { return Field(o.Location); };
  EXPECT_EQ((Order{"http://a/", "http://b/", "http://c/"}), ReadAll<OldSiteRecord>(f, OL_K_Rating, nullptr, loc));
  ks_close(f);
  // The new declaration does not accept the old file, nor the old one a new file.
  KsFile* g = nullptr;
  EXPECT_EQ(KS_ERR_INVALID, ks_open(&TABLNK_Decl, "TABLNK.KSF", KS_SHARED, &g));
  ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
  EXPECT_EQ(KS_ERR_INVALID, ks_open(&OldTABLNK_Decl, "URL_L.KSF", KS_SHARED, &g));
  // The import source reads a site file under its own prefix.
  EXPECT_EQ(KS_OK, ks_open(&ImportSource_Decl, "URL_L.KSF", KS_SHARED, &g));
  ks_close(g);
}

TEST(RecordDeclarations, EveryFileIsDeclaredConsistently) {
  for (int id = 0; id < RF_COUNT; id++) {
    const KsFileDecl* d = RecordFileDecl(id);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(KS_OK, ks_check_decl(d)) << d->label;
    for (int i = 0; i < d->nfields; i++)
      EXPECT_EQ(0, strncmp(d->fields[i].name, d->prefix, strlen(d->prefix))) << d->fields[i].name;
  }
  EXPECT_EQ(nullptr, RecordFileDecl(RF_COUNT));
  EXPECT_EQ(decl_fingerprint(&TABLNK_Decl), decl_fingerprint(&ImportSource_Decl));
  EXPECT_NE(decl_fingerprint(&TABLNK_Decl), decl_fingerprint(&OldTABLNK_Decl));
  EXPECT_STREQ("Site Location", TABLNK_Decl.keys[URL_K_Location].description);
}

}  // namespace
