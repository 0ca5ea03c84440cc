// Harness self-test program: proves that a win64 program under Wine can open a
// top-level window on the harness's display, receive a message sent to it by
// another process, and use the registry and a private-profile file.
//
//   selftest window OUTFILE   open "Harness Self-Test", record messages in OUTFILE
//   selftest send             find that window, send it kSelfTestMsg, close it
//   selftest store            write and read back a registry and an INI value
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kTitle[] = "Harness Self-Test";
const char kClass[] = "TxHarnessSelfTest";
const UINT kSelfTestMsg = WM_APP + 7;
const char* g_outFile = nullptr;

void appendLine(const char* text) {
  FILE* f = fopen(g_outFile, "a");
  if (f) {
    fprintf(f, "%s\n", text);
    fclose(f);
  }
}

LRESULT CALLBACK selfTestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      DrawTextA(dc, "The harness works.", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case kSelfTestMsg: {
      char line[64];
      snprintf(line, sizeof line, "received %lu %ld", (unsigned long)wParam, (long)lParam);
      appendLine(line);
      return (LRESULT)(wParam + lParam);
    }
    case WM_DESTROY:
      appendLine("destroyed");
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int runWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = selfTestProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = kClass;
  if (!RegisterClassA(&wc)) return 3;
  HWND hwnd = CreateWindowA(kClass, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320, 200, nullptr, nullptr,
                            wc.hInstance, nullptr);
  if (!hwnd) return 4;
  appendLine("created");
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

int sendToWindow() {
  HWND hwnd = nullptr;
  for (int i = 0; i < 100 && !hwnd; ++i) {
    hwnd = FindWindowA(kClass, kTitle);
    if (!hwnd) Sleep(100);
  }
  if (!hwnd) {
    puts("window not found");
    return 5;
  }
  LRESULT r = SendMessageA(hwnd, kSelfTestMsg, 40, 2);
  printf("reply %ld\n", (long)r);
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
  return r == 42 ? 0 : 6;
}

int useStores() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TxHarness", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 7;
  const char value[] = "registry-ok";
  RegSetValueExA(key, "SelfTest", 0, REG_SZ, (const BYTE*)value, sizeof value);
  char back[64] = "";
  DWORD size = sizeof back, type = 0;
  LONG rc = RegQueryValueExA(key, "SelfTest", nullptr, &type, (BYTE*)back, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ || strcmp(back, value) != 0) return 8;
  printf("registry %s\n", back);

  if (!WritePrivateProfileStringA("System", "SelfTest", "ini-ok", "txharness.ini")) return 9;
  char ini[64] = "";
  GetPrivateProfileStringA("System", "SelfTest", "", ini, sizeof ini, "txharness.ini");
  if (strcmp(ini, "ini-ok") != 0) return 10;
  printf("ini %s\n", ini);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "window") == 0) {
    g_outFile = argv[2];
    return runWindow();
  }
  if (argc >= 2 && strcmp(argv[1], "send") == 0) return sendToWindow();
  if (argc >= 2 && strcmp(argv[1], "store") == 0) return useStores();
  puts("usage: selftest window OUTFILE | send | store");
  return 2;
}
