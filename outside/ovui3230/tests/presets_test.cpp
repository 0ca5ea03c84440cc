// Native tests of the player library stand-in's presets: which sources go to the
// shell first, the stored texts read back from the preference store, the labels and
// Scan's order.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "outside/ovui3230/presets.h"

namespace {

PresetSlots empty() {
  PresetSlots s;
  memset(&s, 0, sizeof s);
  return s;
}

TEST(Presets, LocalFilesAreOfferedToTheShellLocationsAreKept) {
  EXPECT_EQ(presetRoute("c:\\clips\\a.tx"), kPresetAskShell);
  EXPECT_EQ(presetRoute("file:c:\\clips\\a.txm"), kPresetAskShell);
  EXPECT_EQ(presetRoute("ovm://host/a.tx"), kPresetStoreSource);
  EXPECT_EQ(presetRoute("HTTP://host/a.txm"), kPresetStoreSource);
  EXPECT_EQ(presetRoute(""), kPresetNothing);
  EXPECT_EQ(presetRoute(nullptr), kPresetNothing);
}

TEST(Presets, StoredTextsRoundTripAndBadOnesLeaveThePresetEmpty) {
  PresetSlots s = empty();
  ASSERT_TRUE(storePreset(&s, 2, "ovm://host/news.txm", 3));
  char value[kPresetValueSize];
  ASSERT_TRUE(formatPresetValue(&s, 2, value, sizeof value));
  EXPECT_STREQ(value, "3|ovm://host/news.txm");
  char none[kPresetValueSize] = "x";
  EXPECT_FALSE(formatPresetValue(&s, 1, none, sizeof none));  // empty
  EXPECT_STREQ(none, "");
  char small[8];
  EXPECT_FALSE(formatPresetValue(&s, 2, small, sizeof small));
  EXPECT_STREQ(small, "");

  PresetSlots back = empty();
  ASSERT_TRUE(parsePresetValue(&back, 4, value));
  EXPECT_STREQ(back.source[3], "ovm://host/news.txm");
  EXPECT_EQ(back.item[3], 3);
  // A source holding "|" keeps it: only the first one ends the clip number.
  ASSERT_TRUE(parsePresetValue(&back, 1, "0|http://host/a?x|y"));
  EXPECT_STREQ(back.source[0], "http://host/a?x|y");

  const std::string tooLong = "0|file:" + std::string(kClipTextSize, 'x');
  const char *bad[] = {"", "|ovm://h/a", "x|ovm://h/a", "-1|ovm://h/a", "1ovm://h/a", "1|", "123456|ovm://h/a",
                       tooLong.c_str()};
  for (const char *text : bad) {
    ASSERT_TRUE(storePreset(&back, 1, "ovm://h/old", 0));
    EXPECT_FALSE(parsePresetValue(&back, 1, text)) << text;
    EXPECT_STREQ(back.source[0], "") << text;
  }
  EXPECT_FALSE(parsePresetValue(&back, 0, "0|ovm://h/a"));
  EXPECT_FALSE(parsePresetValue(&back, kPresetCount + 1, "0|ovm://h/a"));
}

TEST(Presets, OnlyRealPresetsAndSourcesAreStored) {
  PresetSlots s = empty();
  EXPECT_FALSE(storePreset(&s, 0, "ovm://h/a", 0));
  EXPECT_FALSE(storePreset(&s, kPresetCount + 1, "ovm://h/a", 0));
  EXPECT_FALSE(storePreset(&s, 1, "", 0));
  EXPECT_FALSE(storePreset(&s, 1, nullptr, 0));
  EXPECT_FALSE(storePreset(&s, 1, "ovm://h/a", -1));
  EXPECT_FALSE(storePreset(&s, 1, std::string(kClipTextSize, 'x').c_str(), 0));
  EXPECT_TRUE(storePreset(&s, 1, std::string(kClipTextSize - 1, 'x').c_str(), 0));
}

TEST(Presets, LabelsShowTheClipTitleCutToFit) {
  PresetSlots s = empty();
  char label[kPresetLabelSize];
  presetLabel(&s, 3, label, sizeof label);
  EXPECT_STREQ(label, "Preset 3");
  ASSERT_TRUE(storePreset(&s, 3, "file:c:\\clips\\alpha.tx", 0));
  presetLabel(&s, 3, label, sizeof label);
  EXPECT_STREQ(label, "3: alpha.tx");
  ASSERT_TRUE(storePreset(&s, 1, ("ovm://h/" + std::string(200, 'n') + ".tx").c_str(), 0));
  presetLabel(&s, 1, label, sizeof label);
  EXPECT_EQ(strlen(label), sizeof label - 1);
  EXPECT_EQ(std::string(label).substr(0, 4), "1: n");
}

TEST(Presets, ScanGoesRoundTheStoredOnes) {
  PresetSlots s = empty();
  EXPECT_EQ(nextStoredPreset(&s, 0), 0);
  ASSERT_TRUE(storePreset(&s, 2, "ovm://h/b", 0));
  ASSERT_TRUE(storePreset(&s, 4, "ovm://h/d", 0));
  EXPECT_EQ(nextStoredPreset(&s, 0), 2);
  EXPECT_EQ(nextStoredPreset(&s, 2), 4);
  EXPECT_EQ(nextStoredPreset(&s, 4), 2);
  EXPECT_EQ(nextStoredPreset(&s, 3), 4);
  EXPECT_EQ(nextStoredPreset(&s, 99), 2);
  memset(s.source[3], 0, sizeof s.source[3]);
  EXPECT_EQ(nextStoredPreset(&s, 2), 2);  // the only one again
}

}  // namespace
