// The cable kinds a session holds: one cable of each kind, opened by name, with the
// host's settings kept by the parallel-port cable, and nothing shared between two
// sessions' choices.
#include "cable/cable_registry.h"

#include <gtest/gtest.h>

#include "cable/cable.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "support/recording_port.h"
#include "support/virtual_clock.h"

namespace vantrel::test {
namespace {

class CableChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const VantrelPortIo io = port_.Io();
    choice_.UsePortIo(&io, nullptr);
  }

  VirtualClock clock_;
  RecordingPort port_;
  cable::CableChoice choice_;
};

TEST_F(CableChoiceTest, OpensAKindByNameInAnyCaseAndRefusesOthersUntouched) {
  const struct {
    const char* kind;
    const char* port;
    ResultCode result;
    const char* trace;
  } cases[] = {
      {"lpt", "lpt1", kOk, "W55 R@378"},           {"LPT", "Lpt1", kOk, "W55 R@378"},
      {"lpt", "lpt4", kInvalidParameters, ""},     {"lpt", "", kInvalidParameters, ""},
      {"KORVIX", "lpt1", kSimulatorRequested, ""}, {"korvix", "lpt1", kSimulatorRequested, ""},
      {"usb", "lpt1", kInvalidParameters, ""},     {"", "lpt1", kInvalidParameters, ""},
      {"lpt ", "lpt1", kInvalidParameters, ""},
  };
  for (const auto& c : cases) {
    port_.ClearLog();
    EXPECT_EQ(choice_.Open(c.kind, c.port), c.result) << c.kind << " " << c.port;
    EXPECT_EQ(port_.Trace(), c.trace) << c.kind << " " << c.port;
  }
}

TEST_F(CableChoiceTest, TheParallelPortCableIsActiveUntilAnotherIsInstalled) {
  cable::Cable& parallel = choice_.ParallelPort();
  EXPECT_EQ(&choice_.Active(), &parallel);

  ASSERT_EQ(choice_.Open("lpt", "lpt1"), kOk);
  cable::ParallelPortCable standIn;  // a cable of the embedding program's own
  choice_.Install(&standIn);
  EXPECT_EQ(&choice_.Active(), &standIn);
  choice_.Install(nullptr);
  EXPECT_EQ(&choice_.Active(), &parallel);
  EXPECT_TRUE(parallel.Opened());
}

// The host's settings live in the parallel-port cable's state: what the choice is told
// is what that cable's functions see.
TEST_F(CableChoiceTest, HostSettingsReachTheParallelPortCablesState) {
  cable::PortCableState& state = choice_.ParallelPort().State();
  EXPECT_FALSE(choice_.FastTransferMode());
  choice_.SetHostTransferMode(VANTREL_TRANSFER_FAST);
  EXPECT_TRUE(choice_.FastTransferMode());
  EXPECT_EQ(cable::ConfiguredTransferMode(state), cable::TransferMode::kFast);

  EXPECT_FALSE(choice_.ConfiguredWorkArea().has_value());
  cable::ApplyPortConfigLine(state, "workarea=3F000,100\n");
  ASSERT_TRUE(choice_.ConfiguredWorkArea().has_value());
  EXPECT_EQ(choice_.ConfiguredWorkArea()->address, 0x3F000u);

  ASSERT_EQ(choice_.Open("lpt", "lpt1"), kOk);
  EXPECT_EQ(cable::SelectedPort(state), 0);
  choice_.UsePortIo(nullptr, nullptr);  // back to the hardware: the access is forgotten
  EXPECT_FALSE(cable::PortAccessObtained(state));
}

// Two sessions' choices each own their cables: opening, selecting a mode or plugging a
// port into one leaves the other as at load.
TEST_F(CableChoiceTest, TwoChoicesShareNothing) {
  cable::CableChoice other;
  ASSERT_NE(&other.ParallelPort(), &choice_.ParallelPort());

  ASSERT_EQ(choice_.Open("lpt", "lpt1"), kOk);
  choice_.SetHostTransferMode(VANTREL_TRANSFER_FAST);
  choice_.Active().ResetTap(cable::TapResetEnd::kRunTestIdle);

  EXPECT_FALSE(other.Active().Opened());
  EXPECT_FALSE(other.FastTransferMode());
  EXPECT_EQ(other.Active().TapResetCount(), 0u);
  EXPECT_FALSE(other.Active().TapActive());
  EXPECT_FALSE(cable::VirtualPortPlugged(other.ParallelPort().State()));

  RecordingPort otherPort;
  const VantrelPortIo io = otherPort.Io();
  other.UsePortIo(&io, nullptr);
  port_.ClearLog();
  ASSERT_EQ(other.Open("lpt", "lpt1"), kOk);
  EXPECT_EQ(otherPort.Trace(), "W55 R@378");
  EXPECT_EQ(port_.Trace(), "") << "each choice's cable drives its own port";
  EXPECT_TRUE(choice_.Active().TapActive());
  other.UsePortIo(nullptr, nullptr);
}

}  // namespace
}  // namespace vantrel::test
