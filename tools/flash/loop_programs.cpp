#include "loop_programs.h"

#include <array>

namespace vantrel::flash {

namespace {

// AMD: unlock, 0xA0, the data; DQ7 polling, DQ5 the time limit.
constexpr std::array<uint32_t, 33> kAmdProgram = {
    0xE3A03000,  //        MOV r3, #0
    0xE0D160B2,  // next:  LDRH r6, [r1], #2
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE1D68007,  //        BICS r8, r6, r7
    0x13A03001,  //        MOVNE r3, #1
    0x1A000019,  //        BNE halt
    0xE1560007,  //        CMP r6, r7
    0x0A000014,  //        BEQ step
    0xE3A080AA,  //        MOV r8, #0xAA
    0xE1C480B0,  //        STRH r8, [r4]
    0xE3A08055,  //        MOV r8, #0x55
    0xE1C580B0,  //        STRH r8, [r5]
    0xE3A080A0,  //        MOV r8, #0xA0
    0xE1C480B0,  //        STRH r8, [r4]
    0xE1C060B0,  //        STRH r6, [r0]
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE0278006,  //        EOR r8, r7, r6
    0xE3180080,  //        TST r8, #0x80
    0x0A000009,  //        BEQ step
    0xE3170020,  //        TST r7, #0x20
    0x0AFFFFF9,  //        BEQ poll
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE0278006,  //        EOR r8, r7, r6
    0xE3180080,  //        TST r8, #0x80
    0x0A000003,  //        BEQ step
    0xE3A03002,  //        MOV r3, #2
    0xE3A080F0,  //        MOV r8, #0xF0
    0xE1C080B0,  //        STRH r8, [r0]
    0xEA000002,  //        B halt
    0xE2800002,  // step:  ADD r0, r0, #2
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFE0,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
};
constexpr uint32_t kAmdProgramHalt = 0x80;

// Intel: 0x40 and the data; the status register, then read array.
constexpr std::array<uint32_t, 30> kIntelProgram = {
    0xE3A03000,  //        MOV r3, #0
    0xE0D160B2,  // next:  LDRH r6, [r1], #2
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE1D68007,  //        BICS r8, r6, r7
    0x13A03001,  //        MOVNE r3, #1
    0x1A00000E,  //        BNE halt
    0xE1560007,  //        CMP r6, r7
    0x0A000009,  //        BEQ step
    0xE3A08040,  //        MOV r8, #0x40
    0xE1C080B0,  //        STRH r8, [r0]
    0xE1C060B0,  //        STRH r6, [r0]
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x0AFFFFFC,  //        BEQ poll
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
    0xE317001A,  //        TST r7, #0x1A
    0x1A000003,  //        BNE fail
    0xE2800002,  // step:  ADD r0, r0, #2
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFEB,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
    0xE3A03002,  // fail:  MOV r3, #2
    0xE3170002,  //        TST r7, #0x02
    0x13A03003,  //        MOVNE r3, #3
    0xE3A08050,  //        MOV r8, #0x50
    0xE1C080B0,  //        STRH r8, [r0]
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
    0xEAFFFFF6,  //        B halt
};
constexpr uint32_t kIntelProgramHalt = 0x54;

// AMD: unlock, 0x80, unlock, the last command; DQ7 reads 1 once erased.
constexpr std::array<uint32_t, 28> kAmdErase = {
    0xE3A03000,  //        MOV r3, #0
    0xE4910004,  // next:  LDR r0, [r1], #4
    0xE3A080AA,  //        MOV r8, #0xAA
    0xE1C480B0,  //        STRH r8, [r4]
    0xE3A08055,  //        MOV r8, #0x55
    0xE1C580B0,  //        STRH r8, [r5]
    0xE3A08080,  //        MOV r8, #0x80
    0xE1C480B0,  //        STRH r8, [r4]
    0xE3A080AA,  //        MOV r8, #0xAA
    0xE1C480B0,  //        STRH r8, [r4]
    0xE3A08055,  //        MOV r8, #0x55
    0xE1C580B0,  //        STRH r8, [r5]
    0xE1C060B0,  //        STRH r6, [r0]
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x1A000008,  //        BNE done
    0xE3170020,  //        TST r7, #0x20
    0x0AFFFFFA,  //        BEQ poll
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x1A000003,  //        BNE done
    0xE3A03002,  //        MOV r3, #2
    0xE3A080F0,  //        MOV r8, #0xF0
    0xE1C080B0,  //        STRH r8, [r0]
    0xEA000001,  //        B halt
    0xE2522001,  // done:  SUBS r2, r2, #1
    0x1AFFFFE5,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
};
constexpr uint32_t kAmdEraseHalt = 0x6C;

// Intel: block unlock (0x60 0xD0), erase (0x20 0xD0), the status register.
constexpr std::array<uint32_t, 28> kIntelErase = {
    0xE3A03000,  //        MOV r3, #0
    0xE4910004,  // next:  LDR r0, [r1], #4
    0xE3A08060,  //        MOV r8, #0x60
    0xE1C080B0,  //        STRH r8, [r0]
    0xE3A080D0,  //        MOV r8, #0xD0
    0xE1C080B0,  //        STRH r8, [r0]
    0xE3A08020,  //        MOV r8, #0x20
    0xE1C080B0,  //        STRH r8, [r0]
    0xE3A080D0,  //        MOV r8, #0xD0
    0xE1C080B0,  //        STRH r8, [r0]
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x0AFFFFFC,  //        BEQ poll
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
    0xE317003A,  //        TST r7, #0x3A
    0x1A000002,  //        BNE fail
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFED,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
    0xE3A03002,  // fail:  MOV r3, #2
    0xE3170002,  //        TST r7, #0x02
    0x13A03003,  //        MOVNE r3, #3
    0xE3A08050,  //        MOV r8, #0x50
    0xE1C080B0,  //        STRH r8, [r0]
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
    0xEAFFFFF6,  //        B halt
};
constexpr uint32_t kIntelEraseHalt = 0x4C;

}  // namespace

LoopProgram AmdProgramLoop() { return {kAmdProgram, kAmdProgramHalt}; }
LoopProgram IntelProgramLoop() { return {kIntelProgram, kIntelProgramHalt}; }
LoopProgram AmdEraseLoop() { return {kAmdErase, kAmdEraseHalt}; }
LoopProgram IntelEraseLoop() { return {kIntelErase, kIntelEraseHalt}; }

}  // namespace vantrel::flash
