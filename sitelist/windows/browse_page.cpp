// Site orders, the reader over one order and the page moves of the site browses.
#include "sitelist/windows/browse_page.h"

#include "sitelist/records/store_internal.h"

#include <string.h>

#include <new>

#include "common/tx_util.h"

namespace {

const int kTabKeys[kTabCount] = {URL_K_Description, URL_K_Location, URL_K_Category, URL_K_Rating, URL_K_Keyword};
static_assert(ARRAY_SIZE(kTabKeys) == kTabCount, "one key per tab");

uint32_t RowId(const SiteRecord* s) { return s->Tag.id; }

// Case-insensitive comparison of two category fields (trailing spaces ignored:
// both are padded to the same width).
int SameCategory(const char* a, const char* b) {
  for (size_t i = 0; i < sizeof(SiteRecord::Category); i++)
    if (kAnsiLower[(uint8_t)a[i]] != kAnsiLower[(uint8_t)b[i]]) return 0;
  return 1;
}

// A step of the reader that ends at the limit.
int Step(SiteReader* r, SiteRecord* out, int forward) {
  int rc = forward ? ks_next(r->cursor, out) : ks_previous(r->cursor, out);
  if (rc == KS_OK && !SiteInBrowseOrder(&r->order, out)) rc = KS_ERR_NO_RECORD;
  return rc;
}

// Reads the row after `row` (skipping the row itself when it is still there).
int ReadAfter(SiteReader* r, const SiteRecord* row, SiteRecord* out) {
  int rc = ReaderAtRow(r, row);
  if (rc == KS_OK) rc = ReaderNext(r, out);
  if (rc == KS_OK && RowId(out) == RowId(row)) rc = ReaderNext(r, out);
  return rc;
}

int ReadBefore(SiteReader* r, const SiteRecord* row, SiteRecord* out) {
  int rc = ReaderAtRow(r, row);
  if (rc == KS_OK) rc = ReaderPrevious(r, out);
  return rc;
}

// Fills the page's rest above its first row, so that a short page near the end
// of the order still shows as many rows as it has room for. Returns how many
// rows were put in front.
int BackFill(SiteReader* r, SitePage* p, int* rc) {
  *rc = KS_OK;
  int missing = p->capacity - p->count;
  if (missing <= 0 || p->count == 0) return 0;
  SiteRecord above;
  int added = 0;
  *rc = ReaderAtRow(r, &p->rows[0]);
  while (*rc == KS_OK && added < missing) {
    *rc = ReaderPrevious(r, &above);
    if (*rc != KS_OK) break;
    memmove(&p->rows[1], &p->rows[0], sizeof(SiteRecord) * (size_t)p->count);
    p->rows[0] = above;
    p->count++;
    added++;
  }
  if (*rc == KS_ERR_NO_RECORD) *rc = KS_OK;
  return added;
}

// Reads forward from the reader's position into a fresh page; with back-fill.
// *first receives the index the first row read ended at (-1 when none was read).
int LoadForward(SiteReader* r, SitePage* out, int* first) {
  int rc = KS_OK;
  out->count = 0;
  while (out->count < out->capacity) {
    rc = ReaderNext(r, &out->rows[out->count]);
    if (rc != KS_OK) break;
    out->count++;
  }
  if (rc == KS_ERR_NO_RECORD) rc = KS_OK;
  if (rc != KS_OK) return rc;
  if (out->count == 0) {
    *first = -1;
    return KS_OK;
  }
  int added = BackFill(r, out, &rc);
  *first = added;
  return rc;
}

// Reads backward from the reader's position into a fresh page (rows put in order).
int LoadBackward(SiteReader* r, SitePage* out) {
  int rc = KS_OK;
  out->count = 0;
  SiteRecord row;
  while (out->count < out->capacity) {
    rc = ReaderPrevious(r, &row);
    if (rc != KS_OK) break;
    memmove(&out->rows[1], &out->rows[0], sizeof(SiteRecord) * (size_t)out->count);
    out->rows[0] = row;
    out->count++;
  }
  if (rc == KS_ERR_NO_RECORD) rc = KS_OK;
  return rc;
}

// The scratch page of a move: a page of the same capacity, kept apart so that
// a failing move leaves the shown page alone.
struct Scratch {
  SitePage* page;
  Scratch(SiteReader* r, const SitePage* like) : page(r->scratch) {
    if (page) {
      page->capacity = like->capacity;
      page->count = 0;
      page->selected = -1;
    }
  }
};

void Commit(SitePage* p, const SitePage* from, int selected) {
  p->count = from->count;
  memcpy(p->rows, from->rows, sizeof(SiteRecord) * (size_t)from->count);
  if (p->count == 0) selected = -1;
  else if (selected < 0) selected = 0;
  else if (selected >= p->count) selected = p->count - 1;
  p->selected = selected;
}

int ClampCapacity(int capacity) {
  if (capacity < 1) return 1;
  if (capacity > kMaxPageRows) return kMaxPageRows;
  return capacity;
}

}  // namespace

void BrowseOrderForTab(int tab, const char* category, BrowseOrder* out) {
  if (tab < 0 || tab >= kTabCount) tab = kTabDescription;
  out->tab = tab;
  out->key = kTabKeys[tab];
  out->limited = tab == kTabCategory;
  SetField(out->category, sizeof out->category, category ? category : "");
}

int SiteInBrowseOrder(const BrowseOrder* order, const SiteRecord* site) {
  return !order->limited || SameCategory(order->category, site->Category);
}

int ReaderOpen(SiteReader* r, KsFile* file, const BrowseOrder* order) {
  r->file = file;
  r->cursor = nullptr;
  r->order = *order;
  r->scratch = new (std::nothrow) SitePage;
  if (r->scratch == nullptr) return KS_ERR_NO_MEMORY;
  int rc = ks_cursor_open(file, order->key, nullptr, &r->cursor);
  if (rc != KS_OK) ReaderClose(r);
  return rc;
}

void ReaderClose(SiteReader* r) {
  ks_cursor_close(r->cursor);
  r->cursor = nullptr;
  delete r->scratch;
  r->scratch = nullptr;
}

int ReaderSetOrder(SiteReader* r, const BrowseOrder* order) {
  KsCursor* c = nullptr;
  int rc = ks_cursor_open(r->file, order->key, nullptr, &c);
  if (rc != KS_OK) return rc;
  ks_cursor_close(r->cursor);
  r->cursor = c;
  r->order = *order;
  return KS_OK;
}

int ReaderStart(SiteReader* r) {
  if (!r->order.limited) return ks_set(r->cursor, nullptr);
  SiteRecord seek;
  ks_clear(&TABLNK_Decl, &seek);
  memcpy(seek.Category, r->order.category, sizeof seek.Category);
  return ks_set(r->cursor, &seek);
}

int ReaderEnd(SiteReader* r) {
  if (!r->order.limited) return ks_set_end(r->cursor);
  // After the highest description of the category; a site that carries that
  // very description is stepped over, so that reading back starts at the last.
  SiteRecord seek;
  ks_clear(&TABLNK_Decl, &seek);
  memcpy(seek.Category, r->order.category, sizeof seek.Category);
  memset(seek.Description, 0xFF, sizeof seek.Description);
  int rc = ks_set(r->cursor, &seek);
  SiteRecord row;
  while (rc == KS_OK) {
    rc = ks_next(r->cursor, &row);
    if (rc == KS_OK && !SiteInBrowseOrder(&r->order, &row)) break;
  }
  return rc == KS_ERR_NO_RECORD ? KS_OK : rc;
}

int ReaderAtValue(SiteReader* r, const SiteRecord* value) {
  SiteRecord seek = *value;
  if (r->order.limited) memcpy(seek.Category, r->order.category, sizeof seek.Category);
  return ks_set(r->cursor, &seek);
}

int ReaderAtRow(SiteReader* r, const SiteRecord* row) {
  KsPosition pos;
  int rc = ks_get_position(r->file, r->order.key, row, &pos);
  if (rc == KS_OK) rc = ks_set_position(r->cursor, &pos);
  // A row that is gone: the first site at or after its value.
  if (rc == KS_ERR_NOT_FOUND) rc = ks_set(r->cursor, row);
  return rc;
}

int ReaderNext(SiteReader* r, SiteRecord* out) { return Step(r, out, 1); }
int ReaderPrevious(SiteReader* r, SiteRecord* out) { return Step(r, out, 0); }

int ReaderFirst(SiteReader* r, SiteRecord* out) {
  int rc = ReaderStart(r);
  return rc == KS_OK ? ReaderNext(r, out) : rc;
}

int ReaderLast(SiteReader* r, SiteRecord* out) {
  int rc = ReaderEnd(r);
  return rc == KS_OK ? ReaderPrevious(r, out) : rc;
}

// ---- Pages -----------------------------------------------------------------------

int PageFirst(SiteReader* r, SitePage* p) {
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  int first = 0;
  int rc = ReaderStart(r);
  if (rc == KS_OK) rc = LoadForward(r, s.page, &first);
  if (rc != KS_OK) return rc;
  Commit(p, s.page, 0);
  return KS_OK;
}

int PageLast(SiteReader* r, SitePage* p) {
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  int rc = ReaderEnd(r);
  if (rc == KS_OK) rc = LoadBackward(r, s.page);
  if (rc != KS_OK) return rc;
  Commit(p, s.page, s.page->count - 1);
  return KS_OK;
}

int PageAtValue(SiteReader* r, SitePage* p, const SiteRecord* value) {
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  int first = 0;
  int rc = ReaderAtValue(r, value);
  if (rc == KS_OK) rc = LoadForward(r, s.page, &first);
  if (rc != KS_OK) return rc;
  if (first < 0) return PageLast(r, p);  // past the end: the last page
  Commit(p, s.page, first);
  return KS_OK;
}

int PageOnRow(SiteReader* r, SitePage* p, const SiteRecord* row) {
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  int first = 0;
  int rc = ReaderAtRow(r, row);
  if (rc == KS_OK) rc = LoadForward(r, s.page, &first);
  if (rc != KS_OK) return rc;
  if (first < 0) return PageLast(r, p);
  Commit(p, s.page, first);
  return KS_OK;
}

int PageDown(SiteReader* r, SitePage* p) {
  if (p->count == 0) return PageFirst(r, p);
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  SiteRecord next;
  int rc = ReadAfter(r, &p->rows[p->count - 1], &next);
  if (rc == KS_ERR_NO_RECORD) {  // already at the end
    p->selected = p->count - 1;
    return KS_OK;
  }
  if (rc != KS_OK) return rc;
  s.page->rows[0] = next;
  s.page->count = 1;
  while (s.page->count < s.page->capacity) {
    rc = ReaderNext(r, &s.page->rows[s.page->count]);
    if (rc != KS_OK) break;
    s.page->count++;
  }
  if (rc == KS_ERR_NO_RECORD) rc = KS_OK;
  if (rc != KS_OK) return rc;
  int selected = p->selected;
  if (s.page->count < s.page->capacity) {  // the end came within the page
    BackFill(r, s.page, &rc);
    if (rc != KS_OK) return rc;
    selected = s.page->count - 1;
  }
  Commit(p, s.page, selected);
  return KS_OK;
}

int PageUp(SiteReader* r, SitePage* p) {
  if (p->count == 0) return PageFirst(r, p);
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  int rc = ReaderAtRow(r, &p->rows[0]);
  if (rc == KS_OK) rc = LoadBackward(r, s.page);
  if (rc != KS_OK) return rc;
  if (s.page->count == 0) {  // already at the start
    p->selected = 0;
    return KS_OK;
  }
  if (s.page->count < s.page->capacity) return PageFirst(r, p);
  Commit(p, s.page, p->selected);
  return KS_OK;
}

int LineDown(SiteReader* r, SitePage* p) {
  if (p->count == 0) return PageFirst(r, p);
  if (p->selected < p->count - 1) {
    p->selected++;
    return KS_OK;
  }
  SiteRecord next;
  int rc = ReadAfter(r, &p->rows[p->count - 1], &next);
  if (rc == KS_ERR_NO_RECORD) return KS_OK;
  if (rc != KS_OK) return rc;
  if (p->count < p->capacity) {
    p->rows[p->count++] = next;
  } else {
    memmove(&p->rows[0], &p->rows[1], sizeof(SiteRecord) * (size_t)(p->count - 1));
    p->rows[p->count - 1] = next;
  }
  p->selected = p->count - 1;
  return KS_OK;
}

int LineUp(SiteReader* r, SitePage* p) {
  if (p->count == 0) return PageFirst(r, p);
  if (p->selected > 0) {
    p->selected--;
    return KS_OK;
  }
  SiteRecord before;
  int rc = ReadBefore(r, &p->rows[0], &before);
  if (rc == KS_ERR_NO_RECORD) return KS_OK;
  if (rc != KS_OK) return rc;
  int keep = p->count < p->capacity ? p->count : p->count - 1;
  memmove(&p->rows[1], &p->rows[0], sizeof(SiteRecord) * (size_t)keep);
  p->rows[0] = before;
  p->count = keep + 1;
  p->selected = 0;
  return KS_OK;
}

int PageRedraw(SiteReader* r, SitePage* p) {
  if (p->count == 0) return PageFirst(r, p);
  Scratch s(r, p);
  if (!s.page) return KS_ERR_NO_MEMORY;
  uint32_t keepId = p->selected >= 0 ? RowId(&p->rows[p->selected]) : 0;
  int first = 0;
  int rc = ReaderAtRow(r, &p->rows[0]);
  if (rc == KS_OK) rc = LoadForward(r, s.page, &first);
  if (rc != KS_OK) return rc;
  if (first < 0) return PageLast(r, p);
  int selected = p->selected;
  for (int i = 0; i < s.page->count; i++)
    if (RowId(&s.page->rows[i]) == keepId) selected = i;
  Commit(p, s.page, selected);
  return KS_OK;
}

int PageResize(SiteReader* r, SitePage* p, int capacity) {
  p->capacity = ClampCapacity(capacity);
  if (p->count > p->capacity) {
    // Keep the highlighted row in view when the list shrinks.
    int drop = p->selected >= p->capacity ? p->selected - p->capacity + 1 : 0;
    if (drop > 0) {
      memmove(&p->rows[0], &p->rows[drop], sizeof(SiteRecord) * (size_t)(p->count - drop));
      p->count -= drop;
      p->selected -= drop;
    }
    if (p->count > p->capacity) p->count = p->capacity;
  }
  return PageRedraw(r, p);
}
