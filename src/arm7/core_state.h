// The values that describe the halted core, shared by the debug core and the
// target-control layer; the core's state holds them (arm7_state.h). Only the thread that
// drives the cable touches them.
#pragma once

#include <array>
#include <cstdint>

#include "common/arm_architecture.h"

namespace vantrel::arm7 {

struct Arm7State;

inline constexpr int kRegisterCacheSize = arch::kCachedRegisterCount;  // r0-r15, CPSR; no SPSR element
inline constexpr int kSavedPcElement = arch::kPcIndex;                 // where the core resumes

// r0 to r15 and the CPSR of the halted core in its current mode; all zero at load.
std::array<uint32_t, kRegisterCacheSize>& RegisterCache(Arm7State& core);

// True: the core was in ARM state at the last debug-state entry; false: Thumb. True at load.
bool ArmStateAtEntry(const Arm7State& core);
void SetArmStateAtEntry(Arm7State& core, bool armState);

// True: target memory is big-endian, so memory words have their bytes reversed. False at load.
bool BigEndianTarget(const Arm7State& core);
void SetBigEndianTarget(Arm7State& core, bool bigEndian);

// The software-breakpoint pattern last written by SetBreakpointPattern; 0xFFFFFFFF at load.
uint32_t LastBreakpointPattern(const Arm7State& core);
void SetLastBreakpointPattern(Arm7State& core, uint32_t pattern);

// True while both watchpoint units hold what the last debug-state entry programmed, both
// enabled (a breakpoint address or pattern written since does not matter). The fast stop
// relies on it to halt the core with one mask write instead of programming both units
// anew. False at load, after a restart from address 0 and after a halt request that
// stayed armed.
bool WatchpointsAsProgrammed(const Arm7State& core);
void SetWatchpointsAsProgrammed(Arm7State& core, bool programmed);

}  // namespace vantrel::arm7
