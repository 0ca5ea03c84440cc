// The import parsers line by line, the whole-line reader and the UTF-8
// conversion: tables of lines with the sites, notes and headings they give.
#include "sitelist/exchange/import_parsers.h"
#include "sitelist/exchange/import_text.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// What the parser told its sink, one text per event:
//   "site|location|description|note|heading"  or  "note|text".
struct Recorder {
  std::vector<std::string> events;
};

void RecordSite(void* context, ImportParser* p, const char* loc, size_t ll, const char* desc, size_t dl,
                const char* note, size_t nl) {
  Recorder* r = (Recorder*)context;
  r->events.push_back("site|" + std::string(loc, ll) + "|" + std::string(desc, dl) + "|" + std::string(note, nl) + "|" +
                      p->heading);
  p->has_last_added = loc[0] != '#';  // as a successful add does
}

void RecordNote(void* context, ImportParser*, const char* note, size_t nl) {
  ((Recorder*)context)->events.push_back("note|" + std::string(note, nl));
}

std::vector<std::string> Parse(char type, const std::vector<std::string>& lines) {
  Recorder r;
  ImportSink sink = {&r, RecordSite, RecordNote};
  ImportParser p;
  ImportParserInit(&p, &sink, type == 'C' ? "New" : "");
  for (const std::string& l : lines) ImportParseLine(&p, type, l.data(), l.size());
  ImportParserFree(&p);
  return r.events;
}

struct ParseCase {
  const char* name;
  char type;
  std::vector<std::string> lines;
  std::vector<std::string> expected;
};

const char kDoctype[] = "<!DOCTYPE NETSCAPE-Bookmark-file-1>";

std::string LongIcon(size_t n, const char* inside) {
  std::string s = "data:image/png;base64,";
  for (size_t i = 0; s.size() < n; i++) s += "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9h"[i % 44];
  s.insert(n / 2, inside);
  return s;
}

const std::vector<ParseCase>& Cases() {
  static const std::vector<ParseCase> cases = {
      {"folder heading files the links under it, <DD> becomes the note",
       'H',
       {kDoctype, "    <DT><H3 ADD_DATE=\"1\" LAST_MODIFIED=\"2\">Work News</H3>", "    <DL><p>",
        "        <DT><A HREF=\"http://a.example/\" ADD_DATE=\"3\">A site</A>", "        <DD>Its own note"},
       {"site|http://a.example/|A site||Work News", "note|Its own note"}},
      {"anchors and relative links add nothing",
       'H',
       {"<a href=\"#top\">Top</a> <a href=\"page.html\">Page</a> <a href=\"\">Empty</a>"},
       {}},
      {"an anchor with a colon reaches the sink, which drops it",
       'H',
       {"<a href=\"#x:y\">Odd</a>"},
       {"site|#x:y|Odd||"}},
      {"two links on a line add two sites; the first keeps the text between as its note",
       'H',
       {"<h2>Search</h2><p><a href=\"http://a/\">A</a> and <a href=\"http://b/\">B</a></p>"},
       {"site|http://a/|A|and <a href=\"http://b/\">B</a></p>|Search", "site|http://b/|B||Search"}},
      {"a heading over 20 characters is cut to 20",
       'H',
       {"<h3>An Extremely Long Heading Text</h3>", "<a href=\"http://x/\">X</a>"},
       {"site|http://x/|X||An Extremely Long He"}},
      {"a separator and a folder on one line: the folder's name wins",
       'H',
       {kDoctype, "<H1>Menu</H1>", "    <HR>    <DT><H3 ADD_DATE=\"1\">Work News</H3>",
        "    <DT><A HREF=\"http://w/\">W</A>"},
       {"site|http://w/|W||Work News"}},
      {"a separator alone gives a blank heading",
       'H',
       {"<h2>Before</h2>", "<hr>", "<a href=\"http://x/\">X</a>"},
       {"site|http://x/|X||"}},
      {"the letters href inside icon data are no link",
       'H',
       {"<DT><A ICON=\"" + LongIcon(6000, "hrefHREF<h1>") +
            "\" HREF=\"http://icon.example/\" ADD_DATE=\"1\">Icon first</A>",
        "<DT><A HREF=\"http://after.example/\" ICON=\"" + LongIcon(4000, "hrefhttp://fake/") + "\">After</A>"},
       {"site|http://icon.example/|Icon first||", "site|http://after.example/|After||"}},
      {"a <DD> after a folder heading describes the folder, not the site before",
       'H',
       {kDoctype, "<DT><A HREF=\"http://a/\">A</A>", "<DT><H3>Folder</H3>", "<DD>About the folder", "<DL><p>",
        "<DT><A HREF=\"http://b/\">B</A>", "    <DD>  About B"},
       {"site|http://a/|A||", "site|http://b/|B||Folder", "note|About B"}},
      {"after a subfolder closes, links get their own folder back",
       'H',
       {kDoctype, "<H1>Bookmarks</H1>", "<DL><p>", "<DT><H3>Work</H3>", "<DL><p>", "<DT><H3>News</H3>", "<DL><p>",
        "<DT><A HREF=\"http://n/\">N</A>", "</DL><p>", "<DT><A HREF=\"http://w/\">W</A>", "</DL><p>",
        "<DT><A HREF=\"http://t/\">T</A>", "</DL>"},
       {"site|http://n/|N||News", "site|http://w/|W||Work", "site|http://t/|T||Bookmarks"}},
      {"outside a bookmark file </DL> and <DD> mean nothing",
       'H',
       {"<h2>One</h2><dl>", "<h2>Two</h2>", "</dl>", "<a href=\"http://x/\">X</a>", "<dd>no note"},
       {"site|http://x/|X||Two"}},
      {"a link without </a> takes the rest of the line as description and no note",
       'H',
       {"<a href=\"http://x/\">Rest of the line"},
       {"site|http://x/|Rest of the line||"}},
      {"the note after </a> is cleared when it begins with a tag",
       'H',
       {"<a href=\"http://x/\">X</a>   Great site", "<a href=\"http://y/\">Y</a><br>Later"},
       {"site|http://x/|X|Great site|", "site|http://y/|Y||"}},
      {"leading spaces of location and description are removed",
       'H',
       {"<A HREF=\"  http://x/\">   X marks</A>"},
       {"site|http://x/|X marks||"}},
      {"without a pair of double quotes after href nothing is taken", 'H', {"<a href=http://x/>X</a>"}, {}},
      {"<DD> before any site, or after an anchor, adds no note",
       'H',
       {kDoctype, "<DD>Orphan note", "<DT><A HREF=\"#x:1\">anchor</A>", "<DD>After anchor"},
       {"site|#x:1|anchor||"}},
      {"comma-delimited: location, description, note",
       'C',
       {"\"http://www.example.com/\",\"Example Domain\",\"Reserved\"", "\"ftp://f/\",\"Two only\"", "no quotes",
        "\"one field\"", " \"  http://s/\",\"  Spaced\",\"  note\""},
       {"site|http://www.example.com/|Example Domain|Reserved|New", "site|ftp://f/|Two only||New",
        "site|http://s/|Spaced|note|New"}},
      {"comma-delimited: quotes inside the description end it",
       'C',
       {"\"http://q/\",\"Say \"hi\" now\""},
       {"site|http://q/|Say |now|New"}},
      {"text: every scheme marker, punctuation left out",
       'A',
       {"Visit http://www.example.com/page.html for the details.",
        "Secure: https://secure.example.net/login, then ftp://files.example.org/pub/readme.txt.",
        "(see telnet://bbs.example.org) news://n.example/comp.lang.c gopher://g.example.edu/"},
       {"site|http://www.example.com/page.html|for the details.|for the details.|",
        "site|https://secure.example.net/login|then ftp://files.example.org/pub/readme.txt.|then "
        "ftp://files.example.org/pub/readme.txt.|",
        "site|ftp://files.example.org/pub/readme.txt|||",
        "site|telnet://bbs.example.org|news://n.example/comp.lang.c gopher://g.example.edu/|news://n.example/"
        "comp.lang.c gopher://g.example.edu/|",
        "site|news://n.example/comp.lang.c|gopher://g.example.edu/|gopher://g.example.edu/|",
        "site|gopher://g.example.edu/|||"}},
      {"text: upper-case schemes and mail addresses are not markers",
       'A',
       {"HTTP://UPPER.EXAMPLE/ and mailto:nobody@example.com"},
       {}},
      {"text: a href gives its quoted value",
       'A',
       {"see <A HREF = \"http://quoted.example/x y\">there</a>"},
       {"site|http://quoted.example/x y|>there</a>|>there</a>|"}},
      {"text: a parenthesis the address opened stays",
       'A',
       {"http://en.example.org/wiki/Tabulink_(program)."},
       {"site|http://en.example.org/wiki/Tabulink_(program)|||"}},
  };
  return cases;
}

TEST(ImportParsers, Table) {
  for (const ParseCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, Parse(c.type, c.lines));
  }
}

TEST(ImportParsers, UnknownTypeParsesNothing) {
  Recorder r;
  ImportSink sink = {&r, RecordSite, RecordNote};
  ImportParser p;
  ImportParserInit(&p, &sink, "");
  const char line[] = "<a href=\"http://x/\">X</a>";
  EXPECT_EQ(0, ImportParseLine(&p, 'Q', line, sizeof line - 1));
  EXPECT_TRUE(r.events.empty());
  ImportParserFree(&p);
}

TEST(ImportParsers, ManyLinksOnOneLongLine) {
  std::string line;
  for (int i = 0; i < 20000; i++) line += "<a href=\"http://s" + std::to_string(i) + ".example/\">S</a><br>";
  std::vector<std::string> ev = Parse('H', {line});
  ASSERT_EQ(20000u, ev.size());
  EXPECT_EQ("site|http://s19999.example/|S||", ev.back());
}

TEST(ImportParsers, DeepFoldersKeepTheDeepestRemembered) {
  std::vector<std::string> lines = {kDoctype};
  for (int i = 0; i < kImportFolderDepth + 10; i++) {
    lines.push_back("<DT><H3>F" + std::to_string(i) + "</H3>");
    lines.push_back("<DL><p>");
  }
  for (int i = 0; i < 12; i++) lines.push_back("</DL><p>");
  lines.push_back("<DT><A HREF=\"http://x/\">X</A>");
  std::vector<std::string> ev = Parse('H', lines);
  ASSERT_EQ(1u, ev.size());
  // 74 folders open, 12 closed: 62 left, whose heading was remembered at depth 62.
  EXPECT_EQ("site|http://x/|X||F61", ev[0]);
}

// ---- Text -----------------------------------------------------------------------------------

TEST(ImportText, DeclaresUtf8) {
  struct Case {
    const char* head;
    int utf8;
  } cases[] = {
      {"\xEF\xBB\xBFplain", 1},
      {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">", 1},
      {"<meta charset=\"utf-8\">", 1},
      {"<meta charset = 'UTF8'>", 1},
      {"<META CONTENT=\"text/html; charset=windows-1252\">", 0},
      {"<META CONTENT=\"text/html; charset=ISO-8859-1\">", 0},
      {"no declaration at all", 0},
      {"charset=utf", 0},
      {"charset", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.utf8, ImportDeclaresUtf8(c.head, strlen(c.head))) << c.head;
}

TEST(ImportText, Utf8ToAnsi) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Caf\xC3\xA9 Cr\xC3\xA8me", "Caf\xE9 Cr\xE8me"},
      {"\xE2\x82\xAC 5 \xE2\x80\x93 \xE2\x80\x9Cquoted\xE2\x80\x9D", "\x80 5 \x96 \x93quoted\x94"},
      {"\xC5\xA0koda \xC5\xB8", "\x8Akoda \x9F"},
      {"\xE6\x9D\xB1\xE4\xBA\xAC Guide", "&#26481;&#20140; Guide"},
      {"\xF0\x9F\x8E\xB5 Music", "&#127925; Music"},
      {"\xC2\x81"
       "C1",
       " C1"},
      {"bad \xE9 byte, cut \xE6\x9D", "bad \xE9 byte, cut \xE6\x9D"},
      {"overlong \xC0\xAF and surrogate \xED\xA0\x80", "overlong \xC0\xAF and surrogate \xED\xA0\x80"},
  };
  for (const Case& c : cases) {
    char out[128];
    size_t n = Utf8ToAnsi(c.in, strlen(c.in), out, sizeof out);
    EXPECT_EQ(std::string(c.out), std::string(out, n)) << c.in;
  }
  // The output never passes its capacity, and never ends in half a reference.
  char small[10];
  const char* jp = "\xE6\x9D\xB1\xE4\xBA\xAC";
  size_t n = Utf8ToAnsi(jp, strlen(jp), small, sizeof small);
  EXPECT_EQ("&#26481;", std::string(small, n));
  // Bound: a two-byte sequence outside the code page is the worst case.
  std::string worst;
  for (int i = 0; i < 100; i++) worst += "\xDF\xBF";  // U+07FF
  std::vector<char> big(ImportAnsiBound(worst.size()));
  EXPECT_EQ(700u, Utf8ToAnsi(worst.data(), worst.size(), big.data(), big.size()));
}

TEST(ImportText, CutLengthKeepsReferencesWhole) {
  struct Case {
    const char* value;
    size_t width;
    size_t cut;
  } cases[] = {
      {"short", 20, 5},         {"abcdefghij", 4, 4}, {"ab&#26481;cd", 5, 2},  // inside the reference: before its "&"
      {"ab&#26481;cd", 10, 10},                                                // just after it
      {"ab&#26481;cd", 9, 2},                                                  // one short of its ";"
      {"ab&#x;cd", 4, 4},                                                      // not a numeric reference
      {"ab&amp;cd", 4, 4},                                                     // named entities are kept as text
      {"x&#12", 4, 4},                                                         // an unfinished reference is plain text
  };
  for (const Case& c : cases) EXPECT_EQ(c.cut, ImportCutLength(c.value, strlen(c.value), c.width)) << c.value;
}

class ImportLinesTest : public ::testing::Test {
protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             (std::string("tx_import_lines_") + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void Write(const std::string& bytes) {
    FILE* f = fopen(path_.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::vector<std::string> ReadAll(int* utf8 = nullptr) {
    ImportLineReader r;
    std::vector<std::string> out;
    EXPECT_EQ(0, ImportLinesOpen(&r, path_.c_str()));
    const char* line;
    size_t len;
    int rc;
    while ((rc = ImportLinesNext(&r, &line, &len)) == 1) out.emplace_back(line, len);
    EXPECT_EQ(0, rc);
    EXPECT_EQ(100, ImportLinesPercent(&r));
    if (utf8) *utf8 = r.utf8;
    ImportLinesClose(&r);
    return out;
  }
  std::string path_;
};

TEST_F(ImportLinesTest, LineEndsOfEveryKind) {
  static const char kBytes[] = "one\r\ntwo\nthree\rfour\r\rsix\0null\n\nlast";
  Write(std::string(kBytes, sizeof kBytes - 1));
  std::vector<std::string> expected = {"one", "two", "three", "four", "", "six null", "", "last"};
  EXPECT_EQ(expected, ReadAll());
}

TEST_F(ImportLinesTest, MissingFileGivesItsError) {
  ImportLineReader r;
  EXPECT_EQ(ENOENT, ImportLinesOpen(&r, (path_ + ".missing").c_str()));
}

TEST_F(ImportLinesTest, LongLinesAreReadWhole) {
  std::string icon(70000, 'Q');
  std::string line = "<DT><A HREF=\"http://x/\" ICON=\"" + icon + "\">Title after the icon</A>";
  Write("first\r\n" + line + "\r\nlast\r\n");
  std::vector<std::string> got = ReadAll();
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(line, got[1]);
}

TEST_F(ImportLinesTest, OverlongLinesComeInPiecesCutBeforeAStartTag) {
  std::string link = "<a href=\"http://s.example/\">S</a>";
  std::string line;
  while (line.size() < (size_t)kImportLineMax * 2 + 100) line += link;
  Write(line + "\ntail\n");
  std::vector<std::string> got = ReadAll();
  ASSERT_EQ(4u, got.size());
  size_t total = 0;
  for (size_t i = 0; i < 3; i++) {
    EXPECT_LE(got[i].size(), (size_t)kImportLineMax);
    total += got[i].size();
    if (i > 0) { EXPECT_EQ(0u, got[i].find("<a href=")) << "piece " << i << " starts with a whole link"; }
  }
  EXPECT_EQ(line.size(), total);
  EXPECT_EQ("tail", got[3]);
  // No link is lost or split.
  std::vector<std::string> sites = Parse('H', {got[0], got[1], got[2]});
  EXPECT_EQ(line.size() / link.size(), sites.size());
}

TEST_F(ImportLinesTest, Utf8FilesAreConvertedOthersKeptByteForByte) {
  int utf8 = -1;
  Write("<META CONTENT=\"text/html; charset=UTF-8\">\n<A HREF=\"http://x/\">Caf\xC3\xA9 \xE6\x9D\xB1</A>\n");
  std::vector<std::string> got = ReadAll(&utf8);
  EXPECT_EQ(1, utf8);
  EXPECT_EQ("<A HREF=\"http://x/\">Caf\xE9 &#26481;</A>", got[1]);

  Write("<TITLE>No declaration</TITLE>\nCaf\xC3\xA9 Caf\xE9\n");
  got = ReadAll(&utf8);
  EXPECT_EQ(0, utf8);
  EXPECT_EQ("Caf\xC3\xA9 Caf\xE9", got[1]);

  Write("\xEF\xBB\xBF\"http://b/\",\"B\xC3\xA4r\"\n");
  got = ReadAll(&utf8);
  EXPECT_EQ(1, utf8);
  EXPECT_EQ("\"http://b/\",\"B\xE4r\"", got[0]);
}

TEST_F(ImportLinesTest, EmptyFile) {
  Write("");
  EXPECT_TRUE(ReadAll().empty());
}

}  // namespace
