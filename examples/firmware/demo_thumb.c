/* The demo program's Thumb half, called from ARM code and calling back into it. */
#include "demo.h"

uint32_t checksum(const uint32_t *words, uint32_t count)
{
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) sum = rotate_left(sum, 5) ^ words[i];
    return sum;
}

uint32_t fibonacci(uint32_t n)
{
    uint32_t a = 0, b = 1;
    while (n-- > 0) {
        uint32_t next = a + b;
        a = b;
        b = next;
    }
    return a;
}
