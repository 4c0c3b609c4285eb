@ A program for breakpoints, built to run from 0x20000, at fixed offsets:
@   0x000 ARM:   counts r0 from 1 to 10 and sums it into r1; stores r1 at 0x31000
@   0x040 the ARM sum instruction (ADD r1, r1, r0), a breakpoint target
@   0x100 Thumb: the same count in r4 and sum in r5; stores r5 at 0x31004
@   0x104 Thumb ADDS r4, #1 (at a multiple of 4), 0x106 Thumb ADDS r5, r5, r4
@   0x200 Thumb: marks completion, 0xD0E at 0x31008, and loops.
        .syntax unified
        .section .vectors, "ax"
        .arm
        .global _start
_start:
        mov     r0, #0
        mov     r1, #0
        b       arm_loop

        .org    0x3C
arm_loop:
        add     r0, r0, #1
        add     r1, r1, r0              @ 0x040
        cmp     r0, #10
        bne     arm_loop
        ldr     r2, =0x31000
        str     r1, [r2]
        ldr     r3, =thumb_code + 1
        bx      r3
        .ltorg

        .org    0x100
        .thumb
thumb_code:
        movs    r4, #0                  @ 0x100
        movs    r5, #0                  @ 0x102
thumb_loop:
        adds    r4, #1                  @ 0x104
        adds    r5, r5, r4              @ 0x106
        cmp     r4, #10                 @ 0x108
        bne     thumb_loop              @ 0x10A
        ldr     r6, =0x31004
        str     r5, [r6]
        b       thumb_done
        .ltorg

        .org    0x200
thumb_done:
        ldr     r6, =0x31008
        ldr     r7, =0xD0E
        str     r7, [r6]
thumb_end:
        b       thumb_end
        .ltorg
