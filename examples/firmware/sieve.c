/* A sieve of Eratosthenes that leaves the primes below 4096 in memory at `primes`,
   their count in `prime_count`, calls sieve_done(), then counts rounds in `rounds`
   forever. ARM code. */
#include <stdint.h>

#define LIMIT 4096

static uint8_t composite[LIMIT];
uint32_t primes[600];
volatile uint32_t prime_count;
volatile uint32_t rounds;

static void sieve(void)
{
    uint32_t count = 0;
    for (uint32_t n = 2; n < LIMIT; ++n) {
        if (composite[n]) continue;
        primes[count++] = n;
        for (uint32_t m = n * n; m < LIMIT; m += n) composite[m] = 1;
    }
    prime_count = count;
}

/* Kept out of line so a debugger can stop the program when the primes are ready. */
__attribute__((noinline)) void sieve_done(void)
{
    __asm__ volatile("" ::: "memory");
}

int main(void)
{
    sieve();
    sieve_done();
    for (;;) ++rounds;
}
