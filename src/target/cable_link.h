// What the command layer and the exports need of the cable itself, passed on from the
// core's link to it: letting go at disconnect, the power lines, a background job's
// loan, the end of an export call and the unload.
#pragma once

#include <cstdint>

#include "arm7/cable_link.h"

namespace vantrel::target {

inline void ReleaseCable() { arm7::ReleaseCable(); }
inline bool PowerReadBad() { return arm7::PowerReadBad(); }
inline int32_t ReadPowerLines() { return arm7::ReadPowerLines(); }
inline void LendCableToJob() { arm7::LendCableToJob(); }
inline void LetCableCatchUp() { arm7::LetCableCatchUp(); }
inline void CableGoesIdle() { arm7::CableGoesIdle(); }
inline void LeaveCableAtUnload() { arm7::LeaveCableAtUnload(); }

}  // namespace vantrel::target
