// The registry as the installer and the player reach it: a small function table over
// the platform's registry calls, bound to ADVAPI32 in registry_binding.cpp. Paths are
// key paths below one of the roots; every text is zero-ended and bounded by its room.
#ifndef COMMON_REGISTRY_API_H
#define COMMON_REGISTRY_API_H

#include <stddef.h>
#include <stdint.h>

enum RegistryRoot { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2 };

enum RegistryType { kRegNone = 0, kRegText = 1, kRegDword = 4, kRegOther = 99 };

struct RegistryApi {
  // Creates the key and any missing parents; 1 on success.
  int (*createKey)(RegistryRoot root, const char *path);
  // 1 when the key exists.
  int (*keyExists)(RegistryRoot root, const char *path);
  // Reads a value (name NULL or "": the default value) into data (room bytes).
  // Returns its type (kRegNone when missing); *size receives the stored byte count.
  int (*readValue)(RegistryRoot root, const char *path, const char *name, void *data, size_t room, size_t *size);
  // Writes a value of that type, creating the key; 1 on success.
  int (*writeValue)(RegistryRoot root, const char *path, const char *name, int type, const void *data, size_t size);
  // Deletes one value; 1 when it is gone.
  int (*deleteValue)(RegistryRoot root, const char *path, const char *name);
  // Deletes a key with all its subkeys; 1 when it is gone.
  int (*deleteTree)(RegistryRoot root, const char *path);
  // The name of subkey `index` (from 0) into out; 0 when there is none.
  int (*subkeyName)(RegistryRoot root, const char *path, int index, char *out, size_t room);
};

// The name of a root as the uninstall log writes it ("HKEY_CLASSES_ROOT" ...).
const char *registryRootName(RegistryRoot root);
// The root of such a name; -1 for another text.
int registryRootFromName(const char *name);

// Text helpers over a RegistryApi: the default value or a named value as text
// (empty when missing or not text), and writing text.
int registryReadText(const RegistryApi *api, RegistryRoot root, const char *path, const char *name, char *out,
                     size_t room);
int registryWriteText(const RegistryApi *api, RegistryRoot root, const char *path, const char *name, const char *text);

#if defined(_WIN32)
// The table bound to ADVAPI32.
const RegistryApi *platformRegistry(void);
#endif

#endif
