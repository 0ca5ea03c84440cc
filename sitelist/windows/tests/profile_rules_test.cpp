// Tests of the settings rules: version check, position restore and save plans,
// "CtrlSize" texts and control placement, the upgrade percentage.
#include "sitelist/windows/profile_rules.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct VersionCase {
  const char* text;
  long thousandths;
  bool upgradeCheck;
};

const VersionCase kVersions[] = {
    {nullptr, 0, true},
    {"", 0, true},
    {"   ", 0, true},
    {"abc", 0, true},
    {"1.0", 1000, true},
    {"1.4", 1400, true},
    {"1.49", 1490, true},
    {"1.5", 1500, false},
    {" 1.5", 1500, false},
    {"1.50", 1500, false},
    {"1.5x", 1500, false},
    {"1.6", 1600, false},
    {"2", 2000, false},
    {"10.0", 10000, false},
    {".5", 500, true},
    {"1.2345", 1234, true},
    {"99999999999", 999999999, false},
};

TEST(Version, ComparesAsNumberWithBlankAsZero) {
  for (const VersionCase& c : kVersions) {
    SCOPED_TRACE(c.text ? c.text : "(missing)");
    EXPECT_EQ(VersionThousandths(c.text), c.thousandths);
    EXPECT_EQ(NeedsUpgradeCheck(c.text), c.upgradeCheck);
  }
  EXPECT_STREQ(kTablnkVersion, "1.5");
  EXPECT_EQ(VersionThousandths(kTablnkVersion), kTablnkVersionThousandths);
}

struct IntCase {
  const char* text;
  bool ok;
  long value;
};

const IntCase kInts[] = {
    {nullptr, false, 0},
    {"", false, 0},
    {"12", true, 12},
    {" 12 ", true, 12},
    {"-40", true, -40},
    {"+7", true, 7},
    {"12px", false, 0},
    {"x", false, 0},
    {"-", false, 0},
    {"0", true, 0},
    {"1000000", true, 1000000},
    {"1000001", false, 0},
    {"99999999999999999999", false, 0},
};

TEST(ProfileInt, ParsesBoundedIntegersOnly) {
  for (const IntCase& c : kInts) {
    SCOPED_TRACE(c.text ? c.text : "(missing)");
    long v = 99;
    EXPECT_EQ(ParseProfileInt(c.text, &v), c.ok);
    EXPECT_EQ(v, c.value);
  }
}

struct RestoreCase {
  const char* name;
  StoredPosition stored;
  bool resizable;
  bool alreadyMaximized;
  bool move;
  bool resize;
  WindowRect rect;
  bool maximize;
};

const RestoreCase kRestores[] = {
    {"all stored", {"10", "20", "300", "200", "No"}, true, false, true, true, {10, 20, 300, 200}, false},
    {"nothing stored", {nullptr, nullptr, nullptr, nullptr, nullptr}, true, false, false, false, {}, false},
    {"XPosit 0 keeps designed place", {"0", "20", "300", "200", "No"}, true, false, false, false, {}, false},
    {"YPosit 0 keeps designed place", {"10", "0", "300", "200", "No"}, true, false, false, false, {}, false},
    {"YPosit missing", {"10", nullptr, "300", "200", nullptr}, true, false, false, false, {}, false},
    {"width missing skips", {"10", "20", nullptr, "200", nullptr}, true, false, false, false, {}, false},
    {"height 0 skips", {"10", "20", "300", "0", nullptr}, true, false, false, false, {}, false},
    {"negative size skips", {"10", "20", "-5", "200", nullptr}, true, false, false, false, {}, false},
    {"fixed size moves only",
     {"10", "20", nullptr, nullptr, nullptr},
     false,
     false,
     true,
     false,
     {10, 20, 0, 0},
     false},
    {"fixed size ignores stored size",
     {"10", "20", "300", "200", nullptr},
     false,
     false,
     true,
     false,
     {10, 20, 0, 0},
     false},
    {"maximize yes", {"10", "20", "300", "200", "Yes"}, true, false, true, true, {10, 20, 300, 200}, true},
    {"maximize without place", {nullptr, nullptr, nullptr, nullptr, "Yes"}, true, false, false, false, {}, true},
    {"maximize in lower case", {nullptr, nullptr, nullptr, nullptr, "yes"}, true, false, false, false, {}, true},
    {"maximize other text", {nullptr, nullptr, nullptr, nullptr, "Yesterday"}, true, false, false, false, {}, false},
    {"already maximized skips move", {"10", "20", "300", "200", "No"}, true, true, false, false, {}, false},
    {"garbage XPosit", {"ten", "20", "300", "200", "No"}, true, false, false, false, {}, false},
    {"negative place is a place", {"-8", "-8", "300", "200", "No"}, true, false, true, true, {-8, -8, 300, 200}, false},
};

TEST(Position, RestorePlanFollowsTheRules) {
  for (const RestoreCase& c : kRestores) {
    SCOPED_TRACE(c.name);
    RestorePlan p = PlanRestore(c.stored, c.resizable, c.alreadyMaximized);
    EXPECT_EQ(p.move, c.move);
    EXPECT_EQ(p.resize, c.resize);
    EXPECT_EQ(p.maximize, c.maximize);
    if (c.move) {
      EXPECT_EQ(p.rect.x, c.rect.x);
      EXPECT_EQ(p.rect.y, c.rect.y);
    }
    if (c.resize) {
      EXPECT_EQ(p.rect.width, c.rect.width);
      EXPECT_EQ(p.rect.height, c.rect.height);
    }
  }
}

TEST(Position, SavePlanWritesNothingForMinimized) {
  WindowRect r = {5, 6, 700, 500};
  SavePlan minimized = PlanSave(true, false, r);
  EXPECT_FALSE(minimized.writeAnything);
  SavePlan minimizedFromMax = PlanSave(true, true, r);
  EXPECT_FALSE(minimizedFromMax.writeAnything);

  SavePlan normal = PlanSave(false, false, r);
  ASSERT_TRUE(normal.writeAnything);
  EXPECT_STREQ(normal.maximize, "No");
  EXPECT_EQ(normal.rect.x, 5);
  EXPECT_EQ(normal.rect.height, 500);

  SavePlan maximized = PlanSave(false, true, r);
  ASSERT_TRUE(maximized.writeAnything);
  EXPECT_STREQ(maximized.maximize, "Yes");
  EXPECT_EQ(maximized.rect.width, 700);
}

TEST(Position, SavedValuesRestoreTheSameWindow) {
  WindowRect r = {33, 44, 640, 480};
  SavePlan s = PlanSave(false, true, r);
  char x[16], y[16], w[16], h[16];
  snprintf(x, sizeof x, "%ld", s.rect.x);
  snprintf(y, sizeof y, "%ld", s.rect.y);
  snprintf(w, sizeof w, "%ld", s.rect.width);
  snprintf(h, sizeof h, "%ld", s.rect.height);
  RestorePlan p = PlanRestore(StoredPosition{x, y, w, h, s.maximize}, true, false);
  EXPECT_TRUE(p.move);
  EXPECT_TRUE(p.resize);
  EXPECT_TRUE(p.maximize);
  EXPECT_EQ(p.rect.x, 33);
  EXPECT_EQ(p.rect.y, 44);
  EXPECT_EQ(p.rect.width, 640);
  EXPECT_EQ(p.rect.height, 480);
}

struct CtrlTextCase {
  const char* text;
  bool ok;
  ControlFraction f;
};

const CtrlTextCase kCtrlTexts[] = {
    {"000000000000", true, {0, 0, 0, 0}},
    {"012345678999", true, {12, 345, 678, 999}},
    {"012345678999  ", true, {12, 345, 678, 999}},
    {"01234567899", false, {}},
    {"0123456789990", false, {}},
    {"01234567899x", false, {}},
    {"-12345678999", false, {}},
    {"", false, {}},
    {nullptr, false, {}},
};

TEST(CtrlSize, ParsesTwelveDigitsOnly) {
  for (const CtrlTextCase& c : kCtrlTexts) {
    SCOPED_TRACE(c.text ? c.text : "(missing)");
    ControlFraction f = {7, 7, 7, 7};
    EXPECT_EQ(ParseCtrlSize(c.text, &f), c.ok);
    if (c.ok) {
      EXPECT_EQ(f.x, c.f.x);
      EXPECT_EQ(f.y, c.f.y);
      EXPECT_EQ(f.width, c.f.width);
      EXPECT_EQ(f.height, c.f.height);
    } else {
      EXPECT_EQ(f.x, 7);  // untouched
    }
  }
}

TEST(CtrlSize, FormatsThreeDigitsEachAndRoundTrips) {
  char text[kCtrlSizeText];
  ASSERT_TRUE(FormatCtrlSize(ControlFraction{5, 50, 500, 999}, text, sizeof text));
  EXPECT_STREQ(text, "005050500999");
  ControlFraction back = {};
  ASSERT_TRUE(ParseCtrlSize(text, &back));
  EXPECT_EQ(back.y, 50);
  EXPECT_EQ(back.width, 500);
  ASSERT_TRUE(FormatCtrlSize(ControlFraction{-3, 1000, 1500, 0}, text, sizeof text));
  EXPECT_STREQ(text, "000999999000");
  char small[12];
  EXPECT_FALSE(FormatCtrlSize(ControlFraction{}, small, sizeof small));
}

TEST(CtrlSize, FractionsAndPlacesFollowTheWindow) {
  // A control at (40,30) 200x100 in a 400x300 client: 100, 100, 500, 333.
  ControlFraction f = FractionOf(WindowRect{40, 30, 200, 100}, 400, 300);
  EXPECT_EQ(f.x, 100);
  EXPECT_EQ(f.y, 100);
  EXPECT_EQ(f.width, 500);
  EXPECT_EQ(f.height, 333);
  // Doubling the window doubles the control.
  WindowRect r = PlaceControl(f, 800, 600);
  EXPECT_EQ(r.x, 80);
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.width, 400);
  EXPECT_EQ(r.height, 199);
  // Controls beyond the client clamp to 999; a zero-sized client gives zeros.
  ControlFraction wide = FractionOf(WindowRect{-10, 290, 900, 30}, 400, 300);
  EXPECT_EQ(wide.x, 0);
  EXPECT_EQ(wide.y, 966);
  EXPECT_EQ(wide.width, 999);
  ControlFraction none = FractionOf(WindowRect{10, 10, 10, 10}, 0, 0);
  EXPECT_EQ(none.x + none.y + none.width + none.height, 0);
}

TEST(CtrlSize, StampsMatchExactlyIgnoringTrailingSpaces) {
  EXPECT_TRUE(StampMatches("714333785850", kBrowseTablnkStamp));
  EXPECT_TRUE(StampMatches("714333785850  ", kBrowseTablnkStamp));
  EXPECT_FALSE(StampMatches("714333785851", kBrowseTablnkStamp));
  EXPECT_FALSE(StampMatches("71433378585", kBrowseTablnkStamp));
  EXPECT_FALSE(StampMatches("", kBrowseTablnkStamp));
  EXPECT_FALSE(StampMatches(nullptr, kBrowseTablnkStamp));
  EXPECT_TRUE(StampMatches("714334612808", kUpdateTablnkStamp));
  EXPECT_FALSE(StampMatches(kBrowseTablnkStamp, kUpdateTablnkStamp));
}

struct PercentCase {
  uint64_t read;
  uint64_t size;
  int percent;
  const char* text;
};

const PercentCase kPercents[] = {
    {0, 1000, 0, "0% Completed"},
    {9, 1000, 0, "0% Completed"},
    {10, 1000, 1, "1% Completed"},
    {999, 1000, 99, "99% Completed"},
    {1000, 1000, 100, "100% Completed"},
    {5000, 1000, 100, "100% Completed"},
    {0, 0, 100, "100% Completed"},
    {0xFFFFFFFFFFFFull, 0x1FFFFFFFFFFFEull, 50, "50% Completed"},
    {0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 50, "50% Completed"},
};

TEST(Upgrade, PercentIsCappedAndFormatted) {
  for (const PercentCase& c : kPercents) {
    int p = UpgradePercent(c.read, c.size);
    EXPECT_EQ(p, c.percent) << c.read << "/" << c.size;
    char text[32];
    ASSERT_TRUE(FormatPercent(p, text, sizeof text));
    EXPECT_STREQ(text, c.text);
  }
  char tiny[5];
  EXPECT_FALSE(FormatPercent(100, tiny, sizeof tiny));
}

}  // namespace
