// Tests of the preview's arithmetic: thumbnails across and down, paging by
// the pages shown, zooms at the paper's real size, the jump to a page and the
// status texts.
#include "sitelist/exchange/preview_layout.h"

#include <gtest/gtest.h>

namespace {

// An A4 page at 300 dots per inch, as the PDF printer reports it.
const long kPaperW = 2479, kPaperH = 3508, kPaperDpi = 300;

PreviewState State(size_t pages, int across, int down, int zoom = kZoomNone) {
  PreviewState s;
  s.pageCount = pages;
  SetThumbnails(&s, across, down);
  SetZoom(&s, zoom);
  return s;
}

TEST(PreviewPaging, ThumbnailsPageByTheirNumberAndStopAtTheEnds) {
  PreviewState s = State(10, 3, 2);
  EXPECT_EQ(PagesShown(s), 6u);
  EXPECT_FALSE(PreviousPages(&s));
  EXPECT_TRUE(NextPages(&s));
  EXPECT_EQ(s.page, 6u);
  EXPECT_FALSE(NextPages(&s));  // pages 7 to 10 are the last ones shown
  EXPECT_EQ(s.page, 6u);
  EXPECT_TRUE(PreviousPages(&s));
  EXPECT_EQ(s.page, 0u);
  SetPage(&s, 8);
  EXPECT_TRUE(PreviousPages(&s));
  EXPECT_EQ(s.page, 2u);
  EXPECT_TRUE(PreviousPages(&s));
  EXPECT_EQ(s.page, 0u);
  SetZoom(&s, kZoom100);
  EXPECT_EQ(PagesShown(s), 1u);
  SetPage(&s, 9);
  EXPECT_FALSE(NextPages(&s));
  SetPage(&s, 50);
  EXPECT_EQ(s.page, 9u);
  SetThumbnails(&s, 0, 99);
  EXPECT_EQ(s.across, 1);
  EXPECT_EQ(s.down, kMaxThumbnails);
}

TEST(PreviewLayout, ThumbnailsFitTheirCellsKeepThePaperShapeAndNeverOverlap) {
  for (int across = 1; across <= 4; ++across) {
    for (int down = 1; down <= 3; ++down) {
      PreviewState s = State(100, across, down);
      PreviewView v;
      LayoutPreview(s, 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
      ASSERT_EQ(v.pages.size(), (size_t)(across * down));
      for (size_t i = 0; i < v.pages.size(); ++i) {
        const PreviewPageRect& r = v.pages[i];
        EXPECT_EQ(r.page, i);
        EXPECT_GE(r.x, kPreviewGap);
        EXPECT_GE(r.y, kPreviewGap);
        EXPECT_LE(r.x + r.width, 800 - kPreviewGap);
        EXPECT_LE(r.y + r.height, 560 - kPreviewGap);
        EXPECT_NEAR((double)r.height / r.width, (double)kPaperH / kPaperW, 0.02);
        for (size_t j = 0; j < i; ++j) {
          const PreviewPageRect& o = v.pages[j];
          bool apart = r.x >= o.x + o.width || o.x >= r.x + r.width || r.y >= o.y + o.height || o.y >= r.y + r.height;
          EXPECT_TRUE(apart) << across << "x" << down << " pages " << i << "," << j;
        }
      }
      EXPECT_EQ(v.contentWidth, 800);
    }
  }
  // The last screen of thumbnails shows only the pages there are.
  PreviewState s = State(10, 3, 2);
  SetPage(&s, 6);
  PreviewView v;
  LayoutPreview(s, 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
  ASSERT_EQ(v.pages.size(), 4u);
  EXPECT_EQ(v.pages.back().page, 9u);
}

TEST(PreviewLayout, ZoomsShowThePaperAtItsRealSizeAndPageWidthFillsTheWindow) {
  PreviewView v;
  LayoutPreview(State(3, 2, 2, kZoom100), 1000, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
  ASSERT_EQ(v.pages.size(), 1u);
  EXPECT_EQ(v.pages[0].width, kPaperW * 96 / kPaperDpi);  // 8.26 inches at 96 pixels
  EXPECT_EQ(v.contentHeight, v.pages[0].height + 2 * kPreviewGap);
  EXPECT_EQ(v.pages[0].x, (1000 - v.pages[0].width) / 2);  // narrower than the window: centred
  EXPECT_EQ(v.pages[0].y, kPreviewGap);
  LayoutPreview(State(3, 2, 2, kZoom100), 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
  EXPECT_EQ(v.pages[0].x, kPreviewGap);  // with its gaps wider than the window: scrolled
  LayoutPreview(State(3, 1, 1, kZoom200), 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 100, 250, &v);
  EXPECT_EQ(v.pages[0].width, 2 * kPaperW * 96 / kPaperDpi);
  EXPECT_EQ(v.pages[0].x, kPreviewGap - 100);
  EXPECT_EQ(v.pages[0].y, kPreviewGap - 250);
  LayoutPreview(State(3, 1, 1, kZoom50), 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
  EXPECT_EQ(v.pages[0].width, kPaperW * 96 / kPaperDpi / 2);
  LayoutPreview(State(3, 1, 1, kZoomPageWidth), 800, 560, kPaperW, kPaperH, kPaperDpi, 96, 0, 0, &v);
  EXPECT_EQ(v.pages[0].width, 800 - 2 * kPreviewGap);
  EXPECT_GT(v.contentHeight, 560);
  EXPECT_EQ(ZoomPercent(kZoom75), 75);
  EXPECT_EQ(ZoomPercent(kZoom300), 300);
  EXPECT_EQ(ZoomPercent(kZoomPageWidth), 0);
}

TEST(PreviewTexts, StatusPromptAndPageNumbers) {
  char text[64];
  PreviewState s = State(12, 1, 1);
  SetPage(&s, 4);
  FormatPageStatus(s, text, sizeof text);
  EXPECT_STREQ(text, "Page 5 of 12");
  EXPECT_STREQ(ZoomStatusText(kZoomPageWidth), "Zoom (Page Width)");
  EXPECT_STREQ(ZoomStatusText(kZoom50), "Zoom (50 Percent)");
  FormatJumpPrompt(12, text, sizeof text);
  EXPECT_STREQ(text, "Enter a page number from 1 to 12");
  size_t page = 99;
  EXPECT_TRUE(ParsePageNumber("12", 12, &page));
  EXPECT_EQ(page, 11u);
  EXPECT_TRUE(ParsePageNumber(" 1 ", 12, &page));
  EXPECT_EQ(page, 0u);
  for (const char* bad : {"", "0", "13", "-1", "1.5", "x", "99999999999999999999", "1 2"}) {
    EXPECT_FALSE(ParsePageNumber(bad, 12, &page)) << bad;
  }
  EXPECT_FALSE(ParsePageNumber(nullptr, 12, &page));
}

}  // namespace
