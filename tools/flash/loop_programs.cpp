#include "loop_programs.h"

#include <array>

namespace vantrel::flash {

namespace {

// AMD: unlock, 0xA0, the data; DQ7 polling, DQ5 the time limit; the halfword read back.
constexpr std::array<uint32_t, 38> kAmdProgram = {
    0xE3A03000,  //        MOV r3, #0
    0xE0D160B2,  // next:  LDRH r6, [r1], #2
    0xE0869FE9,  //        ADD r9, r6, r9, ror #31
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE1D68007,  //        BICS r8, r6, r7
    0x13A03001,  //        MOVNE r3, #1
    0x1A00001D,  //        BNE halt
    0xE1560007,  //        CMP r6, r7
    0x0A000018,  //        BEQ step
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
    0x0A000009,  //        BEQ check
    0xE3170020,  //        TST r7, #0x20
    0x0AFFFFF9,  //        BEQ poll
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE0278006,  //        EOR r8, r7, r6
    0xE3180080,  //        TST r8, #0x80
    0x0A000003,  //        BEQ check
    0xE3A03002,  //        MOV r3, #2
    0xE3A080F0,  //        MOV r8, #0xF0
    0xE1C080B0,  //        STRH r8, [r0]
    0xEA000006,  //        B halt
    0xE1D070B0,  // check: LDRH r7, [r0]
    0xE1570006,  //        CMP r7, r6
    0x13A03004,  //        MOVNE r3, #4
    0x1A000002,  //        BNE halt
    0xE2800002,  // step:  ADD r0, r0, #2
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFDB,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
};
constexpr uint32_t kAmdProgramHalt = 0x94;

// Intel: 0x40 and the data; the status register, read array, the halfword read back.
constexpr std::array<uint32_t, 35> kIntelProgram = {
    0xE3A03000,  //        MOV r3, #0
    0xE0D160B2,  // next:  LDRH r6, [r1], #2
    0xE0869FE9,  //        ADD r9, r6, r9, ror #31
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE1D68007,  //        BICS r8, r6, r7
    0x13A03001,  //        MOVNE r3, #1
    0x1A000012,  //        BNE halt
    0xE1560007,  //        CMP r6, r7
    0x0A00000D,  //        BEQ step
    0xE3A08040,  //        MOV r8, #0x40
    0xE1C080B0,  //        STRH r8, [r0]
    0xE1C060B0,  //        STRH r6, [r0]
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x0AFFFFFC,  //        BEQ poll
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
    0xE317001A,  //        TST r7, #0x1A
    0x1A000007,  //        BNE fail
    0xE1D070B0,  //        LDRH r7, [r0]
    0xE1570006,  //        CMP r7, r6
    0x13A03004,  //        MOVNE r3, #4
    0x1A000002,  //        BNE halt
    0xE2800002,  // step:  ADD r0, r0, #2
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFE6,  //        BNE next
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
constexpr uint32_t kIntelProgramHalt = 0x68;

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

// Every halfword erased (0xFFFF).
constexpr std::array<uint32_t, 11> kBlankCheck = {
    0xE3A03000,  //        MOV r3, #0
    0xE3E08000,  //        MVN r8, #0
    0xE1A08828,  //        MOV r8, r8, lsr #16
    0xE1D070B0,  // next:  LDRH r7, [r0]
    0xE1570008,  //        CMP r7, r8
    0x13A03001,  //        MOVNE r3, #1
    0x1A000002,  //        BNE halt
    0xE2800002,  //        ADD r0, r0, #2
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFF8,  //        BNE next
    0xEAFFFFFE,  // halt:  B halt
};
constexpr uint32_t kBlankCheckHalt = 0x28;

static_assert(sizeof kAmdProgram <= kLoopAreaBytes && sizeof kIntelProgram <= kLoopAreaBytes &&
              sizeof kAmdErase <= kLoopAreaBytes && sizeof kIntelErase <= kLoopAreaBytes &&
              sizeof kBlankCheck <= kLoopAreaBytes);

}  // namespace

uint32_t LoopChecksum(const uint8_t* bytes, size_t count, uint32_t start) {
  uint32_t sum = start;
  for (size_t i = 0; i + 1 < count; i += 2) {
    const uint32_t half = bytes[i] | (uint32_t{bytes[i + 1]} << 8);
    sum = ((sum << 1) | (sum >> 31)) + half;  // ADD r9, r6, r9, ROR #31
  }
  return sum;
}

LoopProgram AmdProgramLoop() { return {kAmdProgram, kAmdProgramHalt}; }
LoopProgram IntelProgramLoop() { return {kIntelProgram, kIntelProgramHalt}; }
LoopProgram AmdEraseLoop() { return {kAmdErase, kAmdEraseHalt}; }
LoopProgram IntelEraseLoop() { return {kIntelErase, kIntelEraseHalt}; }
LoopProgram BlankCheckLoop() { return {kBlankCheck, kBlankCheckHalt}; }

}  // namespace vantrel::flash
