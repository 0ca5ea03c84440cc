// The site and category windows of Tabulink: the site browse and its form, the
// browse of one category's sites, the category browse, picker and forms, and
// quick HTML publishing. Browses run on threads of their own (StartProcedure);
// forms and pickers run modally over the window that calls them, on its
// thread, and work on that caller's record buffer.
#ifndef SITELIST_WINDOWS_BROWSE_WINDOWS_H
#define SITELIST_WINDOWS_BROWSE_WINDOWS_H

#include <windows.h>

#include "sitelist/records/record_files.h"
#include "sitelist/windows/browse_page.h"

// ---- Window procedures (started with StartProcedure) --------------------------------

// BrowseTABLNK, "Browse Locations": the site list on five tabs. No argument.
int BrowseTABLNK(void* unused);

// BrowseURL:K_Category, "Browse Location by Category": the sites of one
// category. argument: a category name allocated with new char[] (the
// procedure deletes it).
int BrowseSitesOfCategory(void* categoryName);

// Starts BrowseURL:K_Category for category on a thread of its own.
bool StartSitesOfCategory(const char* category);

// BrowseCategories, "Browse Categories". No argument.
int BrowseCategories(void* unused);

// ---- Forms and pickers (modal over caller, on its thread) -------------------------

// UpdateTABLNK: request kRequestInsert, kRequestChange or kRequestDelete on the
// caller's site record (insert: cleared, perhaps with a category; change and
// delete: a site read from the file). Returns kResponseCompleted when a record
// was written or deleted (the record is then as stored), else kResponseCancelled
// (the record is left as it was).
int UpdateTABLNK(HWND caller, int request, SiteRecord* site);

// SelectCategories: the category picker. On "&Select" copies the chosen
// category into *category and returns kResponseCompleted; "Close" returns
// kResponseCancelled. select: the category highlighted at first (may be null).
int SelectCategories(HWND caller, const char* select, CategoryRecord* category);

// UpdateCategories: request on the caller's category record, as UpdateTABLNK.
int UpdateCategories(HWND caller, int request, CategoryRecord* category);

// UpdateCatHTML: request on the caller's category text record, as UpdateTABLNK.
int UpdateCatHTML(HWND caller, int request, CatHtmlRecord* text);

// Quick HTML publishing of the site browse: its order and limit, and the rows
// it shows.
void QuickPublish(HWND caller, const BrowseOrder* order, const SitePage* shown);

// ---- Keeping open browses up to date ---------------------------------------------------

// Every open browse registers its dialog while it is open; after any form
// completes, RefreshBrowses asks each of them (on its own thread) to read its
// rows again from the records as stored.
void RegisterOpenBrowse(HWND dialog);
void UnregisterOpenBrowse(HWND dialog);
void RefreshBrowses();
// The message a registered browse receives for it.
UINT BrowseRefreshMessage();

// ---- Small helpers the windows share ---------------------------------------------

// Adds tooltip hints from the string table to controls of dialog: ids[i] gets
// text texts[i]. Returns the tooltip window (destroyed with the dialog).
HWND AddControlHints(HWND dialog, const int* ids, const UINT* texts, int count);

// Shows menu IDR_* as a pop-up at the screen point (or under the list's
// selection when the point is -1,-1); items in `dimmed` are greyed. Returns the
// command chosen (0: none).
UINT TrackListPopup(HWND dialog, UINT menuId, LPARAM screenPoint, HWND list, const UINT* dimmed, int dimmedCount);

// Gives a dialog whose controls sit on a tab control's pages the pages' own
// background where the visual style draws one (nothing under the classic look).
void UseTabPageBackground(HWND dialog);

// The highlighted row of a report list-view (-1: none), and highlighting one.
int SelectedListRow(HWND list);
void SelectListRow(HWND list, int row);

#endif
