// In-process tests under Wine of the window machinery: the frame's menu bar,
// greyed items and status-bar hints; procedures on threads of their own (also
// as MDI children of the frame); modal forms and their responses; window
// positions and control scaling in TABLNK.INI; windows and forms on the window
// skeleton; the progress runner.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "sitelist/records/record_files.h"
#include "sitelist/records/record_messages.h"
#include "sitelist/windows/control_scaling.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/program_end.h"
#include "sitelist/windows/program_values.h"
#include "sitelist/windows/tablnk_messages.h"
#include "sitelist/windows/progress_runner.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/frame_window.h"
#include "sitelist/windows/tests/machinery_test_resource.h"
#include "sitelist/windows/window_position.h"
#include "sitelist/windows/window_skeleton.h"

namespace {

const char kTestClass[] = "TabulinkTestWindow";

LRESULT CALLBACK TestProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    DestroyWindow(w);
    return 0;
  }
  return DefWindowProcA(w, msg, wParam, lParam);
}

LRESULT CALLBACK TestChildProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ProcedureChildDefProc(w, msg, wParam, lParam);
}

void RegisterTestClasses() {
  static bool done = false;
  if (done) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TestProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kTestClass;
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  RegisterClassA(&wc);
  wc.lpfnWndProc = TestChildProc;
  wc.lpszClassName = "TabulinkTestChild";
  RegisterClassA(&wc);
  done = true;
}

void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  MSG msg;
  while ((int)(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

std::string MenuText(HMENU menu, UINT pos) {
  char text[128] = "";
  GetMenuStringA(menu, pos, text, sizeof text, MF_BYPOSITION);
  return text;
}

// ---- The frame's menu bar ---------------------------------------------------------

struct ItemCase {
  int popup;     // place on the menu bar
  int sub;       // -1: item of the pop-up itself; else the place of its sub-menu
  int position;  // place within the pop-up (or sub-menu)
  const char* text;
  UINT id;           // 0 for separators and sub-menus
  bool greyed;       // until the window exists
  const char* hint;  // "" for none
};

const ItemCase kItems[] = {
    {0, -1, 0, "&Import", IDM_FILE_IMPORT, false, ""},
    {0, -1, 1, "&Clipboard Monitor", IDM_FILE_CLIPBOARD, false, "Monitor clipboard for URLs..."},
    {0, -1, 2, "&Export", IDM_FILE_EXPORT, false, "Export to HTML or  ASCII"},
    {0, -1, 3, "&Merge URL databases", IDM_FILE_MERGE, false, "Import from Tabulink database in another directory"},
    {0, -1, 4, "", 0, false, ""},
    {0, -1, 5, "&Print Setup ...", IDM_FILE_PRINTSETUP, false, "Setup printer"},
    {0, -1, 6, "", 0, false, ""},
    {0, -1, 7, "E&xit", IDM_FILE_EXIT, false, "Exit this application"},
    {1, -1, 0, "&Locations", IDM_BROWSE_LOCATIONS, false, "Browse TABLNK"},
    {1, -1, 1, "&Categories", IDM_BROWSE_CATEGORIES, false, "Browse Categories"},
    {2, -1, 0, "Locations", 0, false, ""},
    {2, 0, 0, "Print by Description", IDM_REPORT_DESCRIPTION, false, "Print ordered by Description"},
    {2, 0, 1, "Print by Location", IDM_REPORT_LOCATION, false, "Print ordered by Location key"},
    {2, 0, 2, "Print by Category", IDM_REPORT_CATEGORY, false, "Print ordered by Category key"},
    {2, 0, 3, "Print by Rating", IDM_REPORT_RATING, false, "Print ordered by Rating key"},
    {2, 0, 4, "Print by Keyword", IDM_REPORT_KEYWORD, false, "Print ordered by Keyword key"},
    {2, -1, 1, "Categories", IDM_REPORT_CATEGORIES, false, "Print ordered by Category key"},
    {3, -1, 0, "T&ile", IDM_WINDOW_TILE, false, "Make all open windows visible"},
    {3, -1, 1, "&Cascade", IDM_WINDOW_CASCADE, false, "Stack all open windows"},
    {3, -1, 2, "&Arrange Icons", IDM_WINDOW_ARRANGE, false, "Align all window icons"},
    {4, -1, 0, "&Read Me", IDM_HELP_README, false, ""},
    {4, -1, 1, "&What's New", IDM_HELP_WHATSNEW, false, ""},
    {4, -1, 2, "", 0, false, ""},
    {4, -1, 3, "&About", IDM_HELP_ABOUT, false, "About This Program"},
};

const int kItemCounts[] = {8, 2, 2, 3, 4};

class FrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    frame_ = CreateMainFrame(GetModuleHandleA(nullptr));
    ASSERT_NE(frame_, nullptr);
    ShowWindow(frame_, SW_SHOWNORMAL);
    Pump(50);
  }
  void TearDown() override {
    if (IsWindow(frame_)) SendMessageA(frame_, WM_CLOSE, 0, 0);
    Pump(50);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
  }
  std::string Status() {
    HWND status = FindWindowExA(frame_, nullptr, STATUSCLASSNAMEA, nullptr);
    char text[256] = "";
    SendMessageA(status, SB_GETTEXTA, 0, (LPARAM)text);
    return text;
  }
  HWND frame_ = nullptr;
};

TEST_F(FrameTest, TitleAndMenuBar) {
  char title[64];
  GetWindowTextA(frame_, title, sizeof title);
  EXPECT_STREQ(title, "Tabulink");
  HMENU bar = GetMenu(frame_);
  ASSERT_NE(bar, nullptr);
  const char* popups[] = {"&File", "&Browse", "&Reports", "&Window", "&Help"};
  ASSERT_EQ(GetMenuItemCount(bar), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(MenuText(bar, i), popups[i]);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, i)), kItemCounts[i]) << popups[i];
  }
}

TEST_F(FrameTest, ItemsTheirStateAndHints) {
  HMENU bar = GetMenu(frame_);
  for (const ItemCase& c : kItems) {
    SCOPED_TRACE(c.text);
    HMENU menu = GetSubMenu(bar, c.popup);
    if (c.sub >= 0) menu = GetSubMenu(menu, c.sub);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuText(menu, c.position), c.text);
    UINT state = GetMenuState(menu, c.position, MF_BYPOSITION);
    if (c.id == 0 && c.text[0] == '\0') {
      EXPECT_TRUE(state & MF_SEPARATOR);
      continue;
    }
    if (c.id == 0) continue;  // the "Locations" sub-menu
    EXPECT_EQ(GetMenuItemID(menu, c.position), c.id);
    EXPECT_EQ((state & MF_GRAYED) != 0, c.greyed);
    SendMessageA(frame_, WM_MENUSELECT, MAKEWPARAM(c.id, MF_STRING), (LPARAM)menu);
    EXPECT_EQ(Status(), c.hint);
  }
  // A closed menu clears the hint.
  SendMessageA(frame_, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(Status(), "");
}

TEST_F(FrameTest, PopupHints) {
  HMENU bar = GetMenu(frame_);
  const char* hints[] = {"", "", "Report data", "Create and Arrange windows", "Windows Help"};
  for (int i = 0; i < 5; ++i) {
    SendMessageA(frame_, WM_MENUSELECT, MAKEWPARAM(i, MF_POPUP), (LPARAM)bar);
    EXPECT_EQ(Status(), hints[i]) << i;
  }
}

TEST_F(FrameTest, CommandsOfNoWindowStartNothing) {
  // Every starting command has its window now; a command of none (here one
  // of the Window menu's list, with no such child) starts no procedure.
  SendMessageA(frame_, WM_COMMAND, MAKEWPARAM(IDM_FIRSTCHILD + 40, 0), 0);
  EXPECT_EQ(RunningProcedures(), 0);
}

// ---- Procedures on threads of their own ----------------------------------------------

struct ChildRun {
  std::atomic<DWORD> thread{0};
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> returned{false};
  bool mdi = false;
};

int ChildProcedure(void* arg) {
  ChildRun* run = static_cast<ChildRun*>(arg);
  run->thread = GetCurrentThreadId();
  HWND w = run->mdi ? CreateProcedureChild("TabulinkTestChild", "Child", 0, 10, 10, 200, 150, nullptr)
                    : CreateWindowExA(0, kTestClass, "Procedure", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 150,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (w != nullptr) {
    run->window = w;
    AttachProcedureWindow(w);
    RunWindowLoop(w);
    DetachProcedureWindow(w);
  }
  run->returned = true;
  return 0;
}

bool WaitFor(const std::atomic<HWND>& w, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (w.load() == nullptr && (int)(end - GetTickCount()) > 0) Pump(10);
  return w.load() != nullptr;
}

TEST(Procedures, EachRunsOnItsOwnThreadAndAllCloseTogether) {
  RegisterTestClasses();
  ChildRun a, b;
  ASSERT_TRUE(StartProcedure(ChildProcedure, &a));
  ASSERT_TRUE(StartProcedure(ChildProcedure, &b));
  ASSERT_TRUE(WaitFor(a.window, 5000));
  ASSERT_TRUE(WaitFor(b.window, 5000));
  EXPECT_EQ(RunningProcedures(), 2);
  EXPECT_NE(a.thread.load(), b.thread.load());
  EXPECT_NE(a.thread.load(), GetCurrentThreadId());
  EXPECT_EQ(GetWindowThreadProcessId(a.window, nullptr), a.thread.load());
  // Both windows answer while the other's thread is busy elsewhere.
  EXPECT_TRUE(IsWindowVisible(a.window) && IsWindowVisible(b.window));
  EXPECT_TRUE(CloseAllProcedures(5000));
  EXPECT_TRUE(a.returned && b.returned);
  EXPECT_FALSE(IsWindow(a.window));
  EXPECT_FALSE(IsWindow(b.window));
  EXPECT_EQ(RunningProcedures(), 0);
}

TEST_F(FrameTest, MdiChildrenOnTheirThreadsCloseWithTheFrame) {
  RegisterTestClasses();
  ChildRun a, b;
  a.mdi = b.mdi = true;
  ASSERT_TRUE(StartProcedure(ChildProcedure, &a));
  ASSERT_TRUE(StartProcedure(ChildProcedure, &b));
  ASSERT_TRUE(WaitFor(a.window, 5000));
  ASSERT_TRUE(WaitFor(b.window, 5000));
  EXPECT_EQ(GetParent(a.window), ProcedureMdiClient());
  EXPECT_NE(a.thread.load(), GetCurrentThreadId());
  // The Window menu's arrangements reach the children of other threads.
  SendMessageA(frame_, WM_COMMAND, MAKEWPARAM(IDM_WINDOW_TILE, 0), 0);
  Pump(100);
  RECT ra, rb;
  GetWindowRect(a.window, &ra);
  GetWindowRect(b.window, &rb);
  EXPECT_FALSE(ra.left == rb.left && ra.top == rb.top) << "tile left the children stacked";
  SendMessageA(frame_, WM_CLOSE, 0, 0);
  Pump(100);
  EXPECT_FALSE(IsWindow(frame_));
  EXPECT_TRUE(a.returned && b.returned);
  EXPECT_EQ(RunningProcedures(), 0);
}

// ---- Modal forms ----------------------------------------------------------------------

struct ModalCase {
  const char* name;
  bool setResponse;
  int response;
  int expected;
};

HWND g_owner = nullptr;
bool g_ownerDisabledMeanwhile = false;
int g_responseToSet = 0;

void CALLBACK FinishForm(HWND form, UINT, UINT_PTR id, DWORD) {
  KillTimer(form, id);
  g_ownerDisabledMeanwhile = !IsWindowEnabled(g_owner);
  if (g_responseToSet) SetModalResponse(form, g_responseToSet);
  DestroyWindow(form);
}

TEST(Modal, FormsAnswerCompletedOrCancelled) {
  RegisterTestClasses();
  const ModalCase cases[] = {
      {"completed", true, kResponseCompleted, kResponseCompleted},
      {"cancelled", true, kResponseCancelled, kResponseCancelled},
      {"closed without an answer", false, 0, kResponseCancelled},
  };
  g_owner = CreateWindowExA(0, kTestClass, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(g_owner, nullptr);
  for (const ModalCase& c : cases) {
    SCOPED_TRACE(c.name);
    g_responseToSet = c.setResponse ? c.response : 0;
    g_ownerDisabledMeanwhile = false;
    HWND form = CreateWindowExA(0, kTestClass, "Form", WS_POPUP | WS_CAPTION, 20, 20, 200, 100, g_owner, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(form, nullptr);
    SetTimer(form, 1, 50, FinishForm);
    EXPECT_EQ(RunModal(g_owner, form), c.expected);
    EXPECT_TRUE(g_ownerDisabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(g_owner));
  }
  DestroyWindow(g_owner);
}

// ---- Window positions and control scaling -------------------------------------------

const char kPosSection[] = "TestPosition";

class ProfileTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterTestClasses();
    WritePrivateProfileStringA(kPosSection, nullptr, nullptr, kProfileName);
    WritePrivateProfileStringA("TestScaled", nullptr, nullptr, kProfileName);
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    WritePrivateProfileStringA(kPosSection, nullptr, nullptr, kProfileName);
    WritePrivateProfileStringA("TestScaled", nullptr, nullptr, kProfileName);
  }
  HWND Make(DWORD style = WS_OVERLAPPEDWINDOW) {
    HWND w = CreateWindowExA(0, kTestClass, "Positioned", style, 50, 60, 300, 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(w);
    return w;
  }
  static RECT Normal(HWND w) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    GetWindowPlacement(w, &wp);
    return wp.rcNormalPosition;
  }
  static std::string Read(const char* section, const char* key) {
    char v[64];
    ProfileRead(section, key, v, sizeof v);
    return v;
  }
  std::vector<HWND> windows_;
};

TEST_F(ProfileTest, RestoreMovesSizesAndMaximizes) {
  ProfileWrite(kPosSection, "XPosit", "111");
  ProfileWrite(kPosSection, "YPosit", "122");
  ProfileWrite(kPosSection, "Width", "333");
  ProfileWrite(kPosSection, "Height", "244");
  HWND w = Make();
  RestorePosition(w, kPosSection, true);
  RECT r = Normal(w);
  EXPECT_EQ(r.left, 111);
  EXPECT_EQ(r.top, 122);
  EXPECT_EQ(r.right - r.left, 333);
  EXPECT_EQ(r.bottom - r.top, 244);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_FALSE(IsZoomed(w));

  HWND fixed = Make(WS_POPUP | WS_CAPTION);
  RestorePosition(fixed, kPosSection, false);
  r = Normal(fixed);
  EXPECT_EQ(r.left, 111);
  EXPECT_EQ(r.right - r.left, 300);  // designed size kept

  ProfileWrite(kPosSection, "Maximize", "Yes");
  HWND big = Make();
  RestorePosition(big, kPosSection, true);
  EXPECT_TRUE(IsZoomed(big));
  EXPECT_EQ(Normal(big).left, 111);  // un-maximizes to the stored place
}

TEST_F(ProfileTest, ZeroXPositKeepsTheDesignedPlace) {
  ProfileWrite(kPosSection, "XPosit", "0");
  ProfileWrite(kPosSection, "YPosit", "122");
  ProfileWrite(kPosSection, "Width", "333");
  ProfileWrite(kPosSection, "Height", "244");
  HWND w = Make();
  RestorePosition(w, kPosSection, true);
  RECT r = Normal(w);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right - r.left, 300);
}

TEST_F(ProfileTest, SaveWritesNothingWhileMinimized) {
  HWND w = Make();
  ShowWindow(w, SW_SHOWNORMAL);
  SetWindowPos(w, nullptr, 70, 80, 310, 210, SWP_NOZORDER);
  SavePosition(w, kPosSection);
  EXPECT_EQ(Read(kPosSection, "XPosit"), "70");
  EXPECT_EQ(Read(kPosSection, "Width"), "310");
  EXPECT_EQ(Read(kPosSection, "Maximize"), "No");
  ShowWindow(w, SW_MINIMIZE);
  SavePosition(w, kPosSection);
  EXPECT_EQ(Read(kPosSection, "XPosit"), "70");
  EXPECT_EQ(Read(kPosSection, "Maximize"), "No");
  ShowWindow(w, SW_RESTORE);
  ShowWindow(w, SW_MAXIMIZE);
  SavePosition(w, kPosSection);
  EXPECT_EQ(Read(kPosSection, "Maximize"), "Yes");
  EXPECT_EQ(Read(kPosSection, "XPosit"), "70");  // the un-maximized place
}

// A window with three controls laid out at known places in a 400x300 client.
HWND MakeScaled(HWND controls[3]) {
  RECT r = {0, 0, 400, 300};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND w = CreateWindowExA(0, kTestClass, "Scaled", WS_OVERLAPPEDWINDOW, 40, 40, r.right - r.left, r.bottom - r.top,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  const RECT places[3] = {{40, 30, 240, 130}, {0, 150, 400, 300}, {300, 10, 380, 40}};
  for (int i = 0; i < 3; ++i) {
    controls[i] = CreateWindowExA(0, "BUTTON", "c", WS_CHILD | WS_VISIBLE, places[i].left, places[i].top,
                                  places[i].right - places[i].left, places[i].bottom - places[i].top, w, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  }
  return w;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, (POINT*)&r, 2);
  return r;
}

TEST_F(ProfileTest, ScalingStoresDesignThenFollowsTheWindow) {
  HWND controls[3];
  HWND w = MakeScaled(controls);
  windows_.push_back(w);
  ScaledLayout layout;
  ASSERT_TRUE(OpenScaledLayout(&layout, w, "TestScaled", kBrowseTablnkStamp, controls, 3));
  EXPECT_EQ(Read("TestScaled", "WindowScaled"), "714333785850");
  EXPECT_EQ(Read("TestScaled", "CtrlSize1"), "100100500333");
  EXPECT_EQ(Read("TestScaled", "CtrlSize2"), "000500999500");
  EXPECT_EQ(Read("TestScaled", "CtrlSize3"), "750033200100");
  // Twice the client area: controls twice as large.
  RECT r = {0, 0, 800, 600};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
  PlaceScaledControls(&layout);
  RECT c = ChildRect(w, controls[0]);
  EXPECT_EQ(c.left, 80);
  EXPECT_EQ(c.top, 60);
  EXPECT_EQ(c.right - c.left, 400);
}

TEST_F(ProfileTest, MatchingStampUsesStoredSizesAndChangedStampStoresFreshOnes) {
  ProfileWrite("TestScaled", "WindowScaled", kBrowseTablnkStamp);
  ProfileWrite("TestScaled", "CtrlSize1", "500500250100");
  ProfileWrite("TestScaled", "CtrlSize2", "garbage");
  ProfileWrite("TestScaled", "CtrlSize3", "000000100100");
  HWND controls[3];
  HWND w = MakeScaled(controls);
  windows_.push_back(w);
  ScaledLayout layout;
  ASSERT_TRUE(OpenScaledLayout(&layout, w, "TestScaled", kBrowseTablnkStamp, controls, 3));
  RECT c = ChildRect(w, controls[0]);
  EXPECT_EQ(c.left, 200);
  EXPECT_EQ(c.top, 150);
  EXPECT_EQ(c.right - c.left, 100);
  c = ChildRect(w, controls[1]);  // an unreadable entry keeps the designed place
  EXPECT_EQ(c.top, 150);
  EXPECT_EQ(Read("TestScaled", "CtrlSize1"), "500500250100");  // nothing rewritten

  // The design changed: its stamp differs, so fresh sizes are stored.
  HWND controls2[3];
  HWND w2 = MakeScaled(controls2);
  windows_.push_back(w2);
  ASSERT_TRUE(OpenScaledLayout(&layout, w2, "TestScaled", kUpdateTablnkStamp, controls2, 3));
  EXPECT_EQ(Read("TestScaled", "WindowScaled"), "714334612808");
  EXPECT_EQ(Read("TestScaled", "CtrlSize1"), "100100500333");
  EXPECT_EQ(Read("TestScaled", "CtrlSize2"), "000500999500");
  c = ChildRect(w2, controls2[0]);
  EXPECT_EQ(c.left, 40);
}

TEST_F(ProfileTest, ScalingRefusesBadCounts) {
  HWND controls[3];
  HWND w = MakeScaled(controls);
  windows_.push_back(w);
  ScaledLayout layout;
  EXPECT_FALSE(OpenScaledLayout(&layout, w, "TestScaled", kBrowseTablnkStamp, controls, 0));
  EXPECT_FALSE(OpenScaledLayout(&layout, w, "TestScaled", kBrowseTablnkStamp, controls, kMaxScaledControls + 1));
  EXPECT_EQ(Read("TestScaled", "WindowScaled"), "");
}

// ---- The window skeleton ---------------------------------------------------------------

// Writes what is on the screen under window to TX_SCREENSHOTS/name (a BMP file).
void Screenshot(HWND window, const char* name) {
  const char* dir = getenv("TX_SCREENSHOTS");
  if (dir == nullptr || window == nullptr) return;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::string path = std::string("Z:") + dir + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (f != nullptr) {
    DWORD stride = ((DWORD)w * 3 + 3) & ~3u;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + stride * (DWORD)h;
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    fwrite(bits, stride, (size_t)h, f);
    fclose(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

RECT NormalOf(HWND w) {
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  GetWindowPlacement(w, &wp);
  return wp.rcNormalPosition;
}

std::string ReadKey(const char* section, const char* key) {
  char v[64];
  ProfileRead(section, key, v, sizeof v);
  return v;
}

void ClearSection(const char* section) { WritePrivateProfileStringA(section, nullptr, nullptr, kProfileName); }

// A window on the skeleton: an MDI child hosting IDD_TEST_CHILD, with two
// record files and two scaled controls.
struct ChildState {
  std::atomic<HWND> dialog{nullptr};
  std::atomic<bool> returned{false};
  std::atomic<int> code{-99};
  int usesWhileOpen = -1;
  bool stateFromControl = false;
  int doneClicks = 0;
};

INT_PTR OnChildInit(HWND dialog, ChildState* s) {
  s->usesWhileOpen = RecordFileUses(RF_CATHTML);
  s->stateFromControl = WindowStateOf<ChildState>(GetDlgItem(dialog, IDC_TEST_EDIT)) == s;
  s->dialog = dialog;
  return TRUE;
}

void OnChildDone(HWND dialog, ChildState* s) {
  ++s->doneClicks;
  SetWindowCompletion(dialog, 7);
  CloseWindowRun(dialog);
}

const WindowCommand<ChildState> kChildCommands[] = {
    {IDC_TEST_DONE, OnChildDone},
};

INT_PTR CALLBACK ChildDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnChildInit(dialog, reinterpret_cast<ChildState*>(lParam));
    case WM_COMMAND: return DispatchWindowCommand(kChildCommands, dialog, LOWORD(wParam));
  }
  return FALSE;
}

const char kChildSection[] = "TestSkeleton";
const char kChildStamp[] = "123456789012";
const int kChildFiles[] = {RF_CATEGORIES, RF_CATHTML};
const int kChildScaled[] = {IDC_TEST_EDIT, IDC_TEST_DONE};
const WindowDesign kChildDesign = {
    kChildSection, IDD_TEST_CHILD, kMdiChildWindow, ChildDialogProc, kChildFiles, 2, true, kChildStamp, kChildScaled, 2,
    false,
};

int ChildWindowProcedure(void* arg) {
  ChildState* s = static_cast<ChildState*>(arg);
  s->code = RunWindow(&kChildDesign, s);
  s->returned = true;
  return s->code;
}

bool WaitTrue(const std::atomic<bool>& flag, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (!flag.load() && (int)(end - GetTickCount()) > 0) Pump(10);
  return flag.load();
}

TEST_F(FrameTest, SkeletonWindowOpensFilesRestoresRunsSavesAndCloses) {
  ClearSection(kChildSection);
  ProfileWrite(kChildSection, "XPosit", "30");
  ProfileWrite(kChildSection, "YPosit", "40");
  ProfileWrite(kChildSection, "Width", "420");
  ProfileWrite(kChildSection, "Height", "260");
  ChildState s;
  ASSERT_TRUE(StartProcedure(ChildWindowProcedure, &s));
  ASSERT_TRUE(WaitFor(s.dialog, 5000));
  Pump(100);
  HWND dialog = s.dialog;
  HWND host = WindowHostOf(dialog);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(GetParent(host), ProcedureMdiClient());
  EXPECT_NE(GetWindowThreadProcessId(host, nullptr), GetCurrentThreadId());
  char title[64] = "";
  GetWindowTextA(host, title, sizeof title);
  EXPECT_STREQ(title, "Skeleton Child");  // the template's caption
  // Files opened by the opening rules before the window, one use each.
  EXPECT_EQ(s.usesWhileOpen, 1);
  EXPECT_EQ(RecordFileUses(RF_CATEGORIES), 1);
  EXPECT_TRUE(s.stateFromControl);
  // Restored under its name; the dialog fills the host's client area.
  RECT n = NormalOf(host);
  EXPECT_EQ(n.left, 30);
  EXPECT_EQ(n.top, 40);
  EXPECT_EQ(n.right - n.left, 420);
  EXPECT_EQ(n.bottom - n.top, 260);
  EXPECT_TRUE(IsWindowVisible(host));
  RECT hc, dc;
  GetClientRect(host, &hc);
  GetClientRect(dialog, &dc);
  EXPECT_EQ(dc.right, hc.right);
  EXPECT_EQ(dc.bottom, hc.bottom);
  // Scaled from the design: the stamp and the control sizes are stored, and the
  // edit keeps its designed share of the (larger) client area.
  EXPECT_EQ(ReadKey(kChildSection, "WindowScaled"), kChildStamp);
  ControlFraction stored = {};
  ASSERT_TRUE(ParseCtrlSize(ReadKey(kChildSection, "CtrlSize1").c_str(), &stored));
  EXPECT_NEAR(stored.x, 50, 3);  // 10 of 200 units
  EXPECT_NEAR(stored.width, 900, 3);
  EXPECT_NEAR(stored.height, 500, 3);
  RECT edit = ChildRect(dialog, GetDlgItem(dialog, IDC_TEST_EDIT));
  EXPECT_NEAR(edit.right - edit.left, hc.right * 900 / 1000, 2);
  // Resized: the dialog and the scaled controls follow.
  SetWindowPos(host, nullptr, 55, 66, 500, 300, SWP_NOZORDER);
  Pump(100);
  GetClientRect(host, &hc);
  GetClientRect(dialog, &dc);
  EXPECT_EQ(dc.right, hc.right);
  edit = ChildRect(dialog, GetDlgItem(dialog, IDC_TEST_EDIT));
  EXPECT_NEAR(edit.right - edit.left, hc.right * 900 / 1000, 2);
  // A command through the table closes it with its completion code.
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST_DONE, BN_CLICKED), 0);
  ASSERT_TRUE(WaitTrue(s.returned, 5000));
  EXPECT_EQ(s.doneClicks, 1);
  EXPECT_EQ(s.code.load(), 7);
  EXPECT_FALSE(IsWindow(host));
  EXPECT_EQ(RecordFileUses(RF_CATEGORIES), 0);
  EXPECT_EQ(RecordFileUses(RF_CATHTML), 0);
  EXPECT_EQ(ReadKey(kChildSection, "XPosit"), "55");
  EXPECT_EQ(ReadKey(kChildSection, "YPosit"), "66");
  EXPECT_EQ(ReadKey(kChildSection, "Width"), "500");
  EXPECT_EQ(ReadKey(kChildSection, "Height"), "300");
  EXPECT_EQ(ReadKey(kChildSection, "Maximize"), "No");

  // Opened again where it was left, and closed with the frame: the frame's close
  // reaches it on its thread, it saves its position and returns kWindowClosed.
  ChildState again;
  ASSERT_TRUE(StartProcedure(ChildWindowProcedure, &again));
  ASSERT_TRUE(WaitFor(again.dialog, 5000));
  Pump(50);
  host = WindowHostOf(again.dialog);
  n = NormalOf(host);
  EXPECT_EQ(n.left, 55);
  EXPECT_EQ(n.right - n.left, 500);
  SetWindowPos(host, nullptr, 20, 25, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  Pump(50);
  SendMessageA(frame_, WM_CLOSE, 0, 0);
  Pump(50);
  EXPECT_TRUE(WaitTrue(again.returned, 5000));
  EXPECT_EQ(again.code.load(), kWindowClosed);
  EXPECT_FALSE(IsWindow(frame_));
  EXPECT_EQ(ReadKey(kChildSection, "XPosit"), "20");
  EXPECT_EQ(RecordFileUses(RF_CATEGORIES), 0);
  ClearSection(kChildSection);
}

// Messages of the opening rules, answered by the test.
std::vector<std::string> g_prompted;
int AnswerCancel(const RecordMessage* m) {
  g_prompted.push_back(m->title);
  return RA_CANCEL;
}

TEST(Skeleton, AFileThatCannotBeOpenedOpensNoWindowAndClosesTheOthers) {
  // One variable holds the import file name: start-up's and the opening rules'.
  SetImportFileName("skeleton-test.dir");
  EXPECT_STREQ(g_ImportName, "skeleton-test.dir");
  CreateDirectoryA("skeleton-test.dir", nullptr);
  g_prompted.clear();
  SetRecordPrompt(AnswerCancel);
  const int files[] = {RF_CATEGORIES, RF_IMPORT_SOURCE};
  WindowDesign design = kChildDesign;
  design.files = files;
  design.fileCount = 2;
  ChildState s;
  EXPECT_EQ(RunWindow(&design, &s), kWindowNotOpened);
  SetRecordPrompt(nullptr);
  EXPECT_EQ(s.dialog.load(), nullptr);
  EXPECT_FALSE(g_prompted.empty());  // the rules told the user
  EXPECT_EQ(RecordFileUses(RF_CATEGORIES), 0);
  EXPECT_FALSE(ProgramEndRequested());  // not confirmed: no end
  RemoveDirectoryA("skeleton-test.dir");
  SetImportFileName(kDefaultImportFileName);
  EXPECT_STREQ(g_ImportName, "bookmark.htm");
}

// ---- Forms on the skeleton ---------------------------------------------------------------

enum FormAction { kFormComplete, kFormCancelButton, kFormCloseBox, kFormEscape };

struct FormState {
  int action;
  HWND owner;
  bool ownerDisabled;
  bool sawState;
  RECT placed;
  POINT moveTo;
};

void CALLBACK FormTimer(HWND form, UINT, UINT_PTR id, DWORD) {
  KillTimer(form, id);
  FormState* s = WindowStateOf<FormState>(form);
  s->ownerDisabled = s->owner != nullptr && !IsWindowEnabled(s->owner);
  GetWindowRect(form, &s->placed);
  if (s->moveTo.x != 0) SetWindowPos(form, nullptr, s->moveTo.x, s->moveTo.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  switch (s->action) {
    case kFormComplete: EndForm(form, kResponseCompleted); break;
    case kFormCancelButton: PostMessageA(form, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); break;
    case kFormCloseBox: PostMessageA(form, WM_CLOSE, 0, 0); break;
    case kFormEscape: PostMessageA(GetDlgItem(form, IDC_TEST_EDIT), WM_KEYDOWN, VK_ESCAPE, 0); break;
  }
}

INT_PTR CALLBACK FormDialogProc(HWND form, UINT msg, WPARAM, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      reinterpret_cast<FormState*>(lParam)->sawState = WindowStateOf<FormState>(form) == (void*)lParam;
      SetTimer(form, 1, 30, FormTimer);
      return TRUE;
  }
  return FALSE;
}

const char kFormSection[] = "TestForm";
const FormDesign kFormDesign = {kFormSection, IDD_TEST_FORM, FormDialogProc, true, nullptr, nullptr, 0, nullptr, 0};

TEST(Skeleton, FormsAnswerCompletedOrCancelledAndKeepTheirPosition) {
  RegisterTestClasses();
  ClearSection(kFormSection);
  HWND owner = CreateWindowExA(0, kTestClass, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  struct Case {
    const char* name;
    int action;
    int expected;
  };
  const Case cases[] = {
      {"completed", kFormComplete, kResponseCompleted},
      {"Cancel button", kFormCancelButton, kResponseCancelled},
      {"closed", kFormCloseBox, kResponseCancelled},
      {"Escape", kFormEscape, kResponseCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormState s = {c.action, owner, false, false, {}, {}};
    EXPECT_EQ(RunForm(owner, &kFormDesign, &s), c.expected);
    EXPECT_TRUE(s.sawState);
    EXPECT_TRUE(s.ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  // Moved while open: saved under its name when it ends, restored next time.
  FormState moved = {kFormComplete, owner, false, false, {}, {141, 93}};
  EXPECT_EQ(RunForm(owner, &kFormDesign, &moved), kResponseCompleted);
  EXPECT_EQ(ReadKey(kFormSection, "XPosit"), "141");
  EXPECT_EQ(ReadKey(kFormSection, "YPosit"), "93");
  FormState back = {kFormComplete, owner, false, false, {}, {}};
  EXPECT_EQ(RunForm(owner, &kFormDesign, &back), kResponseCompleted);
  EXPECT_EQ(back.placed.left, 141);
  EXPECT_EQ(back.placed.top, 93);
  DestroyWindow(owner);
  ClearSection(kFormSection);
}

// ---- The progress runner ---------------------------------------------------------------

struct StepWork {
  int steps;         // calls so far
  int doneAt;        // answer kStepDone at this call
  int failAt;        // answer kStepFailed at this call (0: never)
  int postCancelAt;  // post "Cancel" at this call (between ticks)
  int sendCancelAt;  // "Cancel" pressed while this call runs
  int formAt;        // open a form over the progress window at this call
  const char* endLine;
  HWND owner;
  bool ownerAlwaysDisabled;
  bool cancelShown;
  HWND window;
  std::vector<std::string> percents;  // the percentage shown when each call began
  int formResponse;
  bool progressDisabledInForm;
};

std::string ItemText(HWND dialog, int id) {
  char text[256] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

int TestStep(ProgressRun* run) {
  StepWork* w = static_cast<StepWork*>(run->work);
  ++w->steps;
  w->window = run->window;
  w->percents.push_back(ItemText(run->window, IDC_PROGRESS_PERCENT));
  if (w->owner != nullptr && IsWindowEnabled(w->owner)) w->ownerAlwaysDisabled = false;
  w->cancelShown = IsWindowVisible(GetDlgItem(run->window, IDCANCEL)) != FALSE;
  run->percent = w->steps * 100 / w->doneAt;
  if (w->steps == w->postCancelAt) PostMessageA(run->window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (w->steps == w->sendCancelAt) SendMessageA(run->window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (w->steps == w->formAt) {
    FormState f = {kFormComplete, run->window, false, false, {}, {}};
    w->formResponse = RunForm(run->window, &kFormDesign, &f);
    w->progressDisabledInForm = f.ownerDisabled;
  }
  if (w->steps == w->failAt) return kStepFailed;
  if (w->steps == w->doneAt) {
    if (w->endLine != nullptr) SetProgressEndLine(run, w->endLine);
    return kStepDone;
  }
  return kStepMore;
}

class RunnerTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterTestClasses();
    owner_ = CreateWindowExA(0, kTestClass, "Runner Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }
  StepWork Work() {
    StepWork w = {};
    w.doneAt = 5;
    w.owner = owner_;
    w.ownerAlwaysDisabled = true;
    return w;
  }
  int Run(StepWork* w, bool cancellable, const char* endText = "Process Completed") {
    ProgressDesign design = {"Processing Records", "Testing", nullptr, endText, cancellable, 0};
    return RunProgress(owner_, &design, TestStep, w);
  }
  HWND owner_ = nullptr;
};

TEST_F(RunnerTest, RunsTheStepToItsEndModalToTheCaller) {
  StepWork w = Work();
  EXPECT_EQ(Run(&w, true), kProgressCompleted);
  EXPECT_EQ(w.steps, 5);
  const std::vector<std::string> shown = {"0% Completed", "20% Completed", "40% Completed", "60% Completed",
                                          "80% Completed"};
  EXPECT_EQ(w.percents, shown);
  EXPECT_TRUE(w.ownerAlwaysDisabled);
  EXPECT_TRUE(w.cancelShown);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(IsWindow(w.window));
}

TEST_F(RunnerTest, CancelEndsTheRunBetweenTicksOrAfterTheRunningStep) {
  StepWork between = Work();
  between.postCancelAt = 3;
  EXPECT_EQ(Run(&between, true), kProgressCancelled);
  EXPECT_EQ(between.steps, 3);
  StepWork during = Work();
  during.sendCancelAt = 2;
  EXPECT_EQ(Run(&during, true), kProgressCancelled);
  EXPECT_EQ(during.steps, 2);
  // A run that cannot be cancelled shows no "Cancel" and goes on.
  StepWork fixed = Work();
  fixed.postCancelAt = 1;
  EXPECT_EQ(Run(&fixed, false), kProgressCompleted);
  EXPECT_EQ(fixed.steps, 5);
  EXPECT_FALSE(fixed.cancelShown);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(RunnerTest, AFailingStepStopsTheRun) {
  StepWork w = Work();
  w.failAt = 2;
  EXPECT_EQ(Run(&w, true), kProgressFailed);
  EXPECT_EQ(w.steps, 2);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(RunnerTest, AStepCanOpenAFormOverTheProgressWindow) {
  StepWork w = Work();
  w.formAt = 2;
  EXPECT_EQ(Run(&w, true), kProgressCompleted);
  EXPECT_EQ(w.formResponse, kResponseCompleted);
  EXPECT_TRUE(w.progressDisabledInForm);
  EXPECT_EQ(w.steps, 5);  // no tick ran while the form was open
}

// Watches the end state of a run with an end line, photographs it, presses OK.
struct EndWatch {
  StepWork* work;
  std::string percent, line, button;
  bool buttonVisible;
  bool lineVisible;
  int polls;
};
EndWatch* g_watch = nullptr;

void CALLBACK WatchEnd(HWND, UINT, UINT_PTR id, DWORD) {
  EndWatch* e = g_watch;
  HWND w = e->work->window;
  if (++e->polls > 500) KillTimer(nullptr, id);
  if (w == nullptr || !IsWindow(w) || ItemText(w, IDC_PROGRESS_PERCENT) != "Process Completed") return;
  KillTimer(nullptr, id);
  e->percent = ItemText(w, IDC_PROGRESS_PERCENT);
  e->line = ItemText(w, IDC_PROGRESS_LINE);
  e->button = ItemText(w, IDCANCEL);
  e->buttonVisible = IsWindowVisible(GetDlgItem(w, IDCANCEL)) != FALSE;
  e->lineVisible = IsWindowVisible(GetDlgItem(w, IDC_PROGRESS_LINE)) != FALSE;
  Screenshot(w, "tablnk-progress-end-line.bmp");
  PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST_F(RunnerTest, AnEndLineStaysUntilOk) {
  StepWork w = Work();
  w.endLine = "1,234 sites added, 5 skipped as duplicates";
  EndWatch watch = {&w, "", "", "", false, false, 0};
  g_watch = &watch;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, WatchEnd);
  EXPECT_EQ(Run(&w, true), kProgressCompleted);
  KillTimer(nullptr, timer);
  g_watch = nullptr;
  EXPECT_EQ(watch.percent, "Process Completed");
  EXPECT_EQ(watch.line, "1,234 sites added, 5 skipped as duplicates");
  EXPECT_EQ(watch.button, "OK");
  EXPECT_TRUE(watch.buttonVisible);
  EXPECT_TRUE(watch.lineVisible);
  EXPECT_FALSE(IsWindow(w.window));
}

// A slow run in a skeleton window on its own thread: photographed, then the
// frame closes, which cancels the run and closes the window.
struct RunnerWindow {
  std::atomic<HWND> progress{nullptr};
  std::atomic<bool> returned{false};
  std::atomic<int> result{0};
  std::atomic<int> steps{0};
};

int EndlessStep(ProgressRun* run) {
  RunnerWindow* r = static_cast<RunnerWindow*>(run->work);
  run->percent = 37;
  r->steps.fetch_add(1);
  r->progress = run->window;
  return kStepMore;
}

const UINT kStartRun = WM_APP + 1;

INT_PTR CALLBACK RunnerDialogProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: PostMessageA(dialog, kStartRun, 0, 0); return TRUE;
    case kStartRun: {
      RunnerWindow* r = WindowStateOf<RunnerWindow>(dialog);
      ProgressDesign design = {"Generating Report", "Exporting", nullptr, "Process Completed", true, 50};
      r->result = RunProgress(dialog, &design, EndlessStep, r);
      return TRUE;
    }
  }
  return FALSE;
}

int RunnerWindowProcedure(void* arg) {
  RunnerWindow* r = static_cast<RunnerWindow*>(arg);
  WindowDesign design = kChildDesign;
  design.name = nullptr;
  design.proc = RunnerDialogProc;
  design.files = nullptr;
  design.fileCount = 0;
  design.designStamp = nullptr;
  RunWindow(&design, r);
  r->returned = true;
  return 0;
}

TEST_F(FrameTest, RunnerOnAWindowThreadIsCancelledWhenTheFrameCloses) {
  RunnerWindow r;
  ASSERT_TRUE(StartProcedure(RunnerWindowProcedure, &r));
  ASSERT_TRUE(WaitFor(r.progress, 5000));
  Pump(200);
  HWND progress = r.progress;
  EXPECT_EQ(GetWindowThreadProcessId(progress, nullptr), GetWindowThreadProcessId(progress, nullptr));
  EXPECT_NE(GetWindowThreadProcessId(progress, nullptr), GetCurrentThreadId());
  char title[64] = "";
  GetWindowTextA(progress, title, sizeof title);
  EXPECT_STREQ(title, "Generating Report");
  EXPECT_EQ(ItemText(progress, IDC_PROGRESS_PERCENT), "37% Completed");
  EXPECT_EQ(ItemText(progress, IDC_PROGRESS_TEXT), "Exporting");
  Screenshot(progress, "tablnk-progress-running.bmp");
  Screenshot(frame_, "tablnk-progress-over-window.bmp");
  SendMessageA(frame_, WM_CLOSE, 0, 0);
  Pump(50);
  EXPECT_TRUE(WaitTrue(r.returned, 5000));
  EXPECT_EQ(r.result.load(), kProgressCancelled);
  EXPECT_FALSE(IsWindow(progress));
  EXPECT_FALSE(IsWindow(frame_));
}

// ---- Messages modal to the window that shows them ---------------------------------------

struct MessageWindow {
  std::atomic<HWND> dialog{nullptr};
  std::atomic<bool> returned{false};
  std::atomic<int> step{0};  // 1: the box is about to show; 2: answered
  std::atomic<int> answers[3];
};

const UINT kShowMessages = WM_APP + 2;

void ShowThreeMessages(HWND dialog, MessageWindow* m) {
  m->step = 1;
  m->answers[0] = ShowMessage(GetDlgItem(dialog, IDC_TEST_EDIT), IDS_NEW_VERSION_TITLE, IDS_NEW_VERSION_TEXT,
                              RB_OK_CANCEL, RI_INFORMATION);
  m->answers[1] = RecordPrompt(RM_CONFIRM_DELETE, 0, nullptr, nullptr);  // no owner named: the thread's window
  m->answers[2] = StopBox(dialog, "Stopped for the test");
  m->step = 2;
  CloseWindowRun(dialog);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      reinterpret_cast<MessageWindow*>(lParam)->dialog = dialog;
      PostMessageA(dialog, kShowMessages, 0, 0);
      return TRUE;
    case kShowMessages: ShowThreeMessages(dialog, WindowStateOf<MessageWindow>(dialog)); return TRUE;
  }
  return FALSE;
}

int MessageWindowProcedure(void* arg) {
  MessageWindow* m = static_cast<MessageWindow*>(arg);
  WindowDesign design = kChildDesign;
  design.name = nullptr;
  design.proc = MessageDialogProc;
  design.files = nullptr;
  design.fileCount = 0;
  design.designStamp = nullptr;
  RunWindow(&design, m);
  m->returned = true;
  return 0;
}

HWND WaitBox(const char* title, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  HWND box = nullptr;
  // Found once shown: a dialog exists, hidden, before its modal loop disables the owner.
  while (((box = FindWindowA("#32770", title)) == nullptr || !IsWindowVisible(box)) &&
         (int)(end - GetTickCount()) > 0) {
    Pump(10);
  }
  return box;
}

TEST_F(FrameTest, MessagesAreModalToTheirWindowOnly) {
  RegisterTestClasses();
  ChildRun other;  // another window of the frame, on its own thread
  other.mdi = true;
  ASSERT_TRUE(StartProcedure(ChildProcedure, &other));
  MessageWindow m;
  ASSERT_TRUE(StartProcedure(MessageWindowProcedure, &m));
  ASSERT_TRUE(WaitFor(m.dialog, 5000));
  ASSERT_TRUE(WaitFor(other.window, 5000));
  HWND host = WindowHostOf(m.dialog);
  struct Box {
    const char* title;
    UINT press;
  };
  const Box boxes[] = {{"New version detected!", IDCANCEL}, {"Confirm Delete", IDOK}, {"Stop", IDIGNORE}};
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.title);
    HWND box = WaitBox(b.title, 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(IsWindowEnabled(host));   // its own window waits
    EXPECT_TRUE(IsWindowEnabled(frame_));  // the frame and the other window do not
    EXPECT_TRUE(IsWindowEnabled(other.window));
    if (b.press == IDIGNORE) Screenshot(box, "tablnk-stop-box.bmp");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(b.press, BN_CLICKED), 0);
    DWORD end = GetTickCount() + 5000;
    while (IsWindow(box) && (int)(end - GetTickCount()) > 0) Pump(10);
    EXPECT_FALSE(IsWindow(box));
  }
  EXPECT_TRUE(WaitTrue(m.returned, 5000));
  EXPECT_EQ(m.answers[0].load(), RA_CANCEL);
  EXPECT_EQ(m.answers[1].load(), RA_OK);
  EXPECT_EQ(m.answers[2].load(), IDIGNORE);
  SendMessageA(frame_, WM_CLOSE, 0, 0);
  Pump(50);
  EXPECT_TRUE(other.returned);
}

// Last of all (its suite is registered last), since an end once asked for
// stays asked for in this process:
// "Disk Error" in a window's opening rules goes back to the frame, which closes
// every window and ends the loop with exit code 2.
std::vector<std::string> g_endPrompts;
int ConfirmAccess(const RecordMessage* m) {
  g_endPrompts.push_back(m->title);
  return RA_OK;
}

class ProgramEndTest : public FrameTest {};

TEST_F(ProgramEndTest, DiskErrorInAWindowEndsTheProgramThroughTheFrame) {
  RegisterTestClasses();
  ChildRun other;
  other.mdi = true;
  ASSERT_TRUE(StartProcedure(ChildProcedure, &other));
  ASSERT_TRUE(WaitFor(other.window, 5000));
  SetImportFileName("skeleton-test.dir");
  CreateDirectoryA("skeleton-test.dir", nullptr);
  SetRecordPrompt(ConfirmAccess);
  const int files[] = {RF_IMPORT_SOURCE};
  WindowDesign design = kChildDesign;
  design.files = files;
  design.fileCount = 1;
  static WindowDesign s_spec;
  s_spec = design;
  ChildState s;
  ASSERT_TRUE(StartProcedure(
      [](void* arg) {
        ChildState* st = static_cast<ChildState*>(arg);
        st->code = RunWindow(&s_spec, st);
        st->returned = true;
        return 0;
      },
      &s));
  // The frame closes by itself: pump as its loop does until the quit arrives.
  MSG msg = {};
  DWORD end = GetTickCount() + 10000;
  bool quit = false;
  while (!quit && (int)(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!quit) Sleep(5);
  }
  SetRecordPrompt(nullptr);
  RemoveDirectoryA("skeleton-test.dir");
  SetImportFileName(kDefaultImportFileName);
  EXPECT_TRUE(s.returned);
  EXPECT_EQ(s.code.load(), kWindowNotOpened);
  std::string seen;
  for (const std::string& t : g_endPrompts) seen += "[" + t + "]";
  ASSERT_TRUE(quit) << seen;
  EXPECT_EQ((int)msg.wParam, kExitDiskError);
  EXPECT_EQ(ProgramExitCode(), kExitDiskError);
  EXPECT_FALSE(IsWindow(frame_));
  EXPECT_TRUE(other.returned);  // every window closed first
  ASSERT_GE(g_endPrompts.size(), 2u);
  EXPECT_EQ(g_endPrompts[g_endPrompts.size() - 2], "File Access Error");
  EXPECT_EQ(g_endPrompts.back(), "Disk Error");
}

}  // namespace
