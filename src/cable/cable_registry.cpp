#include "cable/cable_registry.h"

#include <array>

#include "cable/names.h"
#include "cable/parallel_port_cable.h"

namespace vantrel::cable {
namespace {

struct CableKind {
  std::string_view name;
  Cable& (*instance)();
};

constexpr std::array<CableKind, 1> kCableKinds{{
    {"lpt", &ParallelPortCable::Instance},
}};

// A host may ask for the simulator by its kind; no cable of this library drives it.
constexpr std::string_view kSimulatorKind = "KORVIX";

Cable* g_chosen = nullptr;
Cable* g_installed = nullptr;

}  // namespace

ResultCode OpenCableOfKind(std::string_view kindName, std::string_view portName) {
  for (const CableKind& kind : kCableKinds) {
    if (!SameNameIgnoringCase(kindName, kind.name)) continue;
    g_chosen = &kind.instance();
    return ActiveCable().Open(portName);
  }
  if (SameNameIgnoringCase(kindName, kSimulatorKind)) return kSimulatorRequested;
  return kInvalidParameters;
}

Cable& ActiveCable() {
  if (g_installed != nullptr) return *g_installed;
  return g_chosen != nullptr ? *g_chosen : kCableKinds[0].instance();
}

void InstallCable(Cable* cable) { g_installed = cable; }

UnreadTdoScope::UnreadTdoScope() : cable_(ActiveCable()) { cable_.BeginUnreadTdo(); }
UnreadTdoScope::~UnreadTdoScope() { cable_.EndUnreadTdo(); }

}  // namespace vantrel::cable
