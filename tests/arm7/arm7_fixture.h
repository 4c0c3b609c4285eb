// A cable found on a recording port with a scripted target behind it, the TAP reset into
// Run-Test/Idle and the log cleared: each test sees only the traffic of the operation
// under test. Trace lines are collected.
#pragma once

#include <string>
#include <vector>

#include "arm7/arm7_state.h"
#include "support/scripted_cable_test.h"

namespace vantrel::test {

class Arm7Test : public ScriptedCableTest {
 protected:
  std::string Ops() const { return DebugOpsText(port_); }
  std::vector<Chain1Transfer> Chain1() const { return Chain1Transfers(DecodeTap(port_)); }
  int PortAccesses() const { return static_cast<int>(port_.Log().size()); }

  arm7::Arm7State& core_ = session_.Core();
};

}  // namespace vantrel::test
