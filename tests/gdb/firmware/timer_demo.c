/* Work in a loop while the board's timer interrupts it: the handler counts in `ticks`.
   A debugger steps through work() and sees ticks stand still; a continue lets it run. */
#include <stdint.h>

#define TIMER_ACKNOWLEDGE (*(volatile uint32_t *)0xE0000000u)

volatile uint32_t ticks;
volatile uint32_t total;

void __attribute__((interrupt("IRQ"))) timer_irq(void)
{
    TIMER_ACKNOWLEDGE = 1;
    ticks++;
}

__attribute__((noinline)) uint32_t work(uint32_t n)
{
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        sum += i * 3;
    }
    return sum;
}

int main(void)
{
    __asm volatile("msr cpsr_c, #0x13"); /* IRQ on */
    for (;;) {
        total += work(20);
    }
}
