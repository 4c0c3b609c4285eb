// Finding the cable, obtaining port access, the power-sense lines and the lines the
// cable drives outside TAP traffic.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cable_fixture.h"

namespace vantrel::test {
namespace {

using cable::OpenCable;
using cable::SelectedPort;

struct PortCase {
  int portIndex;
  uint16_t dataPort;
  const char* trace;
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << "lpt" << c.portIndex + 1; }

class OpenCableOnPort : public ::testing::TestWithParam<PortCase> {
 protected:
  cable::PortCableState& State() { return session_.Port(); }

  FreshSession session_;
};

TEST_P(OpenCableOnPort, FindsTheCableByTheTestByte) {
  RecordingPort port(GetParam().dataPort);
  Plug(State(), port);

  EXPECT_EQ(OpenCable(State(), GetParam().portIndex), kOk);
  EXPECT_EQ(SelectedPort(State()), GetParam().portIndex);
  EXPECT_EQ(port.Trace(), GetParam().trace);
  EXPECT_EQ(port.AcquireCalls(), 1);
  EXPECT_EQ(port.LastDataWrite(), 0x55);  // stays on the cable's lines

  // Access is obtained once; the port test runs on every call.
  EXPECT_EQ(OpenCable(State(), GetParam().portIndex), kOk);
  EXPECT_EQ(port.AcquireCalls(), 1);
  EXPECT_EQ(port.Log().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Ports, OpenCableOnPort,
                         ::testing::Values(PortCase{0, 0x378, "W55 R@378"}, PortCase{1, 0x3BC, "W55 R@3BC"},
                                           PortCase{2, 0x278, "W55 R@278"}),
                         [](const ::testing::TestParamInfo<PortCase>& param) {
                           return "Lpt" + std::to_string(param.param.portIndex + 1);
                         });

using CableTest = CableFixture;

TEST_F(CableTest, PortMovedByConfigurationIsProbedAtItsNewAddress) {
  RecordingPort moved(0x2F8);
  Plug(moved);
  cable::ApplyPortConfigLine(State(), "lpt2=2F8\n");
  EXPECT_EQ(OpenCable(State(), 1), kOk);
  EXPECT_EQ(moved.Trace(), "W55 R@2F8");
}

TEST_F(CableTest, OnlyTheLowSixteenBitsOfAnAddressReachThePort) {
  RecordingPort port(0x5378);
  Plug(port);
  cable::ApplyPortConfigLine(State(), "lpt1=12345378\n");
  EXPECT_EQ(cable::PortTableEntry(State(), 0).data, 0x12345378);

  ASSERT_EQ(OpenCable(State(), 0), kOk);
  cable::TapReset(State(), cable::TapResetEnd::kTestLogicReset);
  cable::ReleaseCable(State());

  for (const PortAccessRecord& access : port.Log()) {
    EXPECT_TRUE(access.port >= 0x5378 && access.port <= 0x537A) << std::hex << access.port;
  }
  EXPECT_EQ(port.AccessesTo(0x5379).size(), 8u);  // one TDO sample per reset cycle
}

TEST_F(CableTest, PortThatDoesNotHoldTheTestByteDropsTheSelection) {
  SelectCable();
  // Nothing answers at lpt3's address: reads float high.
  EXPECT_EQ(OpenCable(State(), 2), kEmulatorNotFound);
  EXPECT_EQ(SelectedPort(State()), cable::kNoPortSelected);
  EXPECT_EQ(port_.Trace(), "W@278=55 R@278");
}

TEST_F(CableTest, AbsentCableOnTheSelectedPortIsNotFound) {
  port_.SetDataReadback(false);
  EXPECT_EQ(OpenCable(State(), 0), kEmulatorNotFound);
  EXPECT_EQ(SelectedPort(State()), cable::kNoPortSelected);
}

TEST_F(CableTest, AccessRefusedHundredAndOneTimesGivesNoPortAccessAndIsTriedAgain) {
  SelectCable();
  RecordingPort refusing;  // a new port forgets the access obtained from the old one
  refusing.SetAcquireResult(1);
  Plug(refusing);

  EXPECT_EQ(OpenCable(State(), 0), kNoPortAccess);
  EXPECT_EQ(refusing.AcquireCalls(), 101);
  // A wait between two requests, none after the last.
  EXPECT_EQ(clock_.Waits(), 100u);
  EXPECT_EQ(clock_.ElapsedMilliseconds(), 100u * cable::kPortAccessRetryMs);
  EXPECT_EQ(refusing.Trace(), "");
  EXPECT_EQ(SelectedPort(State()), 0);  // unchanged
  EXPECT_FALSE(cable::PortAccessObtained(State()));

  refusing.SetAcquireResult(0);
  EXPECT_EQ(OpenCable(State(), 0), kOk);
  EXPECT_EQ(refusing.AcquireCalls(), 102);
}

TEST_F(CableTest, AccessGrantedAfterRetriesIsKept) {
  for (int i = 0; i < 3; ++i) port_.QueueAcquireResult(-1);
  EXPECT_EQ(OpenCable(State(), 0), kOk);
  EXPECT_EQ(port_.AcquireCalls(), 4);
  EXPECT_EQ(OpenCable(State(), 0), kOk);
  EXPECT_EQ(port_.AcquireCalls(), 4);
}

TEST_F(CableTest, PortIndexOutsideTheTableIsRefusedUntouched) {
  SelectCable();
  for (const int index : {-1, 3, 1000}) EXPECT_EQ(OpenCable(State(), index), kInvalidParameters) << index;
  EXPECT_EQ(SelectedPort(State()), 0);
  EXPECT_EQ(port_.Trace(), "");
}

TEST_F(CableTest, PowerLinesAreReadOneSenseLinePerRead) {
  struct Case {
    uint8_t first;
    uint8_t second;
    int32_t power;
  };
  SelectCable();
  const Case cases[] = {
      {0x00, 0x00, 3}, {0x9F, 0x9F, 3},  // other bits don't matter
      {0x40, 0x00, 2}, {0x00, 0x20, 1},
      {0x60, 0x60, 0}, {0x20, 0x40, 3},  // the first read decides bit 0 only, the second bit 1 only
      {0x40, 0x20, 0},
  };
  for (const Case& c : cases) {
    port_.ClearLog();
    port_.QueueStatus(c.first);
    port_.QueueStatus(c.second);
    EXPECT_EQ(cable::ReadPowerLines(State()), c.power) << int{c.first} << "," << int{c.second};
    EXPECT_EQ(cable::PowerStatus(State()), c.power);
    EXPECT_EQ(port_.Trace(), "R R");
  }
}

TEST_F(CableTest, PowerLinesWithNoPortSelected) {
  EXPECT_EQ(cable::PowerStatus(State()), cable::kPowerNeverRead);
  EXPECT_EQ(cable::ReadPowerLines(State()), -1);
  EXPECT_EQ(cable::PowerStatus(State()), 0);
  EXPECT_EQ(port_.Trace(), "");
}

TEST_F(CableTest, ReleaseWritesOnlyTheControlPortAndKeepsTheSelection) {
  SelectCable();
  cable::ReleaseCable(State());
  EXPECT_EQ(port_.Trace(), "W@37A=0B W@37A=00 W@37A=00");
  EXPECT_EQ(SelectedPort(State()), 0);
}

TEST_F(CableTest, SetCableLinesDrivesTheDataPort) {
  SelectCable();
  cable::SetCableLines(State(), 0x00);
  EXPECT_EQ(port_.Trace(), "W00");
}

TEST_F(CableTest, LinesAreNotTouchedWithNoPortSelected) {
  cable::ReleaseCable(State());
  cable::SetCableLines(State(), 0x00);
  EXPECT_EQ(port_.Trace(), "");
}

}  // namespace
}  // namespace vantrel::test
