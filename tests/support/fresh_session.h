// A fresh session of every layer: what a freshly loaded library holds, so that no case
// sees what the one before left behind. Tests reach each layer's part of it through the
// accessors below, never through the layers' own lookups.
#pragma once

#include "arm7/arm7_state.h"
#include "arm7/arm7tdmi_core.h"
#include "cable/cable_registry.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "commands/command_state.h"
#include "common/session_state.h"
#include "target/target_layer_state.h"

namespace vantrel::test {

using vantrel::FreshState;

// Every layer's state, fresh; the target's is the one the command layer's holds, as in
// the host's session.
class FreshSession {
 public:
  commands::CommandState& Commands() { return *commands_; }
  target::TargetLayerState& Target() { return commands_->target; }
  arm7::Arm7State& Core() { return static_cast<arm7::Arm7tdmiCore&>(Target().Core()).State(); }
  cable::CableChoice& Cables() { return Core().cables; }
  cable::PortCableState& Port() { return Cables().ParallelPort().State(); }

 private:
  FreshState<commands::CommandState> commands_;
  SessionState<target::TargetLayerState>::Binding target_{commands_->target};
};

}  // namespace vantrel::test
