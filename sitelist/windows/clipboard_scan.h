// The clipboard monitor's scan of one clipboard text: finds the locations in it
// (bare addresses or the links of HTML text), builds a site for each and hands
// categories and sites to a sink, which looks them up and stores them.
#pragma once

#include <stddef.h>
#include <string>

#include "sitelist/records/record_files.h"

enum { CLIPBOARD_TEXT_WIDTH = 2000, CLIPBOARD_STATUS_WIDTH = 80 };

// Where the scan looks up and stores what it found.
class ClipboardScanSink {
public:
  virtual ~ClipboardScanSink() = default;
  // True when a category of this name exists (letter case not significant).
  virtual bool CategoryExists(const std::string& name) = 0;
  virtual void AddCategory(CategoryRecord* cat) = 0;
  // True when a site of this location exists (letter case not significant).
  virtual bool LocationExists(const std::string& location) = 0;
  // Adds the site; false when the add failed (the sink has told the user).
  virtual bool AddSite(SiteRecord* site) = 0;
};

struct ClipboardScanResult {
  int passes = 0;  // passes made over the text
  int added = 0;   // sites added by this scan
};

// Scans `text` (only its first 2000 characters). `date` and `time` are the
// current date and time as shown in a generated description. *count is the
// monitor's running count of added sites; `status` receives "Added N:  location"
// after each add (unchanged when nothing is added).
ClipboardScanResult ScanClipboardText(const std::string& text, const std::string& date, const std::string& time,
                                      ClipboardScanSink* sink, int* count, std::string* status);

// The sink of the running monitor: looks up and adds through the open site and
// category files (the caller has opened TABLNK and Categories) with the record
// operations. A failed add calls `on_add_failed` (when given) with the store's code.
class StoreClipboardSink : public ClipboardScanSink {
public:
  explicit StoreClipboardSink(void (*on_add_failed)(int code) = nullptr) : on_add_failed_(on_add_failed) {}
  bool CategoryExists(const std::string& name) override;
  void AddCategory(CategoryRecord* cat) override;
  bool LocationExists(const std::string& location) override;
  bool AddSite(SiteRecord* site) override;

private:
  void (*on_add_failed_)(int code);
};
