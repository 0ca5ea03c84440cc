// The uninstall log.
#include "setup/uninstall_log.h"

#include <stdio.h>
#include <string.h>

const char *const kLogCategoryNames[kLogCategoryCount] = {
    "ShutdownNames", "SelfRegs", "Files",     "SharedFiles", "ProgmanGroup",
    "Directories",   "Keys",     "KeyValues", "SharedKeys",
};

int firstFreeItem(int (*exists)(void *context, int n), void *context) {
  int n = 1;
  while (n < 1000000 && exists(context, n)) ++n;
  return n;
}

UninstallLog::UninstallLog() : api_(nullptr), open_(0) {
  keyPath_[0] = '\0';
  for (int i = 0; i < kLogCategoryCount; ++i) counters_[i] = 1;
}

struct ProbeContext {
  const RegistryApi *api;
  const char *path;
};

static int itemExists(void *context, int n) {
  ProbeContext *p = (ProbeContext *)context;
  char name[24], data[4];
  size_t size;
  snprintf(name, sizeof name, "Item%d", n);
  return p->api->readValue(kClassesRoot, p->path, name, data, sizeof data, &size) != kRegNone;
}

int UninstallLog::open(const RegistryApi *api, const char *productKeyPath) {
  api_ = api;
  snprintf(keyPath_, sizeof keyPath_, "%s", productKeyPath);
  for (int i = 0; i < kLogCategoryCount; ++i) {
    char path[300];
    snprintf(path, sizeof path, "%s\\%s", keyPath_, kLogCategoryNames[i]);
    ProbeContext p = {api, path};
    counters_[i] = firstFreeItem(itemExists, &p);
  }
  open_ = 1;
  return 1;
}

int UninstallLog::add(int category, const char *text, const char *rootName) {
  if (!open_ || category < 0 || category >= kLogCategoryCount || !text || !text[0]) return 0;
  char path[300], name[24];
  snprintf(path, sizeof path, "%s\\%s", keyPath_, kLogCategoryNames[category]);
  int n = counters_[category];
  snprintf(name, sizeof name, "Item%d", n);
  if (!registryWriteText(api_, kClassesRoot, path, name, text)) return 0;
  if (rootName && rootName[0]) {
    snprintf(name, sizeof name, "AddInfo%d", n);
    registryWriteText(api_, kClassesRoot, path, name, rootName);
  }
  counters_[category] = n + 1;
  return 1;
}
