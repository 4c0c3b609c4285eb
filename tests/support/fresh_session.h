// A fresh session of every layer: what a freshly loaded library holds, so that no case
// sees what the one before left behind. Tests reach each layer's part of it through the
// accessors below and pass it to the functions under test.
#pragma once

#include <memory>

#include "arm7/arm7_state.h"
#include "arm7/arm7tdmi_core.h"
#include "cable/cable_registry.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "commands/command_state.h"
#include "target/target_layer_state.h"

namespace vantrel::test {

// The command layer's state owns the target's, which owns the debug core, which owns the
// cables: the chain of the host's session.
class FreshSession {
 public:
  commands::CommandState& Commands() { return *commands_; }
  target::TargetLayerState& Target() { return commands_->target; }
  arm7::Arm7State& Core() { return static_cast<arm7::Arm7tdmiCore&>(Target().Core()).State(); }
  cable::CableChoice& Cables() { return Core().cables; }
  cable::PortCableState& Port() { return Cables().ParallelPort().State(); }

 private:
  // The command layer's state, which owns the target's and, through it, the debug core.
  std::unique_ptr<commands::CommandState> commands_ = std::make_unique<commands::CommandState>();
};

}  // namespace vantrel::test
