// The start-up upgrade of earlier-version files: "New version detected!", the
// export defaults, and UpgradeTABLNK, UpgradeCategories and UpgradeCatHTML on
// the progress runner.
#ifndef SITELIST_WINDOWS_UPGRADE_WINDOW_H
#define SITELIST_WINDOWS_UPGRADE_WINDOW_H

// Runs the upgrade before the frame opens. Returns false when an
// earlier-version file is there but could not be upgraded (the user was told),
// so that the next start checks again, and when the user asked for the end of
// the program (Abort in "Stop", or "Disk Error"): then the end is requested
// (program_end.h) and the remaining files are not looked at.
bool UpgradeEarlierFiles();

#endif
