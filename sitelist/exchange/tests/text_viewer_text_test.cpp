// Tests of the text viewers' lines (line ends, long lines, tabs, pieces read
// apart) and of the search: whole word, letter case, both directions,
// wrapping at the ends.
#include "sitelist/exchange/text_viewer_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& data, size_t piece = 0) {
  TextLines t;
  if (piece == 0) piece = data.size() + 1;
  for (size_t at = 0; at < data.size(); at += piece)
    TextLinesFeed(&t, data.data() + at, std::min(piece, data.size() - at));
  TextLinesFinish(&t);
  return t.lines;
}

TEST(ViewerLines, LineEndsTabsControlCharactersAndLongLines) {
  typedef std::vector<std::string> V;
  EXPECT_EQ(Lines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lines("a\r\n\r\nb\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("\n"), V{""});
  EXPECT_EQ(Lines("\tx\ty"), V{"        x       y"});
  EXPECT_EQ(Lines(std::string("a\0b\x1b", 4)), V{"a b "});
  std::string longLine(300, 'x');
  EXPECT_EQ(Lines(longLine + "\r\nend"), (V{std::string(255, 'x'), std::string(45, 'x'), "end"}));
  EXPECT_EQ(Lines(std::string(255, 'y') + "\r\n"), V{std::string(255, 'y')});
  // Pieces of any size give the same lines (a CR LF split between pieces included).
  std::string text = "one\r\ntwo\r\n\tthree\rfour\n\n" + longLine + "\r\nlast";
  V whole = Lines(text);
  for (size_t piece : {1, 2, 3, 7, 64}) EXPECT_EQ(Lines(text, piece), whole) << piece;
}

TEST(ViewerLines, FileReadInStepsWithPercent) {
  std::filesystem::path p = std::filesystem::temp_directory_path() / "tx_viewer_read.txt";
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "line " + std::to_string(i) + "\r\n";
  FILE* f = fopen(p.string().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  TextFileRead r;
  ASSERT_TRUE(TextReadBegin(&r, p.string().c_str()));
  std::vector<int> percents;
  int status;
  while ((status = TextReadStep(&r, 2000)) == kTextReadMore) percents.push_back(TextReadPercent(r));
  TextReadEnd(&r);
  EXPECT_EQ(status, kTextReadDone);
  EXPECT_EQ(TextReadPercent(r), 100);
  ASSERT_EQ(r.text.lines.size(), 1000u);
  EXPECT_EQ(r.text.lines[999], "line 999");
  ASSERT_GE(percents.size(), 3u);
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_GT(percents[i], percents[i - 1]);
  std::filesystem::remove(p);
  TextFileRead missing;
  EXPECT_FALSE(TextReadBegin(&missing, (p.string() + ".none").c_str()));
}

const std::vector<std::string> kText = {
    "Tabulink keeps your sites.",          // 0
    "Print a report of your sites",        // 1
    "The REPORTS menu lists six reports",  // 2
    "reporting is fun",                    // 3
    "nothing here",                        // 4
    "a report_card is one word",           // 5
    "Caf\xc9 and caf\xe9",                 // 6
};

FindOptions Opt(const char* what, bool whole, bool matchCase, bool down) {
  return FindOptions{what, whole, matchCase, down};
}

TEST(ViewerFind, WholeWordAndCase) {
  EXPECT_TRUE(LineMatches(kText[3], Opt("report", false, false, true)));
  EXPECT_FALSE(LineMatches(kText[3], Opt("report", true, false, true)));
  EXPECT_TRUE(LineMatches(kText[1], Opt("report", true, false, true)));
  EXPECT_FALSE(LineMatches(kText[5], Opt("report", true, false, true)));  // '_' belongs to the word
  EXPECT_TRUE(LineMatches(kText[2], Opt("reports", true, false, true)));  // a later occurrence is whole
  EXPECT_TRUE(LineMatches(kText[2], Opt("REPORTS", true, true, true)));
  EXPECT_FALSE(LineMatches(kText[3], Opt("Reporting", false, true, true)));
  EXPECT_TRUE(LineMatches(kText[3], Opt("Reporting", false, false, true)));
  EXPECT_TRUE(LineMatches(kText[6], Opt("CAF\xc9", true, false, true)));  // ANSI letters fold too
  EXPECT_FALSE(LineMatches(kText[6], Opt("caf", true, false, true)));     // \xc9 is a letter
  EXPECT_TRUE(LineMatches(kText[0], Opt("sites.", true, false, true)));
  EXPECT_FALSE(LineMatches(kText[4], Opt("", false, false, true)));
  EXPECT_FALSE(LineMatches("ab", Opt("abc", false, false, true)));
}

TEST(ViewerFind, BothDirectionsWrapAndEndWithTheStartingLine) {
  bool wrapped = true;
  FindOptions down = Opt("report", true, false, true);
  EXPECT_EQ(FindLine(kText, -1, down, &wrapped), 1);
  EXPECT_FALSE(wrapped);
  EXPECT_EQ(FindLine(kText, 1, down, &wrapped), 1);  // the only whole-word match: found again after wrapping
  EXPECT_TRUE(wrapped);
  FindOptions any = Opt("report", false, false, true);
  EXPECT_EQ(FindLine(kText, 1, any, &wrapped), 2);
  EXPECT_FALSE(wrapped);
  EXPECT_EQ(FindLine(kText, 3, any, &wrapped), 5);
  EXPECT_EQ(FindLine(kText, 5, any, &wrapped), 1);
  EXPECT_TRUE(wrapped);
  FindOptions up = Opt("report", false, false, false);
  EXPECT_EQ(FindLine(kText, -1, up, &wrapped), 5);
  EXPECT_FALSE(wrapped);
  EXPECT_EQ(FindLine(kText, 5, up, &wrapped), 3);
  EXPECT_EQ(FindLine(kText, 1, up, &wrapped), 5);
  EXPECT_TRUE(wrapped);
  EXPECT_EQ(FindLine(kText, 2, Opt("zebra", false, false, true), &wrapped), -1);
  EXPECT_EQ(FindLine(kText, 2, Opt("", false, false, true), nullptr), -1);
  EXPECT_EQ(FindLine({}, -1, down, nullptr), -1);
  EXPECT_EQ(FindLine(kText, 99, down, nullptr), 1);  // a start past the end counts as none
}

}  // namespace
