// Watchpoint 0 serves as the hardware breakpoint (and as halt request at debug entry);
// watchpoint 1 stops the core on the fetch of the software-breakpoint pattern.
#include "arm7/core_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr unsigned kSettleMs = 1;

}  // namespace

ResultCode SetHardwareBreakpoint(uint32_t address) {
  SetICEReg(kWp0AddressValue, address);
  Trace("Get the hardware break point 0x%08x\r\n", GetICEReg(kWp0AddressValue));
  return kOk;
}

// The unit stays enabled; an address no fetch reaches stands for "no breakpoint".
ResultCode ClearHardwareBreakpoint() { return SetHardwareBreakpoint(kNoBreakpointAddress); }

ResultCode SetBreakpointPattern(uint32_t /*address*/, uint32_t pattern) {
  if (pattern == LastBreakpointPattern()) return kOk;
  SetICEReg(kWp1DataValue, pattern);
  SetLastBreakpointPattern(pattern);
  return kOk;
}

// Both units are switched off while their comparators change, then on again. The
// address register of watchpoint 0 is left alone: it keeps the last breakpoint address.
void ProgramWatchpoints() {
  SetICEReg(kWp0ControlValue, kWpControlOff);
  SetICEReg(kWp1ControlValue, kWpControlOff);
  ClearDebugRequest();
  SetICEReg(kWp1AddressMask, kCompareNoBit);
  SetICEReg(kWp1DataValue, kSoftwareBreakpointPattern);
  SetICEReg(kWp1DataMask, kCompareEveryBit);
  SetICEReg(kWp1ControlMask, kWpMaskFetch);
  SetICEReg(kWp1ControlValue, kWpControlFetch);
  SetICEReg(kWp0AddressMask, kCompareNoBit);
  SetICEReg(kWp0DataMask, kCompareNoBit);
  SetICEReg(kWp0AddressMask, kCompareAllButBit0);
  SetICEReg(kWp0ControlMask, kWpMaskFetch);
  SetICEReg(kWp0ControlValue, kWpControlFetch);
  platform::SleepMilliseconds(kSettleMs);
  SetInterruptsDisabled();
}

uint32_t ArmWatchpointsForCode() {
  const uint32_t savedWp1Address = GetICEReg(kWp1AddressValue);
  SetICEReg(kWp0ControlValue, kWpControlOff);
  SetICEReg(kWp1AddressValue, 0);
  SetICEReg(kWp1AddressMask, kCompareVectorAddresses);
  SetICEReg(kWp1DataMask, kCompareNoBit);
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
}

}  // namespace vantrel::arm7
