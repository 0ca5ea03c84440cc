// Crash test: a writer process is killed with SIGKILL at random instants,
// hundreds of times; after each kill the files open cleanly (settling an
// interrupted transaction by the opening rule), hold every acknowledged
// operation, and hold transactions whole or not at all.
#include "sitelist/records/tests/crash_model.h"
#include "sitelist/records/tests/test_support.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TX_SLOW_BUILD 1
#endif
#endif
#ifdef TX_SLOW_BUILD
const int kKills = 120;
#else
const int kKills = 300;
#endif

class CrashTest : public RecordsDirTest {};

[[noreturn]] void Writer(int first, int ack_fd) {
  KsFile *cat, *htm, *url;
  if (OpenCrashFiles(&cat, &htm, &url, nullptr) != KS_OK) _exit(2);
  for (int n = first;; n++) {
    if (RunCrashOp(cat, htm, url, n) != KS_OK) _exit(3);
    if (write(ack_fd, &n, sizeof n) != (ssize_t)sizeof n) _exit(4);
  }
}

TEST_F(CrashTest, KilledWritersLoseNothingAcknowledged) {
  std::mt19937 rng(12345);
  CrashModel model;
  int next = 0, acked_total = 0, recovered = 0;
  for (int kill_no = 0; kill_no < kKills; kill_no++) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      Writer(next, fds[1]);
    }
    close(fds[1]);
    // Let it get going (its first acknowledgement), then kill it at a random instant.
    int n, last = next - 1;
    struct pollfd pfd = {fds[0], POLLIN, 0};
    bool first = poll(&pfd, 1, 10000) == 1 && read(fds[0], &n, sizeof n) == (ssize_t)sizeof n;
    usleep(std::uniform_int_distribution<int>(0, 12000)(rng));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << status;
    ASSERT_TRUE(first) << "the writer acknowledged nothing";
    ASSERT_EQ(next, n);
    model.Apply(n, true);
    last = n;
    acked_total++;
    while (read(fds[0], &n, sizeof n) == (ssize_t)sizeof n) {
      ASSERT_EQ(last + 1, n);
      model.Apply(n, true);
      last = n;
      acked_total++;
    }
    close(fds[0]);
    model.Apply(last + 1, false);  // perhaps done, perhaps not
    next = last + 2;
    KsFile *cat, *htm, *url;
    ASSERT_EQ(KS_OK, OpenCrashFiles(&cat, &htm, &url, &recovered)) << "after kill " << kill_no;
    std::string problem = model.Check(cat, htm, url);
    ks_close(cat);
    ks_close(htm);
    ks_close(url);
    ASSERT_EQ("", problem) << "after kill " << kill_no;
  }
  printf("crash test: %d kills, %d acknowledged operations, %d interrupted transactions recovered\n", kKills,
         acked_total, recovered);
  EXPECT_GT(acked_total, kKills);
}

}  // namespace
