// Benchmark of the verified copy: a 200 MB product in files from 1 KB to 50 MB is
// copied with length and check-sum verification, beside `cp` of the same files
// followed by a checksum pass (`cksum`) over the copies, in the same run. Prints MB/s
// of both and their ratio. Usage: txsetup_copy_bench [work directory]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "setup/control_sums.h"
#include "setup/tests/posix_file_system.h"
#include "setup/verified_copy.h"

// Processor time (user and system) of this process or of its waited-for children.
static double cpu(int who) {
  struct rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

static double now() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

struct Item {
  std::string name;
  long long size;
  uint8_t sums[kSumCount];
};

int main(int argc, char **argv) {
  std::string work = argc > 1 ? argv[1] : "/tmp/txsetup-bench";
  std::string cmd = "rm -rf '" + work + "' && mkdir -p '" + work + "/src' '" + work + "/dst' '" + work + "/cp'";
  if (system(cmd.c_str()) != 0) return 1;
  const FileSystemApi *fs = posixFileSystem(work.c_str());

  // Sizes from 1 KB to 50 MB adding up to about 200 MB.
  std::vector<long long> sizes = {50LL << 20, 40LL << 20, 30LL << 20, 20LL << 20, 20LL << 20,
                                  10LL << 20, 10LL << 20, 5LL << 20,  5LL << 20};
  for (int i = 0; i < 5; ++i) sizes.push_back(1LL << 20 | (i * 1000));
  for (int i = 0; i < 300; ++i) sizes.push_back(1024 + i * 97);
  std::vector<Item> items;
  long long total = 0;
  std::vector<unsigned char> buffer(1 << 20);
  unsigned seed = 1;
  for (size_t i = 0; i < sizes.size(); ++i) {
    Item it;
    it.name = "f" + std::to_string(i) + ".bin";
    it.size = sizes[i];
    SumAccumulator a;
    sumStart(&a);
    FILE *f = fopen((work + "/src/" + it.name).c_str(), "wb");
    for (long long left = it.size; left > 0;) {
      size_t n = (size_t)std::min<long long>(left, (long long)buffer.size());
      for (size_t k = 0; k < n; ++k) buffer[k] = (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16);
      fwrite(buffer.data(), 1, n, f);
      sumAdd(&a, buffer.data(), n);
      left -= (long long)n;
    }
    fclose(f);
    memcpy(it.sums, a.sums, kSumCount);
    items.push_back(it);
    total += it.size;
  }
  double mb = total / 1048576.0;
  double best = 1e9, bestPeer = 1e9, bestCpu = 1e9, bestPeerCpu = 1e9;
  // Best of five rounds each, in turns; before each timed part the dirty pages of the
  // last one are written out, so that neither pays for the other's write-back.
  std::string settle = "rm -f '" + work + "'/dst/* '" + work + "'/cp/* && sync";
  for (int round = 0; round < 5; ++round) {
    if (system(settle.c_str()) != 0) return 1;
    double t = now(), c = cpu(RUSAGE_SELF);
    for (const Item &it : items) {
      std::string from = "C:\\src\\" + it.name, to = "C:\\dst\\" + it.name;
      if (copyVerified(fs, nullptr, nullptr, from.c_str(), to.c_str(), it.size, it.sums, 1) != kCopyDone) {
        fprintf(stderr, "copy of %s failed\n", it.name.c_str());
        return 1;
      }
    }
    best = std::min(best, now() - t);
    bestCpu = std::min(bestCpu, cpu(RUSAGE_SELF) - c);
    if (system(settle.c_str()) != 0) return 1;
    t = now();
    c = cpu(RUSAGE_CHILDREN);
    std::string peer = "cp '" + work + "'/src/* '" + work + "/cp/' && cksum '" + work + "'/cp/* > /dev/null";
    if (system(peer.c_str()) != 0) return 1;
    bestPeer = std::min(bestPeer, now() - t);
    bestPeerCpu = std::min(bestPeerCpu, cpu(RUSAGE_CHILDREN) - c);
  }
  printf("files: %zu, %.1f MB\n", items.size(), mb);
  printf("verified copy:  %.1f MB/s\n", mb / best);
  printf("cp + cksum:     %.1f MB/s\n", mb / bestPeer);
  printf("ratio (verified copy / cp+cksum): %.2f\n", bestPeer / best);
  // On a busy machine the clock measures the others too; the processor time each side
  // spent is the steadier figure.
  printf("processor time: verified copy %.2f s, cp + cksum %.2f s, ratio %.2f\n", bestCpu, bestPeerCpu,
         bestPeerCpu / bestCpu);
  system(("rm -rf '" + work + "'").c_str());
  return 0;
}
