// A ProfileApi over a fixed table of (section, key, value) for the native tests of
// the script's readers; section and key names compare case-insensitively, as the
// profile calls do.
#ifndef SETUP_TESTS_TABLE_PROFILE_H
#define SETUP_TESTS_TABLE_PROFILE_H

#include <stdio.h>
#include <strings.h>

#include <string>
#include <vector>

#include "setup/script.h"

struct ProfileEntry {
  std::string section, key, value;
};

struct TableProfile {
  std::vector<ProfileEntry> entries;
  ProfileApi api;
  SetupScript script;

  TableProfile() {
    api.context = this;
    api.read = &TableProfile::read;
    script.api = &api;
    snprintf(script.path, sizeof script.path, "C:\\setup\\txsetup.inf");
  }
  void set(const char *section, const char *key, const char *value) { entries.push_back({section, key, value}); }

  static int read(void *context, const char *, const char *section, const char *key, char *out, size_t room) {
    TableProfile *t = (TableProfile *)context;
    for (const ProfileEntry &e : t->entries)
      if (strcasecmp(e.section.c_str(), section) == 0 && strcasecmp(e.key.c_str(), key) == 0) {
        snprintf(out, room, "%s", e.value.c_str());
        return 1;
      }
    out[0] = '\0';
    return 0;
  }
};

#endif
