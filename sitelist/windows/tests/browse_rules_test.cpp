// The site browse's portable cores over the real record store: pages read from
// a key within a category limit, their moves, the scroll samples and thumb,
// quick HTML lines and file, and the category list.
#include "sitelist/windows/browse_page.h"
#include "sitelist/windows/browse_scroll.h"
#include "sitelist/windows/category_list.h"
#include "sitelist/windows/quick_html.h"

#include "sitelist/records/tests/test_support.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Trim(const char* field, size_t width) {
  std::string s(field, width);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
#define TRIM(f) Trim((f), sizeof(f))

class BrowseTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    ASSERT_TRUE(OpenRecordFile(RF_TABLNK));
    ASSERT_TRUE(OpenRecordFile(RF_CATEGORIES));
    sites_ = RecordFile(RF_TABLNK);
    page_.reset(new SitePage());
    page_->capacity = 20;
    page_->count = 0;
    page_->selected = -1;
  }
  void TearDown() override {
    if (open_) ReaderClose(&reader_);
    CloseRecordFile(RF_CATEGORIES);
    CloseRecordFile(RF_TABLNK);
    RecordsDirTest::TearDown();
  }
  void Add(const char* location, const char* description, const char* category, int rating = 0,
           const char* keyword = "http") {
    SiteRecord s = MakeSite(location, description, category, rating, keyword);
    ASSERT_EQ(KS_OK, ks_add(sites_, &s)) << location;
  }
  // n sites "Site 00000".. in description order, locations reversed, ratings 0..9.
  void AddMany(int n, const char* category = "Misc") {
    for (int i = 0; i < n; i++) {
      char loc[64], desc[64];
      snprintf(loc, sizeof loc, "http://www.example.com/%05d", n - i);
      snprintf(desc, sizeof desc, "Site %05d", i);
      Add(loc, desc, category, i % 10, i % 2 ? "ftp" : "http");
    }
  }
  void Open(int tab, const char* category = "") {
    if (open_) ReaderClose(&reader_);
    BrowseOrder o;
    BrowseOrderForTab(tab, category, &o);
    ASSERT_EQ(KS_OK, ReaderOpen(&reader_, sites_, &o));
    open_ = true;
  }
  // n sites with descriptions and host names of pseudo-random letters, as a
  // real collection has them, in several categories of any letter case.
  void AddWords(int n) {
    uint32_t seed = 12345;
    auto letters = [&seed](char* out, int len) {
      for (int i = 0; i < len; i++) {
        seed = seed * 1103515245u + 12345u;
        out[i] = (char)('a' + (seed >> 16) % 26);
      }
      out[len] = '\0';
    };
    for (int i = 0; i < n; i++) {
      char host[16], word[16], loc[64], desc[64];
      letters(host, 8);
      letters(word, 6);
      snprintf(loc, sizeof loc, "http://www.%s.com/%d", host, i);
      snprintf(desc, sizeof desc, "%c%s site %d", word[0] - 32, word + 1, i);
      Add(loc, desc, i % 3 == 0 ? "MISC" : "misc", i % 10, i % 2 ? "ftp" : "http");
    }
  }
  // Every site of the order, read straight through the key (the reference).
  std::vector<std::string> Whole(int tab, const char* category = "") {
    BrowseOrder o;
    BrowseOrderForTab(tab, category, &o);
    KsCursor* c = nullptr;
    EXPECT_EQ(KS_OK, ks_cursor_open(sites_, o.key, nullptr, &c));
    ks_set(c, nullptr);
    std::vector<std::string> out;
    SiteRecord s;
    while (ks_next(c, &s) == KS_OK)
      if (SiteInBrowseOrder(&o, &s)) out.push_back(TRIM(s.Location));
    ks_cursor_close(c);
    return out;
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (int i = 0; i < page_->count; i++) out.push_back(TRIM(page_->rows[i].Location));
    return out;
  }
  std::string Selected() const { return page_->selected < 0 ? "" : TRIM(page_->rows[page_->selected].Location); }

  KsFile* sites_ = nullptr;
  SiteReader reader_{};
  bool open_ = false;
  std::unique_ptr<SitePage> page_;
};

TEST_F(BrowseTest, CategoryTabIsLimitedToItsCategoryWithoutRegardToCase) {
  Add("http://a", "Alpha", "News");
  Add("http://b", "Beta", "news");
  Add("http://c", "Gamma", "NEWS");
  Add("http://d", "Delta", "Newsletter");
  Add("http://e", "Epsilon", "Sport");
  Add("http://f", "Aardvark", "Art");
  Open(kTabCategory, "nEwS");
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  EXPECT_EQ((std::vector<std::string>{"http://a", "http://b", "http://c"}), Shown());
  EXPECT_EQ("http://a", Selected());
  SiteRecord last;
  ASSERT_EQ(KS_OK, ReaderLast(&reader_, &last));
  EXPECT_EQ("http://c", TRIM(last.Location));
  ASSERT_EQ(KS_OK, PageLast(&reader_, page_.get()));
  EXPECT_EQ("http://c", Selected());
  EXPECT_EQ(3, page_->count);

  // The last category in the key, and a category nobody carries.
  Open(kTabCategory, "sport");
  ASSERT_EQ(KS_OK, PageLast(&reader_, page_.get()));
  EXPECT_EQ((std::vector<std::string>{"http://e"}), Shown());
  Open(kTabCategory, "Nothing");
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  EXPECT_EQ(0, page_->count);
  EXPECT_EQ(-1, page_->selected);
  EXPECT_EQ(KS_ERR_NO_RECORD, ReaderLast(&reader_, &last));
  ASSERT_EQ(KS_OK, PageLast(&reader_, page_.get()));
  EXPECT_EQ(0, page_->count);

  // Without a limit every site shows, in description order.
  Open(kTabDescription);
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  EXPECT_EQ((std::vector<std::string>{"http://f", "http://a", "http://b", "http://d", "http://e", "http://c"}),
            Shown());
}

TEST_F(BrowseTest, LastOfACategoryWhoseDescriptionIsTheHighestPossible) {
  Add("http://a", "Alpha", "News");
  SiteRecord s = MakeSite("http://z", "", "News", 0, "http");
  memset(s.Description, 0xFF, sizeof s.Description);
  ASSERT_EQ(KS_OK, ks_add(sites_, &s));
  Add("http://o", "Other", "Other");
  Open(kTabCategory, "News");
  SiteRecord last;
  ASSERT_EQ(KS_OK, ReaderLast(&reader_, &last));
  EXPECT_EQ("http://z", TRIM(last.Location));
}

TEST_F(BrowseTest, PagesDownAndUpCoverTheOrderWithoutGapsOrRepeats) {
  AddMany(997);
  // Equal descriptions: duplicates of one key value across page borders.
  for (int i = 0; i < 45; i++) {
    char loc[64];
    snprintf(loc, sizeof loc, "ftp://same/%02d", i);
    Add(loc, "Site 00500", "Misc", 3);
  }
  for (int tab : {kTabDescription, kTabLocation, kTabCategory, kTabRating, kTabKeyword}) {
    SCOPED_TRACE(tab);
    const char* cat = tab == kTabCategory ? "MISC" : "";
    Open(tab, cat);
    std::vector<std::string> whole = Whole(tab, cat);
    ASSERT_EQ(1042u, whole.size());
    ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
    std::vector<std::string> seen = Shown();
    for (int guard = 0; guard < 200; guard++) {
      std::string bottom = Shown().back();
      ASSERT_EQ(KS_OK, PageDown(&reader_, page_.get()));
      if (Shown().back() == bottom) break;
      // A full page after the previous one, or the last page read back to fill it.
      std::vector<std::string> now = Shown();
      auto at = std::find(whole.begin(), whole.end(), now.front());
      size_t from = (size_t)(at - whole.begin());
      ASSERT_EQ(std::vector<std::string>(whole.begin() + from, whole.begin() + from + now.size()), now);
      for (const std::string& l : now)
        if (std::find(seen.begin(), seen.end(), l) == seen.end()) seen.push_back(l);
    }
    EXPECT_EQ(whole, seen);
    EXPECT_EQ(whole.back(), Selected());
    EXPECT_EQ(20, page_->count);
    // Back up to the start.
    for (int guard = 0; guard < 200 && Shown().front() != whole.front(); guard++)
      ASSERT_EQ(KS_OK, PageUp(&reader_, page_.get()));
    EXPECT_EQ(std::vector<std::string>(whole.begin(), whole.begin() + 20), Shown());
    ASSERT_EQ(KS_OK, PageUp(&reader_, page_.get()));
    EXPECT_EQ(whole.front(), Selected());
  }
}

TEST_F(BrowseTest, LinesScrollByOneAtTheEdgesOfThePage) {
  AddMany(50);
  Open(kTabDescription);
  std::vector<std::string> whole = Whole(kTabDescription);
  page_->capacity = 10;
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  for (int i = 0; i < 49; i++) ASSERT_EQ(KS_OK, LineDown(&reader_, page_.get()));
  EXPECT_EQ(whole[49], Selected());
  EXPECT_EQ(std::vector<std::string>(whole.begin() + 40, whole.end()), Shown());
  ASSERT_EQ(KS_OK, LineDown(&reader_, page_.get()));  // at the end nothing moves
  EXPECT_EQ(whole[49], Selected());
  for (int i = 0; i < 45; i++) ASSERT_EQ(KS_OK, LineUp(&reader_, page_.get()));
  EXPECT_EQ(whole[4], Selected());
  EXPECT_EQ(std::vector<std::string>(whole.begin() + 4, whole.begin() + 14), Shown());
  EXPECT_EQ(0, page_->selected);
}

TEST_F(BrowseTest, PageAtValueOnRowRedrawAndResize) {
  AddMany(100);
  Open(kTabDescription);
  std::vector<std::string> whole = Whole(kTabDescription);
  SiteRecord v;
  ks_clear(&TABLNK_Decl, &v);
  SET_FIELD(v.Description, "site 00042x");  // between 42 and 43, any letter case
  ASSERT_EQ(KS_OK, PageAtValue(&reader_, page_.get(), &v));
  EXPECT_EQ(whole[43], Selected());
  EXPECT_EQ(whole[43], Shown().front());
  SET_FIELD(v.Description, "Zzz");  // past the end: the last page
  ASSERT_EQ(KS_OK, PageAtValue(&reader_, page_.get(), &v));
  EXPECT_EQ(whole.back(), Selected());
  EXPECT_EQ(whole[80], Shown().front());
  SET_FIELD(v.Description, "Site 00095");  // near the end: the page is filled from above
  ASSERT_EQ(KS_OK, PageAtValue(&reader_, page_.get(), &v));
  EXPECT_EQ(whole[95], Selected());
  EXPECT_EQ(20, page_->count);

  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  SiteRecord row = page_->rows[5];
  ASSERT_EQ(KS_OK, PageOnRow(&reader_, page_.get(), &row));
  EXPECT_EQ(whole[5], Selected());

  // The top row deleted by someone else, the selected row changed: the page
  // reads on from where the top was and keeps the selection on its row.
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  for (int i = 0; i < 3; i++) ASSERT_EQ(KS_OK, LineDown(&reader_, page_.get()));
  SiteRecord top = page_->rows[0], sel = page_->rows[3];
  ASSERT_EQ(KS_OK, ks_delete(sites_, &top));
  SET_FIELD(sel.Keyword, "changed");
  ASSERT_EQ(KS_OK, ks_put(sites_, &sel));
  ASSERT_EQ(KS_OK, PageRedraw(&reader_, page_.get()));
  EXPECT_EQ(whole[1], Shown().front());
  EXPECT_EQ(whole[3], Selected());
  EXPECT_EQ("changed", TRIM(page_->rows[page_->selected].Keyword));
  EXPECT_EQ(20, page_->count);

  ASSERT_EQ(KS_OK, PageResize(&reader_, page_.get(), 5));  // keeps the highlighted row in view
  EXPECT_EQ(5, page_->count);
  EXPECT_EQ(whole[3], Selected());
  ASSERT_EQ(KS_OK, PageResize(&reader_, page_.get(), 1000));
  EXPECT_EQ(kMaxPageRows, page_->capacity);
  EXPECT_EQ(80, page_->count);
}

TEST_F(BrowseTest, RatingTabOrdersHighestFirstAndSeeksByRating) {
  Add("http://two", "Two", "M", 2);
  Add("http://ten", "Ten", "M", 10);
  Add("http://ten-b", "Also ten", "M", 10);
  Add("http://neg", "Minus", "M", -5);
  Open(kTabRating);
  ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
  EXPECT_EQ((std::vector<std::string>{"http://ten-b", "http://ten", "http://two", "http://neg"}), Shown());
  SiteRecord v;
  ks_clear(&TABLNK_Decl, &v);
  v.Rating = 5;
  ASSERT_EQ(KS_OK, PageAtValue(&reader_, page_.get(), &v));
  EXPECT_EQ("http://two", Selected());
}

// ---- Scroll samples ----------------------------------------------------------

TEST_F(BrowseTest, SamplesSpreadBetweenFirstAndLastAndTheThumbFollowsTheKey) {
  AddWords(1000);
  std::unique_ptr<ScrollSamples> s(new ScrollSamples);
  for (int tab : {kTabDescription, kTabLocation, kTabCategory, kTabRating}) {
    SCOPED_TRACE(tab);
    Open(tab, "misc");
    SiteRecord first, last;
    ASSERT_EQ(KS_OK, ReaderFirst(&reader_, &first));
    ASSERT_EQ(KS_OK, ReaderLast(&reader_, &last));
    BuildScrollSamples(tab, &first, &last, s.get());
    ASSERT_EQ(kScrollSamples, s->count);
    EXPECT_EQ(1, ThumbPosition(s.get(), &first, 0));
    EXPECT_EQ(100, ThumbPosition(s.get(), &last, 1));
    // Every position acts, the rows it shows never go back as the thumb goes
    // down, and the thumb shown afterwards is close to where it was dropped.
    std::vector<std::string> whole = Whole(tab, "misc");
    long previous = -1;
    std::set<std::string> distinct;
    for (int pos = 1; pos <= 100; pos++) {
      SiteRecord value;
      int target = ThumbDragTarget(s.get(), pos, &value);
      if (pos == 1) ASSERT_EQ(kThumbFirst, target);
      else if (pos == 100) ASSERT_EQ(kThumbLast, target);
      else ASSERT_EQ(kThumbValue, target);
      if (target == kThumbFirst) ASSERT_EQ(KS_OK, PageFirst(&reader_, page_.get()));
      else if (target == kThumbLast) ASSERT_EQ(KS_OK, PageLast(&reader_, page_.get()));
      else ASSERT_EQ(KS_OK, PageAtValue(&reader_, page_.get(), &value));
      long at = std::find(whole.begin(), whole.end(), Selected()) - whole.begin();
      EXPECT_GE(at, previous) << pos;
      previous = at;
      distinct.insert(Selected());
      int thumb = ThumbPosition(s.get(), &page_->rows[page_->selected], pos == 100);
      EXPECT_LE(abs(thumb - pos), tab == kTabRating ? 12 : 2) << pos;
    }
    // Text samples spread over the characters after the shared "http://www.":
    // the dragged positions reach many different sites (ratings: all ten).
    EXPECT_GE(distinct.size(), tab == kTabRating ? 10u : 85u);
  }
}

TEST(ScrollSamples, KeywordTabHasNoSamplesAndActsOnlyAtTheEnds) {
  SiteRecord a = MakeSite("http://a", "A", "C", 1, "ftp"), b = MakeSite("http://b", "B", "C", 1, "http");
  std::unique_ptr<ScrollSamples> s(new ScrollSamples);
  BuildScrollSamples(kTabKeyword, &a, &b, s.get());
  EXPECT_EQ(0, s->count);
  SiteRecord v;
  EXPECT_EQ(kThumbFirst, ThumbDragTarget(s.get(), 1, &v));
  EXPECT_EQ(kThumbNone, ThumbDragTarget(s.get(), 50, &v));
  EXPECT_EQ(kThumbLast, ThumbDragTarget(s.get(), 100, &v));
  EXPECT_EQ(1, ThumbPosition(s.get(), &a, 0));
  EXPECT_EQ(100, ThumbPosition(s.get(), &b, 1));
  BuildScrollSamples(kTabDescription, nullptr, nullptr, s.get());
  EXPECT_EQ(0, s->count);
}

TEST(ScrollSamples, TextSamplesAreMonotonicInKeyOrder) {
  // "_" orders before letters in the case-insensitive key; upper case would put it after.
  const char* pairs[][2] = {{"_Intro", "zebra"},
                            {"a", "a"},
                            {"Abc", "abd"},
                            {"", "\xE9t\xE9"},
                            {"http://www.aaa.com/x", "http://www.zzz.com/y"}};
  std::unique_ptr<ScrollSamples> s(new ScrollSamples);
  for (auto& p : pairs) {
    SiteRecord a = MakeSite("l", p[0], "", 0, ""), b = MakeSite("l", p[1], "", 0, "");
    BuildScrollSamples(kTabDescription, &a, &b, s.get());
    ASSERT_EQ(100, s->count);
    EXPECT_EQ(std::string(p[0]), s->text[0]);
    EXPECT_EQ(std::string(p[1]), s->text[99]);
    for (int i = 1; i < 100; i++) EXPECT_LE(CompareKeyText(s->text[i - 1], s->text[i]), 0) << p[0] << " " << i;
  }
  EXPECT_LT(CompareKeyText("_x", "a"), 0);
  EXPECT_EQ(0, CompareKeyText("News  ", "nEWS"));
  EXPECT_LT(CompareKeyText("ab", "ab c"), 0);
}

// ---- Quick HTML ----------------------------------------------------------------

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

const char kHeader[] =
    "<HTML>\r\n\r\n<HEAD><TITLE>Tabulink - Quick Published Site List</TITLE></HEAD>\r\n\r\n<BODY>\r\n\r\n"
    "<H1>Tabulink - Quick Published Site List</H1><P>\r\n<HR>\r\n<TABLE BORDER=1>\r\n"
    "<TR> <TD>Description</TD> <TD>Location</TD> <TD>Category</TD> <TD>Rating</TD> <TD>Keyword</TD> </TR>\r\n";
const char kFooter[] = "\r\n</TABLE>\r\n\r\n</BODY>\r\n</HTML>\r\n";

TEST_F(BrowseTest, QuickHtmlOfNoRowsIsHeaderAndFooter) {
  QuickHtmlFile q;
  ASSERT_TRUE(QuickHtmlCreate(&q, Path("QUICK.HTM").c_str()));
  ASSERT_TRUE(QuickHtmlFinish(&q));
  EXPECT_EQ(std::string(kHeader) + kFooter, ReadAll(Path("QUICK.HTM")));
  // Created anew: an older, longer file is replaced.
  std::ofstream(Path("OLD.HTM")) << std::string(5000, 'x');
  ASSERT_TRUE(QuickHtmlCreate(&q, Path("OLD.HTM").c_str()));
  ASSERT_TRUE(QuickHtmlFinish(&q));
  EXPECT_EQ(std::string(kHeader) + kFooter, ReadAll(Path("OLD.HTM")));
}

TEST_F(BrowseTest, QuickHtmlRowsAreWholeAndUnescaped) {
  SiteRecord s = MakeSite("http://a.example/?q=<b>&x", "Tom & Jerry", "Fun", 7, "http");
  char row[kQuickRowMax];
  QuickHtmlRow(&s, row, sizeof row);
  EXPECT_STREQ(
      "<TR> <TD>Tom & Jerry</TD> <TD>http://a.example/?q=<b>&x</TD> <TD>Fun</TD> <TD> 7</TD> "
      "<TD>http</TD> </TR>",
      row);
  // Every field full: far past 255 characters, and still one whole row.
  std::string loc(255, 'l'), desc(100, 'd'), cat(30, 'c');
  SiteRecord big = MakeSite(loc.c_str(), desc.c_str(), cat.c_str(), -99, "kkkkkkkkkk");
  QuickHtmlFile q;
  ASSERT_TRUE(QuickHtmlCreate(&q, Path("BIG.HTM").c_str()));
  ASSERT_TRUE(QuickHtmlWriteRow(&q, &big));
  ASSERT_TRUE(QuickHtmlWriteRow(&q, &s));
  EXPECT_EQ(2, q.rows);
  ASSERT_TRUE(QuickHtmlFinish(&q));
  std::string want = std::string(kHeader) + "<TR> <TD>" + desc + "</TD> <TD>" + loc + "</TD> <TD>" + cat +
                     "</TD> <TD>-99</TD> <TD>kkkkkkkkkk</TD> </TR>\r\n" + row + "\r\n" + kFooter;
  EXPECT_EQ(want, ReadAll(Path("BIG.HTM")));
}

TEST_F(BrowseTest, QuickHtmlFileThatCannotBeCreatedSaysWhy) {
  QuickHtmlFile q;
  EXPECT_FALSE(QuickHtmlCreate(&q, Path("no-such-dir/QUICK.HTM").c_str()));
  EXPECT_NE(0, q.error);
  EXPECT_EQ(nullptr, q.file);
  QuickHtmlAbandon(&q);
  char name[32];
  EXPECT_TRUE(QuickHtmlDefaultName("C:\\Data", name, sizeof name));
  EXPECT_STREQ("C:\\Data\\QUICK.HTM", name);
  EXPECT_TRUE(QuickHtmlDefaultName("C:\\", name, sizeof name));
  EXPECT_STREQ("C:\\QUICK.HTM", name);
  EXPECT_FALSE(QuickHtmlDefaultName("C:\\a very long directory name", name, sizeof name));
}

// ---- Category list -------------------------------------------------------------

int Collect(const CategoryRecord* c, void* ctx) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(TRIM(c->Category));
  return 1;
}

TEST_F(BrowseTest, CategoryListLeavesOutPseudoCategoriesInAnyCase) {
  KsFile* cats = RecordFile(RF_CATEGORIES);
  for (const char* name : {"News", "_before all", "_AFTER ALL", "Art", "_Before Allx", "zoo"}) {
    CategoryRecord c = MakeCategory(name, "d");
    ASSERT_EQ(KS_OK, ks_add(cats, &c)) << name;
  }
  std::vector<std::string> all, site;
  ASSERT_EQ(KS_OK, ForEachCategory(cats, kAllCategories, Collect, &all));
  ASSERT_EQ(KS_OK, ForEachCategory(cats, kSiteCategories, Collect, &site));
  EXPECT_EQ((std::vector<std::string>{"_AFTER ALL", "_before all", "_Before Allx", "Art", "News", "zoo"}), all);
  EXPECT_EQ((std::vector<std::string>{"_Before Allx", "Art", "News", "zoo"}), site);

  int error = -1;
  EXPECT_EQ(1, CategoryExists(cats, "NEWS", &error));
  EXPECT_EQ(0, CategoryExists(cats, "Newsletter", &error));
  EXPECT_EQ(KS_ERR_NOT_FOUND, error);

  CategoryRecord c = MakeCategory("x", "");
  std::string memo = "line one\r\nline\ttwo" + std::string(600, 'y');
  SET_MEMO(c.Description, memo.c_str());
  char column[256];
  CategoryDescriptionColumn(&c, column, sizeof column);
  EXPECT_EQ(255u, strlen(column));
  EXPECT_EQ(0, strncmp(column, "line one  line two", 18));
}

}  // namespace
