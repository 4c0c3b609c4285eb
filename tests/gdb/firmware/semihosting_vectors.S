/* Vectors for the semihosting test program: its own SWI handler counts the SWIs that
   reach it and returns, so a SWI that is not a semihosting call shows whether it got
   there. */
#include "supervisor_start.inc"
    .syntax unified
    .arm
    .section .vectors, "ax"
_vectors:
    b   _start
    b   .
    b   own_swi_handler
    b   .
    b   .
    b   .
    b   .
    b   .

    .text
own_swi_handler:
    push {r0, r1}
    ldr r0, =own_swi_count
    ldr r1, [r0]
    add r1, r1, #1
    str r1, [r0]
    pop {r0, r1}
    movs pc, lr

    .global _start
_start:
    supervisor_stack_and_bss
    bl  main
    b   .
