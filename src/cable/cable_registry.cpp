#include "cable/cable_registry.h"

#include "cable/names.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

struct CableKind {
  std::string_view name;
  Cable& (*instance)();
};

constexpr CableKind kCableKinds[] = {
    {"lpt", &ParallelPortCable::Instance},
};

// A host may ask for the simulator by its kind; no cable of this library drives it.
constexpr std::string_view kSimulatorKind = "KORVIX";

}  // namespace

CableChoice::CableChoice() = default;
CableChoice::~CableChoice() = default;

ResultCode CableChoice::Open(std::string_view kindName, std::string_view portName) {
  for (const CableKind& kind : kCableKinds) {
    if (!SameNameIgnoringCase(kindName, kind.name)) continue;
    chosen_ = &kind.instance();
    return Active().Open(portName);
  }
  if (SameNameIgnoringCase(kindName, kSimulatorKind)) return kSimulatorRequested;
  return kInvalidParameters;
}

Cable& CableChoice::Active() {
  if (installed_ != nullptr) return *installed_;
  return chosen_ != nullptr ? *chosen_ : kCableKinds[0].instance();
}

void CableChoice::Install(Cable* cable) { installed_ = cable; }

void CableChoice::UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { cable::UsePortIo(io, batch); }
void CableChoice::SetHostTransferMode(int mode) { cable::SetHostTransferMode(mode); }
bool CableChoice::FastTransferMode() { return ConfiguredTransferMode() == TransferMode::kFast; }
std::optional<WorkArea> CableChoice::ConfiguredWorkArea() { return cable::ConfiguredWorkArea(); }

UnreadTdoScope::UnreadTdoScope(Cable& cable) : cable_(cable) { cable_.BeginUnreadTdo(); }
UnreadTdoScope::~UnreadTdoScope() { cable_.EndUnreadTdo(); }

}  // namespace vantrel::cable
