// A fresh session of every layer: what a freshly loaded library holds, so that no case
// sees what the one before left behind. Tests reach each layer's part of it through the
// accessors below, never through the layers' own lookups.
#pragma once

#include <memory>

#include "arm7/arm7_state.h"
#include "cable/cable_registry.h"
#include "cable/port_cable_state.h"
#include "commands/command_state.h"
#include "common/session_state.h"
#include "target/target_layer_state.h"

namespace vantrel::test {

using vantrel::FreshState;

// Every layer's state, fresh; the target's is the one the command layer's holds, as in
// the host's session, and is passed to the functions under test, never bound.
class FreshSession {
 public:
  commands::CommandState& Commands() { return *commands_; }
  target::TargetLayerState& Target() { return commands_->target; }
  arm7::Arm7State& Core() { return *core_; }
  cable::CableChoice& Cables() { return *cableChoice_; }
  cable::PortCableState& Port() { return *cable_; }

 private:
  FreshState<cable::CableChoice> cableChoice_;
  FreshState<cable::PortCableState> cable_;
  FreshState<arm7::Arm7State> core_;
  // The command layer's state, which owns the target's and, through it, the debug core.
  std::unique_ptr<commands::CommandState> commands_ = std::make_unique<commands::CommandState>();
};

}  // namespace vantrel::test
