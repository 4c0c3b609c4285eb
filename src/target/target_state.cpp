#include "target/target_state.h"

#include "target/active_core.h"
#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

Connection& TheConnection() { return LayerState().connection; }

}  // namespace

uint32_t TargetState() { return TheConnection().targetState; }
void SetTargetState(uint32_t state) { TheConnection().targetState = state; }
bool CoreHalted() { return TheConnection().targetState == kConnected || TheConnection().targetState == kHalted; }
bool CableOpenedOnce() { return TheConnection().cableOpenedOnce; }

ResultCode OpenEmulator(std::string_view kindName, std::string_view portName) {
  const ResultCode result = ActiveCore().OpenCable(kindName, portName);
  if (result == kOk) {
    TheConnection().targetState = kTargetDown;
    TheConnection().cableOpenedOnce = true;
  }
  return result;
}

}  // namespace vantrel::target
