#include "sitelist/windows/clipboard_scan.h"

#include <ctype.h>

#include <algorithm>

#include "sitelist/records/record_operations.h"

namespace {

std::string Lowered(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

// Leading blanks; line breaks and tabs of a copied text count as spaces.
std::string LeftTrimmed(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
  return s.substr(i);
}

std::string RightTrimmed(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// The category given by a heading that comes before the first link, or "" when
// the text has no such heading.
std::string HeadingCategory(const std::string& text, const std::string& low) {
  size_t h = low.find("<h");
  size_t r = low.find("href");
  if (h == std::string::npos || (r != std::string::npos && r < h)) return std::string();
  bool plain = h + 3 < low.size() && low[h + 3] == '>';
  bool folder = low.compare(h + 3, 4, " add") == 0 && h + 7 <= low.size();
  if (!plain && !folder) return std::string();
  std::string from = text.substr(h);
  size_t gt = from.find('>');
  if (gt == std::string::npos) return std::string();
  std::string after = from.substr(gt + 1);
  size_t lt = after.find('<');
  std::string name = lt == std::string::npos ? after.substr(0, 254) : after.substr(0, lt);
  return RightTrimmed(LeftTrimmed(name).substr(0, 30));
}

}  // namespace

ClipboardScanResult ScanClipboardText(const std::string& text, const std::string& date, const std::string& time,
                                      ClipboardScanSink* sink, int* count, std::string* status) {
  ClipboardScanResult result;
  // The clipboard's text ends at its first zero.
  std::string work = text.substr(0, std::min(text.find('\0'), size_t{CLIPBOARD_TEXT_WIDTH}));
  work.resize(CLIPBOARD_TEXT_WIDTH, ' ');
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
        work = work.substr(r + 4);
        continue;
      }
      work = work.substr(q + 1);
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
        work = work.substr(p);
      } else {
        p = low.find("www.");
        if (p == std::string::npos) break;  // nothing more in the text
        work = "http://" + work.substr(p);
      }
      size_t end = work.find(' ');
      if (end == std::string::npos) end = work.find(',');
      if (end == std::string::npos) {
        work = work.size() > 9 ? work.substr(9) : std::string();
        continue;
      }
      location = LeftTrimmed(work.substr(0, end));
      rest = work.substr(end + 1);
    }
    // What follows the location up to and including the tag's closing ">".
    size_t gt = rest.find('>');
    if (gt != std::string::npos) rest = rest.substr(gt + 1);
    work = rest;

    location = RightTrimmed(location.substr(0, sizeof(site.Location)));  // as the field keeps it
    if (location.empty() || location.find(':') == std::string::npos) continue;

    std::string rest_low = Lowered(rest);
    size_t close = rest_low.find("</a>");
    std::string description;
    std::string info;
    if (close != std::string::npos) {
      description = LeftTrimmed(rest.substr(0, close));
      info = LeftTrimmed(rest.substr(close + 4));
      if (!info.empty() && info[0] == '<') info.clear();
      work = rest.substr(close + 1);
    } else {
      description = LeftTrimmed(rest);
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
    if (!sink->AddSite(&site)) continue;
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

void StoreClipboardSink::AddCategory(CategoryRecord* cat) { ::AddCategory(cat); }

bool StoreClipboardSink::LocationExists(const std::string& location) {
  SiteRecord site = {};
  ks_clear(&TABLNK_Decl, &site);
  SET_FIELD(site.Location, location.c_str());
  return ks_get(RecordFile(RF_TABLNK), URL_K_Location, &site) == KS_OK;
}

bool StoreClipboardSink::AddSite(SiteRecord* site) {
  int code = 0;
  if (::AddSite(site, &code)) return true;
  if (on_add_failed_) on_add_failed_(code);
  return false;
}
