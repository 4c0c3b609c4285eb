#include "target/target_state.h"

#include "target/target_layer_state.h"

namespace vantrel::target {

uint32_t TargetState(const TargetLayerState& target) { return target.connection.targetState; }
void SetTargetState(TargetLayerState& target, uint32_t state) { target.connection.targetState = state; }
bool CoreHalted(const TargetLayerState& target) {
  return target.connection.targetState == kConnected || target.connection.targetState == kHalted;
}
bool CableOpenedOnce(const TargetLayerState& target) { return target.connection.cableOpenedOnce; }

ResultCode OpenEmulator(TargetLayerState& target, std::string_view kindName, std::string_view portName) {
  const ResultCode result = target.Core().OpenCable(kindName, portName);
  if (result == kOk) {
    target.connection.targetState = kTargetDown;
    target.connection.cableOpenedOnce = true;
  }
  return result;
}

}  // namespace vantrel::target
