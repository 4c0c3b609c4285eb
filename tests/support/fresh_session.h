// A fresh state of each layer, bound for as long as the object lives: what a freshly
// loaded library holds, so that no case sees what the one before left behind.
#pragma once

#include "arm7/arm7_state.h"
#include "cable/cable_registry.h"
#include "cable/port_cable_state.h"
#include "commands/command_state.h"
#include "common/session_state.h"
#include "target/target_layer_state.h"

namespace vantrel::test {

using vantrel::FreshState;

// Every layer's state, fresh; the target's is the one the command layer's holds, as in
// the host's session.
struct FreshSession {
  FreshState<cable::CableChoice> cableChoice;
  FreshState<cable::PortCableState> cable;
  FreshState<arm7::Arm7State> core;
  FreshState<commands::CommandState> commands;
  SessionState<target::TargetLayerState>::Binding target{commands->target};
};

}  // namespace vantrel::test
