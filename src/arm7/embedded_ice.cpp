#include "arm7/embedded_ice.h"

#include "arm7/core_state.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "cable/bit_vector.h"
#include "cable/cable_registry.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr uint32_t kRefusedRead = 0xFFFFFFFF;
constexpr int kTargetStateShift = 8;
constexpr uint32_t kAddressField = 0x1F;

// The dumped registers, in the order of the dump's words.
constexpr int kDumpedRegisters[kIceDumpWords] = {
    kIceDebugControl,
    kIceDebugStatus,
    kIceCommsControl,
    kIceCommsData,
    kIceWatchpoint0 + kWpAddressValue,
    kIceWatchpoint0 + kWpAddressMask,
    kIceWatchpoint0 + kWpDataValue,
    kIceWatchpoint0 + kWpDataMask,
    kIceWatchpoint0 + kWpControlValue,
    kIceWatchpoint0 + kWpControlMask,
    kIceWatchpoint1 + kWpAddressValue,
    kIceWatchpoint1 + kWpAddressMask,
    kIceWatchpoint1 + kWpDataValue,
    kIceWatchpoint1 + kWpDataMask,
    kIceWatchpoint1 + kWpControlValue,
    kIceWatchpoint1 + kWpControlMask,
};

// The library sets no debug control bit but INTDIS, so that is all a read-modify-write
// keeps: DBGRQ and the bit that forces DBGACK never come back from a read, and a refused
// read (all ones while the TAP was left in Test-Logic-Reset) keeps nothing. Otherwise a
// core forced to show DBGACK would look halted for good while it runs.
uint32_t ControlBitsToKeep() {
  const bool refused = !cable::ActiveCable().TapActive();
  const uint32_t control = GetICEReg(kIceDebugControl);
  return refused ? 0 : control & kControlIntdis;
}

}  // namespace

// The 6-bit scan leaves address and read bit in chain bits 32-37 without shifting the
// data bits; the register is read as that scan ends, and the 32-bit scan brings it out.
uint32_t GetICEReg(int address) {
  if (!cable::ActiveCable().TapActive()) {
    Trace("GetICEReg cannot run at test-logic reset status\r\n");
    return kRefusedRead;
  }
  SelectIceChain();
  const uint32_t addressAndRead = static_cast<uint32_t>(address) & kAddressField;
  cable::ActiveCable().ScanDR(kIceAddressAndRwBits, &addressAndRead, nullptr, kIceAddressAndRwBits,
                              cable::ScanEnd::kUpdate);
  uint32_t value = 0;
  cable::ActiveCable().ScanDR(kIceDataBits, nullptr, &value, kIceDataBits, cable::ScanEnd::kUpdate);
  if (address == kIceDebugStatus) NoteDebugStatus(value);
  return value;
}

void SetICEReg(int address, uint32_t value) {
  SelectIceChain();
  cable::BitVector<kIceChainBits> chain;
  chain.words[0] = value;
  chain.words[1] = (static_cast<uint32_t>(address) & kAddressField) | kIceWriteFlag;
  cable::ActiveCable().ScanDR(kIceChainBits, chain.data(), nullptr, kIceChainBits, cable::ScanEnd::kUpdate);
}

void SetInterruptsDisabled() { SetICEReg(kIceDebugControl, ControlBitsToKeep() | kControlIntdis); }

void ClearInterruptsDisabled() { SetICEReg(kIceDebugControl, ControlBitsToKeep() & ~kControlIntdis); }

void ClearDebugRequest() { SetICEReg(kIceDebugControl, ControlBitsToKeep()); }

uint32_t ArmGetStatus(uint32_t targetState) {
  const uint32_t status = GetICEReg(kIceDebugStatus);
  Trace("ArmGetStatus = 0x%08x\r\n", status);
  uint32_t word = status & kStatusDbgAck;
  if ((status & kStatusTbit) != 0 || !ArmStateAtEntry()) word |= kStatusTbit;
  return word | (targetState << kTargetStateShift);
}

ResultCode ReadIceRegisters(IceDump& dump) {
  ClearLinkObservations();
  for (int i = 0; i < kIceDumpWords; ++i) dump.words[i] = GetICEReg(kDumpedRegisters[i]);
  return LinkLost() ? kLinkLost : kOk;
}

}  // namespace vantrel::arm7
