// formsend tests: the SMTP dialogue, replies, outcomes and dead letters, over real TCP
// sockets against a scripted peer.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "formsend/smtp.h"
#include "formsend/tests/peer.h"
#include "formsend/tests/posix_sockets.h"

namespace {

std::string readAll(FILE *f) {
  std::string s;
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) { s.append(buf, n); }
  return s;
}

std::string readFile(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) { return "<none>"; }
  std::string s = readAll(f);
  fclose(f);
  return s;
}

// Runs each test in a fresh working directory (dead.letter.txt lands there).
class Smtp : public ::testing::Test {
protected:
  char dir_[64];
  char old_[1024];
  FILE *log_ = nullptr;
  FILE *out_ = nullptr;
  MailJob job_;
  FormSettings settings_;
  Text plain_, encoded_;

  void SetUp() override {
    ASSERT_NE(getcwd(old_, sizeof(old_)), nullptr);
    snprintf(dir_, sizeof(dir_), "/tmp/formsend-smtp-XXXXXX");
    ASSERT_NE(mkdtemp(dir_), nullptr);
    ASSERT_EQ(chdir(dir_), 0);
    log_ = tmpfile();
    out_ = tmpfile();
    clearRecords(&settings_, &job_);
    copyBounded(job_.gateway, kAddressSize, "127.0.0.1");
    copyBounded(job_.senderAddress, kAddressSize, "s@x");
    copyBounded(job_.charset, kCharsetSize, "us-ascii");
    textInit(&plain_);
    textInit(&encoded_);
    textAppendString(&plain_, "From: A <s@x>\nTo: t1\n\nbody\n");
    textAppendString(&encoded_, "QP body\r\n");
    g_posixReceiveTimeoutMs = 2000;
    g_posixLoadFails = 0;
  }
  void TearDown() override {
    fclose(log_);
    fclose(out_);
    textFree(&plain_);
    textFree(&encoded_);
    unlink("dead.letter.txt");
    EXPECT_EQ(chdir(old_), 0);
    rmdir(dir_);
  }
  // Recipients in table order.
  void table(std::initializer_list<const char *> cc, std::initializer_list<const char *> bcc,
             std::initializer_list<const char *> to) {
    int n = 0;
    for (const char *a : cc) copyBounded(job_.recipients[n++], kAddressSize, a);
    for (const char *a : bcc) copyBounded(job_.recipients[n++], kAddressSize, a);
    for (const char *a : to) copyBounded(job_.recipients[n++], kAddressSize, a);
    job_.ccCount = (int)cc.size();
    job_.bccCount = (int)bcc.size();
    job_.toCount = (int)to.size();
  }
  DeliveryResult deliver(ScriptedPeer &peer) {
    peer.start();
    DeliveryIo io = {log_, out_, "OK", "KO"};
    DeliveryResult r = deliverMail(posixSocketApi(), &job_, &plain_, &encoded_, &io, peer.port);
    peer.wait();
    return r;
  }
  std::string log() { return readAll(log_); }
  std::string out() { return readAll(out_); }
  std::string connectedLog() {
    return "Local Host: " + std::string(job_.localHost) + "\n\nRemote Host Name: " + job_.gatewayName +
           "\nIP Address: 127.0.0.1\n\nConnected to remote SMTP port:\n";
  }
};

TEST(SocketErrorText, TableAndUnknown) {
  struct Case {
    int code;
    const char *text;
  };
  static const Case kCases[] = {
      {10004, "Interrupted system call"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10047, "Address family not supported by protocol family"},
      {11001, "Host not found"},
      {11004, "No data record available"},
      {10093, "Not initialized"},
      {0, "Unknown"},
      {10000, "Unknown"},
      {10090, "Unknown"},
  };
  for (const Case &c : kCases) { EXPECT_STREQ(socketErrorText(c.code), c.text) << c.code; }
}

TEST_F(Smtp, SuccessSendsCommandsInTableOrder) {
  table({"c2", "c1"}, {"b1"}, {"t2", "t1"});
  ScriptedPeer peer;
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  std::vector<std::string> expected = {"HELO " + std::string(job_.localHost),
                                       "MAIL FROM: s@x",
                                       "RCPT TO: c2",
                                       "RCPT TO: c1",
                                       "RCPT TO: b1",
                                       "RCPT TO: t2",
                                       "RCPT TO: t1",
                                       "DATA",
                                       "QUIT"};
  EXPECT_EQ(peer.commands, expected);
  EXPECT_EQ(peer.message,
            "X-mailer: Quenby's Formsend V1.03\r\nMime-Version: 1.0\r\n"
            "Content-type: text/plain; charset=\"us-ascii\"\r\n"
            "Content-transfer-encoding: 8bit\r\n"
            "From: A <s@x>\r\nTo: t1\r\n\r\nbody\r\n\r\n.\r\n");
  EXPECT_EQ(out(), "Location: OK\n\n");
  std::string l = connectedLog() + "220 peer ready\r\n\nSending HELO " + job_.localHost +
                  "...\n250 peer\r\n\nSending MAIL FROM: s@x...\n250 OK\r\n\n";
  for (const char *r : {"c2", "c1", "b1", "t2", "t1"}) {
    l += std::string("Sending RCPT TO: ") + r + "...\n250 OK\r\n\n";
  }
  l += "Sending DATA...\n354 go\r\n\nOK, let's go to send the mail, now...\n250 sent\r\n\n"
       "Sending QUIT...\n221 bye\r\n\nMail sent\nConnection closed\n";
  EXPECT_EQ(log(), l);
  EXPECT_EQ(readFile("dead.letter.txt"), "<none>");
}

TEST_F(Smtp, EncodedTextWhenEncodeFlagIsSet) {
  table({}, {}, {"t1"});
  job_.encode = 1;
  ScriptedPeer peer;
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  EXPECT_NE(peer.message.find("Content-transfer-encoding: Quoted-Printable\r\nQP body\r\n\r\n.\r\n"),
            std::string::npos);
}

TEST_F(Smtp, LongMessageGoesInPiecesWhole) {
  table({}, {}, {"t1"});
  textFree(&plain_);
  textInit(&plain_);
  std::string big;
  for (int i = 0; i < 5000; ++i) { big += "line " + std::to_string(i) + "\n"; }
  textAppendString(&plain_, big.c_str());
  ScriptedPeer peer;
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  std::string wire;
  for (char c : big) { wire += c == '\n' ? "\r\n" : std::string(1, c); }
  ASSERT_GT(peer.message.size(), wire.size() + 5);
  EXPECT_TRUE(peer.message.compare(peer.message.size() - wire.size() - 5, std::string::npos, wire + "\r\n.\r\n") == 0);
}

// 8-bit sending: a line longer than SMTP's 998 octets sends the whole message
// quoted-printable (the encoded text, whose lines are at most 79 characters); a line
// of exactly 998 stays 8-bit. The log says which.
TEST_F(Smtp, OverlongLineSendsTheMessageQuotedPrintable) {
  struct Case {
    size_t line;
    bool quoted;
  } cases[] = {{998, false}, {999, true}, {5000, true}};
  for (const Case &c : cases) {
    table({}, {}, {"t1"});
    textFree(&plain_);
    textInit(&plain_);
    std::string plain = "From: A <s@x>\nTo: t1\n\nshort\n" + std::string(c.line, 'L') + "\nend\n";
    textAppendString(&plain_, plain.c_str());
    job_.encode = 0;
    ScriptedPeer peer;
    ASSERT_EQ(deliver(peer), kDeliveryDone) << c.line;
    const std::string note = "A line is longer than 998 characters: sending the mail quoted-printable\n";
    if (c.quoted) {
      EXPECT_NE(peer.message.find("Content-transfer-encoding: Quoted-Printable\r\nQP body\r\n\r\n.\r\n"),
                std::string::npos)
          << c.line;
      EXPECT_NE(log().find("354 go\r\n\n" + note + "OK, let's go to send the mail, now...\n"), std::string::npos);
    } else {
      EXPECT_NE(peer.message.find("Content-transfer-encoding: 8bit\r\nFrom: A <s@x>\r\n"), std::string::npos);
      EXPECT_NE(peer.message.find("\r\n" + std::string(c.line, 'L') + "\r\nend\r\n"), std::string::npos);
      EXPECT_EQ(log().find(note), std::string::npos);
    }
    EXPECT_EQ(out().substr(out().size() - 14), "Location: OK\n\n") << c.line;
    EXPECT_EQ(readFile("dead.letter.txt"), "<none>");
  }
}

struct OutcomeCase {
  const char *name;
  const char *step;     // the reply that is changed
  const char *reply;    // its new text
  const char *outcome;  // the log's last lines
  const char *answer;   // standard output
  int deadLetter;
  const char *lastCommand;
};

TEST_F(Smtp, NegativeRepliesAndTheirOutcomes) {
  static const OutcomeCase kCases[] = {
      {"greeting 4xx", "GREETING", "421 busy\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"greeting 5xx", "GREETING", "554 no\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"helo refused", "HELO", "501 no\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"sender refused", "MAIL", "550 no\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"all refused", "RCPT", "550 no\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"data refused", "DATA", "451 later\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"message refused", "MESSAGE", "554 spam\r\n", "WARNING: Mail NOT sent!\n", "Location: KO\n\n", 1, "QUIT"},
      {"odd positive", "MAIL", "#ok\r\n", "Mail sent\n", "Location: OK\n\n", 0, "QUIT"},
  };
  for (const OutcomeCase &c : kCases) {
    SCOPED_TRACE(c.name);
    unlink("dead.letter.txt");
    fclose(log_);
    fclose(out_);
    log_ = tmpfile();
    out_ = tmpfile();
    table({}, {}, {"t1", "t2"});
    ScriptedPeer peer;
    if (strcmp(c.step, "GREETING") == 0) {
      peer.greeting = c.reply;
    } else {
      peer.replies[c.step] = c.reply;
    }
    ASSERT_EQ(deliver(peer), kDeliveryDone);
    EXPECT_EQ(peer.commands.back(), c.lastCommand);
    std::string l = log();
    std::string tail = std::string(c.outcome) + (c.deadLetter ? "Unsent mail appended to .\\dead.letter.txt\n" : "") +
                       "Connection closed\n";
    EXPECT_EQ(l.substr(l.size() - std::min(l.size(), tail.size())), tail);
    EXPECT_EQ(out(), c.answer);
    EXPECT_EQ(readFile("dead.letter.txt") != "<none>", c.deadLetter != 0);
    if (strcmp(c.step, "GREETING") == 0) {
      EXPECT_EQ(peer.commands.size(), 1u);  // QUIT only, no HELO
    }
    if (strcmp(c.step, "RCPT") == 0) {
      EXPECT_EQ(std::count(peer.commands.begin(), peer.commands.end(), std::string("DATA")), 0);
    }
  }
}

TEST_F(Smtp, LastRecipientRefusedIsIncomplete) {
  table({"c1"}, {}, {"t2", "t1"});
  ScriptedPeer peer;
  peer.refused = {"t1"};
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  std::vector<std::string> tail(peer.commands.end() - 5, peer.commands.end());
  std::vector<std::string> expected = {"RCPT TO: c1", "RCPT TO: t2", "RCPT TO: t1", "DATA", "QUIT"};
  EXPECT_EQ(tail, expected);
  EXPECT_FALSE(peer.message.empty());
  EXPECT_EQ(out(), "Location: KO\n\n");
  std::string l = log();
  EXPECT_NE(l.find("Sending RCPT TO: t1...\n550 unknown\r\n\nSending DATA...\n"), std::string::npos);
  EXPECT_NE(l.find("221 bye\r\n\nWARNING: Mail incompletely sent, check your recipients\n"
                   "Unsent mail appended to .\\dead.letter.txt\nConnection closed\n"),
            std::string::npos);
  EXPECT_NE(readFile("dead.letter.txt").find("\nbody\n\n--- CUT HERE ---\n"), std::string::npos);
}

TEST_F(Smtp, EarlierRecipientRefusedLastAcceptedIsIncompleteToo) {
  table({}, {}, {"t2", "t1"});
  ScriptedPeer peer;
  peer.refused = {"t2"};
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  EXPECT_EQ(peer.commands[peer.commands.size() - 2], "DATA");
  EXPECT_EQ(out(), "Location: KO\n\n");
}

TEST_F(Smtp, ClosedOrStalledGatewayAbortsWithDeadLetter) {
  struct Case {
    const char *step;
    int stall;
    const char *error;
  };
  static const Case kCases[] = {
      {"GREETING", 0, "Unknown"},
      {"HELO", 0, "Unknown"},
      {"MAIL", 0, "Unknown"},
      {"RCPT", 0, "Unknown"},
      {"DATA", 0, "Unknown"},
      {"MESSAGE", 0, "Unknown"},
      {"HELO", 1, "Connection timed out"},
  };
  g_posixReceiveTimeoutMs = 300;
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.step);
    unlink("dead.letter.txt");
    fclose(log_);
    fclose(out_);
    log_ = tmpfile();
    out_ = tmpfile();
    table({}, {}, {"t1"});
    ScriptedPeer peer;
    Answer a = c.stall ? Answer::stall() : Answer::close();
    if (strcmp(c.step, "GREETING") == 0) {
      peer.greeting = a;
    } else {
      peer.replies[c.step] = a;
    }
    peer.start();
    DeliveryIo io = {log_, out_, "OK", "KO"};
    DeliveryResult r = deliverMail(posixSocketApi(), &job_, &plain_, &encoded_, &io, peer.port);
    EXPECT_EQ(r, kDeliveryAborted);
    std::string l = log();
    std::string tail = std::string(
                           "WARNING: Mail NOT sent!\nUnsent mail appended to .\\dead.letter.txt\n"
                           "Error: ") +
                       (c.stall ? "Connection timed out" : "Unknown") + "\nProgram aborted\n";
    if (!c.stall) {
      // A close reports no socket error of its own: the last one noted stands.
      size_t at = l.rfind("WARNING");
      ASSERT_NE(at, std::string::npos);
      EXPECT_EQ(l.substr(at, 64), tail.substr(0, 64));
    } else {
      EXPECT_EQ(l.substr(l.size() - std::min(l.size(), tail.size())), tail);
    }
    EXPECT_EQ(out(), "Location: KO\n\n");
    EXPECT_NE(readFile("dead.letter.txt"), "<none>");
  }
}

TEST_F(Smtp, NothingListeningIsNoConnection) {
  table({}, {}, {"t1"});
  int port;
  {
    ScriptedPeer closedPeer;  // its port is free once it is gone
    port = closedPeer.port;
  }
  DeliveryIo io = {log_, out_, "OK", "KO"};
  EXPECT_EQ(deliverMail(posixSocketApi(), &job_, &plain_, &encoded_, &io, port), kDeliveryDone);
  std::string l = log();
  EXPECT_NE(l.find("IP Address: 127.0.0.1\n\nError: Connection refused\nProgram aborted\n"
                   "WARNING: Mail NOT sent!\nUnsent mail appended to .\\dead.letter.txt\n"),
            std::string::npos);
  EXPECT_EQ(l.find("Connection closed"), std::string::npos);
  EXPECT_EQ(out(), "Location: KO\n\n");
}

TEST_F(Smtp, LibraryMissingOrGatewayUnknown) {
  table({}, {}, {"t1"});
  DeliveryIo io = {log_, out_, "OK", "KO"};
  g_posixLoadFails = 1;
  EXPECT_EQ(deliverMail(posixSocketApi(), &job_, &plain_, &encoded_, &io, 1), kDeliveryDone);
  EXPECT_EQ(log(), "");
  EXPECT_EQ(out(), "");
  g_posixLoadFails = 0;
  copyBounded(job_.gateway, kAddressSize, "no-such-host.invalid");
  EXPECT_EQ(deliverMail(posixSocketApi(), &job_, &plain_, &encoded_, &io, 1), kDeliveryAborted);
  EXPECT_EQ(log(), "Local Host: " + std::string(job_.localHost) + "\nError: Host not found\nProgram aborted\n");
  EXPECT_EQ(out(), "");
  EXPECT_EQ(readFile("dead.letter.txt"), "<none>");
}

TEST_F(Smtp, RepliesInPacketsAndLongRepliesStayInStep) {
  table({}, {}, {"t1"});
  ScriptedPeer peer;
  peer.greeting = Answer{"220-peer\r\n", "220-more\r\n", "220 ready\r\n"};
  peer.replies["HELO"] = Answer{"25", "0 ok", "\r\n"};
  peer.replies["MAIL"] = Answer{"250-" + std::string(700, 'x') + "\r\n", "250 fine\r\n"};
  ASSERT_EQ(deliver(peer), kDeliveryDone);
  EXPECT_EQ(out(), "Location: OK\n\n");
  std::string l = log();
  EXPECT_NE(l.find("220-peer\r\n220-more\r\n220 ready\r\n\nSending HELO"), std::string::npos);
  EXPECT_NE(l.find("...\n250 ok\r\n\nSending MAIL"), std::string::npos);
  // A reply longer than the buffer keeps its first 511 bytes; the rest is dropped.
  EXPECT_NE(l.find("...\n250-" + std::string(507, 'x') + "\nSending RCPT TO: t1...\n250 OK\r\n"), std::string::npos);
}

TEST_F(Smtp, DeadLetterRecord) {
  ASSERT_TRUE(writeDeadLetter(&plain_, log_));
  ASSERT_TRUE(writeDeadLetter(&plain_, log_));
  std::string d = readFile("dead.letter.txt");
  const std::string record = "From: A <s@x>\nTo: t1\n\nbody\n\n--- CUT HERE ---\n";
  ASSERT_EQ(d.size(), 2 * (6 + 24 + 1 + record.size()));
  for (int i = 0; i < 2; ++i) {
    std::string r = d.substr(i * d.size() / 2, d.size() / 2);
    EXPECT_EQ(r.substr(0, 6), "Date: ");
    EXPECT_EQ(r.substr(31), record);
    // Www Mmm DD HH:MM:SS YYYY
    const std::string date = r.substr(6, 24);
    EXPECT_NE(std::string("SunMonTueWedThuFriSat").find(date.substr(0, 3)), std::string::npos);
    EXPECT_EQ(date[3], ' ');
    EXPECT_NE(std::string("JanFebMarAprMayJunJulAugSepOctNovDec").find(date.substr(4, 3)), std::string::npos);
    EXPECT_TRUE(isdigit((unsigned char)date[8]) && isdigit((unsigned char)date[9])) << date;
    EXPECT_EQ(date.substr(13, 1) + date.substr(16, 1), "::");
    EXPECT_EQ(r[30], '\n');
  }
  EXPECT_EQ(log(), "");
  ASSERT_EQ(mkdir("blocked", 0700), 0);
  ASSERT_EQ(chdir("blocked"), 0);
  ASSERT_EQ(mkdir("dead.letter.txt", 0700), 0);
  EXPECT_FALSE(writeDeadLetter(&plain_, log_));
  EXPECT_EQ(log(), "Cannot open dead.letter.txt\n");
  rmdir("dead.letter.txt");
  ASSERT_EQ(chdir(".."), 0);
  rmdir("blocked");
}

}  // namespace
