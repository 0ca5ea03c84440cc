// Line files: lines written one per record without trailing spaces, read back
// cut to the field with either line end, and the calls only keyed files answer
// refused.
#include "sitelist/records/keyed_store.h"
#include "sitelist/records/record_files.h"
#include "sitelist/records/tests/test_support.h"

#include <stdio.h>

#include <fstream>
#include <sstream>

namespace {

typedef std::vector<std::string> Order;

class LineFileTest : public RecordsDirTest {};

TEST_F(LineFileTest, LinesAreWrittenAndReadOnePerRecord) {
  snprintf(g_ExportName, sizeof g_ExportName, "%s", "out.txt");
  ASSERT_EQ(KS_OK, ks_create(&ExportLines_Decl, g_ExportName));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&ExportLines_Decl, g_ExportName, KS_SHARED, &f));
  LineRecord512 line;
  const std::string long_line(600, 'L');
  for (const std::string& text : {std::string("<HTML>"), std::string(""), long_line, std::string("  indented  ")}) {
    ks_clear(&ExportLines_Decl, &line);
    SET_FIELD(line.Line, text.c_str());
    ASSERT_EQ(KS_OK, ks_add(f, &line));
  }
  ks_close(f);
  std::ifstream in("out.txt", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ("<HTML>\r\n\r\n" + std::string(512, 'L') + "\r\n  indented\r\n", all.str());
}

TEST_F(LineFileTest, InputLinesAreCutToTheFieldAndAcceptEitherLineEnd) {
  {
    std::ofstream out("in.txt", std::ios::binary);
    out << "first\r\nsecond\n" << std::string(700, 'x') << "\r\nlast without end";
  }
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&ImportLines_Decl, "in.txt", KS_SHARED, &f));
  auto lines = ReadAll<LineRecord512>(f, -1, nullptr, [](const LineRecord512& l) { return Field(l.Line); });
  EXPECT_EQ((Order{"first", "second", std::string(512, 'x'), "last without end"}), lines);
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_get(f, 0, &g_ASC));
  ks_close(f);
  KsFile* q = nullptr;
  EXPECT_EQ(KS_ERR_NO_FILE, ks_open(&QuickLines_Decl, "missing.htm", KS_SHARED, &q));
}

// Only the calls both kinds answer work on a line file; the keyed calls are
// refused without touching the file, and setting a cursor reads from the start.
TEST_F(LineFileTest, KeyedCallsAreRefusedAndSetStartsAgain) {
  {
    std::ofstream out("in.txt", std::ios::binary);
    out << "one\r\ntwo\r\n";
  }
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&ImportLines_Decl, "in.txt", KS_SHARED, &f));
  LineRecord512 line;
  ks_clear(&ImportLines_Decl, &line);
  uint32_t count = 0;
  uint64_t bytes = 0;
  KsPosition pos = {};
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_put(f, &line));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_delete(f, &line));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_count(f, &count));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_record_bytes(f, &bytes));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_get_position(f, -1, &line, &pos));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_reget(f, &pos, &line));
  KsTxn* t = nullptr;
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_begin(&f, 1, 2000, &t));
  EXPECT_EQ(nullptr, t);
  KsCursor* c = nullptr;
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_cursor_open(f, 0, nullptr, &c));
  ASSERT_EQ(KS_OK, ks_cursor_open(f, -1, nullptr, &c));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_set_end(c));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_set_position(c, &pos));
  EXPECT_EQ(KS_ERR_BAD_ARGUMENT, ks_previous(c, &line));
  for (int pass = 0; pass < 2; pass++) {
    ASSERT_EQ(KS_OK, ks_set(c, nullptr));
    ASSERT_EQ(KS_OK, ks_next(c, &line));
    EXPECT_EQ("one", Field(line.Line));
    ASSERT_EQ(KS_OK, ks_next(c, &line));
    EXPECT_EQ("two", Field(line.Line));
    EXPECT_EQ(KS_ERR_NO_RECORD, ks_next(c, &line));
    EXPECT_EQ(10u, ks_cursor_bytes(c));
  }
  ks_cursor_close(c);
  ks_close(f);
  EXPECT_EQ(KS_ERR_INVALID, ks_rebuild(&ImportLines_Decl, "in.txt"));
  EXPECT_EQ(KS_OK, ks_recover(&ImportLines_Decl, "in.txt", 0));
  EXPECT_EQ(KS_OK, ks_remove(&ImportLines_Decl, "in.txt"));
  EXPECT_EQ(KS_ERR_NO_FILE, ks_remove(&ImportLines_Decl, "in.txt"));
}

}  // namespace
