// Watchpoint units lent to the host for a data watchpoint or a further fetch breakpoint.
// A lent unit holds the host's six registers instead of its usual job (unit 0 the
// hardware breakpoint, unit 1 the software-breakpoint detector). It is disabled while the
// core is halted, so that the halted core's own memory accesses never match it, and
// enabled when the core resumes. With no unit lent, every sequence is the usual one.
#pragma once

#include <cstdint>

#include "core/watchpoint_unit.h"

namespace vantrel::arm7 {

using core::kUnitEnable;
using core::kWatchpointUnits;
using core::UnitSetting;

// Lends unit (0 or 1) to setting and writes it, disabled, to the halted core's unit.
void LendUnit(int unit, const UnitSetting& setting);
// Gives the unit back to its usual job and writes that job's registers. Nothing for a
// unit that is not lent.
void ReturnUnit(int unit);
[[nodiscard]] bool UnitLent(int unit);
[[nodiscard]] bool AnyUnitLent();
// The setting of a lent unit; an all-zero setting for another.
[[nodiscard]] UnitSetting LentSetting(int unit);

// Both units enabled for the core to run: the usual fetch breakpoints, the lent settings.
void EnableWatchpointsForRun();

}  // namespace vantrel::arm7
