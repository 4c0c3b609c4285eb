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
std::optional<UnitSetting>& Lent(int unit) { return CoreState().lentUnits[static_cast<std::size_t>(unit)]; }

int UnitBase(int unit) { return unit == kBreakpointUnit ? kIceWatchpoint0 : kIceWatchpoint1; }

// The control value last, so that the unit compares only once the other five are in place.
void WriteUnit(int unit, const UnitSetting& setting, uint32_t controlValue) {
  const int base = UnitBase(unit);
  SetICEReg(base + kWpControlValue, kWpControlOff);
  SetICEReg(base + kWpAddressValue, setting.addressValue);
  SetICEReg(base + kWpAddressMask, setting.addressMask);
  SetICEReg(base + kWpDataValue, setting.dataValue);
  SetICEReg(base + kWpDataMask, setting.dataMask);
  SetICEReg(base + kWpControlMask, setting.controlMask);
  SetICEReg(base + kWpControlValue, controlValue);
}

void WriteLentUnitDisabled(int unit) { WriteUnit(unit, *Lent(unit), Lent(unit)->controlValue & ~kUnitEnable); }

void ProgramDetector() {
  SetICEReg(kWp1AddressMask, kCompareNoBit);
  SetICEReg(kWp1DataValue, kSoftwareBreakpointPattern);
  SetICEReg(kWp1DataMask, kCompareEveryBit);
  SetICEReg(kWp1ControlMask, kWpMaskFetch);
  SetICEReg(kWp1ControlValue, kWpControlFetch);
}

void ProgramHardwareBreakpoint() {
  SetICEReg(kWp0AddressMask, kCompareNoBit);
  SetICEReg(kWp0DataMask, kCompareNoBit);
  SetICEReg(kWp0AddressMask, kCompareAllButBit0);
  SetICEReg(kWp0ControlMask, kWpMaskFetch);
  SetICEReg(kWp0ControlValue, kWpControlFetch);
}

void ProgramUnit(int unit) {
  if (Lent(unit).has_value()) {
    WriteLentUnitDisabled(unit);
  } else if (unit == kDetectorUnit) {
    ProgramDetector();
  } else {
    ProgramHardwareBreakpoint();
  }
}

}  // namespace

void SetHardwareBreakpoint(uint32_t address) {
  SetICEReg(kWp0AddressValue, address);
  Trace("Get the hardware break point 0x%08x\r\n", GetICEReg(kWp0AddressValue));
}

// The unit stays enabled; an address no fetch reaches stands for "no breakpoint".
void ClearHardwareBreakpoint() { SetHardwareBreakpoint(kNoBreakpointAddress); }

void SetBreakpointPattern(uint32_t /*address*/, uint32_t pattern) {
  if (pattern == LastBreakpointPattern()) return;
  SetICEReg(kWp1DataValue, pattern);
  SetLastBreakpointPattern(pattern);
}

// Both units are switched off while their comparators change, then on again. The
// address register of watchpoint 0 is left alone: it keeps the last breakpoint address.
void ProgramWatchpoints() {
  SetICEReg(kWp0ControlValue, kWpControlOff);
  SetICEReg(kWp1ControlValue, kWpControlOff);
  ClearDebugRequest();
  ProgramUnit(kDetectorUnit);
  ProgramUnit(kBreakpointUnit);
  platform::SleepMilliseconds(kSettleMs);
  SetInterruptsDisabled();
}

uint32_t ArmWatchpointsForCode() {
  const uint32_t savedWp1Address = GetICEReg(kWp1AddressValue);
  SetICEReg(kWp0ControlValue, kWpControlOff);
  SetICEReg(kWp1AddressValue, 0);
  SetICEReg(kWp1AddressMask, kCompareVectorAddresses);
  SetICEReg(kWp1DataMask, kCompareNoBit);
  if (Lent(kDetectorUnit).has_value()) {
    // A lent unit compares other cycles: it becomes the vector-fetch catch in full.
    SetICEReg(kWp1ControlMask, kWpMaskFetch);
    SetICEReg(kWp1ControlValue, kWpControlFetch);
  }
  return savedWp1Address;
}

void ArmHaltAtNextFetch() {
  SetICEReg(kWp0AddressMask, kCompareNoBit);
  SetICEReg(kWp0ControlValue, kWpControlFetch);
}

void ArmWatchpointsAfterCode(uint32_t savedWp1Address) {
  SetICEReg(kWp0AddressMask, kCompareAllButBit0);
  SetICEReg(kWp1AddressMask, kCompareNoBit);
  SetICEReg(kWp1DataMask, kCompareEveryBit);
  SetICEReg(kWp1AddressValue, savedWp1Address);
  for (int unit = 0; unit < kWatchpointUnits; ++unit) {
    if (Lent(unit).has_value()) WriteLentUnitDisabled(unit);
  }
}

void LendUnit(int unit, const UnitSetting& setting) {
  CoreState().lentUnits.at(static_cast<std::size_t>(unit)) = setting;
  WriteLentUnitDisabled(unit);
}

// A returned unit 0 holds no breakpoint: the host lent it while none was set.
void ReturnUnit(int unit) {
  if (!CoreState().lentUnits.at(static_cast<std::size_t>(unit)).has_value()) return;
  Lent(unit).reset();
  SetICEReg(UnitBase(unit) + kWpControlValue, kWpControlOff);
  if (unit == kBreakpointUnit) SetICEReg(kWp0AddressValue, kNoBreakpointAddress);
  ProgramUnit(unit);
}

bool AnyUnitLent() { return Lent(kBreakpointUnit).has_value() || Lent(kDetectorUnit).has_value(); }

bool UnitLent(int unit) { return unit >= 0 && unit < kWatchpointUnits && Lent(unit).has_value(); }

UnitSetting LentSetting(int unit) { return UnitLent(unit) ? *Lent(unit) : UnitSetting{}; }

void EnableWatchpointsForRun() {
  if (!AnyUnitLent()) {
    SetICEReg(kWp0ControlValue, kWpControlFetch);
    SetICEReg(kWp1ControlValue, kWpControlFetch);
    return;
  }
  for (int unit = 0; unit < kWatchpointUnits; ++unit) {
    const uint32_t control = Lent(unit).has_value() ? Lent(unit)->controlValue : kWpControlFetch;
    SetICEReg(UnitBase(unit) + kWpControlValue, control);
  }
}

}  // namespace vantrel::arm7
