// The upgrade of earlier-version files: field mappings and the batch-wise run.
#include "sitelist/windows/upgrade_rules.h"

#include <cstring>

#include "sitelist/records/record_messages.h"
#include "sitelist/windows/profile_rules.h"
#include "common/tx_util.h"

namespace {

static_assert(sizeof(OldSiteRecord{}.Location) <= sizeof(SiteRecord{}.Location), "old location fits");
static_assert(sizeof(OldSiteRecord{}.Description) <= sizeof(SiteRecord{}.Description), "old description fits");
static_assert(sizeof(OldSiteRecord{}.Category) <= sizeof(SiteRecord{}.Category), "old category fits");
static_assert(sizeof(OldSiteRecord{}.Keyword) <= sizeof(SiteRecord{}.Keyword), "old keyword fits");
static_assert(sizeof(OldSiteRecord{}.SiteInfo) <= sizeof(SiteRecord{}.SiteInfo), "old notes fit");
static_assert(sizeof(OldCategoryRecord{}.Category) <= sizeof(CategoryRecord{}.Category), "old category fits");
static_assert(sizeof(OldCatHtmlRecord{}.Category) <= sizeof(CatHtmlRecord{}.Category), "old category fits");
static_assert(sizeof(OldCatHtmlRecord{}.HTMLtoAdd) <= sizeof(CatHtmlRecord{}.HTMLtoAdd), "old HTML fits");

const UpgradeFiles kUpgradeFiles[] = {
    {RF_OLD_TABLNK, RF_TABLNK},
    {RF_OLD_CATEGORIES, RF_CATEGORIES},
    {RF_OLD_CATHTML, RF_CATHTML},
};
static_assert(ARRAY_SIZE(kUpgradeFiles) == kUpgradeKinds, "one file pair per upgrade");

// Moves a padded field into a wider one, padding it with spaces.
void MoveField(char* to, size_t toWidth, const char* from, size_t fromWidth) {
  size_t n = fromWidth < toWidth ? fromWidth : toWidth;
  memcpy(to, from, n);
  memset(to + n, ' ', toWidth - n);
}

// Copies a zero-terminated memo bounded by both capacities.
void MoveMemo(char* to, size_t toCap, const char* from, size_t fromCap) {
  size_t n = strnlen(from, fromCap - 1);
  if (n > toCap - 1) n = toCap - 1;
  memcpy(to, from, n);
  to[n] = '\0';
}

#define MOVE_FIELD(to, from) MoveField((to), sizeof(to), (from), sizeof(from))
#define MOVE_MEMO(to, from) MoveMemo((to), sizeof(to), (from), sizeof(from))

void* OldBuffer(int kind) {
  switch (kind) {
    case kUpgradeSites: return &g_OL;
    case kUpgradeCategories: return &g_OC;
    default: return &g_OH;
  }
}

void* NewBuffer(int kind) {
  switch (kind) {
    case kUpgradeSites: return &g_URL;
    case kUpgradeCategories: return &g_CAT;
    default: return &g_HTM;
  }
}

void Convert(int kind) {
  switch (kind) {
    case kUpgradeSites: ConvertOldSite(g_OL, &g_URL); break;
    case kUpgradeCategories: ConvertOldCategory(g_OC, &g_CAT); break;
    default: ConvertOldCatHtml(g_OH, &g_HTM); break;
  }
}

}  // namespace

void ConvertOldSite(const OldSiteRecord& old, SiteRecord* site) {
  ks_clear(&TABLNK_Decl, site);
  MOVE_FIELD(site->Location, old.Location);
  MOVE_FIELD(site->Description, old.Description);
  MOVE_FIELD(site->Category, old.Category);
  site->Rating = old.Rating;
  MOVE_FIELD(site->Keyword, old.Keyword);
  MOVE_MEMO(site->SiteInfo, old.SiteInfo);
}

void ConvertOldCategory(const OldCategoryRecord& old, CategoryRecord* cat) {
  ks_clear(&Categories_Decl, cat);
  MOVE_FIELD(cat->Category, old.Category);
  cat->Flag = 0;
  cat->Description[0] = '\0';
}

void ConvertOldCatHtml(const OldCatHtmlRecord& old, CatHtmlRecord* text) {
  ks_clear(&CatHTML_Decl, text);
  MOVE_FIELD(text->Category, old.Category);
  MOVE_FIELD(text->TypeOfHTML, old.TypeOfHTML);
  MOVE_MEMO(text->HTMLtoAdd, old.HTMLtoAdd);
}

UpgradeFiles UpgradeFilesOf(int kind) {
  if (kind < 0 || kind >= kUpgradeKinds) return UpgradeFiles{-1, -1};
  return kUpgradeFiles[kind];
}

int ProbeEarlierFile(int kind) {
  UpgradeFiles files = UpgradeFilesOf(kind);
  const KsFileDecl* decl = RecordFileDecl(files.oldFile);
  if (decl == nullptr) return KS_ERR_BAD_ARGUMENT;
  KsFile* f = nullptr;
  int rc = ks_open(decl, nullptr, KS_DENY_WRITE, &f);
  if (f != nullptr) ks_close(f);
  return rc;
}

bool UpgradeBegin(UpgradeRun* run, int kind) {
  *run = UpgradeRun{};
  run->kind = kind;
  UpgradeFiles files = UpgradeFilesOf(kind);
  const KsFileDecl* newDecl = RecordFileDecl(files.newFile);
  if (newDecl == nullptr) return false;
  int rc = ks_create(newDecl, nullptr);
  if (rc != KS_OK) {
    run->lastError = rc;
    RecordPrompt(RM_FILE_CREATION, rc, newDecl->label, nullptr);
    return false;
  }
  if (!OpenRecordFile(files.newFile)) return false;
  run->newOpen = true;
  run->newFile = RecordFile(files.newFile);
  if (!OpenRecordFile(files.oldFile)) {
    UpgradeEnd(run, false);
    return false;
  }
  run->oldOpen = true;
  run->oldFile = RecordFile(files.oldFile);
  rc = ks_cursor_open(run->oldFile, -1, nullptr, &run->cursor);
  if (rc == KS_OK) rc = ks_set(run->cursor, nullptr);
  if (rc == KS_OK) rc = ks_record_bytes(run->oldFile, &run->oldSize);
  if (rc != KS_OK) {
    run->lastError = rc;
    RecordPrompt(RM_RECORD_RETRIEVAL, rc, RecordFileDecl(files.oldFile)->label, nullptr);
    UpgradeEnd(run, false);
    return false;
  }
  ks_read_ahead(run->oldFile, 1);
  return true;
}

int UpgradeStep(UpgradeRun* run, int maxRecords) {
  void* oldRec = OldBuffer(run->kind);
  void* newRec = NewBuffer(run->kind);
  int status = kUpgradeMore;
  for (int i = 0; i < maxRecords; ++i) {
    int rc = ks_next(run->cursor, oldRec);
    if (rc == KS_ERR_NO_RECORD) {
      status = kUpgradeDone;
      break;
    }
    if (rc != KS_OK) {
      run->lastError = rc;
      RecordPrompt(RM_RECORD_RETRIEVAL, rc, ks_decl(run->oldFile)->label, nullptr);
      status = kUpgradeReadFailed;
      break;
    }
    Convert(run->kind);
    rc = ks_add(run->newFile, newRec);
    if (rc == KS_OK) {
      ++run->added;
      continue;
    }
    ++run->skipped;
    run->lastError = rc;
    if (run->kind == kUpgradeSites) {
      status = kUpgradeAddFailed;
      break;
    }
  }
  run->percent = status == kUpgradeDone ? 100 : UpgradePercent(ks_cursor_bytes(run->cursor), run->oldSize);
  return status;
}

int UpgradeEnd(UpgradeRun* run, bool removeOld) {
  UpgradeFiles files = UpgradeFilesOf(run->kind);
  if (run->cursor != nullptr) {
    ks_cursor_close(run->cursor);
    run->cursor = nullptr;
  }
  if (run->oldOpen) {
    ks_read_ahead(run->oldFile, 0);
    CloseRecordFile(files.oldFile);
    run->oldOpen = false;
    run->oldFile = nullptr;
  }
  if (run->newOpen) {
    CloseRecordFile(files.newFile);
    run->newOpen = false;
    run->newFile = nullptr;
  }
  if (!removeOld) return KS_OK;
  return ks_remove(RecordFileDecl(files.oldFile), nullptr);
}
