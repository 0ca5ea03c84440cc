// Native tests of the program group's portable core: the plan read from the script,
// item titles, Program Manager's command texts with their quoting, and the reading of
// its answers in the forms Program Manager writes them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "setup/progman_commands.h"
#include "setup/tests/table_profile.h"

static std::string title(const char *raw, const char *product = "Tessa Player") {
  char out[kItemTitleMax + 1];
  progmanItemTitle(raw, product, out, sizeof out);
  return out;
}

TEST(ProgmanTitles, TokenReplacedThenCutTo40) {
  EXPECT_EQ("Tessa Player Help", title("_PRODUCT_NAME_ Help"));
  EXPECT_EQ(std::string(40, 'x'), title(std::string(55, 'x').c_str()));
  // The product name pushes the title past 40: the result is still 40.
  std::string t = title("About the _PRODUCT_NAME_ and _PRODUCT_NAME_ again");
  EXPECT_EQ(40u, t.size());
  EXPECT_EQ("About the Tessa Player and Tessa Player ", t);
  EXPECT_EQ("", title("_PRODUCT_NAME_", ""));
  char small[6];
  progmanItemTitle("_PRODUCT_NAME_", "Tessavox", small, sizeof small);
  EXPECT_STREQ("Tessa", small);
}

TEST(ProgmanTitles, UninstallerItem) {
  TableProfile t;
  char out[kItemTitleMax + 1];
  uninstallerItemTitle(&t.script, "Tessa Player", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("Tessa Player 32-bit Uninstaller", out);
  // "<name> " plus "Uninstaller" beyond 32 characters: no "32-bit ".
  uninstallerItemTitle(&t.script, "Tessavox Streaming Player X", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("Tessavox Streaming Player X Uninstaller", out);
  uninstallerItemTitle(&t.script, "Tessavox Player Plus", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("Tessavox Player Plus 32-bit Uninstaller", out);  // 21 + 11 = 32: still fits
  uninstallerItemTitle(&t.script, "Tessavox Player Plus!", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("Tessavox Player Plus! Uninstaller", out);
  uninstallerItemTitle(&t.script, "The Tessavox Streaming Audio Player", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("The Tessavox Streaming Audio Player Unin", out);  // cut to 40
  t.set("Uninstaller", "ItemName", "Remove _PRODUCT_NAME_");
  uninstallerItemTitle(&t.script, "Tessa Player", "Uninstaller", out, sizeof out);
  EXPECT_STREQ("Remove Tessa Player", out);
}

class PlanFixture : public ::testing::Test {
protected:
  TableProfile t;
  RefContext c;
  ProgmanPlan plan;
  void SetUp() override {
    t.set("Main", "GroupPath", "ROOT");
    t.set("Main", "F1", "TXPLAYER.EXE");
    t.set("Main", "F2", "readme.txt");
    c = {&t.script, "C:\\Program Files\\Tessavox\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  }
};

TEST_F(PlanFixture, NoGroupNameMeansNothingToMake) {
  t.set("Progman Group", "Item1", "Player,Main::F1");
  EXPECT_FALSE(readProgmanPlan(&c, "Tessa", &plan));
  t.set("Progman Group", "Name", "");
  EXPECT_FALSE(readProgmanPlan(&c, "Tessa", &plan));
}

TEST_F(PlanFixture, ItemsSplitAtTheFirstCommaAndExpand) {
  t.set("Progman Group", "Name", "Tessavox");
  t.set("Progman Group", "Item1", "_PRODUCT_NAME_,Main::F1 /play");
  t.set("Progman Group", "Item2", "No comma here");
  t.set("Progman Group", "Item3", "Read me, now,C:\\WINDOWS\\NOTEPAD.EXE readme.txt");
  t.set("Progman Group", "Item4", "Broken,Main::F9");
  t.set("Progman Group", "Item5", "Notes,C:\\WINDOWS\\NOTEPAD.EXE");
  t.set("Progman Group", "Item7", "Past the gap,Main::F1");  // Item6 is missing: the list ends
  ASSERT_TRUE(readProgmanPlan(&c, "Tessa Player", &plan));
  EXPECT_STREQ("Tessavox", plan.group);
  ASSERT_EQ(3, plan.count);
  EXPECT_EQ(2, plan.skipped);
  EXPECT_STREQ("Tessa Player", plan.items[0].title);
  EXPECT_STREQ("C:\\Program Files\\Tessavox\\TXPLAYER.EXE", plan.items[0].program);
  EXPECT_STREQ("/play", plan.items[0].arguments);
  EXPECT_STREQ("Read me", plan.items[1].title);  // split at the first comma
  EXPECT_STREQ(" now,C:\\WINDOWS\\NOTEPAD.EXE", plan.items[1].program);
  EXPECT_STREQ("readme.txt", plan.items[1].arguments);
  EXPECT_STREQ("Notes", plan.items[2].title);
  EXPECT_STREQ("C:\\WINDOWS\\NOTEPAD.EXE", plan.items[2].program);
  EXPECT_STREQ("", plan.items[2].arguments);
}

static std::string text(int (*make)(const char *, char *, size_t), const char *argument) {
  char out[kDdeCommandSize];
  return make(argument, out, sizeof out) ? out : "<too long>";
}

static std::string addItem(const char *program, const char *arguments, const char *t) {
  char out[kDdeCommandSize];
  return progmanAddItem(program, arguments, t, out, sizeof out) ? out : "<too long>";
}

TEST(ProgmanCommands, GroupCommands) {
  EXPECT_EQ("[CreateGroup(Tessavox)]", text(progmanCreateGroup, "Tessavox"));
  EXPECT_EQ("[ShowGroup(Tessavox Player,1)]", text(progmanShowGroup, "Tessavox Player"));
  EXPECT_EQ("[ReplaceItem(Tessa Player)]", text(progmanReplaceItem, "Tessa Player"));
  // Names the parser would split are quoted; a quotation mark cannot be carried.
  EXPECT_EQ("[CreateGroup(\"Tessavox, Inc.\")]", text(progmanCreateGroup, "Tessavox, Inc."));
  EXPECT_EQ("[ShowGroup(\"Audio (32-bit)\",1)]", text(progmanShowGroup, "Audio (32-bit)"));
  EXPECT_EQ("[CreateGroup(\"[Audio]\")]", text(progmanCreateGroup, "[Audio]"));
  EXPECT_EQ("[CreateGroup(\" Audio\")]", text(progmanCreateGroup, " Audio"));
  EXPECT_EQ("[CreateGroup(The Tessa Player)]", text(progmanCreateGroup, "The \"Tessa\" Player"));
}

TEST(ProgmanCommands, AddItemQuotesAProgramWithABlank) {
  EXPECT_EQ("[AddItem(C:\\TESSA\\TXPLAYER.EXE ,Tessa Player)]", addItem("C:\\TESSA\\TXPLAYER.EXE", "", "Tessa Player"));
  EXPECT_EQ(
      "[AddItem(\"C:\\Program Files\\Tessavox\\txuninst.exe\" Software\\Orvane Labs\\Tessavox\\3.0,"
      "Tessavox 32-bit Uninstaller)]",
      addItem("C:\\Program Files\\Tessavox\\txuninst.exe", "Software\\Orvane Labs\\Tessavox\\3.0",
              "Tessavox 32-bit Uninstaller"));
  EXPECT_EQ("[AddItem(C:\\T\\P.EXE /play,\"Play (loud)\")]", addItem("C:\\T\\P.EXE", "/play", "Play (loud)"));
}

TEST(ProgmanCommands, TooLongForTheBufferIsNotSent) {
  std::string longPath = "C:\\" + std::string(300, 'p') + "\\x.exe";
  std::string longArgs(300, 'a');
  char out[kDdeCommandSize];
  EXPECT_FALSE(progmanAddItem(longPath.c_str(), longArgs.c_str(), "T", out, sizeof out));
  EXPECT_STREQ("", out);
  char small[12];
  EXPECT_FALSE(progmanCreateGroup("Tessavox", small, sizeof small));
  EXPECT_STREQ("", small);
  char exact[21];  // "[CreateGroup(Tessa)]" and its terminator
  EXPECT_TRUE(progmanCreateGroup("Tessa", exact, sizeof exact));
  EXPECT_FALSE(progmanCreateGroup("Tessa!", exact, sizeof exact));
}

TEST(ProgmanFileNames, CharactersNoFileNameHolds) {
  char out[64];
  progmanFileName("Audio/Video: \"Live\" <now>?|*\\", out, sizeof out);
  EXPECT_STREQ("Audio_Video_ _Live_ _now_____", out);
  progmanFileName("Tessa Player (32-bit), v3.0", out, sizeof out);
  EXPECT_STREQ("Tessa Player (32-bit), v3.0", out);
}

// Program Manager's answers: "GROUPS" one group a line; a group's request its name
// line, then one line per item: "title","command line",directory,icon path,x,y,...
static const char kGroups[] = "Main\r\nAccessories\r\nMy Tessavox\r\nTessavox Player\r\n";
static const char kGroup[] =
    "\"Tessavox\",\"C:\\WINDOWS\\TESSAVOX.GRP\",3,0\r\n"
    "\"Tessa Player\",\"C:\\Program Files\\Tessavox\\TXPLAYER.EXE /play\",C:\\Program Files\\Tessavox,"
    "C:\\Program Files\\Tessavox\\TXPLAYER.EXE,16,16,0,0,0\r\n"
    "\"Read me\",\"notepad.exe C:\\TESSA\\README.TXT\",,notepad.exe,80,16,0,0,0\r\n"
    "\"Network\",\"NETSETUP.EXE\",D:\\NET,,144,16,0,0,0\r\n";

TEST(ProgmanAnswers, GroupListedByWholeLine) {
  EXPECT_TRUE(progmanGroupListed(kGroups, "Main"));
  EXPECT_TRUE(progmanGroupListed(kGroups, "tessavox player"));
  EXPECT_TRUE(progmanGroupListed(kGroups, "My Tessavox"));
  EXPECT_FALSE(progmanGroupListed(kGroups, "Tessavox"));  // only inside "My Tessavox"
  EXPECT_FALSE(progmanGroupListed(kGroups, "Tessavox Play"));
  EXPECT_FALSE(progmanGroupListed("Main", "Main"));  // a name without its line end
  EXPECT_TRUE(progmanGroupListed("", "Anything"));   // no list: taken as there
}

TEST(ProgmanAnswers, ItemListedAfterALineEnd) {
  EXPECT_TRUE(progmanItemListed(kGroup, "Tessavox", "Tessa Player"));
  EXPECT_TRUE(progmanItemListed(kGroup, "Tessavox", "READ ME"));
  EXPECT_FALSE(progmanItemListed(kGroup, "Tessavox", "Tessavox"));  // the group's own line
  EXPECT_FALSE(progmanItemListed(kGroup, "Tessavox", "Tessa"));
  EXPECT_FALSE(progmanItemListed("", "Tessavox", "Tessa Player"));
  EXPECT_FALSE(progmanItemListed(kGroup, std::string(256, 'g').c_str(), "Tessa Player"));
}

TEST(ProgmanAnswers, FindProgramBackToTheStartOfItsPath) {
  char out[kPathSize];
  // A path with blanks: from its drive letter, as written.
  ASSERT_TRUE(progmanFindProgram(kGroup, "txplayer.exe", out, sizeof out));
  EXPECT_STREQ("C:\\Program Files\\Tessavox\\TXPLAYER.EXE", out);
  // After the program of a command line: from the blank before it.
  ASSERT_TRUE(progmanFindProgram(kGroup, "README.TXT", out, sizeof out));
  EXPECT_STREQ("C:\\TESSA\\README.TXT", out);
  // Not there, or not behind a backslash.
  EXPECT_FALSE(progmanFindProgram(kGroup, "NETSETUP.EXE", out, sizeof out));
  EXPECT_STREQ("", out);
  EXPECT_FALSE(progmanFindProgram(kGroup, "absent.exe", out, sizeof out));
  EXPECT_FALSE(progmanFindProgram("", "txplayer.exe", out, sizeof out));
  EXPECT_FALSE(progmanFindProgram(kGroup, "", out, sizeof out));
  // Without a drive: from the start of the field.
  ASSERT_TRUE(progmanFindProgram("\"x\",\"\\\\server\\share\\tool.exe\"\r\n", "tool.exe", out, sizeof out));
  EXPECT_STREQ("\\\\server\\share\\tool.exe", out);
  char small[10];
  EXPECT_FALSE(progmanFindProgram(kGroup, "txplayer.exe", small, sizeof small));
  EXPECT_STREQ("", small);
}
