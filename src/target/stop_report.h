// Why the core stopped last: the host's stop, a breakpoint or a data watchpoint, and
// which watchpoint unit. The core reports no more than that it stopped by itself; the
// reason follows from the saved PC and the units armed when it ran.
#pragma once

#include <cstdint>

#include "target/watchpoint_units.h"

namespace vantrel::target {

class TargetLayerState;

enum class StopCause : uint8_t {
  kNone = 0,                // no stop since the connect, or the core runs
  kRequested = 1,           // the host's stop halted the running core
  kHardwareBreakpoint = 2,  // the fetch breakpoint of unit
  kSoftwareBreakpoint = 3,  // the pattern at the saved PC
  kWatchpoint = 4,          // the data watchpoint of unit (candidates: every unit that may have hit)
  kOther = 5,               // stopped by itself, none of the above at the saved PC
};

inline constexpr int kNoUnit = -1;

struct StopReport {
  StopCause cause = StopCause::kNone;
  int unit = kNoUnit;
  uint32_t candidates = 0;  // bit n: unit n may have hit
  uint32_t address = 0;     // the breakpoint's address or the watched address
  WatchAccess access = WatchAccess::kWrite;
};

// Called once the stopped core's registers are saved: works out the reason from the saved
// PC and whether the host's stop halted it. No port access.
void NoteStop(TargetLayerState& target, uint32_t savedPc, bool requested);
// The core runs again: no reason until the next stop.
void ForgetStop(TargetLayerState& target);
[[nodiscard]] StopReport LastStop(const TargetLayerState& target);

}  // namespace vantrel::target
