// Program-wide values that Tabulink's windows share across their threads.
#ifndef SITELIST_WINDOWS_PROGRAM_VALUES_H
#define SITELIST_WINDOWS_PROGRAM_VALUES_H

#include <cstddef>

// The import file name shared with the import windows: 255 characters and the
// terminating zero.
const size_t kImportFileNameSize = 256;
extern char g_importFileName[kImportFileNameSize];

// The name the program starts with.
extern const char kDefaultImportFileName[];  // "bookmark.htm"

// Sets the import file name, cut to 255 characters.
void SetImportFileName(const char* name);

#endif
