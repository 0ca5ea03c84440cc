// Declarations of Tabulink's record files, the program-wide record buffers and
// name variables, the field helpers, and the opening rules with one use count
// per file for the whole program.
#include "sitelist/records/record_files.h"

#include "sitelist/records/record_messages.h"

#include <stddef.h>
#include <string.h>

#include <atomic>
#include <mutex>

#include "common/tx_util.h"

#define FIELD(rec, name, type, member, width) \
  { name, type, width, (uint16_t)offsetof(rec, member) }
#define STR(rec, name, member) FIELD(rec, name, KS_STRING, member, (uint16_t)sizeof(((rec*)0)->member))

// ---- Sites (TABLNK and the import source share one layout) -------------------

enum { SITE_LOCATION, SITE_DESCRIPTION, SITE_CATEGORY, SITE_RATING, SITE_KEYWORD, SITE_FIELDS };

static const KsField kSiteFields[] = {
    STR(SiteRecord, "URL:Location", Location), STR(SiteRecord, "URL:Description", Description),
    STR(SiteRecord, "URL:Category", Category), FIELD(SiteRecord, "URL:Rating", KS_DECIMAL, Rating, 2),
    STR(SiteRecord, "URL:Keyword", Keyword),
};
static_assert(ARRAY_SIZE(kSiteFields) == SITE_FIELDS, "site fields");

static const KsField kImportFields[] = {
    STR(SiteRecord, "ILOC:Location", Location), STR(SiteRecord, "ILOC:Description", Description),
    STR(SiteRecord, "ILOC:Category", Category), FIELD(SiteRecord, "ILOC:Rating", KS_DECIMAL, Rating, 2),
    STR(SiteRecord, "ILOC:Keyword", Keyword),
};
static_assert(ARRAY_SIZE(kImportFields) == SITE_FIELDS, "import fields");

#define SITE_KEYS(P)                                                                                            \
  {P ":K_Location", "Site Location", KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{SITE_LOCATION, 0}}},        \
      {P ":K_Description", "Site Description", KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{SITE_DESCRIPTION, 0}}},       \
      {P ":K_Category", "Category", KS_NOCASE, 2, {{SITE_CATEGORY, 0}, {SITE_DESCRIPTION, 0}}},                 \
      {P ":K_CategoryLocation",                                                                                 \
       "Category - Location",                                                                                   \
       KS_NOCASE | KS_EXCLUDE_BLANK,                                                                            \
       2,                                                                                                       \
       {{SITE_CATEGORY, 0}, {SITE_LOCATION, 0}}},                                                               \
      {P ":K_Rating", "Rating", KS_NOCASE, 3, {{SITE_RATING, 1}, {SITE_DESCRIPTION, 0}, {SITE_LOCATION, 0}}}, { \
    P ":K_Keyword", "Keyword", KS_NOCASE, 3, {                                                                  \
      {SITE_KEYWORD, 0}, {SITE_DESCRIPTION, 0}, { SITE_LOCATION, 0 }                                            \
    }                                                                                                           \
  }

static const KsKey kSiteKeys[] = {SITE_KEYS("URL")};
static const KsKey kImportKeys[] = {SITE_KEYS("ILOC")};
static_assert(ARRAY_SIZE(kSiteKeys) == URL_K_Keyword + 1, "site keys");
static_assert(sizeof(kImportKeys) == sizeof(kSiteKeys), "import keys");

const KsFileDecl TABLNK_Decl = {"TABLNK",
                                "URL",
                                "URL_L",
                                KS_KEYED,
                                sizeof(SiteRecord),
                                offsetof(SiteRecord, Tag),
                                kSiteFields,
                                SITE_FIELDS,
                                kSiteKeys,
                                6,
                                "URL:SiteInfo",
                                1000,
                                offsetof(SiteRecord, SiteInfo)};

const KsFileDecl ImportSource_Decl = {"TABLNK",
                                      "ILOC",
                                      nullptr,
                                      KS_KEYED,
                                      sizeof(SiteRecord),
                                      offsetof(SiteRecord, Tag),
                                      kImportFields,
                                      SITE_FIELDS,
                                      kImportKeys,
                                      6,
                                      "ILOC:SiteInfo",
                                      1000,
                                      offsetof(SiteRecord, SiteInfo)};

// ---- Categories, CatHTML, History ------------------------------------------------

static const KsField kCategoryFields[] = {
    STR(CategoryRecord, "CAT:Category", Category),
    FIELD(CategoryRecord, "CAT:Flag", KS_BYTE, Flag, 0),
};
static const KsKey kCategoryKeys[] = {
    {"CAT:K_Category", "Category", KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{0, 0}}},
};
const KsFileDecl Categories_Decl = {"Categories",
                                    "CAT",
                                    "URL_C",
                                    KS_KEYED,
                                    sizeof(CategoryRecord),
                                    offsetof(CategoryRecord, Tag),
                                    kCategoryFields,
                                    2,
                                    kCategoryKeys,
                                    1,
                                    "CAT:Description",
                                    1000,
                                    offsetof(CategoryRecord, Description)};

static const KsField kCatHtmlFields[] = {
    STR(CatHtmlRecord, "HTM:Category", Category),
    STR(CatHtmlRecord, "HTM:TypeOfHTML", TypeOfHTML),
};
static const KsKey kCatHtmlKeys[] = {
    {"HTM:KeyCategoryHTML",
     "Category - Add HTML",
     KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK | KS_PRIMARY,
     2,
     {{0, 0}, {1, 0}}},
};
const KsFileDecl CatHTML_Decl = {"CatHTML",
                                 "HTM",
                                 "URL_H",
                                 KS_KEYED,
                                 sizeof(CatHtmlRecord),
                                 offsetof(CatHtmlRecord, Tag),
                                 kCatHtmlFields,
                                 2,
                                 kCatHtmlKeys,
                                 1,
                                 "HTM:HTMLtoAdd",
                                 1000,
                                 offsetof(CatHtmlRecord, HTMLtoAdd)};

static const KsField kHistoryFields[] = {
    STR(HistoryRecord, "HIS:Type", Type),
    STR(HistoryRecord, "HIS:FieldContents", FieldContents),
    FIELD(HistoryRecord, "HIS:Date", KS_LONG, Date, 0),
    FIELD(HistoryRecord, "HIS:Time", KS_LONG, Time, 0),
};
static const KsKey kHistoryKeys[] = {
    {"HIS:KeyType", "History", KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK, 4, {{0, 0}, {2, 1}, {3, 1}, {1, 0}}},
};
const KsFileDecl History_Decl = {"History",
                                 "HIS",
                                 "URL_Y",
                                 KS_KEYED,
                                 sizeof(HistoryRecord),
                                 offsetof(HistoryRecord, Tag),
                                 kHistoryFields,
                                 4,
                                 kHistoryKeys,
                                 1,
                                 nullptr,
                                 0,
                                 0};

// ---- Earlier-version files ----------------------------------------------------------

static const KsField kOldSiteFields[] = {
    STR(OldSiteRecord, "OL:Location", Location), STR(OldSiteRecord, "OL:Description", Description),
    STR(OldSiteRecord, "OL:Category", Category), FIELD(OldSiteRecord, "OL:Rating", KS_DECIMAL, Rating, 2),
    STR(OldSiteRecord, "OL:Keyword", Keyword),
};
static const KsKey kOldSiteKeys[] = {
    {"OL:K_Location", "Site Location", KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{SITE_LOCATION, 0}}},
    {"OL:K_Description", "Site Description", KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{SITE_DESCRIPTION, 0}}},
    {"OL:K_Category", "Category", KS_NOCASE, 2, {{SITE_CATEGORY, 0}, {SITE_LOCATION, 0}}},
    {"OL:K_Rating", "Rating", KS_NOCASE, 2, {{SITE_RATING, 0}, {SITE_LOCATION, 0}}},
    {"OL:K_Keyword", "Keyword", KS_NOCASE, 2, {{SITE_KEYWORD, 0}, {SITE_LOCATION, 0}}},
};
const KsFileDecl OldTABLNK_Decl = {"TABLNK",
                                   "OL",
                                   "TABLNK",
                                   KS_KEYED,
                                   sizeof(OldSiteRecord),
                                   offsetof(OldSiteRecord, Tag),
                                   kOldSiteFields,
                                   5,
                                   kOldSiteKeys,
                                   5,
                                   "OL:SiteInfo",
                                   500,
                                   offsetof(OldSiteRecord, SiteInfo)};

static const KsField kOldCategoryFields[] = {STR(OldCategoryRecord, "OC:Category", Category)};
static const KsKey kOldCategoryKeys[] = {
    {"OC:K_Category", "Category", KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK, 1, {{0, 0}}},
};
const KsFileDecl OldCategories_Decl = {"OldCategories",
                                       "OC",
                                       "CATEGORI",
                                       KS_KEYED,
                                       sizeof(OldCategoryRecord),
                                       offsetof(OldCategoryRecord, Tag),
                                       kOldCategoryFields,
                                       1,
                                       kOldCategoryKeys,
                                       1,
                                       nullptr,
                                       0,
                                       0};

static const KsField kOldCatHtmlFields[] = {
    STR(OldCatHtmlRecord, "OH:Category", Category),
    STR(OldCatHtmlRecord, "OH:TypeOfHTML", TypeOfHTML),
};
static const KsKey kOldCatHtmlKeys[] = {
    {"OH:KeyCategoryHTML",
     "Category - Add HTML",
     KS_UNIQUE | KS_NOCASE | KS_EXCLUDE_BLANK | KS_PRIMARY,
     2,
     {{0, 0}, {1, 0}}},
};
const KsFileDecl OldCatHTML_Decl = {"OldCatHTML",
                                    "OH",
                                    "CATHTML",
                                    KS_KEYED,
                                    sizeof(OldCatHtmlRecord),
                                    offsetof(OldCatHtmlRecord, Tag),
                                    kOldCatHtmlFields,
                                    2,
                                    kOldCatHtmlKeys,
                                    1,
                                    "OH:HTMLtoAdd",
                                    1000,
                                    offsetof(OldCatHtmlRecord, HTMLtoAdd)};

// ---- Line files -------------------------------------------------------------------------

static const KsField kOutFields[] = {STR(LineRecord512, "OUT:Line", Line)};
static const KsField kAscFields[] = {STR(LineRecord512, "ASC:Line", Line)};
static const KsField kQuickFields[] = {STR(LineRecord255, "QUI:Line", Line)};
const KsFileDecl ExportLines_Decl = {
    "Export", "OUT",   nullptr, KS_LINES, sizeof(LineRecord512), offsetof(LineRecord512, Tag), kOutFields, 1, nullptr,
    0,        nullptr, 0,       0};
const KsFileDecl ImportLines_Decl = {
    "Import", "ASC",   nullptr, KS_LINES, sizeof(LineRecord512), offsetof(LineRecord512, Tag), kAscFields, 1, nullptr,
    0,        nullptr, 0,       0};
const KsFileDecl QuickLines_Decl = {"QuickHTML",
                                    "QUI",
                                    nullptr,
                                    KS_LINES,
                                    sizeof(LineRecord255),
                                    offsetof(LineRecord255, Tag),
                                    kQuickFields,
                                    1,
                                    nullptr,
                                    0,
                                    nullptr,
                                    0,
                                    0};

// ---- The program's files ----------------------------------------------------------------

static const KsFileDecl* const kFiles[RF_COUNT] = {
    &TABLNK_Decl,        &Categories_Decl, &CatHTML_Decl,     &History_Decl,     &ImportSource_Decl, &OldTABLNK_Decl,
    &OldCategories_Decl, &OldCatHTML_Decl, &ExportLines_Decl, &ImportLines_Decl, &QuickLines_Decl,
};
static_assert(ARRAY_SIZE(kFiles) == RF_COUNT, "one declaration per file");

const KsFileDecl* RecordFileDecl(int id) { return id >= 0 && id < RF_COUNT ? kFiles[id] : nullptr; }

char g_ImportName[256] = "bookmark.htm";
char g_ExportName[256];
char g_QuickHtmlName[81];

SiteRecord g_URL;
CategoryRecord g_CAT;
CatHtmlRecord g_HTM;
HistoryRecord g_HIS;
SiteRecord g_ILOC;
OldSiteRecord g_OL;
OldCategoryRecord g_OC;
OldCatHtmlRecord g_OH;
LineRecord512 g_OUT;
LineRecord512 g_ASC;
LineRecord255 g_QUICK;

volatile int g_RecordProgramEnd = 0;

// The name variable of a file whose name is not fixed; NULL for the others.
static const char* file_name_variable(int id) {
  switch (id) {
    case RF_IMPORT_SOURCE:
    case RF_IMPORT_LINES: return g_ImportName;
    case RF_EXPORT_LINES: return g_ExportName;
    case RF_QUICK_LINES: return g_QuickHtmlName;
  }
  return nullptr;
}

// ---- Field helpers ----------------------------------------------------------------------

void SetField(char* field, size_t width, const char* value) {
  size_t n = value ? strnlen(value, width) : 0;
  memcpy(field, value, n);
  memset(field + n, ' ', width - n);
}

size_t GetField(const char* field, size_t width, char* out, size_t cap) {
  if (!cap) return 0;
  size_t n = width;
  while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == '\0')) n--;
  if (n > cap - 1) n = cap - 1;
  memcpy(out, field, n);
  out[n] = 0;
  return n;
}

int CompareFields(const char* a, size_t wa, const char* b, size_t wb) {
  size_t n = wa > wb ? wa : wb;
  for (size_t i = 0; i < n; i++) {
    unsigned char ca = i < wa ? (unsigned char)a[i] : ' ';
    unsigned char cb = i < wb ? (unsigned char)b[i] : ' ';
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

void SetMemo(char* memo, size_t cap, const char* value) {
  if (!cap) return;
  size_t n = value ? strnlen(value, cap - 1) : 0;
  memcpy(memo, value, n);
  memo[n] = 0;
}

// ---- Opening rules ------------------------------------------------------------------------

struct OpenState {
  std::atomic<KsFile*> file;  // read without the lock by RecordFile
  int uses;
};
static OpenState g_open[RF_COUNT];
static std::mutex g_open_mu;

enum { RECOVER_WAIT_MS = 10000 };

// Opens one file by the rules; returns the store's final code (0 when open).
static int open_by_rules(int id, KsFile** out) {
  const KsFileDecl* d = kFiles[id];
  const char* name = file_name_variable(id);
  int rc = ks_open(d, name, KS_SHARED, out);
  if (rc == KS_ERR_LOCKED) {
    ks_recover(d, name, RECOVER_WAIT_MS);
    rc = ks_open(d, name, KS_SHARED, out);
  }
  if (rc == KS_OK || rc == KS_ERR_ALREADY_OPEN) return KS_OK;
  if (rc == KS_ERR_NO_FILE) {
    int crc = ks_create(d, name);
    if (crc != KS_OK) {
      RecordPrompt(RM_FILE_CREATION, crc, d->label, nullptr);
      return crc;
    }
    rc = ks_open(d, name, KS_SHARED, out);
    if (rc == KS_OK) return KS_OK;
  }
  if (rc == KS_ERR_INVALID) {
    RecordPrompt(RM_INVALID_FILE, rc, d->label, nullptr);
    return rc;
  }
  if (rc == KS_ERR_REBUILD && RecordPrompt(RM_INVALID_KEY, rc, d->label, nullptr) == RA_YES) {
    int brc = ks_rebuild(d, name);
    if (brc != KS_OK) {
      RecordPrompt(RM_KEY_REBUILD, brc, d->label, nullptr);
      return brc;
    }
    rc = ks_open(d, name, KS_SHARED, out);
    if (rc == KS_OK) return KS_OK;
  }
  if (RecordPrompt(RM_FILE_ACCESS, rc, d->label, nullptr) == RA_OK) {
    g_RecordProgramEnd = 1;
    RecordPrompt(RM_DISK_ERROR, rc, d->label, nullptr);
  }
  return rc;
}

int OpenRecordFile(int id) {
  if (id < 0 || id >= RF_COUNT) return 0;
  std::lock_guard<std::mutex> lk(g_open_mu);
  OpenState& s = g_open[id];
  if (s.uses > 0) {
    s.uses++;
    return 1;
  }
  KsFile* f = nullptr;
  if (open_by_rules(id, &f) != KS_OK) return 0;
  s.file = f;
  s.uses = 1;
  return 1;
}

void CloseRecordFile(int id) {
  if (id < 0 || id >= RF_COUNT) return;
  std::lock_guard<std::mutex> lk(g_open_mu);
  OpenState& s = g_open[id];
  if (s.uses <= 0) return;
  if (--s.uses == 0) {
    KsFile* f = s.file.exchange(nullptr);
    ks_close(f);
  }
}

KsFile* RecordFile(int id) {
  if (id < 0 || id >= RF_COUNT) return nullptr;
  return g_open[id].file.load();
}

int RecordFileUses(int id) {
  if (id < 0 || id >= RF_COUNT) return 0;
  std::lock_guard<std::mutex> lk(g_open_mu);
  return g_open[id].uses;
}
