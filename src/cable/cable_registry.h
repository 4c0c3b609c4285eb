// The cable kinds a host may open, by name, and the cable the debug core drives. A new
// kind of cable is its own files implementing jtag_cable.h plus one line in the table
// of cable_registry.cpp.
#pragma once

#include <string_view>

#include "cable/jtag_cable.h"
#include "common/result_code.h"

namespace vantrel::cable {

// Makes the cable of kindName (any case) the active one and opens it on portName.
// Returns what its Open returns, kSimulatorRequested for the simulator's kind (which no
// cable drives), or kInvalidParameters for an unknown kind (nothing touched then).
[[nodiscard]] ResultCode OpenCableOfKind(std::string_view kindName, std::string_view portName);

// The cable of the last kind opened; the parallel-port cable before any open.
Cable& ActiveCable();

// A cable installed here stands in for every kind until null is installed (tests that
// are not about the wire, programs that embed the library with a cable of their own).
void InstallCable(Cable* cable);

// The session's choice: the cable of the last kind opened, and the one installed in
// place of every kind; null for none.
struct CableChoice {
  Cable* chosen = nullptr;
  Cable* installed = nullptr;
};

}  // namespace vantrel::cable
