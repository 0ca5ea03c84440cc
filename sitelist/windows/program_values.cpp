// Program-wide values shared by Tabulink's windows.
#include "sitelist/windows/program_values.h"

#include <cstdio>

char g_importFileName[kImportFileNameSize];
const char kDefaultImportFileName[] = "bookmark.htm";

void SetImportFileName(const char* name) { snprintf(g_importFileName, sizeof g_importFileName, "%s", name); }
