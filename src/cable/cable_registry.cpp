#include "cable/cable_registry.h"

#include <cstddef>
#include <iterator>

#include "cable/names.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_io.h"

namespace vantrel::cable {
namespace {

struct CableKind {
  std::string_view name;
  std::unique_ptr<Cable> (*make)();
};

std::unique_ptr<Cable> MakeParallelPortCable() { return std::make_unique<ParallelPortCable>(); }

constexpr CableKind kCableKinds[] = {
    {"lpt", &MakeParallelPortCable},
};

// Where the table holds the parallel-port cable: the host's settings are kept in its state.
constexpr std::size_t ParallelPortKind() {
  for (std::size_t i = 0; i < std::size(kCableKinds); ++i) {
    if (kCableKinds[i].make == &MakeParallelPortCable) return i;
  }
  return std::size(kCableKinds);
}
static_assert(ParallelPortKind() < std::size(kCableKinds), "the cable table holds the parallel-port cable");

// A host may ask for the simulator by its kind; no cable of this library drives it.
constexpr std::string_view kSimulatorKind = "KORVIX";

}  // namespace

CableChoice::CableChoice() {
  for (const CableKind& kind : kCableKinds) cables_.push_back(kind.make());
}

CableChoice::~CableChoice() = default;

ResultCode CableChoice::Open(std::string_view kindName, std::string_view portName) {
  for (std::size_t i = 0; i < std::size(kCableKinds); ++i) {
    if (!SameNameIgnoringCase(kindName, kCableKinds[i].name)) continue;
    chosen_ = cables_[i].get();
    return Active().Open(portName);
  }
  if (SameNameIgnoringCase(kindName, kSimulatorKind)) return kSimulatorRequested;
  return kInvalidParameters;
}

Cable& CableChoice::Active() {
  if (installed_ != nullptr) return *installed_;
  return chosen_ != nullptr ? *chosen_ : *cables_.front();
}

void CableChoice::Install(Cable* cable) { installed_ = cable; }

ParallelPortCable& CableChoice::ParallelPort() { return static_cast<ParallelPortCable&>(*cables_[ParallelPortKind()]); }

void CableChoice::UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) {
  cable::UsePortIo(ParallelPort().State(), io, batch);
}
void CableChoice::SetHostTransferMode(int mode) { cable::SetHostTransferMode(ParallelPort().State(), mode); }
bool CableChoice::FastTransferMode() { return ConfiguredTransferMode(ParallelPort().State()) == TransferMode::kFast; }
std::optional<WorkArea> CableChoice::ConfiguredWorkArea() { return cable::ConfiguredWorkArea(ParallelPort().State()); }

UnreadTdoScope::UnreadTdoScope(Cable& cable) : cable_(cable) { cable_.BeginUnreadTdo(); }
UnreadTdoScope::~UnreadTdoScope() { cable_.EndUnreadTdo(); }

}  // namespace vantrel::cable
