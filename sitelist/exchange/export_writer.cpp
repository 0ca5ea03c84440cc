// The export's settings, its companion-file names and the run that writes the
// five export types: the start of the page, one site at a time in stored order
// with its category sections, and the end of the page with the index, the
// frame layout's contents and banner files.
#include "sitelist/exchange/export_writer.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "common/tx_util.h"

const char kExportSection[] = "Export";
const char kExportCreditH5[] = "<h5>Made with Tabulink 1.5, the keeper of your collection of Web sites</h5>";
const char kExportCreditH6[] = "<h6>Every site in its category, every category on its page</h6>";

namespace {

const char* const kTypeNames[kExportTypeCount] = {"HTML - Table", "HTML - Simple", "HTML - Frame", "ASCII",
                                                  "Comma-Delimited"};
static_assert(ARRAY_SIZE(kTypeNames) == kExportTypeCount, "one name per export type");

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// Case-insensitive equality of two texts of known lengths.
bool SameText(const char* a, size_t na, const char* b, size_t nb) {
  if (na != nb) return false;
  for (size_t i = 0; i < na; i++)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(const char* s, size_t n, const char* prefix) {
  size_t np = strlen(prefix);
  return n >= np && SameText(s, np, prefix, np);
}

// Length of a padded field or memo without its trailing spaces (and zeros).
// Fields are mostly padding (a location uses a fifth of its 255 characters),
// so the padding is skipped eight characters at a time.
size_t Trimmed(const char* s, size_t width) {
  static const uint64_t kSpaces = 0x2020202020202020ull;
  while (width >= 8) {
    uint64_t w;
    memcpy(&w, s + width - 8, 8);
    if (w != kSpaces) break;
    width -= 8;
  }
  while (width > 0 && (s[width - 1] == ' ' || s[width - 1] == '\0')) width--;
  return width;
}

template <size_t N>
size_t TrimmedField(const char (&f)[N]) {
  return Trimmed(f, N);
}

size_t MemoLength(const char* memo, size_t capacity) { return Trimmed(memo, strnlen(memo, capacity)); }

// Copies text cut to capacity - 1 characters.
void CopyText(char* out, size_t capacity, const char* text) {
  if (capacity == 0) return;
  size_t n = text ? strnlen(text, capacity - 1) : 0;
  memcpy(out, text, n);
  out[n] = '\0';
}

// Start and end of the file part of a name (after the last "\" or "/").
const char* FilePart(const char* name) {
  const char* part = name;
  for (const char* p = name; *p; p++)
    if (*p == '\\' || *p == '/') part = p + 1;
  return part;
}

// The store's code for a C library failure, so that the messages show the
// store's texts ("Access Denied").
int CodeOfErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return KS_ERR_NO_FILE;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return KS_ERR_ACCESS;
    case ENOMEM: return KS_ERR_NO_MEMORY;
    default: return KS_ERR_IO;
  }
}


const char* const kTextTypes[6] = {
    nullptr, "Replace Title", "Before Category", "Before Category Title", "After Category Title", "After Category"};
enum { kReplaceTitle = 1, kBeforeCategory, kBeforeTitle, kAfterTitle, kAfterCategory };

const char kBeforeAll[] = "_Before All";
const char kAfterAll[] = "_After All";

}  // namespace

// ---- Settings ------------------------------------------------------------------------------

const char* ExportTypeName(int type) { return type >= 0 && type < kExportTypeCount ? kTypeNames[type] : nullptr; }

int ExportTypeFromName(const char* text) {
  if (text == nullptr) return kExportTable;
  while (*text == ' ') text++;
  size_t n = Trimmed(text, strlen(text));
  for (int t = 0; t < kExportTypeCount; t++)
    if (SameText(text, n, kTypeNames[t], strlen(kTypeNames[t]))) return t;
  return kExportTable;
}

bool IsHtmlExportType(int type) { return type == kExportTable || type == kExportSimple || type == kExportFrame; }

void DefaultExportSettings(ExportSettings* s) {
  memset(s, 0, sizeof *s);
  CopyText(s->Name, sizeof s->Name, "TLNKEXP.HTM");
  CopyText(s->Type, sizeof s->Type, kTypeNames[kExportTable]);
  CopyText(s->Categories, sizeof s->Categories, "All");
  s->SiteInfo = 1;
  s->Ratings = 1;
}

void ReadExportSettings(ExportProfileRead read, void* context, ExportSettings* s) {
  DefaultExportSettings(s);
  if (read == nullptr) return;
  char value[256];
  if (read("Name", value, sizeof value, context)) CopyText(s->Name, sizeof s->Name, value);
  if (read("Type", value, sizeof value, context)) CopyText(s->Type, sizeof s->Type, value);
  if (read("Categories", value, sizeof value, context)) CopyText(s->Categories, sizeof s->Categories, value);
  if (read("Category", value, sizeof value, context)) CopyText(s->Category, sizeof s->Category, value);
  if (read("SiteInfo", value, sizeof value, context)) s->SiteInfo = atoi(value) != 0;
  if (read("Ratings", value, sizeof value, context)) s->Ratings = atoi(value) != 0;
}

int WriteExportSettings(const ExportSettings* s, ExportProfileWrite write, void* context) {
  if (s == nullptr || write == nullptr) return 0;
  int ok = 1;
  ok &= write("SiteInfo", s->SiteInfo ? "1" : "0", context) != 0;
  ok &= write("Ratings", s->Ratings ? "1" : "0", context) != 0;
  ok &= write("Type", s->Type, context) != 0;
  ok &= write("Categories", s->Categories, context) != 0;
  ok &= write("Category", s->Category, context) != 0;
  ok &= write("Name", s->Name, context) != 0;
  return ok;
}

bool ExportsSelectedCategory(const ExportSettings* s) {
  size_t n = Trimmed(s->Categories, strlen(s->Categories));
  const char* p = s->Categories;
  while (n > 0 && *p == ' ') {
    p++;
    n--;
  }
  return SameText(p, n, "Selected", 8);
}

int AddExportExtension(char* name, size_t capacity, int type) {
  if (name == nullptr || name[0] == '\0') return 1;
  if (strchr(FilePart(name), '.') != nullptr) return 1;
  const char* ext = IsHtmlExportType(type) ? ".htm" : ".txt";
  size_t n = strlen(name);
  if (n + strlen(ext) + 1 > capacity) return 0;
  memcpy(name + n, ext, strlen(ext) + 1);
  return 1;
}

// ---- Companion files -----------------------------------------------------------------------

int ExportFrameStem(const char* exportName, char* stem, size_t capacity) {
  if (exportName == nullptr || stem == nullptr || capacity == 0) return 0;
  const char* part = FilePart(exportName);
  const char* dot = strchr(part, '.');
  size_t n = dot ? (size_t)(dot - exportName) : strlen(exportName);
  size_t bare = n - (size_t)(part - exportName);
  std::string s(exportName, n);
  if (bare > 7) s.pop_back();
  else if (bare < 7) s += '_';
  if (s.size() + 1 > capacity) return 0;
  memcpy(stem, s.c_str(), s.size() + 1);
  return 1;
}

int ExportPageName(const char* stem, int page, char* out, size_t capacity) {
  if (stem == nullptr || out == nullptr || page < 0) return 0;
  int n;
  if (page == 0) {
    n = snprintf(out, capacity, "%sm.htm", stem);
  } else {
    size_t len = strlen(stem);
    if (page > 9 && len > 0) len--;
    n = snprintf(out, capacity, "%.*s%d.htm", (int)len, stem, page);
  }
  return n > 0 && (size_t)n < capacity;
}

int FormatExportDate(const ExportDate& date, char* out, size_t capacity) {
  static const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
  if (date.month < 1 || date.month > 12) return 0;
  int n = snprintf(out, capacity, "%s %d, %04d", kMonths[date.month - 1], date.day, date.year);
  return n > 0 && (size_t)n < capacity;
}

void FormatExportProblem(int problem, const char* file, int error, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  snprintf(out, capacity, "%s%s: %s", problem == kExportOpenFailed ? "Error opening " : "Error adding to ",
           file ? file : "", ks_error_text(error));
}

// ---- Line files ----------------------------------------------------------------------------

namespace {

// One output file written line by line as OUT:Line records: each line cut to the
// field's 512 characters, its trailing spaces removed, ended by CR LF. Lines are
// gathered and written in large blocks; the first failure of a file is
// reported, and the lines of a file that failed are counted as lost.
class LineFile {
public:
  enum { kWidth = sizeof(LineRecord512{}.Line), kBlock = 1 << 16 };

  LineFile() = default;
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;
  ~LineFile() { Close(); }

  void SetReporter(ExportReport report, void* context, long* lost) {
    report_ = report;
    context_ = context;
    lost_ = lost;
  }

  // Creates the file anew; the store's code on failure (nothing is open then).
  int Create(const char* name) {
    Close();
    name_ = name;
    failed_ = false;
    errno = 0;
    file_ = fopen(name, "wb");
    if (file_ == nullptr) return CodeOfErrno(errno);
    setvbuf(file_, nullptr, _IONBF, 0);
    block_.clear();
    block_.reserve(kBlock + kWidth + 2);
    return KS_OK;
  }

  bool IsOpen() const { return file_ != nullptr; }
  const char* Name() const { return name_.c_str(); }

  void Line(const char* s, size_t n) {
    if (file_ == nullptr || failed_) {
      if (lost_ && file_ != nullptr) ++*lost_;
      return;
    }
    if (n > kWidth) n = kWidth;
    n = Trimmed(s, n);
    block_.append(s, n);
    block_.append("\r\n", 2);
    lines_++;
    if (block_.size() >= kBlock) Flush();
  }
  void Line(const std::string& s) { Line(s.data(), s.size()); }
  void Line(const char* s) { Line(s, strlen(s)); }

  // Writes what is gathered and closes the file.
  void Close() {
    if (file_ == nullptr) return;
    Flush();
    errno = 0;
    if (fclose(file_) != 0 && !failed_) Fail(CodeOfErrno(errno));
    file_ = nullptr;
  }

private:
  void Flush() {
    if (block_.empty() || failed_) return;
    errno = 0;
    size_t wrote = fwrite(block_.data(), 1, block_.size(), file_);
    if (wrote != block_.size()) Fail(CodeOfErrno(errno));
    block_.clear();
    lines_ = 0;
  }
  void Fail(int code) {
    failed_ = true;
    if (lost_) *lost_ += lines_ > 0 ? lines_ : 1;
    lines_ = 0;
    if (report_) report_(kExportLineFailed, name_.c_str(), code, context_);
  }

  FILE* file_ = nullptr;
  std::string name_;
  std::string block_;
  long lines_ = 0;  // lines gathered since the last write
  bool failed_ = false;
  ExportReport report_ = nullptr;
  void* context_ = nullptr;
  long* lost_ = nullptr;
};

// The five texts of one category (index by kReplaceTitle..kAfterCategory).
struct CategoryTexts {
  std::string text[6];
};

}  // namespace

// ---- The run -----------------------------------------------------------------------------------

struct ExportRun {
  ExportSettings settings;
  int type = kExportTable;
  bool selected = false;
  size_t categoryLength = 0;  // of settings.Category, trimmed
  KsFile* sites = nullptr;
  KsFile* texts = nullptr;
  KsCursor* cursor = nullptr;
  ExportReport report = nullptr;
  void* context = nullptr;

  uint32_t total = 0;  // sites in the file when the run began
  uint32_t read = 0;
  long written = 0;
  long lost = 0;
  bool finished = false;

  char date[40] = "";
  std::string replaceTitle;  // "_Before All"'s "Replace Title" text

  // Export state.
  bool sectionOpen = false;
  long categoryCounter = 0;
  int pageCounter = 0;
  std::string lastCategory;
  CategoryTexts current;  // texts of the open section's category
  std::vector<std::string> index;
  std::vector<std::string> contents;
  char stem[300] = "";
  char pageName[320] = "";

  LineFile out;   // the export file
  LineFile page;  // the frame layout's current page file

  std::string line;  // the line being composed
  SiteRecord site;
};

namespace {

bool IsFrame(const ExportRun* r) { return r->type == kExportFrame; }

// The text of (category, type) from CatHTML; "" when there is none.
std::string LookUpText(ExportRun* r, const char* category, size_t n, int type) {
  if (r->texts == nullptr) return std::string();
  CatHtmlRecord rec;
  ks_clear(&CatHTML_Decl, &rec);
  SetField(rec.Category, sizeof rec.Category, std::string(category, n).c_str());
  SET_FIELD(rec.TypeOfHTML, kTextTypes[type]);
  if (ks_get(r->texts, HTM_KeyCategoryHTML, &rec) != KS_OK) return std::string();
  return std::string(rec.HTMLtoAdd, MemoLength(rec.HTMLtoAdd, sizeof rec.HTMLtoAdd));
}

void LoadTexts(ExportRun* r, const char* category, size_t n, CategoryTexts* t) {
  for (int type = kReplaceTitle; type <= kAfterCategory; type++) t->text[type] = LookUpText(r, category, n, type);
}

// Writes every text of a pseudo-category in type-name order, leaving out those
// whose type begins with "Replace" when skipReplace.
void WriteAllTexts(ExportRun* r, const char* category, bool skipReplace) {
  if (r->texts == nullptr) return;
  KsCursor* c = nullptr;
  if (ks_cursor_open(r->texts, HTM_KeyCategoryHTML, nullptr, &c) != KS_OK) return;
  CatHtmlRecord rec;
  ks_clear(&CatHTML_Decl, &rec);
  SET_FIELD(rec.Category, category);
  if (ks_set(c, &rec) == KS_OK) {
    size_t want = strlen(category);
    while (ks_next(c, &rec) == KS_OK && SameText(rec.Category, TrimmedField(rec.Category), category, want)) {
      if (skipReplace && StartsWithNoCase(rec.TypeOfHTML, TrimmedField(rec.TypeOfHTML), "Replace")) continue;
      size_t n = MemoLength(rec.HTMLtoAdd, sizeof rec.HTMLtoAdd);
      if (n > 0) r->out.Line(rec.HTMLtoAdd, n);
    }
  }
  ks_cursor_close(c);
}

// Writes a category text to the export file (and to the page when both).
void Text(ExportRun* r, int type, bool toPage) {
  const std::string& t = r->current.text[type];
  if (t.empty()) return;
  r->out.Line(t);
  if (toPage) r->page.Line(t);
}

void Both(ExportRun* r, const std::string& line) {
  r->out.Line(line);
  if (IsFrame(r)) r->page.Line(line);
}

void AppendNumber(std::string* s, long v) {
  char buf[24];
  int n = snprintf(buf, sizeof buf, "%ld", v);
  s->append(buf, (size_t)n);
}

void OpenPage(ExportRun* r) {
  if (!ExportPageName(r->stem, r->pageCounter, r->pageName, sizeof r->pageName)) r->pageName[0] = '\0';
  int rc = r->pageName[0] ? r->page.Create(r->pageName) : KS_ERR_BAD_ARGUMENT;
  if (rc != KS_OK && r->report) r->report(kExportOpenFailed, r->pageName, rc, r->context);
}

// The frame layout's page file gets text 5 and its end, and is closed.
void FinishPage(ExportRun* r) {
  const std::string& t = r->current.text[kAfterCategory];
  if (!t.empty()) r->page.Line(t);
  r->page.Line("</ul></body></html>");
  r->page.Close();
}

// Opens a new category section for the site's category (HTML types).
void NewSection(ExportRun* r, const char* category, size_t n) {
  bool frame = IsFrame(r);
  if (r->sectionOpen) {
    if (r->type == kExportSimple) {
      r->out.Line("</ul><hr><p align=center>");
      Text(r, kAfterCategory, false);
    } else {
      r->out.Line("</ul></table></div>");
      Text(r, kAfterCategory, false);
      if (frame) {
        FinishPage(r);
        r->pageCounter++;
        OpenPage(r);
      }
    }
  }
  r->sectionOpen = true;
  LoadTexts(r, category, n, &r->current);
  std::string& l = r->line;
  if (frame) {
    l.assign("<tr><td><a href=\"").append(r->pageName).append("\">");
    if (n == 0) l.append("No Category");
    else l.append(category, n);
    l.append("</a></td></tr>");
    r->contents.push_back(l);
    l.assign("<html><head><title>");
    if (!r->replaceTitle.empty()) l.append(r->replaceTitle).append(" - ");
    l.append(category, n).append("</title></head><body>");
    r->page.Line(l);
  }
  Text(r, kBeforeCategory, frame);
  if (r->type == kExportSimple) {
    r->out.Line("<ul>");
  } else {
    r->out.Line("<div align=left><table border=1 width=100%><ul>");
    r->out.Line("<tr><td align=center colspan=3 width=100%>");
  }
  Text(r, kBeforeTitle, frame);
  r->categoryCounter++;
  r->lastCategory.assign(category, n);
  const std::string& title = r->current.text[kReplaceTitle];
  l.assign("<h3><a name=\"URL");
  AppendNumber(&l, r->categoryCounter);
  l.append("\">");
  if (!title.empty()) l.append(title);
  else l.append(category, n);
  l.append(r->type == kExportSimple ? "</a></h3></p><p align=left>" : "</a></h3>");
  Both(r, l);
  if (frame) r->page.Line("<ul>");
  l.assign("<a href=\"#URL");
  AppendNumber(&l, r->categoryCounter);
  l.append("\">").append(category, n).append("</a>");
  r->index.push_back(l);
  Text(r, kAfterTitle, frame);
  if (r->type != kExportSimple) r->out.Line("</td></tr>");
}

// Text types: a value with line breaks and tabs made spaces, so that every site
// stays one line.
void AppendFlat(std::string* l, const char* s, size_t n) {
  size_t start = l->size();
  l->append(s, n);
  if (!memchr(s, '\r', n) && !memchr(s, '\n', n) && !memchr(s, '\t', n)) return;
  for (size_t i = start; i < l->size(); i++) {
    char c = (*l)[i];
    if (c == '\r' || c == '\n' || c == '\t') (*l)[i] = ' ';
  }
}

void AppendPadded(std::string* l, const char* s, size_t n, size_t width) {
  AppendFlat(l, s, n);
  if (n < width) l->append(width - n, ' ');
}

void WriteAscii(ExportRun* r, const SiteRecord& s) {
  std::string& l = r->line;
  l.clear();
  AppendFlat(&l, s.Category, sizeof s.Category);
  l += ' ';
  AppendFlat(&l, s.Location, sizeof s.Location);
  l += ' ';
  AppendFlat(&l, s.Description, sizeof s.Description);
  if (r->settings.SiteInfo) {
    l += ' ';
    AppendPadded(&l, s.SiteInfo, strnlen(s.SiteInfo, sizeof s.SiteInfo), 1000);
  }
  if (r->settings.Ratings && l.size() < LineFile::kWidth) {
    l += ' ';
    AppendNumber(&l, s.Rating);
  }
  r->out.Line(l);
}

void WriteComma(ExportRun* r, const SiteRecord& s) {
  std::string& l = r->line;
  l.assign("\"");
  AppendFlat(&l, s.Category, TrimmedField(s.Category));
  l.append("\",\"");
  AppendFlat(&l, s.Location, TrimmedField(s.Location));
  l.append("\",\"");
  AppendFlat(&l, s.Description, TrimmedField(s.Description));
  if (r->settings.SiteInfo) {
    l.append("\",\"");
    AppendFlat(&l, s.SiteInfo, MemoLength(s.SiteInfo, sizeof s.SiteInfo));
  }
  if (r->settings.Ratings) {
    l.append("\",");
    AppendNumber(&l, s.Rating);
  } else {
    l.append("\"");
  }
  r->out.Line(l);
}

void WriteHtmlSite(ExportRun* r, const SiteRecord& s) {
  size_t nc = TrimmedField(s.Category);
  if (nc != r->lastCategory.size() || memcmp(s.Category, r->lastCategory.data(), nc) != 0)
    NewSection(r, s.Category, nc);
  const char* loc = s.Location;
  size_t nl = TrimmedField(s.Location);
  const char* desc = s.Description;
  size_t nd = TrimmedField(s.Description);
  if (nd == 0) {
    desc = loc;
    nd = nl;
  }
  size_t nn = MemoLength(s.SiteInfo, sizeof s.SiteInfo);
  bool notes = r->settings.SiteInfo != 0;
  bool ratings = r->settings.Ratings != 0;
  std::string& l = r->line;
  if (r->type == kExportSimple) {
    l.assign("<li><a href=\"").append(loc, nl).append("\">").append(desc, nd).append("</a></li>");
    r->out.Line(l);
    if (notes && nn > 0) r->out.Line(s.SiteInfo, nn);
    if (ratings && s.Rating != 0) {
      l.assign(" ** Rating: ");
      AppendNumber(&l, s.Rating);
      l.append(" **");
      r->out.Line(l);
    }
    return;
  }
  l.assign("<tr><td><li><a href=\"").append(loc, nl).append("\">").append(desc, nd).append("</a></li></td>");
  r->out.Line(l);
  if (notes) {
    if (nn > 0) l.assign("<td>").append(s.SiteInfo, nn).append("</td>");
    else l.assign("<td>No Description</td>");
    r->out.Line(l);
  }
  if (ratings) {
    if (s.Rating != 0) {
      l.assign("<td>Rating:  ");
      AppendNumber(&l, s.Rating);
      l.append("</td></tr>");
    } else {
      l.assign("<td>No Rating</td></tr>");
    }
    r->out.Line(l);
  } else {
    r->out.Line("</tr>");
  }
  if (IsFrame(r)) {
    l.assign("<li><a href=\"").append(loc, nl).append("\">").append(desc, nd).append("</a></li>");
    r->page.Line(l);
    if (notes && nn > 0) r->page.Line(s.SiteInfo, nn);
    if (ratings && s.Rating != 0) {
      l.assign(" ** Rating:  ");
      AppendNumber(&l, s.Rating);
      l.append("**");
      r->page.Line(l);
    }
  }
}

void WriteSite(ExportRun* r, const SiteRecord& s) {
  if (r->selected && !SameText(s.Category, TrimmedField(s.Category), r->settings.Category, r->categoryLength)) return;
  r->written++;
  switch (r->type) {
    case kExportAscii: WriteAscii(r, s); break;
    case kExportComma: WriteComma(r, s); break;
    default: WriteHtmlSite(r, s); break;
  }
}

void WriteStart(ExportRun* r) {
  bool frame = IsFrame(r);
  std::string& l = r->line;
  // A frameset is shown only when no body precedes it, so the frame layout's
  // main file opens its body inside the noframes part.
  l.assign("<html><head><title>");
  l.append(r->replaceTitle.empty() ? "Tabulink - Site List" : r->replaceTitle);
  l.append(frame ? "</title></head>" : "</title></head><body>");
  r->out.Line(l);
  if (frame) {
    ExportFrameStem(r->settings.Name, r->stem, sizeof r->stem);
    l.assign("<frameset rows=\"80%,20%\"><frameset cols=\"15%,85%\"><frame src=\"")
        .append(r->stem)
        .append("c.htm\" name=\"contents\" marginwidth=\"1\" marginheight=\"1\">");
    r->out.Line(l);
    l.assign("<frame src=\"")
        .append(r->stem)
        .append("m.htm\" name=\"main\" marginwidth=\"1\" marginheight=\"1\"></frameset>");
    r->out.Line(l);
    l.assign("<frame src=\"")
        .append(r->stem)
        .append("b.htm\" name=\"banner\" marginwidth=\"1\" marginheight=\"1\"><noframes>");
    r->out.Line(l);
  }
  WriteAllTexts(r, kBeforeAll, true);
  if (frame) OpenPage(r);
  l.assign("<marquee><center><h3>Site List Generated by Tabulink on ")
      .append(r->date)
      .append("</h3><center></marquee>");
  r->out.Line(l);
  r->out.Line("<h6><a href=\"#URLIndex\">Jump to Index</a></h6><hr>");
}

void WriteIndex(ExportRun* r) {
  r->out.Line("<hr>");
  r->out.Line("<p align=center><a name=\"URLIndex\">");
  r->out.Line("<h2>Index</h2></a><ul></p><p align=left>");
  std::string& l = r->line;
  for (const std::string& e : r->index) {
    l.assign("<li>").append(e).append("</li>");
    r->out.Line(l);
  }
}

void WriteContents(ExportRun* r) {
  LineFile file;
  file.SetReporter(r->report, r->context, &r->lost);
  std::string name = std::string(r->stem) + "c.htm";
  int rc = file.Create(name.c_str());
  if (rc != KS_OK) {
    if (r->report) r->report(kExportOpenFailed, name.c_str(), rc, r->context);
    return;
  }
  file.Line("<html><title><head>Table of Contents</title><base target=\"main\"></head><body>");
  file.Line("<div align=left><table border=1 width=100%>");
  for (const std::string& e : r->contents) file.Line(e);
  file.Line("</table></div>");
  file.Close();
}

void WriteBanner(ExportRun* r) {
  LineFile file;
  file.SetReporter(r->report, r->context, &r->lost);
  std::string name = std::string(r->stem) + "b.htm";
  int rc = file.Create(name.c_str());
  if (rc != KS_OK) {
    if (r->report) r->report(kExportOpenFailed, name.c_str(), rc, r->context);
    return;
  }
  file.Line("<html><body><base target=\"main\">");
  file.Line(kExportCreditH5);
  file.Line(kExportCreditH6);
  file.Line("</body></html>");
  file.Close();
}

void WriteEnd(ExportRun* r) {
  bool frame = IsFrame(r);
  if (!r->index.empty()) {
    if (r->type == kExportSimple) {
      r->out.Line("</ul>");
      Text(r, kAfterCategory, false);
    } else {
      r->out.Line("</ul></table></div>");
      Text(r, kAfterCategory, false);
      if (frame) {
        FinishPage(r);
        WriteContents(r);
      }
    }
    WriteIndex(r);
  }
  if (frame) r->page.Close();
  r->out.Line("</ul>");
  WriteAllTexts(r, kAfterAll, false);
  r->out.Line("<br><hr>");
  r->out.Line(kExportCreditH5);
  r->out.Line(kExportCreditH6);
  if (frame) {
    WriteBanner(r);
    r->out.Line("</noframes>");
    r->out.Line("</frameset>");
  }
  r->out.Line("</body></html>");
}

}  // namespace

int ExportBegin(const ExportSettings* settings, KsFile* sites, KsFile* texts, const ExportDate& today,
                ExportReport report, void* context, ExportRun** out, int* error) {
  if (error) *error = KS_OK;
  if (out) *out = nullptr;
  if (settings == nullptr || sites == nullptr || out == nullptr || settings->Name[0] == '\0') return kExportBadArgument;
  ExportRun* r = new (std::nothrow) ExportRun();
  if (r == nullptr) return kExportNoMemory;
  r->settings = *settings;
  r->settings.Name[sizeof r->settings.Name - 1] = '\0';
  r->settings.Category[sizeof r->settings.Category - 1] = '\0';
  r->type = ExportTypeFromName(settings->Type);
  r->selected = ExportsSelectedCategory(settings);
  r->categoryLength = Trimmed(r->settings.Category, strlen(r->settings.Category));
  r->sites = sites;
  r->texts = texts;
  r->report = report;
  r->context = context;
  r->out.SetReporter(report, context, &r->lost);
  r->page.SetReporter(report, context, &r->lost);
  if (!FormatExportDate(today, r->date, sizeof r->date)) r->date[0] = '\0';
  r->line.reserve(2048);

  int rc = ks_cursor_open(sites, -1, nullptr, &r->cursor);
  if (rc == KS_OK) rc = ks_set(r->cursor, nullptr);
  if (rc == KS_OK) rc = ks_count(sites, &r->total);
  if (rc != KS_OK) {
    if (error) *error = rc;
    ExportEnd(r);
    return kExportReadFailed;
  }
  rc = r->out.Create(r->settings.Name);
  if (rc != KS_OK) {
    if (error) *error = rc;
    ExportEnd(r);
    return kExportCreateFailed;
  }
  ks_read_ahead(sites, 1);
  if (IsHtmlExportType(r->type)) {
    r->replaceTitle = LookUpText(r, kBeforeAll, strlen(kBeforeAll), kReplaceTitle);
    WriteStart(r);
  }
  *out = r;
  return kExportMore;
}

int ExportStep(ExportRun* r, int maxRecords, int* error) {
  if (error) *error = KS_OK;
  if (r == nullptr) return kExportBadArgument;
  if (r->finished) return kExportDone;
  for (int i = 0; i < maxRecords; i++) {
    int rc = ks_next(r->cursor, &r->site);
    if (rc == KS_ERR_NO_RECORD) {
      if (IsHtmlExportType(r->type)) WriteEnd(r);
      r->out.Close();
      r->page.Close();
      r->finished = true;
      r->read = r->total;
      return kExportDone;
    }
    if (rc != KS_OK) {
      if (error) *error = rc;
      r->out.Close();
      r->page.Close();
      r->finished = true;
      return kExportReadFailed;
    }
    r->read++;
    WriteSite(r, r->site);
  }
  return kExportMore;
}

int ExportPercent(const ExportRun* r) {
  if (r == nullptr) return 0;
  if (r->finished || r->total == 0) return r->finished ? 100 : 0;
  uint64_t p = (uint64_t)r->read * 100 / r->total;
  return p > 100 ? 100 : (int)p;
}

long ExportLinesLost(const ExportRun* r) { return r ? r->lost : 0; }
long ExportSitesWritten(const ExportRun* r) { return r ? r->written : 0; }

void ExportEnd(ExportRun* r) {
  if (r == nullptr) return;
  if (r->cursor) {
    ks_read_ahead(r->sites, 0);
    ks_cursor_close(r->cursor);
  }
  delete r;
}

int ExportAll(const ExportSettings* settings, KsFile* sites, KsFile* texts, const ExportDate& today,
              ExportReport report, void* context, int* error) {
  ExportRun* run = nullptr;
  int rc = ExportBegin(settings, sites, texts, today, report, context, &run, error);
  while (rc == kExportMore) rc = ExportStep(run, 1000, error);
  ExportEnd(run);
  return rc;
}
