// The browser link's bindings under Wine, against the stand-in browser (txbrowser)
// running as a separate process: real DDE conversations, the real registry and real
// process starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "common/registry_api.h"
#include "player/browser_link.h"
#include "player/clip_list.h"
#include "player/player_prefs.h"

namespace {

// A Linux path of the build as Wine sees it (drive Z: is the Linux root).
std::string buildPath(const char *relative) {
  const char *build = getenv("TX_BUILD");
  std::string path = std::string("Z:") + (build ? build : "") + "/" + relative;
  for (char &c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string readFile(const std::string &path) {
  std::string text;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

// One stand-in browser process, ended by closing its window.
struct Browser {
  PROCESS_INFORMATION process{};
  std::string service, log;
  bool start(const char *name, const char *extra = "") {
    service = name;
    log = buildPath((std::string("player/") + name + ".log").c_str());
    DeleteFileA(log.c_str());
    char line[2048];
    snprintf(line, sizeof line, "\"%s\" -service %s -log \"%s\" %s", buildPath("outside/txbrowser.exe").c_str(), name,
             log.c_str(), extra);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    WaitForInputIdle(process.hProcess, 30000);
    return true;
  }
  void stop() {
    if (!process.hProcess) return;
    std::string title = "TX Browser - " + service;
    HWND window = FindWindowA(nullptr, title.c_str());
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
  }
  ~Browser() { stop(); }
};

struct WineLink : ::testing::Test {
  ProductPrefs store{platformRegistry(), kPlayerRegistrationName, kPlayerVersion, 0};
  BrowserLink link;
  void SetUp() override {
    for (const char *name : {"Browser1", "Browser2", "Browser3"}) {
      std::string path = std::string(store.keyPath()) + "\\Preferences\\" + name;
      platformRegistry()->deleteTree(kClassesRoot, path.c_str());
    }
    initBrowserLink(&link, platformDde(nullptr), platformShell(), platformRegistry(), &store);
    ASSERT_TRUE(InitDde(&link));
  }
  void TearDown() override { EndDde(&link); }
};

TEST_F(WineLink, OpenUrlAndQueryUrlFileReachARunningBrowser) {
  std::string downloads = buildPath("player/link_downloads.txt");
  FILE *f = fopen(downloads.c_str(), "wb");
  ASSERT_TRUE(f);
  fprintf(f, "C:\\clips\\a.tx|http://dl.example/a.tx\r\n");
  fclose(f);
  Browser browser;
  ASSERT_TRUE(browser.start("TXLinkWine", ("-downloads \"" + downloads + "\"").c_str()));
  store.write("Browser1", "TXLinkNobody");
  store.write("Browser2", "TXLinkWine");

  ASSERT_TRUE(OpenUrlByDde(&link, "http://a.example/page.htm"));
  EXPECT_STREQ("TXLinkWine", link.service);
  char url[kBrowserUrlSize];
  ASSERT_TRUE(QueryUrlOfFile(&link, "C:\\clips\\a.tx", url, sizeof url));
  EXPECT_STREQ("http://dl.example/a.tx", url);
  EXPECT_FALSE(QueryUrlOfFile(&link, "C:\\clips\\unknown.tx", url, sizeof url));
  std::string log = readFile(browser.log);
  EXPECT_NE(std::string::npos, log.find("request WWW_OpenURL \"http://a.example/page.htm\",,4294967295,0,,,,\r\n"))
      << log;
  EXPECT_NE(std::string::npos, log.find("request WWW_QueryURLFile \"C:\\clips\\a.tx\"\r\n")) << log;

  // A DDE item is an atom of at most 255 characters: a longer URL cannot go this way
  // (OpenInBrowser then starts the HTML handler with it).
  EXPECT_FALSE(OpenUrlByDde(&link, ("http://a.example/" + std::string(250, 'x')).c_str()));
  EXPECT_STREQ("TXLinkWine", link.service) << "the browser still answers";

  // The browser ends: the cached service no longer answers and nothing else runs.
  browser.stop();
  EXPECT_FALSE(OpenUrlByDde(&link, "http://a.example/again.htm"));
  EXPECT_STREQ("", link.service);
}

TEST_F(WineLink, AWindowNumberOfZeroIsNotShown) {
  Browser browser;
  ASSERT_TRUE(browser.start("TXLinkZero", "-window 0"));
  store.write("Browser1", "TXLinkZero");
  EXPECT_FALSE(OpenUrlByDde(&link, "http://a.example/"));
  EXPECT_NE(std::string::npos, readFile(browser.log).find("answer WWW_OpenURL 0"));
}

// ".htm" points at the stand-in for one test, and back at what it was after.
struct HtmlHandler {
  char saved[kBrowserCommandSize] = "";
  int had = 0;
  HtmlHandler() { had = registryReadText(platformRegistry(), kClassesRoot, ".htm", nullptr, saved, sizeof saved); }
  void set(const std::string &command) {
    registryWriteText(platformRegistry(), kClassesRoot, ".htm", nullptr, "TXLinkHtml");
    registryWriteText(platformRegistry(), kClassesRoot, "TXLinkHtml\\shell\\open\\command", nullptr, command.c_str());
  }
  ~HtmlHandler() {
    if (had) registryWriteText(platformRegistry(), kClassesRoot, ".htm", nullptr, saved);
    else platformRegistry()->deleteTree(kClassesRoot, ".htm");
    platformRegistry()->deleteTree(kClassesRoot, "TXLinkHtml");
  }
};

// Waits until the file holds the text (the started browser writes it); the file's text.
std::string waitFor(const std::string &path, const char *text) {
  std::string log;
  for (int i = 0; i < 300 && (log = readFile(path)).find(text) == std::string::npos; ++i) Sleep(100);
  return log;
}

TEST_F(WineLink, TheHtmlHandlerStartsWithTheUrlOrTakesItOverDde) {
  HtmlHandler handler;
  std::string exe = buildPath("outside/txbrowser.exe");
  std::string log = buildPath("player/TXLinkShell.log");
  DeleteFileA(log.c_str());
  handler.set("\"" + exe + "\" -service TXLinkShell -log \"" + log + "\" -tag 100%s%d \"%1\"");
  store.write("Browser1", "TXLinkNobody");
  ASSERT_TRUE(OpenInBrowser(&link, "http://evil.example/\" -service Evil"));
  std::string text = waitFor(log, "url ");
  EXPECT_NE(std::string::npos, text.find("-tag 100%s%d \"http://evil.example/%22 -service Evil\"\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("url http://evil.example/%22 -service Evil\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("start TXLinkShell ")) << text;
  HWND window = FindWindowA(nullptr, "TX Browser - TXLinkShell");
  ASSERT_TRUE(window);
  PostMessageA(window, WM_CLOSE, 0, 0);
  waitFor(log, "end TXLinkShell");

  // Without "%1" the handler starts as it stands and the URL follows over DDE.
  std::string dde = buildPath("player/TXLinkDde.log");
  DeleteFileA(dde.c_str());
  handler.set("\"" + exe + "\" -service TXLinkDde -log \"" + dde + "\"");
  store.write("Browser1", "TXLinkDde");
  ASSERT_TRUE(OpenInBrowser(&link, "http://a.example/after-start.htm"));
  text = readFile(dde);
  EXPECT_EQ(std::string::npos, text.find("url ")) << text;
  EXPECT_NE(std::string::npos, text.find("request WWW_OpenURL \"http://a.example/after-start.htm\",,4294967295,0,,,,"))
      << text;
  window = FindWindowA(nullptr, "TX Browser - TXLinkDde");
  ASSERT_TRUE(window);
  PostMessageA(window, WM_CLOSE, 0, 0);
  waitFor(dde, "end TXLinkDde");
}

TEST(WinePaths, FileClipsGetTheirFullPath) {
  char here[MAX_PATH];
  ASSERT_TRUE(GetCurrentDirectoryA(sizeof here, here));
  ClipList *list = new ClipList;
  clearClipList(list);
  addRecent(list, 4, "Local", "file:clip.tx", platformFullPath);
  std::string expected = std::string("file:") + here + (here[strlen(here) - 1] == '\\' ? "" : "\\") + "clip.tx";
  EXPECT_STREQ(expected.c_str(), list->items[0].url);
  delete list;
}

}  // namespace
