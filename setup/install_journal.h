// What one installation run changed, so that a failed run can put the machine back
// as it found it: files and directories it created, files it replaced or removed
// (kept aside under a ".txold" name until the run succeeds), registry keys it created
// and registry values it overwrote. An earlier installation's log and files are never
// touched by the undo.
#ifndef SETUP_INSTALL_JOURNAL_H
#define SETUP_INSTALL_JOURNAL_H

#include <stddef.h>
#include <stdint.h>

#include "common/registry_api.h"
#include "setup/file_system.h"

enum JournalKind {
  kJournalCreatedFile,
  kJournalSetAside,  // path moved to aside (replaced or removed by the run)
  kJournalCreatedDirectory,
  kJournalCreatedKey,
  kJournalOldValue,  // a value as it was before the run (type kRegNone: absent)
  kJournalEmptied,   // a directory whose files the run set aside: removed at commit if empty
};

struct JournalEntry {
  int kind;
  RegistryRoot root;
  char *path;
  char *aside;  // kJournalSetAside: where the old file waits; kJournalOldValue: value name
  int valueType;
  unsigned char *data;
  size_t size;
};

class InstallJournal {
public:
  InstallJournal(const FileSystemApi *fs, const RegistryApi *registry);
  ~InstallJournal();

  const FileSystemApi *files() const { return fs_; }

  // Registry calls that note what they change first. The table keeps a pointer to
  // this journal: one journal is active per process at a time.
  const RegistryApi *registry();

  void createdFile(const char *path);
  void createdDirectory(const char *path);
  // A key another party (the browser library) made for the run: undone with all it holds.
  void createdKey(RegistryRoot root, const char *path);
  // Moves an existing file out of the way (to "<path>.txold", or a numbered variant)
  // and notes it. Returns 1 when the path is free afterwards.
  int setAside(const char *path);
  // A directory the run clears of old files: it goes once the run has succeeded (and
  // the set-aside files with it), unless something else is left in it.
  void removeWhenEmptied(const char *path);

  // Puts everything back, newest change first; the journal is then empty.
  void undo();
  // Keeps the run's changes: deletes the set-aside files, then the emptied
  // directories; the journal is then empty.
  void commit();

  int count() const { return count_; }

  // Used by the journaling registry table.
  void noteKeyWrite(RegistryRoot root, const char *path);
  void noteValueWrite(RegistryRoot root, const char *path, const char *name);

private:
  JournalEntry *add(int kind, RegistryRoot root, const char *path);
  int insideCreatedKey(RegistryRoot root, const char *path) const;
  int valueNoted(RegistryRoot root, const char *path, const char *name) const;
  void clear();

  const FileSystemApi *fs_;
  const RegistryApi *under_;
  JournalEntry *entries_;
  int count_;
  int capacity_;
};

#endif
