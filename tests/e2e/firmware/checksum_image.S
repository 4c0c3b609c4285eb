@ A 64 KiB program image: a table of 16,000 words that the program folds into one
@ checksum (rotate left by 5, then exclusive-or each word), stored with a completion
@ marker at 0x30000. Built to run from 0x10000.
        .syntax unified
        .section .vectors, "ax"
        .arm
        .global _start
_start:
        ldr     r0, =table
        ldr     r1, =table_end
        mov     r2, #0
fold:
        ldr     r3, [r0], #4
        eor     r2, r3, r2, ror #27
        cmp     r0, r1
        bne     fold
        ldr     r0, =0x30000
        str     r2, [r0]
        ldr     r3, =0x600DF00D
        str     r3, [r0, #4]
done:
        b       done
        .ltorg

        .balign 4
table:
        .set    i, 0
        .rept   16000
        .word   (i * 0x9E3779B1 + 0x12345) & 0xFFFFFFFF
        .set    i, i + 1
        .endr
table_end:
        .org    0x10000
