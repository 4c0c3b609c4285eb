// The target state machine on a scripted core: the states in which each operation
// refuses without touching the cable, and the failures that the board cannot show (a
// running core that never halts on a stop or a disconnect).
#include "target/target_control.h"

#include <gmock/gmock.h>

#include "target/register_cache.h"
#include "target_fixture.h"

namespace vantrel::test {
namespace {

using ::testing::ElementsAreArray;

constexpr char kWaitingLine[] = "Waiting for the debugger to stop st = 0x00000000......\r\n";

class TargetControlTest : public TargetTest {};

TEST_F(TargetControlTest, ConnectBeforeAnyCableWasOpenedFindsNoEmulator) {
  EXPECT_EQ(target::ConnectTarget(), kEmulatorNotFound);
  EXPECT_EQ(target::TargetState(), target::kNothingOpened);
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
    target::SetTargetState(c.state);
    if (c.run != kNotRefused) {
      EXPECT_EQ(target::RunTarget(), c.run);
    }
    if (c.stop != kNotRefused) {
      EXPECT_EQ(target::StopTarget(word), c.stop);
    }
    if (c.setPc != kNotRefused) {
      EXPECT_EQ(target::SetPc(0x8000), c.setPc);
    }
    EXPECT_EQ(target::TargetState(), c.state);
  }
  EXPECT_EQ(word, 0x5A5A5A5Au) << "a refused stop delivers no word";
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, StopOfAHaltedCoreAnswersTheSavedPcAtOnce) {
  target::SetTargetState(target::kHalted);
  target::SetSavedPc(0x1234);
  uint32_t word = 0;
  EXPECT_EQ(target::StopTarget(word), kOk);
  EXPECT_EQ(word, 0x1234u);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, DisconnectOfATargetAlreadyDownOnlyForgetsTheTap) {
  target::SetTargetState(target::kTargetDown);
  ASSERT_EQ(cable::TapActive(), 1);
  EXPECT_EQ(target::DisconnectTarget(), target::kAlreadyDown);
  EXPECT_EQ(cable::TapActive(), 0);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(TargetControlTest, AStopThatDoesNotHaltTheCoreStillEndsHalted) {
  target::SetTargetState(target::kRunning);
  uint32_t word = 0;
  EXPECT_EQ(target::StopTarget(word), target::kStopFailed);
  EXPECT_EQ(target::TargetState(), target::kHalted);
  EXPECT_EQ(TraceCount(kWaitingLine), 50);
}

TEST_F(TargetControlTest, ADisconnectThatDoesNotHaltTheCoreLeavesTheStateAlone) {
  target::SetTargetState(target::kRunning);
  EXPECT_EQ(target::DisconnectTarget(), target::kDisconnectFailed);
  EXPECT_EQ(target::TargetState(), target::kRunning);
  EXPECT_EQ(cable::TapActive(), 0);
}

TEST_F(TargetControlTest, SetPcWritesThePcAndReadsEveryRegisterBack) {
  target::SetTargetState(target::kHalted);
  std::vector<uint32_t> stores;
  for (uint32_t i = 0; i < 15; ++i) stores.push_back(i);
  stores.insert(stores.end(), {0x8000, 0, 0x600000D3});  // r15, then the CPSR read (r0, CPSR)
  ScriptStores(stores);
  EXPECT_EQ(target::SetPc(0x8000), kOk);

  std::vector<std::string> expected{"write r15=00008000"};
  for (int i = 0; i <= 15; ++i) expected.push_back("read r" + std::to_string(i));
  expected.push_back("read cpsr");
  EXPECT_THAT(Ops(), ElementsAreArray(expected));
  EXPECT_EQ(target::SavedPc(), 0x8000u);
  EXPECT_EQ(arm7::RegisterCache()[16], 0x600000D3u);
}

}  // namespace
}  // namespace vantrel::test
