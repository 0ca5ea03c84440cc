// txarchive: our stand-in for the self-extracting archive program that delivers a
// Tessavox product. The product's files are appended to this program (see
// setup/tools/make_product.py); started, it shows a window titled "Kelmar
// Selfextracting Archive", unpacks the files into a new setup directory under the
// temporary directory, starts TXSETUP.exe there and waits for the WM_USER message
// TXSETUP posts when it ends. Unless that result is 0 (the product was installed into
// the setup directory itself) the setup directory is removed. The exit code is the
// result, or 3 when the archive is damaged and 4 when setup could not start.
//
// Archive layout after the program's own bytes, all numbers little-endian:
//   entries: u32 name length, name (a bare file name), u64 size, the bytes;
//   an entry with name length 0 ends them;
//   trailer: u64 offset of the first entry, then the 8 bytes "TXARCH01".
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

static const char kTitle[] = "Kelmar Selfextracting Archive";
static int g_result = -1;

static LRESULT CALLBACK archiveProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_USER: g_result = (int)wp; return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT r;
      GetClientRect(w, &r);
      DrawTextA(dc, "Setup is running...", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(w, &ps);
      return 0;
    }
  }
  return DefWindowProcA(w, message, wp, lp);
}

static bool readAt(HANDLE f, uint64_t offset, void *buf, DWORD n) {
  LARGE_INTEGER at;
  at.QuadPart = (LONGLONG)offset;
  DWORD got = 0;
  return SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ReadFile(f, buf, n, &got, nullptr) && got == n;
}

// Unpacks every entry into directory (with trailing backslash); the names written go
// to written. False when the archive is damaged or a file cannot be written.
static bool unpack(const char *self, const std::string &directory, std::vector<std::string> *written) {
  HANDLE f = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  GetFileSizeEx(f, &size);
  uint64_t total = (uint64_t)size.QuadPart;
  unsigned char trailer[16];
  bool ok = total >= 16 && readAt(f, total - 16, trailer, 16) && memcmp(trailer + 8, "TXARCH01", 8) == 0;
  uint64_t at = 0;
  if (ok) memcpy(&at, trailer, 8);
  std::vector<char> buffer(1 << 20);
  while (ok) {
    uint32_t nameLength = 0;
    if (at + 4 > total - 16 || !readAt(f, at, &nameLength, 4)) {
      ok = false;
      break;
    }
    at += 4;
    if (nameLength == 0) break;
    char name[261];
    uint64_t fileSize = 0;
    if (nameLength > 260 || at + nameLength + 8 > total - 16 || !readAt(f, at, name, nameLength)) {
      ok = false;
      break;
    }
    name[nameLength] = '\0';
    at += nameLength;
    if (!readAt(f, at, &fileSize, 8) || at + 8 + fileSize > total - 16 || strpbrk(name, "\\/:") != nullptr) {
      ok = false;
      break;
    }
    at += 8;
    std::string path = directory + name;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
      ok = false;
      break;
    }
    written->push_back(path);
    for (uint64_t left = fileSize; ok && left > 0;) {
      DWORD n = (DWORD)(left < buffer.size() ? left : buffer.size());
      DWORD put = 0;
      ok = readAt(f, at, buffer.data(), n) && WriteFile(out, buffer.data(), n, &put, nullptr) && put == n;
      at += n;
      left -= n;
    }
    CloseHandle(out);
  }
  CloseHandle(f);
  return ok;
}

static void removeDirectory(const std::string &directory) {
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((directory + "*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(d.cFileName, ".") == 0 || strcmp(d.cFileName, "..") == 0) continue;
      std::string path = directory + d.cFileName;
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeDirectory(path + "\\");
      else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &d));
    FindClose(h);
  }
  RemoveDirectoryA(directory.c_str());
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA c = {};
  c.lpfnWndProc = archiveProc;
  c.hInstance = instance;
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  c.lpszClassName = "TxArchiveWindow";
  RegisterClassA(&c);
  HWND w = CreateWindowExA(0, c.lpszClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_MINIMIZEBOX, 40, 40, 320, 90,
                           nullptr, nullptr, instance, nullptr);
  if (!w) return 4;
  ShowWindow(w, SW_SHOWMINNOACTIVE);

  char self[MAX_PATH], temp[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  GetTempPathA(sizeof temp, temp);
  char directory[MAX_PATH];
  snprintf(directory, sizeof directory, "%stxs%lu\\", temp, (unsigned long)GetCurrentProcessId());
  if (!CreateDirectoryA(directory, nullptr)) return 4;
  std::vector<std::string> written;
  if (!unpack(self, directory, &written)) {
    removeDirectory(directory);
    MessageBoxA(w, "The archive is damaged.", kTitle, MB_OK | MB_ICONSTOP);
    return 3;
  }
  std::string setup = std::string("\"") + directory + "TXSETUP.exe\"";
  std::vector<char> line(setup.begin(), setup.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &si, &pi)) {
    removeDirectory(directory);
    return 4;
  }
  CloseHandle(pi.hThread);
  // Wait for the result message; should setup end without one, the result is 1.
  bool running = true;
  while (g_result < 0) {
    DWORD r = MsgWaitForMultipleObjects(running ? 1 : 0, &pi.hProcess, FALSE, running ? INFINITE : 0, QS_ALLINPUT);
    if (running && r == WAIT_OBJECT_0) running = false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (!running && g_result < 0) g_result = 1;
  }
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hProcess);
  if (g_result != 0) removeDirectory(directory);
  DestroyWindow(w);
  return g_result;
}
