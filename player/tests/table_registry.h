// A RegistryApi over an in-memory table of (root, key path, value name) -> text, for
// the native tests of the player's cores. Key paths compare without regard to case,
// as the registry does.
#ifndef PLAYER_TESTS_TABLE_REGISTRY_H
#define PLAYER_TESTS_TABLE_REGISTRY_H

#include <string.h>
#include <strings.h>

#include <map>
#include <string>

#include "common/registry_api.h"

struct TableRegistry {
  static std::map<std::string, std::string> &values() {
    static std::map<std::string, std::string> table;
    return table;
  }
  static std::string keyOf(RegistryRoot root, const char *path, const char *name) {
    std::string key = std::to_string((int)root) + "|" + path + "|" + (name ? name : "");
    for (char &c : key) c = (char)tolower((unsigned char)c);
    return key;
  }
  static void clear() { values().clear(); }
  static void set(RegistryRoot root, const char *path, const char *text) { values()[keyOf(root, path, "")] = text; }
  static const char *get(RegistryRoot root, const char *path) {
    auto it = values().find(keyOf(root, path, ""));
    return it == values().end() ? nullptr : it->second.c_str();
  }

  static int createKey(RegistryRoot, const char *) { return 1; }
  static int keyExists(RegistryRoot root, const char *path) {
    std::string prefix = keyOf(root, path, "");
    prefix.pop_back();
    for (auto &kv : values())
      if (kv.first.compare(0, prefix.size(), prefix) == 0) return 1;
    return 0;
  }
  static int readValue(RegistryRoot root, const char *path, const char *name, void *data, size_t room,
                       size_t *size) {
    auto it = values().find(keyOf(root, path, name));
    *size = 0;
    if (it == values().end()) return kRegNone;
    size_t keep = it->second.size() + 1 < room ? it->second.size() + 1 : room;
    memcpy(data, it->second.c_str(), keep);
    *size = keep;
    return kRegText;
  }
  static int writeValue(RegistryRoot root, const char *path, const char *name, int, const void *data, size_t size) {
    values()[keyOf(root, path, name)] = std::string((const char *)data, strnlen((const char *)data, size));
    return 1;
  }
  static int deleteValue(RegistryRoot root, const char *path, const char *name) {
    values().erase(keyOf(root, path, name));
    return 1;
  }
  static int deleteTree(RegistryRoot, const char *) { return 0; }
  static int subkeyName(RegistryRoot, const char *, int, char *out, size_t room) {
    if (room) out[0] = '\0';
    return 0;
  }
  static const RegistryApi *api() {
    static const RegistryApi table = {createKey, keyExists, readValue, writeValue, deleteValue, deleteTree, subkeyName};
    return &table;
  }
};

#endif
