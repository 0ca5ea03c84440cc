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
  // Adds the site without telling the user anything. Returns the store's code
  // (KS_OK when the site was added).
  virtual int AddSite(SiteRecord* site) = 0;
  // Called after an add failed with the store's `code`: tells the user and
  // answers true to go on with the next pass, false to end the scan there.
  virtual bool AddFailed(const SiteRecord& site, int code) = 0;
};

struct ClipboardScanResult {
  int passes = 0;        // passes made over the text
  int added = 0;         // sites added by this scan
  int failed = 0;        // adds that failed
  bool stopped = false;  // the sink ended the scan after a failed add
};

// Scans `text` (only its first 2000 characters). `date` and `time` are the
// current date and time as shown in a generated description. *count is the
// monitor's running count of added sites; `status` receives "Added N:  location"
// after each add (unchanged when nothing is added).
ClipboardScanResult ScanClipboardText(const std::string& text, const std::string& date, const std::string& time,
                                      ClipboardScanSink* sink, int* count, std::string* status);

// The sink of the running monitor: looks up and adds through the open site and
// category files (the caller has opened TABLNK and Categories). Sites are added
// quietly (the scan runs from a timer, and the caller turns a failed add's code
// into its own message through AddFailed, which here just goes on). A category
// that another window added meanwhile counts as there; any other failed
// category add shows "Record Insert Error" through the record prompt.
class StoreClipboardSink : public ClipboardScanSink {
public:
  bool CategoryExists(const std::string& name) override;
  void AddCategory(CategoryRecord* cat) override;
  bool LocationExists(const std::string& location) override;
  int AddSite(SiteRecord* site) override;
  bool AddFailed(const SiteRecord& site, int code) override;
};
