// setup_probe: a test helper that TXSETUP's Wine tests install, start and close.
//
//   setup_probe.exe window TITLE closes|stays   a top-level window titled TITLE that
//                                               closes on WM_CLOSE, or refuses to
//   setup_probe.exe ARGS...                     appends "<current directory>|<command
//                                               line>" and CR LF to the file named by
//                                               the TXPROBE_OUT environment variable
//
// Its version resource says 2.0: installed in the way of an older shared file, it is
// the newer copy the version rule must notice.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static bool g_stays;

static LRESULT CALLBACK probeProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CLOSE:
      if (!g_stays) DestroyWindow(w);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

static int runWindow(HINSTANCE instance, const char *title) {
  WNDCLASSA c = {};
  c.lpfnWndProc = probeProc;
  c.hInstance = instance;
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  c.lpszClassName = "TxSetupProbe";
  if (!RegisterClassA(&c)) return 3;
  HWND w = CreateWindowExA(0, c.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500, 300, 120, nullptr,
                           nullptr, instance, nullptr);
  if (!w) return 3;
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}

static int record(void) {
  char out[MAX_PATH], directory[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("TXPROBE_OUT", out, sizeof out);
  if (n == 0 || n >= sizeof out) return 2;
  if (!GetCurrentDirectoryA(sizeof directory, directory)) directory[0] = '\0';
  FILE *f = fopen(out, "ab");
  if (!f) return 2;
  fprintf(f, "%s|%s\r\n", directory, GetCommandLineA());
  fclose(f);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  char line[1024];
  snprintf(line, sizeof line, "%s", commandLine);
  if (strncmp(line, "window ", 7) == 0) {
    char *mode = strrchr(line, ' ');
    if (mode && mode > line + 7) {
      g_stays = strcmp(mode + 1, "stays") == 0;
      *mode = '\0';
      char *title = line + 7;
      size_t n = strlen(title);
      if (n >= 2 && title[0] == '"' && title[n - 1] == '"') {  // a title with blanks comes quoted
        title[n - 1] = '\0';
        ++title;
      }
      return runWindow(instance, title);
    }
  }
  return record();
}
