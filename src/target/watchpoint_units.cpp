#include "target/watchpoint_units.h"

#include <array>
#include <cstddef>

#include "target/target_layer_state.h"
#include "target/target_state.h"

namespace vantrel::target {
namespace {

// Watchpoint control bits as the comparators see a bus cycle.
constexpr uint32_t kControlWrite = 0x01;   // nRW: the cycle writes
constexpr uint32_t kControlSizeShift = 1;  // MAS: 0 byte, 1 halfword, 2 word
constexpr uint32_t kControlSizeBits = 0x06;
constexpr uint32_t kControlData = 0x08;           // nOPC: not an instruction fetch
constexpr uint32_t kControlIgnoredAlways = 0xF0;  // nTRANS, EXTERN, CHAIN, RANGE
constexpr uint32_t kCompareNoBit = 0xFFFFFFFF;
constexpr uint32_t kFetchIgnored = 0x00000001;  // an ARM or Thumb fetch of the address
constexpr uint32_t kWordSize = 4;
constexpr int kBreakpointUnit = 0;
constexpr int kDetectorUnit = 1;

// The record of a unit; unit is 0 or 1, checked by every caller.
UnitRecord& Unit(TargetLayerState& target, int unit) { return target.units.units[static_cast<std::size_t>(unit)]; }

bool SizeCode(uint32_t size, uint32_t* code) {
  switch (size) {
    case 1: *code = 0; return true;
    case 2: *code = 1; return true;
    case kWordSize: *code = 2; return true;
    default: return false;
  }
}

bool UnitFree(TargetLayerState& target, int unit) {
  if (Unit(target, unit).use != UnitUse::kFree) return false;
  return unit == kDetectorUnit ? target.units.softwareBreakpoints.empty() : !target.units.hardwareBreakpointSet;
}

// Unit 1 first: unit 0 stays for the hardware breakpoint as long as it can.
int FreeUnit(TargetLayerState& target, Placement placement) {
  if (placement != Placement::kUnit0 && UnitFree(target, kDetectorUnit)) return kDetectorUnit;
  if (placement != Placement::kUnit1 && UnitFree(target, kBreakpointUnit)) return kBreakpointUnit;
  return kNoWatchpointUnitFree;
}

ResultCode Lend(TargetLayerState& target, const UnitRecord& record, const UnitSetting& setting, Placement placement,
                int* unit) {
  if (placement != Placement::kAny && placement != Placement::kUnit0 && placement != Placement::kUnit1) {
    return kInvalidParameters;
  }
  if (!CoreHalted(target)) return kStatusError;
  const int free = FreeUnit(target, placement);
  if (free < 0) return free;
  Unit(target, free) = record;
  target.Core().LendUnit(free, setting);
  if (unit != nullptr) *unit = free;
  return kOk;
}

}  // namespace

ResultCode DataWatchSetting(const WatchRequest& request, UnitSetting* setting) {
  uint32_t sizeCode = 0;
  const bool anySize = request.size == 0;
  if (!anySize && !SizeCode(request.size, &sizeCode)) return kInvalidParameters;
  if (!anySize && (request.address & ~request.addressIgnored & (request.size - 1)) != 0) return kInvalidParameters;
  if (request.access != WatchAccess::kRead && request.access != WatchAccess::kWrite &&
      request.access != WatchAccess::kAccess) {
    return kInvalidParameters;
  }
  UnitSetting out;
  out.addressValue = request.address & ~request.addressIgnored;
  out.addressMask = request.addressIgnored;
  out.dataMask = kCompareNoBit;
  out.controlValue = core::kUnitEnable | kControlData | (sizeCode << kControlSizeShift);
  out.controlMask = kControlIgnoredAlways;
  if (anySize) out.controlMask |= kControlSizeBits;
  if (request.access == WatchAccess::kWrite) out.controlValue |= kControlWrite;
  if (request.access == WatchAccess::kAccess) out.controlMask |= kControlWrite;
  *setting = out;
  return kOk;
}

UnitSetting FetchBreakSetting(uint32_t address) {
  UnitSetting out;
  out.addressValue = address;
  out.addressMask = kFetchIgnored;
  out.dataMask = kCompareNoBit;
  out.controlValue = core::kUnitEnable;
  out.controlMask = kControlIgnoredAlways | kControlSizeBits | kControlWrite;
  return out;
}

ResultCode SetDataWatch(TargetLayerState& target, const WatchRequest& request, Placement placement, int* unit) {
  UnitSetting setting;
  const ResultCode valid = DataWatchSetting(request, &setting);
  if (valid != kOk) return valid;
  return Lend(target, {UnitUse::kDataWatch, request, 0}, setting, placement, unit);
}

ResultCode SetFetchBreak(TargetLayerState& target, uint32_t address, Placement placement, int* unit) {
  if ((address & 1) != 0) return kInvalidParameters;
  return Lend(target, {UnitUse::kFetchBreak, {}, address}, FetchBreakSetting(address), placement, unit);
}

ResultCode ClearUnit(TargetLayerState& target, int unit) {
  if (unit != kBreakpointUnit && unit != kDetectorUnit) return kInvalidParameters;
  if (!CoreHalted(target)) return kStatusError;
  Unit(target, unit) = UnitRecord{};
  target.Core().ReturnUnit(unit);
  return kOk;
}

void ReturnAllUnits(TargetLayerState& target) {
  for (int unit = 0; unit < core::kWatchpointUnits; ++unit) {
    Unit(target, unit) = UnitRecord{};
    target.Core().ReturnUnit(unit);
  }
}

UnitUse UnitUsedFor(TargetLayerState& target, int unit) {
  return target.Core().UnitLent(unit) ? Unit(target, unit).use : UnitUse::kFree;
}
WatchRequest UnitWatch(TargetLayerState& target, int unit) {
  return target.Core().UnitLent(unit) ? Unit(target, unit).watch : WatchRequest{};
}
uint32_t UnitBreakAddress(TargetLayerState& target, int unit) {
  return target.Core().UnitLent(unit) ? Unit(target, unit).breakAddress : 0;
}

bool HardwareBreakpointUnitLent(TargetLayerState& target) { return target.Core().UnitLent(kBreakpointUnit); }
bool DetectorUnitLent(TargetLayerState& target) { return target.Core().UnitLent(kDetectorUnit); }

void NoteHardwareBreakpoint(TargetLayerState& target, BreakpointChange change, uint32_t address) {
  target.units.hardwareBreakpointSet = change == BreakpointChange::kSet;
  target.units.hardwareBreakpointAddress = address;
}

void NoteSoftwareBreakpoint(TargetLayerState& target, uint32_t address, BreakpointChange change) {
  if (change == BreakpointChange::kSet) {
    target.units.softwareBreakpoints.insert(address);
  } else {
    target.units.softwareBreakpoints.erase(address);
  }
}

bool HardwareBreakpointSet(const TargetLayerState& target, uint32_t* address) {
  const UnitsInUse& inUse = target.units;
  if (inUse.hardwareBreakpointSet && address != nullptr) *address = inUse.hardwareBreakpointAddress;
  return inUse.hardwareBreakpointSet;
}

bool SoftwareBreakpointAt(const TargetLayerState& target, uint32_t address) {
  return target.units.softwareBreakpoints.count(address) != 0;
}

}  // namespace vantrel::target
