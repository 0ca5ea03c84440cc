// The about box and the preferences dialog (dialogs.h).
#include "outside/ovui3230/dialogs.h"

#include <windows.h>

#include <stdio.h>

#include "common/tx_util.h"
#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/library_prefs.h"
#include "outside/ovui3230/resource.h"

namespace {

const char kNoBrowser[] =
    "No web browser could show the page. Start your web browser, or install one for web pages, and choose Visit "
    "again.";

const ClientSetup *SetupOf(HWND d) { return reinterpret_cast<const ClientSetup *>(GetWindowLongPtrA(d, DWLP_USER)); }

void InitAbout(HWND d, const ClientSetup *c) {
  SetWindowLongPtrA(d, DWLP_USER, (LONG_PTR)c);
  char text[256];
  snprintf(text, sizeof text, "About %s", Text(c->title));
  SetWindowTextA(d, text);
  SetDlgItemTextA(d, IDC_ABOUT_NAME, Text(c->fullName));
  snprintf(text, sizeof text, "Version %s %s", Text(c->version), Text(c->release));
  SetDlgItemTextA(d, IDC_ABOUT_VERSION, text);
  SetDlgItemTextA(d, IDC_ABOUT_COPYRIGHT, Text(c->copyright));
  SetDlgItemTextA(d, IDC_ABOUT_ADDRESS, Text(c->webAddress));
  SetDlgItemTextA(d, IDC_ABOUT_PLATFORM, Text(c->platform));
  EnableWindow(GetDlgItem(d, IDC_ABOUT_VISIT), c->webAddress && c->webAddress[0] && c->openInBrowser);
}

// Visit: the shell shows the maker's web site in the user's browser.
void VisitWebSite(HWND d) {
  const ClientSetup *c = SetupOf(d);
  if (c == nullptr || c->openInBrowser == nullptr || c->webAddress == nullptr || !c->webAddress[0]) return;
  Log("OpenInBrowser\t%s", c->webAddress);
  int shown = c->openInBrowser(nullptr, c->webAddress);
  Log("OpenInBrowserAnswer\t%d", shown);
  if (!shown)
    MessageBoxA(d, kNoBrowser, Text(c->title), MB_OK | MB_ICONINFORMATION);
}

INT_PTR CALLBACK AboutProc(HWND d, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    InitAbout(d, reinterpret_cast<const ClientSetup *>(lParam));
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_ABOUT_VISIT: VisitWebSite(d); return TRUE;
    case IDOK:
    case IDCANCEL: EndDialog(d, LOWORD(wParam)); return TRUE;
  }
  return FALSE;
}

struct PreferenceField {
  int control;
  const char *name;
  const char *fallback;
};

const PreferenceField kPreferenceFields[] = {
    {IDC_PREF_CLIPS, "MaxClipCount", "4"},
    {IDC_PREF_LATENCY, "NetworkLatency", "3000"},
    {IDC_PREF_VOLUME, "Volume", "50"},
};

void InitPreferences(HWND d, const ClientSetup *c) {
  char text[256];
  snprintf(text, sizeof text, "%s Preferences", Text(c->title));
  SetWindowTextA(d, text);
  for (const PreferenceField &f : kPreferenceFields) {
    char value[32];
    ReadPreference(f.name, value, sizeof value, f.fallback);
    SetDlgItemTextA(d, f.control, value);
  }
}

void SavePreferences(HWND d) {
  for (const PreferenceField &f : kPreferenceFields) {
    char value[32];
    GetDlgItemTextA(d, f.control, value, sizeof value);
    if (value[0]) WritePreference(f.name, value);
  }
  EndDialog(d, IDOK);
}

INT_PTR CALLBACK PreferencesProc(HWND d, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    InitPreferences(d, reinterpret_cast<const ClientSetup *>(lParam));
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK: SavePreferences(d); return TRUE;
    case IDCANCEL: EndDialog(d, IDCANCEL); return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowAboutBox(Player *p) {
  DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_OVUI_ABOUT), p->shell, AboutProc, (LPARAM)&p->client->setup);
}

int EditPreferences(Player *p) {
  INT_PTR r = DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_OVUI_PREFERENCES), p->shell, PreferencesProc,
                              (LPARAM)&p->client->setup);
  return r == IDOK;
}
