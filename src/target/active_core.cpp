// The one place that knows which cores exist. A further core is its own folder
// implementing core::DebugCore, and one line in the table below.
#include <memory>
#include <utility>

#include "arm7/arm7tdmi_core.h"
#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

template <typename Core>
std::unique_ptr<core::DebugCore> Make() {
  return std::make_unique<Core>();
}

struct CoreKind {
  const char* name;
  std::unique_ptr<core::DebugCore> (*make)();
};

// The first line is the core driven; the host has no way yet to name another.
constexpr CoreKind kCoreKinds[] = {
    {"arm7tdmi", &Make<arm7::Arm7tdmiCore>},
};

}  // namespace

TargetLayerState::TargetLayerState() : TargetLayerState(kCoreKinds[0].make()) {}
TargetLayerState::TargetLayerState(std::unique_ptr<core::DebugCore> core) : core_(std::move(core)) {}
TargetLayerState::~TargetLayerState() = default;

}  // namespace vantrel::target
