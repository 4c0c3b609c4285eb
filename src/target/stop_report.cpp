#include "target/stop_report.h"

#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kFetchAddressBits = ~1u;  // an ARM or Thumb fetch of the address

bool FetchBreakAt(TargetLayerState& target, uint32_t savedPc, int* unit) {
  for (int candidate = 0; candidate < core::kWatchpointUnits; ++candidate) {
    if (UnitUsedFor(target, candidate) != UnitUse::kFetchBreak) continue;
    if ((UnitBreakAddress(target, candidate) & kFetchAddressBits) != (savedPc & kFetchAddressBits)) continue;
    *unit = candidate;
    return true;
  }
  uint32_t address = 0;
  if (!HardwareBreakpointSet(target, &address) || HardwareBreakpointUnitLent(target)) return false;
  if ((address & kFetchAddressBits) != (savedPc & kFetchAddressBits)) return false;
  *unit = 0;
  return true;
}

// A data watchpoint stops the core before the instruction after the access, so the PC
// does not tell which of two watched units hit: both are candidates, the lower first.
StopReport WatchStop(TargetLayerState& target) {
  StopReport report;
  for (int unit = core::kWatchpointUnits - 1; unit >= 0; --unit) {
    if (UnitUsedFor(target, unit) != UnitUse::kDataWatch) continue;
    report.cause = StopCause::kWatchpoint;
    report.candidates |= 1u << static_cast<unsigned>(unit);
    report.unit = unit;
    report.address = UnitWatch(target, unit).address;
    report.access = UnitWatch(target, unit).access;
  }
  if (report.cause != StopCause::kWatchpoint) report.cause = StopCause::kOther;
  return report;
}

}  // namespace

void NoteStop(TargetLayerState& target, uint32_t savedPc, bool requested) {
  StopReport report;
  int unit = kNoUnit;
  if (requested) {
    report.cause = StopCause::kRequested;
  } else if (FetchBreakAt(target, savedPc, &unit)) {
    report.cause = StopCause::kHardwareBreakpoint;
    report.unit = unit;
    report.candidates = 1u << static_cast<unsigned>(unit);
    report.address = savedPc & kFetchAddressBits;
  } else if (SoftwareBreakpointAt(target, savedPc & kFetchAddressBits)) {
    report.cause = StopCause::kSoftwareBreakpoint;
    report.address = savedPc & kFetchAddressBits;
  } else {
    report = WatchStop(target);
  }
  target.lastStop = report;
}

void ForgetStop(TargetLayerState& target) { target.lastStop = StopReport{}; }

StopReport LastStop(const TargetLayerState& target) { return target.lastStop; }

}  // namespace vantrel::target
