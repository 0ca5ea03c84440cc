// The verified copy.
#include "setup/verified_copy.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "setup/file_refs.h"

// A temporary name beside the destination that does not exist yet.
static int temporaryBeside(const FileSystemApi *fs, const char *destination, char *out, size_t room) {
  const char *name = baseNameOf(destination);
  int dir = (int)(name - destination);
  for (int n = 0; n < 1000; ++n) {
    if (snprintf(out, room, "%.*s~txs%03d.tmp", dir, destination, n) >= (int)room) return 0;
    if (!fs->exists(out)) return 1;
  }
  return 0;
}

int copyVerified(const FileSystemApi *fs, InstallJournal *journal, const CopyProgress *progress, const char *source,
                 const char *destination, long long expectedLength, const uint8_t expected[kSumCount], int verify) {
  if (progress && progress->paths) progress->paths(progress->context, source, destination);
  FileHandle in = fs->openRead(source);
  if (in == -1) return kCopyNoSource;
  long long length = fs->size(in);
  if (length != expectedLength) {
    fs->close(in);
    return kCopyWrongLength;
  }
  char temporary[300];
  FileHandle out = -1;
  if (temporaryBeside(fs, destination, temporary, sizeof temporary)) out = fs->createNew(temporary);
  if (out == -1) {
    fs->close(in);
    return kCopyCannotCreate;
  }
  long chunk = length < (long long)kCopyChunk ? (long)length : (long)kCopyChunk;
  unsigned char *buffer = (unsigned char *)malloc(chunk > 0 ? (size_t)chunk : 1);
  int status = buffer ? kCopyDone : kCopyNoMemory;
  SumAccumulator sums;
  sumStart(&sums);
  long long left = length;
  while (status == kCopyDone && left > 0) {
    long want = left < chunk ? (long)left : chunk;
    long got = fs->read(in, buffer, want);
    if (got != want) {
      status = kCopyReadFailed;
      break;
    }
    sumAdd(&sums, buffer, (size_t)got);
    if (fs->write(out, buffer, got) != got) {
      status = kCopyWriteFailed;
      break;
    }
    left -= got;
    if (progress && progress->advanced) progress->advanced(progress->context, got);
  }
  free(buffer);
  if (status == kCopyDone) fs->copyTime(in, out);
  fs->close(in);
  fs->close(out);
  if (status == kCopyDone && verify && memcmp(sums.sums, expected, kSumCount) != 0) status = kCopySumsDiffer;
  if (status == kCopyDone) {
    // Only a proven copy takes the destination's place; the old file waits aside.
    int free = journal ? journal->setAside(destination) : (fs->remove(destination), !fs->exists(destination) ? 1 : 0);
    if (!free || !fs->rename(temporary, destination)) status = kCopyCannotCreate;
    else if (journal) journal->createdFile(destination);
  }
  if (status != kCopyDone) fs->remove(temporary);
  return status;
}
