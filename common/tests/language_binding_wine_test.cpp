// Tests of the language look-up bound to Windows, run under Wine with the real German
// library TXDE.DLL and the prefix's registry: the library's language from its version
// resource, its import, strings, dialog templates, bitmaps and fonts taken from it,
// and everything falling back to the program once Locale names another language.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/language_resources.h"

namespace {

// Numbers of the setup's resources that the German library carries.
const UINT kNameBlankText = 3277;
const int kWelcomePage = 3206, kSidePicture = 3202;
const UINT kNoSuchText = 3549;

// The library as the build made it, by its Windows name (drive Z: is the Linux root).
std::string libraryPath() {
  std::string path = "Z:" TXDE_PATH;
  for (char &c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string faceOf(HGDIOBJ font) {
  LOGFONTA f = {};
  if (!GetObjectA(font, sizeof f, &f)) return "<no font>";
  return f.lfFaceName;
}

HFONT pageFont(const char *face) {
  return languageCreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_SWISS, face);
}

std::string registryText(const char *path) {
  char text[64];
  return registryReadText(platformRegistry(), kClassesRoot, path, nullptr, text, sizeof text) ? text : "<missing>";
}

// 1 when the key exists and holds neither subkeys nor values.
bool emptyKey(const char *path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return subkeys == 0 && values == 0;
}

// The parents the language keys are made under; the prefix is shared with every other
// test, so those made here are removed again when nothing else is in them.
const char *const kParents[] = {"Software\\Orvane Labs", "Software"};

class LanguageBinding : public ::testing::Test {
protected:
  void SetUp() override {
    for (int i = 0; i < 2; ++i) hadParent[i] = platformRegistry()->keyExists(kClassesRoot, kParents[i]);
    platformRegistry()->deleteTree(kClassesRoot, kLanguagesKey);
  }
  void TearDown() override {
    languageRelease();
    platformRegistry()->deleteTree(kClassesRoot, kLanguagesKey);
    for (int i = 0; i < 2; ++i)
      if (!hadParent[i] && emptyKey(kParents[i])) RegDeleteKeyA(HKEY_CLASSES_ROOT, kParents[i]);
  }
  int hadParent[2] = {0, 0};
};

}  // namespace

TEST_F(LanguageBinding, TheGermanLibraryIsItsLanguagesFirstChoiceUntilLocaleMovesOn) {
  HINSTANCE program = GetModuleHandleA(nullptr);
  ASSERT_EQ(1031, languageOfFile(libraryPath().c_str()));
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  EXPECT_EQ(-1, languageOfFile(self));  // no version resource: not a language library

  // Imported from its own directory, whatever the current directory is.
  char before[MAX_PATH];
  GetCurrentDirectoryA(sizeof before, before);
  SetCurrentDirectoryA("C:\\");
  ASSERT_EQ(kSatelliteRegistered, registerSatellite(libraryPath().c_str(), 1, nullptr, nullptr));
  char after[MAX_PATH];
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ("C:\\", after);
  SetCurrentDirectoryA(before);
  HMODULE german = GetModuleHandleA("TXDE.DLL");
  ASSERT_NE(nullptr, german);
  EXPECT_EQ("1031", registryText(kLocaleKey));
  EXPECT_EQ("0", registryText("Software\\Orvane Labs\\Languages\\32bit\\1031"));
  EXPECT_FALSE(platformRegistry()->keyExists(kClassesRoot, "Software\\Orvane Labs\\Languages\\32bit\\1031\\TXDE.DLL"));

  char text[256];
  ASSERT_TRUE(languageLoadString(program, kNameBlankText, text, sizeof text));
  EXPECT_STREQ("Das Feld Name darf nicht leer sein.", text);
  EXPECT_FALSE(languageLoadString(program, kNoSuchText, text, sizeof text));
  EXPECT_STREQ("", text);
  HINSTANCE holder;
  LPCDLGTEMPLATEA page;
  ASSERT_TRUE(languageFindDialog(program, MAKEINTRESOURCEA(kWelcomePage), &holder, &page));
  EXPECT_EQ((HINSTANCE)german, holder);
  HBITMAP side = languageLoadBitmap(program, MAKEINTRESOURCEA(kSidePicture));
  BITMAP b = {};
  ASSERT_TRUE(side && GetObjectA(side, sizeof b, &b));
  EXPECT_EQ(128, b.bmWidth);
  EXPECT_EQ(200, b.bmHeight);
  DeleteObject(side);
  EXPECT_EQ(nullptr, languageLoadMenu(program, "MAINMENU"));  // neither has one

  HFONT font = pageFont("MS Sans Serif");
  EXPECT_EQ("Liberation Sans Narrow", faceOf(font));
  DeleteObject(font);
  font = pageFont("Times New Roman");
  EXPECT_EQ("Times New Roman", faceOf(font));
  DeleteObject(font);
  EXPECT_EQ("Liberation Sans Narrow", faceOf(languageStockFont(SYSTEM_FONT)));
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), languageStockFont(WHITE_BRUSH));
  EXPECT_EQ(0, languageChanged());

  // Another program chooses the default language: the library is freed and every
  // look-up ends in the program itself and the platform's fonts.
  ASSERT_TRUE(registryWriteText(platformRegistry(), kClassesRoot, kLocaleKey, nullptr, "1024"));
  EXPECT_EQ(1, languageChanged());
  EXPECT_EQ(nullptr, GetModuleHandleA("TXDE.DLL"));
  EXPECT_FALSE(languageLoadString(program, kNameBlankText, text, sizeof text));
  EXPECT_FALSE(languageFindDialog(program, MAKEINTRESOURCEA(kWelcomePage), &holder, &page));
  font = pageFont("MS Sans Serif");
  EXPECT_EQ("MS Sans Serif", faceOf(font));
  DeleteObject(font);
  EXPECT_EQ(GetStockObject(SYSTEM_FONT), languageStockFont(SYSTEM_FONT));
}

TEST_F(LanguageBinding, AFileGroupSatelliteIsCountedAndLoggedButLoadsOnlyForItsLocale) {
  std::vector<std::string> logged;
  auto log = [](void *context, const char *key) { ((std::vector<std::string> *)context)->push_back(key); };
  ASSERT_EQ(kSatelliteRegistered, registerSatellite(libraryPath().c_str(), 0, log, &logged));
  ASSERT_EQ(2u, logged.size());
  EXPECT_EQ("Software\\Orvane Labs\\Languages\\32bit\\1031\\TXDE.dll", logged[0]);
  EXPECT_EQ("Software\\Orvane Labs\\Languages\\32bit\\1031", logged[1]);
  EXPECT_EQ("1", registryText(logged[0].c_str()));
  EXPECT_EQ("<missing>", registryText(kLocaleKey));
  char text[256];
  EXPECT_FALSE(languageLoadString(GetModuleHandleA(nullptr), kNameBlankText, text, sizeof text));

  // Once Locale says German, the registered file is loaded by its name: from the
  // directory it was installed to, when that is current.
  std::string directory = libraryPath().substr(0, libraryPath().rfind('\\'));
  char before[MAX_PATH];
  GetCurrentDirectoryA(sizeof before, before);
  SetCurrentDirectoryA(directory.c_str());
  registryWriteText(platformRegistry(), kClassesRoot, kLocaleKey, nullptr, "1031");
  EXPECT_TRUE(languageLoadString(GetModuleHandleA(nullptr), kNameBlankText, text, sizeof text));
  SetCurrentDirectoryA(before);
  EXPECT_STREQ("Das Feld Name darf nicht leer sein.", text);
}
