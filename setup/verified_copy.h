// The verified copy of one product file: length and eight check sums are proven on a
// temporary file in the destination directory before it replaces the destination, so
// that a damaged download never leaves anything wrong on disk.
#ifndef SETUP_VERIFIED_COPY_H
#define SETUP_VERIFIED_COPY_H

#include <stdint.h>

#include "setup/control_sums.h"
#include "setup/file_system.h"
#include "setup/install_journal.h"

enum { kCopyChunk = 32000 };

// Results: 0, or the number of the message that says what failed.
enum CopyStatus {
  kCopyDone = 0,
  kCopyWrongLength = 3257,   // with the source path
  kCopyCannotCreate = 3258,  // with the destination path
  kCopyNoMemory = 3259,
  kCopyReadFailed = 3260,   // with the destination path
  kCopyWriteFailed = 3261,  // with the destination path
  kCopySumsDiffer = 3262,   // with the destination path; 3263 beneath
  kCopyNoSource = 3288,     // with the source path
};

// Told of each chunk copied (bytes added to the running total) and of the paths.
struct CopyProgress {
  void *context;
  void (*paths)(void *context, const char *source, const char *destination);
  void (*advanced)(void *context, long bytes);
};

// Copies source to destination: length must be expected; with verify the sums must
// match expected. The destination's previous file, if any, is set aside through the
// journal (or simply replaced without one). On any failure the destination is as it
// was and the temporary file is gone.
int copyVerified(const FileSystemApi *fs, InstallJournal *journal, const CopyProgress *progress, const char *source,
                 const char *destination, long long expectedLength, const uint8_t expected[kSumCount], int verify);

#endif
