// The TAP with its instruction and data registers, driven edge by edge, with the chain
// hooks recorded.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "board/jtag_tap.h"

namespace vsim {
namespace {

struct RecordingHooks final : TapHooks {
  uint64_t chain1Capture = 0;
  uint32_t chain2Data = 0;
  int chain1Captures = 0;
  std::vector<uint64_t> chain1Updates, chain2Updates;
  int idleEdges = 0, dclkEdges = 0, restarts = 0;

  uint64_t CaptureChain1() override {
    ++chain1Captures;
    return chain1Capture;
  }
  void UpdateChain1(uint64_t cells) override { chain1Updates.push_back(cells); }
  uint32_t CaptureChain2Data() override { return chain2Data; }
  void UpdateChain2(uint64_t cells) override { chain2Updates.push_back(cells); }
  void IdleEdge(bool chain1Intest) override {
    ++idleEdges;
    if (chain1Intest) ++dclkEdges;
  }
  void RestartEntered() override { ++restarts; }
};

class Tap : public ::testing::Test {
 protected:
  RecordingHooks hooks;
  JtagTap tap{0x3F0F0F0F, hooks};

  bool Clock(bool tms, bool tdi = false) {
    bool tdo = tap.Tdo();
    tap.Clock(tms, tdi);
    return tdo;
  }
  void ToIdle() {
    for (int i = 0; i < 5; ++i) Clock(true);
    Clock(false);
  }
  uint64_t Shift(int bits, uint64_t in) {
    uint64_t out = 0;
    for (int i = 0; i < bits; ++i) {
      if (Clock(i == bits - 1, ((in >> i) & 1u) != 0)) out |= uint64_t{1} << i;
    }
    return out;
  }
  // From Run-Test/Idle or Update to Update-IR.
  uint64_t ScanIR(uint8_t ir) {
    Clock(true), Clock(true), Clock(false), Clock(false);
    uint64_t out = Shift(4, ir);
    Clock(true);
    return out;
  }
  uint64_t ScanDR(int bits, uint64_t in) {
    Clock(true), Clock(false), Clock(false);
    uint64_t out = Shift(bits, in);
    Clock(true);
    return out;
  }
};

TEST_F(Tap, ResetSelectsIdcodeAndItReadsTheConfiguredCode) {
  ToIdle();
  EXPECT_EQ(tap.Instruction(), 0xE);
  EXPECT_EQ(tap.SelectedChain(), 3);
  EXPECT_EQ(ScanDR(32, 0), 0x3F0F0F0Fu);
}

TEST_F(Tap, InstructionCaptureIsOneAndTakesEffectAtUpdate) {
  ToIdle();
  Clock(true), Clock(true), Clock(false), Clock(false);
  EXPECT_EQ(Shift(4, 0xC), 0x1u);
  EXPECT_EQ(tap.Instruction(), 0xE) << "not yet: the controller is in Exit1-IR";
  Clock(true);
  EXPECT_EQ(tap.Instruction(), 0xC);
}

TEST_F(Tap, BypassAndUnusedCodesDelayByOneBit) {
  for (const uint8_t code : std::initializer_list<uint8_t>{0xF, 0x0, 0x4, 0x7}) {
    ToIdle();
    ScanIR(code);
    // 8 bits in, the first one out is the captured 0, then the input delayed by one.
    EXPECT_EQ(ScanDR(8, 0xB5), (0xB5u << 1) & 0xFF) << "IR " << int(code);
  }
}

TEST_F(Tap, ScanNCapturesEightAndSelectsAtUpdateDr) {
  ToIdle();
  ScanIR(0x2);
  EXPECT_EQ(ScanDR(4, 2), 0x8u);
  EXPECT_EQ(tap.SelectedChain(), 2);
  ScanIR(0xC);
  ScanDR(38, 0x2A00000123ull);
  ASSERT_EQ(hooks.chain2Updates.size(), 1u);
  EXPECT_EQ(hooks.chain2Updates[0], 0x2A00000123ull);
}

TEST_F(Tap, OtherChainsAreOneCellThatCapturesZero) {
  ToIdle();
  ScanIR(0x2);
  ScanDR(4, 5);
  ScanIR(0xC);
  EXPECT_EQ(ScanDR(4, 0xF), 0xEu);
  EXPECT_TRUE(hooks.chain1Updates.empty() && hooks.chain2Updates.empty());
}

TEST_F(Tap, PauseAndExit2ReturnToShiftWithoutASecondCapture) {
  ToIdle();
  ScanIR(0x2);
  ScanDR(4, 1);
  ScanIR(0xC);
  hooks.chain1Capture = 0x1FFFFFFFFull;
  Clock(true), Clock(false), Clock(false);  // Capture-DR, Shift-DR
  uint64_t out = Shift(10, 0);              // to Exit1-DR
  Clock(false), Clock(false);               // Pause-DR, stays
  Clock(true), Clock(false);                // Exit2-DR, Shift-DR
  out |= Shift(23, 0x7FFFFF) << 10;
  Clock(true);  // Update-DR
  EXPECT_EQ(hooks.chain1Captures, 1);
  EXPECT_EQ(out, 0x1FFFFFFFFull);
  ASSERT_EQ(hooks.chain1Updates.size(), 1u);
  EXPECT_EQ(hooks.chain1Updates[0], 0x7FFFFFull << 10);
}

TEST_F(Tap, DebugClocksOnlyInIdleWithIntestOnChainOne) {
  ToIdle();
  ScanIR(0x2);
  ScanDR(4, 1);
  ScanIR(0xC);
  hooks.idleEdges = hooks.dclkEdges = 0;
  Clock(false);  // Update-IR -> Run-Test/Idle: not an edge taken in idle
  EXPECT_EQ(hooks.idleEdges, 0);
  Clock(false), Clock(true);  // two edges taken in Run-Test/Idle, the second leaves it
  EXPECT_EQ(hooks.dclkEdges, 2);
  Clock(true), Clock(false), Clock(false);  // Select-IR, Capture-IR, Shift-IR
  Shift(4, 0x2);
  Clock(true);
  ScanDR(4, 2);
  ScanIR(0xC);
  hooks.idleEdges = hooks.dclkEdges = 0;
  Clock(false), Clock(false), Clock(false);
  EXPECT_EQ(hooks.idleEdges, 2);
  EXPECT_EQ(hooks.dclkEdges, 0) << "chain 2 never clocks the core";
}

TEST_F(Tap, RestartActsWhenIdleIsEntered) {
  ToIdle();
  ScanIR(0x4);
  EXPECT_EQ(hooks.restarts, 0);
  Clock(false);
  EXPECT_EQ(hooks.restarts, 1);
  Clock(false);
  EXPECT_EQ(hooks.restarts, 1) << "staying in Run-Test/Idle does not restart again";
}

TEST_F(Tap, TdoIsLowOutsideTheShiftStates) {
  ToIdle();
  ScanIR(0xF);
  EXPECT_FALSE(tap.Tdo());
  Clock(true), Clock(false);  // Capture-DR
  EXPECT_FALSE(tap.Tdo());
  Clock(false);  // Shift-DR
  Clock(false, true);
  EXPECT_TRUE(tap.Tdo()) << "the bypass cell now holds the 1 shifted in";
  Clock(true);  // Exit1-DR
  EXPECT_FALSE(tap.Tdo());
}

TEST_F(Tap, TrstResetsTheInstructionAndChain) {
  ToIdle();
  ScanIR(0x2);
  ScanDR(4, 1);
  tap.Reset();
  EXPECT_EQ(tap.State(), TapState::kTestLogicReset);
  EXPECT_EQ(tap.Instruction(), 0xE);
  EXPECT_EQ(tap.SelectedChain(), 3);
}

}  // namespace
}  // namespace vsim
