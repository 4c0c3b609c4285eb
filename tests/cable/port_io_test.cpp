// The port seam: what a plugged-in port sees, and how a port with missing callbacks is
// handled.
#include <gtest/gtest.h>

#include "cable_fixture.h"

namespace vantrel::test {
namespace {

using PortIoTest = CableFixture;

TEST_F(PortIoTest, AccessesReachThePluggedPortInProgramOrder) {
  port_.QueueStatus(0x5A);
  cable::PortWrite(0x378, 0x0B);
  EXPECT_EQ(cable::PortRead(0x379), 0x5A);
  cable::PortWrite(0x37A, 0x00);
  EXPECT_EQ(port_.Trace(), "W0B R W@37A=00");
}

TEST_F(PortIoTest, DelayIsKeptBetweenZeroAndItsBound) {
  cable::SetPortDelay(-1);
  EXPECT_EQ(cable::PortDelay(), 0);
  cable::SetPortDelay(1000);
  EXPECT_EQ(cable::PortDelay(), 1000);
  cable::SetPortDelay(INT32_MAX);
  EXPECT_EQ(cable::PortDelay(), cable::kMaxPortDelay);
}

TEST_F(PortIoTest, PluggingAnotherPortAsksItForAccessAgain) {
  SelectCable();
  EXPECT_TRUE(cable::PortAccessObtained());
  RecordingPort other;
  Plug(other);
  EXPECT_FALSE(cable::PortAccessObtained());
  EXPECT_EQ(cable::OpenCable(0), kOk);
  EXPECT_EQ(other.AcquireCalls(), 1);
}

TEST_F(PortIoTest, PortWithoutCallbacksFloatsHighAndGrantsAccess) {
  const VantrelPortIo empty{nullptr, nullptr, nullptr, nullptr};
  cable::UsePortIo(&empty);
  cable::PortWrite(0x378, 0x55);
  EXPECT_EQ(cable::PortRead(0x378), 0xFF);
  EXPECT_EQ(cable::RequestPortAccess(), platform::PortAccess::kGranted);
  EXPECT_EQ(cable::OpenCable(0), kEmulatorNotFound);  // nothing holds the test byte
}

TEST_F(PortIoTest, NonZeroAcquireAnswerMeansAskAgain) {
  port_.SetAcquireResult(7);
  EXPECT_EQ(cable::RequestPortAccess(), platform::PortAccess::kRetry);
  port_.SetAcquireResult(0);
  EXPECT_EQ(cable::RequestPortAccess(), platform::PortAccess::kGranted);
}

}  // namespace
}  // namespace vantrel::test
