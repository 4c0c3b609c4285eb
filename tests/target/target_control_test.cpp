// The target state machine on a scripted core: the states in which each operation
// refuses without touching the cable, and the failures that the board cannot show (a
// running core that never halts on a stop or a disconnect).
#include "target/target_control.h"

#include <gmock/gmock.h>

#include <algorithm>

#include "target/register_cache.h"
#include "target_fixture.h"

namespace vantrel::test {
namespace {

using ::testing::ElementsAreArray;

constexpr char kWaitingLine[] = "Waiting for the debugger to stop st = 0x00000000......\r\n";

class TargetControlTest : public TargetTest {};

TEST_F(TargetControlTest, ConnectBeforeAnyCableWasOpenedFindsNoEmulator) {
  EXPECT_EQ(target::ConnectTarget(Target()), kEmulatorNotFound);
  EXPECT_EQ(target::TargetState(Target()), target::kNothingOpened);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, OperationsRefusedInTheirStatesSendNothing) {
  uint32_t word = 0x5A5A5A5A;
  constexpr ResultCode kNotRefused = 1000;  // the operation would act in that state: not tried
  struct Case {
    uint32_t state;
    ResultCode run, stop, setPc;
  };
  for (const Case c : {Case{target::kNothingOpened, kStatusError, kStatusError, kStatusError},
                       Case{target::kTargetDown, kStatusError, kStatusError, kStatusError},
                       Case{target::kConnected, kNotRefused, kStatusError, kNotRefused},
                       Case{target::kRunning, kOk, kNotRefused, kStatusError}}) {
    SCOPED_TRACE(c.state);
    target::SetTargetState(Target(), c.state);
    if (c.run != kNotRefused) {
      EXPECT_EQ(target::RunTarget(Target()), c.run);
    }
    if (c.stop != kNotRefused) {
      EXPECT_EQ(target::StopTarget(Target(), word), c.stop);
    }
    if (c.setPc != kNotRefused) {
      EXPECT_EQ(target::SetPc(Target(), 0x8000), c.setPc);
    }
    EXPECT_EQ(target::TargetState(Target()), c.state);
  }
  EXPECT_EQ(word, 0x5A5A5A5Au) << "a refused stop delivers no word";
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, StopOfAHaltedCoreAnswersTheSavedPcAtOnce) {
  target::SetTargetState(Target(), target::kHalted);
  target::SetSavedPc(Target(), 0x1234);
  uint32_t word = 0;
  EXPECT_EQ(target::StopTarget(Target(), word), kOk);
  EXPECT_EQ(word, 0x1234u);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, DisconnectOfATargetAlreadyDownOnlyForgetsTheTap) {
  target::SetTargetState(Target(), target::kTargetDown);
  ASSERT_EQ(cable::TapActive(session_.Port()), 1);
  EXPECT_EQ(target::DisconnectTarget(Target()), kAlreadyDown);
  EXPECT_EQ(cable::TapActive(session_.Port()), 0);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, AStopThatDoesNotHaltTheCoreLeavesItRunningWithNothingSaved) {
  target::SetTargetState(Target(), target::kRunning);
  arm7::RegisterCache(session_.Core()).fill(0x5A5A5A5A);
  uint32_t word = 0x12345678;
  EXPECT_EQ(target::StopTarget(Target(), word), kHaltFailed);
  EXPECT_EQ(target::TargetState(Target()), target::kRunning);
  EXPECT_EQ(TraceCount(kWaitingLine), 50);
  EXPECT_THAT(Ops(), ::testing::Not(::testing::Contains("read r0"))) << "no registers to save";
  EXPECT_EQ(arm7::RegisterCache(session_.Core())[0], 0x5A5A5A5Au);
  EXPECT_EQ(word, 0x12345678u);
}

// The status said the core runs and it could not be halted: whatever the state said, the
// core runs.
TEST_F(TargetControlTest, ADisconnectThatDoesNotHaltTheCoreLeavesItRunning) {
  for (const uint32_t state : {target::kRunning, target::kConnected, target::kHalted}) {
    SCOPED_TRACE(state);
    cable::TapReset(session_.Port(), cable::TapResetEnd::kRunTestIdle);
    target::SetTargetState(Target(), state);
    EXPECT_EQ(target::DisconnectTarget(Target()), kHaltFailed);
    EXPECT_EQ(target::TargetState(Target()), target::kRunning);
    EXPECT_EQ(cable::TapActive(session_.Port()), 0);
  }
}

// A connect that pulsed the reset line has a running core unless it halts it.
TEST_F(TargetControlTest, AConnectThatCannotHaltTheResetCoreSaysItRuns) {
  ASSERT_EQ(target::OpenEmulator(Target(), "lpt", "lpt1"), kOk);
  target::SetTargetState(Target(), target::kHalted);
  EXPECT_EQ(target::ConnectTarget(Target()), kTargetNotFound);
  EXPECT_EQ(target::TargetState(Target()), target::kTargetDown);
}

// After a disconnect that could not halt the core, the connect starts from the reset
// line even though the state said connected; it then finds the core as it is.
TEST_F(TargetControlTest, ReconnectAfterAFailedDisconnectConnectsFromScratch) {
  ASSERT_EQ(target::OpenEmulator(Target(), "lpt", "lpt1"), kOk);
  target::SetTargetState(Target(), target::kConnected);
  port_.ClearLog();
  EXPECT_EQ(target::ReconnectTarget(Target()), kTargetNotFound);
  EXPECT_EQ(target::TargetState(Target()), target::kTargetDown);
  const auto& log = port_.Log();
  const bool resetPulsed = std::any_of(log.begin(), log.end(), [&](const PortAccessRecord& r) {
    return r.write && r.port == port_.DataPort() && r.value == 0x00;
  });
  EXPECT_TRUE(resetPulsed) << "the reset line was pulsed";
}

TEST_F(TargetControlTest, SetPcWritesThePcAndReadsEveryRegisterBack) {
  target::SetTargetState(Target(), target::kHalted);
  std::vector<uint32_t> stores;
  for (uint32_t i = 0; i < 15; ++i) stores.push_back(i);
  stores.insert(stores.end(), {0x8000, 0, 0x600000D3});  // r15, then the CPSR read (r0, CPSR)
  ScriptStores(stores);
  EXPECT_EQ(target::SetPc(Target(), 0x8000), kOk);

  std::vector<std::string> expected{"write r15=00008000"};
  for (int i = 0; i <= 15; ++i) expected.push_back("read r" + std::to_string(i));
  expected.push_back("read cpsr");
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
  EXPECT_EQ(target::SavedPc(Target()), 0x8000u);
  EXPECT_EQ(arm7::RegisterCache(session_.Core())[16], 0x600000D3u);
}

}  // namespace
}  // namespace vantrel::test
