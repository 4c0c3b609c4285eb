/* The demo program's ARM half: sums a table, then loops forever checksumming it in
   Thumb code and recording each round in `results`. A debugger breaks into the loop at
   record_result() or fibonacci(). */
#include "demo.h"

struct demo_results results;

/* 4 KiB of constants, so that downloading the image takes a moment. */
#define V(i) ((i) * (i) + 1u)
#define R4(i) V(i), V(i + 1), V(i + 2), V(i + 3)
#define R16(i) R4(i), R4(i + 4), R4(i + 8), R4(i + 12)
#define R64(i) R16(i), R16(i + 16), R16(i + 32), R16(i + 48)
#define R256(i) R64(i), R64(i + 64), R64(i + 128), R64(i + 192)
const uint32_t table[DEMO_TABLE_WORDS] = {R256(0u), R256(256u), R256(512u), R256(768u)};

/* Called from Thumb code: interworking in the other direction. */
uint32_t rotate_left(uint32_t value, uint32_t bits)
{
    bits &= 31;
    return bits == 0 ? value : (value << bits) | (value >> (32 - bits));
}

/* Kept out of line so it has an address to break on; r0 and r1 hold its arguments. */
__attribute__((noinline)) void record_result(uint32_t round, uint32_t sum)
{
    results.iterations = round;
    results.last_checksum = sum;
}

static void sum_table(void)
{
    uint32_t sum = 0;
    for (uint32_t i = 0; i < DEMO_TABLE_WORDS; ++i) sum += table[i];
    results.table_sum = sum;
}

int main(void)
{
    /* Word stores: a byte loop would become a memcpy call, and there is no C library. */
    results.magic[0] = 0x55534552; /* "RESU" */
    results.magic[1] = 0x0053544C; /* "LTS\0" */
    sum_table();
    for (uint32_t round = 1;; ++round) {
        record_result(round, checksum(table, DEMO_TABLE_WORDS) ^ round);
        results.fibonacci = fibonacci(round % 40);
    }
}
