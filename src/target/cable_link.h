// What the command layer and the exports need of the cable itself, passed on from the
// core's link to it: letting go at disconnect, the power lines, a background job's
// loan, the end of an export call and the unload.
#pragma once

#include <cstdint>

#include "target/active_core.h"

namespace vantrel::target {

inline void ReleaseCable() { ActiveCore().ReleaseCable(); }
inline bool PowerReadBad() { return ActiveCore().PowerReadBad(); }
inline int32_t ReadPowerLines() { return ActiveCore().ReadPowerLines(); }
inline void LendCableToJob() { ActiveCore().LendCableToJob(); }
inline void LetCableCatchUp() { ActiveCore().LetCableCatchUp(); }
inline void CableGoesIdle() { ActiveCore().CableGoesIdle(); }
inline void LeaveCableAtUnload() { ActiveCore().LeaveCableAtUnload(); }

}  // namespace vantrel::target
