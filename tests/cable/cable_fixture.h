// Every cable test starts from a fresh session, with a recording port on lpt1's
// addresses plugged into the port seam and the library's waits on a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "cable/cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "support/fresh_session.h"
#include "support/recording_port.h"
#include "support/virtual_clock.h"

namespace vantrel::test {

// Plugs the port into the cable's seam; it must outlive its use (or be unplugged).
inline void Plug(cable::PortCableState& state, RecordingPort& port) {
  const VantrelPortIo io = port.Io();
  cable::UsePortIo(state, &io);
}

class CableFixture : public ::testing::Test {
 protected:
  explicit CableFixture(uint16_t dataPort = 0x378) : port_(dataPort) {}

  void SetUp() override { Plug(port_); }

  cable::PortCableState& State() { return session_.Port(); }
  void Plug(RecordingPort& port) { test::Plug(State(), port); }

  // Finds the cable on lpt1 and forgets the accesses that took.
  void SelectCable() {
    ASSERT_EQ(cable::OpenCable(State(), 0), kOk);
    port_.ClearLog();
  }

  FreshSession session_;
  VirtualClock clock_;
  RecordingPort port_;
};

}  // namespace vantrel::test
