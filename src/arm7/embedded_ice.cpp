#include "arm7/embedded_ice.h"

#include "arm7/arm7_state.h"
#include "arm7/core_state.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "cable/bit_vector.h"
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
uint32_t ControlBitsToKeep(Arm7State& core) {
  const bool refused = !core.cables.Active().TapActive();
  const uint32_t control = GetICEReg(core, kIceDebugControl);
  return refused ? 0 : control & kControlIntdis;
}

}  // namespace

// The 6-bit scan leaves address and read bit in chain bits 32-37 without shifting the
// data bits; the register is read as that scan ends, and the 32-bit scan brings it out.
uint32_t GetICEReg(Arm7State& core, int address) {
  cable::Cable& jtag = core.cables.Active();
  if (!jtag.TapActive()) {
    Trace("GetICEReg cannot run at test-logic reset status\r\n");
    return kRefusedRead;
  }
  SelectIceChain(core);
  const uint32_t addressAndRead = static_cast<uint32_t>(address) & kAddressField;
  jtag.ScanDR(kIceAddressAndRwBits, &addressAndRead, nullptr, kIceAddressAndRwBits, cable::ScanEnd::kUpdate);
  uint32_t value = 0;
  jtag.ScanDR(kIceDataBits, nullptr, &value, kIceDataBits, cable::ScanEnd::kUpdate);
  if (address == kIceDebugStatus) NoteDebugStatus(core, value);
  return value;
}

void SetICEReg(Arm7State& core, int address, uint32_t value) {
  SelectIceChain(core);
  cable::BitVector<kIceChainBits> chain;
  chain.words[0] = value;
  chain.words[1] = (static_cast<uint32_t>(address) & kAddressField) | kIceWriteFlag;
  core.cables.Active().ScanDR(kIceChainBits, chain.data(), nullptr, kIceChainBits, cable::ScanEnd::kUpdate);
}

void SetInterruptsDisabled(Arm7State& core) {
  SetICEReg(core, kIceDebugControl, ControlBitsToKeep(core) | kControlIntdis);
}

void ClearInterruptsDisabled(Arm7State& core) {
  SetICEReg(core, kIceDebugControl, ControlBitsToKeep(core) & ~kControlIntdis);
}

void ClearDebugRequest(Arm7State& core) { SetICEReg(core, kIceDebugControl, ControlBitsToKeep(core)); }

uint32_t ArmGetStatus(Arm7State& core, uint32_t targetState) {
  const uint32_t status = GetICEReg(core, kIceDebugStatus);
  Trace("ArmGetStatus = 0x%08x\r\n", status);
  uint32_t word = status & kStatusDbgAck;
  if ((status & kStatusTbit) != 0 || !ArmStateAtEntry(core)) word |= kStatusTbit;
  return word | (targetState << kTargetStateShift);
}

ResultCode ReadIceRegisters(Arm7State& core, IceDump& dump) {
  ClearLinkObservations(core);
  for (int i = 0; i < kIceDumpWords; ++i) dump.words[i] = GetICEReg(core, kDumpedRegisters[i]);
  return LinkLost(core) ? kLinkLost : kOk;
}

}  // namespace vantrel::arm7
