// The core's two watchpoint units shared between the program stops a host asks for.
// Unit 0 holds the hardware breakpoint. Unit 1 detects the fetch of the software-breakpoint
// pattern while any software breakpoint is set; otherwise it is free for a data watchpoint
// or a further hardware breakpoint. Either of those may also take unit 0 while no hardware
// breakpoint is set there. A request that finds no unit free is refused, nothing changes.
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "core/watchpoint_unit.h"

namespace vantrel::target {

class TargetLayerState;

// No watchpoint unit is free for the request (both hold breakpoints or watchpoints).

enum class WatchAccess : uint8_t { kRead = 0, kWrite = 1, kAccess = 2 };

// A data watchpoint: the core stops after a load or store whose address matches address
// in every bit that addressIgnored leaves clear, and whose width is size bytes (1, 2 or 4;
// 0 for any width).
struct WatchRequest {
  uint32_t address = 0;
  uint32_t addressIgnored = 0;
  uint32_t size = 0;
  WatchAccess access = WatchAccess::kWrite;
};

using core::UnitSetting;

// The registers for a data watchpoint. Returns kOk; kInvalidParameters a size other than
// 0, 1, 2, 4, an access other than the three, or an address not aligned to size outside
// the ignored bits.
[[nodiscard]] ResultCode DataWatchSetting(const WatchRequest& request, UnitSetting* setting);

// The registers for a hardware breakpoint on the fetch at address (bit 0 ignored).
UnitSetting FetchBreakSetting(uint32_t address);

// What a unit lent to the host holds.
enum class UnitUse : uint8_t { kFree, kFetchBreak, kDataWatch };

// Where a lent unit may go: the free one (unit 1 first), or only the unit named.
enum class Placement : uint8_t { kAny = 0, kUnit0 = 1, kUnit1 = 2 };

// Sets a data watchpoint or a further hardware breakpoint on a free unit; unit receives
// its index. Returns kOk; kInvalidParameters (bad request, placement or odd breakpoint
// address); kStatusError the core is not halted; kNoWatchpointUnitFree no unit (or not
// the unit placed) is free.
[[nodiscard]] ResultCode SetDataWatch(TargetLayerState& target, const WatchRequest& request, Placement placement,
                                      int* unit);
[[nodiscard]] ResultCode SetFetchBreak(TargetLayerState& target, uint32_t address, Placement placement, int* unit);
// Gives a unit set by the two above back. Returns kOk (also for a unit not in use);
// kInvalidParameters a unit other than 0 and 1; kStatusError the core is not halted.
[[nodiscard]] ResultCode ClearUnit(TargetLayerState& target, int unit);
// Gives every unit back before the core leaves the host's control.
void ReturnAllUnits(TargetLayerState& target);

[[nodiscard]] UnitUse UnitUsedFor(TargetLayerState& target, int unit);
[[nodiscard]] WatchRequest UnitWatch(TargetLayerState& target, int unit);     // for kDataWatch
[[nodiscard]] uint32_t UnitBreakAddress(TargetLayerState& target, int unit);  // for kFetchBreak

// The breakpoint commands' share of the units: the hardware breakpoint needs unit 0,
// the software breakpoints unit 1. They note what they set so that a lent unit is never
// taken from them.
[[nodiscard]] bool HardwareBreakpointUnitLent(TargetLayerState& target);
[[nodiscard]] bool DetectorUnitLent(TargetLayerState& target);
enum class BreakpointChange { kSet, kCleared };
void NoteHardwareBreakpoint(TargetLayerState& target, BreakpointChange change, uint32_t address);
void NoteSoftwareBreakpoint(TargetLayerState& target, uint32_t address, BreakpointChange change);
[[nodiscard]] bool HardwareBreakpointSet(const TargetLayerState& target, uint32_t* address);
[[nodiscard]] bool SoftwareBreakpointAt(const TargetLayerState& target, uint32_t address);

}  // namespace vantrel::target
