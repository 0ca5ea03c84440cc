// Tests of the report definitions and their paging: lines per page, wrapping
// of long cells, rows kept together or split only when taller than a page,
// every character of every cell printed exactly once, titles and footers.
#include "sitelist/exchange/report_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sitelist/records/record_files.h"

namespace {

// A fixed-pitch font: every character 10 units wide, lines 20 units high.
ReportFontMetrics Fixed(int width, int height) {
  ReportFontMetrics f;
  for (int& w : f.widths) w = width;
  f.lineHeight = height;
  return f;
}

// A page 1000 x 1000 with margins of 50: 900 units of line, title 40 high.
ReportPageGeometry Page(int height = 1000) {
  ReportPageGeometry g;
  g.pageWidth = 1000;
  g.pageHeight = height;
  g.margin = 50;
  g.columnGap = 10;
  g.titleHeight = 40;
  g.body = Fixed(10, 20);
  g.heading = Fixed(10, 20);
  return g;
}

struct Drawn {
  std::vector<ReportDrawItem> items;
  std::vector<std::string> texts;
};

void Collect(void* context, const ReportDrawItem& item) {
  Drawn* d = static_cast<Drawn*>(context);
  d->items.push_back(item);
  d->texts.push_back(item.rule ? std::string("<rule>") : std::string(item.text, item.len));
}

Drawn DrawPage(const ReportLayout& layout, const ReportRows& rows, size_t page) {
  Drawn d;
  EXPECT_TRUE(DrawReportPage(layout, rows, page, Collect, &d));
  return d;
}

std::vector<std::string> Body(const Drawn& d, int column, const ReportLayout& layout) {
  std::vector<std::string> out;
  for (size_t i = 0; i < d.items.size(); ++i) {
    const ReportDrawItem& it = d.items[i];
    if (!it.rule && it.font == kFontBody && it.x == layout.columnX[column]) out.push_back(d.texts[i]);
  }
  return out;
}

void AddRow(ReportRows* rows, std::vector<std::string> cells) {
  std::vector<const char*> p;
  for (const std::string& c : cells) p.push_back(c.c_str());
  ASSERT_TRUE(ReportRowsAdd(rows, p.data()));
}

TEST(ReportDefinitions, TitlesFilesKeysAndColumns) {
  struct Want {
    int kind;
    const char* procedure;
    const char* title;
    int file;
    int key;
  } want[] = {
      {kReportByLocation, "PrintURL:K_Location", "URLs by Location", RF_TABLNK, URL_K_Location},
      {kReportByDescription, "PrintURL:K_Description", "URLs by Description", RF_TABLNK, URL_K_Description},
      {kReportByCategory, "PrintURL:K_Category", "URLs by Category", RF_TABLNK, URL_K_Category},
      {kReportByRating, "PrintURL:K_Rating", "URLs by Rating", RF_TABLNK, URL_K_Rating},
      {kReportByKeyword, "PrintURL:K_Keyword", "URLs by Keyword", RF_TABLNK, URL_K_Keyword},
      {kReportCategories, "PrintCAT:K_Category", "Categories", RF_CATEGORIES, CAT_K_Category},
  };
  for (const Want& w : want) {
    const ReportDefinition* d = ReportDefinitionOf(w.kind);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->procedure, w.procedure);
    EXPECT_STREQ(d->title, w.title);
    EXPECT_EQ(d->file, w.file);
    EXPECT_EQ(d->key, w.key);
    int shares = 0;
    for (int c = 0; c < d->ncolumns; ++c) shares += d->columns[c].share;
    EXPECT_EQ(shares, 1000) << w.title;
  }
  const ReportDefinition* sites = ReportDefinitionOf(kReportByRating);
  ASSERT_EQ(sites->ncolumns, 5);
  const char* headings[] = {"Location", "Description", "Category", "Rating", "Keyword"};
  const int chars[] = {100, 100, 30, 2, 10};
  for (int c = 0; c < 5; ++c) {
    EXPECT_STREQ(sites->columns[c].heading, headings[c]);
    EXPECT_EQ(sites->columns[c].chars, chars[c]);
  }
  const ReportDefinition* cats = ReportDefinitionOf(kReportCategories);
  ASSERT_EQ(cats->ncolumns, 2);
  EXPECT_STREQ(cats->columns[0].heading, "Category");
  EXPECT_STREQ(cats->columns[1].heading, "Description");
  EXPECT_EQ(ReportDefinitionOf(-1), nullptr);
  EXPECT_EQ(ReportDefinitionOf(kReportKinds), nullptr);
}

TEST(ReportPaging, OneLineRowsFillPagesAndEveryPageHasTitleHeadingsAndFooter) {
  const ReportDefinition& d = *ReportDefinitionOf(kReportByLocation);
  ReportRows rows;
  ReportRowsReset(&rows, 5);
  for (int i = 0; i < 100; ++i) AddRow(&rows, {"http://s" + std::to_string(i) + "/", "d", "c", " 5", "http"});
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, Page(), &layout));
  ASSERT_GT(layout.linesPerPage, 10);
  EXPECT_LE(layout.bodyTop + layout.linesPerPage * 20, layout.footerY);
  size_t want = (100 + layout.linesPerPage - 1) / layout.linesPerPage;
  ASSERT_EQ(ReportPageCount(layout), want);
  for (size_t p = 0; p < want; ++p) {
    Drawn page = DrawPage(layout, rows, p);
    ASSERT_GE(page.texts.size(), 8u);
    EXPECT_EQ(page.texts[0], "URLs by Location");
    EXPECT_EQ(page.items[0].font, kFontTitle);
    EXPECT_EQ(page.texts[1], "Location");
    EXPECT_EQ(page.texts[5], "Keyword");
    EXPECT_EQ(page.texts.back(), "Page " + std::to_string(p + 1));
    EXPECT_EQ(page.items.back().font, kFontFooter);
    std::vector<std::string> locations = Body(page, 0, layout);
    size_t first = p * layout.linesPerPage;
    size_t expect = p + 1 < want ? layout.linesPerPage : 100 - first;
    ASSERT_EQ(locations.size(), expect);
    EXPECT_EQ(locations.front(), "http://s" + std::to_string(first) + "/");
  }
  Drawn none;
  EXPECT_FALSE(DrawReportPage(layout, rows, want, Collect, &none));
}

TEST(ReportPaging, RatingIsRightAlignedAndCellsStayInTheirColumns) {
  const ReportDefinition& d = *ReportDefinitionOf(kReportByRating);
  ReportRows rows;
  ReportRowsReset(&rows, 5);
  AddRow(&rows, {"http://a/", "A", "News", "10", "http"});
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, Page(), &layout));
  for (int c = 0; c + 1 < 5; ++c) EXPECT_LT(layout.columnX[c] + layout.columnWidth[c], layout.columnX[c + 1]);
  EXPECT_LE(layout.columnX[4] + layout.columnWidth[4], 950);
  Drawn page = DrawPage(layout, rows, 0);
  for (const ReportDrawItem& it : page.items) {
    if (it.rule || it.font != kFontBody) continue;
    EXPECT_EQ(it.align, it.x == layout.columnX[3] ? kAlignRight : kAlignLeft);
  }
}

TEST(ReportPaging, LongCellsWrapAtSpacesAndLongWordsBreak) {
  const ReportDefinition& d = *ReportDefinitionOf(kReportCategories);
  ReportRows rows;
  ReportRowsReset(&rows, 2);
  // The description column is 0.7 * 900 - 0 = 630 wide: 63 characters.
  std::string words;
  for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i) + " ";
  AddRow(&rows, {"News", words});
  AddRow(&rows, {"Long", std::string(150, 'x')});
  AddRow(&rows, {"Lines", "first line\nsecond line"});
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, Page(), &layout));
  ASSERT_EQ(layout.columnWidth[1], 630);
  Drawn page = DrawPage(layout, rows, 0);
  std::vector<std::string> desc = Body(page, 1, layout);
  // 30 words of 6-7 characters: 3 lines, none ending or starting with a space.
  size_t i = 0;
  std::string joined;
  for (; i < desc.size() && desc[i].compare(0, 4, "word") == 0; ++i) {
    EXPECT_LE(desc[i].size(), 63u) << desc[i];
    EXPECT_NE(desc[i].back(), ' ');
    EXPECT_NE(desc[i].front(), ' ');
    joined += desc[i] + " ";
  }
  EXPECT_EQ(i, 4u);
  EXPECT_EQ(joined, words);
  ASSERT_GE(desc.size(), i + 5);
  EXPECT_EQ(desc[i], std::string(63, 'x'));
  EXPECT_EQ(desc[i + 1], std::string(63, 'x'));
  EXPECT_EQ(desc[i + 2], std::string(24, 'x'));
  EXPECT_EQ(desc[i + 3], "first line");
  EXPECT_EQ(desc[i + 4], "second line");
  // The category cell is drawn on the row's first line only.
  std::vector<std::string> names = Body(page, 0, layout);
  EXPECT_EQ(names, (std::vector<std::string>{"News", "Long", "Lines"}));
}

// Every cell's text comes out exactly once over all pages (spaces at line
// breaks aside), in order, within its column and within the page's body.
TEST(ReportPaging, EveryCharacterPrintedOnceWhateverTheRowHeights) {
  std::mt19937 rng(7);
  const ReportDefinition& d = *ReportDefinitionOf(kReportCategories);
  for (int pageHeight : {300, 420, 1000}) {
    ReportRows rows;
    ReportRowsReset(&rows, 2);
    std::vector<std::string> descs;
    for (int r = 0; r < 300; ++r) {
      std::string s;
      int words = (int)(rng() % 120);
      for (int w = 0; w < words; ++w) s += std::string(1 + rng() % 12, (char)('a' + rng() % 26)) + " ";
      while (!s.empty() && s.back() == ' ') s.pop_back();
      descs.push_back(s);
      AddRow(&rows, {"c" + std::to_string(r), s});
    }
    ReportLayout layout;
    ASSERT_TRUE(LayoutReport(d, rows, Page(pageHeight), &layout));
    std::string printed, names;
    for (size_t p = 0; p < ReportPageCount(layout); ++p) {
      Drawn page = DrawPage(layout, rows, p);
      int bodyLines = 0;
      for (size_t i = 0; i < page.items.size(); ++i) {
        const ReportDrawItem& it = page.items[i];
        if (it.rule || it.font != kFontBody) continue;
        EXPECT_GE(it.y, layout.bodyTop);
        EXPECT_LE(it.y + 20, layout.footerY);
        EXPECT_LE(ReportTextWidth(layout.geometry.body, it.text, it.len), it.width);
        if (it.x == layout.columnX[1]) {
          printed += page.texts[i];
          ++bodyLines;
        } else {
          names += page.texts[i] + ",";
        }
      }
      EXPECT_LE(bodyLines, layout.linesPerPage);
    }
    std::string want, wantNames;
    for (size_t r = 0; r < descs.size(); ++r) {
      for (char c : descs[r])
        if (c != ' ') want += c;
      wantNames += "c" + std::to_string(r) + ",";
    }
    std::string got;
    for (char c : printed)
      if (c != ' ') got += c;
    EXPECT_EQ(got, want) << "page height " << pageHeight;
    EXPECT_EQ(names, wantNames) << "page height " << pageHeight;
  }
}

TEST(ReportPaging, RowThatFitsMovesToTheNextPageAndTallRowSplits) {
  const ReportDefinition& d = *ReportDefinitionOf(kReportCategories);
  ReportPageGeometry g = Page(400);
  ReportRows rows;
  ReportRowsReset(&rows, 2);
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, g, &layout));
  int perPage = layout.linesPerPage;
  ASSERT_GE(perPage, 4);
  std::string lines;
  for (int i = 0; i < perPage; ++i) lines += "l" + std::to_string(i) + "\n";
  AddRow(&rows, {"one", "x"});
  AddRow(&rows, {"fits", lines});  // a whole page: not on the page of "one"
  std::string tall;
  for (int i = 0; i < 2 * perPage + 1; ++i) tall += "t" + std::to_string(i) + "\n";
  AddRow(&rows, {"tall", tall});
  ASSERT_TRUE(LayoutReport(d, rows, g, &layout));
  ASSERT_EQ(ReportPageCount(layout), 5u);
  EXPECT_EQ(layout.pages[1].row, 1u);
  EXPECT_EQ(layout.pages[1].line, 0u);
  EXPECT_EQ(layout.pages[2].row, 2u);
  EXPECT_EQ(layout.pages[3].row, 2u);
  EXPECT_EQ(layout.pages[3].line, (uint32_t)perPage);
  Drawn last = DrawPage(layout, rows, 4);
  std::vector<std::string> body = Body(last, 1, layout);
  ASSERT_EQ(body.size(), 1u);
  EXPECT_EQ(body[0], "t" + std::to_string(2 * perPage));
}

TEST(ReportPaging, EmptyReportHasOnePageAndBadGeometryIsRefused) {
  const ReportDefinition& d = *ReportDefinitionOf(kReportByDescription);
  ReportRows rows;
  ReportRowsReset(&rows, 5);
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, Page(), &layout));
  EXPECT_EQ(ReportPageCount(layout), 1u);
  Drawn page = DrawPage(layout, rows, 0);
  EXPECT_EQ(page.texts.front(), "URLs by Description");
  EXPECT_EQ(page.texts.back(), "Page 1");
  ReportPageGeometry tiny = Page(120);
  EXPECT_FALSE(LayoutReport(d, rows, tiny, &layout));
  ReportPageGeometry narrow = Page();
  narrow.pageWidth = 100;
  EXPECT_FALSE(LayoutReport(d, rows, narrow, &layout));
  ReportRows wrong;
  ReportRowsReset(&wrong, 2);
  EXPECT_FALSE(LayoutReport(d, wrong, Page(), &layout));
}

TEST(ReportPaging, TextLinesReportHasNoHeadingsAndKeepsBlankLines) {
  ReportDefinition d = TextLinesReport("What's New");
  EXPECT_TRUE(d.fixedPitch);
  ReportRows rows;
  ReportRowsReset(&rows, 1);
  AddRow(&rows, {"first"});
  AddRow(&rows, {""});
  AddRow(&rows, {"third"});
  ReportLayout layout;
  ASSERT_TRUE(LayoutReport(d, rows, Page(), &layout));
  EXPECT_EQ(layout.headingY, -1);
  Drawn page = DrawPage(layout, rows, 0);
  std::vector<int> ys;
  for (const ReportDrawItem& it : page.items)
    if (!it.rule && it.font == kFontBody) ys.push_back(it.y);
  ASSERT_EQ(ys.size(), 2u);
  EXPECT_EQ(ys[1] - ys[0], 40);  // the blank line keeps its place
}

}  // namespace
