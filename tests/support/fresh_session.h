// A fresh state of each layer, bound for as long as the object lives: what a freshly
// loaded library holds, so that no case sees what the one before left behind.
#pragma once

#include "cable/port_cable_state.h"
#include "common/session_state.h"

namespace vantrel::test {

using vantrel::FreshState;

// Every layer's state, fresh.
struct FreshSession {
  FreshState<cable::PortCableState> cable;
};

}  // namespace vantrel::test
