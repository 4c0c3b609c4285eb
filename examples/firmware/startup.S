/* Reset entry for the example programs: exception vectors at address 0, a stack for
   supervisor mode, .bss cleared, then main() in ARM state. */
    .syntax unified
    .arm
    .section .vectors, "ax"
    .global _vectors
_vectors:
    b   _start          /* reset */
    b   .               /* undefined instruction */
    b   .               /* software interrupt */
    b   .               /* prefetch abort */
    b   .               /* data abort */
    b   .               /* reserved */
    b   .               /* IRQ */
    b   .               /* FIQ */

    .text
    .global _start
    .type _start, %function
_start:
    msr cpsr_c, #0xD3           /* supervisor mode, IRQ and FIQ off */
    ldr sp, =__stack_top__
    ldr r0, =__bss_start__
    ldr r1, =__bss_end__
    mov r2, #0
1:  cmp r0, r1
    strlo r2, [r0], #4
    blo 1b
    ldr r0, =main
    mov lr, pc
    bx  r0                      /* main may be ARM or Thumb code */
    b   .
    .size _start, . - _start
