// The browser records that the browser-check library (checkwb.dll) hands the installer,
// and the start record of its configuration process. Both are shared with a library
// built separately, so their byte layout is fixed: every field sits at the offset
// asserted below, in every build (pointers are 4 bytes in the shipped 32-bit build,
// 8 in the 64-bit one; packing by 4 keeps the offsets the same in both).
#ifndef SETUP_BROWSER_RECORD_H
#define SETUP_BROWSER_RECORD_H

#include <stddef.h>
#include <stdint.h>

enum BrowserKind {
  kBrowserActiveX = 1,       // takes ActiveX controls; its bookmark path is fixed
  kBrowserSiblingIcon = 13,  // its icon may come from a sibling program
  kBrowserNeverDefault = 14  // never offered as the default browser
};

enum { kBrowserTextSize = 260, kBrowserProgramSize = 520 };

#pragma pack(push, 4)
struct BrowserRecord {
  int32_t kind;      // 0: a BrowserKind, or another number
  const char *name;  // 4: display name, owned by the library
  char libraryOwned1[528 - 4 - sizeof(const char *)];
  char bookmarkNameA[kBrowserTextSize];  // 528: expected file name of bookmark form A
  char bookmarkNameB[kBrowserTextSize];  // 788: expected file name of bookmark form B
  char libraryOwned2[1308 - 1048];
  char bookmarkPathA[kBrowserTextSize];   // 1308: written by the installer
  char bookmarkPathB[kBrowserTextSize];   // 1568: written by the installer
  char programPath[kBrowserProgramSize];  // 1828: the browser's program
  int32_t found;                          // 2348: non-zero when present
  int32_t libraryOwned3;
  BrowserRecord *next;  // 2356: null at the end of a list
  char libraryOwned4[2380 - 2356 - sizeof(BrowserRecord *)];
  int32_t hasBookmarkA;      // 2380
  int32_t hasBookmarkB;      // 2384
  int32_t configure;         // 2388: set by the installer (selected)
  int32_t offersPlugin;      // 2392
  int32_t offersExtension;   // 2396: the animation plug-in's extension
  int32_t installPlugin;     // 2400: set by the installer
  int32_t installExtension;  // 2404: set by the installer
  int32_t installBookmark;   // 2408: set by the installer
  int32_t customisable;      // 2412: the components page applies
};
#pragma pack(pop)

static_assert(offsetof(BrowserRecord, kind) == 0, "kind");
static_assert(offsetof(BrowserRecord, name) == 4, "name pointer");
static_assert(offsetof(BrowserRecord, bookmarkNameA) == 528, "bookmark file name A");
static_assert(offsetof(BrowserRecord, bookmarkNameB) == 788, "bookmark file name B");
static_assert(offsetof(BrowserRecord, bookmarkPathA) == 1308, "bookmark path A");
static_assert(offsetof(BrowserRecord, bookmarkPathB) == 1568, "bookmark path B");
static_assert(offsetof(BrowserRecord, programPath) == 1828, "program path");
static_assert(offsetof(BrowserRecord, found) == 2348, "found");
static_assert(offsetof(BrowserRecord, next) == 2356, "next");
static_assert(offsetof(BrowserRecord, hasBookmarkA) == 2380, "has bookmark A");
static_assert(offsetof(BrowserRecord, hasBookmarkB) == 2384, "has bookmark B");
static_assert(offsetof(BrowserRecord, configure) == 2388, "configure");
static_assert(offsetof(BrowserRecord, offersPlugin) == 2392, "offers plug-in");
static_assert(offsetof(BrowserRecord, offersExtension) == 2396, "offers extension");
static_assert(offsetof(BrowserRecord, installPlugin) == 2400, "install plug-in");
static_assert(offsetof(BrowserRecord, installExtension) == 2404, "install extension");
static_assert(offsetof(BrowserRecord, installBookmark) == 2408, "install bookmark");
static_assert(offsetof(BrowserRecord, customisable) == 2412, "customisable");
static_assert(sizeof(BrowserRecord) == 2416, "record size");

// OpenConfigurationProcess's argument: four fields, 32 bits each in the shipped build.
struct ConfigurationStart {
  void *mainWindow;         // the installer's main window (HWND): its protocol messages
  void *palette;            // the installer's palette (HPALETTE)
  const char *scriptPath;   // txsetup.inf
  const char *productName;  // [Default Setting] ProductName
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void *) == 4, "the shipped build is 32-bit");
static_assert(sizeof(ConfigurationStart) == 16, "four 32-bit fields");
static_assert(offsetof(ConfigurationStart, scriptPath) == 8 && offsetof(ConfigurationStart, productName) == 12,
              "start record");
#endif

#endif
