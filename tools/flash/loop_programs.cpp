#include "loop_programs.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace vantrel::flash {

namespace {

// Every loop starts by taking its parameters from the head of the buffer, which follows
// the loop in the work area: r1 points there PC-relative, so that a run needs no
// register written by the host. The program loops' head is r0, r2, r4, r5, r9, the erase
// loops' r2, r4, r5, r6, the blank check's r0, r2.
constexpr uint32_t kPcReadsAhead = 8;
constexpr uint32_t kBufferFromPc = kLoopAreaBytes - kPcReadsAhead;
static_assert(kBufferFromPc <= 0xFF, "an ADD immediate");
constexpr uint32_t kAddR1PcToBuffer = 0xE28F1000 | kBufferFromPc;  // ADD r1, pc, #kBufferFromPc
constexpr uint32_t kLoadHeadR1Past = 0xE8B10000;                     // LDMIA r1!, {...}
constexpr uint32_t kLoadHeadR1 = 0xE8910000;                         // LDMIA r1, {...}
constexpr uint32_t kProgramHeadList = 0x0235;                        // r0, r2, r4, r5, r9
constexpr uint32_t kEraseHeadList = 0x0074;                          // r2, r4, r5, r6
constexpr uint32_t kBlankCheckHeadList = 0x0005;                     // r0, r2
constexpr uint32_t kClearResult = 0xE3A03000;                        // MOV r3, #0

constexpr std::array<uint32_t, 3> TakeHead(uint32_t load) { return {kAddR1PcToBuffer, load, kClearResult}; }

template <size_t... N>
constexpr std::array<uint32_t, (N + ...)> Join(const std::array<uint32_t, N>&... parts) {
  std::array<uint32_t, (N + ...)> all{};
  size_t at = 0;
  ((std::copy(parts.begin(), parts.end(), all.begin() + static_cast<std::ptrdiff_t>(at)), at += N), ...);
  return all;
}

// The next halfword from the buffer into r6 and the checksum; a 0 in flash where it has
// a 1 ends the loop; one flash already holds is stepped over. The two branches differ
// from loop to loop.
constexpr std::array<uint32_t, 8> NextHalfword(uint32_t toHalt, uint32_t toStep) {
  return {
      0xE0D160B2,  // next:  LDRH r6, [r1], #2
      0xE0869FE9,  //        ADD r9, r6, r9, ror #31
      0xE1D070B0,  //        LDRH r7, [r0]
      0xE1D68007,  //        BICS r8, r6, r7
      0x13A03001,  //        MOVNE r3, #1
      toHalt,      //        BNE halt
      0xE1560007,  //        CMP r6, r7
      toStep,      //        BEQ step
  };
}

// The halfword read back (a mismatch ends the loop: the halt lies two words past it), then
// the next one.
constexpr std::array<uint32_t, 7> ReadBackAndStep(uint32_t toNext) {
  return {
      0xE1D070B0,  //        LDRH r7, [r0]
      0xE1570006,  //        CMP r7, r6
      0x13A03004,  //        MOVNE r3, #4
      0x1A000002,  //        BNE halt
      0xE2800002,  // step:  ADD r0, r0, #2
      0xE2522001,  //        SUBS r2, r2, #1
      toNext,      //        BNE next
  };
}

// AMD: the two unlock cycles that open every command.
constexpr std::array<uint32_t, 4> kAmdUnlock = {
    0xE3A080AA,  //        MOV r8, #0xAA
    0xE1C480B0,  //        STRH r8, [r4]
    0xE3A08055,  //        MOV r8, #0x55
    0xE1C580B0,  //        STRH r8, [r5]
};

// AMD: DQ5, the time limit, passed: the result, and the chip reset to read array.
constexpr std::array<uint32_t, 4> AmdTimeLimit(uint32_t toHalt) {
  return {
      0xE3A03002,  //        MOV r3, #2
      0xE3A080F0,  //        MOV r8, #0xF0
      0xE1C080B0,  //        STRH r8, [r0]
      toHalt,      //        B halt
  };
}

// Intel: the status register until ready, then read array again.
constexpr std::array<uint32_t, 5> kIntelWaitReady = {
    0xE1D070B0,  // poll:  LDRH r7, [r0]
    0xE3170080,  //        TST r7, #0x80
    0x0AFFFFFC,  //        BEQ poll
    0xE3A080FF,  //        MOV r8, #0xFF
    0xE1C080B0,  //        STRH r8, [r0]
};

// Intel: the halt, and the failure that reaches it with the status's verdict in r3 and
// the status cleared.
constexpr std::array<uint32_t, 9> kIntelHaltAndFail = {
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

// AMD: unlock, 0xA0, the data; DQ7 polling, DQ5 the time limit; the halfword read back.
constexpr auto kAmdProgram =
    Join(TakeHead(kLoadHeadR1Past | kProgramHeadList), NextHalfword(0x1A00001D, 0x0A000018), kAmdUnlock,
         std::to_array<uint32_t>({
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
         }),
         AmdTimeLimit(0xEA000006),  // check: follows
         ReadBackAndStep(0x1AFFFFDB),
         std::to_array<uint32_t>({
             0xEAFFFFFE,  // halt:  B halt
         }));
constexpr uint32_t kAmdProgramHalt = 0x9C;

// Intel: 0x40 and the data; the status register, read array, the halfword read back.
constexpr auto kIntelProgram = Join(TakeHead(kLoadHeadR1Past | kProgramHeadList), NextHalfword(0x1A000012, 0x0A00000D),
                                    std::to_array<uint32_t>({
                                        0xE3A08040,  //        MOV r8, #0x40
                                        0xE1C080B0,  //        STRH r8, [r0]
                                        0xE1C060B0,  //        STRH r6, [r0]
                                    }),
                                    kIntelWaitReady,
                                    std::to_array<uint32_t>({
                                        0xE317001A,  //        TST r7, #0x1A
                                        0x1A000007,  //        BNE fail
                                    }),
                                    ReadBackAndStep(0x1AFFFFE6), kIntelHaltAndFail);
constexpr uint32_t kIntelProgramHalt = 0x70;

// AMD: unlock, 0x80, unlock, the last command; DQ7 reads 1 once erased.
constexpr auto kAmdErase = Join(TakeHead(kLoadHeadR1Past | kEraseHeadList),
                                std::to_array<uint32_t>({
                                    0xE4910004,  // next:  LDR r0, [r1], #4
                                }),
                                kAmdUnlock,
                                std::to_array<uint32_t>({
                                    0xE3A08080,  //        MOV r8, #0x80
                                    0xE1C480B0,  //        STRH r8, [r4]
                                }),
                                kAmdUnlock,
                                std::to_array<uint32_t>({
                                    0xE1C060B0,  //        STRH r6, [r0]
                                    0xE1D070B0,  // poll:  LDRH r7, [r0]
                                    0xE3170080,  //        TST r7, #0x80
                                    0x1A000008,  //        BNE done
                                    0xE3170020,  //        TST r7, #0x20
                                    0x0AFFFFFA,  //        BEQ poll
                                    0xE1D070B0,  //        LDRH r7, [r0]
                                    0xE3170080,  //        TST r7, #0x80
                                    0x1A000003,  //        BNE done
                                }),
                                AmdTimeLimit(0xEA000001),
                                std::to_array<uint32_t>({
                                    0xE2522001,  // done:  SUBS r2, r2, #1
                                    0x1AFFFFE5,  //        BNE next
                                    0xEAFFFFFE,  // halt:  B halt
                                }));
constexpr uint32_t kAmdEraseHalt = 0x74;

// Intel: block unlock (0x60 0xD0), erase (0x20 0xD0), the status register.
constexpr auto kIntelErase = Join(TakeHead(kLoadHeadR1Past | kEraseHeadList),
                                  std::to_array<uint32_t>({
                                      0xE4910004,  // next:  LDR r0, [r1], #4
                                      0xE3A08060,  //        MOV r8, #0x60
                                      0xE1C080B0,  //        STRH r8, [r0]
                                      0xE3A080D0,  //        MOV r8, #0xD0
                                      0xE1C080B0,  //        STRH r8, [r0]
                                      0xE3A08020,  //        MOV r8, #0x20
                                      0xE1C080B0,  //        STRH r8, [r0]
                                      0xE3A080D0,  //        MOV r8, #0xD0
                                      0xE1C080B0,  //        STRH r8, [r0]
                                  }),
                                  kIntelWaitReady,
                                  std::to_array<uint32_t>({
                                      0xE317003A,  //        TST r7, #0x3A
                                      0x1A000002,  //        BNE fail
                                      0xE2522001,  //        SUBS r2, r2, #1
                                      0x1AFFFFED,  //        BNE next
                                  }),
                                  kIntelHaltAndFail);
constexpr uint32_t kIntelEraseHalt = 0x54;

// Every halfword erased (0xFFFF).
constexpr auto kBlankCheck = Join(TakeHead(kLoadHeadR1 | kBlankCheckHeadList), std::to_array<uint32_t>({
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
                                                                               }));
constexpr uint32_t kBlankCheckHalt = 0x30;

constexpr uint32_t kHaltInPlace = 0xEAFFFFFE;
template <size_t N>
constexpr bool FitsAndHaltsAt(const std::array<uint32_t, N>& loop, uint32_t halt) {
  return sizeof loop <= kLoopAreaBytes && halt % 4 == 0 && halt / 4 < N && loop[halt / 4] == kHaltInPlace;
}
static_assert(FitsAndHaltsAt(kAmdProgram, kAmdProgramHalt) && FitsAndHaltsAt(kIntelProgram, kIntelProgramHalt) &&
              FitsAndHaltsAt(kAmdErase, kAmdEraseHalt) && FitsAndHaltsAt(kIntelErase, kIntelEraseHalt) &&
              FitsAndHaltsAt(kBlankCheck, kBlankCheckHalt));

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
