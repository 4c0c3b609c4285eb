/* Vectors for the semihosting test program: its own SWI handler counts the SWIs that
   reach it and returns, so a SWI that is not a semihosting call shows whether it got
   there. */
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
    msr cpsr_c, #0xD3
    ldr sp, =__stack_top__
    ldr r0, =__bss_start__
    ldr r1, =__bss_end__
    mov r2, #0
1:  cmp r0, r1
    strlo r2, [r0], #4
    blo 1b
    bl  main
    b   .
