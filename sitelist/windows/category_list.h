// Reading the category list the way the site form, the category browse, the
// category picker and the import's category question show it: every category
// in CAT:K_Category order, optionally without the pseudo-categories
// "_Before All" and "_After All" (any letter case), each name once.
#pragma once

#include "sitelist/records/record_files.h"

// Called once per category; return 0 to stop the walk early.
typedef int (*CategoryVisit)(const CategoryRecord* category, void* context);

enum CategoryListKind {
  kAllCategories = 0,   // browse and picker: every category, pseudo-categories too
  kSiteCategories = 1,  // what a site may carry: no pseudo-categories
};

// Walks the open Categories file (RecordFile(RF_CATEGORIES)) in key order.
// KS_OK at the end (or when visit stopped it), else the store's code of the
// read that failed (the caller shows "Record Retrieval Error" for Categories).
int ForEachCategory(KsFile* categories, int kind, CategoryVisit visit, void* context);

// The description memo as the lists show it: its first 255 characters on one
// line (line ends and tabs become spaces). out needs 256 bytes.
void CategoryDescriptionColumn(const CategoryRecord* category, char* out, size_t cap);

// 1 when a Categories record of that name exists (looked up through
// CAT:K_Category, so without regard to case); 0 when none; -1 on a read error
// (*error receives the code).
int CategoryExists(KsFile* categories, const char* name, int* error);
