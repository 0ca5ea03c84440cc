// The platform string handed to the player library: the system and its version,
// the processor, the floating-point unit and the distribution code of the
// program's own version resource.
#include "player/player_shell.h"

#include <stdlib.h>

#include "common/tx_util.h"

namespace {

const char kFpuKey[] = "HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor";

int FpuKeyOpens(void) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFpuKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegCloseKey(key);
  return 1;
}

// DistCode of the first translation of the program's version resource; "UNK" when
// it has none.
void DistributionCode(HINSTANCE instance, char *out, size_t room) {
  copyBounded(out, room, "UNK");
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(instance, path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return;
  void *info = malloc(size);
  if (info == nullptr) return;
  void *value = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(path, 0, size, info) && VerQueryValueA(info, "\\VarFileInfo\\Translation", &value, &length) &&
      length >= 4) {
    DWORD translation = *static_cast<const DWORD *>(value);
    char query[kDistCodePathSize];
    distCodePath(translation, query, sizeof query);
    if (VerQueryValueA(info, query, &value, &length) && length > 0) {
      // The value's length counts characters and may include the zero.
      char code[32];
      size_t take = length < sizeof code ? length : sizeof code - 1;
      memcpy(code, value, take);
      code[take] = '\0';
      if (code[0] != '\0') copyBounded(out, room, code);
    }
  }
  free(info);
}

}  // namespace

void ShellPlatformString(HINSTANCE instance, char *out, size_t room, int *platform) {
  DWORD version = GetVersion();
  int code = platformCodeOf(version);
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  ProcessorFacts facts;
  facts.architecture = si.wProcessorArchitecture;
  facts.type = si.dwProcessorType;
  facts.level = si.wProcessorLevel;
  facts.platform = code;
  facts.major = (int)(version & 0xFF);
  facts.minor = (int)((version >> 8) & 0xFF);
  char dist[32];
  DistributionCode(instance, dist, sizeof dist);
  buildPlatformString(code, facts.major, facts.minor, dist, processorName(&facts),
                      fpuPresent(facts.architecture, FpuKeyOpens()), out, room);
  *platform = code;
}
