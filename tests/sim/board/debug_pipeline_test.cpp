// The debug-state pipeline against the hand simulations of the ARM7TDMI debug model:
// breakpoint entry and the r15 read, PC and register writes, the resume, the PSR
// sequences, Thumb entry and resume, and the system-speed memory blocks.
#include <gtest/gtest.h>

#include "board_jtag.h"

namespace vsim::test {
namespace {

constexpr uint32_t kA = 0x1000;

uint32_t SubPc(int n) { return 0xE24FF000u + static_cast<uint32_t>(n); }  // SUB pc, pc, #n
uint32_t Stmda(int reg) { return 0xE8000000u | (1u << reg); }             // STMDA r0, {reg}
uint32_t Ldmia(int reg) { return 0xE8900000u | (1u << reg); }             // LDMIA r0, {reg}
constexpr uint32_t kMrsCpsr = 0xE10F0000;                                 // MRS r0, CPSR
constexpr uint32_t kMsrCpsr = 0xE12FF000;                                 // MSR CPSR_fsxc, r0
constexpr uint32_t kLdrPc = 0xE59F0000;                                   // LDR r0, [pc]
constexpr uint32_t kStmR15 = 0xE8808000;                                  // STMIA r0, {r15}

BoardConfig Deterministic() {
  BoardConfig c;
  c.freeRunInstructionsPerMs = 0;
  return c;
}

class HaltedCore : public ::testing::Test {
 protected:
  Board board{Deterministic()};
  BoardJtag jtag{board};

  void FillCode(uint32_t from, uint32_t to, bool thumb) {
    for (uint32_t a = from; a < to; a += 4) board.WriteWord(a, thumb ? 0x46C046C0u : kNop);
  }
  // Runs NOPs into a breakpoint on a, programmed in watchpoint 0.
  void HaltAtBreakpoint(uint32_t a, bool thumb = false) {
    FillCode(0, 0x8000, thumb);
    jtag.ResetToIdle();
    board.SetIceRegister(8, a);
    board.SetIceRegister(9, thumb ? 1 : 3);
    board.SetIceRegister(11, 0xFFFFFFFF);
    board.SetIceRegister(13, 0xF7);
    board.SetIceRegister(12, 0x100);  // enabled, instruction fetch
    if (thumb) board.SetCpsr(board.Cpsr() | 0x20);
    board.SetReg(15, a - 0x40);
    board.RunInstructions(1000);
    ASSERT_TRUE(board.InDebugState());
    ASSERT_EQ(board.EntryReason(), DebugReason::kBreakpoint);
    ASSERT_EQ(board.HaltAddress(), a);
    board.SetIceRegister(12, 0);
    jtag.SelectChain(1);
  }
  uint32_t Inject(uint32_t word, bool breakpt = false) { return jtag.Chain1(word, breakpt); }
  void Adjust(int n) {
    Inject(SubPc(n));
    Inject(kNop);
    Inject(kNop);
  }
  // Register access in the form the host driver uses; each ends with a branch under way.
  uint32_t ReadReg(int reg) {
    Adjust(16);
    Inject(Stmda(reg));
    Inject(kNop);
    Inject(kNop);
    uint32_t value = Inject(kNop);
    Adjust(12);
    return value;
  }
  void WriteReg(int reg, uint32_t value) {
    Inject(Ldmia(reg));
    Inject(kNop);
    Inject(kNop);
    Inject(value);
    Inject(kNop);
    Adjust(reg == 15 ? 12 : 20);
  }
  uint32_t ReadCpsr() {
    Inject(Stmda(0)), Inject(kNop), Inject(kNop);
    uint32_t r0 = Inject(kNop);
    Inject(kMrsCpsr), Inject(kNop), Inject(kNop);
    Inject(Stmda(0)), Inject(kNop), Inject(kNop);
    uint32_t psr = Inject(kNop);
    Inject(Ldmia(0)), Inject(kNop), Inject(kNop), Inject(r0), Inject(kNop);
    Adjust(56);
    return psr;
  }
  void WriteCpsr(uint32_t value) {
    Inject(Ldmia(0)), Inject(kNop), Inject(kNop), Inject(value), Inject(kNop);
    Inject(kMsrCpsr), Inject(kNop), Inject(kNop), Inject(kNop), Inject(kNop);
    Adjust(40);
  }
  void RunNops(int n) {
    for (int i = 0; i < n; ++i) Inject(kNop);
  }
};

TEST_F(HaltedCore, BreakpointEntryThenR15ReadsTheBreakpointAddress) {
  board.SetReg(5, 0x12345678);
  HaltAtBreakpoint(kA);
  Adjust(24);
  EXPECT_EQ(ReadReg(15), kA);
  EXPECT_EQ(ReadReg(5), 0x12345678u);
  for (int r = 0; r < 15; ++r) ReadReg(r);
  EXPECT_EQ(ReadReg(15), kA) << "fifteen register reads must not drift the PC";
}

TEST_F(HaltedCore, LoadTakesTheFourthAccessAndPcWriteIsReadBack) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  WriteReg(7, 0xCAFEF00D);
  EXPECT_EQ(board.Reg(7), 0xCAFEF00Du);
  EXPECT_EQ(ReadReg(15), kA);
  WriteReg(15, 0x2000);
  EXPECT_EQ(ReadReg(15), 0x2000u);
}

TEST_F(HaltedCore, PsrSequencesAreDriftFreeAndRestoreR0) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  WriteReg(0, 0x55AA55AA);
  uint32_t cpsr = ReadCpsr();
  EXPECT_EQ(cpsr, board.Cpsr());
  EXPECT_EQ(ReadReg(15), kA);
  EXPECT_EQ(ReadReg(0), 0x55AA55AAu) << "the CPSR read restores r0";
  WriteCpsr((cpsr & 0x0FFFFFFF) | 0xA0000000);
  EXPECT_EQ(board.Cpsr() >> 28, 0xAu);
  EXPECT_EQ(ReadReg(15), kA);
  EXPECT_EQ(ReadReg(0), board.Cpsr()) << "the CPSR write goes through r0";
}

TEST_F(HaltedCore, ResumeLeavesDebugStateAndRunsFromP) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  constexpr uint32_t kP = 0x3000;
  board.WriteWord(kP, 0xE3A01055);  // MOV r1, #0x55
  WriteReg(15, kP - 12);
  Inject(kNop);
  Inject(kNop, true);
  Inject(SubPc(0));
  jtag.Restart();
  EXPECT_FALSE(board.InDebugState());
  EXPECT_EQ(board.IceRegister(1) & 0x09u, 0u);
  board.RunInstructions(2);  // the NOP and the SUB still in the pipeline
  EXPECT_EQ(board.Reg(15), kP);
  board.RunInstructions(1);
  EXPECT_EQ(board.Reg(1), 0x55u);
}

TEST_F(HaltedCore, RestartFromZeroRunsFromAddressZero) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  Inject(kNop, true);
  Inject(0xE3A0F000);  // MOV pc, #0
  jtag.Restart();
  ASSERT_FALSE(board.InDebugState());
  board.RunInstructions(2);
  EXPECT_EQ(board.Reg(15), 0u);
}

TEST_F(HaltedCore, DebugRequestStopsWithoutAFurtherFetch) {
  FillCode(0, 0x8000, false);
  jtag.ResetToIdle();
  board.SetReg(15, 0x2000);
  board.RunInstructions(10);
  jtag.IceWrite(0, 0x2);     // DBGRQ
  jtag.Clock(false, false);  // into Run-Test/Idle: the request reaches the core
  jtag.Clock(false, false);
  ASSERT_TRUE(board.InDebugState());
  EXPECT_EQ(board.EntryReason(), DebugReason::kDebugRequest);
  EXPECT_EQ(jtag.IceRead(1) & 0x0Bu, 0x0Bu);  // DBGACK, DBGRQ, nMREQ
  uint32_t q = board.HaltAddress();
  jtag.SelectChain(1);
  bool bp = true;
  Inject(kStmR15);
  jtag.Chain1(kNop, false, &bp);
  EXPECT_FALSE(bp);
  Inject(kNop);
  // The first debug fetch is at Q + 8, so the stored r15 is Q + 20.
  EXPECT_EQ(Inject(kNop), q + 20);
}

TEST_F(HaltedCore, DataWatchpointHaltsOnTheNextInstructionWithBreakptCaptured) {
  FillCode(0, 0x8000, false);
  board.WriteWord(0x1000, 0xE5821000);  // STR r1, [r2]
  board.SetReg(2, 0x4000);
  board.SetReg(1, 0x77);
  board.SetIceRegister(8, 0x4000);
  board.SetIceRegister(9, 0);
  board.SetIceRegister(11, 0xFFFFFFFF);
  board.SetIceRegister(13, 0xF6);   // compare nRW and nOPC
  board.SetIceRegister(12, 0x109);  // a data write
  board.SetReg(15, 0xF00);
  jtag.ResetToIdle();
  board.RunInstructions(1000);
  ASSERT_TRUE(board.InDebugState());
  EXPECT_EQ(board.EntryReason(), DebugReason::kWatchpoint);
  EXPECT_EQ(board.HaltAddress(), 0x1004u);
  EXPECT_EQ(board.ReadWord(0x4000), 0x77u) << "the watched store completes";
  jtag.SelectChain(1);
  bool bp = false;
  jtag.Chain1(kStmR15, false, &bp);
  EXPECT_TRUE(bp) << "entry by watchpoint captures BREAKPT 1";
  jtag.Chain1(kNop, false, &bp);
  EXPECT_FALSE(bp) << "cleared by the first debug clock";
  Inject(kNop);
  EXPECT_EQ(Inject(kNop) - 24, 0x1004u) << "first debug fetch at Q + 12";
}

// Thumb entry, then the switch to ARM state.
class ThumbEntry : public HaltedCore, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ThumbEntry, SwitchToArmKeepsR0AndTheHaltAddress) {
  const uint32_t a = GetParam();
  board.SetReg(0, 0xA5A5A5A5);
  HaltAtBreakpoint(a, true);
  EXPECT_EQ(jtag.IceRead(1), 0x19u);
  jtag.SelectChain(1);
  const uint32_t words[9] = {0x60006000, 0x46784678, 0x60006000, 0x46C046C0, 0x47784778,
                             0x46C046C0, 0x46C046C0, kNop,       kNop};
  uint32_t kept = 0;
  for (int i = 0; i < 9; ++i) {
    uint32_t captured = Inject(words[i]);
    if (i == 3) kept = captured;
  }
  EXPECT_EQ(kept, 0xA5A5A5A5u);
  WriteReg(0, kept);
  Adjust(32);
  EXPECT_EQ(board.Cpsr() & 0x20u, 0u);
  EXPECT_EQ(ReadReg(15), a);
  EXPECT_EQ(ReadReg(0), 0xA5A5A5A5u);
}

INSTANTIATE_TEST_SUITE_P(BothHalfwords, ThumbEntry, ::testing::Values(0x1000u, 0x1002u));

// Thumb resume: r0 = P - 15 runs the two instructions before P again, P - 11 starts at P.
class ThumbResume : public HaltedCore, public ::testing::WithParamInterface<std::pair<uint32_t, uint32_t>> {};

TEST_P(ThumbResume, FetchingStartsWhereTheModelSays) {
  const auto [offset, expectedStart] = GetParam();
  constexpr uint32_t kP = 0x1000;
  HaltAtBreakpoint(0x2000);
  Adjust(24);
  WriteReg(15, kP - 8);
  uint32_t r0 = ReadReg(0);
  WriteReg(0, kP - offset);
  Inject(0xE12FFF10);  // BX r0
  Inject(0xE1A08008);
  Inject(0xE1A08008);
  Inject(0xC801C801), Inject(0x46C046C0), Inject(0x46C046C0), Inject(r0), Inject(0x46C046C0);
  jtag.Thumb(kThumbNop);
  jtag.Thumb(kThumbNop, true);
  jtag.Thumb(kThumbNop);
  jtag.Restart();
  ASSERT_FALSE(board.InDebugState());
  EXPECT_NE(board.Cpsr() & 0x20u, 0u);
  board.RunInstructions(2);  // the two NOPs still in the pipeline
  EXPECT_EQ(board.Reg(15), expectedStart);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ThumbResume, ::testing::Values(std::pair{15u, 0x1000u - 4}, std::pair{11u, 0x1000u}));

TEST_F(HaltedCore, GetDataBlocksLoadAtSystemSpeedAndReEnter) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  constexpr uint32_t kBlock = 0x6000;
  for (uint32_t i = 0; i < 17; ++i) board.WriteWord(kBlock - 4 + 4 * i, 0x01010101u * i + 0xA0000000u);
  for (uint32_t done = 0; done < 16; done += 8) {
    Inject(kLdrPc), Inject(kNop), Inject(kNop), Inject(kBlock + 4 * done - 4), Inject(kNop), Inject(kNop);
    Inject(0xE89001FF, true);  // LDMIA r0, {r0-r8}
    Inject(kNop), Inject(kNop);
    jtag.Restart();
    EXPECT_EQ(jtag.IceRead(1) & 0x09u, 0x09u) << "back in debug state before the first poll";
    EXPECT_EQ(board.EntryReason(), DebugReason::kSystemSpeedReturn);
    jtag.SelectChain(1);
    bool bp = false;
    jtag.Chain1(0xE8A001FE, false, &bp);  // STMIA r0!, {r1-r8}
    EXPECT_TRUE(bp) << "the return from a system-speed access captures BREAKPT 1";
    Inject(kNop), Inject(kNop);
    for (uint32_t j = 0; j < 8; ++j) {
      EXPECT_EQ(Inject(kNop), board.ReadWord(kBlock + 4 * (done + j))) << "word " << done + j;
    }
    Inject(kNop), Inject(kNop);
  }
  EXPECT_EQ(board.Counters().systemSpeedAccesses, 2u);
  EXPECT_EQ(board.Counters().restarts, 2u);
}

TEST_F(HaltedCore, PutDataStoresAtSystemSpeed) {
  HaltAtBreakpoint(kA);
  Adjust(24);
  constexpr uint32_t kTo = 0x7000;
  const uint32_t data[3] = {0x11111111, 0x22222222, 0x33333333};
  for (int round = 0; round < 2; ++round) {
    uint32_t to = kTo + 0x100u * static_cast<uint32_t>(round);
    Inject(kLdrPc), Inject(kNop), Inject(kNop), Inject(to), Inject(kNop);
    Inject(0xE890000E), Inject(kNop), Inject(kNop);  // LDMIA r0, {r1-r3}
    for (uint32_t word : data) Inject(word);
    Inject(kNop), Inject(kNop), Inject(kNop), Inject(kNop, true);
    Inject(0xE880000E);  // STMIA r0, {r1-r3}
    jtag.Restart();
    EXPECT_EQ(jtag.IceRead(1) & 0x09u, 0x09u);
    jtag.SelectChain(1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(board.ReadWord(to + 4u * static_cast<uint32_t>(i)), data[i]);
  }
}

TEST_F(HaltedCore, ResetLineRestartsTheCoreAtZeroInSupervisorArmState) {
  HaltAtBreakpoint(kA, true);
  board.PortWrite(0x378, 0x00);  // reset held
  EXPECT_TRUE(board.InReset());
  EXPECT_FALSE(board.InDebugState());
  EXPECT_EQ(board.IceRegister(1) & 0x09u, 0x08u) << "nMREQ while held, no DBGACK";
  board.PortWrite(0x378, 0x01);
  EXPECT_FALSE(board.InReset());
  EXPECT_EQ(board.Reg(15), 0u);
  EXPECT_EQ(board.Cpsr() & 0xFFu, 0xD3u);
  EXPECT_EQ(board.IceRegister(8), kA) << "the EmbeddedICE keeps its registers";
}

}  // namespace
}  // namespace vsim::test
