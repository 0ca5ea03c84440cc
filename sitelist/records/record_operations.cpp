// The program's record operations with their transactions and cascades. Each
// step's failure is told to the user with the standard record messages, and a
// begun transaction is rolled back before the operation returns failure, so no
// half-made cascade or half-written record remains.
#include "sitelist/records/record_operations.h"

#include "sitelist/records/record_messages.h"
#include "sitelist/records/store_internal.h"

#include <string.h>

static void set_error(int* error, int rc) {
  if (error) *error = rc;
}

static const char* unique_key_description(const KsFileDecl* d) {
  for (int k = 0; k < d->nkeys; k++)
    if (d->keys[k].flags & KS_UNIQUE) return d->keys[k].description;
  return "";
}

// Adds a record to one of the program's files, with the add messages.
static int add_record(int id, void* rec, int* error) {
  const KsFileDecl* d = RecordFileDecl(id);
  KsFile* f = RecordFile(id);
  int rc = f ? ks_add(f, rec) : KS_ERR_NOT_OPEN;
  set_error(error, rc);
  if (rc == KS_OK) return 1;
  if (rc == KS_ERR_DUPLICATE) RecordPrompt(RM_DUPLICATE_KEY, rc, d->label, unique_key_description(d));
  else RecordPrompt(RM_INSERT_ERROR, rc, d->label, nullptr);
  return 0;
}

// Begins a transaction over the program's files, telling the user when it cannot.
static KsTxn* begin(const int* ids, int n, const char* operation, int* error) {
  KsFile* files[4];
  int rc = KS_OK;
  for (int i = 0; i < n; i++) {
    files[i] = RecordFile(ids[i]);
    if (!files[i]) rc = KS_ERR_NOT_OPEN;
  }
  KsTxn* t = nullptr;
  if (rc == KS_OK) rc = ks_begin(files, n, RECORD_TRANSACTION_WAIT_MS, &t);
  set_error(error, rc);
  if (rc != KS_OK) {
    RecordPrompt(RM_TRANSACTION_FRAMING, rc, RecordFileDecl(ids[0])->label, operation);
    return nullptr;
  }
  return t;
}

// Reports a failed put inside a transaction.
static void report_put(int rc, int id) {
  if (rc == KS_ERR_CHANGED) RecordPrompt(RM_CHANGED_BY_OTHER, rc, RecordFileDecl(id)->label, nullptr);
  else RecordPrompt(RM_UPDATE_OPERATION, rc, RecordFileDecl(id)->label, nullptr);
}

static int fail(KsTxn* t, int* error, int rc) {
  if (t) ks_rollback(t);
  set_error(error, rc);
  return 0;
}

static int commit(KsTxn* t, int id, int* error, int for_delete) {
  int rc = ks_commit(t);
  set_error(error, rc);
  if (rc == KS_OK) return 1;
  RecordPrompt(for_delete ? RM_DELETE_OPERATION : RM_UPDATE_OPERATION, rc, RecordFileDecl(id)->label, nullptr);
  return 0;
}

// ---- Sites -------------------------------------------------------------------------------

int AddSite(SiteRecord* site, int* error) { return add_record(RF_TABLNK, site, error); }

static int change_single(int id, void* rec, int* error) {
  const int ids[] = {id};
  KsTxn* t = begin(ids, 1, "Update", error);
  if (!t) return 0;
  int rc = ks_put(RecordFile(id), rec);
  if (rc != KS_OK) {
    report_put(rc, id);
    return fail(t, error, rc);
  }
  return commit(t, id, error, 0);
}

static int delete_single(int id, int key, void* rec, int* error) {
  KsFile* f = RecordFile(id);
  KsPosition pos;
  int rc = f ? ks_get_position(f, key, rec, &pos) : KS_ERR_NOT_OPEN;
  if (rc != KS_OK) {
    set_error(error, rc);
    RecordPrompt(RM_DELETE_OPERATION, rc, RecordFileDecl(id)->label, nullptr);
    return 0;
  }
  const int ids[] = {id};
  KsTxn* t = begin(ids, 1, "Delete", error);
  if (!t) return 0;
  rc = ks_reget(f, &pos, rec);
  if (rc == KS_OK) rc = ks_delete(f, rec);
  if (rc != KS_OK) {
    RecordPrompt(RM_DELETE_OPERATION, rc, RecordFileDecl(id)->label, nullptr);
    return fail(t, error, rc);
  }
  return commit(t, id, error, 1);
}

int ChangeSite(SiteRecord* site, int* error) { return change_single(RF_TABLNK, site, error); }
int DeleteSite(SiteRecord* site, int* error) { return delete_single(RF_TABLNK, URL_K_Location, site, error); }

// ---- Cascades ------------------------------------------------------------------------------

static int same_ignoring_case(const char* a, const char* b, size_t w) {
  for (size_t i = 0; i < w; i++)
    if (kAnsiLower[(uint8_t)a[i]] != kAnsiLower[(uint8_t)b[i]]) return 0;
  return 1;
}

// Deletes (new_name NULL) or renames the records of `old_name` in one file,
// walking `key` from (old name, lowest). Records whose category differs from the
// old name only in letter case are left alone and passed over; the walk ends at
// the first record of another category. Returns the store's code (0 success).
static int cascade(int id, int key, size_t cat_offset, size_t cat_width, const char* old_name, const char* new_name) {
  const KsFileDecl* d = RecordFileDecl(id);
  KsFile* f = RecordFile(id);
  if (!f) return KS_ERR_NOT_OPEN;
  alignas(8) uint8_t buf[sizeof(SiteRecord) > sizeof(CatHtmlRecord) ? sizeof(SiteRecord) : sizeof(CatHtmlRecord)];
  static_assert(sizeof(buf) >= sizeof(SiteRecord) && sizeof(buf) >= sizeof(CatHtmlRecord), "cascade buffer");
  ks_clear(d, buf);
  memcpy(buf + cat_offset, old_name, cat_width);
  KsCursor* c = nullptr;
  int rc = ks_cursor_open(f, key, nullptr, &c);
  if (rc == KS_OK) rc = ks_set(c, buf);
  while (rc == KS_OK) {
    rc = ks_next(c, buf);
    if (rc == KS_ERR_NO_RECORD) {
      rc = KS_OK;
      break;
    }
    if (rc != KS_OK) {
      RecordPrompt(RM_RECORD_RETRIEVAL, rc, d->label, nullptr);
      break;
    }
    const char* cat = (const char*)buf + cat_offset;
    if (CompareFields(cat, cat_width, old_name, cat_width) != 0) {
      if (same_ignoring_case(cat, old_name, cat_width)) continue;
      break;
    }
    if (new_name) {
      memcpy(buf + cat_offset, new_name, cat_width);
      rc = ks_put(f, buf);
      if (rc != KS_OK) report_put(rc, id);
    } else {
      rc = ks_delete(f, buf);
      if (rc != KS_OK) RecordPrompt(RM_DELETE_OPERATION, rc, d->label, nullptr);
    }
  }
  ks_cursor_close(c);
  return rc;
}

static int cascade_texts(const char* old_name, const char* new_name) {
  return cascade(RF_CATHTML, HTM_KeyCategoryHTML, offsetof(CatHtmlRecord, Category), sizeof(CatHtmlRecord::Category),
                 old_name, new_name);
}

static int cascade_sites(const char* old_name, const char* new_name) {
  return cascade(RF_TABLNK, URL_K_Category, offsetof(SiteRecord, Category), sizeof(SiteRecord::Category), old_name,
                 new_name);
}

// ---- Categories ------------------------------------------------------------------------------

static const int kCategoryFiles[] = {RF_CATEGORIES, RF_CATHTML, RF_TABLNK};

int AddCategory(CategoryRecord* cat, int* error) { return add_record(RF_CATEGORIES, cat, error); }

int ChangeCategory(CategoryRecord* cat, const char* old_name, int* error) {
  char old[sizeof cat->Category];
  SetField(old, sizeof old, old_name);
  KsTxn* t = begin(kCategoryFiles, 3, "Update", error);
  if (!t) return 0;
  int rc = ks_put(RecordFile(RF_CATEGORIES), cat);
  if (rc != KS_OK) {
    report_put(rc, RF_CATEGORIES);
    return fail(t, error, rc);
  }
  if (CompareFields(cat->Category, sizeof cat->Category, old, sizeof old) != 0) {
    rc = cascade_texts(old, cat->Category);
    if (rc == KS_OK) rc = cascade_sites(old, cat->Category);
    if (rc != KS_OK) return fail(t, error, rc);
  }
  return commit(t, RF_CATEGORIES, error, 0);
}

int DeleteCategory(CategoryRecord* cat, int* error) {
  KsFile* f = RecordFile(RF_CATEGORIES);
  KsPosition pos;
  int rc = f ? ks_get_position(f, CAT_K_Category, cat, &pos) : KS_ERR_NOT_OPEN;
  if (rc != KS_OK) {
    set_error(error, rc);
    RecordPrompt(RM_DELETE_OPERATION, rc, Categories_Decl.label, nullptr);
    return 0;
  }
  KsTxn* t = begin(kCategoryFiles, 3, "Delete", error);
  if (!t) return 0;
  rc = ks_reget(f, &pos, cat);
  if (rc != KS_OK) {
    RecordPrompt(RM_RECORD_RETRIEVAL, rc, Categories_Decl.label, nullptr);
    return fail(t, error, rc);
  }
  char name[sizeof cat->Category];
  memcpy(name, cat->Category, sizeof name);
  rc = cascade_texts(name, nullptr);
  if (rc == KS_OK) rc = cascade_sites(name, nullptr);
  if (rc != KS_OK) return fail(t, error, rc);
  rc = ks_delete(f, cat);
  if (rc != KS_OK) {
    RecordPrompt(RM_DELETE_OPERATION, rc, Categories_Decl.label, nullptr);
    return fail(t, error, rc);
  }
  return commit(t, RF_CATEGORIES, error, 1);
}

// ---- Category texts ------------------------------------------------------------------------------

int AddCatText(CatHtmlRecord* text, int* error) { return add_record(RF_CATHTML, text, error); }
int ChangeCatText(CatHtmlRecord* text, int* error) { return change_single(RF_CATHTML, text, error); }
int DeleteCatText(CatHtmlRecord* text, int* error) {
  return delete_single(RF_CATHTML, HTM_KeyCategoryHTML, text, error);
}

// ---- Questions and rules ---------------------------------------------------------------------------

int AskUpdateRetry(void) { return RecordPrompt(RM_UPDATE_RETRY, 0, nullptr, nullptr); }
int AskDeleteRetry(void) { return RecordPrompt(RM_DELETE_RETRY, 0, nullptr, nullptr); }

int IsPseudoCategory(const char* name, size_t width) {
  static const char* const kPseudo[] = {"_before all", "_after all"};
  size_t n = width;
  while (n > 0 && (name[n - 1] == ' ' || name[n - 1] == '\0')) n--;
  for (const char* p : kPseudo) {
    size_t len = strlen(p);
    if (len != n) continue;
    size_t i = 0;
    while (i < n && kAnsiLower[(uint8_t)name[i]] == (uint8_t)p[i]) i++;
    if (i == n) return 1;
  }
  return 0;
}

static const char* find_in(const char* s, size_t n, const char* what) {
  size_t m = strlen(what);
  for (size_t i = 0; i + m <= n; i++)
    if (memcmp(s + i, what, m) == 0) return s + i;
  return nullptr;
}

void KeywordFromLocation(const char* location, size_t width, char* keyword, size_t keyword_width) {
  const char* scheme = find_in(location, width, "://");
  if (scheme) {
    size_t n = (size_t)(scheme - location);
    if (n > keyword_width) n = keyword_width;
    memcpy(keyword, location, n);
    memset(keyword + n, ' ', keyword_width - n);
  } else if (find_in(location, width, "mailto:")) {
    SetField(keyword, keyword_width, "mailto:");
  } else {
    SetField(keyword, keyword_width, "?");
  }
}
