/* Thumb-state division and 64-bit shifts, through libgcc's helpers. */
#include "workload.h"

uint32_t thumb_divide_mix(int32_t a, int32_t b) {
  const int32_t q = a / b;
  const int32_t r = a % b;
  const uint32_t uq = (uint32_t)a / (uint32_t)b;
  return (uint32_t)q * 31u + (uint32_t)r * 7u + uq;
}

uint64_t thumb_wide_mix(uint64_t a, uint32_t shift) {
  const uint64_t left = a << (shift & 63u);
  const uint64_t right = a >> ((shift * 3u) & 63u);
  const int64_t arithmetic = (int64_t)a >> (shift & 31u);
  return (left ^ right) + (uint64_t)arithmetic;
}
