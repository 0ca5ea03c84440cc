// TABLNK.INI through the platform's private-profile calls with the bare file
// name, so the file lives where Windows keeps such files (the Windows directory).
#ifndef SITELIST_WINDOWS_PRIVATE_PROFILE_H
#define SITELIST_WINDOWS_PRIVATE_PROFILE_H

#include <cstddef>

extern const char kProfileName[];  // "TABLNK.INI"

// Reads section/key into out (capacity includes the terminating zero; longer
// values are cut). Returns true when the key holds a non-blank value; out is ""
// otherwise (missing file, section or key behave alike).
bool ProfileRead(const char* section, const char* key, char* out, size_t capacity);

// Writes section/key = value. Returns false when the platform refused.
bool ProfileWrite(const char* section, const char* key, const char* value);
bool ProfileWriteLong(const char* section, const char* key, long value);

#endif
