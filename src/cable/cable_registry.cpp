#include "cable/cable_registry.h"

#include "cable/names.h"
#include "cable/parallel_port_cable.h"
#include "common/session_state.h"

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

CableChoice& Choice() { return SessionState<CableChoice>::Current(); }

}  // namespace

ResultCode OpenCableOfKind(std::string_view kindName, std::string_view portName) {
  for (const CableKind& kind : kCableKinds) {
    if (!SameNameIgnoringCase(kindName, kind.name)) continue;
    Choice().chosen = &kind.instance();
    return ActiveCable().Open(portName);
  }
  if (SameNameIgnoringCase(kindName, kSimulatorKind)) return kSimulatorRequested;
  return kInvalidParameters;
}

Cable& ActiveCable() {
  const CableChoice& choice = Choice();
  if (choice.installed != nullptr) return *choice.installed;
  return choice.chosen != nullptr ? *choice.chosen : kCableKinds[0].instance();
}

void InstallCable(Cable* cable) { Choice().installed = cable; }

UnreadTdoScope::UnreadTdoScope() : cable_(ActiveCable()) { cable_.BeginUnreadTdo(); }
UnreadTdoScope::~UnreadTdoScope() { cable_.EndUnreadTdo(); }

}  // namespace vantrel::cable
