// TABLNK.INI access through GetPrivateProfileStringA/WritePrivateProfileStringA.
#include "sitelist/windows/private_profile.h"

#include <windows.h>

#include <cstdio>

const char kProfileName[] = "TABLNK.INI";

bool ProfileRead(const char* section, const char* key, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = '\0';
  DWORD cap = capacity > 0x7fffffffu ? 0x7fffffffu : (DWORD)capacity;
  GetPrivateProfileStringA(section, key, "", out, cap, kProfileName);
  out[capacity - 1] = '\0';
  for (const char* p = out; *p; ++p) {
    if (*p != ' ' && *p != '\t') return true;
  }
  out[0] = '\0';
  return false;
}

bool ProfileWrite(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, kProfileName) != 0;
}

bool ProfileWriteLong(const char* section, const char* key, long value) {
  char text[24];
  snprintf(text, sizeof text, "%ld", value);
  return ProfileWrite(section, key, text);
}
