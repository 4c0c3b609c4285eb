/* The demo program: ARM code in demo_main.c, Thumb code in demo_thumb.c, each calling
   the other. */
#ifndef DEMO_H
#define DEMO_H

#include <stdint.h>

#define DEMO_TABLE_WORDS 1024

/* Left in memory at the symbol `results`, for the debugger to read. */
struct demo_results {
    uint32_t magic[2];      /* "RESULTS" in memory */
    uint32_t iterations;    /* rounds of the main loop recorded so far */
    uint32_t last_checksum; /* checksum() of the table in the last round */
    uint32_t fibonacci;     /* fibonacci(iterations) */
    uint32_t table_sum;     /* sum of the table, computed once at start */
};

extern struct demo_results results;
extern const uint32_t table[DEMO_TABLE_WORDS]; /* i * i + 1, in the image */

/* Thumb */
uint32_t checksum(const uint32_t *words, uint32_t count);
uint32_t fibonacci(uint32_t n);
/* ARM, called from Thumb code */
uint32_t rotate_left(uint32_t value, uint32_t bits);

#endif
