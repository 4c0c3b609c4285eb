/* Computations that run both as ARM/Thumb firmware on the simulated core and natively
   on the host, so that the two sets of results can be compared word for word. */
#ifndef VANTREL_TEST_FIRMWARE_WORKLOAD_H
#define VANTREL_TEST_FIRMWARE_WORKLOAD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { kWorkloadMaxWords = 96 };

/* ARM-state half (workload_arm.c). Fills out[] and returns the number of words. */
uint32_t run_workload(uint32_t* out);
uint32_t swi_service(uint32_t number, uint32_t a, uint32_t b);
uint32_t arm_scramble(uint32_t value);

/* Libgcc-free ARM-state checks (workload_portable.c) for the big-endian program. */
uint32_t run_portable_workload(uint32_t* out);

/* Thumb-state half (workload_thumb.c, workload_thumb_wide.c), called from ARM code. */
uint32_t thumb_crc32(const uint8_t* data, uint32_t length);
void thumb_sort(int32_t* values, uint32_t count);
uint32_t thumb_apply(uint32_t (*fn)(uint32_t), uint32_t value, uint32_t times);
uint32_t thumb_divide_mix(int32_t a, int32_t b);
uint64_t thumb_wide_mix(uint64_t a, uint32_t shift);
uint32_t thumb_halfword_sum(const int16_t* values, uint32_t count);
uint32_t thumb_string_score(const char* text);

#ifdef __cplusplus
}
#endif

#endif
