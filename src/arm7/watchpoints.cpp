// Watchpoint 0 serves as the hardware breakpoint (and as halt request at debug entry);
// watchpoint 1 stops the core on the fetch of the software-breakpoint pattern. Either may
// be lent to the host (host_units.h).
#include <array>
#include <cstddef>
#include <optional>

#include "arm7/arm7_state.h"
#include "arm7/core_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/host_units.h"
#include "arm7/instructions.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr unsigned kSettleMs = 1;
constexpr int kBreakpointUnit = 0;
constexpr int kDetectorUnit = 1;

// What the host lent to a unit; unit is 0 or 1, checked by every caller.
std::optional<UnitSetting>& Lent(Arm7State& core, int unit) { return core.lentUnits[static_cast<std::size_t>(unit)]; }

int UnitBase(int unit) { return unit == kBreakpointUnit ? kIceWatchpoint0 : kIceWatchpoint1; }

// The control value last, so that the unit compares only once the other five are in place.
void WriteUnit(Arm7State& core, int unit, const UnitSetting& setting, uint32_t controlValue) {
  const int base = UnitBase(unit);
  SetICEReg(core, base + kWpControlValue, kWpControlOff);
  SetICEReg(core, base + kWpAddressValue, setting.addressValue);
  SetICEReg(core, base + kWpAddressMask, setting.addressMask);
  SetICEReg(core, base + kWpDataValue, setting.dataValue);
  SetICEReg(core, base + kWpDataMask, setting.dataMask);
  SetICEReg(core, base + kWpControlMask, setting.controlMask);
  SetICEReg(core, base + kWpControlValue, controlValue);
}

void WriteLentUnitDisabled(Arm7State& core, int unit) {
  WriteUnit(core, unit, *Lent(core, unit), Lent(core, unit)->controlValue & ~kUnitEnable);
}

void ProgramDetector(Arm7State& core) {
  SetICEReg(core, kWp1AddressMask, kCompareNoBit);
  SetICEReg(core, kWp1DataValue, kSoftwareBreakpointPattern);
  SetICEReg(core, kWp1DataMask, kCompareEveryBit);
  SetICEReg(core, kWp1ControlMask, kWpMaskFetch);
  SetICEReg(core, kWp1ControlValue, kWpControlFetch);
}

void ProgramHardwareBreakpoint(Arm7State& core) {
  SetICEReg(core, kWp0AddressMask, kCompareNoBit);
  SetICEReg(core, kWp0DataMask, kCompareNoBit);
  SetICEReg(core, kWp0AddressMask, kCompareAllButBit0);
  SetICEReg(core, kWp0ControlMask, kWpMaskFetch);
  SetICEReg(core, kWp0ControlValue, kWpControlFetch);
}

void ProgramUnit(Arm7State& core, int unit) {
  if (Lent(core, unit).has_value()) {
    WriteLentUnitDisabled(core, unit);
  } else if (unit == kDetectorUnit) {
    ProgramDetector(core);
  } else {
    ProgramHardwareBreakpoint(core);
  }
}

}  // namespace

void SetHardwareBreakpoint(Arm7State& core, uint32_t address) {
  SetICEReg(core, kWp0AddressValue, address);
  Trace("Get the hardware break point 0x%08x\r\n", GetICEReg(core, kWp0AddressValue));
}

// The unit stays enabled; an address no fetch reaches stands for "no breakpoint".
void ClearHardwareBreakpoint(Arm7State& core) { SetHardwareBreakpoint(core, kNoBreakpointAddress); }

void SetBreakpointPattern(Arm7State& core, uint32_t /*address*/, uint32_t pattern) {
  if (pattern == LastBreakpointPattern(core)) return;
  SetICEReg(core, kWp1DataValue, pattern);
  SetLastBreakpointPattern(core, pattern);
}

// Both units are switched off while their comparators change, then on again. The
// address register of watchpoint 0 is left alone: it keeps the last breakpoint address.
void ProgramWatchpoints(Arm7State& core) {
  SetICEReg(core, kWp0ControlValue, kWpControlOff);
  SetICEReg(core, kWp1ControlValue, kWpControlOff);
  ClearDebugRequest(core);
  ProgramUnit(core, kDetectorUnit);
  ProgramUnit(core, kBreakpointUnit);
  platform::SleepMilliseconds(kSettleMs);
  SetInterruptsDisabled(core);
}

uint32_t ArmWatchpointsForCode(Arm7State& core) {
  const uint32_t savedWp1Address = GetICEReg(core, kWp1AddressValue);
  SetICEReg(core, kWp0ControlValue, kWpControlOff);
  SetICEReg(core, kWp1AddressValue, 0);
  SetICEReg(core, kWp1AddressMask, kCompareVectorAddresses);
  SetICEReg(core, kWp1DataMask, kCompareNoBit);
  if (Lent(core, kDetectorUnit).has_value()) {
    // A lent unit compares other cycles: it becomes the vector-fetch catch in full.
    SetICEReg(core, kWp1ControlMask, kWpMaskFetch);
    SetICEReg(core, kWp1ControlValue, kWpControlFetch);
  }
  return savedWp1Address;
}

void ArmHaltAtNextFetch(Arm7State& core) {
  SetICEReg(core, kWp0AddressMask, kCompareNoBit);
  SetICEReg(core, kWp0ControlValue, kWpControlFetch);
}

void ArmWatchpointsAfterCode(Arm7State& core, uint32_t savedWp1Address) {
  SetICEReg(core, kWp0AddressMask, kCompareAllButBit0);
  SetICEReg(core, kWp1AddressMask, kCompareNoBit);
  SetICEReg(core, kWp1DataMask, kCompareEveryBit);
  SetICEReg(core, kWp1AddressValue, savedWp1Address);
  for (int unit = 0; unit < kWatchpointUnits; ++unit) {
    if (Lent(core, unit).has_value()) WriteLentUnitDisabled(core, unit);
  }
}

void LendUnit(Arm7State& core, int unit, const UnitSetting& setting) {
  core.lentUnits.at(static_cast<std::size_t>(unit)) = setting;
  WriteLentUnitDisabled(core, unit);
}

// A returned unit 0 holds no breakpoint: the host lent it while none was set.
void ReturnUnit(Arm7State& core, int unit) {
  if (!core.lentUnits.at(static_cast<std::size_t>(unit)).has_value()) return;
  Lent(core, unit).reset();
  SetICEReg(core, UnitBase(unit) + kWpControlValue, kWpControlOff);
  if (unit == kBreakpointUnit) SetICEReg(core, kWp0AddressValue, kNoBreakpointAddress);
  ProgramUnit(core, unit);
}

bool AnyUnitLent(Arm7State& core) {
  return Lent(core, kBreakpointUnit).has_value() || Lent(core, kDetectorUnit).has_value();
}

bool UnitLent(Arm7State& core, int unit) {
  return unit >= 0 && unit < kWatchpointUnits && Lent(core, unit).has_value();
}

UnitSetting LentSetting(Arm7State& core, int unit) { return UnitLent(core, unit) ? *Lent(core, unit) : UnitSetting{}; }

void EnableWatchpointsForRun(Arm7State& core) {
  if (!AnyUnitLent(core)) {
    SetICEReg(core, kWp0ControlValue, kWpControlFetch);
    SetICEReg(core, kWp1ControlValue, kWpControlFetch);
    return;
  }
  for (int unit = 0; unit < kWatchpointUnits; ++unit) {
    const uint32_t control = Lent(core, unit).has_value() ? Lent(core, unit)->controlValue : kWpControlFetch;
    SetICEReg(core, UnitBase(unit) + kWpControlValue, control);
  }
}

}  // namespace vantrel::arm7
