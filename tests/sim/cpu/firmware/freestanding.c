/* The few C library routines the compiler may call for copies and clears. The loops
   must not be turned back into calls to themselves. */
#include <stddef.h>
#include <stdint.h>

#define NO_PATTERN_CALLS __attribute__((optimize("no-tree-loop-distribute-patterns")))

NO_PATTERN_CALLS void* memcpy(void* dst, const void* src, size_t n) {
  uint8_t* d = dst;
  const uint8_t* s = src;
  while (n-- > 0) *d++ = *s++;
  return dst;
}

NO_PATTERN_CALLS void* memmove(void* dst, const void* src, size_t n) {
  uint8_t* d = dst;
  const uint8_t* s = src;
  if (d < s) {
    while (n-- > 0) *d++ = *s++;
  } else {
    while (n-- > 0) d[n] = s[n];
  }
  return dst;
}

NO_PATTERN_CALLS void* memset(void* dst, int value, size_t n) {
  uint8_t* d = dst;
  while (n-- > 0) *d++ = (uint8_t)value;
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const uint8_t* x = a;
  const uint8_t* y = b;
  for (size_t i = 0; i < n; ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}
