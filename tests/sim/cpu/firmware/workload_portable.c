/* Checks that need no libgcc helper, so that they also run as a big-endian program,
   plus probes whose results depend on the byte order. */
#include "workload.h"

static uint32_t Next(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

uint32_t run_portable_workload(uint32_t* out) {
  uint32_t n = 0;
  uint32_t seed = 0xC0FFEEu;

  uint8_t bytes[120];
  for (uint32_t i = 0; i < sizeof bytes; ++i) bytes[i] = (uint8_t)Next(&seed);
  out[n++] = thumb_crc32(bytes, sizeof bytes);

  int32_t values[20];
  for (uint32_t i = 0; i < 20; ++i) values[i] = (int32_t)(Next(&seed) & 0xFFFFu) - 0x8000;
  thumb_sort(values, 20);
  uint32_t folded = 0;
  for (uint32_t i = 0; i < 20; ++i) folded = folded * 31u + (uint32_t)values[i];
  out[n++] = folded;

  int16_t halves[16];
  for (uint32_t i = 0; i < 16; ++i) halves[i] = (int16_t)(uint16_t)Next(&seed);
  out[n++] = thumb_halfword_sum(halves, 16);
  out[n++] = thumb_string_score("Big-endian and little-endian agree on this text");

  /* The byte order shows in these: the host test expects the program's own. */
  static const uint32_t kWord = 0x11223344u;
  out[n++] = ((const volatile uint8_t*)&kWord)[0];
  out[n++] = ((const volatile uint16_t*)&kWord)[1];
  volatile uint32_t assembled = 0;
  ((volatile uint8_t*)&assembled)[3] = 0xAB;
  out[n++] = assembled;
  return n;
}
