// Native tests of TXSETUP's portable cores: script keys, file references and command
// expansion, check sums, the directory rule, the verified copy with its journal, and
// the uninstall log's numbering.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "setup/control_sums.h"
#include "setup/directory_rule.h"
#include "setup/file_refs.h"
#include "setup/install_journal.h"
#include "setup/script.h"
#include "setup/uninstall_log.h"
#include "setup/verified_copy.h"
#include "setup/tests/posix_file_system.h"
#include "setup/tests/table_profile.h"

// --- script keys ---------------------------------------------------------------

TEST(ScriptKeys, TableSizesAndDefaultsApply) {
  TableProfile t;
  char out[400];
  EXPECT_FALSE(scriptText(&t.script, "Default Setting", "Caption", out, sizeof out));
  EXPECT_STREQ("Setup", out);
  EXPECT_FALSE(scriptText(&t.script, "default setting", "MainVersion", out, sizeof out));
  EXPECT_STREQ("0.0", out);
  t.set("Default Setting", "MainVersion", "12345678901234");
  EXPECT_TRUE(scriptText(&t.script, "Default Setting", "MainVersion", out, sizeof out));
  EXPECT_STREQ("123456789", out);  // 10 characters with the terminator
  t.set("Unload", "Caption3", std::string(150, 'x').c_str());
  EXPECT_TRUE(scriptNumbered(&t.script, "Unload", "Caption%d", 3, out, sizeof out));
  EXPECT_EQ(99u, strlen(out));
  EXPECT_EQ(1, scriptNumber(&t.script, "Default Setting", "DetectWaveDriver"));
  t.set("Default Setting", "AskBandwidth", "1");
  t.set("Default Setting", "Sondrel", "yes");
  EXPECT_EQ(1, scriptNumber(&t.script, "Default Setting", "AskBandwidth"));
  EXPECT_EQ(0, scriptNumber(&t.script, "Default Setting", "Sondrel"));
  EXPECT_NE(nullptr, findScriptKey("INI File", "Item12_3"));
  EXPECT_EQ(nullptr, findScriptKey("INI File", "Item12_"));
  EXPECT_EQ(nullptr, findScriptKey("Launch", "Lx"));
}

TEST(ScriptKeys, ScriptPathBesideTheModule) {
  char out[kPathSize];
  scriptPathFor("C:\\TEMP\\SETUP\\TXSETUP.EXE", out, sizeof out);
  EXPECT_STREQ("C:\\TEMP\\SETUP\\txsetup.inf", out);
  std::string longDir = "C:\\" + std::string(245, 'd') + "\\TXSETUP.EXE";
  scriptPathFor(longDir.c_str(), out, sizeof out);
  EXPECT_STREQ("", out);  // would pass 260 characters
}

// --- references and expansion ------------------------------------------------------

struct RefFixture : ::testing::Test {
  TableProfile t;
  RefContext c{&t.script, "C:\\Program Files\\Tessavox\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};

  void SetUp() override {
    t.set("Main", "GroupPath", "ROOT");
    t.set("Main", "F1", "TXPLAYER.EXE");
    t.set("Main", "F2", "docs\\readme.txt");
    t.set("Plugins", "GroupPath", "ROOT\\Plugins");
    t.set("Plugins", "F1", "a.dll");
    t.set("Shared", "GroupPath", "SYSTEM");
    t.set("Shared", "Type", "shared");
    t.set("Shared", "F1", "txdecode.dll");
    t.set("Win", "GroupPath", "windows\\Fonts");
    t.set("Win", "F1", "tx.fon");
    t.set("Abs", "GroupPath", "D:\\Audio");
    t.set("Abs", "F1", "x.txm");
    t.set("Odd", "GroupPath", "ELSEWHERE\\x");
    t.set("Uninstaller", "GroupPath", "ROOT");
    t.set("Uninstaller", "Type", "UNINSTALLER");
    t.set("Uninstaller", "F1", "txuninst.exe");
  }
  std::string resolve(const char *ref, int *type = nullptr, size_t *consumed = nullptr) {
    char out[kPathSize];
    int ty;
    size_t n = resolveReference(&c, ref, strlen(ref), out, sizeof out, &ty);
    if (type) *type = ty;
    if (consumed) *consumed = n;
    return n ? out : "<fail>";
  }
};

TEST_F(RefFixture, GroupDirectoriesAndTypes) {
  int type;
  EXPECT_EQ("C:\\Program Files\\Tessavox\\TXPLAYER.EXE", resolve("Main::F1", &type));
  EXPECT_EQ(kGroupRoot, type);
  EXPECT_EQ("C:\\Program Files\\Tessavox\\docs\\readme.txt", resolve("Main::F2"));
  EXPECT_EQ("C:\\Program Files\\Tessavox\\Plugins\\a.dll", resolve("Plugins::F1", &type));
  EXPECT_EQ(kGroupSubroot, type);
  EXPECT_EQ("C:\\Program Files\\Tessavox\\Plugins\\", resolve("Plugins", &type));
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\txdecode.dll", resolve("Shared::F1", &type));
  EXPECT_EQ(kGroupShared, type);
  EXPECT_EQ("C:\\WINDOWS\\Fonts\\tx.fon", resolve("Win::F1", &type));
  EXPECT_EQ(kGroupOther, type);
  EXPECT_EQ("D:\\Audio\\x.txm", resolve("Abs::F1"));
  resolve("Uninstaller::F1", &type);
  EXPECT_EQ(kGroupUninstaller, type);
}

TEST_F(RefFixture, MissingFilesLiteralsAndOverflow) {
  EXPECT_EQ("<fail>", resolve("Main::F3"));  // the group ends after F2
  size_t consumed;
  EXPECT_EQ("Odd::F1", resolve("Odd::F1 rest", nullptr, &consumed));
  EXPECT_EQ(7u, consumed);
  EXPECT_EQ("Nowhere::F2", resolve("Nowhere::F2"));
  t.set("Main", "F9", std::string(240, 'n').c_str());
  EXPECT_EQ("<fail>", resolve("Main::F9"));  // more than 260 characters
  char small[20];
  int type;
  EXPECT_EQ(0u, resolveReference(&c, "Main::F1", 8, small, sizeof small, &type));
  EXPECT_STREQ("", small);
}

TEST_F(RefFixture, CommandExpansionSplitsProgramAndArguments) {
  char program[kPathSize], args[kPathSize];
  ASSERT_TRUE(expandCommand(&c, "Main::F1  Main::F2 /play", program, sizeof program, args, sizeof args));
  EXPECT_STREQ("C:\\Program Files\\Tessavox\\TXPLAYER.EXE", program);
  EXPECT_STREQ("C:\\Program Files\\Tessavox\\docs\\readme.txt /play", args);
  ASSERT_TRUE(expandCommand(&c, "C:\\WINDOWS\\NOTEPAD.EXE Main::F2", program, sizeof program, args, sizeof args));
  EXPECT_STREQ("C:\\WINDOWS\\NOTEPAD.EXE C:\\Program Files\\Tessavox\\docs\\readme.txt", program);
  EXPECT_STREQ("", args);
  ASSERT_TRUE(expandCommand(&c, "C:\\x\\notepad.exe readme.txt now", program, sizeof program, args, sizeof args));
  EXPECT_STREQ("C:\\x\\notepad.exe", program);
  EXPECT_STREQ("readme.txt now", args);
  ASSERT_TRUE(expandCommand(&c, "Main::F1", program, sizeof program, nullptr, 0));
  EXPECT_STREQ("C:\\Program Files\\Tessavox\\TXPLAYER.EXE", program);
  EXPECT_FALSE(expandCommand(&c, "Main::F7 x", program, sizeof program, args, sizeof args));
}

// --- check sums ---------------------------------------------------------------

TEST(ControlSums, RunsOfDigitsAndMinus) {
  uint8_t s[kSumCount];
  ASSERT_EQ(8, parseControlSums("12 200 7 0 255 9 31 64", s));
  const uint8_t want[8] = {12, 200, 7, 0, 255, 9, 31, 64};
  EXPECT_EQ(0, memcmp(want, s, 8));
  ASSERT_EQ(1, parseControlSums("-3", s));
  EXPECT_EQ(253, s[0]);
  EXPECT_EQ(7, parseControlSums("12-200 7 0 255 9 31 64", s));
  EXPECT_EQ(12, s[0]);
  ASSERT_EQ(8, parseControlSums("256,257;1000x-256 a99999999999999999999 -0 - 5", s));
  const uint8_t mod[8] = {0, 1, 232, 0, 255, 0, 0, 5};  // 10^20-1 mod 256 = 255
  EXPECT_EQ(0, memcmp(mod, s, 8));
  EXPECT_EQ(0, parseControlSums("", s));
  long long n;
  EXPECT_TRUE(parseFileLength(" 64000 ", &n));
  EXPECT_EQ(64000, n);
  EXPECT_FALSE(parseFileLength("64k", &n));
  EXPECT_FALSE(parseFileLength("", &n));
}

TEST(ControlSums, ChunkedEqualsSinglePass) {
  std::mt19937 rng(7);
  std::vector<unsigned char> data(200003);
  for (auto &b : data) b = (unsigned char)rng();
  uint8_t naive[8] = {0};
  for (size_t i = 0; i < data.size(); ++i) naive[i % 8] = (uint8_t)(naive[i % 8] + data[i]);
  SumAccumulator whole;
  sumStart(&whole);
  sumAdd(&whole, data.data(), data.size());
  EXPECT_EQ(0, memcmp(naive, whole.sums, 8));
  for (int trial = 0; trial < 20; ++trial) {
    SumAccumulator a;
    sumStart(&a);
    size_t at = 0;
    while (at < data.size()) {
      size_t n = std::min(data.size() - at, (size_t)(rng() % 70000));
      sumAdd(&a, data.data() + at, n);
      at += n;
    }
    EXPECT_EQ(0, memcmp(naive, a.sums, 8));
  }
}

// --- files: directory rule, verified copy, journal -----------------------------------

struct Files : ::testing::Test {
  char root[256];
  const FileSystemApi *fs;
  void SetUp() override {
    snprintf(root, sizeof root, "/tmp/txsetup-test-XXXXXX");
    ASSERT_NE(nullptr, mkdtemp(root));
    fs = posixFileSystem(root);
  }
  void TearDown() override {
    std::string cmd = std::string("rm -rf '") + root + "'";
    ASSERT_EQ(0, system(cmd.c_str()));
  }
  std::string native(const char *w) {
    char out[1024];
    posixPath(w, out, sizeof out);
    return out;
  }
  void put(const char *w, const std::string &bytes) {
    std::ofstream f(native(w), std::ios::binary);
    f << bytes;
  }
  std::string get(const char *w) {
    std::ifstream f(native(w), std::ios::binary);
    if (!f) return "<missing>";
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::vector<std::string> listing(const char *w) {
    std::string cmd = "cd '" + native(w) + "' && find . | sort";
    std::vector<std::string> out;
    FILE *p = popen(cmd.c_str(), "r");
    char line[1024];
    while (fgets(line, sizeof line, p)) out.push_back(line);
    pclose(p);
    return out;
  }
};

static void noteCreated(void *context, const char *path) { ((std::vector<std::string> *)context)->push_back(path); }

TEST_F(Files, DirectoryRule) {
  EXPECT_FALSE(checkDirectory(fs, "Program Files\\Tx", nullptr, nullptr, 0, nullptr));
  EXPECT_FALSE(checkDirectory(fs, "C:", nullptr, nullptr, 0, nullptr));
  EXPECT_FALSE(checkDirectory(fs, "C:tx", nullptr, nullptr, 0, nullptr));
  std::vector<std::string> created;
  DirectoryObserver o = {&created, noteCreated};
  char prefixes[8][260];
  int count = 0;
  ASSERT_TRUE(checkDirectory(fs, "C:\\Apps\\Tessa\\Player\\", &o, prefixes, 8, &count));
  EXPECT_EQ((std::vector<std::string>{"C:\\Apps", "C:\\Apps\\Tessa", "C:\\Apps\\Tessa\\Player"}), created);
  ASSERT_EQ(3, count);
  EXPECT_STREQ("C:\\Apps\\Tessa\\Player", prefixes[0]);
  EXPECT_STREQ("C:\\Apps", prefixes[2]);
  EXPECT_FALSE(fs->exists("C:\\Apps\\Tessa\\Player\\dir.tmp"));
  created.clear();
  ASSERT_TRUE(checkDirectory(fs, "C:\\Apps\\Tessa", &o, prefixes, 8, &count));
  EXPECT_TRUE(created.empty());
  put("C:\\Apps\\file", "x");
  EXPECT_FALSE(checkDirectory(fs, "C:\\Apps\\file\\sub", &o, nullptr, 0, nullptr));
  chmod(native("C:\\Apps\\Tessa").c_str(), 0555);
  if (geteuid() != 0) { EXPECT_FALSE(checkDirectory(fs, "C:\\Apps\\Tessa", nullptr, nullptr, 0, nullptr)); }
  chmod(native("C:\\Apps\\Tessa").c_str(), 0755);
}

static uint8_t *sumsOf(const std::string &bytes, uint8_t out[8]) {
  SumAccumulator a;
  sumStart(&a);
  sumAdd(&a, bytes.data(), bytes.size());
  memcpy(out, a.sums, 8);
  return out;
}

struct Counter {
  long bytes = 0;
  int chunks = 0;
};
static void counted(void *c, long n) {
  ((Counter *)c)->bytes += n;
  ((Counter *)c)->chunks++;
}

TEST_F(Files, CopyVerifiesBeforeReplacing) {
  ASSERT_TRUE(checkDirectory(fs, "C:\\src", nullptr, nullptr, 0, nullptr));
  ASSERT_TRUE(checkDirectory(fs, "C:\\dst", nullptr, nullptr, 0, nullptr));
  std::string bytes(64000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (char)(i * 131 + 7);
  put("C:\\src\\a.bin", bytes);
  uint8_t sums[8];
  sumsOf(bytes, sums);
  Counter counter;
  CopyProgress progress = {&counter, nullptr, counted};
  InstallJournal journal(fs, nullptr);
  ASSERT_EQ(kCopyDone, copyVerified(fs, &journal, &progress, "C:\\src\\a.bin", "C:\\dst\\a.bin", 64000, sums, 1));
  EXPECT_EQ(bytes, get("C:\\dst\\a.bin"));
  EXPECT_EQ(64000, counter.bytes);
  EXPECT_EQ(2, counter.chunks);  // two chunks of 32,000 bytes
  journal.commit();

  // One byte changed in the download: refused, the installed copy untouched.
  std::string damaged = bytes;
  damaged[40000] ^= 1;
  put("C:\\src\\a.bin", damaged);
  EXPECT_EQ(kCopySumsDiffer, copyVerified(fs, &journal, nullptr, "C:\\src\\a.bin", "C:\\dst\\a.bin", 64000, sums, 1));
  EXPECT_EQ(bytes, get("C:\\dst\\a.bin"));
  EXPECT_EQ((std::vector<std::string>{".\n", "./a.bin\n"}), listing("C:\\dst"));
  // Without verification the same bytes are taken.
  EXPECT_EQ(kCopyDone, copyVerified(fs, &journal, nullptr, "C:\\src\\a.bin", "C:\\dst\\a.bin", 64000, sums, 0));
  EXPECT_EQ(damaged, get("C:\\dst\\a.bin"));
  journal.undo();  // the replaced file comes back
  EXPECT_EQ(bytes, get("C:\\dst\\a.bin"));
  EXPECT_EQ((std::vector<std::string>{".\n", "./a.bin\n"}), listing("C:\\dst"));

  // A length off by one: nothing is written at all.
  EXPECT_EQ(kCopyWrongLength, copyVerified(fs, &journal, nullptr, "C:\\src\\a.bin", "C:\\dst\\b.bin", 64001, sums, 1));
  EXPECT_FALSE(fs->exists("C:\\dst\\b.bin"));
  EXPECT_EQ(kCopyNoSource, copyVerified(fs, &journal, nullptr, "C:\\src\\none", "C:\\dst\\b.bin", 1, sums, 1));
  EXPECT_EQ(kCopyCannotCreate,
            copyVerified(fs, &journal, nullptr, "C:\\src\\a.bin", "C:\\nodir\\b.bin", 64000, sums, 0));

  // An empty file is installed as an empty file.
  put("C:\\src\\empty", "");
  uint8_t zero[8] = {0};
  EXPECT_EQ(kCopyDone, copyVerified(fs, &journal, nullptr, "C:\\src\\empty", "C:\\dst\\empty", 0, zero, 1));
  EXPECT_EQ("", get("C:\\dst\\empty"));
  journal.undo();
  EXPECT_FALSE(fs->exists("C:\\dst\\empty"));
}

TEST_F(Files, JournalUndoesOnlyThisRun) {
  ASSERT_TRUE(checkDirectory(fs, "C:\\dst", nullptr, nullptr, 0, nullptr));
  put("C:\\dst\\old.txt", "earlier run");
  put("C:\\dst\\keep.txt", "earlier run");
  InstallJournal journal(fs, nullptr);
  DirectoryObserver o = {&journal, [](void *j, const char *p) { ((InstallJournal *)j)->createdDirectory(p); }};
  ASSERT_TRUE(checkDirectory(fs, "C:\\dst\\sub\\deeper", &o, nullptr, 0, nullptr));
  put("C:\\src", "");
  put("C:\\new.txt", "new");
  uint8_t s[8];
  sumsOf("new", s);
  ASSERT_EQ(kCopyDone, copyVerified(fs, &journal, nullptr, "C:\\new.txt", "C:\\dst\\sub\\deeper\\n.txt", 3, s, 1));
  ASSERT_EQ(kCopyDone, copyVerified(fs, &journal, nullptr, "C:\\new.txt", "C:\\dst\\old.txt", 3, s, 1));
  ASSERT_TRUE(journal.setAside("C:\\dst\\keep.txt"));  // an old file the run removes
  EXPECT_FALSE(fs->exists("C:\\dst\\keep.txt"));
  journal.undo();
  EXPECT_EQ((std::vector<std::string>{".\n", "./keep.txt\n", "./old.txt\n"}), listing("C:\\dst"));
  EXPECT_EQ("earlier run", get("C:\\dst\\old.txt"));
  EXPECT_EQ("earlier run", get("C:\\dst\\keep.txt"));

  // After a successful run the set-aside copies go.
  ASSERT_EQ(kCopyDone, copyVerified(fs, &journal, nullptr, "C:\\new.txt", "C:\\dst\\old.txt", 3, s, 1));
  journal.commit();
  EXPECT_EQ((std::vector<std::string>{".\n", "./keep.txt\n", "./old.txt\n"}), listing("C:\\dst"));
  EXPECT_EQ("new", get("C:\\dst\\old.txt"));

  // Old files removed from a directory: it stays while a failed run may need it, goes
  // after a successful one only when nothing else is left in it.
  ASSERT_TRUE(checkDirectory(fs, "C:\\old", nullptr, nullptr, 0, nullptr));
  ASSERT_TRUE(checkDirectory(fs, "C:\\other", nullptr, nullptr, 0, nullptr));
  put("C:\\old\\a.exe", "a");
  put("C:\\other\\a.exe", "a");
  put("C:\\other\\mine.txt", "the user's");
  for (int succeed = 0; succeed < 2; ++succeed) {
    for (const char *d : {"C:\\old", "C:\\other"}) {
      ASSERT_TRUE(journal.setAside((std::string(d) + "\\a.exe").c_str()));
      journal.removeWhenEmptied(d);
    }
    if (succeed) journal.commit();
    else journal.undo();
    if (succeed) {
      EXPECT_FALSE(fs->exists("C:\\old"));
      EXPECT_EQ((std::vector<std::string>{".\n", "./mine.txt\n"}), listing("C:\\other"));
    } else {
      EXPECT_EQ((std::vector<std::string>{".\n", "./a.exe\n"}), listing("C:\\old"));
      EXPECT_EQ((std::vector<std::string>{".\n", "./a.exe\n", "./mine.txt\n"}), listing("C:\\other"));
    }
  }
}

// --- uninstall log numbering ------------------------------------------------------

TEST(UninstallLogNumbering, ContinuesAfterTheLastEntry) {
  std::vector<int> present = {1, 2, 3, 5};
  auto exists = [](void *c, int n) {
    auto *v = (std::vector<int> *)c;
    return (int)(std::find(v->begin(), v->end(), n) != v->end());
  };
  EXPECT_EQ(4, firstFreeItem(exists, &present));  // the first gap ends the probe
  std::vector<int> none;
  EXPECT_EQ(1, firstFreeItem(exists, &none));
  EXPECT_STREQ("ShutdownNames", kLogCategoryNames[kLogShutdownNames]);
  EXPECT_STREQ("SharedKeys", kLogCategoryNames[kLogSharedKeys]);
  EXPECT_STREQ("Directories", kLogCategoryNames[5]);
}
