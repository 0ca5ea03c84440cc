// formsend tests: reading and decoding the form, the control fields, validation and
// the configuration keys.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "formsend/form.h"

namespace {

struct Form {
  FormTable table;
  Form() { table.last = -1; }
  ~Form() { freeForm(&table); }
  int read(const std::string &body, const char *length) {
    freeForm(&table);
    return readFormFromBytes((const unsigned char *)body.data(), body.size(), length, &table);
  }
  int read(const std::string &body) {
    std::string n = std::to_string(body.size());
    return read(body, n.c_str());
  }
  std::string name(int i) const { return table.fields[i].name; }
  std::string value(int i) const { return table.fields[i].value; }
};

TEST(DecodeFieldText, EscapesAndPlus) {
  struct Case {
    const char *in;
    const char *out;
  };
  static const Case kCases[] = {
      {"a+b", "a b"},         {"%2B", "+"}, {"%41%62", "Ab"}, {"%e9", "\xe9"}, {"100%", "100%"},
      {"x%4", "x%4"},         {"%", "%"},   {"%3D", "="},     {"%zz", "S"},  // not hex digits: (35 * 16 + 35) & 0xFF all the same
      {"a%0D%0Ab", "a\r\nb"},
  };
  for (const Case &c : kCases) {
    char buf[64];
    strcpy(buf, c.in);
    size_t n = decodeFieldText(buf, strlen(buf));
    EXPECT_EQ(std::string(buf, n), std::string(c.out)) << c.in;
  }
}

TEST(ReadForm, SplitsFieldsAtAmpersandAndNameAtFirstEquals) {
  Form f;
  ASSERT_EQ(f.read("a=1&b=x=y&c&d%3De=2"), 3);
  EXPECT_EQ(f.name(0), "a");
  EXPECT_EQ(f.value(0), "1");
  EXPECT_EQ(f.name(1), "b");
  EXPECT_EQ(f.value(1), "x=y");
  EXPECT_EQ(f.name(2), "c");
  EXPECT_EQ(f.value(2), "");
  EXPECT_EQ(f.name(3), "d");  // an escaped "=" splits as well
  EXPECT_EQ(f.value(3), "e=2");
}

TEST(ReadForm, TwoAmpersandsGiveAnEmptyMiddleField) {
  Form f;
  ASSERT_EQ(f.read("a=1&&b=2"), 2);
  EXPECT_EQ(f.name(1), "");
  EXPECT_EQ(f.value(1), "");
  EXPECT_EQ(f.value(2), "2");
}

TEST(ReadForm, PlusAndEscapedPlus) {
  Form f;
  ASSERT_EQ(f.read("v=a+b%2Bc"), 0);
  EXPECT_EQ(f.value(0), "a b+c");
}

TEST(ReadForm, CountLimitsWhatIsRead) {
  Form f;
  EXPECT_EQ(f.read("a=1&b=2", "5"), 1);
  EXPECT_EQ(f.value(1), "");  // "b" only
  EXPECT_EQ(f.name(1), "b");
  EXPECT_EQ(f.read("a=1&b=2", NULL), -1);  // no CONTENT_LENGTH: nothing read
  EXPECT_EQ(f.read("a=1&b=2", "0"), -1);
  EXPECT_EQ(f.read("a=1&b=2", "  +3"), 0);  // white space and sign as strtol takes them
  EXPECT_EQ(f.value(0), "1");
  EXPECT_EQ(f.read("a=1", "-1"), 0);  // a negative count reads to the end
}

TEST(ReadForm, ValueLongerThanOneGrowStep) {
  Form f;
  std::string big(kFieldGrowStep * 2 + 17, 'x');
  ASSERT_EQ(f.read("v=" + big + "&w=1"), 1);
  EXPECT_EQ(f.value(0), big);
}

TEST(ReadForm, MoreThanThousandFieldsAreCut) {
  std::string body;
  for (int i = 0; i < 1200; ++i) { body += "f" + std::to_string(i) + "=" + std::to_string(i) + "&"; }
  Form f;
  EXPECT_EQ(f.read(body), kMaxFields - 1);
  EXPECT_EQ(f.name(kMaxFields - 1), "f999");
}

TEST(ReadForm, BodyOverOneMebibyteIsRefused) {
  Form f;
  EXPECT_EQ(f.read("a=1", "1048577"), -1);
  EXPECT_TRUE(f.table.oversize);
  std::string big(kMaxBodyBytes + 10, 'x');
  EXPECT_EQ(f.read(big, "-1"), -1);
  EXPECT_TRUE(f.table.oversize);
  EXPECT_EQ(f.read(std::string(kMaxBodyBytes, 'y')), 0);
  EXPECT_FALSE(f.table.oversize);
}

struct Mapped {
  Form form;
  FormSettings settings;
  MailJob job;
  char refusal[kRefusalSize];
  int valid;
  explicit Mapped(const std::string &body) {
    clearRecords(&settings, &job);
    form.read(body);
    valid = mapControlFields(&form.table, &settings, &job, refusal);
  }
};

static const char kMinimal[] = "$File$=t.txt&$LocationOK$=ok&$LocationKO$=ko&$To$=t%40x";

TEST(MapControlFields, CopiesControlValuesLaterOverwrite) {
  Mapped m(std::string(kMinimal) + "&$Subject$=one&$Subject$=two&$Sender$=s%40x&$Realname$=Ann&$Optional$=opt");
  EXPECT_TRUE(m.valid);
  EXPECT_STREQ(m.settings.templatePath, "t.txt");
  EXPECT_STREQ(m.settings.successUrl, "ok");
  EXPECT_STREQ(m.settings.failureUrl, "ko");
  EXPECT_STREQ(m.job.subject, "two");
  EXPECT_STREQ(m.job.senderAddress, "s@x");
  EXPECT_STREQ(m.job.senderName, "Ann");
  EXPECT_STREQ(m.settings.optionalText, "opt");
  EXPECT_EQ(m.settings.optionalGiven, 1);
  EXPECT_STREQ(m.refusal, "");
}

TEST(MapControlFields, RecipientTableCcBccToEachReversed) {
  Mapped m("$To$=t1&$Cc$=c1&$Bcc$=b1&$To$=t2&$Cc$=c2&$File$=f&$LocationOK$=o&$LocationKO$=k");
  ASSERT_TRUE(m.valid);
  EXPECT_EQ(m.job.ccCount, 2);
  EXPECT_EQ(m.job.bccCount, 1);
  EXPECT_EQ(m.job.toCount, 2);
  static const char *const kOrder[] = {"c2", "c1", "b1", "t2", "t1"};
  for (int i = 0; i < 5; ++i) { EXPECT_STREQ(m.job.recipients[i], kOrder[i]) << i; }
}

TEST(MapControlFields, ValidityNeedsToTemplateAndBothUrls) {
  struct Case {
    const char *body;
    int valid;
  };
  static const Case kCases[] = {
      {"$File$=t&$LocationOK$=o&$LocationKO$=k&$To$=a", 1},
      {"$File$=t&$LocationOK$=o&$LocationKO$=k", 0},
      {"$File$=t&$LocationOK$=o&$To$=a", 0},
      {"$File$=t&$LocationKO$=k&$To$=a", 0},
      {"$LocationOK$=o&$LocationKO$=k&$To$=a", 0},
      {"$File$=t&$LocationOK$=o&$LocationKO$=k&$Cc$=a", 0},
      {"$file$=t&$LocationOK$=o&$LocationKO$=k&$To$=a", 0},  // names are case-sensitive
      {"", 0},
  };
  for (const Case &c : kCases) {
    Mapped m(c.body);
    EXPECT_EQ(m.valid, c.valid) << c.body;
  }
}

TEST(MapControlFields, LineBreakInHeaderFieldsIsRefused) {
  static const char *const kFields[] = {"$Sender$", "$Realname$", "$Subject$", "$To$", "$Cc$", "$Bcc$"};
  static const char *const kBreaks[] = {"%0D", "%0A", "%0D%0A"};
  for (const char *field : kFields) {
    for (const char *br : kBreaks) {
      std::string body = std::string(kMinimal) + "&" + field + "=a" + br + "RCPT+TO:+x";
      Mapped m(body);
      EXPECT_FALSE(m.valid) << body;
      EXPECT_EQ(std::string(m.refusal), std::string("Refused field ") + field + ": line break in its value\n");
    }
  }
}

TEST(MapControlFields, TemplatePathMustStayInsideTheWorkingDirectory) {
  struct Case {
    const char *path;
    int allowed;
  };
  static const Case kCases[] = {
      {"mail.txt", 1},
      {"templates\\mail.txt", 1},
      {"templates/mail.txt", 1},
      {"a..b.txt", 1},
      {"..", 0},
      {"..\\win.ini", 0},
      {"a/../../x", 0},
      {"a\\..", 0},
      {"\\windows\\win.ini", 0},
      {"/etc/passwd", 0},
      {"C:\\boot.ini", 0},
      {"c:boot.ini", 0},
      {"\\\\server\\share\\x", 0},
      {"", 0},
  };
  for (const Case &c : kCases) { EXPECT_EQ(templatePathAllowed(c.path), c.allowed) << c.path; }
  Mapped m("$File$=..%5Csecret.txt&$LocationOK$=o&$LocationKO$=k&$To$=a");
  EXPECT_FALSE(m.valid);
  EXPECT_STREQ(m.refusal, "Refused template path ..\\secret.txt: not a file inside the working directory\n");
}

TEST(MapControlFields, LongValuesAreCutAtCapacity) {
  std::string longText(500, 'x');
  Mapped m(std::string(kMinimal) + "&$Subject$=" + longText + "&$Sender$=" + longText + "&$Realname$=" + longText +
           "&$LocationOK$=" + longText + "&$Cc$=" + longText);
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(strlen(m.job.subject), (size_t)kSubjectSize - 1);
  EXPECT_EQ(strlen(m.job.senderAddress), (size_t)kAddressSize - 1);
  EXPECT_EQ(strlen(m.job.senderName), (size_t)kSenderNameSize - 1);
  EXPECT_EQ(strlen(m.settings.successUrl), (size_t)kSettingSize - 1);
  EXPECT_EQ(strlen(m.job.recipients[0]), (size_t)kAddressSize - 1);
}

TEST(MapControlFields, MoreThanHundredRecipientsAreCut) {
  std::string body = "$File$=t&$LocationOK$=o&$LocationKO$=k";
  for (int i = 0; i < 60; ++i) { body += "&$Cc$=c" + std::to_string(i); }
  for (int i = 0; i < 60; ++i) { body += "&$To$=t" + std::to_string(i); }
  Mapped m(body);
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.job.ccCount, 60);
  EXPECT_EQ(m.job.toCount, 40);
  EXPECT_STREQ(m.job.recipients[60], "t59");
  EXPECT_STREQ(m.job.recipients[99], "t20");
}

// The "Quenby Mailer" section as key/value pairs.
struct Profile {
  std::map<std::string, std::string> values;
  std::string keysRead;
};

static void lookupProfile(void *context, const char *key, char *out, size_t room) {
  Profile *p = (Profile *)context;
  p->keysRead += std::string(key) + ";";
  auto it = p->values.find(key);
  copyBounded(out, room, it == p->values.end() ? "none" : it->second.c_str());
}

TEST(ReadConfiguration, ReadsKeysInOrderAndFormValuesWin) {
  Profile p;
  p.values = {{"Gateway", "mail.example"},
              {"Sender", "ini@x"},
              {"Realname", "Ini"},
              {"MIMEncode", "yes"},
              {"Charset", "iso-8859-1"}};
  MailJob job;
  FormSettings s;
  clearRecords(&s, &job);
  char refusal[kRefusalSize];
  ASSERT_TRUE(readConfiguration(&job, lookupProfile, &p, refusal));
  EXPECT_EQ(p.keysRead, "Gateway;Sender;Realname;MIMEncode;Charset;");
  EXPECT_STREQ(job.gateway, "mail.example");
  EXPECT_STREQ(job.senderAddress, "ini@x");
  EXPECT_STREQ(job.senderName, "Ini");
  EXPECT_EQ(job.encode, 1);
  EXPECT_STREQ(job.charset, "iso-8859-1");

  clearRecords(&s, &job);
  copyBounded(job.senderAddress, kAddressSize, "form@x");
  copyBounded(job.senderName, kSenderNameSize, "Form");
  p.values.erase("Sender");
  p.values.erase("Realname");
  p.keysRead.clear();
  ASSERT_TRUE(readConfiguration(&job, lookupProfile, &p, refusal));
  EXPECT_EQ(p.keysRead, "Gateway;MIMEncode;Charset;");
  EXPECT_STREQ(job.senderAddress, "form@x");
}

TEST(ReadConfiguration, NoneOrMissingStopsReading) {
  static const char *const kKeys[] = {"Gateway", "Sender", "Realname", "MIMEncode", "Charset"};
  for (const char *key : kKeys) {
    for (int literal = 0; literal < 2; ++literal) {
      Profile p;
      p.values = {{"Gateway", "g"}, {"Sender", "s"}, {"Realname", "r"}, {"MIMEncode", "no"}, {"Charset", "c"}};
      if (literal) {
        p.values[key] = "none";
      } else {
        p.values.erase(key);
      }
      MailJob job;
      FormSettings s;
      clearRecords(&s, &job);
      char refusal[kRefusalSize];
      EXPECT_FALSE(readConfiguration(&job, lookupProfile, &p, refusal)) << key;
      EXPECT_EQ(p.keysRead.substr(p.keysRead.size() - strlen(key) - 1), std::string(key) + ";");
    }
  }
}

TEST(ReadConfiguration, EncodeFlagIsCaseSensitiveAndLongValuesCut) {
  Profile p;
  p.values = {{"Gateway", std::string(200, 'g')},
              {"Sender", "s"},
              {"Realname", std::string(80, 'r')},
              {"MIMEncode", "Yes"},
              {"Charset", std::string(64, 'c')}};
  MailJob job;
  FormSettings s;
  clearRecords(&s, &job);
  char refusal[kRefusalSize];
  ASSERT_TRUE(readConfiguration(&job, lookupProfile, &p, refusal));
  EXPECT_EQ(job.encode, 0);
  EXPECT_EQ(strlen(job.gateway), (size_t)kAddressSize - 1);
  EXPECT_EQ(strlen(job.senderName), (size_t)kSenderNameSize - 1);
  EXPECT_EQ(strlen(job.charset), (size_t)kCharsetSize - 1);
}

TEST(ReadConfiguration, LineBreakInSenderOrRealnameIsRefused) {
  static const char *const kKeys[] = {"Sender", "Realname"};
  for (const char *key : kKeys) {
    Profile p;
    p.values = {{"Gateway", "g"}, {"Sender", "s"}, {"Realname", "r"}, {"MIMEncode", "no"}, {"Charset", "c"}};
    p.values[key] = "x\r\nRCPT TO: y";
    MailJob job;
    FormSettings s;
    clearRecords(&s, &job);
    char refusal[kRefusalSize];
    EXPECT_FALSE(readConfiguration(&job, lookupProfile, &p, refusal));
    EXPECT_EQ(std::string(refusal), std::string("Refused configuration key ") + key + ": line break in its value\n");
  }
}

}  // namespace
