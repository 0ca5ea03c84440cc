// Native tests of the preference store's rules: the product key path, the family
// key, the previous version in an uninstall command, preference assignments, the
// content preset section and the vocabulary.
#include <gtest/gtest.h>

#include <string.h>

#include "common/product_prefs.h"

TEST(ProductKey, PathFromCompanyProductAndVersion) {
  char out[kKeyPathSize];
  ASSERT_TRUE(buildProductKeyPath("Orvane Labs, Inc.", "Tessavox Player", "3.0", 0, out, sizeof out));
  EXPECT_STREQ("Software\\Orvane Labs\\Tessavox Player\\3.0", out);
  ASSERT_TRUE(buildProductKeyPath("Orvane Labs", "Tessavox Player", "3.0", 1, out, sizeof out));
  EXPECT_STREQ("Software\\Orvane_Labs\\Tessavox_Player\\3.0", out);  // Win32s
  char small[20];
  EXPECT_FALSE(buildProductKeyPath("Orvane Labs", "Tessavox", "3.0", 0, small, sizeof small));
  EXPECT_STREQ("", small);
  char family[kKeyPathSize];
  ASSERT_TRUE(keyPathParent("Software\\Orvane Labs\\Tessavox Player\\3.0", 2, family, sizeof family));
  EXPECT_STREQ("Software\\Orvane Labs", family);
  EXPECT_FALSE(keyPathParent("Software", 2, family, sizeof family));
}

TEST(ProductKey, PreviousVersionInTheUninstallCommand) {
  char v[kVersionTextSize];
  const char *prefix = "Software\\Orvane Labs\\Tessavox\\";
  EXPECT_TRUE(
      previousVersionFromCommand("C:\\TX\\txuninst.exe Software\\Orvane Labs\\Tessavox\\2.0", prefix, v, sizeof v));
  EXPECT_STREQ("2.0", v);
  EXPECT_TRUE(
      previousVersionFromCommand("u.exe Software\\Orvane Labs\\Tessavox\\2.5beta1234567 -x", prefix, v, sizeof v));
  EXPECT_STREQ("2.5beta12", v);  // at most nine characters
  EXPECT_FALSE(previousVersionFromCommand("u.exe software\\orvane labs\\tessavox\\2.0", prefix, v, sizeof v));
  EXPECT_FALSE(previousVersionFromCommand("u.exe Software\\Orvane Labs\\Tessavox\\", prefix, v, sizeof v));
}

TEST(Preferences, AssignmentsSectionsAndVocabulary) {
  char name[kPrefNameSize], value[300];
  ASSERT_TRUE(splitPreferenceAssignment("NetworkLatency,5000", name, sizeof name, value, sizeof value));
  EXPECT_STREQ("NetworkLatency", name);
  EXPECT_STREQ("5000", value);
  ASSERT_TRUE(splitPreferenceAssignment("Sites,a,b", name, sizeof name, value, sizeof value));
  EXPECT_STREQ("a,b", value);
  EXPECT_FALSE(splitPreferenceAssignment("NetworkLatency 5000", name, sizeof name, value, sizeof value));
  char section[32];
  contentPresetSection(14400, 2, section, sizeof section);
  EXPECT_STREQ("Content14-2", section);
  contentPresetSection(28800, 5, section, sizeof section);
  EXPECT_STREQ("Content5", section);
  EXPECT_EQ(55, kPreferenceCount);
  EXPECT_STREQ("3000", findPreference("networklatency")->defaultText);
  EXPECT_STREQ(" ", findPreference("Scan")->defaultText);
  EXPECT_STREQ("", findPreference("URLtoHurl")->defaultText);
  EXPECT_STREQ("28800", findPreference("Bandwidth")->defaultText);
  EXPECT_STREQ("Not an entry", findPreference("NoSuchName")->name);
  EXPECT_STREQ("0", findPreference("NoSuchName")->defaultText);
}
