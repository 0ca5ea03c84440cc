// RegistryApi bound to ADVAPI32: the three roots the installer and the player use.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "common/registry_api.h"

static HKEY rootKey(RegistryRoot root) {
  switch (root) {
    case kClassesRoot: return HKEY_CLASSES_ROOT;
    case kCurrentUser: return HKEY_CURRENT_USER;
    default: return HKEY_LOCAL_MACHINE;
  }
}

static int bindCreateKey(RegistryRoot root, const char *path) {
  HKEY key;
  if (RegCreateKeyExA(rootKey(root), path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 0;
  RegCloseKey(key);
  return 1;
}

static int bindKeyExists(RegistryRoot root, const char *path) {
  HKEY key;
  if (RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegCloseKey(key);
  return 1;
}

static int bindReadValue(RegistryRoot root, const char *path, const char *name, void *data, size_t room, size_t *size) {
  *size = 0;
  HKEY key;
  if (RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return kRegNone;
  DWORD type = 0, stored = 0;
  int result = kRegNone;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &stored) == ERROR_SUCCESS) {
    // Read the whole value, then keep what fits: a longer text is cut, never refused.
    unsigned char *whole = (unsigned char *)malloc(stored + 1);
    DWORD got = stored;
    if (whole && RegQueryValueExA(key, name, nullptr, &type, whole, &got) == ERROR_SUCCESS) {
      size_t keep = got < room ? got : room;
      memcpy(data, whole, keep);
      *size = keep;
      result = type == REG_SZ || type == REG_EXPAND_SZ ? kRegText : type == REG_DWORD ? kRegDword : kRegOther;
    }
    free(whole);
  }
  RegCloseKey(key);
  return result;
}

static int bindWriteValue(RegistryRoot root, const char *path, const char *name, int type, const void *data,
                          size_t size) {
  HKEY key;
  if (RegCreateKeyExA(rootKey(root), path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 0;
  DWORD regType = type == kRegDword ? REG_DWORD : REG_SZ;
  LONG r = RegSetValueExA(key, name, 0, regType, (const BYTE *)data, (DWORD)size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

static int bindDeleteValue(RegistryRoot root, const char *path, const char *name) {
  HKEY key;
  if (RegOpenKeyExA(rootKey(root), path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 1;
  LONG r = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

static int bindDeleteTree(RegistryRoot root, const char *path) {
  if (!path[0]) return 0;  // never a whole root
  LONG r = RegDeleteTreeA(rootKey(root), path);
  if (r == ERROR_SUCCESS) r = RegDeleteKeyA(rootKey(root), path);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

static int bindSubkeyName(RegistryRoot root, const char *path, int index, char *out, size_t room) {
  HKEY key;
  if (RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD length = (DWORD)room;
  LONG r = RegEnumKeyExA(key, (DWORD)index, out, &length, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) {
    if (room) out[0] = '\0';
    return 0;
  }
  return 1;
}

static const RegistryApi kPlatformRegistry = {
    bindCreateKey, bindKeyExists, bindReadValue, bindWriteValue, bindDeleteValue, bindDeleteTree, bindSubkeyName,
};

const RegistryApi *platformRegistry(void) { return &kPlatformRegistry; }
