// What the command layer and the exports need of the cable itself, passed on from the
// core's link to it: letting go at disconnect, the power lines, a background job's
// loan, the end of an export call, the unload, and the cable's settings (the port seam,
// the host's transfer mode, lpt.ini's work area).
#pragma once

#include <cstdint>
#include <optional>

#include "target/active_core.h"

namespace vantrel::target {

inline void ReleaseCable() { ActiveCore().ReleaseCable(); }
inline bool PowerReadBad() { return ActiveCore().PowerReadBad(); }
inline int32_t ReadPowerLines() { return ActiveCore().ReadPowerLines(); }
inline void LendCableToJob() { ActiveCore().LendCableToJob(); }
inline void LetCableCatchUp() { ActiveCore().LetCableCatchUp(); }
inline void CableGoesIdle() { ActiveCore().CableGoesIdle(); }
inline void LeaveCableAtUnload() { ActiveCore().LeaveCableAtUnload(); }
inline void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { ActiveCore().UsePortIo(io, batch); }
inline void SetHostTransferMode(int mode) { ActiveCore().SetHostTransferMode(mode); }
inline std::optional<core::WorkArea> ConfiguredWorkArea() { return ActiveCore().ConfiguredWorkArea(); }

}  // namespace vantrel::target
