@ Startup for test programs on the simulated ARM7TDMI: the vector table, a stack for
@ every exception mode, main() in User mode, and a mailbox at 0x20 through which the
@ host test finds the results once the program sits in its end loop.
    .syntax unified
    .arm

    .section .vectors, "ax"
    .global _start
_start:
    b reset_entry
    b undefined_entry
    b swi_entry
    b prefetch_abort_entry
    b data_abort_entry
    b reserved_entry
    b irq_entry
    b fiq_entry

@ 0x20: state (0 running, 0x600DF00D done, 0xBAD0000v stopped by vector v),
@ main's return value, address and count of the result words.
    .global firmware_mailbox
firmware_mailbox:
    .word 0, 0, 0, 0

    .text
reset_entry:
    ldr r0, =__stack_top__
    msr cpsr_c, #0xD3          @ Supervisor
    mov sp, r0
    sub r0, r0, #0x400
    msr cpsr_c, #0xD2          @ IRQ
    mov sp, r0
    sub r0, r0, #0x400
    msr cpsr_c, #0xD1          @ FIQ
    mov sp, r0
    sub r0, r0, #0x400
    msr cpsr_c, #0xD7          @ Abort
    mov sp, r0
    sub r0, r0, #0x400
    msr cpsr_c, #0xDB          @ Undefined
    mov sp, r0
    sub r0, r0, #0x400
    msr cpsr_c, #0xDF          @ System: sets the User stack too
    mov sp, r0
    ldr r1, =__bss_start__
    ldr r2, =__bss_end__
    mov r3, #0
1:  cmp r1, r2
    strlo r3, [r1], #4
    blo 1b
    msr cpsr_c, #0x10          @ User, interrupts enabled
    ldr r3, =main
    mov lr, pc
    bx r3                      @ main may be ARM or Thumb code
    ldr r1, =firmware_mailbox
    str r0, [r1, #4]
    ldr r2, =0x600DF00D
finish:
    str r2, [r1]
    .global firmware_end
firmware_end:
    b firmware_end

@ SWI: firmware_swi(number, saved r0-r3, spsr) may replace the caller's r0-r3.
swi_entry:
    stmfd sp!, {r0-r3, r12, lr}
    mrs r2, spsr
    tst r2, #0x20
    ldrhne r0, [lr, #-2]
    andne r0, r0, #0xFF
    ldreq r0, [lr, #-4]
    biceq r0, r0, #0xFF000000
    mov r1, sp
    bl firmware_swi
    ldmfd sp!, {r0-r3, r12, pc}^

@ Undefined instruction: firmware_undefined(address, saved r0-r3, spsr), then carry on
@ with the next instruction.
undefined_entry:
    stmfd sp!, {r0-r3, r12, lr}
    mrs r2, spsr
    tst r2, #0x20
    subne r0, lr, #2
    subeq r0, lr, #4
    mov r1, sp
    bl firmware_undefined
    ldmfd sp!, {r0-r3, r12, pc}^

prefetch_abort_entry:
    mov r2, #3
    b stopped
data_abort_entry:
    mov r2, #4
    b stopped
reserved_entry:
    mov r2, #5
    b stopped
irq_entry:
    mov r2, #6
    b stopped
fiq_entry:
    mov r2, #7
stopped:
    ldr r1, =firmware_mailbox
    orr r2, r2, #0xBA000000
    orr r2, r2, #0x00D00000
    b finish
