@ Entry of the OpenOCD test program: a stack at the top of RAM, then main.
    .section .vectors, "ax"
    .arm
    .global _start
_start:
    ldr     sp, =__stack_top__
    bl      main
1:  b       1b
