// Native tests of TXPLAYER's portable rules: the platform string and its parts,
// the controls flags, desktop fitting, the open and forwarding rules and the
// caption, filter and help-path texts; and the 32-bit ClientSetup layout.
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <string>

#include "outside/ovui3230/ovui3230.h"
#include "player/player_rules.h"

namespace {

TEST(PlatformString, VersionCallGivesTheSystemFamily) {
  EXPECT_EQ(platformCodeOf(0x80000003u), kPlatformWin32s);  // high bit, major 3
  EXPECT_EQ(platformCodeOf(0x80000A04u), kPlatformWin95);   // high bit, 4.10
  EXPECT_EQ(platformCodeOf(0x00000004u), kPlatformWinNT);   // NT 4.0
  EXPECT_EQ(platformCodeOf(0x23F00206u), kPlatformWinNT);   // NT 6.2, build in the high word
  EXPECT_STREQ(platformName(kPlatformWin95), "Win95");
  EXPECT_STREQ(platformName(kPlatformWinNT), "WinNT");
  EXPECT_STREQ(platformName(kPlatformWin32s), "Win32s");
  EXPECT_STREQ(platformName(1), "Win16");
  EXPECT_STREQ(platformName(512), "SunOS");
  EXPECT_STREQ(platformName(3), "UNK");
}

TEST(PlatformString, ProcessorNames) {
  struct Case {
    int arch;
    uint32_t type;
    int level;
    int platform, major, minor;
    const char *name;
  };
  const Case cases[] = {
      {kArchIntel, 386, 3, kPlatformWin95, 4, 0, "SLOW"},
      {kArchIntel, 486, 4, kPlatformWin95, 4, 0, "486"},
      {kArchIntel, 586, 5, kPlatformWin95, 4, 0, "586"},
      {kArchIntel, 686, 6, kPlatformWin95, 4, 0, "UNK"},   // the older report knows no 686
      {kArchIntel, 586, 0, kPlatformWinNT, 3, 10, "586"},  // NT before 3.50: the type counts
      {kArchIntel, 586, 6, kPlatformWinNT, 3, 50, "686"},  // 3.50 on: the level counts
      {kArchIntel, 486, 3, kPlatformWinNT, 4, 0, "SLOW"},
      {kArchIntel, 486, 4, kPlatformWinNT, 4, 0, "486"},
      {kArchIntel, 586, 5, kPlatformWinNT, 4, 0, "586"},
      {kArchIntel, 586, 15, kPlatformWinNT, 10, 0, "UNK"},
      {kArchAmd64, 8664, 6, kPlatformWinNT, 6, 2, "686"},
      {kArchMips, 0, 4, kPlatformWinNT, 4, 0, "Mips"},
      {kArchAlpha, 0, 21064, kPlatformWinNT, 4, 0, "Alpha"},
      {kArchPpc, 0, 1, kPlatformWinNT, 4, 0, "PPC"},
      {6, 0, 1, kPlatformWinNT, 4, 0, "UNK"},
  };
  for (const Case &c : cases) {
    ProcessorFacts f = {c.arch, c.type, c.level, c.platform, c.major, c.minor};
    EXPECT_STREQ(processorName(&f), c.name) << c.arch << " " << c.type << " " << c.level << " " << c.major;
  }
}

TEST(PlatformString, FloatingPointUnit) {
  EXPECT_EQ(fpuPresent(kArchIntel, 1), 1);
  EXPECT_EQ(fpuPresent(kArchIntel, 0), 0);
  EXPECT_EQ(fpuPresent(kArchAmd64, 0), 0);
  EXPECT_EQ(fpuPresent(kArchAlpha, 0), 1);
  EXPECT_EQ(fpuPresent(kArchMips, 0), 1);
}

TEST(PlatformString, Composition) {
  char out[kPlatformStringSize];
  ASSERT_TRUE(buildPlatformString(kPlatformWin95, 4, 0, "OV01", "586", 1, out, sizeof out));
  EXPECT_STREQ(out, "Win95_4.0_3.0.0.9_plus32_OV01_EN_586");
  ASSERT_TRUE(buildPlatformString(kPlatformWinNT, 4, 0, "UNK", "486", 0, out, sizeof out));
  EXPECT_STREQ(out, "WinNT_4.0_3.0.0.9_plus32_UNK_EN_486_No-FPU");
  char small[10];
  EXPECT_FALSE(buildPlatformString(kPlatformWinNT, 4, 0, "OV01", "486", 0, small, sizeof small));
  EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST(PlatformString, DistCodePathFromTheTranslation) {
  char path[kDistCodePathSize];
  distCodePath(0x04E40409u, path, sizeof path);  // English, Windows ANSI
  EXPECT_STREQ(path, "\\StringFileInfo\\040904e4\\DistCode");
  distCodePath(0x00000407u, path, sizeof path);  // German, code page 0: blanks become zeros
  EXPECT_STREQ(path, "\\StringFileInfo\\04070000\\DistCode");
  distCodePath(0x04B00C0Au, path, sizeof path);
  EXPECT_STREQ(path, "\\StringFileInfo\\0c0a04b0\\DistCode");
}

TEST(ControlsFlags, PlatformAndView) {
  ViewFlags v = defaultViewFlags();
  EXPECT_EQ(v.infoVolume, 1);
  EXPECT_EQ(v.statusBar, 1);
  EXPECT_EQ(v.presets, 1);
  EXPECT_EQ(v.onTop, 0);
  EXPECT_EQ(v.rivovuzUdav, 0);
  EXPECT_EQ(controlsFlags(kPlatformWin95, &v), 0x1100u | 0x200u | 0x400u | 0x10000u | 0x20000u);
  EXPECT_EQ(controlsFlags(kPlatformWinNT, &v), 0x7100u | 0x200u | 0x400u | 0x10000u | 0x20000u);
  ViewFlags none = {0, 0, 0, 1, 1};
  EXPECT_EQ(controlsFlags(kPlatformWin32s, &none), 0x7100u | 0x20000u);
  ViewFlags status = {0, 1, 0, 0, 0};
  EXPECT_EQ(controlsFlags(kPlatformWinNT, &status), 0x7100u | 0x400u | 0x20000u);
}

TEST(DesktopFitting, MovesBackOntoTheDesktop) {
  const ScreenRect desk = {0, 0, 1024, 768};
  struct Case {
    ScreenRect w;
    int left, top;
  };
  const Case cases[] = {
      {{100, 100, 450, 280}, 100, 100},    // inside: unchanged
      {{5000, 100, 5350, 280}, 674, 100},  // x = 5000: right edge meets the desktop's
      {{100, 700, 450, 880}, 100, 588},    // past the bottom
      {{-40, -10, 310, 170}, 0, 0},        // before the left and top edges
      {{1000, 740, 1100, 760}, 824, 718},  // 100 x 20 counts as 200 x 50
      {{-500, 100, 1600, 280}, 0, 100},    // wider than the desktop: the left edge wins
  };
  for (const Case &c : cases) {
    int left = -1, top = -1;
    fitOntoDesktop(&c.w, &desk, &left, &top);
    EXPECT_EQ(left, c.left) << c.w.left << "," << c.w.top;
    EXPECT_EQ(top, c.top) << c.w.left << "," << c.w.top;
  }
  const ScreenRect offset = {-1280, 0, 0, 1024};  // a desktop left of the origin
  const ScreenRect w = {10, 10, 360, 190};
  int left, top;
  fitOntoDesktop(&w, &offset, &left, &top);
  EXPECT_EQ(left, -350);
  EXPECT_EQ(top, 10);
}

TEST(OpenRules, ForwardedTextsAndLocations) {
  EXPECT_EQ(forwardedKind(""), kOpenNothing);
  EXPECT_EQ(forwardedKind("ovm://host/clip.tx"), kOpenLocation);
  EXPECT_EQ(forwardedKind("OVM:clip"), kOpenLocation);
  EXPECT_EQ(forwardedKind("c:\\clips\\a.txm"), kOpenLocalFile);
  EXPECT_EQ(forwardedKind("file:c:\\clips\\a.txm"), kOpenLocalFile);
  EXPECT_EQ(forwardedKind("http://host/x.txm"), kOpenLocalFile);  // only ovm: is a location here

  char out[kForwardTextMax + 1];
  struct Case {
    const char *typed, *played;
  };
  const Case cases[] = {
      {"host/clip.tx", "ovm://host/clip.tx"},   {"  http://host/x.txm", "http://host/x.txm"},
      {"\tovm://host/a.tx", "ovm://host/a.tx"}, {"HTTP://Host/A.tx", "HTTP://Host/A.tx"},
      {"ovm:/host", "ovm://ovm:/host"},         {"", "ovm://"},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(locationToPlay(c.typed, out, sizeof out));
    EXPECT_STREQ(out, c.played);
  }
  char small[12];
  EXPECT_FALSE(locationToPlay("host/long/clip.tx", small, sizeof small));
  EXPECT_STREQ(small, "ovm://host/");
}

TEST(OpenRules, LastFileDropsFilePrefix) {
  char out[261];
  lastFileOf("file:c:\\clips\\a.txm", out, sizeof out);
  EXPECT_STREQ(out, "c:\\clips\\a.txm");
  lastFileOf("FILE:d:\\b.tx", out, sizeof out);
  EXPECT_STREQ(out, "d:\\b.tx");
  lastFileOf("c:\\clips\\a.txm", out, sizeof out);
  EXPECT_STREQ(out, "c:\\clips\\a.txm");
}

TEST(Forwarding, CommandLineText) {
  char out[300];
  struct Case {
    const char *line, *text;
  };
  const Case cases[] = {
      {"", ""},
      {"   ", ""},
      {"c:\\clips\\a.tx", "c:\\clips\\a.tx"},
      {"  c:\\my clips\\a.tx  ", "c:\\my clips\\a.tx"},
      {"\"c:\\my clips\\a.tx\"", "c:\\my clips\\a.tx"},
      {"\"a\" \"b\"", "\"a\" \"b\""},  // two quoted words stay as they are
      {"\"", "\""},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(commandLineText(c.line, out, sizeof out));
    EXPECT_STREQ(out, c.text) << c.line;
  }
  char small[4];
  EXPECT_FALSE(commandLineText("abcdef", small, sizeof small));
  EXPECT_STREQ(small, "abc");
}

TEST(Forwarding, WayByLength) {
  EXPECT_EQ(forwardWay(""), kForwardNone);
  EXPECT_EQ(forwardWay("c:\\a.tx"), kForwardAtom);
  std::string t(kAtomTextMax, 'a');
  EXPECT_EQ(forwardWay(t.c_str()), kForwardAtom);
  t += 'a';
  EXPECT_EQ(forwardWay(t.c_str()), kForwardCopyData);
  t.assign(kForwardTextMax, 'b');
  EXPECT_EQ(forwardWay(t.c_str()), kForwardCopyData);
  t += 'b';
  EXPECT_EQ(forwardWay(t.c_str()), kForwardTooLong);
}

TEST(Texts, CaptionFillsOnlyTheTitle) {
  char out[81];
  formatCaption("Tessavox Player Plus: %s", "News at six", out, sizeof out);
  EXPECT_STREQ(out, "Tessavox Player Plus: News at six");
  // A translated format with further directives must not read arguments.
  formatCaption("%d%% %s %s %n", "clip", out, sizeof out);
  EXPECT_STREQ(out, "%d% clip %s %n");
  formatCaption("No title here", "clip", out, sizeof out);
  EXPECT_STREQ(out, "No title here");
  char small[8];
  formatCaption("Plus: %s", "a long title", small, sizeof small);
  EXPECT_STREQ(small, "Plus: a");
  formatCaption("%s", "100% sure", out, sizeof out);
  EXPECT_STREQ(out, "100% sure");
}

TEST(Texts, OpenFileFilter) {
  char out[128];
  const char text[] = "Tessavox Files (*.tx, *.txm)|*.tx;*.txm|All Files (*.*)|*.*||";
  size_t n = openFileFilter(text, out, sizeof out);
  ASSERT_EQ(n, strlen(text) + 2);
  EXPECT_STREQ(out, "Tessavox Files (*.tx, *.txm)");
  const char *p = out + strlen(out) + 1;
  EXPECT_STREQ(p, "*.tx;*.txm");
  p += strlen(p) + 1;
  EXPECT_STREQ(p, "All Files (*.*)");
  p += strlen(p) + 1;
  EXPECT_STREQ(p, "*.*");
  p += strlen(p) + 1;
  EXPECT_EQ(*p, '\0');
  char small[8];
  EXPECT_EQ(openFileFilter(text, small, sizeof small), 0u);
}

TEST(Texts, SplitAndHelpPath) {
  char dir[261], name[261];
  splitAtLastBackslash("c:\\clips\\a.tx", dir, sizeof dir, name, sizeof name);
  EXPECT_STREQ(dir, "c:\\clips");
  EXPECT_STREQ(name, "a.tx");
  splitAtLastBackslash("a.tx", dir, sizeof dir, name, sizeof name);
  EXPECT_STREQ(dir, "");
  EXPECT_STREQ(name, "a.tx");
  splitAtLastBackslash("", dir, sizeof dir, name, sizeof name);
  EXPECT_STREQ(name, "");
  char path[261];
  ASSERT_TRUE(helpFilePath("C:\\windows", path, sizeof path));
  EXPECT_STREQ(path, "C:\\windows\\Help\\TXPLAYER.HLP");
  ASSERT_TRUE(helpFilePath("C:\\", path, sizeof path));
  EXPECT_STREQ(path, "C:\\Help\\TXPLAYER.HLP");
  char small[10];
  EXPECT_FALSE(helpFilePath("C:\\windows", small, sizeof small));
}

TEST(Preferences, FlagsAndNumbers) {
  EXPECT_TRUE(preferenceFlag("1"));
  EXPECT_FALSE(preferenceFlag("0"));
  EXPECT_FALSE(preferenceFlag(" 1"));
  EXPECT_FALSE(preferenceFlag("yes"));
  int v = 7;
  EXPECT_TRUE(preferenceNumber("5000", &v));
  EXPECT_EQ(v, 5000);
  EXPECT_TRUE(preferenceNumber("-32", &v));
  EXPECT_EQ(v, -32);
  v = 7;
  EXPECT_FALSE(preferenceNumber("", &v));
  EXPECT_FALSE(preferenceNumber(" ", &v));
  EXPECT_FALSE(preferenceNumber("12a", &v));
  EXPECT_FALSE(preferenceNumber("-", &v));
  EXPECT_FALSE(preferenceNumber("99999999999", &v));
  EXPECT_EQ(v, 7);
}

// The record is packed: with 4-byte pointers (the shipped build) it is exactly the
// 62 bytes the library reads; the 32-bit build also checks it at compile time.
TEST(ClientSetupLayout, PackedFieldsAtTheirOffsets) {
  const size_t P = sizeof(void *);
  EXPECT_EQ(sizeof(ClientSetup), 14 + 12 * P);
  EXPECT_EQ(offsetof(ClientSetup, openInBrowser), 4u);
  EXPECT_EQ(offsetof(ClientSetup, reserved8), 4 + P);
  EXPECT_EQ(offsetof(ClientSetup, nowPlaying), 8 + P);
  EXPECT_EQ(offsetof(ClientSetup, windowCell), 8 + 2 * P);
  EXPECT_EQ(offsetof(ClientSetup, webAddress), 8 + 9 * P);
  EXPECT_EQ(offsetof(ClientSetup, reserved48), 8 + 10 * P);
  EXPECT_EQ(offsetof(ClientSetup, presetFromFile), 12 + 10 * P);
  EXPECT_EQ(offsetof(ClientSetup, reserved56), 12 + 11 * P);
  EXPECT_EQ(offsetof(ClientSetup, checkSettings), 14 + 11 * P);
  // With P = 4 these are the 32-bit offsets 8, 12, 16, 44, 48, 52, 56, 58 and size 62.
  EXPECT_EQ(14 + 12 * 4, kClientSetupSize32);
  EXPECT_EQ(sizeof(WindowCell), P + 32);
}

}  // namespace
