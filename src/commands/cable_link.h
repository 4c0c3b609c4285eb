// What the exports need of the cable itself, passed on from the target layer: the power
// lines for the status export, the end of an export call, the unload, the port seam and
// the host's transfer mode.
#pragma once

#include <cstdint>

#include "commands/command_state.h"
#include "target/cable_link.h"

namespace vantrel::commands {

inline int32_t ReadPowerLines(CommandState& commands) { return target::ReadPowerLines(commands.target); }
inline void CableGoesIdle(CommandState& commands) { target::CableGoesIdle(commands.target); }
inline void LeaveCableAtUnload(CommandState& commands) { target::LeaveCableAtUnload(commands.target); }
inline void UsePortIo(CommandState& commands, const VantrelPortIo* io, VantrelPortBatch batch) {
  target::UsePortIo(commands.target, io, batch);
}
inline void SetHostTransferMode(CommandState& commands, int mode) {
  target::SetHostTransferMode(commands.target, mode);
}

}  // namespace vantrel::commands
