// The program's record operations used by the site and category windows: add,
// change and delete of sites, categories and category texts, with the cascades
// of a category's delete and rename, each inside its transaction and rolled back
// on any failure. Every operation works on the shared open files (OpenRecordFile)
// and on the caller's record buffer; on failure it has already told the user and
// returns 0; on success it returns 1.
#pragma once

#include "sitelist/records/record_files.h"

// The wait for a transaction's files, in milliseconds.
enum { RECORD_TRANSACTION_WAIT_MS = 2000 };

// Adds a site (no transaction). On a duplicate location shows "Duplicate Key
// Error" naming "Site Location"; other errors "Record Insert Error".
// *error (if given) receives the store's code.
int AddSite(SiteRecord* site, int* error = nullptr);
// Rewrites a site read earlier (begin; put; commit). Failure messages as the
// transaction rules say; *error receives the code (89 when another station changed it).
int ChangeSite(SiteRecord* site, int* error = nullptr);
// Deletes a site read earlier: saves its position in URL:K_Location, begins,
// re-reads it through the position, deletes it, commits.
int DeleteSite(SiteRecord* site, int* error = nullptr);

int AddCategory(CategoryRecord* cat, int* error = nullptr);
// Rewrites a category; when its name differs (exactly) from old_name, the new
// name is carried to its CatHTML records and its sites, all in one transaction.
int ChangeCategory(CategoryRecord* cat, const char* old_name, int* error = nullptr);
// Deletes a category with its CatHTML records and its sites, in one transaction.
int DeleteCategory(CategoryRecord* cat, int* error = nullptr);

int AddCatText(CatHtmlRecord* text, int* error = nullptr);
int ChangeCatText(CatHtmlRecord* text, int* error = nullptr);
int DeleteCatText(CatHtmlRecord* text, int* error = nullptr);

// The retry decisions of the forms around ChangeSite / DeleteSite and the like:
// shows "Record Update Error" and returns the answer (RA_YES retries).
int AskUpdateRetry(void);
int AskDeleteRetry(void);

// True for the pseudo-categories "_Before All" and "_After All" (any letter case).
int IsPseudoCategory(const char* name, size_t width);

// The keyword rule of the site form: the text before the first "://" cut to 10
// characters, else "mailto:" when the location holds "mailto:", else "?".
void KeywordFromLocation(const char* location, size_t width, char* keyword, size_t keyword_width);
