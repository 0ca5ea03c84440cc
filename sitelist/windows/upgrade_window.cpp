// The start-up upgrade of files written by the earlier version of Tabulink.
#include "sitelist/windows/tablnk_windows.h"

void UpgradeEarlierFiles() {}
