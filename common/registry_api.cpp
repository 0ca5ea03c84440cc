// Root names and the text helpers every user of RegistryApi shares.
#include "common/registry_api.h"

#include <string.h>
#include <strings.h>

static const char *const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

const char *registryRootName(RegistryRoot root) { return (int)root >= 0 && (int)root < 3 ? kRootNames[root] : ""; }

int registryRootFromName(const char *name) {
  for (int i = 0; i < 3; ++i)
    if (strcasecmp(kRootNames[i], name) == 0) return i;
  return -1;
}

int registryReadText(const RegistryApi *api, RegistryRoot root, const char *path, const char *name, char *out,
                     size_t room) {
  if (room == 0) return 0;
  size_t size = 0;
  int type = api->readValue(root, path, name, out, room - 1, &size);
  if (type != kRegText || size > room - 1) {
    out[0] = '\0';
    return 0;
  }
  out[size] = '\0';
  out[strnlen(out, size)] = '\0';
  return 1;
}

int registryWriteText(const RegistryApi *api, RegistryRoot root, const char *path, const char *name, const char *text) {
  return api->writeValue(root, path, name, kRegText, text, strlen(text) + 1);
}
