/* Reset entry for the example programs: exception vectors at address 0, a stack for
   supervisor mode, .bss cleared, then main() in ARM state. */
#include "supervisor_start.inc"
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
    supervisor_stack_and_bss
    ldr r0, =main
    mov lr, pc
    bx  r0                      /* main may be ARM or Thumb code */
    b   .
    .size _start, . - _start
