// A CRC-32 of target memory that the halted core computes itself, for the fast verify of a
// download or a write: a loop of 25 words run from a work area of target RAM reads the
// bytes one at a time and leaves the CRC in r0 (the common CRC-32: reflected polynomial
// 0xEDB88320, starting from all ones, inverted at the end). Over the cable only the loop,
// a few registers and the polls for its end travel, instead of every word read back.
//
// The work area's bytes are saved first and put back at the end. While the loop runs,
// watchpoint 0 stops the core at the loop's last instruction (its known end) and
// watchpoint 1 at any fetch from the exception vectors, so that an access that aborts
// halts the core rather than run the target's handler; both units go back afterwards.
// The core ends halted with r0 to r4 changed (RegisterCache puts them back before it
// runs again). Nothing is taken on trust: the result counts only when the core halted
// with every byte read (its count at 0, its address at the end) and in its own mode.
#pragma once

#include <cstdint>

#include "core/debug_core.h"

namespace vantrel::arm7 {

struct Arm7State;

inline constexpr uint32_t kChecksumLoopBytes = 100;  // the part of the work area the loop takes

using core::ChecksumOutcome;
using core::ChecksumRun;

// workArea: word aligned, above the exception vectors, clear of the bytes. Runs the loop
// over the length bytes (at least 1) from address on, in address order, with a time
// limit proportional to length (counted in polls of the debug status, each of which lets
// the core run). Needs the halted core, in ARM state, with the fast clocks in force.
[[nodiscard]] ChecksumRun ArmChecksumBytes(Arm7State& core, uint32_t workArea, uint32_t address, uint32_t length);

// A loop whose core could not be halted (the cable pulled out, a core that no longer
// halts) stays in its work area; ArmPutBackLeftWorkArea, at the next debug-state entry,
// calls this: the saved bytes go back if the area still holds the loop unchanged.
void ArmPutBackLeftChecksumArea(Arm7State& core);

}  // namespace vantrel::arm7
