// The cable kinds a host may open, by name, and the cable the debug core drives. A new
// kind of cable is its own files implementing jtag_cable.h plus one line in the table
// of cable_registry.cpp.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cable/jtag_cable.h"
#include "cable/port_config.h"
#include "common/result_code.h"
#include "vantrel_port.h"

namespace vantrel::cable {

class ParallelPortCable;

// The cable kinds of a session: one cable of each kind, the one the last open chose, and
// one installed in place of every kind (tests that are not about the wire, programs that
// embed the library with a cable of their own). The debug core holds one and reaches
// every cable through it.
class CableChoice {
 public:
  // Makes one cable of each kind, as the library holds them at load.
  CableChoice();
  ~CableChoice();
  CableChoice(const CableChoice&) = delete;
  CableChoice& operator=(const CableChoice&) = delete;

  // Makes the cable of kindName (any case) the active one and opens it on portName.
  // Returns what its Open returns, kSimulatorRequested for the simulator's kind (which no
  // cable drives), or kInvalidParameters for an unknown kind (nothing touched then).
  [[nodiscard]] ResultCode Open(std::string_view kindName, std::string_view portName);

  // The installed cable, else the cable of the last kind opened; the parallel-port
  // cable before any open.
  Cable& Active();

  // Stands in for every kind until null is installed.
  void Install(Cable* cable);

  // The host's settings, which the parallel-port cable keeps: the port seam the host
  // plugs in (null io: the hardware), the transfer mode the host chose (a
  // VANTREL_TRANSFER_* value), and what lpt.ini asks for.
  void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch);
  void SetHostTransferMode(int mode);
  [[nodiscard]] bool FastTransferMode();
  [[nodiscard]] std::optional<WorkArea> ConfiguredWorkArea();

  // The parallel-port kind's cable, which keeps the host's settings above.
  ParallelPortCable& ParallelPort();

 private:
  std::vector<std::unique_ptr<Cable>> cables_;  // one of each kind, in the table's order
  Cable* chosen_ = nullptr;
  Cable* installed_ = nullptr;
};

}  // namespace vantrel::cable
