#include "arm7/core_state.h"

#include "arm7/arm7_state.h"

namespace vantrel::arm7 {

std::array<uint32_t, kRegisterCacheSize>& RegisterCache(Arm7State& core) { return core.halted.registerCache; }

bool ArmStateAtEntry(const Arm7State& core) { return core.halted.armStateAtEntry; }
void SetArmStateAtEntry(Arm7State& core, bool armState) { core.halted.armStateAtEntry = armState; }

bool BigEndianTarget(const Arm7State& core) { return core.halted.bigEndianTarget; }
void SetBigEndianTarget(Arm7State& core, bool bigEndian) { core.halted.bigEndianTarget = bigEndian; }

uint32_t LastBreakpointPattern(const Arm7State& core) { return core.halted.lastBreakpointPattern; }
void SetLastBreakpointPattern(Arm7State& core, uint32_t pattern) { core.halted.lastBreakpointPattern = pattern; }

bool WatchpointsAsProgrammed(const Arm7State& core) { return core.halted.watchpointsAsProgrammed; }
void SetWatchpointsAsProgrammed(Arm7State& core, bool programmed) { core.halted.watchpointsAsProgrammed = programmed; }

}  // namespace vantrel::arm7
