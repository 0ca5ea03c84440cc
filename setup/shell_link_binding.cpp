// The ShellLinkApi table bound to the component object library: a shell-link object
// (IShellLinkA) saved through its IPersistFile interface.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "setup/shell_link.h"

static int saveLink(const char *program, const char *arguments, const char *description, const char *linkPath) {
  WCHAR wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH)) return 0;
  HRESULT init = CoInitialize(nullptr);
  int saved = 0;
  IShellLinkA *link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link))) {
    link->SetPath(program);
    link->SetArguments(arguments);
    link->SetDescription(description);
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
      if (SUCCEEDED(file->Save(wide, TRUE))) {
        file->SaveCompleted(wide);
        saved = 1;
      }
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return saved;
}

static const ShellLinkApi kShellLink = {saveLink};

const ShellLinkApi *platformShellLink(void) { return &kShellLink; }
