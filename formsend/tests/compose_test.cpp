// formsend tests: header, template substitution and quoted-printable encoding.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "formsend/compose.h"
#include "formsend/smtp.h"

namespace {

std::string str(const Text &t) { return t.data ? std::string(t.data, t.length) : std::string(); }

struct Job {
  MailJob job;
  FormSettings settings;
  Job() {
    clearRecords(&settings, &job);
    copyBounded(job.senderName, kSenderNameSize, "Ann");
    copyBounded(job.senderAddress, kAddressSize, "s");
    copyBounded(job.charset, kCharsetSize, "iso-8859-1");
  }
  // Recipients in form order; stored as the table keeps them (each group reversed).
  void recipients(const std::vector<std::string> &cc, const std::vector<std::string> &to) {
    int n = 0;
    for (auto it = cc.rbegin(); it != cc.rend(); ++it) { copyBounded(job.recipients[n++], kAddressSize, it->c_str()); }
    for (auto it = to.rbegin(); it != to.rend(); ++it) { copyBounded(job.recipients[n++], kAddressSize, it->c_str()); }
    job.ccCount = (int)cc.size();
    job.toCount = (int)to.size();
  }
  std::string header(int encoded) {
    Text t;
    textInit(&t);
    EXPECT_TRUE(composeHeader(&t, &job, encoded));
    std::string s = str(t);
    textFree(&t);
    return s;
  }
};

TEST(ComposeHeader, WithSubject) {
  Job j;
  j.recipients({}, {"t"});
  copyBounded(j.job.subject, kSubjectSize, "Hi");
  EXPECT_EQ(j.header(1), "From: =?iso-8859-1?Q?Ann?= <s>\nTo: t\nSubject: =?iso-8859-1?Q?Hi?=\n\n\n");
  EXPECT_EQ(j.header(0), "From: Ann <s>\nTo: t\nSubject: Hi\n\n");
}

TEST(ComposeHeader, WithoutSubjectAndWithCcInFormOrder) {
  Job j;
  j.recipients({"c1", "c2"}, {"t1", "t2", "t3"});
  j.job.bccCount = 0;
  EXPECT_EQ(j.header(0), "From: Ann <s>\nTo: t1, t2, t3\nCc: c1, c2\n");
  j.recipients({}, {"t"});
  EXPECT_EQ(j.header(0), "From: Ann <s>\nTo: t\n");
}

TEST(ComposeHeader, BccNeverShows) {
  Job j;
  copyBounded(j.job.recipients[0], kAddressSize, "hidden");
  copyBounded(j.job.recipients[1], kAddressSize, "t");
  j.job.bccCount = 1;
  j.job.toCount = 1;
  EXPECT_EQ(j.header(0), "From: Ann <s>\nTo: t\n");
}

struct Fields {
  FormTable table;
  Fields(std::initializer_list<std::pair<const char *, const char *>> list) {
    table.last = -1;
    for (auto &p : list) {
      ++table.last;
      table.fields[table.last].name = strdup(p.first);
      table.fields[table.last].value = strdup(p.second);
    }
  }
  ~Fields() { freeForm(&table); }
};

std::string substitute(const char *piece, const Fields &f, const FormSettings &s) {
  Text out;
  textInit(&out);
  EXPECT_TRUE(substitutePiece(piece, &f.table, &s, &out));
  EXPECT_EQ(out.length, strlen(out.data));
  std::string r(out.data, out.length);
  textFree(&out);
  return r;
}

TEST(SubstitutePiece, Cases) {
  FormSettings s;
  MailJob j;
  clearRecords(&s, &j);
  Fields f({{"$Name$", "Bob"},
            {"$Self$", "x$Self$y"},
            {"", "empty names are skipped"},
            {"$To$", "first"},
            {"$To$", "second"},
            {"$A$", "$B$"},
            {"$B$", "b"}});
  struct Case {
    const char *in;
    const char *out;
  };
  static const Case kCases[] = {
      {"Dear $Name$, $Name$\n", "Dear Bob, Bob\n"},
      {"$Self$ $Self$\n", "x$Self$y x$Self$y\n"},  // inserted once per occurrence, no loop
      {"to $To$\n", "to first\n"},                 // the first of a name only
      {"$A$\n", "b\n"},                            // later fields search earlier values
      {"none here\n", "none here\n"},
      {"$Opt.Comment$\n", "$Opt.Comment$\n"},  // no "$Optional$" field: stays
  };
  for (const Case &c : kCases) { EXPECT_EQ(substitute(c.in, f, s), c.out) << c.in; }
}

TEST(SubstitutePiece, OptionalMarkers) {
  FormSettings s;
  MailJob j;
  clearRecords(&s, &j);
  s.optionalGiven = 1;
  copyBounded(s.optionalText, kSettingSize, "OPT");
  Fields f({{"$X$", "1"}});
  EXPECT_EQ(substitute("a $Opt.One$ b $Opt.Two$!\n", f, s), "a OPT b OPT!\n");
  EXPECT_EQ(substitute("open $Opt.never ends\n", f, s), "open $Opt.never ends\n");
  s.optionalText[0] = '\0';
  EXPECT_EQ(substitute("[$Opt.x$]\n", f, s), "[]\n");
}

TEST(SubstitutePiece, LongValuesGoInWholeUpToTheLimit) {
  FormSettings s;
  MailJob j;
  clearRecords(&s, &j);
  std::string big(2500, 'v');
  Fields f({{"$Big$", big.c_str()}, {"$Z$", "z"}});
  EXPECT_EQ(substitute("a$Big$b$Big$$Z$\n", f, s), "a" + big + "b" + big + "z\n");
  std::string line(980, 'x');
  EXPECT_EQ(substitute((line + "$Z$$Z$$Z$$Z$\n").c_str(), f, s), line + "zzzz\n");

  // Values that bring in the names of later fields double the piece at each field:
  // it stops growing at the limit instead of without end.
  std::vector<std::string> names, values;
  for (int i = 0; i < 30; ++i) {
    names.push_back("$F" + std::to_string(i) + "$");
    values.push_back("$F" + std::to_string(i + 1) + "$$F" + std::to_string(i + 1) + "$");
  }
  Fields chain({});
  for (int i = 0; i < 30; ++i) {
    ++chain.table.last;
    chain.table.fields[chain.table.last].name = strdup(names[i].c_str());
    chain.table.fields[chain.table.last].value = strdup(values[i].c_str());
  }
  std::string out = substitute("$F0$\n", chain, s);
  EXPECT_EQ(out.size(), (size_t)kPieceLimit);
  EXPECT_EQ(out.compare(0, 10, "$F30$$F30$"), 0);
}

// Writes a template file in a temporary directory; removed with the object.
struct TemplateFile {
  char path[64];
  explicit TemplateFile(const std::string &text) {
    snprintf(path, sizeof(path), "/tmp/formsend-template-XXXXXX");
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), (ssize_t)text.size());
    close(fd);
  }
  ~TemplateFile() { unlink(path); }
};

std::string templateText(const std::string &file, const Fields &f, FormSettings *s, TemplateResult *r) {
  TemplateFile tf(file);
  copyBounded(s->templatePath, kSettingSize, tf.path);
  Text t;
  textInit(&t);
  textAppendString(&t, "H\n");
  *r = appendTemplate(&t, &f.table, s);
  std::string out = str(t);
  textFree(&t);
  return out;
}

TEST(AppendTemplate, PiecesDotsAndLongLines) {
  FormSettings s;
  MailJob j;
  clearRecords(&s, &j);
  Fields f({{"$V$", "one\n.two\n..three"}, {"$W$", "w"}});
  TemplateResult r;
  std::string out = templateText(".dot\n$V$\n$W$\n", f, &s, &r);
  EXPECT_EQ(r, kTemplateOk);
  EXPECT_EQ(out, "H\n..dot\none\n..two\n...three\nw\n");

  // A line of 2000 characters comes in pieces of 994; each piece is substituted alone.
  std::string longLine = std::string(993, 'a') + "$W$" + std::string(1004, 'b') + "\n";
  out = templateText(longLine, f, &s, &r);
  EXPECT_EQ(out, "H\n" + std::string(993, 'a') + "$W$" + std::string(1004, 'b') + "\n");
}

TEST(AppendTemplate, UnopenedTemplate) {
  FormSettings s;
  MailJob j;
  clearRecords(&s, &j);
  Fields f({});
  copyBounded(s.templatePath, kSettingSize, "/nonexistent/formsend/template.txt");
  Text t;
  textInit(&t);
  EXPECT_EQ(appendTemplate(&t, &f.table, &s), kTemplateUnopened);
  textFree(&t);
}

std::string qp(const std::string &in) {
  Text t, out;
  textInit(&t);
  textAppend(&t, in.data(), in.size());
  EXPECT_TRUE(encodeQuotedPrintable(&t, &out));
  std::string s = str(out);
  textFree(&t);
  textFree(&out);
  return s;
}

TEST(EncodeQuotedPrintable, Cases) {
  struct Case {
    const char *in;
    const char *out;
  };
  static const Case kCases[] = {
      {"caf\xe9\n", "caf=E9\r\n"},
      {"a=b\n", "a=3Db\r\n"},
      {"x==y\n", "x==3Dy\r\n"},
      {"end \n", "end=20\r\n"},
      {"tab\t\n", "tab\t\r\n"},
      {"in side\n", "in side\r\n"},
      {"a\r\nb\n", "a=0D\r\nb\r\n"},
      {"why?\n", "why=3F\r\n"},
      {"=?cs?Q?J\xe9 x?=\n", "=?cs?Q?J=E9 x?=\r\n"},
      {".x\n", "..x\r\n"},
      {"..x\n", "..x\r\n"},
      {"a.b\n", "a.b\r\n"},
      {"no line end", "no line end"},
      {"\xff", "=FF"},
      {"", ""},
  };
  for (const Case &c : kCases) { EXPECT_EQ(qp(c.in), c.out) << c.in; }
}

TEST(EncodeQuotedPrintable, BreaksAt72) {
  std::string line(100, 'x');
  EXPECT_EQ(qp(line + "\n"), std::string(72, 'x') + "=\r\n" + std::string(28, 'x') + "\r\n");
  // An escape that crosses column 72 still ends its line there: 71 + 3 characters.
  std::string escaped = std::string(71, 'y') + "\xe9z\n";
  EXPECT_EQ(qp(escaped), std::string(71, 'y') + "=E9=\r\nz\r\n");
  // After a soft break a "." starts a line and gets its second dot.
  EXPECT_EQ(qp(std::string(72, 'a') + ".b\n"), std::string(72, 'a') + "=\r\n..b\r\n");
  // No output line is longer than 79 characters with its line end.
  std::string mixed;
  for (int i = 0; i < 5000; ++i) { mixed += (char)(i * 37 % 256); }
  std::string out = qp(mixed);
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    if (end == std::string::npos) { end = out.size(); }
    EXPECT_LE(end - start + 2, (size_t)kQpLineCapacity);
    start = end + 2;
  }
}

// The wire form of a plain text, taken in pieces of `room` bytes as sending does.
std::string wire(const std::string &in, size_t room = kMessagePieceBytes) {
  Text t;
  textInit(&t);
  textAppend(&t, in.data(), in.size());
  std::string s;
  std::vector<char> piece(room);
  size_t pos = 0;
  size_t got;
  while ((got = crlfPiece(&t, &pos, piece.data(), room)) > 0) {
    EXPECT_LE(got, room);
    s.append(piece.data(), got);
  }
  EXPECT_EQ(pos, in.size());
  textFree(&t);
  return s;
}

TEST(WireForm, EveryLineEndBecomesCrLf) {
  struct Case {
    const char *in;
    const char *out;
  };
  static const Case kCases[] = {
      {"a\nb\n", "a\r\nb\r\n"},    // the template's line ends
      {"a\r\nb\n", "a\r\nb\r\n"},  // a value's CR LF stays one line end
      {"a\rb\n", "a\r\nb\r\n"},    // a lone CR is a line end too
      {"a\r\r\nb", "a\r\n\r\nb"},
      {"\n\n", "\r\n\r\n"},
      {"a\r.b\n", "a\r\n..b\r\n"},  // a line a lone CR begins gets its extra "."
      {"a\r..\r\n", "a\r\n...\r\n"},
      {"a\n..b\n", "a\r\n..b\r\n"},  // after LF the "." is doubled already
      {"a\r\n..b\n", "a\r\n..b\r\n"},
      {"caf\xe9 \t\n", "caf\xe9 \t\r\n"},  // 8-bit and blanks as they are
      {"no line end", "no line end"},
      {"end\r", "end\r\n"},
      {"", ""},
  };
  for (const Case &c : kCases) { EXPECT_EQ(wire(c.in), c.out) << c.in; }
  // No piece boundary splits a CR LF or loses the "." after a lone CR.
  std::string in;
  for (int i = 0; i < 400; ++i) { in += "line\r.dot\r\nx\n"; }
  std::string want;
  for (int i = 0; i < 400; ++i) { want += "line\r\n..dot\r\nx\r\n"; }
  for (size_t room : {3, 4, 5, 7, 1023}) { EXPECT_EQ(wire(in, room), want) << room; }
}

size_t longest(const std::string &in) {
  Text t;
  textInit(&t);
  textAppend(&t, in.data(), in.size());
  size_t n = longestCrlfLine(&t);
  textFree(&t);
  return n;
}

TEST(WireForm, LongestLineInOctetsBeforeCrLf) {
  EXPECT_EQ(longest(""), 0u);
  EXPECT_EQ(longest("abc"), 3u);
  EXPECT_EQ(longest("ab\r\nabcd\nabc\n"), 4u);
  EXPECT_EQ(longest("a\r.bc\n"), 4u);  // "..bc"
  EXPECT_EQ(longest(std::string(998, 'x') + "\n"), 998u);
  EXPECT_EQ(longest("x\n" + std::string(999, 'x')), 999u);
  EXPECT_EQ(longest(std::string(600, 'x') + "\r" + std::string(700, 'y') + "\n"), 700u);
  EXPECT_EQ(longest(std::string(5000, 'z')), 5000u);
}

}  // namespace
