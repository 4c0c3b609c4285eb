// What the command layer and the exports need of the cable itself, passed on from the
// core's link to it: letting go at disconnect, the power lines, a background job's
// loan, the end of an export call, the unload, and the cable's settings (the port seam,
// the host's transfer mode, lpt.ini's work area).
#pragma once

#include <cstdint>
#include <optional>

#include "target/target_layer_state.h"

namespace vantrel::target {

inline void ReleaseCable(TargetLayerState& target) { target.Core().ReleaseCable(); }
inline bool PowerReadBad(TargetLayerState& target) { return target.Core().PowerReadBad(); }
inline int32_t ReadPowerLines(TargetLayerState& target) { return target.Core().ReadPowerLines(); }
inline void LendCableToJob(TargetLayerState& target) { target.Core().LendCableToJob(); }
inline void LetCableCatchUp(TargetLayerState& target) { target.Core().LetCableCatchUp(); }
inline void CableGoesIdle(TargetLayerState& target) { target.Core().CableGoesIdle(); }
inline void LeaveCableAtUnload(TargetLayerState& target) { target.Core().LeaveCableAtUnload(); }
inline void UsePortIo(TargetLayerState& target, const VantrelPortIo* io, VantrelPortBatch batch) {
  target.Core().UsePortIo(io, batch);
}
inline void SetHostTransferMode(TargetLayerState& target, int mode) { target.Core().SetHostTransferMode(mode); }
inline std::optional<core::WorkArea> ConfiguredWorkArea(TargetLayerState& target) {
  return target.Core().ConfiguredWorkArea();
}

}  // namespace vantrel::target
