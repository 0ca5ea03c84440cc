// Tests of report runs over the real record store: the orders of the six
// reports (highest rating first, ties by description; a blank keyword listed;
// a blank description left out), batches and percentages, the category memo,
// and a run that never touches the program-wide record buffers.
#include "sitelist/exchange/report_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sitelist/records/record_messages.h"
#include "sitelist/records/tests/test_support.h"

namespace {

std::vector<std::string> g_titles;

int RecordingPrompt(const RecordMessage* m) {
  g_titles.push_back(m->title);
  return m->default_answer;
}

class ReportRunTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    g_titles.clear();
    SetRecordPrompt(RecordingPrompt);
  }
  void TearDown() override {
    SetRecordPrompt(nullptr);
    RecordsDirTest::TearDown();
  }
  void AddSites(const std::vector<SiteRecord>& sites) {
    ASSERT_TRUE(OpenRecordFile(RF_TABLNK));
    for (SiteRecord s : sites) ASSERT_EQ(ks_add(RecordFile(RF_TABLNK), &s), KS_OK);
    CloseRecordFile(RF_TABLNK);
  }
  // Runs a report to its end in batches of 25; returns the given column of every row.
  std::vector<std::string> Run(int kind, int column, std::vector<int>* percents = nullptr) {
    ReportRun run;
    std::vector<std::string> out;
    EXPECT_TRUE(ReportBegin(&run, kind));
    int status;
    while ((status = ReportStep(&run, 25)) == kReportMore) {
      if (percents) percents->push_back(run.percent);
    }
    EXPECT_EQ(status, kReportDone);
    EXPECT_EQ(run.percent, 100);
    ReportEnd(&run);
    EXPECT_EQ(RecordFileUses(run.definition->file), 0);
    for (size_t r = 0; r < ReportRowCount(run.rows); ++r) out.push_back(ReportCell(run.rows, r, column));
    return out;
  }
};

TEST_F(ReportRunTest, SiteReportsListTheirKeysOrder) {
  AddSites({
      MakeSite("http://b.example/", "Beta", "News", 2, "http"),
      MakeSite("ftp://a.example/", "alpha", "Files", 10, "ftp"),
      MakeSite("http://c.example/", "Gamma", "news", 10, ""),
      MakeSite("mailto:x@example.com", "", "Mail", 5, "mailto"),
      MakeSite("http://d.example/", "Delta", "Files", 10, "http"),
  });
  EXPECT_EQ(Run(kReportByLocation, 0),
            (std::vector<std::string>{"ftp://a.example/", "http://b.example/", "http://c.example/", "http://d.example/",
                                      "mailto:x@example.com"}));
  // The blank description is left out of the description order.
  EXPECT_EQ(Run(kReportByDescription, 1), (std::vector<std::string>{"alpha", "Beta", "Delta", "Gamma"}));
  // Highest rating first; equal ratings by description.
  EXPECT_EQ(Run(kReportByRating, 3), (std::vector<std::string>{"10", "10", "10", " 5", " 2"}));
  EXPECT_EQ(Run(kReportByRating, 1), (std::vector<std::string>{"alpha", "Delta", "Gamma", "", "Beta"}));
  // Category order ignores case, then description.
  EXPECT_EQ(Run(kReportByCategory, 1), (std::vector<std::string>{"alpha", "Delta", "", "Beta", "Gamma"}));
  // The blank keyword is listed (first).
  EXPECT_EQ(Run(kReportByKeyword, 4), (std::vector<std::string>{"", "ftp", "http", "http", "mailto"}));
  EXPECT_EQ(Run(kReportByKeyword, 0)[0], "http://c.example/");
  EXPECT_TRUE(g_titles.empty());
}

TEST_F(ReportRunTest, CellsAreCutToTheirColumnsAndNegativeRatingsShow) {
  std::string location = "http://example.com/" + std::string(230, 'p');
  AddSites(
      {MakeSite(location.c_str(), std::string(100, 'd').c_str(), std::string(30, 'c').c_str(), -99, "keyword123")});
  ReportRun run;
  ASSERT_TRUE(ReportBegin(&run, kReportByLocation));
  EXPECT_EQ(ReportStep(&run, 25), kReportDone);
  ReportEnd(&run);
  ASSERT_EQ(ReportRowCount(run.rows), 1u);
  EXPECT_EQ(std::string(ReportCell(run.rows, 0, 0)), location.substr(0, 100));
  EXPECT_EQ(strlen(ReportCell(run.rows, 0, 1)), 100u);
  EXPECT_EQ(strlen(ReportCell(run.rows, 0, 2)), 30u);
  EXPECT_STREQ(ReportCell(run.rows, 0, 3), "-99");
  EXPECT_STREQ(ReportCell(run.rows, 0, 4), "keyword123");
}

TEST_F(ReportRunTest, PercentRisesPerBatchOfTwentyFive) {
  std::vector<SiteRecord> sites;
  for (int i = 0; i < 60; ++i) {
    std::string loc = "http://s" + std::to_string(i) + "/";
    sites.push_back(MakeSite(loc.c_str(), "d", "c", 1, "http"));
  }
  AddSites(sites);
  std::vector<int> percents;
  EXPECT_EQ(Run(kReportByLocation, 0, &percents).size(), 60u);
  EXPECT_EQ(percents, (std::vector<int>{41, 83}));
  char text[32];
  ASSERT_TRUE(FormatReportPercent(7, text, sizeof text));
  EXPECT_STREQ(text, "  7% Completed");
  ASSERT_TRUE(FormatReportPercent(100, text, sizeof text));
  EXPECT_STREQ(text, "100% Completed");
  ASSERT_TRUE(FormatReportPercent(140, text, sizeof text));
  EXPECT_STREQ(text, "100% Completed");
  EXPECT_FALSE(FormatReportPercent(5, text, 8));
  EXPECT_EQ(ReportPercent(3, 0), 100);
  EXPECT_EQ(ReportPercent(7, 5), 100);
}

TEST_F(ReportRunTest, CategoryReportCarriesTheMemoWithItsLineBreaks) {
  ASSERT_TRUE(OpenRecordFile(RF_CATEGORIES));
  CategoryRecord b = MakeCategory("Books", "Line one\r\nLine\ttwo\r\n\r\n");
  CategoryRecord a = MakeCategory("_After All", "");
  ASSERT_EQ(ks_add(RecordFile(RF_CATEGORIES), &b), KS_OK);
  ASSERT_EQ(ks_add(RecordFile(RF_CATEGORIES), &a), KS_OK);
  CloseRecordFile(RF_CATEGORIES);
  EXPECT_EQ(Run(kReportCategories, 0), (std::vector<std::string>{"_After All", "Books"}));
  EXPECT_EQ(Run(kReportCategories, 1), (std::vector<std::string>{"", "Line one\nLine two"}));
}

TEST_F(ReportRunTest, EmptyFileEndsAtOnceAndMissingFileIsCreated) {
  std::vector<int> percents;
  EXPECT_TRUE(Run(kReportByRating, 0, &percents).empty());
  EXPECT_TRUE(percents.empty());
  EXPECT_TRUE(std::filesystem::exists("URL_L.KSF"));
  EXPECT_TRUE(g_titles.empty());
}

TEST_F(ReportRunTest, RunKeepsItsRecordsInItsOwnBuffers) {
  AddSites({MakeSite("http://a/", "A", "News", 1, "http")});
  ks_clear(&TABLNK_Decl, &g_URL);
  SET_FIELD(g_URL.Location, "http://being-edited/");
  ASSERT_EQ(Run(kReportByLocation, 0).size(), 1u);
  char loc[256];
  GET_FIELD(g_URL.Location, loc);
  EXPECT_STREQ(loc, "http://being-edited/");
}

TEST_F(ReportRunTest, UnreadableFileStopsWithTheOpeningRulesMessage) {
  {
    FILE* f = fopen("URL_L.KSF", "wb");
    ASSERT_NE(f, nullptr);
    fputs("this is not a record file at all, just some text", f);
    fclose(f);
  }
  ReportRun run;
  EXPECT_FALSE(ReportBegin(&run, kReportByLocation));
  EXPECT_FALSE(g_titles.empty());
  EXPECT_EQ(RecordFileUses(RF_TABLNK), 0);
}

}  // namespace
