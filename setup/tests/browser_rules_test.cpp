// The browser records' walks and the default-browser rules over lists built here as
// the browser library builds them.
#include "setup/browser_rules.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

struct List {
  std::vector<BrowserRecord> records;
  explicit List(size_t n) : records(n) {
    memset(records.data(), 0, sizeof(BrowserRecord) * n);
    for (size_t i = 0; i + 1 < n; ++i) records[i].next = &records[i + 1];
    for (size_t i = 0; i < n; ++i) {
      records[i].found = 1;
      snprintf(records[i].programPath, sizeof records[i].programPath, "C:\\B%zu\\browser%zu.exe", i, i);
    }
  }
  BrowserRecord *head() { return records.data(); }
  BrowserRecord &operator[](size_t i) { return records[i]; }
};

// The associated executable of each program: a table, as the shell's associations are.
struct Associations {
  const char *program;
  const char *executable;
  long result;
};

long findInTable(void *context, const char *file, char *out, size_t room) {
  for (const Associations *a = (const Associations *)context; a->program; ++a)
    if (strcmp(a->program, file) == 0) {
      snprintf(out, room, "%s", a->executable);
      return a->result;
    }
  snprintf(out, room, "%s", "C:\\stale.exe");  // what a failed call may leave behind
  return 2;                                    // file not found
}

TEST(BrowserWalk, ComponentsPagesVisitSelectedCustomisableRecordsBothWays) {
  List l(5);
  // 0 selected, not customisable; 1 and 3 selected and customisable; 2 customisable
  // but not selected; 4 selected and customisable.
  l[0].configure = 1;
  l[1].configure = l[1].customisable = 1;
  l[2].customisable = 1;
  l[3].configure = l[3].customisable = 1;
  l[4].configure = l[4].customisable = 1;
  std::vector<const BrowserRecord *> forward, backward;
  for (const BrowserRecord *r = nextComponentsRecord(l.head(), nullptr); r; r = nextComponentsRecord(l.head(), r))
    forward.push_back(r);
  for (const BrowserRecord *r = previousComponentsRecord(l.head(), nullptr); r;
       r = previousComponentsRecord(l.head(), r))
    backward.push_back(r);
  EXPECT_EQ((std::vector<const BrowserRecord *>{&l[1], &l[3], &l[4]}), forward);
  EXPECT_EQ((std::vector<const BrowserRecord *>{&l[4], &l[3], &l[1]}), backward);
  // Turning back in the middle: Back from the second page shows the first again.
  EXPECT_EQ(&l[1], previousComponentsRecord(l.head(), &l[3]));
  EXPECT_EQ(nullptr, previousComponentsRecord(l.head(), &l[1]));
}

TEST(BrowserWalk, EmptyAndDamagedListsEndTheWalk) {
  EXPECT_EQ(nullptr, nextComponentsRecord(nullptr, nullptr));
  EXPECT_EQ(nullptr, previousComponentsRecord(nullptr, nullptr));
  EXPECT_FALSE(anyBrowserSelected(nullptr));
  List l(2);
  l[1].next = l.head();  // a circle, none selected: the walks still end
  EXPECT_EQ(nullptr, nextComponentsRecord(l.head(), nullptr));
  EXPECT_FALSE(anyBrowserSelected(l.head()));
  EXPECT_FALSE(anyDefaultCandidate(l.head()));
}

TEST(BrowserDefault, CandidatesAreFoundSelectedAndNotKind14) {
  List l(3);
  l[0].configure = 1;
  l[0].kind = kBrowserNeverDefault;
  l[1].configure = 1;
  l[1].found = 0;
  EXPECT_TRUE(anyBrowserSelected(l.head()));
  EXPECT_FALSE(anyDefaultCandidate(l.head()));
  EXPECT_EQ(nullptr, chooseDefaultBrowser(l.head(), "", nullptr));
  l[2].configure = 1;
  EXPECT_TRUE(anyDefaultCandidate(l.head()));
  EXPECT_EQ(&l[2], chooseDefaultBrowser(l.head(), "C:\\other.exe", nullptr));
}

TEST(BrowserDefault, TheHandlerPicksItsBrowserByPathOrAssociatedExecutable) {
  List l(3);
  for (auto &r : l.records) r.configure = 1;
  // Record 2's program is a document whose associated executable is the handler.
  snprintf(l[2].programPath, sizeof l[2].programPath, "C:\\B2\\start.htm");
  Associations table[] = {{"C:\\B2\\start.htm", "C:\\B2\\REAL.EXE", 42}, {nullptr, nullptr, 0}};
  ExecutableFinder finder = {table, findInTable};
  EXPECT_EQ(&l[1], chooseDefaultBrowser(l.head(), "c:\\b1\\BROWSER1.EXE", &finder));
  EXPECT_EQ(&l[2], chooseDefaultBrowser(l.head(), "c:\\b2\\real.exe", &finder));
  EXPECT_EQ(&l[0], chooseDefaultBrowser(l.head(), "C:\\elsewhere\\x.exe", &finder));
  EXPECT_EQ(&l[0], chooseDefaultBrowser(l.head(), "", &finder));
  // A result of 32 or less is a failure whatever the call left in the buffer.
  table[0].result = 32;
  EXPECT_EQ(&l[0], chooseDefaultBrowser(l.head(), "c:\\b2\\real.exe", &finder));
  EXPECT_EQ(&l[0], chooseDefaultBrowser(l.head(), "C:\\stale.exe", &finder));

  char command[kBrowserProgramSize];
  defaultBrowserCommand(&l[2], &finder, command, sizeof command);
  EXPECT_STREQ("C:\\B2\\start.htm", command);  // failed call: the program path itself
  table[0].result = 33;
  defaultBrowserCommand(&l[2], &finder, command, sizeof command);
  EXPECT_STREQ("C:\\B2\\REAL.EXE", command);
  defaultBrowserCommand(&l[1], nullptr, command, sizeof command);
  EXPECT_STREQ("C:\\B1\\browser1.exe", command);
}

TEST(BrowserDefault, HandlerCommandsAreCutAfterTheProgram) {
  struct {
    const char *command, *program;
  } cases[] = {
      {"C:\\Program Files\\Net\\netscape.exe -h \"%1\"", "C:\\Program Files\\Net\\netscape.exe"},
      {"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"", "C:\\windows\\system32\\winebrowser.exe"},
      {"C:\\IE\\IEXPLORE.EXE %1", "C:\\IE\\IEXPLORE.EXE"},
      {"C:\\a.exe.dir\\b.exe", "C:\\a.exe"},  // the first ".exe" ends it
      {"browser %1", "browser %1"},
      {"", ""},
  };
  for (const auto &c : cases) {
    char out[kBrowserProgramSize];
    handlerProgram(c.command, out, sizeof out);
    EXPECT_STREQ(c.program, out) << c.command;
  }
  char small[8];
  EXPECT_EQ(7u, handlerProgram("C:\\long\\path.exe", small, sizeof small));
  EXPECT_STREQ("C:\\long", small);
}

TEST(BrowserDefault, TheHandlerIsRegisteredOnlyWhenItDiffersFromBoth) {
  EXPECT_FALSE(htmlHandlerDiffers("c:\\b\\b.exe", "C:\\B\\B.EXE", "C:\\B\\start.htm"));
  EXPECT_FALSE(htmlHandlerDiffers("C:\\B\\start.htm", "C:\\B\\B.EXE", "c:\\b\\START.HTM"));
  EXPECT_TRUE(htmlHandlerDiffers("C:\\other.exe", "C:\\B\\B.EXE", "C:\\B\\B.EXE"));
  EXPECT_TRUE(htmlHandlerDiffers("", "C:\\B\\B.EXE", "C:\\B\\B.EXE"));
  EXPECT_TRUE(htmlHandlerDiffers(nullptr, "C:\\B\\B.EXE", "C:\\B\\B.EXE"));
}

TEST(BrowserBookmark, FormAWinsAndPathsMustEndWithTheExpectedName) {
  List l(1);
  BrowserRecord &r = l[0];
  EXPECT_EQ(0, bookmarkForm(&r));
  EXPECT_EQ(nullptr, bookmarkExpectedName(&r));
  EXPECT_EQ(nullptr, bookmarkPath(&r));
  snprintf(r.bookmarkNameA, sizeof r.bookmarkNameA, "bookmark.htm");
  snprintf(r.bookmarkNameB, sizeof r.bookmarkNameB, "prefs.ini");
  r.hasBookmarkB = 1;
  EXPECT_EQ('B', bookmarkForm(&r));
  EXPECT_EQ(r.bookmarkPathB, bookmarkPath(&r));
  r.hasBookmarkA = 1;
  EXPECT_EQ('A', bookmarkForm(&r));
  EXPECT_STREQ("bookmark.htm", bookmarkExpectedName(&r));
  EXPECT_EQ(r.bookmarkPathA, bookmarkPath(&r));

  EXPECT_TRUE(bookmarkPathMatches("C:\\Net\\BOOKMARK.HTM", "bookmark.htm"));
  EXPECT_TRUE(bookmarkPathMatches("bookmark.htm", "bookmark.htm"));
  EXPECT_FALSE(bookmarkPathMatches("C:\\Net\\bookmark.html", "bookmark.htm"));
  EXPECT_FALSE(bookmarkPathMatches("mark.htm", "bookmark.htm"));
  EXPECT_FALSE(bookmarkPathMatches("C:\\x", ""));
}

TEST(BrowserBookmark, FilterListsThreeFormsAndPreselectsTheInitialName) {
  char ext[16], filter[512];
  int selected = -1;
  fileExtension("bookmark.htm", ext, sizeof ext);
  EXPECT_STREQ(".htm", ext);
  ASSERT_TRUE(bookmarkFilter("Initial files", "Bookmark files", "All files", ext, filter, sizeof filter, &selected));
  EXPECT_STREQ("Initial files (*.INI)|*.INI|Bookmark files (*.htm)|*.htm|All files (*.*)|*.*|", filter);
  EXPECT_EQ(2, selected);
  fileExtension("netscape.ini", ext, sizeof ext);
  ASSERT_TRUE(bookmarkFilter("I", "B", "A", ext, filter, sizeof filter, &selected));
  EXPECT_EQ(1, selected);
  fileExtension("Favorites", ext, sizeof ext);
  EXPECT_STREQ("", ext);
  ASSERT_TRUE(bookmarkFilter("I", "B", "A", ext, filter, sizeof filter, &selected));
  EXPECT_STREQ("I (*.INI)|*.INI|B (*)|*|A (*.*)|*.*|", filter);
  EXPECT_EQ(2, selected);  // the initial name "*" is the bookmark filter's pattern
  char small[20];
  EXPECT_FALSE(bookmarkFilter("Initial files", "Bookmark files", "All files", ".htm", small, sizeof small, &selected));
  EXPECT_STREQ("", small);
}

}  // namespace
