// The uninstall log under the product key: nine categories, each a subkey holding
// "Item<n>" values (and "AddInfo<n>" with a registry root's name), numbered on from
// whatever an earlier run left there.
#ifndef SETUP_UNINSTALL_LOG_H
#define SETUP_UNINSTALL_LOG_H

#include "common/registry_api.h"

enum LogCategory {
  kLogShutdownNames = 0,
  kLogSelfRegs = 1,
  kLogFiles = 2,
  kLogSharedFiles = 3,
  kLogProgmanGroup = 4,
  kLogDirectories = 5,
  kLogKeys = 6,
  kLogKeyValues = 7,
  kLogSharedKeys = 8,
  kLogCategoryCount = 9,
};

extern const char *const kLogCategoryNames[kLogCategoryCount];

// The first n from 1 for which exists(context, n) is 0 (bounded at 1,000,000).
int firstFreeItem(int (*exists)(void *context, int n), void *context);

class UninstallLog {
public:
  UninstallLog();
  // Sets every counter past the category's last entry. Returns 1.
  int open(const RegistryApi *api, const char *productKeyPath);
  int isOpen() const { return open_; }
  // Adds one entry; empty texts are not logged. Returns 1 when written.
  int add(int category, const char *text, const char *rootName = nullptr);
  int next(int category) const { return counters_[category]; }

private:
  const RegistryApi *api_;
  char keyPath_[260];
  int counters_[kLogCategoryCount];
  int open_;
};

#endif
