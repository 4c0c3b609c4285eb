// What the exports need of the cable itself, passed on from the target layer: the power
// lines for the status export, the end of an export call, the unload, the port seam and
// the host's transfer mode.
#pragma once

#include <cstdint>

#include "target/cable_link.h"

namespace vantrel::commands {

inline int32_t ReadPowerLines() { return target::ReadPowerLines(); }
inline void CableGoesIdle() { target::CableGoesIdle(); }
inline void LeaveCableAtUnload() { target::LeaveCableAtUnload(); }
inline void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) { target::UsePortIo(io, batch); }
inline void SetHostTransferMode(int mode) { target::SetHostTransferMode(mode); }

}  // namespace vantrel::commands
