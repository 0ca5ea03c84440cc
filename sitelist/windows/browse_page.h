// The site browses' list as a page read from a key at the current position:
// the orders of the five tabs (with the "Category" tab limited to one category
// without regard to case), a reader that steps through one order within its
// limit, and the page moves of a browse (first, last, at a value, on a row,
// line and page up and down, redraw where it was). Nothing here loads a whole
// file: every move costs a key look-up and the rows it shows.
#pragma once

#include "sitelist/records/record_files.h"

enum BrowseTab {
  kTabDescription = 0,  // URL:K_Description
  kTabLocation,         // URL:K_Location
  kTabCategory,         // URL:K_Category, limited to one category
  kTabRating,           // URL:K_Rating
  kTabKeyword,          // URL:K_Keyword
  kTabCount
};

// An order of the site list: a key and, for category-limited orders, the
// category that limits it (its range value, compared without regard to case).
struct BrowseOrder {
  int tab;            // BrowseTab
  int key;            // URL_K_...
  int limited;        // 1: only the sites of `category`
  char category[30];  // space padded, as URL:Category
};

// The order of a tab; category is the range value (used by the "Category" tab).
void BrowseOrderForTab(int tab, const char* category, BrowseOrder* out);

// 1 when the site belongs to the order's limit (always 1 without a limit).
int SiteInBrowseOrder(const BrowseOrder* order, const SiteRecord* site);

struct SitePage;

// One order's reader over the shared open site file.
struct SiteReader {
  KsFile* file;
  KsCursor* cursor;
  BrowseOrder order;
  SitePage* scratch;  // the page a move is read into before it is shown
};

// Opens a reader; KS_OK or the store's code (nothing to close on failure).
int ReaderOpen(SiteReader* r, KsFile* file, const BrowseOrder* order);
void ReaderClose(SiteReader* r);
// Switches an open reader to another order (a tab or a category limit changed).
int ReaderSetOrder(SiteReader* r, const BrowseOrder* order);

// Positions: before the first site of the order, after its last, before the
// first site at or after `value` (its key fields; the limit's category is set
// by the reader), or exactly on a row read earlier (on the one after it when it
// is gone). KS_OK or the store's code.
int ReaderStart(SiteReader* r);
int ReaderEnd(SiteReader* r);
int ReaderAtValue(SiteReader* r, const SiteRecord* value);
int ReaderAtRow(SiteReader* r, const SiteRecord* row);
// Reads the next / previous site within the limit: KS_ERR_NO_RECORD past either end.
int ReaderNext(SiteReader* r, SiteRecord* out);
int ReaderPrevious(SiteReader* r, SiteRecord* out);

// The first and the last site of the order within its limit. KS_ERR_NO_RECORD
// when the order is empty.
int ReaderFirst(SiteReader* r, SiteRecord* out);
int ReaderLast(SiteReader* r, SiteRecord* out);

// ---- Pages -----------------------------------------------------------------------

enum { kMaxPageRows = 80 };

// The rows a browse shows: `count` sites in order from the top, `selected` the
// highlighted row (-1 when the page is empty); `capacity` is how many rows the
// list has room for (1..kMaxPageRows).
struct SitePage {
  int capacity;
  int count;
  int selected;
  SiteRecord rows[kMaxPageRows];
};

// Each move fills the page from the order and returns KS_OK or the store's code
// (the page is left as it was on an error). A page is always filled as far as
// it can be: near the end of the order the rows above are read back so that the
// last page ends with the last site.
int PageFirst(SiteReader* r, SitePage* p);                             // the first sites, the first selected
int PageLast(SiteReader* r, SitePage* p);                              // the last sites, the last selected
int PageAtValue(SiteReader* r, SitePage* p, const SiteRecord* value);  // first at or after value selected
int PageOnRow(SiteReader* r, SitePage* p, const SiteRecord* row);      // that row selected (or the next)
int PageDown(SiteReader* r, SitePage* p);  // the page after; at the end the last row selected
int PageUp(SiteReader* r, SitePage* p);    // the page before; at the start the first row selected
int LineDown(SiteReader* r, SitePage* p);  // the next row selected, scrolling by one at the bottom
int LineUp(SiteReader* r, SitePage* p);    // the row before, scrolling by one at the top
// Reads the page again from its top row (records as stored), keeping the
// selection on the same row when it is still there.
int PageRedraw(SiteReader* r, SitePage* p);
// Changes how many rows the page has room for and reads it again from its top.
int PageResize(SiteReader* r, SitePage* p, int capacity);
