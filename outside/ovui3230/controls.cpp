// The panel of controls and the statistics window (controls.h).
#include "outside/ovui3230/controls.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"
#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/playback.h"
#include "outside/ovui3230/preset_store.h"

const int kControlsWidth = 340;

namespace {

const char kPanelClass[] = "Ovui3230Controls";
const char kStatsClass[] = "Ovui3230Statistics";
const int kVolumeStep = 10;
const int kPresetButtonWidth = 52;
const int kPresetButtonPitch = 55;

// ---- showing the player's state -------------------------------------------------

void ShowPosition(Player *p, int tenths) {
  char text[128];
  snprintf(text, sizeof text, "%s  %d:%02d.%d", p->playing ? "Playing" : "Stopped", tenths / 600, (tenths / 10) % 60,
           tenths % 10);
  SetDlgItemTextA(p->panel, IDC_POSITION, text);
}

void UpdateStatistics(Player *p) {
  if (p->stats == nullptr) return;
  char text[256];
  snprintf(text, sizeof text, "Frames decoded: %ld\r\nBytes read: %ld\r\nClip %d of %d", (long)p->framesDecoded,
           (long)p->bytesRead, p->itemCount ? p->current + 1 : 0, p->itemCount);
  SetWindowTextA(GetWindow(p->stats, GW_CHILD), text);
}

// The clip began: its title in the info line and the status, and the shell told
// (on its own thread, as the panel belongs to it).
void OnStarted(Player *p, int index, LONG generation) {
  if (generation != p->generation) return;
  char title[MAX_PATH];
  clipTitle(p->items[index], title, sizeof title);
  char info[512];
  snprintf(info, sizeof info, "%s  (%s)", title, p->items[index]);
  SetDlgItemTextA(p->panel, IDC_INFO, info);
  char status[300];
  snprintf(status, sizeof status, "Playing %s", title);
  SetStatus(p, status);
  ShowPosition(p, 0);
  // A local clip is reported with "file:" in front, as a location would be.
  char url[kClipTextSize + 8];
  if (sourceKind(p->items[index]) == kSourceLocal && _strnicmp(p->items[index], "file:", 5) != 0)
    snprintf(url, sizeof url, "file:%s", p->items[index]);
  else copyBounded(url, sizeof url, p->items[index]);
  Log("NowPlaying\t%s\t%s", title, url);
  if (p->client->setup.nowPlaying) p->client->setup.nowPlaying(nullptr, title, url);
}

// The clip ended: a complete one goes on to the next of its list.
void OnEnded(Player *p, int index, LPARAM code) {
  if (code / 4 != p->generation) return;
  int how = (int)(code % 4);
  JoinEndedClip(p);
  UpdateStatistics(p);
  if (how == kClipComplete && index + 1 < p->itemCount) {
    StartItem(p, index + 1);
    return;
  }
  SetStatus(p, how == kClipFailed ? "Could not play the clip" : "Stopped");
  ShowPosition(p, 0);
  Log("Idle\t%d", index);
}

// ---- the user's controls ---------------------------------------------------------

void OnPlay(Player *p) { StartItem(p, p->current); }
void OnStop(Player *p) { StopPlaying(p); }
void OnScan(Player *p) { ScanPresets(p); }

void OnSet(Player *p) {
  p->presets.armed = !p->presets.armed;
  SendDlgItemMessageA(p->panel, IDC_SET, BM_SETSTATE, p->presets.armed, 0);
  // The prompt is shown, not kept: the player's own status comes back after it.
  ShowScanText(p, p->presets.armed ? "Choose the preset to keep this clip in" : nullptr);
}

void OnPreset(Player *p, int number) {
  if (!p->presets.armed) {
    RecallPreset(p, number);
    return;
  }
  p->presets.armed = 0;
  SendDlgItemMessageA(p->panel, IDC_SET, BM_SETSTATE, FALSE, 0);
  ShowScanText(p, nullptr);
  StorePlayingAsPreset(p, number);
}

struct PanelCommand {
  int id;
  void (*run)(Player *p);
};

const PanelCommand kPanelCommands[] = {
    {IDC_PLAY, OnPlay},
    {IDC_STOP, OnStop},
    {IDC_SCAN, OnScan},
    {IDC_SET, OnSet},
};
static_assert(ARRAY_SIZE(kPanelCommands) == 4, "one entry per button besides the presets");

void OnCommand(Player *p, int id) {
  if (p == nullptr) return;
  if (id >= IDC_PRESET_FIRST && id < IDC_PRESET_FIRST + kPresetCount) {
    OnPreset(p, id - IDC_PRESET_FIRST + 1);
    return;
  }
  for (const PanelCommand &c : kPanelCommands) {
    if (c.id == id) c.run(p);
  }
}

void OnVolume(Player *p, HWND bar, WPARAM wParam) {
  if (p == nullptr || bar != GetDlgItem(p->panel, IDC_VOLUME)) return;
  int pos = GetScrollPos(bar, SB_CTL);
  if (LOWORD(wParam) == SB_THUMBTRACK || LOWORD(wParam) == SB_THUMBPOSITION) pos = HIWORD(wParam);
  if (LOWORD(wParam) == SB_LINELEFT || LOWORD(wParam) == SB_PAGELEFT) pos -= kVolumeStep;
  if (LOWORD(wParam) == SB_LINERIGHT || LOWORD(wParam) == SB_PAGERIGHT) pos += kVolumeStep;
  pos = pos < 0 ? 0 : pos > 100 ? 100 : pos;
  SetScrollPos(bar, SB_CTL, pos, TRUE);
  p->volume = pos;
}

void OnPositionMessage(Player *p, int tenths) {
  ShowPosition(p, tenths);
  UpdateStatistics(p);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT msg, WPARAM wParam, LPARAM lParam) {
  Player *p = reinterpret_cast<Player *>(GetWindowLongPtrA(panel, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND: OnCommand(p, LOWORD(wParam)); return 0;
    case WM_HSCROLL: OnVolume(p, (HWND)lParam, wParam); return 0;
    case WM_OVUI_STARTED: OnStarted(p, (int)wParam, (LONG)lParam); return 0;
    case WM_OVUI_POSITION: OnPositionMessage(p, (int)wParam); return 0;
    case WM_OVUI_ENDED: OnEnded(p, (int)wParam, lParam); return 0;
    case WM_CTLCOLORSTATIC: return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
  }
  return DefWindowProcA(panel, msg, wParam, lParam);
}

LRESULT CALLBACK StatsProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    ShowWindow(w, SW_HIDE);
    Player *p = reinterpret_cast<Player *>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (p) p->statisticsShown = 0;
    return 0;
  }
  return DefWindowProcA(w, msg, wParam, lParam);
}

HWND AddControl(HWND panel, const char *cls, const char *text, DWORD style, int id) {
  HWND h = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, panel, (HMENU)(INT_PTR)id,
                           g_module, nullptr);
  SendMessageA(h, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
  return h;
}

void Place(Player *p, int id, int shown, int x, int y, int w, int h) {
  HWND c = GetDlgItem(p->panel, id);
  ShowWindow(c, shown ? SW_SHOW : SW_HIDE);
  if (shown) MoveWindow(c, x, y, w, h, TRUE);
}

}  // namespace

int ControlsHeight(uint32_t flags) {
  int h = 8 + 24 + 4 + 16;  // buttons and the position line
  if (flags & kControlsInfoVolume) h += 40;
  if (flags & kControlsPresets) h += 28;
  if (flags & kControlsStatusBar) h += 20;
  return h + 4;
}

void RegisterControlClasses(void) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
  wc.lpfnWndProc = StatsProc;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kStatsClass;
  RegisterClassA(&wc);
}

int CreatePanel(Player *p) {
  p->panel = CreateWindowExA(0, kPanelClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, p->shell,
                             nullptr, g_module, nullptr);
  if (p->panel == nullptr) return 0;
  SetWindowLongPtrA(p->panel, GWLP_USERDATA, (LONG_PTR)p);
  AddControl(p->panel, "BUTTON", "Play", BS_PUSHBUTTON, IDC_PLAY);
  AddControl(p->panel, "BUTTON", "Stop", BS_PUSHBUTTON, IDC_STOP);
  AddControl(p->panel, "STATIC", "Stopped  0:00.0", SS_LEFT, IDC_POSITION);
  AddControl(p->panel, "STATIC", "No clip", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, IDC_INFO);
  AddControl(p->panel, "STATIC", "Volume", SS_LEFT, IDC_VOLUME_LABEL);
  HWND volume = AddControl(p->panel, "SCROLLBAR", "", SBS_HORZ, IDC_VOLUME);
  SetScrollRange(volume, SB_CTL, 0, 100, FALSE);
  SetScrollPos(volume, SB_CTL, p->volume, TRUE);
  for (int i = 0; i < kPresetCount; ++i) AddControl(p->panel, "BUTTON", "", BS_PUSHBUTTON, IDC_PRESET_FIRST + i);
  AddControl(p->panel, "BUTTON", "Scan", BS_PUSHBUTTON, IDC_SCAN);
  AddControl(p->panel, "BUTTON", "Set", BS_PUSHBUTTON, IDC_SET);
  AddControl(p->panel, "STATIC", "Ready", SS_LEFT | SS_SUNKEN | SS_CENTERIMAGE, IDC_STATUS);
  ShowPresetLabels(p);
  Layout(p);
  return 1;
}

void Layout(Player *p) {
  if (p->panel == nullptr) return;
  RECT c;
  GetClientRect(p->shell, &c);
  MoveWindow(p->panel, 0, 0, c.right, c.bottom, TRUE);
  int w = c.right;
  int y = 8;
  Place(p, IDC_PLAY, 1, 8, y, 60, 24);
  Place(p, IDC_STOP, 1, 72, y, 60, 24);
  y += 28;
  Place(p, IDC_POSITION, 1, 8, y, w - 16, 16);
  y += 16;
  int info = (p->flags & kControlsInfoVolume) != 0;
  Place(p, IDC_INFO, info, 8, y + 2, w - 16, 16);
  Place(p, IDC_VOLUME_LABEL, info, 8, y + 20, 44, 16);
  Place(p, IDC_VOLUME, info, 56, y + 20, w - 64, 16);
  if (info) y += 40;
  int presets = (p->flags & kControlsPresets) != 0;
  for (int id = IDC_PRESET_FIRST; id <= IDC_SET; ++id)
    Place(p, id, presets, 8 + (id - IDC_PRESET_FIRST) * kPresetButtonPitch, y + 2, kPresetButtonWidth, 22);
  if (presets) y += 28;
  Place(p, IDC_STATUS, (p->flags & kControlsStatusBar) != 0, 0, c.bottom - 20, w, 20);
}

void SetStatus(Player *p, const char *text) {
  copyBounded(p->status, sizeof p->status, text);
  if (p->panel && !p->scanning) SetDlgItemTextA(p->panel, IDC_STATUS, text);
}

void ShowScanText(Player *p, const char *text) {
  if (p->panel == nullptr) return;
  if (text) SetDlgItemTextA(p->panel, IDC_STATUS, text);
  else SetDlgItemTextA(p->panel, IDC_STATUS, p->status[0] ? p->status : "Ready");
}

void ShowPresetLabels(Player *p) {
  if (p->panel == nullptr) return;
  for (int n = 1; n <= kPresetCount; ++n) {
    char label[kPresetLabelSize];
    presetLabel(&p->presets, n, label, sizeof label);
    SetDlgItemTextA(p->panel, IDC_PRESET_FIRST + n - 1, label);
  }
}

int ToggleStatistics(Player *p) {
  if (p->stats == nullptr) {
    RECT r;
    GetWindowRect(p->shell, &r);
    p->stats = CreateWindowExA(WS_EX_TOOLWINDOW, kStatsClass, "Statistics", WS_POPUP | WS_CAPTION | WS_SYSMENU, r.left,
                               r.bottom, 220, 90, p->shell, nullptr, g_module, nullptr);
    if (p->stats == nullptr) return 0;
    SetWindowLongPtrA(p->stats, GWLP_USERDATA, (LONG_PTR)p);
    HWND text =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 6, 6, 200, 50, p->stats, nullptr, g_module, nullptr);
    SendMessageA(text, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
  }
  p->statisticsShown = !p->statisticsShown;
  UpdateStatistics(p);
  ShowWindow(p->stats, p->statisticsShown ? SW_SHOWNOACTIVATE : SW_HIDE);
  return 1;
}

void DestroyControls(Player *p) {
  if (p->stats) DestroyWindow(p->stats);
  if (p->panel) DestroyWindow(p->panel);
  p->stats = p->panel = nullptr;
}
