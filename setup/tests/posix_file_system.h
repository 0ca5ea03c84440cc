// FileSystemApi over POSIX calls for the native tests and the benchmark: a Windows
// path "X:\a\b" names <root>/a/b, whatever its drive letter.
#ifndef SETUP_TESTS_POSIX_FILE_SYSTEM_H
#define SETUP_TESTS_POSIX_FILE_SYSTEM_H

#include "setup/file_system.h"

const FileSystemApi *posixFileSystem(const char *root);
// The POSIX path of a Windows path under the current root.
void posixPath(const char *windowsPath, char *out, size_t room);

#endif
