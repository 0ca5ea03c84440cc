// The shared helpers: the bounded copy at and around its capacity, and the array
// count on the kinds of arrays the deliverables count (tables of records, fixed
// text fields of a struct, two-dimensional tables).
#include <gtest/gtest.h>

#include <string.h>

#include "common/tx_util.h"

namespace {

struct Entry {
  int code;
  const char *text;
};
const Entry kEntries[] = {{1, "one"}, {2, "two"}, {3, "three"}};
static_assert(ARRAY_SIZE(kEntries) == 3, "usable in constant expressions");

struct Record {
  char name[65];
  short table[6][128];
};

TEST(ArraySize, CountsElementsNotBytes) {
  Record r;
  EXPECT_EQ(ARRAY_SIZE(r.name), 65u);
  EXPECT_EQ(ARRAY_SIZE(r.table), 6u);
  EXPECT_EQ(ARRAY_SIZE(r.table[0]), 128u);
  EXPECT_STREQ(kEntries[ARRAY_SIZE(kEntries) - 1].text, "three");
}

TEST(CopyBounded, KeepsTheZeroWithinTheCapacity) {
  struct Case {
    const char *src;
    size_t size;
    const char *want;
    int whole;
  } cases[] = {
      {"abc", 4, "abc", 1},                        // exact fit: three characters and the zero
      {"abcd", 4, "abc", 0},                       // one too many: cut, still zero-ended
      {"", 4, "", 1},          {"abc", 1, "", 0},  // room for the zero only
      {"abcdefgh", 2, "a", 0},
  };
  for (const Case &c : cases) {
    char buf[8];
    memset(buf, 'X', sizeof(buf));
    EXPECT_EQ(copyBounded(buf, c.size, c.src), c.whole) << c.src << " into " << c.size;
    EXPECT_STREQ(buf, c.want);
    for (size_t i = c.size; i < sizeof(buf); ++i) { EXPECT_EQ(buf[i], 'X') << "written past the capacity at " << i; }
  }
}

TEST(CopyBounded, ZeroCapacityWritesNothing) {
  char buf[2] = {'X', 'Y'};
  EXPECT_EQ(copyBounded(buf, 0, "abc"), 0);
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(buf[1], 'Y');
}

}  // namespace
