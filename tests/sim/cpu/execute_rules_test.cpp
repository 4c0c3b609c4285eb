// The rules the debug-state board builds on: what r15 reads as, where the PC goes
// after each kind of write, which status bits MSR may touch, and the order and count of
// the data cycles of each word.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/arm_cpu.h"
#include "recording_bus.h"

namespace vsim::testing {
namespace {

constexpr uint32_t kSvc = 0xD3;  // Supervisor, IRQ and FIQ off, ARM
constexpr uint32_t kThumbSvc = 0xF3;

class ExecuteRules : public ::testing::Test {
 protected:
  void SetUp() override { cpu.SetCpsr(kSvc); }
  ExecResult Run(uint32_t word, uint32_t address = 0x1000) { return cpu.Execute(word, address, bus); }
  uint32_t Mem(uint32_t address) {
    uint32_t v = 0;
    EXPECT_TRUE(bus.Peek(address, 4, v));
    return v;
  }
  void SetMem(uint32_t address, uint32_t value) { ASSERT_TRUE(bus.Poke(address, 4, value)); }
  std::vector<Access> Data() const {
    std::vector<Access> data;
    for (const Access& a : bus.log)
      if (a.kind != Access::kFetch) data.push_back(a);
    return data;
  }

  ArmCpu cpu;
  RecordingBus bus;
};

TEST_F(ExecuteRules, R15ReadsAheadOfTheInstruction) {
  Run(0xE1A0000F);  // MOV r0, pc
  EXPECT_EQ(cpu.Reg(0), 0x1008u);
  cpu.SetReg(1, 0x2000);
  Run(0xE581F000);  // STR pc, [r1]
  EXPECT_EQ(Mem(0x2000), 0x100Cu);
  Run(0xE8818000);  // STMIA r1, {pc}
  EXPECT_EQ(Mem(0x2000), 0x100Cu);
  cpu.SetReg(2, 0);
  Run(0xE08F0211);  // ADD r0, pc, r1, LSL r2: a register shift costs a cycle, pc + 12
  EXPECT_EQ(cpu.Reg(0), 0x100Cu + 0x2000u);
  cpu.SetCpsr(kThumbSvc);
  Run(0x4678, 0x1002);  // Thumb MOV r0, pc
  EXPECT_EQ(cpu.Reg(0), 0x1006u);
  Run(0xA001, 0x1002);  // Thumb ADD r0, pc, #4: pc word-aligned
  EXPECT_EQ(cpu.Reg(0), 0x1008u);
}

TEST_F(ExecuteRules, NextPcFollowsTheWordUnlessThePcIsWritten) {
  ExecResult r = Run(0xE1A00000);  // MOV r0, r0
  EXPECT_FALSE(r.pcWritten);
  EXPECT_EQ(cpu.NextPc(), 0x1004u);
  r = Run(0xEAFFFFFE);  // B .
  EXPECT_TRUE(r.pcWritten);
  EXPECT_EQ(cpu.NextPc(), 0x1000u);
  r = Run(0x0A000010);  // BEQ with Z clear: not taken
  EXPECT_FALSE(r.pcWritten);
  EXPECT_EQ(cpu.NextPc(), 0x1004u);
  cpu.SetCpsr(kThumbSvc);
  Run(0x46C0, 0x1002);  // MOV r8, r8
  EXPECT_EQ(cpu.NextPc(), 0x1004u);
}

struct PcWriteCase {
  const char* what;
  uint32_t cpsr;
  uint32_t word;
  uint32_t r0;
  uint32_t memory;  // word at 0x3000, where r1 points
  uint32_t nextPc;
  bool thumbAfter;
};

class PcWrites : public ExecuteRules, public ::testing::WithParamInterface<PcWriteCase> {};

TEST_P(PcWrites, KeepOrDropTheLowBits) {
  const PcWriteCase& c = GetParam();
  cpu.SetCpsr(c.cpsr);
  cpu.SetReg(0, c.r0);
  cpu.SetReg(1, 0x3000);
  SetMem(0x3000, c.memory);
  const ExecResult r = Run(c.word, (c.cpsr & 0x20u) != 0 ? 0x1002 : 0x1000);
  EXPECT_TRUE(r.pcWritten);
  EXPECT_EQ(cpu.NextPc(), c.nextPc);
  EXPECT_EQ(cpu.Thumb(), c.thumbAfter);
}

INSTANTIATE_TEST_SUITE_P(
    SimCpu, PcWrites,
    ::testing::Values(
        PcWriteCase{"BX to ARM keeps bit 1", kSvc, 0xE12FFF10, 0x2006, 0, 0x2006, false},
        PcWriteCase{"BX to Thumb", kSvc, 0xE12FFF10, 0x2007, 0, 0x2006, true},
        PcWriteCase{"Thumb BX pc at 4k+2 enters ARM with bit 1 set", kThumbSvc, 0x4778, 0, 0, 0x1006, false},
        PcWriteCase{"ALU write keeps all bits", kSvc, 0xE1A0F000, 0x2003, 0, 0x2003, false},
        PcWriteCase{"LDR pc clears bits 1:0, no interworking", kSvc, 0xE591F000, 0, 0x2003, 0x2000, false},
        PcWriteCase{"LDM pc clears bits 1:0", kSvc, 0xE8918000, 0, 0x2007, 0x2004, false}));

TEST_F(ExecuteRules, ThumbPopOfPcClearsBitZeroAndStaysThumb) {
  cpu.SetCpsr(kThumbSvc);
  cpu.SetReg(13, 0x3000);
  SetMem(0x3000, 0x2003);
  Run(0xBD00, 0x1002);  // POP {pc}
  EXPECT_EQ(cpu.NextPc(), 0x2002u);
  EXPECT_EQ(cpu.Reg(13), 0x3004u);
}

TEST_F(ExecuteRules, MsrNeverChangesTheThumbBitAndUserModeWritesOnlyFlags) {
  cpu.SetReg(0, 0xF00000F1);  // flags, T, FIQ mode
  Run(0xE129F000);            // MSR CPSR_fc, r0
  EXPECT_EQ(cpu.Cpsr(), 0xF00000D1u);
  cpu.SetCpsr(0x10);  // User
  cpu.SetReg(0, 0x500000D3);
  Run(0xE129F000);
  EXPECT_EQ(cpu.Cpsr(), 0x50000010u);
}

TEST_F(ExecuteRules, MrsOfSpsrInUserAndSystemModeReadsTheCpsr) {
  for (uint32_t mode : {0x10u, 0x1Fu}) {
    cpu.SetCpsr(0x60000000u | mode);
    Run(0xE14F0000);  // MRS r0, SPSR
    EXPECT_EQ(cpu.Reg(0), 0x60000000u | mode);
  }
}

TEST_F(ExecuteRules, DataProcessingToPcWithSRestoresTheSpsr) {
  cpu.SetSpsr(Mode::kSupervisor, 0x80000030);  // User, Thumb, N
  cpu.SetReg(14, 0x2001);
  const ExecResult r = Run(0xE1B0F00E);  // MOVS pc, lr
  EXPECT_TRUE(r.pcWritten);
  EXPECT_EQ(cpu.Cpsr(), 0x80000030u);
  EXPECT_EQ(cpu.CurrentMode(), Mode::kUser);
  EXPECT_EQ(cpu.NextPc(), 0x2000u);  // Thumb state drops bit 0
}

TEST_F(ExecuteRules, BlockTransfersRunInAscendingOrderOneCyclePerWord) {
  cpu.SetReg(0, 0x2010);
  cpu.SetReg(1, 0x11);
  cpu.SetReg(5, 0x55);
  cpu.SetReg(14, 0xEE);
  Run(0xE9204022);  // STMDB r0!, {r1, r5, lr}
  EXPECT_EQ(Data(), (std::vector<Access>{{Access::kWrite, 0x2004, 4, 0x11, true},
                                         {Access::kWrite, 0x2008, 4, 0x55, true},
                                         {Access::kWrite, 0x200C, 4, 0xEE, true}}));
  EXPECT_EQ(cpu.Reg(0), 0x2004u);
  bus.log.clear();
  Run(0xE8B0000C);  // LDMIA r0!, {r2, r3}
  EXPECT_EQ(Data(),
            (std::vector<Access>{{Access::kRead, 0x2004, 4, 0x11, true}, {Access::kRead, 0x2008, 4, 0x55, true}}));
  EXPECT_EQ(cpu.Reg(2), 0x11u);
  EXPECT_EQ(cpu.Reg(3), 0x55u);
  EXPECT_EQ(cpu.Reg(0), 0x200Cu);
}

TEST_F(ExecuteRules, StmStoresTheBaseOriginalOnlyWhenItIsFirst) {
  cpu.SetReg(0, 0x2000);
  cpu.SetReg(1, 0x3000);
  Run(0xE8A00003);  // STMIA r0!, {r0, r1}: r0 first, stored unchanged
  EXPECT_EQ(Mem(0x2000), 0x2000u);
  Run(0xE8A10003);  // STMIA r1!, {r0, r1}: r1 second, stored written back
  EXPECT_EQ(Mem(0x3004), 0x3008u);
  SetMem(0x4000, 0xAAAA);
  cpu.SetReg(2, 0x4000);
  Run(0xE8B20004);  // LDMIA r2!, {r2}: the loaded value wins over writeback
  EXPECT_EQ(cpu.Reg(2), 0xAAAAu);
}

TEST_F(ExecuteRules, UserBankTransfersAndExceptionReturn) {
  cpu.SetBankedReg(Mode::kUser, 13, 0x1111);
  cpu.SetReg(13, 0x2000);  // Supervisor's sp
  Run(0xE8C02000);         // STMIA r0, {sp}^ with r0 = 0
  EXPECT_EQ(Mem(0), 0x1111u);
  cpu.SetSpsr(Mode::kSupervisor, 0x1F);
  SetMem(0x2000, 0x4444);
  SetMem(0x2004, 0x3000);
  Run(0xE8FD8001);  // LDMIA sp!, {r0, pc}^
  EXPECT_EQ(cpu.CurrentMode(), Mode::kSystem);
  EXPECT_EQ(cpu.NextPc(), 0x3000u);
  EXPECT_EQ(cpu.Reg(0), 0x4444u);
  EXPECT_EQ(cpu.BankedReg(Mode::kSupervisor, 13), 0x2008u);
}

TEST_F(ExecuteRules, UnalignedWordLoadsRotateAndTheBusSeesTheComputedAddress) {
  SetMem(0x2000, 0x44332211);
  cpu.SetReg(1, 0x2001);
  Run(0xE5910000);  // LDR r0, [r1]
  EXPECT_EQ(cpu.Reg(0), 0x11443322u);
  ASSERT_EQ(Data().size(), 1u);
  EXPECT_EQ(Data()[0].address, 0x2001u);
  cpu.SetReg(1, 0x2003);
  Run(0xE1D100B0);  // LDRH r0, [r1]: the halfword at 0x2002
  EXPECT_EQ(cpu.Reg(0), 0x4433u);
  Run(0xE1D100D0);  // LDRSB r0, [r1]
  EXPECT_EQ(cpu.Reg(0), 0x00000044u);
  SetMem(0x2004, 0x000080FF);
  cpu.SetReg(1, 0x2004);
  Run(0xE1D100F0);  // LDRSH r0, [r1]
  EXPECT_EQ(cpu.Reg(0), 0xFFFF80FFu);
}

TEST_F(ExecuteRules, SwapReadsThenWrites) {
  SetMem(0x2000, 0x12345678);
  cpu.SetReg(1, 0x2000);
  cpu.SetReg(2, 0xCAFE);
  Run(0xE1010092);  // SWP r0, r2, [r1]
  EXPECT_EQ(Data(), (std::vector<Access>{{Access::kRead, 0x2000, 4, 0x12345678, true},
                                         {Access::kWrite, 0x2000, 4, 0xCAFE, true}}));
  EXPECT_EQ(cpu.Reg(0), 0x12345678u);
}

TEST_F(ExecuteRules, TranslatedAccessesAreUnprivileged) {
  cpu.SetReg(1, 0x2000);
  Run(0xE4B10004);  // LDRT r0, [r1], #4
  Run(0xE5910000);  // LDR r0, [r1]
  ASSERT_EQ(Data().size(), 2u);
  EXPECT_FALSE(Data()[0].privileged);
  EXPECT_TRUE(Data()[1].privileged);
}

TEST_F(ExecuteRules, CoprocessorTransfersGoThroughTheBus) {
  bus.coprocessorValue = 0xD00D;
  Run(0xEE110E10);  // MRC p14, 0, r0, c1, c0, 0
  EXPECT_EQ(cpu.Reg(0), 0xD00Du);
  cpu.SetReg(3, 0xBEEF);
  Run(0xEE013E10);  // MCR p14, 0, r3, c1, c0, 0
  EXPECT_EQ(bus.coprocessorValue, 0xBEEFu);
  const ExecResult r = Run(0xEE120E10);  // MRC p14, 0, r0, c2, c0, 0: nobody answers
  EXPECT_TRUE(r.exception);
  EXPECT_EQ(cpu.CurrentMode(), Mode::kUndefined);
}

}  // namespace
}  // namespace vsim::testing
