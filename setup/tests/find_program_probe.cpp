// fpprobe.dll: a library of a test product that asks the installer where a program of
// a Program Manager group lives, as a library loaded into the installer's process
// does. TXSETUP loads it for self-registration; DllRegisterServer sends
// WM_SETUP_FIND_PROGRAM to the installer's main window and writes what came back to
// "find_program.txt" in the temporary directory: the result, the buffer's text, and
// whether the buffer past 260 bytes was left alone.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const UINT WM_SETUP_FIND_PROGRAM = WM_USER + 0x30;

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer(void) {
  HWND setup = FindWindowA("TXSetupMainWndClass", nullptr);
  char buffer[400];
  memset(buffer, 'x', sizeof buffer);
  const WPARAM offset = 120;
  snprintf(buffer, offset, "%s", "Tessa Group");
  snprintf(buffer + offset, sizeof buffer - offset, "%s", "txplay.exe");
  LRESULT found = setup ? SendMessageA(setup, WM_SETUP_FIND_PROGRAM, offset, (LPARAM)buffer) : -1;
  int tailKept = 1;
  for (size_t i = 260; i < sizeof buffer; ++i) tailKept = tailKept && buffer[i] == 'x';
  char path[MAX_PATH];
  DWORD n = GetTempPathA(sizeof path - 20, path);
  if (n == 0 || n >= sizeof path - 20) return S_OK;
  strcat(path, "find_program.txt");
  FILE *f = fopen(path, "w");
  if (f) {
    fprintf(f, "window=%d\nresult=%d\ntext=%.260s\ntail=%s\n", setup != nullptr, (int)found, buffer,
            tailKept ? "kept" : "overwritten");
    fclose(f);
  }
  return S_OK;
}
