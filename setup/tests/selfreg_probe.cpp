// selfreg_probe.dll: a test library with the self-registration entries. Registering
// writes its own path as the default value of HKEY_CURRENT_USER\Software\TessaTest
// Probe; unregistering deletes that key. Its version resource says 1.0.
#include <windows.h>

static const char kProbeKey[] = "Software\\TessaTest Probe";
static HINSTANCE g_module;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer(void) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return E_FAIL;
  return RegSetValueA(HKEY_CURRENT_USER, kProbeKey, REG_SZ, path, n) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer(void) {
  return RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey) == ERROR_SUCCESS ? S_OK : E_FAIL;
}
