// Transactions, concurrency and recovery of the keyed store: commit and
// rollback over several files, other threads waiting for a transaction, the
// 2-second wait, changes by another station (89), two processes racing, and
// files left by a transaction interrupted at each step of its commit.
#include "sitelist/records/keyed_store.h"
#include "sitelist/records/record_files.h"
#include "sitelist/records/tests/test_support.h"

#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class TxnTest : public RecordsDirTest {
protected:
  void SetUp() override {
    RecordsDirTest::SetUp();
    for (const KsFileDecl* d : {&Categories_Decl, &CatHTML_Decl, &TABLNK_Decl}) ASSERT_EQ(KS_OK, ks_create(d, nullptr));
    Open();
  }
  void TearDown() override {
    Close();
    RecordsDirTest::TearDown();
  }
  void Open() {
    ASSERT_EQ(KS_OK, ks_open(&Categories_Decl, nullptr, KS_SHARED, &cat_));
    ASSERT_EQ(KS_OK, ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &htm_));
    ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &url_));
  }
  void Close() {
    for (KsFile** f : {&cat_, &htm_, &url_}) {
      if (*f) ks_close(*f);
      *f = nullptr;
    }
  }
  uint32_t Count(KsFile* f) {
    uint32_t n = 0;
    EXPECT_EQ(KS_OK, ks_count(f, &n));
    return n;
  }
  // One change in each of the three files, inside the transaction t.
  void ChangeAll(const char* name) {
    CategoryRecord c = MakeCategory(name);
    ASSERT_EQ(KS_OK, ks_add(cat_, &c));
    CatHtmlRecord t = MakeText(name, "Before Category", "<hr>");
    ASSERT_EQ(KS_OK, ks_add(htm_, &t));
    std::string loc = std::string("http://") + name + "/";
    SiteRecord s = MakeSite(loc.c_str(), name, name, 1, "http");
    ASSERT_EQ(KS_OK, ks_add(url_, &s));
  }
  KsFile* cat_ = nullptr;
  KsFile* htm_ = nullptr;
  KsFile* url_ = nullptr;
};

TEST_F(TxnTest, CommitMakesEveryFileChangeLastAndRollbackUndoesAll) {
  SiteRecord keep = MakeSite("http://keep/", "Keep", "Old", 3, "http");
  ASSERT_EQ(KS_OK, ks_add(url_, &keep));
  KsFile* files[] = {cat_, htm_, url_};
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(files, 3, 2000, &t));
  ChangeAll("one");
  ASSERT_EQ(KS_OK, ks_commit(t));

  ASSERT_EQ(KS_OK, ks_begin(files, 3, 2000, &t));
  ChangeAll("two");
  SET_FIELD(keep.Description, "Changed");
  ASSERT_EQ(KS_OK, ks_put(url_, &keep));
  SiteRecord one;
  ks_clear(&TABLNK_Decl, &one);
  SET_FIELD(one.Location, "http://one/");
  ASSERT_EQ(KS_OK, ks_get(url_, URL_K_Location, &one));
  ASSERT_EQ(KS_OK, ks_delete(url_, &one));
  EXPECT_EQ(2u, Count(url_));  // the transaction sees its own changes
  ASSERT_EQ(KS_OK, ks_rollback(t));

  for (int reopen = 0; reopen < 2; reopen++) {
    EXPECT_EQ(1u, Count(cat_));
    EXPECT_EQ(1u, Count(htm_));
    EXPECT_EQ(
        (std::vector<std::string>{"http://keep/", "http://one/"}),
        ReadAll<SiteRecord>(url_, URL_K_Location, nullptr, [](const SiteRecord& s) { return Field(s.Location); }));
    SiteRecord k;
    ks_clear(&TABLNK_Decl, &k);
    SET_FIELD(k.Location, "http://keep/");
    ASSERT_EQ(KS_OK, ks_get(url_, URL_K_Location, &k));
    EXPECT_EQ("Keep", Field(k.Description));
    Close();
    Open();
  }
}

TEST_F(TxnTest, OtherThreadsWaitForTheTransaction) {
  KsFile* files[] = {url_};
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(files, 1, 2000, &t));
  SiteRecord s = MakeSite("http://inside/", "in", "", 0, "");
  ASSERT_EQ(KS_OK, ks_add(url_, &s));
  std::atomic<bool> committed{false};
  std::atomic<int> seen{-1};
  std::thread other([&] {
    uint32_t n = 0;
    ks_count(url_, &n);
    seen = committed ? (int)n : -2;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  committed = true;
  ASSERT_EQ(KS_OK, ks_commit(t));
  other.join();
  EXPECT_EQ(1, seen.load());
}

TEST_F(TxnTest, ASecondTransactionWaitsTwoSecondsThenReportsLocked) {
  KsFile* other = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &other));
  KsFile* mine[] = {url_};
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(mine, 1, 2000, &t));
  KsFile* theirs[] = {cat_, other};
  KsTxn* u = nullptr;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KS_ERR_LOCKED, ks_begin(theirs, 2, 2000, &u));
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 1.9);
  EXPECT_EQ(nullptr, u);
  // The failed begin let go of the file it had: a third transaction gets it.
  KsFile* cats[] = {cat_};
  ASSERT_EQ(KS_OK, ks_begin(cats, 1, 0, &u));
  ASSERT_EQ(KS_OK, ks_commit(u));
  ASSERT_EQ(KS_OK, ks_commit(t));
  ASSERT_EQ(KS_OK, ks_begin(theirs, 2, 2000, &u));
  ASSERT_EQ(KS_OK, ks_rollback(u));
  ks_close(other);
}

TEST_F(TxnTest, APutOverAnotherStationsNewerChangeFails) {
  KsFile* station2 = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &station2));
  SiteRecord s = MakeSite("http://shared/", "v1", "", 0, "");
  ASSERT_EQ(KS_OK, ks_add(url_, &s));
  SiteRecord mine, theirs;
  ks_clear(&TABLNK_Decl, &mine);
  SET_FIELD(mine.Location, "http://shared/");
  theirs = mine;
  ASSERT_EQ(KS_OK, ks_get(url_, URL_K_Location, &mine));
  ASSERT_EQ(KS_OK, ks_get(station2, URL_K_Location, &theirs));
  SET_FIELD(theirs.Description, "theirs");
  ASSERT_EQ(KS_OK, ks_put(station2, &theirs));
  SET_FIELD(mine.Description, "mine");
  EXPECT_EQ(KS_ERR_CHANGED, ks_put(url_, &mine));
  EXPECT_EQ(KS_ERR_CHANGED, ks_delete(url_, &mine));
  // Read again, the change goes through; now the other station is behind.
  ASSERT_EQ(KS_OK, ks_get(url_, URL_K_Location, &mine));
  EXPECT_EQ("theirs", Field(mine.Description));
  SET_FIELD(mine.Description, "mine");
  EXPECT_EQ(KS_OK, ks_put(url_, &mine));
  EXPECT_EQ(KS_ERR_CHANGED, ks_put(station2, &theirs));
  SiteRecord copy = mine;
  ASSERT_EQ(KS_OK, ks_delete(station2, &copy));  // station2 deletes the current version
  EXPECT_EQ(0u, copy.Tag.id);
  EXPECT_EQ(KS_ERR_CHANGED, ks_put(url_, &mine));  // deleted by another station
  ks_close(station2);
}

// Two processes each read a counter site and write it back incremented; every
// write that overlaps another's fails with 89, so no increment is lost.
TEST_F(TxnTest, TwoProcessesRacingLoseNoUpdate) {
  SiteRecord s = MakeSite("http://counter/", "0", "", 0, "");
  ASSERT_EQ(KS_OK, ks_add(url_, &s));
  Close();
  const int kRounds = 1000;
  int pipes[2][2], go[2];
  ASSERT_EQ(0, pipe(go));
  pid_t pids[2];
  for (int p = 0; p < 2; p++) {
    ASSERT_EQ(0, pipe(pipes[p]));
    pids[p] = fork();
    if (pids[p] == 0) {
      KsFile* f = nullptr;
      if (ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f) != KS_OK) _exit(2);
      char c;
      if (read(go[0], &c, 1) != 1) _exit(6);  // start together
      int ok = 0, changed = 0;
      for (int i = 0; i < kRounds; i++) {
        SiteRecord r;
        ks_clear(&TABLNK_Decl, &r);
        SET_FIELD(r.Location, "http://counter/");
        if (ks_get(f, URL_K_Location, &r) != KS_OK) _exit(3);
        char buf[16];
        GetField(r.Description, sizeof r.Description, buf, sizeof buf);
        snprintf(buf, sizeof buf, "%d", atoi(buf) + 1);
        SET_FIELD(r.Description, buf);
        if (i % 2) usleep(20);  // a window for the other process, as a user's editing would be
        int rc = ks_put(f, &r);
        if (rc == KS_OK) ok++;
        else if (rc == KS_ERR_CHANGED) changed++;
        else _exit(4);
      }
      ks_close(f);
      int out[2] = {ok, changed};
      if (write(pipes[p][1], out, sizeof out) != (ssize_t)sizeof out) _exit(5);
      _exit(0);
    }
  }
  ASSERT_EQ(2, write(go[1], "gg", 2));
  close(go[0]);
  close(go[1]);
  int total_ok = 0, total_changed = 0;
  for (int p = 0; p < 2; p++) {
    int status = 0;
    waitpid(pids[p], &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    int got[2];
    ASSERT_EQ((ssize_t)sizeof got, read(pipes[p][0], got, sizeof got));
    total_ok += got[0];
    total_changed += got[1];
    close(pipes[p][0]);
    close(pipes[p][1]);
  }
  EXPECT_EQ(2 * kRounds, total_ok + total_changed);
  EXPECT_GT(total_changed, 0);  // they did overlap
  Open();
  SiteRecord r;
  ks_clear(&TABLNK_Decl, &r);
  SET_FIELD(r.Location, "http://counter/");
  ASSERT_EQ(KS_OK, ks_get(url_, URL_K_Location, &r));
  EXPECT_EQ(std::to_string(total_ok), Field(r.Description));
  printf("racing: %d puts succeeded, %d failed with 89\n", total_ok, total_changed);
}

// A station that holds the file open sees another station's change as soon
// as that change has returned.
TEST_F(TxnTest, AnotherProcessSeesEveryChangeOnceItReturned) {
  int go[2], done[2];
  ASSERT_EQ(0, pipe(go));
  ASSERT_EQ(0, pipe(done));
  pid_t pid = fork();
  if (pid == 0) {
    KsFile* f = nullptr;
    if (ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &f) != KS_OK) _exit(2);
    for (uint32_t expected = 1; expected <= 50; expected++) {
      char c;
      if (read(go[0], &c, 1) != 1) _exit(3);
      uint32_t n = 0;
      if (ks_count(f, &n) != KS_OK || n != expected) _exit(10);
      SiteRecord s;
      ks_clear(&TABLNK_Decl, &s);
      std::string loc = "http://p" + std::to_string(expected) + "/";
      SET_FIELD(s.Location, loc.c_str());
      if (ks_get(f, URL_K_Location, &s) != KS_OK) _exit(11);
      if (write(done[1], &c, 1) != 1) _exit(4);
    }
    ks_close(f);
    _exit(0);
  }
  for (int i = 1; i <= 50; i++) {
    std::string loc = "http://p" + std::to_string(i) + "/";
    SiteRecord s = MakeSite(loc.c_str(), "p", "", 0, "");
    ASSERT_EQ(KS_OK, ks_add(url_, &s));
    char c = 'g';
    ASSERT_EQ(1, write(go[1], &c, 1));
    ASSERT_EQ(1, read(done[0], &c, 1)) << "the other process failed at change " << i;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {go[0], go[1], done[0], done[1]}) close(fd);
}

TEST_F(TxnTest, ThreadsAndHandlesAddingAtOnceKeepEveryKeyConsistent) {
  KsFile* second = nullptr;
  ASSERT_EQ(KS_OK, ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &second));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++) {
    threads.emplace_back([&, t] {
      KsFile* f = t % 2 ? second : url_;
      for (int i = 0; i < 150; i++) {
        char loc[64], desc[32];
        snprintf(loc, sizeof loc, "http://t%d-%d/", t, i);
        snprintf(desc, sizeof desc, "d%03d", i);
        SiteRecord s = MakeSite(loc, desc, t % 2 ? "Odd" : "Even", i % 11, "http");
        EXPECT_EQ(KS_OK, ks_add(f, &s));
      }
    });
  }
  for (auto& th : threads) th.join();
  for (KsFile* f : {url_, second}) {
    EXPECT_EQ(600u, Count(f));
    for (int k = 0; k < TABLNK_Decl.nkeys; k++) EXPECT_EQ(600u, SiteOrder(f, k).size()) << k;
  }
  ks_close(second);
}

// A child process makes one change in each file in one transaction and ends
// at the given step of its commit.
static void CrashDuringCommit(int step) {
  static int stop_at;
  stop_at = step;
  pid_t pid = fork();
  if (pid == 0) {
    KsFile *c = nullptr, *h = nullptr, *u = nullptr;
    if (ks_open(&Categories_Decl, nullptr, KS_SHARED, &c) || ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &h) ||
        ks_open(&TABLNK_Decl, nullptr, KS_SHARED, &u))
      _exit(2);
    ks_debug_commit_hook([](int s) {
      if (s == stop_at) _exit(0);
    });
    KsFile* files[] = {c, h, u};
    KsTxn* t = nullptr;
    if (ks_begin(files, 3, 2000, &t) != KS_OK) _exit(3);
    CategoryRecord cr = MakeCategory("crash");
    CatHtmlRecord tr = MakeText("crash", "After Category", "<p>");
    SiteRecord sr = MakeSite("http://crash/", "crash", "crash", 0, "http");
    if (ks_add(c, &cr) || ks_add(h, &tr) || ks_add(u, &sr)) _exit(4);
    ks_commit(t);
    _exit(5);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  ASSERT_EQ(0, WEXITSTATUS(status));
}

struct InterruptCase {
  int step;
  uint32_t expected;  // records in each file afterwards
};

TEST_F(TxnTest, AnInterruptedTransactionIsSettledAllOrNothing) {
  const InterruptCase cases[] = {{1, 0}, {2, 1}};
  for (const InterruptCase& c : cases) {
    Close();
    for (const KsFileDecl* d : {&Categories_Decl, &CatHTML_Decl, &TABLNK_Decl}) ASSERT_EQ(KS_OK, ks_create(d, nullptr));
    CrashDuringCommit(c.step);
    KsFile* f = nullptr;
    EXPECT_EQ(KS_ERR_LOCKED, ks_open(&CatHTML_Decl, nullptr, KS_SHARED, &f)) << c.step;
    EXPECT_EQ(KS_OK, ks_recover(&CatHTML_Decl, nullptr, 10000));
    EXPECT_EQ(KS_OK, ks_recover(&TABLNK_Decl, nullptr, 10000));
    Open();
    EXPECT_EQ(c.expected, Count(cat_)) << c.step;
    EXPECT_EQ(c.expected, Count(htm_)) << c.step;
    EXPECT_EQ(c.expected, Count(url_)) << c.step;
  }
}

TEST_F(TxnTest, AnOpenHandleSettlesAnInterruptedTransactionByItself) {
  CrashDuringCommit(2);
  EXPECT_EQ(1u, Count(url_));  // the pending batch is settled as committed on the next look
  EXPECT_EQ(1u, Count(htm_));
  EXPECT_EQ(1u, Count(cat_));
  SiteRecord s = MakeSite("http://after/", "after", "", 0, "");
  EXPECT_EQ(KS_OK, ks_add(url_, &s));
  Close();
  Open();
  EXPECT_EQ(2u, Count(url_));
}

TEST_F(TxnTest, InjectedFailuresInsideATransactionChangeNothing) {
  KsFile* files[] = {url_};
  KsTxn* t = nullptr;
  ASSERT_EQ(KS_OK, ks_begin(files, 1, 2000, &t));
  ks_debug_fail_after(2);
  SiteRecord a = MakeSite("http://a/", "a", "", 0, "");
  SiteRecord b = MakeSite("http://b/", "b", "", 0, "");
  EXPECT_EQ(KS_OK, ks_add(url_, &a));
  EXPECT_EQ(KS_ERR_IO, ks_add(url_, &b));
  ks_debug_fail_after(0);
  ASSERT_EQ(KS_OK, ks_rollback(t));
  EXPECT_EQ(0u, Count(url_));
}

}  // namespace
