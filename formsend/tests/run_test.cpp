// formsend tests: whole runs of the portable program in a scratch working directory,
// with a real TCP peer: the answer, the log's frame and the exit status.
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "formsend/run.h"
#include "formsend/tests/peer.h"
#include "formsend/tests/posix_sockets.h"

namespace {

std::map<std::string, std::string> g_ini;

void lookupIni(void *, const char *key, char *out, size_t room) {
  auto it = g_ini.find(key);
  copyBounded(out, room, it == g_ini.end() ? "none" : it->second.c_str());
}

std::string readFile(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) { return "<none>"; }
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) { s.append(buf, n); }
  fclose(f);
  return s;
}

class Run : public ::testing::Test {
protected:
  char dir_[64];
  char old_[1024];
  std::string out_;
  int port_ = 1;

  void SetUp() override {
    ASSERT_NE(getcwd(old_, sizeof(old_)), nullptr);
    snprintf(dir_, sizeof(dir_), "/tmp/formsend-run-XXXXXX");
    ASSERT_NE(mkdtemp(dir_), nullptr);
    ASSERT_EQ(chdir(dir_), 0);
    reset();
    FILE *t = fopen("mail.txt", "w");
    fputs("Dear $Name$\n", t);
    fclose(t);
    g_posixReceiveTimeoutMs = 2000;
  }
  void reset() {
    unlink("Formsend.log");
    unlink("dead.letter.txt");
    g_ini = {
        {"Gateway", "127.0.0.1"}, {"Sender", "w@x"}, {"Realname", "W"}, {"MIMEncode", "no"}, {"Charset", "us-ascii"}};
  }
  void TearDown() override {
    unlink("mail.txt");
    unlink("Formsend.log");
    unlink("dead.letter.txt");
    EXPECT_EQ(chdir(old_), 0);
    rmdir(dir_);
  }
  int run(const std::string &body) {
    FILE *in = tmpfile();
    FILE *out = tmpfile();
    fwrite(body.data(), 1, body.size(), in);
    rewind(in);
    std::string length = std::to_string(body.size());
    RunContext ctx = {in, out, length.c_str(), lookupIni, NULL, posixSocketApi(), port_};
    int rc = runFormsend(&ctx);
    rewind(out);
    char buf[4096];
    size_t n = fread(buf, 1, sizeof(buf), out);
    out_.assign(buf, n);
    fclose(in);
    fclose(out);
    return rc;
  }
};

const char kForm[] = "$File$=mail.txt&$LocationOK$=ok&$LocationKO$=ko&$To$=t%40x&$Name$=Bob";

TEST_F(Run, DeliveredMail) {
  ScriptedPeer peer;
  port_ = peer.port;
  peer.start();
  EXPECT_EQ(run(kForm), 0);
  peer.wait();
  EXPECT_EQ(out_, "Location: ok\n\n");
  EXPECT_NE(peer.message.find("From: W <w@x>\r\nTo: t@x\r\nDear Bob\r\n\r\n.\r\n"), std::string::npos);
  std::string log = readFile("Formsend.log");
  const std::string head = "\n--- Quenby's Formsend V1.03\n\nHTML data retrieved from http server.\n\nLocal Host: ";
  const std::string tail = "Mail sent\nConnection closed\nProgram normally terminated\n";
  ASSERT_GE(log.size(), head.size() + tail.size());
  EXPECT_EQ(log.substr(0, head.size()), head);
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(Run, AbortPaths) {
  struct Case {
    const char *name;
    std::string body;
    const char *dropKey;
    const char *answer;
    const char *logEnd;
  };
  const Case kCases[] = {
      {"no fields", "", NULL,
       "Content-type: text/html\n\nAn internal error as occured, please inform the Webmaster!<p>",
       "Error: Some needed HTML variables were not sent by form.\nCheck your HTML form \n"},
      {"header injection", std::string(kForm) + "&$Subject$=a%0ABcc:+x", NULL, "Location: ko\n\n",
       "Refused field $Subject$: line break in its value\n"
       "Error: Some needed HTML variables were not sent by form.\nCheck your HTML form \n"},
      {"no gateway", kForm, "Gateway", "Location: ko\n\n", "Invalid FORMSEND.INI\nProgram aborted\n"},
      {"missing template", "$File$=nope.txt&$LocationOK$=ok&$LocationKO$=ko&$To$=t", NULL, "Location: ko\n\n",
       "Error: cannot open the mail template nope.txt\nProgram aborted\n"},
  };
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.name);
    reset();
    if (c.dropKey) { g_ini.erase(c.dropKey); }
    EXPECT_EQ(run(c.body), 1);
    EXPECT_EQ(out_, c.answer);
    std::string log = readFile("Formsend.log");
    std::string end = c.logEnd;
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end);
    EXPECT_EQ(readFile("dead.letter.txt"), "<none>");
  }
}

TEST_F(Run, LogCannotBeOpened) {
  ASSERT_EQ(mkdir("Formsend.log", 0700), 0);
  EXPECT_EQ(run(kForm), 1);
  EXPECT_EQ(out_, "Content-type: text/html\n\nAn internal error as occured, please inform the Webmaster!<p>");
  rmdir("Formsend.log");
}

}  // namespace
