/* Reset entry for the timer program: the IRQ vector leads to the timer's handler, which
   gets a stack of its own; main() starts in supervisor mode with IRQ still off. */
#include "supervisor_start.inc"
    .syntax unified
    .arm
    .section .vectors, "ax"
_vectors:
    b   _start          /* reset */
    b   .               /* undefined instruction */
    b   .               /* software interrupt */
    b   .               /* prefetch abort */
    b   .               /* data abort */
    b   .               /* reserved */
    b   timer_irq       /* IRQ */
    b   .               /* FIQ */

    .text
    .global _start
    .type _start, %function
_start:
    msr cpsr_c, #0xD2           /* IRQ mode, for its stack */
    ldr sp, =__stack_top__
    sub sp, sp, #0x400
    supervisor_stack_and_bss
    bl  main
    b   .
    .size _start, . - _start
