// Tests of the Windows build under Wine: other processes (stations) sharing
// the record files through LockFileEx, a writer ended with TerminateProcess at
// random instants, a commit interrupted at each step, and the record messages
// shown as real message boxes with their exact titles, texts and buttons.
#include "sitelist/records/record_messages.h"
#include "sitelist/records/tests/crash_model.h"
#include "sitelist/records/tests/test_support.h"

#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

namespace {

std::string HelperPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p(path, n);
  return p.substr(0, p.find_last_of("\\/") + 1) + "records_wine_helper.exe";
}

HANDLE StartHelper(const std::string& args) {
  std::string cmd = "\"" + HelperPath() + "\" " + args;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

DWORD WaitExit(HANDLE p) {
  WaitForSingleObject(p, 120000);
  DWORD code = 999;
  GetExitCodeProcess(p, &code);
  CloseHandle(p);
  return code;
}

class WindowsStoreTest : public RecordsDirTest {
protected:
  std::string Dir() const { return dir_.string(); }
};

TEST_F(WindowsStoreTest, TwoProcessesRacingLoseNoUpdate) {
  ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f));
  SiteRecord s = MakeSite("http://counter/", "0", "", 0, "");
  ASSERT_EQ(KS_OK, ks_add(f, &s));
  const int kRounds = 500;
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "Local\\tx_records_race_go");
  HANDLE ready = CreateSemaphoreA(nullptr, 0, 16, "Local\\tx_records_race_ready");
  ASSERT_TRUE(go && ready);
  ResetEvent(go);
  HANDLE a = StartHelper("race \"" + Dir() + "\" " + std::to_string(kRounds) + " a.txt");
  HANDLE b = StartHelper("race \"" + Dir() + "\" " + std::to_string(kRounds) + " b.txt");
  ASSERT_TRUE(a && b);
  // Both open the file and wait; then they race.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 60000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 60000));
  SetEvent(go);
  EXPECT_EQ(0u, WaitExit(a));
  EXPECT_EQ(0u, WaitExit(b));
  int ok = 0, changed = 0;
  for (const char* name : {"a.txt", "b.txt"}) {
    std::ifstream in(name);
    int o = -1, c = -1;
    in >> o >> c;
    ASSERT_GE(o, 0) << name;
    ok += o;
    changed += c;
  }
  EXPECT_EQ(2 * kRounds, ok + changed);
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Location, "http://counter/");
  ASSERT_EQ(KS_OK, ks_get(f, URL_K_Location, &s));  // this station sees the other two's changes
  EXPECT_EQ(std::to_string(ok), Field(s.Description));
  printf("racing under Wine: %d puts succeeded, %d failed with 89\n", ok, changed);
  EXPECT_GT(changed, 0);  // they did overlap
  ks_close(f);
  CloseHandle(go);
  CloseHandle(ready);
}

TEST_F(WindowsStoreTest, DenyWriteOpenSeesOtherProcessesHoldingTheFile) {
  ASSERT_EQ(KS_OK, ks_create(&TABLNK_Decl, nullptr));
  KsFile* f = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f));
  KsFile* g = nullptr;
  EXPECT_EQ(KS_ERR_LOCKED, ks_open(&TABLNK_Decl, nullptr, KS_DENY_WRITE, &g));
  ks_close(f);
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_DENY_WRITE, &g));
  ks_close(g);
}

struct InterruptCase {
  int step;
  uint32_t expected;
};

TEST_F(WindowsStoreTest, ACommitEndedByTerminateProcessIsSettledAllOrNothing) {
  const InterruptCase cases[] = {{1, 0}, {2, 1}};
  for (const InterruptCase& c : cases) {
    for (const KsFileDecl* d : {&Categories_Decl, &CatHTML_Decl, &TABLNK_Decl}) ASSERT_EQ(KS_OK, ks_create(d, nullptr));
    HANDLE p = StartHelper("commit \"" + Dir() + "\" " + std::to_string(c.step));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, WaitExit(p));
    KsFile* f = nullptr;
    EXPECT_EQ(KS_ERR_LOCKED, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f)) << c.step;
    KsFile *cat, *htm, *url;
    int recovered = 0;
    ASSERT_EQ(KS_OK, OpenCrashFiles(&cat, &htm, &url, &recovered));
    EXPECT_EQ(2, recovered);
    for (KsFile* x : {cat, htm, url}) {
      uint32_t n = 99;
      EXPECT_EQ(KS_OK, ks_count(x, &n));
      EXPECT_EQ(c.expected, n) << "step " << c.step << " " << ks_decl(x)->label;
      ks_close(x);
    }
  }
}

TEST_F(WindowsStoreTest, WritersEndedWithTerminateProcessLoseNothingAcknowledged) {
  const int kKills = 40;
  std::mt19937 rng(777);
  CrashModel model;
  int next = 0, acked_total = 0, recovered = 0;
  for (int kill_no = 0; kill_no < kKills; kill_no++) {
    HANDLE p = StartHelper("crash \"" + Dir() + "\" " + std::to_string(next) + " acks.bin");
    ASSERT_NE(nullptr, p);
    // Let it get going, then end it at a random instant.
    for (int i = 0; i < 400; i++) {
      WIN32_FILE_ATTRIBUTE_DATA fa;
      if (GetFileAttributesExA("acks.bin", GetFileExInfoStandard, &fa) && fa.nFileSizeLow > 0) break;
      if (WaitForSingleObject(p, 10) == WAIT_OBJECT_0) break;
    }
    Sleep(std::uniform_int_distribution<int>(0, 40)(rng));
    TerminateProcess(p, 77);
    ASSERT_EQ(77u, WaitExit(p)) << "the writer ended by itself";
    std::ifstream in("acks.bin", std::ios::binary);
    int n, last = next - 1;
    while (in.read((char*)&n, sizeof n)) {
      ASSERT_EQ(last + 1, n);
      model.Apply(n, true);
      last = n;
      acked_total++;
    }
    in.close();
    DeleteFileA("acks.bin");
    model.Apply(last + 1, false);
    next = last + 2;
    KsFile *cat, *htm, *url;
    ASSERT_EQ(KS_OK, OpenCrashFiles(&cat, &htm, &url, &recovered)) << "after kill " << kill_no;
    std::string problem = model.Check(cat, htm, url);
    ks_close(cat);
    ks_close(htm);
    ks_close(url);
    ASSERT_EQ("", problem) << "after kill " << kill_no;
  }
  printf("crash test under Wine: %d kills, %d acknowledged operations, %d interrupted transactions recovered\n", kKills,
         acked_total, recovered);
  EXPECT_GT(acked_total, kKills);
}

// ---- Message boxes -------------------------------------------------------------------------

struct SeenBox {
  std::string text;
  std::vector<std::string> buttons;
};

// Finds the message box titled `title`, reads its text and buttons, and
// presses the button labelled `press`. Waits for the box until `done` says the
// prompt has returned, however slowly a loaded machine shows it; presses again
// while the box stays up, since a click can arrive before the box takes input.
void AnswerBox(const char* title, const char* press, SeenBox* seen, std::atomic<bool>* found,
               const std::atomic<bool>* done) {
  HWND box = nullptr;
  while (!box && !done->load()) {
    box = FindWindowA("#32770", title);
    if (!box) Sleep(20);
  }
  if (!box) return;
  Sleep(100);
  struct Ctx {
    SeenBox* seen;
    const char* press;
    HWND button;
  } ctx = {seen, press, nullptr};
  EnumChildWindows(
      box,
      [](HWND w, LPARAM lp) -> BOOL {
        Ctx* c = (Ctx*)lp;
        char cls[32] = "", text[1024] = "";
        GetClassNameA(w, cls, sizeof cls);
        GetWindowTextA(w, text, sizeof text);
        if (!IsWindowVisible(w)) return TRUE;
        if (!lstrcmpiA(cls, "Button")) {
          std::string t;
          for (const char* p = text; *p; p++)
            if (*p != '&') t += *p;
          c->seen->buttons.push_back(t);
          if (t == c->press) c->button = w;
        } else if (!lstrcmpiA(cls, "Static") && text[0]) {
          c->seen->text = text;
        }
        return TRUE;
      },
      (LPARAM)&ctx);
  *found = true;
  if (!ctx.button) {
    // Not the buttons the test expects: close the box so that the test can report it.
    PostMessageA(box, WM_CLOSE, 0, 0);
    return;
  }
  for (int i = 0; !done->load(); i++) {
    if (i % 100 == 0) PostMessageA(ctx.button, BM_CLICK, 0, 0);
    Sleep(20);
  }
}

struct BoxCase {
  int id, error;
  const char* file;
  const char* detail;
  std::vector<std::string> buttons;
  const char* press;
  int answer;
};

TEST(WindowsMessageBoxes, ShowExactTitlesTextsAndButtons) {
  const BoxCase cases[] = {
      {RM_DUPLICATE_KEY, 40, "TABLNK", "Site Location", {"OK"}, "OK", RA_OK},
      {RM_UPDATE_RETRY, 0, nullptr, nullptr, {"Yes", "No", "Cancel"}, "No", RA_NO},
      {RM_DELETE_RETRY, 0, nullptr, nullptr, {"Yes", "No", "Cancel"}, "Yes", RA_YES},
      {RM_CHANGED_BY_OTHER, 89, "TABLNK", nullptr, {"OK"}, "OK", RA_OK},
      {RM_TRANSACTION_FRAMING, 32, "Categories", "Update", {"OK"}, "OK", RA_OK},
      {RM_CONFIRM_DELETE, 0, nullptr, nullptr, {"OK", "Cancel"}, "Cancel", RA_CANCEL},
      {RM_INVALID_KEY, 46, "TABLNK", nullptr, {"Yes", "No"}, "Yes", RA_YES},
      {RM_FILE_ACCESS, 90, "History", nullptr, {"OK", "Cancel"}, "OK", RA_OK},
  };
  for (const BoxCase& c : cases) {
    RecordMessage m;
    ASSERT_EQ(1, FormatRecordMessage(c.id, c.error, c.file, c.detail, &m));
    SeenBox seen;
    std::atomic<bool> found{false}, done{false};
    std::thread answer(AnswerBox, m.title, c.press, &seen, &found, &done);
    int got = RecordPrompt(c.id, c.error, c.file, c.detail);
    done = true;
    answer.join();
    ASSERT_TRUE(found.load()) << "no box titled " << m.title;
    EXPECT_EQ(std::string(m.text), seen.text) << m.title;
    EXPECT_EQ(c.buttons, seen.buttons) << m.title;
    EXPECT_EQ(c.answer, got) << m.title;
  }
}

}  // namespace
