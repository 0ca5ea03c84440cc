// Tabulink's record files: the layouts of TABLNK, Categories, CatHTML, History,
// the import source, the earlier-version files and the line files, each declared
// once for the keyed record store; the program-wide record buffers; and the
// opening rules with one use count per file for the whole program.
#pragma once

#include "sitelist/records/keyed_store.h"

// ---- Record layouts (strings space padded, memos zero-terminated) ----------

struct SiteRecord {  // TABLNK (prefix URL) and the import source (prefix ILOC)
  char Location[255];
  char Description[100];
  char Category[30];
  int32_t Rating;  // DECIMAL(2,0)
  char Keyword[10];
  char SiteInfo[1000 + 1];  // memo
  KsTag Tag;
};

struct CategoryRecord {  // Categories (prefix CAT)
  char Category[30];
  uint8_t Flag;                // reserved
  char Description[1000 + 1];  // memo
  KsTag Tag;
};

struct CatHtmlRecord {  // CatHTML (prefix HTM)
  char Category[30];
  char TypeOfHTML[30];
  char HTMLtoAdd[1000 + 1];  // memo
  KsTag Tag;
};

struct HistoryRecord {  // History (prefix HIS)
  char Type[10];        // "Export" or "Import"
  char FieldContents[255];
  int32_t Date;  // day number
  int32_t Time;  // time of day
  KsTag Tag;
};

struct OldSiteRecord {  // earlier-version TABLNK (prefix OL)
  char Location[128];
  char Description[60];
  char Category[15];
  int32_t Rating;
  char Keyword[10];
  char SiteInfo[500 + 1];
  KsTag Tag;
};

struct OldCategoryRecord {  // OldCategories, disk name CATEGORI (prefix OC)
  char Category[15];
  KsTag Tag;
};

struct OldCatHtmlRecord {  // OldCatHTML, disk name CATHTML (prefix OH)
  char Category[15];
  char TypeOfHTML[30];
  char HTMLtoAdd[1000 + 1];
  KsTag Tag;
};

struct LineRecord512 {  // OUT:Line (export output) and ASC:Line (import input)
  char Line[512];
  KsTag Tag;
};

struct LineRecord255 {  // the site browse's quick-publish file
  char Line[255];
  KsTag Tag;
};

// ---- Keys (numbers passed to the store) ------------------------------------

enum {
  URL_K_Location = 0,
  URL_K_Description,
  URL_K_Category,
  URL_K_CategoryLocation,
  URL_K_Rating,
  URL_K_Keyword,
};
enum { CAT_K_Category = 0 };
enum { HTM_KeyCategoryHTML = 0 };
enum { HIS_KeyType = 0 };
enum { OL_K_Location = 0, OL_K_Description, OL_K_Category, OL_K_Rating, OL_K_Keyword };
enum { OC_K_Category = 0 };
enum { OH_KeyCategoryHTML = 0 };

// ---- The files ---------------------------------------------------------------

enum RecordFileId {
  RF_TABLNK = 0,      // sites, URL_L.KSF
  RF_CATEGORIES,      // URL_C.KSF
  RF_CATHTML,         // URL_H.KSF
  RF_HISTORY,         // URL_Y.KSF
  RF_IMPORT_SOURCE,   // ILOC: another directory's URL_L.KSF, named by g_ImportName
  RF_OLD_TABLNK,      // TABLNK.KSF of the earlier version
  RF_OLD_CATEGORIES,  // CATEGORI.KSF
  RF_OLD_CATHTML,     // CATHTML.KSF
  RF_EXPORT_LINES,    // OUT:Line, named by g_ExportName
  RF_IMPORT_LINES,    // ASC:Line, named by g_ImportName
  RF_QUICK_LINES,     // quick-publish output, named by g_QuickHtmlName
  RF_COUNT
};

extern const KsFileDecl TABLNK_Decl, Categories_Decl, CatHTML_Decl, History_Decl, ImportSource_Decl, OldTABLNK_Decl,
    OldCategories_Decl, OldCatHTML_Decl, ExportLines_Decl, ImportLines_Decl, QuickLines_Decl;

// Declaration of a file; NULL for an id out of range.
const KsFileDecl* RecordFileDecl(int id);

// Name variables of the files whose names are not fixed (capacity includes the zero).
extern char g_ImportName[256];    // import source and import line file
extern char g_ExportName[256];    // export output line file
extern char g_QuickHtmlName[81];  // quick-publish output file

// Program-wide current-record buffers, one per file.
extern SiteRecord g_URL;
extern CategoryRecord g_CAT;
extern CatHtmlRecord g_HTM;
extern HistoryRecord g_HIS;
extern SiteRecord g_ILOC;
extern OldSiteRecord g_OL;
extern OldCategoryRecord g_OC;
extern OldCatHtmlRecord g_OH;
extern LineRecord512 g_OUT;
extern LineRecord512 g_ASC;
extern LineRecord255 g_QUICK;

// ---- Field helpers ---------------------------------------------------------

// Assigns a zero-terminated value to a space-padded field of `width` characters,
// cutting it to the width.
void SetField(char* field, size_t width, const char* value);
// Copies a space-padded field into a zero-terminated buffer without its trailing
// spaces (cut to cap - 1). Returns the length written.
size_t GetField(const char* field, size_t width, char* out, size_t cap);
// Exact comparison of two padded fields, trailing spaces ignored (0 when equal).
int CompareFields(const char* a, size_t wa, const char* b, size_t wb);
// Assigns a memo, cut to its capacity (cap includes the zero).
void SetMemo(char* memo, size_t cap, const char* value);
#define SET_FIELD(f, v) SetField((f), sizeof(f), (v))
#define GET_FIELD(f, out) GetField((f), sizeof(f), (out), sizeof(out))
#define SET_MEMO(m, v) SetMemo((m), sizeof(m), (v))

// ---- Opening rules ----------------------------------------------------------

// Opens a file for a window by the program's rules: shared; an interrupted
// transaction is recovered (10 seconds); a missing file is created; 47 reports
// "Invalid File"; 46 asks "Invalid Key" and rebuilds; anything else reports
// "File Access Error" (and, when confirmed, sets the program-end request).
// Counts one use; the first use opens, later ones only count. 1 on success.
int OpenRecordFile(int id);
// Counts one use down; the last one closes the file.
void CloseRecordFile(int id);
// The shared handle while the file is open, else NULL.
KsFile* RecordFile(int id);
int RecordFileUses(int id);
// Set when the user confirmed "File Access Error": the program must end ("Disk Error").
extern volatile int g_RecordProgramEnd;
