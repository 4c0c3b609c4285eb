#include "arm7/core_state.h"

#include "arm7/arm7_state.h"

namespace vantrel::arm7 {
namespace {

HaltedCore& Halted() { return CoreState().core; }

}  // namespace

std::array<uint32_t, kRegisterCacheSize>& RegisterCache() { return Halted().registerCache; }

bool ArmStateAtEntry() { return Halted().armStateAtEntry; }
void SetArmStateAtEntry(bool armState) { Halted().armStateAtEntry = armState; }

bool BigEndianTarget() { return Halted().bigEndianTarget; }
void SetBigEndianTarget(bool bigEndian) { Halted().bigEndianTarget = bigEndian; }

uint32_t LastBreakpointPattern() { return Halted().lastBreakpointPattern; }
void SetLastBreakpointPattern(uint32_t pattern) { Halted().lastBreakpointPattern = pattern; }

bool WatchpointsAsProgrammed() { return Halted().watchpointsAsProgrammed; }
void SetWatchpointsAsProgrammed(bool programmed) { Halted().watchpointsAsProgrammed = programmed; }

}  // namespace vantrel::arm7
