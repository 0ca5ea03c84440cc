// The destination directory rule: "X:\..." paths whose components are created one
// by one, and a probe file "dir.tmp" that proves the directory takes writes.
#ifndef SETUP_DIRECTORY_RULE_H
#define SETUP_DIRECTORY_RULE_H

#include <stddef.h>

#include "setup/file_system.h"

// Longer than two characters, ":" second and "\" third.
int directoryPathWellFormed(const char *path);

// Called for every directory the check created, in order of creation (outermost first).
struct DirectoryObserver {
  void *context;
  void (*created)(void *context, const char *path);
};

// Walks the components after the drive root: existing directories are accepted,
// missing ones created (and reported to the observer), an existing non-directory
// makes the path unusable. Then writes and deletes "dir.tmp" in it. With prefixes,
// every prefix longer than three characters is put there, deepest first (room per
// entry kPathSize; returns their count in *prefixCount). Returns 1 when usable.
int checkDirectory(const FileSystemApi *fs, const char *path, const DirectoryObserver *observer, char (*prefixes)[260],
                   int maxPrefixes, int *prefixCount);

#endif
