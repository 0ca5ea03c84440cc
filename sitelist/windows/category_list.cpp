// The category list of the site and category windows.
#include "sitelist/windows/category_list.h"

#include "sitelist/records/record_operations.h"
#include "sitelist/records/store_internal.h"

#include <string.h>

static int same_name(const char* a, const char* b, size_t w) {
  for (size_t i = 0; i < w; i++)
    if (kAnsiLower[(uint8_t)a[i]] != kAnsiLower[(uint8_t)b[i]]) return 0;
  return 1;
}

int ForEachCategory(KsFile* categories, int kind, CategoryVisit visit, void* context) {
  KsCursor* c = nullptr;
  int rc = ks_cursor_open(categories, CAT_K_Category, nullptr, &c);
  if (rc == KS_OK) rc = ks_set(c, nullptr);
  CategoryRecord* cat = new CategoryRecord;
  char previous[sizeof cat->Category];
  int have_previous = 0;
  while (rc == KS_OK) {
    rc = ks_next(c, cat);
    if (rc != KS_OK) break;
    if (kind == kSiteCategories && IsPseudoCategory(cat->Category, sizeof cat->Category)) continue;
    if (have_previous && same_name(previous, cat->Category, sizeof previous)) continue;
    memcpy(previous, cat->Category, sizeof previous);
    have_previous = 1;
    if (!visit(cat, context)) break;
  }
  delete cat;
  ks_cursor_close(c);
  return rc == KS_ERR_NO_RECORD ? KS_OK : rc;
}

void CategoryDescriptionColumn(const CategoryRecord* category, char* out, size_t cap) {
  size_t n = 0;
  const size_t limit = cap > 256 ? 255 : (cap > 0 ? cap - 1 : 0);
  for (; n < limit && category->Description[n] != '\0'; n++) {
    char ch = category->Description[n];
    out[n] = (ch == '\r' || ch == '\n' || ch == '\t') ? ' ' : ch;
  }
  if (cap > 0) out[n] = '\0';
}

int CategoryExists(KsFile* categories, const char* name, int* error) {
  CategoryRecord* cat = new CategoryRecord;
  ks_clear(&Categories_Decl, cat);
  SET_FIELD(cat->Category, name);
  int rc = ks_get(categories, CAT_K_Category, cat);
  delete cat;
  if (error) *error = rc;
  if (rc == KS_OK) return 1;
  if (rc == KS_ERR_NOT_FOUND) return 0;
  return -1;
}
