// Native tests of the browser link's rules: which browser is asked and when it is
// asked again, the items sent, the answers taken, the start of the HTML handler and
// the first-run visit. DDE and the process start are a scripted table of running
// browsers here; the Wine test drives the real ones.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "player/browser_link.h"
#include "player/player_prefs.h"
#include "common/tests/memory_registry.h"

namespace {

const char kPrefs[] = "Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences\\";

// One registry per test: the fixtures and the tests below set and read it.
MemoryRegistry *gRegistry;

void setPref(const char *name, const char *text) {
  registryWriteText(gRegistry->api(), kClassesRoot, (std::string(kPrefs) + name).c_str(), nullptr, text);
}

// Browsers by service name: which run, what they answer, and what was asked of them.
struct Browsers {
  std::set<std::string> running;
  std::string startsService;  // the service a started program brings up ("" for none)
  bool startWorks = true;
  std::vector<unsigned char> openAnswer{1, 0, 0, 0};
  std::string fileAnswer;  // "" for no data
  bool initWorks = true;
  unsigned long flags = 0;
  std::vector<std::string> log;  // "connect S T", "request S ITEM", "start LINE"
  int open = 0;                  // conversations not yet ended
};
Browsers *gBrowsers;

struct Conversation {
  std::string service, topic;
};

int fakeInitialize(void *, unsigned long flags) {
  gBrowsers->flags = flags;
  return gBrowsers->initWorks;
}
void fakeUninitialize(void *) {}
DdeConversation fakeConnect(void *, const char *service, const char *topic) {
  gBrowsers->log.push_back(std::string("connect ") + service + " " + topic);
  if (!gBrowsers->running.count(service)) return nullptr;
  ++gBrowsers->open;
  return new Conversation{service, topic};
}
void fakeDisconnect(void *, DdeConversation c) {
  --gBrowsers->open;
  delete (Conversation *)c;
}
long fakeRequest(void *, DdeConversation c, const char *item, unsigned long timeout, void *out, size_t room) {
  Conversation *conversation = (Conversation *)c;
  EXPECT_EQ(60000u, timeout);
  gBrowsers->log.push_back("request " + conversation->topic + " " + item);
  std::vector<unsigned char> data;
  if (conversation->topic == "WWW_OpenURL") data = gBrowsers->openAnswer;
  if (conversation->topic == "WWW_QueryURLFile" && !gBrowsers->fileAnswer.empty())
    data.assign(gBrowsers->fileAnswer.begin(), gBrowsers->fileAnswer.end());
  if (data.empty()) return -1;
  memcpy(out, data.data(), data.size() < room ? data.size() : room);
  return (long)data.size();
}
int fakeStart(void *, const char *line) {
  gBrowsers->log.push_back(std::string("start ") + line);
  if (!gBrowsers->startWorks) return 0;
  if (!gBrowsers->startsService.empty()) gBrowsers->running.insert(gBrowsers->startsService);
  return 1;
}

const DdeApi kDde = {nullptr, fakeInitialize, fakeUninitialize, fakeConnect, fakeDisconnect, fakeRequest};
const ShellApi kShell = {nullptr, fakeStart};

struct Link : ::testing::Test {
  Browsers browsers;
  MemoryRegistry registry;
  ProductPrefs store{registry.api(), kPlayerRegistrationName, kPlayerVersion, 0};
  BrowserLink link;
  void SetUp() override {
    gBrowsers = &browsers;
    gRegistry = &registry;
    initBrowserLink(&link, &kDde, &kShell, registry.api(), &store);
    ASSERT_TRUE(InitDde(&link));
  }
  void TearDown() override {
    EndDde(&link);
    EXPECT_EQ(0, browsers.open) << "every conversation is ended";
  }
  void registerHtml(const char *ext, const char *command) {
    registryWriteText(registry.api(), kClassesRoot, ext, nullptr, "HtmlDefBrowser");
    registryWriteText(registry.api(), kClassesRoot, "HtmlDefBrowser\\shell\\open\\command", nullptr, command);
  }
  std::vector<std::string> starts() const {
    std::vector<std::string> s;
    for (const std::string &line : browsers.log)
      if (line.compare(0, 6, "start ") == 0) s.push_back(line.substr(6));
    return s;
  }
};

TEST_F(Link, TheFirstAnsweringBrowserIsCachedUntilItStopsAnswering) {
  EXPECT_EQ((unsigned long)kDdeSkipAllNotifications, browsers.flags);
  EXPECT_EQ(0x3C0000u, browsers.flags);
  setPref("Browser1", " ");  // the default: nothing to ask
  setPref("Browser2", "Gone");
  setPref("Browser3", "Second");
  setPref("Browser4", "Third");
  browsers.running = {"Second", "Third"};
  ASSERT_TRUE(FindBrowser(&link));
  EXPECT_STREQ("Second", link.service);
  EXPECT_EQ((std::vector<std::string>{"connect Gone WWW_Version", "connect Second WWW_Version"}), browsers.log);

  browsers.log.clear();
  ASSERT_TRUE(OpenUrlByDde(&link, "http://a.example/"));
  EXPECT_EQ((std::vector<std::string>{"connect Second WWW_OpenURL",
                                      "request WWW_OpenURL \"http://a.example/\",,4294967295,0,,,,"}),
            browsers.log);

  // The cached browser ended: it is looked for again, and the next one takes it.
  browsers.running.erase("Second");
  browsers.log.clear();
  ASSERT_TRUE(OpenUrlByDde(&link, "http://b.example/"));
  EXPECT_STREQ("Third", link.service);
  EXPECT_EQ((std::vector<std::string>{"connect Second WWW_OpenURL", "connect Gone WWW_Version",
                                      "connect Second WWW_Version", "connect Third WWW_Version",
                                      "connect Third WWW_OpenURL",
                                      "request WWW_OpenURL \"http://b.example/\",,4294967295,0,,,,"}),
            browsers.log);

  browsers.running.clear();
  EXPECT_FALSE(OpenUrlByDde(&link, "http://c.example/"));
  EXPECT_STREQ("", link.service);
}

TEST_F(Link, OnlyANonzeroWindowNumberCountsAsShown) {
  setPref("Browser1", "B");
  browsers.running = {"B"};
  browsers.openAnswer = {0, 0, 0, 0};
  EXPECT_FALSE(OpenUrlByDde(&link, "http://a.example/"));
  browsers.openAnswer = {0, 0, 0, 0x80};
  EXPECT_TRUE(OpenUrlByDde(&link, "http://a.example/"));
  browsers.openAnswer = {7};  // a short answer counts as what it holds
  EXPECT_TRUE(OpenUrlByDde(&link, "http://a.example/"));
  browsers.openAnswer.clear();  // no data
  EXPECT_FALSE(OpenUrlByDde(&link, "http://a.example/"));

  BrowserLink without;
  initBrowserLink(&without, &kDde, &kShell, registry.api(), &store);
  browsers.initWorks = false;
  EXPECT_FALSE(InitDde(&without));
  browsers.log.clear();
  EXPECT_FALSE(OpenUrlByDde(&without, "http://a.example/"));
  EXPECT_TRUE(browsers.log.empty()) << "no DDE step without the client";
}

TEST_F(Link, QueryUrlOfFileStripsTheQuotesAndCutsAtZero) {
  setPref("Browser1", "B");
  browsers.running = {"B"};
  char url[kBrowserUrlSize];
  browsers.fileAnswer = std::string("\"http://dl.example/a.tx\"") + '\0' + "junk";
  ASSERT_TRUE(QueryUrlOfFile(&link, "C:\\clips\\a.tx", url, sizeof url));
  EXPECT_STREQ("http://dl.example/a.tx", url);
  EXPECT_EQ("request WWW_QueryURLFile \"C:\\clips\\a.tx\"", browsers.log.back());
  browsers.fileAnswer = "\"";  // one quote is not a quoted text
  ASSERT_TRUE(QueryUrlOfFile(&link, "C:\\clips\\a.tx", url, sizeof url));
  EXPECT_STREQ("\"", url);
  browsers.fileAnswer = "http://plain.example/b";
  char small[8];
  ASSERT_TRUE(QueryUrlOfFile(&link, "C:\\b.tx", small, sizeof small));
  EXPECT_STREQ("http://", small);
  browsers.fileAnswer.clear();
  EXPECT_FALSE(QueryUrlOfFile(&link, "C:\\b.tx", url, sizeof url));
  for (std::string empty : {std::string(1, '\0'), std::string("\"\"")}) {  // an empty text is no URL either
    browsers.fileAnswer = empty;
    EXPECT_FALSE(QueryUrlOfFile(&link, "C:\\b.tx", url, sizeof url));
  }

  // The preset URL is asked only for a clip opened as a local file.
  browsers.fileAnswer = "\"http://dl.example/p.tx\"";
  browsers.log.clear();
  EXPECT_FALSE(PresetUrlFromFile(&link, 0, "C:\\p.tx", url, sizeof url));
  EXPECT_FALSE(PresetUrlFromFile(&link, 1, "", url, sizeof url));
  EXPECT_TRUE(browsers.log.empty());
  ASSERT_TRUE(PresetUrlFromFile(&link, 1, "C:\\p.tx", url, sizeof url));
  EXPECT_STREQ("http://dl.example/p.tx", url);
}

TEST_F(Link, TheHandlerIsStartedWithTheUrlInPlaceOfPercentOne) {
  registerHtml(".htm", "C:\\web\\browser.exe -nohome \"%1\"");
  ASSERT_TRUE(OpenInBrowser(&link, "http://a.example/x"));
  EXPECT_EQ((std::vector<std::string>{"C:\\web\\browser.exe -nohome \"http://a.example/x\""}), starts());

  // Nothing to start: no DDE browser, no handler.
  registry.keys.clear();
  browsers.log.clear();
  EXPECT_FALSE(OpenInBrowser(&link, "http://a.example/x"));
  EXPECT_TRUE(starts().empty());

  // ".HTML" serves when ".HTM" is not registered.
  registerHtml(".html", "C:\\web\\other.exe %1");
  ASSERT_TRUE(ShellOpen(&link, "http://b.example/"));
  EXPECT_EQ("C:\\web\\other.exe http://b.example/", starts().back());
}

TEST_F(Link, AnyOtherPercentInTheCommandStaysAsItIs) {
  // Every "%1" becomes the URL; "%s", "%d" and "%%" are the command's own text.
  registerHtml(".htm", "C:\\100%s\\b.exe -p %d%% \"%1\" -again %1");
  ASSERT_TRUE(ShellOpen(&link, "http://a.example/%41%s"));
  EXPECT_EQ("C:\\100%s\\b.exe -p %d%% \"http://a.example/%41%s\" -again http://a.example/%41%s", starts().back());
  char out[12];
  EXPECT_FALSE(fillCommand("run %1", "http://long.example/", out, sizeof out));
  EXPECT_STREQ("", out);
  ASSERT_TRUE(fillCommand("%", "x", out, sizeof out));
  EXPECT_STREQ("%", out);
}

TEST_F(Link, AQuoteInTheUrlCannotEndItsArgumentOrItem) {
  registerHtml(".htm", "C:\\web\\browser.exe \"%1\"");
  const char *hostile = "http://evil.example/\" -exec \"calc.exe";
  ASSERT_TRUE(OpenInBrowser(&link, hostile));
  EXPECT_EQ("C:\\web\\browser.exe \"http://evil.example/%22 -exec %22calc.exe\"", starts().back());

  setPref("Browser1", "B");
  browsers.running = {"B"};
  ASSERT_TRUE(OpenInBrowser(&link, "http://x.example/\"\r\n,,1,0"));
  EXPECT_EQ("request WWW_OpenURL \"http://x.example/%22%0D%0A,,1,0\",,4294967295,0,,,,", browsers.log.back());
}

TEST_F(Link, ACommandWithoutPercentOneStartsAndTheUrlFollowsOverDde) {
  registerHtml(".htm", "C:\\web\\browser.exe -dde");
  setPref("Browser1", "Started");
  browsers.startsService = "Started";
  ASSERT_TRUE(OpenInBrowser(&link, "http://a.example/"));
  EXPECT_EQ((std::vector<std::string>{"C:\\web\\browser.exe -dde"}), starts());
  EXPECT_EQ("request WWW_OpenURL \"http://a.example/\",,4294967295,0,,,,", browsers.log.back());

  // Started but never answering: the page did not go anywhere.
  EndDde(&link);
  InitDde(&link);
  browsers.running.clear();
  browsers.startsService.clear();
  EXPECT_FALSE(OpenInBrowser(&link, "http://a.example/"));

  // A "%1" command that does not start is tried once more with an empty text, and the
  // URL then goes over DDE.
  registerHtml(".htm", "C:\\web\\browser.exe \"%1\"");
  browsers.startWorks = false;
  browsers.log.clear();
  EXPECT_FALSE(OpenInBrowser(&link, "http://a.example/"));
  EXPECT_EQ((std::vector<std::string>{"C:\\web\\browser.exe \"http://a.example/\"", "C:\\web\\browser.exe \"\""}),
            starts());
}

int answerYes(void *asked) {
  ++*(int *)asked;
  return 1;
}
int answerNo(void *asked) {
  ++*(int *)asked;
  return 0;
}

TEST_F(Link, FirstRunVisitSetsTheFlagOnlyWhenThePageWasShown) {
  setPref("Browser1", "B");
  browsers.running = {"B"};
  PlayerPrefs prefs;
  initPlayerPrefs(&prefs);
  int asked = 0;
  EXPECT_FALSE(FirstRunVisit(&link, &prefs.visited, answerNo, &asked));
  EXPECT_EQ(1, asked);
  EXPECT_FALSE(prefs.visited);
  EXPECT_FALSE(FirstRunVisit(&link, &prefs.visited, answerYes, &asked));  // no URLtoHurl
  EXPECT_FALSE(prefs.visited);
  setPref("URLtoHurl", "http://sondrel.example/welcome.htm");
  browsers.openAnswer = {0, 0, 0, 0};  // the browser did not show it
  EXPECT_FALSE(FirstRunVisit(&link, &prefs.visited, answerYes, &asked));
  EXPECT_FALSE(prefs.visited);
  browsers.openAnswer = {3, 0, 0, 0};
  EXPECT_TRUE(FirstRunVisit(&link, &prefs.visited, answerYes, &asked));
  EXPECT_TRUE(prefs.visited);
  EXPECT_EQ("request WWW_OpenURL \"http://sondrel.example/welcome.htm\",,4294967295,0,,,,", browsers.log.back());
  asked = 0;
  EXPECT_FALSE(FirstRunVisit(&link, &prefs.visited, answerYes, &asked));
  EXPECT_EQ(0, asked) << "no question once visited";
}

}  // namespace
