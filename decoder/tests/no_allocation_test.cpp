// Decoding allocates no memory: counts calls of the global allocation
// functions around dbInitDecoder and dbDecode.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "decoder/interface.h"
#include "decoder/tests/test_frames.h"

static std::atomic<long> g_allocations{0};

void* operator new(std::size_t n) {
  g_allocations++;
  void* p = std::malloc(n ? n : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define TX_COUNT_MALLOC 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define TX_COUNT_MALLOC 1
#endif
#endif

#ifdef TX_COUNT_MALLOC
// glibc's own entry points; the C allocation calls of the decoder would land here.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t n) {
  g_allocations++;
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t a, size_t b) {
  g_allocations++;
  return __libc_calloc(a, b);
}
extern "C" void* realloc(void* p, size_t n) {
  g_allocations++;
  return __libc_realloc(p, n);
}
#endif

TEST(NoAllocation, DecodingAllocatesNothing) {
  static short pcm[3072];
  static unsigned char bad[3840];
  // Warm up whatever the test framework allocates lazily.
  long before = g_allocations.load();
  int spf = 0;
  ASSERT_EQ(dbInitDecoder(44100, 2, &spf), 0);
  for (int round = 0; round < 3; round++) {
    for (const auto& frame : kStereoFrames) ASSERT_EQ(dbDecode(frame, pcm, 1), 0);
    ASSERT_EQ(dbDecode(nullptr, pcm, 0), 0);
    ASSERT_EQ(dbDecode(bad, pcm, 1), 0);
  }
  ASSERT_EQ(dbInitDecoder(32000, 1, &spf), 0);
  for (const auto& frame : kMonoFrames) ASSERT_EQ(dbDecode(frame, pcm, 1), 0);
  dbFreeDecoder();
  long after = g_allocations.load();
  EXPECT_EQ(after - before, 0);
  // The counter itself works:
  std::vector<int>* probe = new std::vector<int>(3);
  EXPECT_GT(g_allocations.load(), after);
  delete probe;
}
