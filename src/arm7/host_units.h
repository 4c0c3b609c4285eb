// Watchpoint units lent to the host for a data watchpoint or a further fetch breakpoint.
// A lent unit holds the host's six registers instead of its usual job (unit 0 the
// hardware breakpoint, unit 1 the software-breakpoint detector). It is disabled while the
// core is halted, so that the halted core's own memory accesses never match it, and
// enabled when the core resumes. With no unit lent, every sequence is the usual one.
#pragma once

#include <cstdint>

#include "core/watchpoint_unit.h"

namespace vantrel::arm7 {

struct Arm7State;

using core::kUnitEnable;
using core::kWatchpointUnits;
using core::UnitSetting;

// Lends unit (0 or 1) to setting and writes it, disabled, to the halted core's unit.
void LendUnit(Arm7State& core, int unit, const UnitSetting& setting);
// Gives the unit back to its usual job and writes that job's registers. Nothing for a
// unit that is not lent.
void ReturnUnit(Arm7State& core, int unit);
[[nodiscard]] bool UnitLent(Arm7State& core, int unit);
[[nodiscard]] bool AnyUnitLent(Arm7State& core);
// The setting of a lent unit; an all-zero setting for another.
[[nodiscard]] UnitSetting LentSetting(Arm7State& core, int unit);

// Both units enabled for the core to run: the usual fetch breakpoints, the lent settings.
void EnableWatchpointsForRun(Arm7State& core);

}  // namespace vantrel::arm7
