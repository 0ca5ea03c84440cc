// txuninst: our stand-in for the Tessavox product's uninstaller, an installed file of
// the product that TXSETUP registers as its uninstall command.
//
//   txuninst.exe <product key path>            remove the installation completely
//   txuninst.exe <product key path> -i<title>  started by setup: remove what the log
//                                              lists, keep the log, then send
//                                              WM_SETUP_RESUME to the window <title>
//
// It works through the uninstall log under HKEY_CLASSES_ROOT\<product key path>:
// libraries are unregistered, files removed (shared files only when their SharedDlls
// count drops to 0), the Program Manager items deleted by DDE (and the group, named by
// the default value of the "ProgmanGroup" key, once nothing else is in it),
// directories removed deepest first when empty, logged keys deleted and shared keys
// (the language libraries' counts) counted down, deleted when no product uses them,
// each category's entries newest first. Run by hand it also removes the
// product key and, once no product of the maker is left, the maker's family values.
// It cannot delete its own running file, so run by hand it first copies itself to the
// temporary directory, starts the copy and ends; the copy removes the original file
// (the copy itself stays in the temporary directory).
#include <windows.h>
#include <ddeml.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

static const char *const kCategories[] = {"ShutdownNames", "SelfRegs", "Files",     "SharedFiles", "ProgmanGroup",
                                          "Directories",   "Keys",     "KeyValues", "SharedKeys"};
static const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
static const UINT WM_SETUP_RESUME = WM_USER + 0x50;

struct Entry {
  std::string item, info;
};

static std::string readText(HKEY root, const std::string &path, const char *name) {
  char buffer[1024];
  DWORD size = sizeof buffer - 1, type = 0;
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  LONG r = RegQueryValueExA(key, name, nullptr, &type, (BYTE *)buffer, &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_SZ) return "";
  buffer[size] = '\0';
  return buffer;
}

static std::vector<Entry> entries(const std::string &productKey, const char *category) {
  std::vector<Entry> out;
  std::string path = productKey + "\\" + category;
  for (int n = 1;; ++n) {
    char item[24], info[24];
    snprintf(item, sizeof item, "Item%d", n);
    snprintf(info, sizeof info, "AddInfo%d", n);
    std::string text = readText(HKEY_CLASSES_ROOT, path, item);
    if (text.empty()) break;
    out.push_back({text, readText(HKEY_CLASSES_ROOT, path, info)});
  }
  std::reverse(out.begin(), out.end());  // newest first
  return out;
}

static HKEY rootOf(const std::string &name) {
  if (name == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (name == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  return HKEY_CLASSES_ROOT;
}

static void deleteKey(HKEY root, const std::string &path) {
  if (path.empty()) return;
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

static bool keyIsEmpty(HKEY root, const std::string &path, const char *except = nullptr);

// A logged key under HKEY_CLASSES_ROOT's "Software" branch takes its parents with it
// while they are left empty ("Software" itself goes with the product key).
static void deleteLoggedKey(HKEY root, const std::string &path) {
  deleteKey(root, path);
  if (root != HKEY_CLASSES_ROOT || path.compare(0, 9, "Software\\") != 0) return;
  std::string parent = path;
  for (;;) {
    size_t slash = parent.rfind('\\');
    if (slash == std::string::npos) return;
    parent = parent.substr(0, slash);
    if (parent.find('\\') == std::string::npos || !keyIsEmpty(root, parent)) return;
    deleteKey(root, parent);
  }
}

static bool keyIsEmpty(HKEY root, const std::string &path, const char *except) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  bool onlyExcept = false;
  if (except && subkeys == 1) {
    char name[256];
    DWORD length = sizeof name;
    onlyExcept = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                 _stricmp(name, except) == 0;
  }
  RegCloseKey(key);
  return values == 0 && (subkeys == 0 || onlyExcept);
}

static void releaseSharedFile(const std::string &path) {
  std::string name = path;
  for (char &c : name) c = (char)tolower((unsigned char)c);
  HKEY key;
  DWORD count = 0, size = sizeof count, type = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    DeleteFileA(path.c_str());
    return;
  }
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, (BYTE *)&count, &size) != ERROR_SUCCESS || type != REG_DWORD)
    count = 0;
  if (count > 1) {
    --count;
    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, (const BYTE *)&count, sizeof count);
  } else {
    RegDeleteValueA(key, name.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  RegCloseKey(key);
}

// A shared key counts in its default value (decimal text) the installations that use
// it. Counts one down and returns 1 when none is left (the count then reads 0), 0
// while others still use it or when the key is gone.
static int countDownSharedKey(HKEY root, const std::string &path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return 0;
  char text[16];
  DWORD size = sizeof text - 1, type = 0;
  long count = 0;
  if (RegQueryValueExA(key, nullptr, nullptr, &type, (BYTE *)text, &size) == ERROR_SUCCESS && type == REG_SZ) {
    text[size] = '\0';
    count = strtol(text, nullptr, 10);
  }
  count = count > 1 ? count - 1 : 0;
  snprintf(text, sizeof text, "%ld", count);
  RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
  RegCloseKey(key);
  return count == 0;
}

static bool hasSubkeys(HKEY root, const std::string &path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return subkeys > 0;
}

// The language libraries' keys (a language and a library file under it), which every
// product that installed the library counted up: each logged key counts one down. The
// keys no product uses any more go, deepest first, each only once nothing is left
// below it (a library of another product keeps its language), and with the last one
// the parents left empty ("Languages\32bit").
static void releaseSharedKeys(const std::string &productKey) {
  std::vector<Entry> unused;
  for (const Entry &e : entries(productKey, "SharedKeys"))
    if (countDownSharedKey(rootOf(e.info), e.item)) unused.push_back(e);
  std::stable_sort(unused.begin(), unused.end(), [](const Entry &a, const Entry &b) {
    return std::count(a.item.begin(), a.item.end(), '\\') > std::count(b.item.begin(), b.item.end(), '\\');
  });
  for (const Entry &e : unused)
    if (!hasSubkeys(rootOf(e.info), e.item)) deleteLoggedKey(rootOf(e.info), e.item);
}

// --- Program Manager --------------------------------------------------------------

static HDDEDATA CALLBACK ignoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// A name as one argument of a command: quoted when the parser would split it.
static std::string ddeArgument(const std::string &text) {
  std::string bare;
  for (char c : text)
    if (c != '"') bare += c;
  bool quote = bare.find_first_of(",()[]") != std::string::npos ||
               (!bare.empty() && (bare.front() == ' ' || bare.back() == ' '));
  return quote ? "\"" + bare + "\"" : bare;
}

struct Progman {
  DWORD instance = 0;
  HCONV conversation = nullptr;
  Progman() {
    if (DdeInitializeA(&instance, ignoreDde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
    HSZ name = DdeCreateStringHandleA(instance, "Progman", CP_WINANSI);
    conversation = DdeConnect(instance, name, name, nullptr);
    DdeFreeStringHandle(instance, name);
  }
  ~Progman() {
    if (conversation) DdeDisconnect(conversation);
    if (instance) DdeUninitialize(instance);
  }
  void execute(const std::string &command) {
    DdeClientTransaction((LPBYTE)command.c_str(), (DWORD)command.size() + 1, conversation, nullptr, CF_TEXT,
                         XTYP_EXECUTE, 3000, nullptr);
  }
  // The answer to a request, or "" (also when there is none).
  std::string request(const std::string &item) {
    HSZ name = DdeCreateStringHandleA(instance, item.c_str(), CP_WINANSI);
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, name, CF_TEXT, XTYP_REQUEST, 3000, nullptr);
    DdeFreeStringHandle(instance, name);
    std::string text;
    if (data) {
      DWORD n = DdeGetData(data, nullptr, 0, 0);
      text.resize(n);
      DdeGetData(data, (LPBYTE)&text[0], n, 0);
      text.resize(strlen(text.c_str()));
      DdeFreeDataHandle(data);
    }
    return text;
  }
};

static std::string upper(std::string s) {
  for (char &c : s) c = (char)toupper((unsigned char)c);
  return s;
}

// True when the group still holds something: its own answer lists an item after its
// name line; a shell that does not answer it keeps the group as a folder under the
// Start menu's "Programs", which counts while it holds a file.
static bool groupHoldsItems(Progman &pm, const std::string &group) {
  std::string answer = pm.request(group);
  size_t line = answer.find("\r\n");
  if (line != std::string::npos && answer.find('"', line) != std::string::npos) return true;
  char programs[MAX_PATH];
  std::string folder =
      readText(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs");
  if (folder.empty()) return false;
  snprintf(programs, sizeof programs, "%s\\%s\\*", folder.c_str(), group.c_str());
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(programs, &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do any = strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0;
  while (!any && FindNextFileA(h, &found));
  FindClose(h);
  return any;
}

static void removeProgmanItems(const std::string &productKey) {
  std::string group = readText(HKEY_CLASSES_ROOT, productKey + "\\ProgmanGroup", nullptr);
  std::vector<Entry> items = entries(productKey, "ProgmanGroup");
  if (group.empty()) return;
  Progman pm;
  if (!pm.conversation) return;
  std::string groups = upper(pm.request("GROUPS"));
  if (!groups.empty() && ("\r\n" + groups).find("\r\n" + upper(group) + "\r\n") == std::string::npos) return;
  pm.execute("[ShowGroup(" + ddeArgument(group) + ",1)]");
  for (const Entry &e : items) pm.execute("[DeleteItem(" + ddeArgument(e.item) + ")]");
  if (!groupHoldsItems(pm, group)) pm.execute("[DeleteGroup(" + ddeArgument(group) + ")]");
}

static void uninstall(const std::string &productKey, const std::string &original) {
  for (const Entry &e : entries(productKey, "ShutdownNames")) {
    HWND w = FindWindowA(nullptr, e.item.c_str());
    if (w) SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }
  for (const Entry &e : entries(productKey, "SelfRegs")) {
    HMODULE library = LoadLibraryA(e.item.c_str());
    if (!library) continue;
    typedef HRESULT(STDAPICALLTYPE * Fn)(void);
    Fn unregister =
        reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, "DllUnregisterServer")));
    if (unregister) unregister();
    FreeLibrary(library);
  }
  for (const Entry &e : entries(productKey, "Files")) {
    SetFileAttributesA(e.item.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(e.item.c_str());
  }
  for (const Entry &e : entries(productKey, "SharedFiles")) releaseSharedFile(e.item);
  removeProgmanItems(productKey);
  if (keyIsEmpty(HKEY_LOCAL_MACHINE, kSharedDlls)) deleteKey(HKEY_LOCAL_MACHINE, kSharedDlls);
  if (!original.empty()) {
    for (int i = 0;
         i < 100 && !DeleteFileA(original.c_str()) && GetFileAttributesA(original.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++i)
      Sleep(50);  // the first copy may still be ending
  }
  std::vector<Entry> directories = entries(productKey, "Directories");
  std::sort(directories.begin(), directories.end(),
            [](const Entry &a, const Entry &b) { return a.item.size() > b.item.size(); });
  for (const Entry &e : directories) RemoveDirectoryA(e.item.c_str());
  for (const Entry &e : entries(productKey, "Keys")) deleteLoggedKey(rootOf(e.info), e.item);
  for (const Entry &e : entries(productKey, "KeyValues")) deleteKey(HKEY_CURRENT_USER, e.item);
  releaseSharedKeys(productKey);
}

// The product key and, when nothing of the maker is left but its family values,
// those too; then empty parents.
static void removeProductKey(const std::string &productKey) {
  deleteKey(HKEY_CLASSES_ROOT, productKey);
  std::string product = productKey.substr(0, productKey.rfind('\\'));
  if (keyIsEmpty(HKEY_CLASSES_ROOT, product)) deleteKey(HKEY_CLASSES_ROOT, product);
  std::string maker = product.substr(0, product.rfind('\\'));
  if (keyIsEmpty(HKEY_CLASSES_ROOT, maker, "Preferences")) deleteKey(HKEY_CLASSES_ROOT, maker);
  std::string software = maker.substr(0, maker.rfind('\\'));
  if (software.find('\\') == std::string::npos && keyIsEmpty(HKEY_CLASSES_ROOT, software))
    deleteKey(HKEY_CLASSES_ROOT, software);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string args = commandLine;
  std::string title;
  size_t i = args.find(" -i");
  bool fromSetup = i != std::string::npos;
  if (fromSetup) {
    title = args.substr(i + 3);
    args = args.substr(0, i);
  }
  while (!args.empty() && args.back() == ' ') args.pop_back();
  while (!args.empty() && args.front() == ' ') args.erase(0, 1);
  if (args.size() >= 2 && args.front() == '"' && args.back() == '"') args = args.substr(1, args.size() - 2);
  if (args.empty()) {
    MessageBoxA(nullptr, "Usage: txuninst <product key path> [-i<setup window title>]", "Uninstall", MB_OK);
    return 2;
  }

  char self[MAX_PATH], temp[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  GetTempPathA(sizeof temp, temp);
  char original[MAX_PATH] = "";
  GetEnvironmentVariableA("TXUNINST_ORIGINAL", original, sizeof original);
  if (!fromSetup && !original[0]) {
    // Run from a copy so that this file, in the product directory, can go too.
    char copy[MAX_PATH];
    snprintf(copy, sizeof copy, "%stxuninst-%lu.exe", temp, (unsigned long)GetCurrentProcessId());
    if (CopyFileA(self, copy, FALSE)) {
      SetEnvironmentVariableA("TXUNINST_ORIGINAL", self);
      std::string line = std::string("\"") + copy + "\" " + args;
      STARTUPINFOA si = {};
      si.cb = sizeof si;
      PROCESS_INFORMATION pi;
      std::vector<char> buffer(line.begin(), line.end());
      buffer.push_back('\0');
      if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        // The copy removes this file once this process has ended.
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return 0;
      }
    }
  }
  uninstall(args, original);
  if (fromSetup) {
    HWND setup = FindWindowA(nullptr, title.c_str());
    if (setup) SendMessageA(setup, WM_SETUP_RESUME, 0, 0);
  } else {
    removeProductKey(args);
  }
  return 0;
}
