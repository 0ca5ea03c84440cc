// The category list in windows: the two columns "Category" and "Description"
// of the category browse and pickers in a report list-view, their rows in
// CAT:K_Category order, and the site form's drop-down of the names a site may
// carry. The Categories file must be open (OpenRecordFile(RF_CATEGORIES)).
#ifndef SITELIST_WINDOWS_CATEGORY_LIST_WINDOW_H
#define SITELIST_WINDOWS_CATEGORY_LIST_WINDOW_H

#include <windows.h>

#include <cstddef>

#include "sitelist/windows/category_list.h"

// Sets up a report list-view with the columns "Category" and "Description",
// widths in dialog units of the list's dialog (the picker uses 120 and 1020).
void AddCategoryColumns(HWND list, int categoryWidth, int descriptionWidth);

// Empties the list and fills it with the categories of `kind` (CategoryListKind),
// the description column showing the memo's first 255 characters. Highlights
// the category named `select` (without regard to case) when given and present,
// else the first. Returns KS_OK, or the store's code of a failed read; on a
// failure it has shown "Record Retrieval Error" for Categories.
int FillCategoryList(HWND list, int kind, const char* select);

// The highlighted category's name, without trailing spaces; false when the
// list has no highlighted row.
bool SelectedCategoryName(HWND list, char* out, size_t capacity);

// Fills a drop-down list box with the names a site may carry (no
// pseudo-categories) and selects `select` when it is among them. Returns as
// FillCategoryList.
int FillCategoryCombo(HWND combo, const char* select);

#endif
