// The run journal and its undo.
#include "setup/install_journal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

static char *copyText(const char *text) {
  size_t n = strlen(text) + 1;
  char *p = (char *)malloc(n);
  if (p) memcpy(p, text, n);
  return p;
}

InstallJournal::InstallJournal(const FileSystemApi *fs, const RegistryApi *registry)
    : fs_(fs), under_(registry), entries_(nullptr), count_(0), capacity_(0) {}

InstallJournal::~InstallJournal() { clear(); }

void InstallJournal::clear() {
  for (int i = 0; i < count_; ++i) {
    free(entries_[i].path);
    free(entries_[i].aside);
    free(entries_[i].data);
  }
  free(entries_);
  entries_ = nullptr;
  count_ = capacity_ = 0;
}

JournalEntry *InstallJournal::add(int kind, RegistryRoot root, const char *path) {
  if (count_ == capacity_) {
    int grown = capacity_ ? capacity_ * 2 : 64;
    JournalEntry *bigger = (JournalEntry *)realloc(entries_, sizeof(JournalEntry) * (size_t)grown);
    if (!bigger) return nullptr;
    entries_ = bigger;
    capacity_ = grown;
  }
  JournalEntry *e = &entries_[count_];
  memset(e, 0, sizeof *e);
  e->kind = kind;
  e->root = root;
  e->path = copyText(path);
  if (!e->path) return nullptr;
  ++count_;
  return e;
}

void InstallJournal::createdFile(const char *path) { add(kJournalCreatedFile, kClassesRoot, path); }

void InstallJournal::createdDirectory(const char *path) { add(kJournalCreatedDirectory, kClassesRoot, path); }

void InstallJournal::createdKey(RegistryRoot root, const char *path) {
  if (path && path[0] && !insideCreatedKey(root, path)) add(kJournalCreatedKey, root, path);
}

int InstallJournal::setAside(const char *path) {
  if (!fs_->exists(path)) return 1;
  char aside[300];
  for (int n = 0; n < 100; ++n) {
    if (n == 0) snprintf(aside, sizeof aside, "%s.txold", path);
    else snprintf(aside, sizeof aside, "%s.txold%d", path, n);
    if (fs_->exists(aside)) continue;
    if (!fs_->rename(path, aside)) return 0;
    JournalEntry *e = add(kJournalSetAside, kClassesRoot, path);
    if (e) e->aside = copyText(aside);
    return 1;
  }
  return 0;
}

// Whether path is key or lies below it (case-insensitive, as the registry compares).
static int withinKey(const char *key, const char *path) {
  size_t n = strlen(key);
  return strncasecmp(key, path, n) == 0 && (path[n] == '\0' || path[n] == '\\');
}

int InstallJournal::insideCreatedKey(RegistryRoot root, const char *path) const {
  for (int i = 0; i < count_; ++i)
    if (entries_[i].kind == kJournalCreatedKey && entries_[i].root == root && withinKey(entries_[i].path, path))
      return 1;
  return 0;
}

int InstallJournal::valueNoted(RegistryRoot root, const char *path, const char *name) const {
  for (int i = 0; i < count_; ++i) {
    const JournalEntry &e = entries_[i];
    if (e.kind == kJournalOldValue && e.root == root && strcasecmp(e.path, path) == 0 &&
        strcasecmp(e.aside ? e.aside : "", name ? name : "") == 0)
      return 1;
  }
  return 0;
}

void InstallJournal::noteKeyWrite(RegistryRoot root, const char *path) {
  if (insideCreatedKey(root, path) || under_->keyExists(root, path)) return;
  // The outermost missing key: deleting it removes everything the run made below it.
  char prefix[600];
  size_t n = strlen(path);
  if (n >= sizeof prefix) return;
  for (size_t i = 1; i <= n; ++i) {
    if (path[i] != '\\' && path[i] != '\0') continue;
    memcpy(prefix, path, i);
    prefix[i] = '\0';
    if (!under_->keyExists(root, prefix)) {
      add(kJournalCreatedKey, root, prefix);
      return;
    }
  }
}

void InstallJournal::noteValueWrite(RegistryRoot root, const char *path, const char *name) {
  noteKeyWrite(root, path);
  if (insideCreatedKey(root, path) || valueNoted(root, path, name)) return;
  JournalEntry *e = add(kJournalOldValue, root, path);
  if (!e) return;
  e->aside = copyText(name ? name : "");
  unsigned char buffer[1024];
  size_t size = 0;
  e->valueType = under_->readValue(root, path, name, buffer, sizeof buffer, &size);
  if (e->valueType != kRegNone) {
    e->data = (unsigned char *)malloc(size ? size : 1);
    if (e->data) memcpy(e->data, buffer, size);
    e->size = size;
  }
}

void InstallJournal::undo() {
  for (int i = count_ - 1; i >= 0; --i) {
    JournalEntry &e = entries_[i];
    switch (e.kind) {
      case kJournalCreatedFile: fs_->remove(e.path); break;
      case kJournalSetAside:
        fs_->remove(e.path);
        fs_->rename(e.aside, e.path);
        break;
      case kJournalCreatedDirectory: fs_->removeDirectory(e.path); break;
      case kJournalCreatedKey: under_->deleteTree(e.root, e.path); break;
      case kJournalOldValue:
        if (e.valueType == kRegNone) under_->deleteValue(e.root, e.path, e.aside[0] ? e.aside : nullptr);
        else under_->writeValue(e.root, e.path, e.aside[0] ? e.aside : nullptr, e.valueType, e.data, e.size);
        break;
    }
  }
  clear();
}

void InstallJournal::removeWhenEmptied(const char *path) { add(kJournalEmptied, kClassesRoot, path); }

void InstallJournal::commit() {
  for (int i = 0; i < count_; ++i)
    if (entries_[i].kind == kJournalSetAside) fs_->remove(entries_[i].aside);
  for (int i = 0; i < count_; ++i)
    if (entries_[i].kind == kJournalEmptied) fs_->removeDirectory(entries_[i].path);  // stays when not empty
  clear();
}

// The journaling registry table: one active journal per process.
static InstallJournal *g_active;
static const RegistryApi *g_under;

static int jCreateKey(RegistryRoot root, const char *path) {
  g_active->noteKeyWrite(root, path);
  return g_under->createKey(root, path);
}
static int jKeyExists(RegistryRoot root, const char *path) { return g_under->keyExists(root, path); }
static int jReadValue(RegistryRoot root, const char *path, const char *name, void *data, size_t room, size_t *size) {
  return g_under->readValue(root, path, name, data, room, size);
}
static int jWriteValue(RegistryRoot root, const char *path, const char *name, int type, const void *data, size_t size) {
  g_active->noteValueWrite(root, path, name);
  return g_under->writeValue(root, path, name, type, data, size);
}
static int jDeleteValue(RegistryRoot root, const char *path, const char *name) {
  g_active->noteValueWrite(root, path, name);
  return g_under->deleteValue(root, path, name);
}
static int jDeleteTree(RegistryRoot root, const char *path) { return g_under->deleteTree(root, path); }
static int jSubkeyName(RegistryRoot root, const char *path, int index, char *out, size_t room) {
  return g_under->subkeyName(root, path, index, out, room);
}

static const RegistryApi kJournaling = {jCreateKey,   jKeyExists,  jReadValue, jWriteValue,
                                        jDeleteValue, jDeleteTree, jSubkeyName};

const RegistryApi *InstallJournal::registry() {
  g_active = this;
  g_under = under_;
  return &kJournaling;
}
