// Exception entry for every kind, from both states; interrupt sampling in Step; the
// banked registers of the seven modes.
#include <cstdint>

#include <gtest/gtest.h>

#include "cpu/arm_cpu.h"
#include "recording_bus.h"

namespace vsim::testing {
namespace {

struct EntryCase {
  const char* what;
  uint32_t cpsr;   // before
  uint32_t word;   // executed at 0x1000 (ARM) or 0x1002 (Thumb)
  bool abortData;  // the data access at 0x2000 aborts
  Mode mode;
  uint32_t vector;
  uint32_t lr;
  bool fiqMasked;
};

class ExceptionEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ExceptionEntry, SavesStateAndEntersTheHandlerInArmState) {
  const EntryCase& c = GetParam();
  ArmCpu cpu;
  RecordingBus bus;
  cpu.SetCpsr(c.cpsr);
  cpu.SetReg(1, 0x2000);
  cpu.SetReg(0, 0x77);
  if (c.abortData) bus.aborting.insert(0x2000);
  const bool thumb = (c.cpsr & 0x20u) != 0;
  const ExecResult r = cpu.Execute(c.word, thumb ? 0x1002 : 0x1000, bus);
  EXPECT_TRUE(r.exception);
  EXPECT_EQ(r.dataAbort, c.abortData);
  EXPECT_EQ(cpu.CurrentMode(), c.mode);
  EXPECT_EQ(cpu.NextPc(), c.vector);
  EXPECT_EQ(cpu.Reg(14), c.lr);
  EXPECT_EQ(cpu.Spsr(c.mode), c.cpsr);
  EXPECT_FALSE(cpu.Thumb());
  EXPECT_NE(cpu.Cpsr() & 0x80u, 0u);                  // IRQ disabled
  EXPECT_EQ((cpu.Cpsr() & 0x40u) != 0, c.fiqMasked);  // FIQ as it was
  EXPECT_EQ(cpu.Reg(0), 0x77u);                       // an aborted load leaves its register
}

INSTANTIATE_TEST_SUITE_P(
    SimCpu, ExceptionEntry,
    ::testing::Values(
        EntryCase{"SWI from ARM User", 0x60000010, 0xEF000012, false, Mode::kSupervisor, 0x08, 0x1004, false},
        EntryCase{"SWI from Thumb", 0x30, 0xDF12, false, Mode::kSupervisor, 0x08, 0x1004, false},
        EntryCase{"undefined ARM word", 0x1F, 0xE7F000F0, false, Mode::kUndefined, 0x04, 0x1004, false},
        EntryCase{"undefined Thumb halfword", 0x70000030, 0xDE00, false, Mode::kUndefined, 0x04, 0x1004, false},
        EntryCase{"CDP with no coprocessor", 0x10, 0xEE000000, false, Mode::kUndefined, 0x04, 0x1004, false},
        EntryCase{"data abort on LDR", 0x53, 0xE5910000, true, Mode::kAbort, 0x10, 0x1008, true},
        EntryCase{"data abort on Thumb LDR", 0x30, 0x6808, true, Mode::kAbort, 0x10, 0x100A, false}));

TEST(SimCpuDataAbort, BlockTransferKeepsItsCyclesAndStopsRegisterWrites) {
  ArmCpu cpu;
  RecordingBus bus;
  cpu.SetCpsr(0xD3);
  cpu.SetReg(1, 0x2000);
  for (uint32_t r : {0u, 2u, 3u}) cpu.SetReg(static_cast<int>(r), 0xEEEE);
  ASSERT_TRUE(bus.Poke(0x2000, 4, 0x1111));
  ASSERT_TRUE(bus.Poke(0x2008, 4, 0x3333));
  bus.aborting.insert(0x2004);
  const ExecResult r = cpu.Execute(0xE8B1000D, 0x1000, bus);  // LDMIA r1!, {r0, r2, r3}
  EXPECT_TRUE(r.dataAbort);
  EXPECT_EQ(bus.log.size(), 3u);  // every word still has its cycle
  EXPECT_EQ(cpu.Reg(14), 0x1008u);
  cpu.SetCpsr(0xD3);               // back to Supervisor to look at its registers
  EXPECT_EQ(cpu.Reg(0), 0x1111u);  // loaded before the abort
  EXPECT_EQ(cpu.Reg(2), 0xEEEEu);
  EXPECT_EQ(cpu.Reg(3), 0xEEEEu);
  EXPECT_EQ(cpu.Reg(1), 0x200Cu);  // the base is written back, as the ARM7TDMI does

  cpu.SetReg(1, 0x2000);
  cpu.Execute(0xE8B10006, 0x1000, bus);  // LDMIA r1!, {r1, r2}: r1 loaded, then the abort
  cpu.SetCpsr(0xD3);
  EXPECT_EQ(cpu.Reg(1), 0x2008u);  // the written-back base, not the loaded word
}

TEST(SimCpuStep, PrefetchAbortAndInterruptsAreTakenBeforeTheFetch) {
  ArmCpu cpu;
  RecordingBus bus;
  cpu.SetCpsr(0x10);  // User, interrupts enabled
  cpu.SetNextPc(0x1000);
  cpu.SetIrq(true);
  cpu.SetFiq(true);
  ExecResult r = cpu.Step(bus);  // FIQ first
  EXPECT_TRUE(r.exception);
  EXPECT_EQ(cpu.CurrentMode(), Mode::kFiq);
  EXPECT_EQ(cpu.NextPc(), 0x1Cu);
  EXPECT_EQ(cpu.Reg(14), 0x1004u);
  EXPECT_TRUE(bus.log.empty());  // no fetch was made
  cpu.SetCpsr(0x50);             // FIQ masked: now IRQ
  cpu.SetNextPc(0x1000);
  r = cpu.Step(bus);
  EXPECT_EQ(cpu.CurrentMode(), Mode::kIrq);
  EXPECT_EQ(cpu.NextPc(), 0x18u);
  cpu.SetIrq(false);
  cpu.SetFiq(false);
  cpu.SetNextPc(0x20000);  // outside the RAM
  r = cpu.Step(bus);
  EXPECT_TRUE(r.exception);
  EXPECT_EQ(cpu.CurrentMode(), Mode::kAbort);
  EXPECT_EQ(cpu.NextPc(), 0x0Cu);
  EXPECT_EQ(cpu.Reg(14), 0x20004u);
}

TEST(SimCpuStep, MaskedInterruptsWaitAndThumbFetchesHalfwords) {
  ArmCpu cpu;
  RecordingBus bus;
  ASSERT_TRUE(bus.Poke(0x1000, 2, 0x2005));  // MOVS r0, #5
  cpu.SetCpsr(0xF3);                         // Thumb, both masked
  cpu.SetIrq(true);
  cpu.SetFiq(true);
  cpu.SetNextPc(0x1000);
  const ExecResult r = cpu.Step(bus);
  EXPECT_FALSE(r.exception);
  EXPECT_EQ(cpu.Reg(0), 5u);
  EXPECT_EQ(cpu.NextPc(), 0x1002u);
  ASSERT_EQ(bus.log.size(), 1u);
  EXPECT_EQ(bus.log[0], (Access{Access::kFetch, 0x1000, 2, 0x2005, true}));
}

TEST(SimCpuModes, EachModeSeesItsOwnBank) {
  ArmCpu cpu;
  const Mode modes[] = {Mode::kUser, Mode::kFiq, Mode::kIrq, Mode::kSupervisor, Mode::kAbort, Mode::kUndefined};
  for (Mode m : modes) {
    cpu.SetCpsr(0xC0u | static_cast<uint32_t>(m));
    for (int i = 8; i <= 14; ++i) cpu.SetReg(i, static_cast<uint32_t>(m) << 8 | static_cast<uint32_t>(i));
  }
  cpu.SetCpsr(0xDF);  // System shares the User bank
  EXPECT_EQ(cpu.Reg(13), 0x100Du);
  for (Mode m : modes) {
    const auto own = static_cast<uint32_t>(m) << 8;
    EXPECT_EQ(cpu.BankedReg(m, 13), own | 13u);
    EXPECT_EQ(cpu.BankedReg(m, 14), own | 14u);
    // Only FIQ has its own r8-r12; the others wrote the shared ones, Undefined last.
    const uint32_t low = m == Mode::kFiq ? own : static_cast<uint32_t>(Mode::kUndefined) << 8;
    EXPECT_EQ(cpu.BankedReg(m, 8), low | 8u) << static_cast<int>(m);
  }
  cpu.SetBankedReg(Mode::kFiq, 9, 0xF9);
  cpu.SetBankedReg(Mode::kIrq, 13, 0x13);
  cpu.SetCpsr(0xD1);
  EXPECT_EQ(cpu.Reg(9), 0xF9u);
  cpu.SetCpsr(0xD2);
  EXPECT_EQ(cpu.Reg(13), 0x13u);
}

TEST(SimCpuModes, ResetAndInvalidModes) {
  ArmCpu cpu;
  cpu.SetCpsr(0x1F);
  cpu.SetReg(13, 0x5555);
  cpu.SetCpsr(0x0F);  // not a mode: uses the User bank, has no SPSR
  EXPECT_EQ(cpu.Reg(13), 0x5555u);
  EXPECT_EQ(cpu.Spsr(cpu.CurrentMode()), cpu.Cpsr());
  cpu.Reset();
  EXPECT_EQ(cpu.Cpsr(), 0xD3u);
  EXPECT_EQ(cpu.NextPc(), 0u);
  EXPECT_EQ(cpu.BankedReg(Mode::kUser, 13), 0u);
  EXPECT_EQ(cpu.Reg(16), 0u);  // out-of-range indexes read as zero and are not written
  cpu.SetReg(-1, 1);
}

}  // namespace
}  // namespace vsim::testing
