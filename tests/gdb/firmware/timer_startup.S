/* Reset entry for the timer program: the IRQ vector leads to the timer's handler, which
   gets a stack of its own; main() starts in supervisor mode with IRQ still off. */
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
    msr cpsr_c, #0xD3           /* supervisor mode, IRQ and FIQ off */
    ldr sp, =__stack_top__
    ldr r0, =__bss_start__
    ldr r1, =__bss_end__
    mov r2, #0
1:  cmp r0, r1
    strlo r2, [r0], #4
    blo 1b
    bl  main
    b   .
    .size _start, . - _start
