// The port seam: what a plugged-in port sees, and how a port with missing callbacks is
// handled.
#include <gtest/gtest.h>

#include "cable_fixture.h"

namespace vantrel::test {
namespace {

using PortIoTest = CableFixture;

TEST_F(PortIoTest, AccessesReachThePluggedPortInProgramOrder) {
  port_.QueueStatus(0x5A);
  cable::PortWrite(State(), 0x378, 0x0B);
  EXPECT_EQ(cable::PortRead(State(), 0x379), 0x5A);
  cable::PortWrite(State(), 0x37A, 0x00);
  EXPECT_EQ(port_.Trace(), "W0B R W@37A=00");
}

TEST_F(PortIoTest, DelayIsKeptBetweenZeroAndItsBound) {
  cable::SetPortDelay(State(), -1);
  EXPECT_EQ(cable::PortDelay(State()), 0);
  cable::SetPortDelay(State(), 1000);
  EXPECT_EQ(cable::PortDelay(State()), 1000);
  cable::SetPortDelay(State(), INT32_MAX);
  EXPECT_EQ(cable::PortDelay(State()), cable::kMaxPortDelay);
}

TEST_F(PortIoTest, PluggingAnotherPortAsksItForAccessAgain) {
  SelectCable();
  EXPECT_TRUE(cable::PortAccessObtained(State()));
  RecordingPort other;
  Plug(other);
  EXPECT_FALSE(cable::PortAccessObtained(State()));
  EXPECT_EQ(cable::OpenCable(State(), 0), kOk);
  EXPECT_EQ(other.AcquireCalls(), 1);
}

TEST_F(PortIoTest, PortWithoutCallbacksFloatsHighAndGrantsAccess) {
  const VantrelPortIo empty{nullptr, nullptr, nullptr, nullptr};
  cable::UsePortIo(State(), &empty);
  cable::PortWrite(State(), 0x378, 0x55);
  EXPECT_EQ(cable::PortRead(State(), 0x378), 0xFF);
  EXPECT_EQ(cable::RequestPortAccess(State()), platform::PortAccess::kGranted);
  EXPECT_EQ(cable::OpenCable(State(), 0), kEmulatorNotFound);  // nothing holds the test byte
}

TEST_F(PortIoTest, NonZeroAcquireAnswerMeansAskAgain) {
  port_.SetAcquireResult(7);
  EXPECT_EQ(cable::RequestPortAccess(State()), platform::PortAccess::kRetry);
  port_.SetAcquireResult(0);
  EXPECT_EQ(cable::RequestPortAccess(State()), platform::PortAccess::kGranted);
}

}  // namespace
}  // namespace vantrel::test
