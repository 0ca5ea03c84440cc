// In-process tests under Wine of the window machinery: the frame's menu bar,
// greyed items and status-bar hints; procedures on threads of their own (also
// as MDI children of the frame); modal forms and their responses; window
// positions and control scaling in TABLNK.INI.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "sitelist/windows/control_scaling.h"
#include "sitelist/windows/private_profile.h"
#include "sitelist/windows/procedure_threads.h"
#include "sitelist/windows/resource.h"
#include "sitelist/windows/tablnk_windows.h"
#include "sitelist/windows/window_position.h"

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
  int popup;        // place on the menu bar
  int sub;          // -1: item of the pop-up itself; else the place of its sub-menu
  int position;     // place within the pop-up (or sub-menu)
  const char* text;
  UINT id;          // 0 for separators and sub-menus
  bool greyed;      // until the window exists
  const char* hint; // "" for none
};

const ItemCase kItems[] = {
    {0, -1, 0, "&Import", IDM_FILE_IMPORT, true, ""},
    {0, -1, 1, "&Clipboard Monitor", IDM_FILE_CLIPBOARD, true, "Monitor clipboard for URLs..."},
    {0, -1, 2, "&Export", IDM_FILE_EXPORT, true, "Export to HTML or  ASCII"},
    {0, -1, 3, "&Merge URL databases", IDM_FILE_MERGE, true, "Import from Tabulink database in another directory"},
    {0, -1, 4, "", 0, false, ""},
    {0, -1, 5, "&Print Setup ...", IDM_FILE_PRINTSETUP, false, "Setup printer"},
    {0, -1, 6, "", 0, false, ""},
    {0, -1, 7, "E&xit", IDM_FILE_EXIT, false, "Exit this application"},
    {1, -1, 0, "&Locations", IDM_BROWSE_LOCATIONS, true, "Browse TABLNK"},
    {1, -1, 1, "&Categories", IDM_BROWSE_CATEGORIES, true, "Browse Categories"},
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
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
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

TEST_F(FrameTest, GreyedCommandsStartNothing) {
  SendMessageA(frame_, WM_COMMAND, MAKEWPARAM(IDM_BROWSE_LOCATIONS, 0), 0);
  SendMessageA(frame_, WM_COMMAND, MAKEWPARAM(IDM_FILE_EXPORT, 0), 0);
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
                    : CreateWindowExA(0, kTestClass, "Procedure", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                      150, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
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
  g_owner = CreateWindowExA(0, kTestClass, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
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
  HWND w = CreateWindowExA(0, kTestClass, "Scaled", WS_OVERLAPPEDWINDOW, 40, 40, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
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

}  // namespace
