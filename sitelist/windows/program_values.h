// Program-wide values that Tabulink's windows share across their threads.
#ifndef SITELIST_WINDOWS_PROGRAM_VALUES_H
#define SITELIST_WINDOWS_PROGRAM_VALUES_H

#include <cstddef>

#include "sitelist/records/record_files.h"

// The import file name shared with the import windows is g_ImportName
// (sitelist/records/record_files.h): the opening rules name the import files
// by it. 255 characters and the terminating zero.
const size_t kImportFileNameSize = sizeof g_ImportName;

// The name the program starts with.
extern const char kDefaultImportFileName[];  // "bookmark.htm"

// Sets g_ImportName, cut to 255 characters.
void SetImportFileName(const char* name);

#endif
