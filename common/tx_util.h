// Tiny helpers that every deliverable uses: the element count of an array and a
// bounded copy into a fixed-capacity text buffer (capacity includes the zero).
// Portable and header-only: no Windows header, nothing to link.
#ifndef TX_COMMON_TX_UTIL_H
#define TX_COMMON_TX_UTIL_H

#include <stddef.h>
#include <string.h>

#ifdef __cplusplus
// Declared only: ARRAY_SIZE takes the size of its result type, which exists for
// arrays alone, so handing it a pointer fails to compile instead of giving 1 or 2.
template <typename T, size_t N>
char (&txArraySizeHelper(T (&array)[N]))[N];
#define ARRAY_SIZE(a) (sizeof(txArraySizeHelper(a)))
#else
#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))
#endif

// Copies src into dst, which holds size bytes including the terminating zero:
// at most size - 1 characters are taken and dst is always zero-ended (nothing is
// written when size is 0). Returns 1 when all of src fitted, 0 when it was cut.
static inline int copyBounded(char *dst, size_t size, const char *src) {
  if (size == 0) { return 0; }
  size_t n = strlen(src);
  int whole = 1;
  if (n > size - 1) {
    n = size - 1;
    whole = 0;
  }
  memcpy(dst, src, n);
  dst[n] = '\0';
  return whole;
}

#endif
