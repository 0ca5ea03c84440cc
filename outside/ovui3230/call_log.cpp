// The library's call log (call_log.h).
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"
#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/library_state.h"

namespace {

CRITICAL_SECTION g_logLock;

void LogPath(char *out, size_t room) {
  DWORD n = GetEnvironmentVariableA("OVUI3230_LOG", out, (DWORD)room);
  if (n > 0 && n < room) return;
  char module[MAX_PATH];
  n = GetModuleFileNameA(g_module, module, sizeof module);
  if (n == 0 || n >= sizeof module) {
    copyBounded(out, room, "ovui3230.log");
    return;
  }
  char *slash = strrchr(module, '\\');
  if (slash) slash[1] = '\0';
  snprintf(out, room, "%sovui3230.log", slash ? module : "");
}

}  // namespace

void InitCallLog(void) { InitializeCriticalSection(&g_logLock); }

void Log(const char *format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  char path[MAX_PATH];
  LogPath(path, sizeof path);
  EnterCriticalSection(&g_logLock);
  FILE *f = fopen(path, "ab");
  if (f) {
    fprintf(f, "%s\r\n", line);
    fclose(f);
  }
  LeaveCriticalSection(&g_logLock);
}

const char *Text(const char *s) { return s ? s : "(null)"; }

int EnvResult(const char *name, int fallback) {
  char value[16];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return fallback;
  return atoi(value);
}
