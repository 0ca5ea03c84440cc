// The clipboard monitor's scan: pass after pass over the 2000-character working
// text, each finding one location (a link's quoted href, or a bare address),
// its description and site information, the category of a heading before it,
// and handing the site to the sink, until a pass finds nothing. Every pass that
// goes on shortens the text, so the scan ends on any input.
#include "sitelist/windows/clipboard_scan.h"

#include <ctype.h>

#include <algorithm>

#include "sitelist/records/record_messages.h"
#include "sitelist/records/record_operations.h"

namespace {

std::string Lowered(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

// Line breaks and tabs of a copied text count as spaces.
const char kBlanks[] = " \t\r\n";
const char kLineBreaks[] = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string LeftTrimmed(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::string RightTrimmed(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

// A one-line field's text: a line break with the blanks around it becomes one
// space, a tab a space.
std::string OneLine(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '\r' || s[i] == '\n') {
      while (!out.empty() && IsBlank(out.back())) out.pop_back();
      while (i < s.size() && IsBlank(s[i])) ++i;
      out += ' ';
    } else {
      out += s[i] == '\t' ? ' ' : s[i];
      ++i;
    }
  }
  return out;
}

// The category given by a heading that comes before the first link, or "" when
// the text has no such heading.
std::string HeadingCategory(const std::string& text, const std::string& low) {
  size_t h = low.find("<h");
  size_t r = low.find("href");
  if (h == std::string::npos || (r != std::string::npos && r < h)) return std::string();
  // "<h", the level digit, then ">" or " add" (a bookmark file's folder title);
  // "<hr>", "<head>" and the like are no headings.
  if (h + 3 >= low.size() || !isdigit(static_cast<unsigned char>(low[h + 2]))) return std::string();
  bool plain = low[h + 3] == '>';
  bool folder = low.compare(h + 3, 4, " add") == 0;
  if (!plain && !folder) return std::string();
  std::string from = text.substr(h);
  size_t gt = from.find('>');
  if (gt == std::string::npos) return std::string();
  std::string after = from.substr(gt + 1);
  size_t lt = after.find('<');
  std::string name = lt == std::string::npos ? after.substr(0, 254) : after.substr(0, lt);
  return RightTrimmed(LeftTrimmed(name).substr(0, 30));
}

// The working text as its 2000-character field holds it: cut there and padded
// with spaces up to that length.
void SetWork(std::string* work, const std::string& value) {
  *work = value.substr(0, CLIPBOARD_TEXT_WIDTH);
  work->resize(CLIPBOARD_TEXT_WIDTH, ' ');
}

}  // namespace

ClipboardScanResult ScanClipboardText(const std::string& text, const std::string& date, const std::string& time,
                                      ClipboardScanSink* sink, int* count, std::string* status) {
  ClipboardScanResult result;
  // The clipboard's text ends at its first zero.
  std::string work;
  SetWork(&work, text.substr(0, std::min(text.find('\0'), size_t{CLIPBOARD_TEXT_WIDTH})));
  static const char* const kSchemes[] = {"http://", "ftp://", "telnet://", "mailto:"};

  for (;;) {
    ++result.passes;
    SiteRecord site = {};
    ks_clear(&TABLNK_Decl, &site);
    site.Rating = 0;
    std::string category = "Clipboard";
    std::string low = Lowered(work);

    std::string heading = HeadingCategory(work, low);
    if (!heading.empty()) category = heading;

    std::string location;
    std::string rest;
    size_t r = low.find("href");
    if (r != std::string::npos) {
      size_t q = work.find('"', r);
      if (q == std::string::npos) {  // no quoted value: step past this "href"
        SetWork(&work, work.substr(r + 4));
        continue;
      }
      SetWork(&work, work.substr(q + 1));
      size_t q2 = work.find('"');
      location = LeftTrimmed(q2 == std::string::npos ? work : work.substr(0, q2));
      rest = q2 == std::string::npos ? std::string() : work.substr(q2 + 1);
    } else {
      size_t p = std::string::npos;
      for (const char* scheme : kSchemes) {
        p = low.find(scheme);
        if (p != std::string::npos) break;
      }
      if (p != std::string::npos) {
        SetWork(&work, work.substr(p));
      } else {
        p = low.find("www.");
        if (p == std::string::npos) break;  // nothing more in the text
        SetWork(&work, "http://" + work.substr(p));
      }
      size_t end = work.find_first_of(kBlanks);
      if (end == std::string::npos) end = work.find(',');
      if (end == std::string::npos) {  // a field full of one word
        SetWork(&work, work.substr(9));
        continue;
      }
      location = LeftTrimmed(work.substr(0, end));
      rest = work.substr(end + 1);
    }
    // What follows the location up to and including the tag's closing ">".
    size_t gt = rest.find('>');
    if (gt != std::string::npos) rest = rest.substr(gt + 1);
    SetWork(&work, rest);

    location = RightTrimmed(location.substr(0, sizeof(site.Location)));  // as the field keeps it
    if (location.empty() || location.find(':') == std::string::npos) continue;

    std::string rest_low = Lowered(rest);
    size_t close = rest_low.find("</a>");
    std::string description;
    std::string info;
    if (close != std::string::npos) {
      description = OneLine(LeftTrimmed(rest.substr(0, close)));  // link text may wrap
      info = LeftTrimmed(rest.substr(close + 4));
      if (!info.empty() && info[0] == '<') info.clear();
      SetWork(&work, rest.substr(close + 1));
    } else {
      description = LeftTrimmed(OneLine(rest.substr(0, rest.find_first_of(kLineBreaks))));  // the rest of its line
    }
    description = RightTrimmed(description.substr(0, 100));
    info = RightTrimmed(info.substr(0, 1000));

    if (!sink->CategoryExists(category)) {
      CategoryRecord cat = {};
      ks_clear(&Categories_Decl, &cat);
      SET_FIELD(cat.Category, category.c_str());
      SET_MEMO(cat.Description, "");
      sink->AddCategory(&cat);
    }
    SET_FIELD(site.Location, location.c_str());
    KeywordFromLocation(site.Location, sizeof(site.Location), site.Keyword, sizeof(site.Keyword));
    if (location[0] == '#') continue;  // a link within the same page
    if (description.empty()) {
      description = ("Added from clipboard " + date + " " + time + " " + location).substr(0, 100);
    }
    if (sink->LocationExists(location)) continue;
    SET_FIELD(site.Description, description.c_str());
    SET_FIELD(site.Category, category.c_str());
    SET_MEMO(site.SiteInfo, info.c_str());
    int code = sink->AddSite(&site);
    if (code != KS_OK) {
      ++result.failed;
      if (sink->AddFailed(site, code)) continue;
      result.stopped = true;
      break;
    }
    ++*count;
    ++result.added;
    *status = ("Added " + std::to_string(*count) + ":  " + location).substr(0, CLIPBOARD_STATUS_WIDTH);
  }
  return result;
}

bool StoreClipboardSink::CategoryExists(const std::string& name) {
  CategoryRecord cat = {};
  ks_clear(&Categories_Decl, &cat);
  SET_FIELD(cat.Category, name.c_str());
  return ks_get(RecordFile(RF_CATEGORIES), CAT_K_Category, &cat) == KS_OK;
}

void StoreClipboardSink::AddCategory(CategoryRecord* cat) {
  KsFile* f = RecordFile(RF_CATEGORIES);
  int rc = f != nullptr ? ks_add(f, cat) : KS_ERR_NOT_OPEN;
  if (rc != KS_OK && rc != KS_ERR_DUPLICATE) RecordPrompt(RM_INSERT_ERROR, rc, Categories_Decl.label, nullptr);
}

bool StoreClipboardSink::LocationExists(const std::string& location) {
  SiteRecord site = {};
  ks_clear(&TABLNK_Decl, &site);
  SET_FIELD(site.Location, location.c_str());
  return ks_get(RecordFile(RF_TABLNK), URL_K_Location, &site) == KS_OK;
}

int StoreClipboardSink::AddSite(SiteRecord* site) {
  KsFile* f = RecordFile(RF_TABLNK);
  return f != nullptr ? ks_add(f, site) : KS_ERR_NOT_OPEN;
}

bool StoreClipboardSink::AddFailed(const SiteRecord&, int) { return true; }
