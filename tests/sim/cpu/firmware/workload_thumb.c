/* The Thumb-state half of the workload: byte, halfword and signed loads, sorting and
   calls back into ARM code through a function pointer. Nothing here needs libgcc, so
   the big-endian program can use it too. */
#include "workload.h"

uint32_t thumb_crc32(const uint8_t* data, uint32_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void thumb_sort(int32_t* values, uint32_t count) {
  for (uint32_t i = 1; i < count; ++i) {
    const int32_t v = values[i];
    uint32_t j = i;
    while (j > 0 && values[j - 1] > v) {
      values[j] = values[j - 1];
      --j;
    }
    values[j] = v;
  }
}

uint32_t thumb_apply(uint32_t (*fn)(uint32_t), uint32_t value, uint32_t times) {
  for (uint32_t i = 0; i < times; ++i) value = fn(value) + i;
  return value;
}

uint32_t thumb_halfword_sum(const int16_t* values, uint32_t count) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t value = values[i];
    sum = sum * 3u + (uint32_t)value;
  }
  return sum;
}

uint32_t thumb_string_score(const char* text) {
  uint32_t score = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const int32_t c = (signed char)*p;
    score = (score << 5) - score + (uint32_t)c;
  }
  return score;
}
