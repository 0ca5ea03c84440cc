// The player's preference store shared by the installer and the player: the product
// key under HKEY_CLASSES_ROOT, the preference vocabulary with its default texts, and
// the family-wide values. Portable: the registry is reached through a RegistryApi.
#ifndef COMMON_PRODUCT_PREFS_H
#define COMMON_PRODUCT_PREFS_H

#include <stddef.h>

#include "common/registry_api.h"

enum {
  kPrefNameSize = 100,
  kPrefValueSize = 200,
  kKeyPathSize = 260,
  kVersionTextSize = 10,
  kRegistrationNameSize = 100,
  kUninstallCommandSize = 520,
};

// The maker, as the product key path uses it (cut at its first comma).
extern const char kMakerCompany[];
// Where the uninstall commands live, under HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE.
extern const char kUninstallKeyRoot[];

struct PreferenceName {
  const char *name;
  const char *defaultText;  // " " is a blank default, "" an empty one
};

// The vocabulary in its fixed order, ending with the sentinel "Not an entry".
extern const PreferenceName kPreferenceVocabulary[];
extern const int kPreferenceCount;  // entries before the sentinel

// The entry of that name (case-insensitive); the sentinel when it is not an entry.
const PreferenceName *findPreference(const char *name);

// "Software\" + company up to its first comma + "\" + product + "\" + version; with
// win32s every blank becomes "_". Returns 0 when it does not fit (out emptied).
int buildProductKeyPath(const char *company, const char *product, const char *version, int win32s, char *out,
                        size_t room);
// The key path with its last `count` components removed (the family key for 2).
int keyPathParent(const char *path, int count, char *out, size_t room);

// The version that follows the product key path without its version in an uninstall
// command: up to 9 characters up to the first white space. 0 when the prefix is absent.
int previousVersionFromCommand(const char *command, const char *productPrefix, char *version, size_t room);

// Splits "<name>,<value>" at its first comma; 0 (nothing written) without a comma.
int splitPreferenceAssignment(const char *text, char *name, size_t nameRoom, char *value, size_t valueRoom);

// The content preset section: "Content<c>" at 28800 bit/s and above, else "Content14-<c>".
void contentPresetSection(long speed, int choice, char *out, size_t room);

class ProductPrefs {
public:
  // Builds the product key path for the registry product name and version text.
  ProductPrefs(const RegistryApi *api, const char *registrationName, const char *version, int win32s);

  const char *keyPath() const { return keyPath_; }
  const char *version() const { return version_; }
  const char *previousKeyPath() const { return previousKeyPath_; }
  const char *registrationName() const { return registrationName_; }

  // A preference of this product: the stored value, or the vocabulary default when
  // missing. Returns 1 when a stored value was found.
  int read(const char *name, char *out, size_t room) const;
  // The stored value only (empty when missing); 1 when found.
  int readStored(const char *name, char *out, size_t room) const;
  int write(const char *name, const char *text) const;
  int readPrevious(const char *name, char *out, size_t room) const;
  int readFamily(const char *name, char *out, size_t room) const;
  int writeFamily(const char *name, const char *text) const;

  // Previous installation: the uninstall command (room 520) and directory (260) of an
  // earlier version, found through the uninstall key. Sets the previous key path.
  void findPrevious(char *command, size_t commandRoom, char *directory, size_t directoryRoom);
  // The install count under "<key>\Preferences", raised by 1; returns the new count.
  long raiseInstallCount() const;
  long installCount() const;
  int writeInstallDirectory(const char *directory) const;
  // Copies every preference of the previous version's key; returns how many.
  int copyPrevious() const;

private:
  const RegistryApi *api_;
  char registrationName_[kRegistrationNameSize];
  char version_[kVersionTextSize + 1];
  char keyPath_[kKeyPathSize];
  char previousKeyPath_[kKeyPathSize];
  char prefsPath_[kKeyPathSize + 16];
};

#endif
