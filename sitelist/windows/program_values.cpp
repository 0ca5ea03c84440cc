// Program-wide values shared by Tabulink's windows.
#include "sitelist/windows/program_values.h"

#include <cstdio>

const char kDefaultImportFileName[] = "bookmark.htm";

void SetImportFileName(const char* name) {
  snprintf(g_ImportName, sizeof g_ImportName, "%s", name != nullptr ? name : "");
}
