// A registry held in memory for native tests of code that works over a RegistryApi:
// keys compare without regard to case and enumerate their subkeys in sorted order,
// as the platform's do. One instance at a time (the table's functions are plain).
#ifndef COMMON_TESTS_MEMORY_REGISTRY_H
#define COMMON_TESTS_MEMORY_REGISTRY_H

#include <ctype.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "common/registry_api.h"

struct MemoryRegistry {
  struct Value {
    int type;
    std::string data;
  };
  struct Key {
    std::string name;                     // as created, for enumeration
    std::map<std::string, Value> values;  // lower-case value name ("" the default)
  };
  std::map<std::string, Key> keys;  // "<root>\<lower-case path>"
  int writes = 0;

  static std::string lower(const std::string &s) {
    std::string out(s);
    for (char &c : out) c = (char)tolower((unsigned char)c);
    return out;
  }
  static std::string id(RegistryRoot root, const std::string &path) {
    return std::to_string((int)root) + "\\" + lower(path);
  }
  Key *find(RegistryRoot root, const std::string &path) {
    auto it = keys.find(id(root, path));
    return it == keys.end() ? nullptr : &it->second;
  }
  void create(RegistryRoot root, const std::string &path) {
    size_t at = 0;
    do {
      at = path.find('\\', at + 1);
      std::string prefix = path.substr(0, at);
      Key &k = keys[id(root, prefix)];
      size_t slash = prefix.rfind('\\');
      if (k.name.empty()) k.name = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
    } while (at != std::string::npos);
  }
  // The default value of a key as text; "<missing>" when the key or value is absent.
  std::string text(const std::string &path, RegistryRoot root = kClassesRoot) {
    Key *k = find(root, path);
    if (!k || !k->values.count("")) return "<missing>";
    std::string d = k->values[""].data;
    return d.substr(0, strnlen(d.c_str(), d.size()));
  }
  bool exists(const std::string &path, RegistryRoot root = kClassesRoot) { return find(root, path) != nullptr; }

  static MemoryRegistry *&current() {
    static MemoryRegistry *r;
    return r;
  }
  static int createKey(RegistryRoot root, const char *path) {
    current()->create(root, path);
    ++current()->writes;
    return 1;
  }
  static int keyExists(RegistryRoot root, const char *path) { return current()->find(root, path) != nullptr; }
  static int readValue(RegistryRoot root, const char *path, const char *name, void *data, size_t room, size_t *size) {
    *size = 0;
    Key *k = current()->find(root, path);
    if (!k) return kRegNone;
    auto it = k->values.find(lower(name ? name : ""));
    if (it == k->values.end()) return kRegNone;
    size_t keep = it->second.data.size() < room ? it->second.data.size() : room;
    memcpy(data, it->second.data.data(), keep);
    *size = keep;
    return it->second.type;
  }
  static int writeValue(RegistryRoot root, const char *path, const char *name, int type, const void *data,
                        size_t size) {
    current()->create(root, path);
    ++current()->writes;
    current()->find(root, path)->values[lower(name ? name : "")] = Value{type, std::string((const char *)data, size)};
    return 1;
  }
  static int deleteValue(RegistryRoot root, const char *path, const char *name) {
    Key *k = current()->find(root, path);
    ++current()->writes;
    if (k) k->values.erase(lower(name ? name : ""));
    return 1;
  }
  static int deleteTree(RegistryRoot root, const char *path) {
    std::string base = id(root, path);
    ++current()->writes;
    for (auto it = current()->keys.begin(); it != current()->keys.end();)
      if (it->first == base || it->first.compare(0, base.size() + 1, base + "\\") == 0) it = current()->keys.erase(it);
      else ++it;
    return 1;
  }
  static int subkeyName(RegistryRoot root, const char *path, int index, char *out, size_t room) {
    std::string base = id(root, path) + "\\";
    int seen = 0;
    for (auto &entry : current()->keys) {
      if (entry.first.compare(0, base.size(), base) != 0) continue;
      if (entry.first.find('\\', base.size()) != std::string::npos) continue;
      if (seen++ == index) {
        if (entry.second.name.size() + 1 > room) return 0;
        strcpy(out, entry.second.name.c_str());
        return 1;
      }
    }
    if (room) out[0] = '\0';
    return 0;
  }
  const RegistryApi *api() {
    current() = this;
    static const RegistryApi table = {createKey, keyExists, readValue, writeValue, deleteValue, deleteTree, subkeyName};
    return &table;
  }
};

#endif
