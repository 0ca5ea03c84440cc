// libFuzzer target over the clipboard scan: any text must end its scan within
// one pass per character of the 2000-character working text (every pass that
// goes on shortens it), and every site handed to the sink has a location with a
// colon that does not begin with "#".
#include "sitelist/windows/clipboard_scan.h"

#include <stdlib.h>
#include <strings.h>

#include <set>
#include <string>

namespace {

struct MemorySink : ClipboardScanSink {
  std::set<std::string> categories, locations;
  static std::string Low(const std::string& s) {
    std::string o(s);
    for (char& c : o) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return o;
  }
  bool CategoryExists(const std::string& name) override { return categories.count(Low(name)) > 0; }
  void AddCategory(CategoryRecord* cat) override {
    char name[31];
    GET_FIELD(cat->Category, name);
    categories.insert(Low(name));
  }
  bool LocationExists(const std::string& location) override { return locations.count(Low(location)) > 0; }
  int AddSite(SiteRecord* site) override {
    char location[256];
    GET_FIELD(site->Location, location);
    std::string l(location);
    if (l.empty() || l[0] == '#' || l.find(':') == std::string::npos) abort();
    if (!locations.insert(Low(l)).second) abort();  // a duplicate got through
    return KS_OK;
  }
  bool AddFailed(const SiteRecord&, int) override { abort(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  MemorySink sink;
  int count = 0;
  std::string status;
  ClipboardScanResult r = ScanClipboardText(text, "12/08/2026", "11:30:00", &sink, &count, &status);
  if (r.passes > CLIPBOARD_TEXT_WIDTH + 1) abort();
  if (r.added != count || static_cast<size_t>(count) != sink.locations.size()) abort();
  if (status.size() > CLIPBOARD_STATUS_WIDTH) abort();
  return 0;
}
