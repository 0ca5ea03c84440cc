// The import and merge runs: sites found by the parsers, or read from another
// site file, added to TABLNK one by one. A location already in the file is
// skipped silently; any other failure is told and the run goes on.
#include "sitelist/exchange/import_run.h"

#include "sitelist/records/record_operations.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

const char* const kImportTypes[3] = {"HTML Document", "Comma-delimited file", "Any ASCII text file"};
const char* const kImportMethods[3] = {"Selected Category", "Make Best Guess", "Ask for Each URL"};
const char kImportDefaultType[] = "HTML Document";
const char kImportDefaultMethod[] = "Make Best Guess";

namespace {

const char kNewCategory[] = "New";

char FirstLetter(const char* value) {
  while (*value == ' ') value++;
  char c = *value;
  return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

// Assigns n characters to a padded field, cut to its width without splitting a
// character reference.
void PutField(char* field, size_t width, const char* value, size_t n) {
  size_t cut = ImportCutLength(value, n, width);
  memcpy(field, value, cut);
  memset(field + cut, ' ', width - cut);
}

void PutMemo(char* memo, size_t cap, const char* value, size_t n) {
  size_t cut = ImportCutLength(value, n, cap - 1);
  memcpy(memo, value, cut);
  memo[cut] = '\0';
}

void TellAddFailed(const ImportUi* ui, int rc) {
  if (ui->add_failed) ui->add_failed(ui->context, rc);
}

// Makes sure a category of this name exists, adding it when it does not. A
// blank name is no category: sites without a heading keep a blank category.
void EnsureCategory(ImportRun* r, const char* name) {
  if (strcmp(r->category_name, name) == 0) return;
  snprintf(r->category_name, sizeof r->category_name, "%s", name);
  if (name[0] == '\0') return;
  KsFile* cats = RecordFile(RF_CATEGORIES);
  if (!cats) return;
  ks_clear(&Categories_Decl, &r->category);
  SET_FIELD(r->category.Category, name);
  int rc = ks_get(cats, CAT_K_Category, &r->category);
  if (rc == KS_ERR_NOT_FOUND) {
    ks_clear(&Categories_Decl, &r->category);
    SET_FIELD(r->category.Category, name);
    if (AddCategory(&r->category)) r->counts.categories_added++;
  }
}

// The site's category by the run's method.
void DetermineCategory(ImportRun* r, const char* heading) {
  char name[31];
  switch (r->method) {
    case 'S':  // the category chosen beforehand, whole: it names an existing category
      snprintf(name, sizeof name, "%s", r->settings.category);
      break;
    case 'A': {
      char chosen[31] = "";
      int selected = r->ui.ask_category &&
                     r->ui.ask_category(r->ui.context, &r->site, heading, chosen, sizeof chosen) && chosen[0];
      snprintf(name, sizeof name, "%s", selected ? chosen : kNewCategory);
      EnsureCategory(r, name);
      break;
    }
    default:  // 'M'
      snprintf(name, sizeof name, "%s", heading);
      EnsureCategory(r, name);
      break;
  }
  SET_FIELD(r->site.Category, name);
}

void OnSite(void* context, ImportParser* p, const char* loc, size_t loc_len, const char* desc, size_t desc_len,
            const char* note, size_t note_len) {
  ImportRun* r = (ImportRun*)context;
  p->has_last_added = 0;
  if (loc_len == 0 || loc[0] == '#') return;  // an anchor of the same page is no site
  KsFile* sites = RecordFile(RF_TABLNK);
  if (!sites) return;
  SiteRecord* s = &r->site;
  ks_clear(&TABLNK_Decl, s);
  PutField(s->Location, sizeof s->Location, loc, loc_len);
  PutField(s->Description, sizeof s->Description, desc, desc_len);
  PutMemo(s->SiteInfo, sizeof s->SiteInfo, note, note_len);
  KeywordFromLocation(s->Location, sizeof s->Location, s->Keyword, sizeof s->Keyword);
  if (r->method == 'A') {
    // Nobody is asked about a site that is there already.
    SiteRecord probe;
    memcpy(&probe, s, sizeof probe);
    if (ks_get(sites, URL_K_Location, &probe) == KS_OK) {
      r->counts.duplicates++;
      return;
    }
  }
  DetermineCategory(r, p->heading);
  int rc = ks_add(sites, s);
  if (rc == KS_OK) {
    r->counts.added++;
    if (ks_get_position(sites, -1, s, &r->last_added) == KS_OK) p->has_last_added = 1;
  } else if (rc == KS_ERR_DUPLICATE) {
    r->counts.duplicates++;
  } else {
    r->counts.failed++;
    TellAddFailed(&r->ui, rc);
  }
}

void OnNote(void* context, ImportParser* p, const char* note, size_t note_len) {
  ImportRun* r = (ImportRun*)context;
  KsFile* sites = RecordFile(RF_TABLNK);
  if (!sites || ks_reget(sites, &r->last_added, &r->noted) != KS_OK) {
    p->has_last_added = 0;  // gone meanwhile (another window deleted it)
    return;
  }
  PutMemo(r->noted.SiteInfo, sizeof r->noted.SiteInfo, note, note_len);
  if (ChangeSite(&r->noted)) r->counts.notes++;
}

}  // namespace

const char* ImportTypeText(const char* value) {
  switch (FirstLetter(value)) {
    case 'C': return kImportTypes[1];
    case 'A': return kImportTypes[2];
  }
  return kImportTypes[0];
}

const char* ImportMethodText(const char* value) {
  switch (FirstLetter(value)) {
    case 'S': return kImportMethods[0];
    case 'A': return kImportMethods[2];
  }
  return kImportMethods[1];
}

int ImportOpen(ImportRun* r, const ImportSettings* settings, const ImportUi* ui) {
  memset(r, 0, sizeof *r);
  r->settings = *settings;
  r->ui = *ui;
  r->type = FirstLetter(ImportTypeText(settings->type));
  r->method = FirstLetter(ImportMethodText(settings->method));
  int rc = ImportLinesOpen(&r->reader, settings->name);
  if (rc != 0) return rc;
  ImportSink sink = {r, OnSite, OnNote};
  ImportParserInit(&r->parser, &sink, r->type == 'C' ? kNewCategory : "");
  return 0;
}

int ImportStep(ImportRun* r, int max_lines) {
  if (r->done) return 0;
  for (int i = 0; i < max_lines; i++) {
    const char* line;
    size_t len;
    int rc = ImportLinesNext(&r->reader, &line, &len);
    if (rc <= 0) {
      if (rc < 0) r->read_error = r->reader.error ? r->reader.error : EIO;
      r->done = 1;
      return 0;
    }
    r->counts.lines++;
    ImportParseLine(&r->parser, r->type, line, len);
  }
  return 1;
}

int ImportPercent(const ImportRun* r) { return r->done ? 100 : ImportLinesPercent(&r->reader); }

void ImportClose(ImportRun* r) {
  ImportLinesClose(&r->reader);
  ImportParserFree(&r->parser);
}

// ---- The merge ------------------------------------------------------------------------------

int MergeNameAccepted(const char* name) {
  static const char kWanted[] = "URL_L.KSF";
  const size_t k = sizeof kWanted - 1;
  for (size_t i = 0; name[i]; i++) {
    size_t j = 0;
    while (j < k && name[i + j] &&
           (name[i + j] >= 'a' && name[i + j] <= 'z' ? name[i + j] - 32 : name[i + j]) == kWanted[j])
      j++;
    if (j == k) return 1;
  }
  return 0;
}

int MergeOpen(MergeRun* r, const char* name, const ImportUi* ui) {
  memset(r, 0, sizeof *r);
  r->ui = *ui;
  int rc = ks_open(&ImportSource_Decl, name, KS_SHARED, &r->source);
  if (rc == KS_ERR_LOCKED) {  // left by an interrupted transaction: settle it first
    r->source = nullptr;
    if (ks_recover(&ImportSource_Decl, name, 10000) == KS_OK)
      rc = ks_open(&ImportSource_Decl, name, KS_SHARED, &r->source);
  }
  if (rc == KS_OK) rc = ks_record_bytes(r->source, &r->source_bytes);
  if (rc == KS_OK) rc = ks_cursor_open(r->source, -1, nullptr, &r->cursor);
  if (rc == KS_OK) rc = ks_set(r->cursor, nullptr);
  if (rc != KS_OK) {
    if (r->cursor) ks_cursor_close(r->cursor);
    if (r->source) ks_close(r->source);
    r->cursor = nullptr;
    r->source = nullptr;
    return rc;
  }
  ks_read_ahead(r->source, 1);
  return KS_OK;
}

int MergeStep(MergeRun* r, int max_records) {
  if (r->done) return 0;
  KsFile* sites = RecordFile(RF_TABLNK);
  for (int i = 0; i < max_records; i++) {
    int rc = ks_next(r->cursor, &r->from);
    if (rc != KS_OK) {
      if (rc != KS_ERR_NO_RECORD) r->read_error = rc;
      r->done = 1;
      return 0;
    }
    r->counts.lines++;
    SiteRecord* s = &r->site;
    ks_clear(&TABLNK_Decl, s);
    memcpy(s->Location, r->from.Location, sizeof s->Location);
    memcpy(s->Description, r->from.Description, sizeof s->Description);
    memcpy(s->Category, r->from.Category, sizeof s->Category);
    s->Rating = r->from.Rating;
    memcpy(s->Keyword, r->from.Keyword, sizeof s->Keyword);
    rc = sites ? ks_add(sites, s) : KS_ERR_NOT_OPEN;
    if (rc == KS_OK) {
      r->counts.added++;
    } else if (rc == KS_ERR_DUPLICATE) {
      r->counts.duplicates++;
    } else {
      r->counts.failed++;
      TellAddFailed(&r->ui, rc);
    }
  }
  return 1;
}

int MergePercent(const MergeRun* r) {
  if (r->done) return 100;
  if (r->source_bytes == 0 || !r->cursor) return 0;
  uint64_t p = ks_cursor_bytes(r->cursor) * 100 / r->source_bytes;
  return p > 100 ? 100 : (int)p;
}

void MergeClose(MergeRun* r) {
  if (r->source) ks_read_ahead(r->source, 0);
  if (r->cursor) ks_cursor_close(r->cursor);
  if (r->source) ks_close(r->source);
  r->cursor = nullptr;
  r->source = nullptr;
}
