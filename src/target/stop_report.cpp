#include "target/stop_report.h"

#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

StopReport& Last() { return LayerState().lastStop; }

constexpr uint32_t kFetchAddressBits = ~1u;  // an ARM or Thumb fetch of the address

bool FetchBreakAt(uint32_t savedPc, int* unit) {
  for (int candidate = 0; candidate < core::kWatchpointUnits; ++candidate) {
    if (UnitUsedFor(candidate) != UnitUse::kFetchBreak) continue;
    if ((UnitBreakAddress(candidate) & kFetchAddressBits) != (savedPc & kFetchAddressBits)) continue;
    *unit = candidate;
    return true;
  }
  uint32_t address = 0;
  if (!HardwareBreakpointSet(&address) || HardwareBreakpointUnitLent()) return false;
  if ((address & kFetchAddressBits) != (savedPc & kFetchAddressBits)) return false;
  *unit = 0;
  return true;
}

// A data watchpoint stops the core before the instruction after the access, so the PC
// does not tell which of two watched units hit: both are candidates, the lower first.
StopReport WatchStop() {
  StopReport report;
  for (int unit = core::kWatchpointUnits - 1; unit >= 0; --unit) {
    if (UnitUsedFor(unit) != UnitUse::kDataWatch) continue;
    report.cause = StopCause::kWatchpoint;
    report.candidates |= 1u << static_cast<unsigned>(unit);
    report.unit = unit;
    report.address = UnitWatch(unit).address;
    report.access = UnitWatch(unit).access;
  }
  if (report.cause != StopCause::kWatchpoint) report.cause = StopCause::kOther;
  return report;
}

}  // namespace

void NoteStop(uint32_t savedPc, bool requested) {
  StopReport report;
  int unit = kNoUnit;
  if (requested) {
    report.cause = StopCause::kRequested;
  } else if (FetchBreakAt(savedPc, &unit)) {
    report.cause = StopCause::kHardwareBreakpoint;
    report.unit = unit;
    report.candidates = 1u << static_cast<unsigned>(unit);
    report.address = savedPc & kFetchAddressBits;
  } else if (SoftwareBreakpointAt(savedPc & kFetchAddressBits)) {
    report.cause = StopCause::kSoftwareBreakpoint;
    report.address = savedPc & kFetchAddressBits;
  } else {
    report = WatchStop();
  }
  Last() = report;
}

void ForgetStop() { Last() = StopReport{}; }

StopReport LastStop() { return Last(); }

}  // namespace vantrel::target
