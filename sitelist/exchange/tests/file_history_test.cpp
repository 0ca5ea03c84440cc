// The file history rule over a real History file: room made by the oldest entry
// of the same type, duplicates skipped, failures reported by code, the lists
// newest first, and the day and time encodings.
#include "sitelist/exchange/file_history.h"

#include "sitelist/records/tests/test_support.h"

#include <string>
#include <thread>
#include <vector>

namespace {

class FileHistoryTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    ASSERT_EQ(KS_OK, ks_create(&History_Decl, nullptr));
    ASSERT_EQ(KS_OK, ks_open(&History_Decl, nullptr, KS_SHARED, &f_));
  }
  void TearDown() override {
    if (f_) ks_close(f_);
    RecordsDirTest::TearDown();
  }
  int Add(const char* type, const char* name, int32_t day, int32_t time = 1) {
    return AddFileHistory(f_, type, name, day, time);
  }
  std::vector<std::string> List(const char* type) {
    std::vector<std::string> names;
    EXPECT_EQ(KS_OK, ListFileHistory(
                         f_, type,
                         [](const char* n, void* ctx) {
                           static_cast<std::vector<std::string>*>(ctx)->push_back(n);
                           return 1;
                         },
                         &names));
    return names;
  }
  // Puts a record in as it stands, without the room rule (set-up of a full history).
  void Put(const char* type, const char* name, int32_t day) {
    HistoryRecord r;
    ks_clear(&History_Decl, &r);
    SET_FIELD(r.Type, type);
    SET_FIELD(r.FieldContents, name);
    r.Date = day;
    r.Time = 1;
    ASSERT_EQ(KS_OK, ks_add(f_, &r));
  }
  uint32_t Count() {
    uint32_t n = 0;
    EXPECT_EQ(KS_OK, ks_count(f_, &n));
    return n;
  }
  KsFile* f_ = nullptr;
};

TEST_F(FileHistoryTest, ListsNewestFirstByDayThenTimeAndKeepsTypesApart) {
  EXPECT_EQ(kHistoryAdded, Add("Export", "b.htm", 100, 5));
  EXPECT_EQ(kHistoryAdded, Add("Export", "c.htm", 101, 1));
  EXPECT_EQ(kHistoryAdded, Add("Export", "a.htm", 100, 9));
  EXPECT_EQ(kHistoryAdded, Add("Import", "bookmark.htm", 200, 1));
  EXPECT_EQ((std::vector<std::string>{"c.htm", "a.htm", "b.htm"}), List("Export"));
  EXPECT_EQ((std::vector<std::string>{"bookmark.htm"}), List("Import"));
  // The key ignores letter case, so the type does too.
  EXPECT_EQ(List("Export"), List("EXPORT"));
}

TEST_F(FileHistoryTest, ListStopsWhenTheVisitorSaysSo) {
  for (int i = 0; i < 5; i++) Add("Export", ("f" + std::to_string(i)).c_str(), 100 + i);
  int seen = 0;
  EXPECT_EQ(KS_OK,
            ListFileHistory(
                f_, "Export", [](const char*, void* ctx) { return ++*static_cast<int*>(ctx) < 2 ? 1 : 0; }, &seen));
  EXPECT_EQ(2, seen);
}

// The room rule: with ten records of both types, the oldest of the new entry's
// own type goes, even when the other type holds older ones.
struct RoomCase {
  const char* name;
  int exports, imports;  // records already there (exports on days 50.., imports on days 10..)
  uint32_t countAfter;
  std::vector<std::string> exportsAfter;
};

class FileHistoryRoomTest : public FileHistoryTest, public ::testing::WithParamInterface<RoomCase> {};

TEST_P(FileHistoryRoomTest, MakesRoomFromItsOwnType) {
  const RoomCase& c = GetParam();
  for (int i = 0; i < c.exports; i++) Put("Export", ("e" + std::to_string(i)).c_str(), 50 + i);
  for (int i = 0; i < c.imports; i++) Put("Import", ("i" + std::to_string(i)).c_str(), 10 + i);
  EXPECT_EQ(kHistoryAdded, Add("Export", "new.htm", 900));
  EXPECT_EQ(c.countAfter, Count());
  EXPECT_EQ(c.exportsAfter, List("Export"));
  // Imports are never touched by an export's entry.
  EXPECT_EQ((size_t)c.imports, List("Import").size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileHistoryRoomTest,
    ::testing::Values(
        RoomCase{"nine_records_no_room_needed", 5, 4, 10, {"new.htm", "e4", "e3", "e2", "e1", "e0"}},
        RoomCase{"ten_records_oldest_export_goes", 6, 4, 10, {"new.htm", "e5", "e4", "e3", "e2", "e1"}},
        RoomCase{"twelve_records_only_one_goes", 8, 4, 12, {"new.htm", "e7", "e6", "e5", "e4", "e3", "e2", "e1"}},
        RoomCase{"ten_imports_nothing_of_this_type", 0, 10, 11, {"new.htm"}},
        RoomCase{"one_export_among_imports_goes", 1, 9, 10, {"new.htm"}}),
    [](const ::testing::TestParamInfo<RoomCase>& i) { return std::string(i.param.name); });

TEST_F(FileHistoryTest, RepeatedEntrySkippedSilentlyOtherTimeMakesSecond) {
  EXPECT_EQ(kHistoryAdded, Add("Export", "site.htm", 100, 42));
  int error = -1;
  EXPECT_EQ(kHistoryDuplicate, AddFileHistory(f_, "Export", "site.htm", 100, 42, &error));
  EXPECT_EQ(KS_OK, error);
  // The key ignores letter case: the same file typed otherwise is the same entry.
  EXPECT_EQ(kHistoryDuplicate, Add("Export", "SITE.HTM", 100, 42));
  EXPECT_EQ(kHistoryAdded, Add("Export", "site.htm", 100, 43));
  EXPECT_EQ(kHistoryAdded, Add("Import", "site.htm", 100, 42));
  EXPECT_EQ((std::vector<std::string>{"site.htm", "site.htm"}), List("Export"));
}

TEST_F(FileHistoryTest, DuplicateAtTheLimitStillDeletesTheOldest) {
  // The room is made before the add, as the windows always did.
  for (int i = 0; i < 10; i++) Add("Export", ("e" + std::to_string(i)).c_str(), 50 + i);
  EXPECT_EQ(kHistoryDuplicate, Add("Export", "e9", 59));
  EXPECT_EQ(9u, Count());
}

TEST_F(FileHistoryTest, FailedAddReportsTheStoresCode) {
  Add("Export", "kept.htm", 100);
  ks_close(f_);
  f_ = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&History_Decl, nullptr, KS_DENY_WRITE, &f_));
  int error = 0;
  EXPECT_EQ(kHistoryAddFailed, AddFileHistory(f_, "Export", "x.htm", 101, 1, &error));
  EXPECT_NE(KS_OK, error);
  EXPECT_NE(KS_ERR_DUPLICATE, error);
  char text[200];
  FileHistoryMessage(error, text, sizeof text);
  EXPECT_EQ(std::string("Error adding to file history: ") + ks_error_text(error), text);
  EXPECT_EQ((std::vector<std::string>{"kept.htm"}), List("Export"));
}

TEST_F(FileHistoryTest, UnusableArgumentsDoNothing) {
  EXPECT_EQ(kHistoryBadArgument, AddFileHistory(nullptr, "Export", "a", 1, 1));
  EXPECT_EQ(kHistoryBadArgument, Add("Export", "", 1));
  EXPECT_EQ(kHistoryBadArgument, Add("", "a", 1));
  EXPECT_EQ(kHistoryBadArgument, Add("   ", "a", 1));
  EXPECT_EQ(kHistoryBadArgument, Add("ElevenChars", "a", 1));
  EXPECT_EQ(kHistoryBadArgument, AddFileHistory(f_, "Export", nullptr, 1, 1));
  EXPECT_EQ(0u, Count());
  EXPECT_NE(KS_OK, ListFileHistory(
                       f_, "", [](const char*, void*) { return 1; }, nullptr));
}

TEST_F(FileHistoryTest, LongNameCutToTheField) {
  std::string name = "C:\\" + std::string(300, 'x');
  EXPECT_EQ(kHistoryAdded, Add("Export", name.c_str(), 7));
  EXPECT_EQ((std::vector<std::string>{name.substr(0, 255)}), List("Export"));
}

TEST_F(FileHistoryTest, TwoWindowsAddingAtOnceKeepTheirOwnEntries) {
  // An export and an import window enter names at the same time on their own
  // threads: every entry is whole and each type keeps its own newest names.
  auto worker = [this](const char* type, const char* prefix) {
    for (int i = 0; i < 40; i++)
      EXPECT_NE(kHistoryAddFailed, AddFileHistory(f_, type, (prefix + std::to_string(i)).c_str(), 1000 + i, 1));
  };
  std::thread a(worker, "Export", "exp"), b(worker, "Import", "imp");
  a.join();
  b.join();
  std::vector<std::string> e = List("Export"), i = List("Import");
  ASSERT_FALSE(e.empty());
  ASSERT_FALSE(i.empty());
  EXPECT_EQ("exp39", e.front());
  EXPECT_EQ("imp39", i.front());
  for (const std::string& n : e) EXPECT_EQ(0u, n.rfind("exp", 0)) << n;
  for (const std::string& n : i) EXPECT_EQ(0u, n.rfind("imp", 0)) << n;
  EXPECT_LE(Count(), 12u);
}

TEST(HistoryEncodingTest, DaysCountFromTheEndOf1800) {
  EXPECT_EQ(4, HistoryDay(1801, 1, 1));
  EXPECT_EQ(HistoryDay(2000, 3, 1) - 1, HistoryDay(2000, 2, 29));
  EXPECT_EQ(HistoryDay(1900, 3, 1) - 1, HistoryDay(1900, 2, 28));  // 1900 is no leap year
  struct Bad {
    int y, m, d;
  } bad[] = {{1800, 12, 31}, {2026, 0, 1}, {2026, 13, 1}, {2026, 2, 29}, {2026, 4, 31}, {2026, 1, 0}};
  for (const Bad& b : bad) EXPECT_EQ(0, HistoryDay(b.y, b.m, b.d)) << b.y << "-" << b.m << "-" << b.d;
  // Every day from 1801 to 2100 converts back to its date, in order.
  int32_t last = 3;
  for (int y = 1801; y <= 2100; y++)
    for (int m = 1; m <= 12; m++)
      for (int d = 1; d <= 31; d++) {
        int32_t n = HistoryDay(y, m, d);
        if (n == 0) continue;
        ASSERT_EQ(last + 1, n) << y << "-" << m << "-" << d;
        last = n;
        int yy, mm, dd;
        ASSERT_TRUE(HistoryDate(n, &yy, &mm, &dd));
        ASSERT_EQ(y, yy);
        ASSERT_EQ(m, mm);
        ASSERT_EQ(d, dd);
      }
  EXPECT_FALSE(HistoryDate(3, nullptr, nullptr, nullptr));
}

TEST(HistoryEncodingTest, TimesAreHundredthsPlusOne) {
  EXPECT_EQ(1, HistoryTime(0, 0, 0, 0));
  EXPECT_EQ(8640000, HistoryTime(23, 59, 59, 99));
  EXPECT_LT(HistoryTime(9, 59, 59, 99), HistoryTime(10, 0, 0, 0));
  int32_t d, t;
  HistoryNow(&d, &t);
  EXPECT_GT(d, HistoryDay(2020, 1, 1));
  EXPECT_GE(t, 1);
  EXPECT_LE(t, 8640000);
}

}  // namespace
