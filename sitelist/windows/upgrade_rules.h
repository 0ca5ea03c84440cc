// The upgrade of files written by the earlier version of Tabulink, free of any
// window: the field mappings of the three files, and a run that converts a batch
// of records per call so that the window can show its progress between batches.
#ifndef SITELIST_WINDOWS_UPGRADE_RULES_H
#define SITELIST_WINDOWS_UPGRADE_RULES_H

#include <cstdint>

#include "sitelist/records/record_files.h"

// The three procedures' conversions: the new record is cleared, then every old
// value is moved into its (longer) new field, padded with spaces.
void ConvertOldSite(const OldSiteRecord& old, SiteRecord* site);             // UpgradeTABLNK
void ConvertOldCategory(const OldCategoryRecord& old, CategoryRecord* cat);  // UpgradeCategories
void ConvertOldCatHtml(const OldCatHtmlRecord& old, CatHtmlRecord* text);    // UpgradeCatHTML

enum UpgradeKind { kUpgradeSites = 0, kUpgradeCategories, kUpgradeCatHtml, kUpgradeKinds };

// The files of one upgrade.
struct UpgradeFiles {
  int oldFile;  // RecordFileId of the earlier-version file
  int newFile;  // RecordFileId of the file it becomes
};
UpgradeFiles UpgradeFilesOf(int kind);

// Whether the earlier-version file of kind is there: opened with others denied
// writing and closed again. Returns the store's code (0: present, 2: absent).
int ProbeEarlierFile(int kind);

enum UpgradeStatus {
  kUpgradeMore = 0,    // records remain: call UpgradeStep again
  kUpgradeDone,        // the old file is read to its end
  kUpgradeAddFailed,   // a site could not be added (sites only): ask, then go on or stop
  kUpgradeReadFailed,  // a read failed ("Record Retrieval Error" was shown); the pass ends
};

struct UpgradeRun {
  int kind;
  KsFile* oldFile;
  KsFile* newFile;
  KsCursor* cursor;
  uint64_t oldSize;  // bytes of the old file's records
  int percent;       // last percentage computed
  uint32_t added;    // records added to the new file
  uint32_t skipped;  // records whose add failed
  int lastError;     // the store's code of the last failure
  bool newOpen;
  bool oldOpen;
};

// Creates the new file empty (replacing any of that name), opens it and the old
// file by the opening rules (which tell the user of any failure) and sets a pass
// over the old file in physical order. Returns true when the run can start; on
// false everything begun is closed again.
bool UpgradeBegin(UpgradeRun* run, int kind);

// Converts up to maxRecords records of the old file. The category and HTML
// upgrades go on past a failed add; the site upgrade stops there with
// kUpgradeAddFailed (lastError set) and the next call goes on with the next
// record. run->percent is updated after each call.
int UpgradeStep(UpgradeRun* run, int maxRecords);

// Ends the run: closes the pass and both files; removes the old file when
// removeOld is set. Returns the store's code of the removal (0 when not asked).
int UpgradeEnd(UpgradeRun* run, bool removeOld);

#endif
