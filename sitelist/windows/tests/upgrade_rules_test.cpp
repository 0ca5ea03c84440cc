// Tests of the upgrade of earlier-version files with the real record store in
// a fresh working directory: field mappings, batches and percentages, the
// failed add of a site, removal of the old file.
#include "sitelist/windows/upgrade_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sitelist/records/record_messages.h"

namespace {

std::vector<std::string> g_titles;

int RecordingPrompt(const RecordMessage* m) {
  g_titles.push_back(m->title);
  return m->default_answer;
}

class UpgradeTest : public ::testing::Test {
protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / (std::string("tx_upgrade_") + std::to_string(getpid()) + "_" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
    g_titles.clear();
    SetRecordPrompt(RecordingPrompt);
  }
  void TearDown() override {
    SetRecordPrompt(nullptr);
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  static bool Exists(const char* name) { return std::filesystem::exists(name); }
  std::filesystem::path dir_, old_;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::string Field(const char* f, size_t width) {
  char out[1024];
  GetField(f, width, out, sizeof out);
  return out;
}
#define FIELD_OF(f) Field((f), sizeof(f))

// Writes earlier-version sites; site i has location "http://siteN/" unless
// locations are given.
void WriteOldSites(const std::vector<std::string>& locations, const char* memo = "notes") {
  ASSERT_EQ(ks_create(&OldTABLNK_Decl, nullptr), KS_OK);
  KsFile* f = nullptr;
  ASSERT_EQ(ks_open(&OldTABLNK_Decl, nullptr, KS_SHARED, &f), KS_OK);
  int i = 0;
  for (const std::string& loc : locations) {
    OldSiteRecord r;
    ks_clear(&OldTABLNK_Decl, &r);
    SET_FIELD(r.Location, loc.c_str());
    std::string d = "Description " + std::to_string(i);
    SET_FIELD(r.Description, d.c_str());
    SET_FIELD(r.Category, "Old Category 15");
    r.Rating = (i % 199) - 99;
    SET_FIELD(r.Keyword, "http");
    SET_MEMO(r.SiteInfo, memo);
    ASSERT_EQ(ks_add(f, &r), KS_OK) << loc;
    ++i;
  }
  ks_close(f);
}

std::vector<std::string> ManyLocations(int n) {
  std::vector<std::string> v;
  for (int i = 0; i < n; ++i) v.push_back("http://site" + std::to_string(i) + "/");
  return v;
}

int RunToEnd(UpgradeRun* run, int batch, int* steps) {
  int status;
  *steps = 0;
  int lastPercent = 0;
  do {
    status = UpgradeStep(run, batch);
    ++*steps;
    EXPECT_GE(run->percent, lastPercent);
    EXPECT_LE(run->percent, 100);
    lastPercent = run->percent;
  } while (status == kUpgradeMore);
  return status;
}

TEST(UpgradeMapping, SiteFieldsArriveWholeAndPadded) {
  OldSiteRecord old;
  ks_clear(&OldTABLNK_Decl, &old);
  std::string loc = "http://" + Repeat('x', 121);
  ASSERT_EQ(loc.size(), 128u);
  SET_FIELD(old.Location, loc.c_str());
  SET_FIELD(old.Description, Repeat('d', 60).c_str());
  SET_FIELD(old.Category, "Fifteen chars!!");
  old.Rating = -42;
  SET_FIELD(old.Keyword, "gopher");
  SET_MEMO(old.SiteInfo, Repeat('m', 500).c_str());
  SiteRecord site;
  memset(&site, 'Z', sizeof site);
  ConvertOldSite(old, &site);
  EXPECT_EQ(std::string(site.Location, 128), loc);
  EXPECT_EQ(std::string(site.Location + 128, 127), Repeat(' ', 127));
  EXPECT_EQ(std::string(site.Description, 100), Repeat('d', 60) + Repeat(' ', 40));
  EXPECT_EQ(FIELD_OF(site.Category), "Fifteen chars!!");
  EXPECT_EQ(site.Rating, -42);
  EXPECT_EQ(std::string(site.Keyword, 10), "gopher    ");
  EXPECT_EQ(std::string(site.SiteInfo), Repeat('m', 500));
  EXPECT_EQ(site.Tag.id, 0u);
}

TEST(UpgradeMapping, CategoryAndHtml) {
  OldCategoryRecord oc;
  ks_clear(&OldCategories_Decl, &oc);
  SET_FIELD(oc.Category, "News");
  CategoryRecord cat;
  memset(&cat, 'Z', sizeof cat);
  ConvertOldCategory(oc, &cat);
  EXPECT_EQ(std::string(cat.Category, 30), "News" + Repeat(' ', 26));
  EXPECT_EQ(cat.Flag, 0);
  EXPECT_STREQ(cat.Description, "");

  OldCatHtmlRecord oh;
  ks_clear(&OldCatHTML_Decl, &oh);
  SET_FIELD(oh.Category, "News");
  SET_FIELD(oh.TypeOfHTML, "After Category Title");
  SET_MEMO(oh.HTMLtoAdd, Repeat('h', 1000).c_str());
  CatHtmlRecord text;
  memset(&text, 'Z', sizeof text);
  ConvertOldCatHtml(oh, &text);
  EXPECT_EQ(FIELD_OF(text.Category), "News");
  EXPECT_EQ(FIELD_OF(text.TypeOfHTML), "After Category Title");
  EXPECT_EQ(std::string(text.HTMLtoAdd), Repeat('h', 1000));
}

TEST_F(UpgradeTest, ProbeTellsPresentFromAbsent) {
  EXPECT_EQ(ProbeEarlierFile(kUpgradeSites), KS_ERR_NO_FILE);
  EXPECT_FALSE(Exists("TABLNK.KSF"));  // the probe creates nothing
  WriteOldSites({"http://a/"});
  EXPECT_EQ(ProbeEarlierFile(kUpgradeSites), KS_OK);
  EXPECT_EQ(ProbeEarlierFile(kUpgradeCategories), KS_ERR_NO_FILE);
  EXPECT_EQ(ProbeEarlierFile(kUpgradeCatHtml), KS_ERR_NO_FILE);
}

TEST_F(UpgradeTest, SitesConvertInBatchesAndTheOldFileGoes) {
  std::vector<std::string> locs = ManyLocations(2500);
  std::string longLoc = "http://" + Repeat('L', 121);
  locs.push_back(longLoc);
  WriteOldSites(locs, "memo of the old site");
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeSites));
  EXPECT_GT(run.oldSize, 0u);
  int steps = 0;
  EXPECT_EQ(RunToEnd(&run, 1000, &steps), kUpgradeDone);
  EXPECT_EQ(steps, 3);  // 1000 + 1000 + 501 records, the end found in the third batch
  EXPECT_EQ(run.percent, 100);
  EXPECT_EQ(run.added, 2501u);
  EXPECT_EQ(UpgradeEnd(&run, true), KS_OK);
  EXPECT_FALSE(Exists("TABLNK.KSF"));
  EXPECT_EQ(RecordFileUses(RF_TABLNK), 0);
  EXPECT_EQ(RecordFileUses(RF_OLD_TABLNK), 0);

  KsFile* f = nullptr;
  ASSERT_EQ(ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f), KS_OK);
  uint32_t count = 0;
  ASSERT_EQ(ks_count(f, &count), KS_OK);
  EXPECT_EQ(count, 2501u);
  SiteRecord site;
  ks_clear(&TABLNK_Decl, &site);
  SET_FIELD(site.Location, longLoc.c_str());
  ASSERT_EQ(ks_get(f, URL_K_Location, &site), KS_OK);
  EXPECT_EQ(FIELD_OF(site.Location), longLoc);
  EXPECT_EQ(FIELD_OF(site.Category), "Old Category 15");
  EXPECT_STREQ(site.SiteInfo, "memo of the old site");
  ks_close(f);
  EXPECT_TRUE(g_titles.empty());
}

TEST_F(UpgradeTest, PercentageGrowsWithTheBytesRead) {
  WriteOldSites(ManyLocations(400));
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeSites));
  // The share of the old file's record bytes read so far: three times as many
  // records, three times the share; the whole file, the whole share.
  EXPECT_EQ(UpgradeStep(&run, 100), kUpgradeMore);
  int first = run.percent;
  EXPECT_GT(first, 0);
  EXPECT_EQ(UpgradeStep(&run, 200), kUpgradeMore);
  EXPECT_GE(run.percent, 3 * first - 2);
  EXPECT_LE(run.percent, 3 * first + 2);
  EXPECT_LT(run.percent, 100);
  EXPECT_GE(run.percent, 70);
  EXPECT_EQ(UpgradeStep(&run, 99), kUpgradeMore);
  EXPECT_GE(run.percent, 99);
  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeDone);
  EXPECT_EQ(run.percent, 100);
  UpgradeEnd(&run, true);
}

TEST_F(UpgradeTest, FailedSiteAddStopsThenGoesOn) {
  WriteOldSites({"http://one/", "http://two/", "http://three/"});
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeSites));
  // Another station adds the second location (in other letter case) meanwhile.
  SiteRecord other;
  ks_clear(&TABLNK_Decl, &other);
  SET_FIELD(other.Location, "HTTP://TWO/");
  ASSERT_EQ(ks_add(run.newFile, &other), KS_OK);

  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeAddFailed);
  EXPECT_EQ(run.lastError, KS_ERR_DUPLICATE);
  EXPECT_EQ(run.added, 1u);
  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeDone);  // Ignore: the next record
  EXPECT_EQ(run.added, 2u);
  EXPECT_EQ(run.skipped, 1u);
  UpgradeEnd(&run, true);
  KsFile* f = nullptr;
  ASSERT_EQ(ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f), KS_OK);
  uint32_t count = 0;
  ks_count(f, &count);
  EXPECT_EQ(count, 3u);  // the other station's and two upgraded ones
  ks_close(f);
}

TEST_F(UpgradeTest, CategoriesAndTextsGoOnSilentlyPastFailedAdds) {
  ASSERT_EQ(ks_create(&OldCategories_Decl, nullptr), KS_OK);
  KsFile* f = nullptr;
  ASSERT_EQ(ks_open(&OldCategories_Decl, nullptr, KS_SHARED, &f), KS_OK);
  const char* names[] = {"Arts", "News", "Sport"};
  for (const char* n : names) {
    OldCategoryRecord r;
    ks_clear(&OldCategories_Decl, &r);
    SET_FIELD(r.Category, n);
    ASSERT_EQ(ks_add(f, &r), KS_OK);
  }
  ks_close(f);
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeCategories));
  CategoryRecord clash;
  ks_clear(&Categories_Decl, &clash);
  SET_FIELD(clash.Category, "news");
  ASSERT_EQ(ks_add(run.newFile, &clash), KS_OK);
  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeDone);
  EXPECT_EQ(run.added, 2u);
  EXPECT_EQ(run.skipped, 1u);
  EXPECT_EQ(UpgradeEnd(&run, true), KS_OK);
  EXPECT_FALSE(Exists("CATEGORI.KSF"));
  EXPECT_TRUE(g_titles.empty());

  ASSERT_EQ(ks_create(&OldCatHTML_Decl, nullptr), KS_OK);
  f = nullptr;
  ASSERT_EQ(ks_open(&OldCatHTML_Decl, nullptr, KS_SHARED, &f), KS_OK);
  OldCatHtmlRecord h;
  ks_clear(&OldCatHTML_Decl, &h);
  SET_FIELD(h.Category, "Arts");
  SET_FIELD(h.TypeOfHTML, "Before Category");
  SET_MEMO(h.HTMLtoAdd, "<hr>");
  ASSERT_EQ(ks_add(f, &h), KS_OK);
  ks_close(f);
  f = nullptr;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeCatHtml));
  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeDone);
  EXPECT_EQ(UpgradeEnd(&run, true), KS_OK);
  EXPECT_FALSE(Exists("CATHTML.KSF"));
  ASSERT_EQ(ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &f), KS_OK);
  CatHtmlRecord t;
  ks_clear(&CatHTML_Decl, &t);
  SET_FIELD(t.Category, "arts");
  SET_FIELD(t.TypeOfHTML, "before category");
  ASSERT_EQ(ks_get(f, HTM_KeyCategoryHTML, &t), KS_OK);
  EXPECT_STREQ(t.HTMLtoAdd, "<hr>");
  ks_close(f);
}

TEST_F(UpgradeTest, NewFileReplacesAnEarlierOne) {
  // A site file left from an interrupted upgrade is replaced, not added to.
  ASSERT_EQ(ks_create(&TABLNK_Decl, nullptr), KS_OK);
  KsFile* f = nullptr;
  ASSERT_EQ(ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f), KS_OK);
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Location, "http://left.over/");
  ASSERT_EQ(ks_add(f, &s), KS_OK);
  ks_close(f);
  f = nullptr;
  WriteOldSites({"http://a/"});
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeSites));
  EXPECT_EQ(UpgradeStep(&run, 1000), kUpgradeDone);
  UpgradeEnd(&run, true);
  ASSERT_EQ(ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f), KS_OK);
  uint32_t count = 0;
  ks_count(f, &count);
  EXPECT_EQ(count, 1u);
  ks_close(f);
}

TEST_F(UpgradeTest, EndWithoutRemovalKeepsTheOldFile) {
  WriteOldSites({"http://a/", "http://b/"});
  UpgradeRun run;
  ASSERT_TRUE(UpgradeBegin(&run, kUpgradeSites));
  EXPECT_EQ(UpgradeStep(&run, 1), kUpgradeMore);
  EXPECT_EQ(UpgradeEnd(&run, false), KS_OK);
  EXPECT_TRUE(Exists("TABLNK.KSF"));
  EXPECT_EQ(ProbeEarlierFile(kUpgradeSites), KS_OK);
}

TEST_F(UpgradeTest, UnwritableNewFileIsReportedAndNothingStarts) {
  WriteOldSites({"http://a/"});
  std::filesystem::create_directory("URL_L.KSF");  // a directory where the new file must go
  UpgradeRun run;
  EXPECT_FALSE(UpgradeBegin(&run, kUpgradeSites));
  ASSERT_EQ(g_titles.size(), 1u);
  EXPECT_EQ(g_titles[0], "File Creation Error");
  EXPECT_EQ(RecordFileUses(RF_TABLNK), 0);
  EXPECT_EQ(RecordFileUses(RF_OLD_TABLNK), 0);
  EXPECT_TRUE(Exists("TABLNK.KSF"));
}

}  // namespace
