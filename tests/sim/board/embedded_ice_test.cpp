// The EmbeddedICE: chain-2 capture and update as both debuggers use them, the debug
// status the core produces, the comms channel, and the watchpoint comparators.
#include <gtest/gtest.h>

#include "board/embedded_ice.h"
#include "board_jtag.h"

namespace vsim::test {
namespace {

BoardConfig Deterministic() {
  BoardConfig c;
  c.freeRunInstructionsPerMs = 0;
  return c;
}

class Chain2 : public ::testing::Test {
 protected:
  Board board{Deterministic()};
  BoardJtag jtag{board};
  void SetUp() override {
    for (uint32_t a = 0; a < 0x1000; a += 4) board.WriteWord(a, 0xEAFFFFFE);  // B .
    jtag.ResetToIdle();
  }
};

TEST_F(Chain2, ThirtyEightBitWriteThenSixThenThirtyTwoBitRead) {
  jtag.IceWrite(10, 0xDEADBEEF);
  EXPECT_EQ(board.IceRegister(10), 0xDEADBEEFu);
  EXPECT_EQ(jtag.IceRead(10), 0xDEADBEEFu);
  jtag.IceWrite(8, 0x00001234);
  EXPECT_EQ(jtag.IceRead(8), 0x00001234u);
  EXPECT_EQ(jtag.IceRead(10), 0xDEADBEEFu) << "the stale data cells of the 6-bit scan write nothing";
}

TEST_F(Chain2, DoubleThirtyEightBitReadAsOpenOcdDoesIt) {
  jtag.IceWrite(17, 0x0BADF00D);
  jtag.SelectChain(2);
  jtag.ScanDR(38, uint64_t{17} << 32);  // read request, data ignored
  uint64_t second = jtag.ScanDR(38, uint64_t{1} << 32);
  EXPECT_EQ(static_cast<uint32_t>(second), 0x0BADF00Du);
  EXPECT_EQ((second >> 32) & 0x3F, 17u) << "cells 32-37 keep the address shifted before";
}

TEST_F(Chain2, DebugControlIsThreeBitsWide) {
  jtag.IceWrite(0, 0xFFFFFFFD);
  EXPECT_EQ(jtag.IceRead(0), 0x5u);
}

TEST_F(Chain2, DebugStatusFollowsTheCore) {
  EXPECT_EQ(jtag.IceRead(1), 0x04u) << "running ARM code";
  jtag.IceWrite(0, 0x4);
  EXPECT_EQ(jtag.IceRead(1), 0x00u) << "INTDIS clears IFEN";
  jtag.IceWrite(0, 0x1);
  EXPECT_EQ(jtag.IceRead(1), 0x01u) << "DBGACK forced, still running";
  jtag.IceWrite(0, 0x2);
  jtag.Clock(false, false);
  jtag.Clock(false, false);
  EXPECT_EQ(jtag.IceRead(1), 0x0Bu) << "halted by DBGRQ, request still high";
  jtag.IceWrite(0, 0x0);
  jtag.Clock(false, false);
  jtag.Clock(false, false);
  EXPECT_EQ(jtag.IceRead(1), 0x09u);
}

TEST_F(Chain2, CommsChannelBothWays) {
  EXPECT_EQ(jtag.IceRead(4), 0x10000000u) << "version 1, both empty";
  jtag.IceWrite(5, 0x600DCAFE);
  EXPECT_EQ(jtag.IceRead(4), 0x10000001u) << "R set by the debugger's write";
  board.WriteWord(0x100, 0xEE110E10);  // MRC p14, 0, r0, c1, c0
  board.WriteWord(0x104, 0xEE011E10);  // MCR p14, 0, r1, c1, c0
  board.WriteWord(0x108, 0xEAFFFFFE);
  board.SetReg(1, 0x12345678);
  board.SetReg(15, 0x100);
  board.RunInstructions(2);
  EXPECT_EQ(board.Reg(0), 0x600DCAFEu);
  EXPECT_EQ(board.IceRegister(4), 0x10000002u) << "MRC cleared R, MCR set W";
  EXPECT_EQ(jtag.IceRead(5), 0x12345678u);
  EXPECT_EQ(jtag.IceRead(4), 0x10000000u) << "the debugger's read cleared W";
}

// ---- Comparators -----------------------------------------------------------------------

struct WatchCase {
  const char* name;
  uint32_t av, am, dv, dm, cv, cm;  // unit 0
  BusCycle cycle;
  bool matches;
};

constexpr uint32_t kArmFetch = 2u << 1 | kWpNtrans;  // word, instruction, privileged
constexpr uint32_t kThumbFetch = 1u << 1 | kWpNtrans;
constexpr uint32_t kWordWrite = kWpNrw | 2u << 1 | kWpNopc | kWpNtrans;

class Comparators : public ::testing::TestWithParam<WatchCase> {};

TEST_P(Comparators, UnitZero) {
  const WatchCase& c = GetParam();
  EmbeddedIce ice;
  const uint32_t regs[6] = {c.av, c.am, c.dv, c.dm, c.cv, c.cm};
  for (int i = 0; i < 6; ++i) ice.Write(kIceWatchpoint0 + i, regs[i]);
  EXPECT_EQ(ice.Matches(c.cycle), c.matches) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Comparators,
    ::testing::Values(
        WatchCase{"any fetch (0x1F0/0xF6)", 0, ~0u, 0, ~0u, 0x1F0, 0xF6, {0x1234, 0, ~0u, kArmFetch}, true},
        WatchCase{"any fetch ignores data", 0, ~0u, 0, ~0u, 0x1F0, 0xF6, {0x1234, 0, ~0u, kWordWrite}, false},
        WatchCase{"breakpoint address hit", 0x2000, 1, 0, ~0u, 0x1F7, 0xF7, {0x2000, 0, ~0u, kArmFetch}, true},
        WatchCase{"breakpoint address miss", 0x2000, 1, 0, ~0u, 0x1F7, 0xF7, {0x2004, 0, ~0u, kArmFetch}, false},
        WatchCase{"disabled unit", 0x2000, 1, 0, ~0u, 0xF7, 0xF7, {0x2000, 0, ~0u, kArmFetch}, false},
        WatchCase{"data value hit", 0, ~0u, 0xBEBEBEBE, 0, 0x1F7, 0xF7, {0x40, 0xBEBEBEBE, ~0u, kArmFetch}, true},
        WatchCase{"data value miss", 0, ~0u, 0xBEBEBEBE, 0, 0x1F7, 0xF7, {0x40, 0xBEBEBEBF, ~0u, kArmFetch}, false},
        WatchCase{"thumb fetch compares only its half",
                  0,
                  ~0u,
                  0xBEBEBEBE,
                  0,
                  0x1F7,
                  0xF7,
                  {0x42, 0xBEBEBEBE, 0xFFFF0000, kThumbFetch},
                  true},
        WatchCase{"thumb fetch half differs",
                  0,
                  ~0u,
                  0xBEBEBEBE,
                  0,
                  0x1F7,
                  0xF7,
                  {0x42, 0xBEBFBEBF, 0xFFFF0000, kThumbFetch},
                  false},
        WatchCase{"data write by nRW", 0x4000, 0, 0, ~0u, 0x109, 0xF6, {0x4000, 7, ~0u, kWordWrite}, true},
        WatchCase{"user-mode fetch by nTRANS", 0, ~0u, 0, ~0u, 0x100, 0xE7, {0x10, 0, ~0u, 2u << 1}, true},
        WatchCase{
            "privileged fetch refused by nTRANS", 0, ~0u, 0, ~0u, 0x100, 0xE7, {0x10, 0, ~0u, kArmFetch}, false}));

TEST(ComparatorRange, UnitOneFeedsRangeWhateverItsEnableSays) {
  EmbeddedIce ice;
  // Unit 1 compares the address 0x3000 (disabled); unit 0 requires RANGE clear: any
  // fetch outside 0x3000 -- OpenOCD's single step.
  ice.Write(kIceWatchpoint1 + kWpAddressValue, 0x3000);
  ice.Write(kIceWatchpoint1 + kWpAddressMask, 0);
  ice.Write(kIceWatchpoint1 + kWpDataMask, ~0u);
  ice.Write(kIceWatchpoint1 + kWpControlMask, 0xFF);
  ice.Write(kIceWatchpoint1 + kWpControlValue, 0);
  ice.Write(kIceWatchpoint0 + kWpAddressMask, ~0u);
  ice.Write(kIceWatchpoint0 + kWpDataMask, ~0u);
  ice.Write(kIceWatchpoint0 + kWpControlMask, 0x7F);
  ice.Write(kIceWatchpoint0 + kWpControlValue, 0x100);
  EXPECT_FALSE(ice.Matches({0x3000, 0, ~0u, kArmFetch}));
  EXPECT_TRUE(ice.Matches({0x3004, 0, ~0u, kArmFetch}));
}

TEST(IcePowerUp, AddressValuesMatchNothingAndResetsKeepThem) {
  EmbeddedIce ice;
  EXPECT_EQ(ice.Peek(kIceWatchpoint0, {}), 0xFFFFFFFFu);
  EXPECT_EQ(ice.Peek(kIceWatchpoint1, {}), 0xFFFFFFFFu);
  ice.Write(kIceWatchpoint0 + kWpControlValue, 0x100);
  EXPECT_FALSE(ice.Matches({0x0, 0, ~0u, kArmFetch}));
}

TEST_F(Chain2, ThumbSoftwareBreakpointPatternStopsTheCore) {
  const uint16_t code[4] = {0x46C0, 0xBEBE, 0x46C0, 0xE7FE};  // NOP, pattern, NOP, B .
  board.WriteWord(0x1000, code[0] | uint32_t{code[1]} << 16);
  board.WriteWord(0x1004, code[2] | uint32_t{code[3]} << 16);
  board.SetIceRegister(17, 0xFFFFFFFF);
  board.SetIceRegister(18, 0xBEBEBEBE);
  board.SetIceRegister(19, 0);
  board.SetIceRegister(21, 0xF7);
  board.SetIceRegister(20, 0x1F7);
  board.SetCpsr(board.Cpsr() | 0x20);
  board.SetReg(15, 0x1000);
  board.RunInstructions(100);
  ASSERT_TRUE(board.InDebugState());
  EXPECT_EQ(board.HaltAddress(), 0x1002u);
  EXPECT_EQ(jtag.IceRead(1), 0x19u);
}

}  // namespace
}  // namespace vsim::test
