#include "arm7/debug_state.h"

#include "arm7/arm7_state.h"
#include "arm7/core_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/host_units.h"
#include "arm7/injection.h"
#include "arm7/link_check.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"
#include "cable/cable_registry.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr unsigned kHaltRequestWaitMs = 10;
constexpr unsigned kHaltPollIntervalMs = 1;
constexpr int kHaltPolls = 50;
// DBGACK without nMREQ after the last poll: taken as halted all the same.
constexpr uint32_t kDebugAckOnly = kStatusDbgAck;
// The fast stop polls at once, a few times back to back (a core that runs halts within
// a few instructions), then 1 ms apart for as long as the exact wait lasts.
constexpr int kBackToBackPolls = 3;
constexpr int kFastHaltPolls =
    kBackToBackPolls + kHaltPolls + static_cast<int>(kHaltRequestWaitMs / kHaltPollIntervalMs);
// What the library writes to debug control when it lets the core run: no bit set.
constexpr uint32_t kControlNone = 0;

// The first debug fetch lies three instructions past the stop; two more words follow.
constexpr int kEntryAdjustArm = -24;
constexpr int kEntryAdjustThumb = -32;  // the Thumb-to-ARM switch fetched further
constexpr uint32_t kResumeArmRewind = 12;
constexpr uint32_t kResumeThumbRewind = 8;
// A PC written with ArmWriteRegister leaves a branch under way 4 bytes below the value.
constexpr uint32_t kPcWriteLead = 4;
// r0 for BX r0 on a Thumb resume: target P - 12 with bit 0 set. The eight words of the
// r0 restore and the exit fetch only six times (the load's data word and its internal
// cycle don't fetch), so the core continues at P, not four bytes early.
constexpr uint32_t kThumbBranchOffset = 11;

constexpr int kThumbSwitchCapturedR0 = 3;
constexpr uint32_t kThumbToArmSwitch[] = {
    kThumbStrR0AtR0,  // STR r0, [r0]
    kThumbMovR0Pc,    // MOV r0, pc
    kThumbStrR0AtR0,  // STR r0, [r0]
    kThumbNop,        // captures r0 as stored by the first STR
    kThumbBxPc,       // BX pc: to ARM state
    kThumbNop,       kThumbNop, kNop, kNop,
};

uint32_t HaltedBits() { return GetICEReg(kIceDebugStatus) & kHaltedMask; }

void BothWatchpoints(uint32_t control) {
  SetICEReg(kWp0ControlValue, control);
  SetICEReg(kWp1ControlValue, control);
}

// Watchpoint 0 on "any instruction fetch" stops the core at its next fetch.
void RequestHalt() {
  SetWatchpointsAsProgrammed(false);
  BothWatchpoints(kWpControlOff);
  SetICEReg(kWp0AddressMask, kCompareNoBit);
  SetICEReg(kWp0DataMask, kCompareNoBit);
  SetICEReg(kWp0ControlMask, kWpMaskReadFetch);
  SetICEReg(kWp0ControlValue, kWpControlNextFetch);
}

uint32_t WaitForHalt() {
  platform::SleepMilliseconds(kHaltRequestWaitMs);
  uint32_t halted = 0;
  for (int poll = 0; poll < kHaltPolls; ++poll) {
    platform::SleepMilliseconds(kHaltPollIntervalMs);
    halted = HaltedBits();
    Trace("Waiting for the debugger to stop st = 0x%08x......\r\n", halted);
    if (halted == kStatusHalted) break;
  }
  return halted;
}

uint32_t PollForHalt() {
  uint32_t status = 0;
  for (int poll = 0; poll < kFastHaltPolls; ++poll) {
    if (poll >= kBackToBackPolls) platform::SleepMilliseconds(kHaltPollIntervalMs);
    status = GetICEReg(kIceDebugStatus);
    Trace("Waiting for the debugger to stop st = 0x%08x......\r\n", status & kHaltedMask);
    if ((status & kHaltedMask) == kStatusHalted) break;
  }
  return status;
}

// Returns r0 as it was when the core stopped (the switch overwrites it).
uint32_t SwitchThumbToArm() {
  SelectDataBusChain();
  uint32_t savedR0 = 0;
  int position = 0;
  for (const uint32_t word : kThumbToArmSwitch) {
    const uint32_t captured = Chain1Access(word);
    if (position++ == kThumbSwitchCapturedR0) savedR0 = captured;
  }
  return savedR0;
}

void LeaveThumbStateOnEntry() {
  Trace("Now The Target is in Thumb Status, THUM -> ARM\n");
  SetArmStateAtEntry(false);
  const uint32_t savedR0 = SwitchThumbToArm();
  (void)ArmWriteRegister(0, savedR0, WriteForm::kArm);
}

// Branches to P - 12 | 1 in Thumb state, then puts r0 back with a Thumb load.
void ReturnToThumbState(uint32_t savedPc) {
  Trace("Now The Target is in Thumb Status, THUM -> ARM\n");
  uint32_t savedR0 = 0;
  (void)ArmReadRegister(0, savedR0);
  (void)ArmWriteRegister(0, savedPc - kThumbBranchOffset, WriteForm::kArm);
  SelectDataBusChain();
  Inject(kBxR0);
  Inject(kMovR8R8);
  Inject(kMovR8R8);
  (void)ArmWriteRegister(0, savedR0, WriteForm::kThumb);
}

// The BREAKPT-tagged middle word makes RESTART an exit rather than a system-speed access.
void ExitSequence(bool armState) {
  if (armState) {
    Inject(kNop);
    Inject(kNop, Speed::kSystem);
    Inject(kSubPcPc);  // SUB pc, pc, #0
  } else {
    Inject(kThumbNop);
    Inject(kThumbNop, Speed::kSystem);
    Inject(kThumbNop);
  }
  ScanInstruction(kIrRestart, cable::ScanEnd::kIdle);
}

}  // namespace

uint32_t ReadIdcode() {
  if (!cable::ActiveCable().Opened()) return 0;
  ScanInstruction(kIrIdcode, cable::ScanEnd::kUpdate);
  uint32_t idcode = 0;
  cable::ActiveCable().ScanDR(kIdcodeBits, nullptr, &idcode, kIdcodeBits, cable::ScanEnd::kUpdate);
  Trace("0x%08x\r\n", idcode);
  return idcode;
}

ResultCode CheckTargetId() {
  cable::ActiveCable().ResetTap(cable::TapResetEnd::kRunTestIdle);
  if ((ReadIdcode() & kIdcodeCheckMask) != kIdcodeExpected) return kTargetNotFound;
  cable::ActiveCable().ResetTap(cable::TapResetEnd::kTestLogicReset);
  return kOk;
}

namespace {

// The entry in full: the halt requested by watchpoint 0 and both units programmed anew.
// The fast form polls the status from the start instead of after a wait, reads it once
// where the exact form reads it again (its first reading may be stale, and the T bit),
// and writes INTDIS without reading debug control first.
ResultCode EnterDebugProgrammingWatchpoints(bool fast) {
  ClearLinkObservations();
  if (!fast) (void)GetICEReg(kIceDebugStatus);  // the first reading may be stale
  uint32_t status = GetICEReg(kIceDebugStatus);
  uint32_t halted = status & kHaltedMask;
  Trace("ArmEnterDebug ARMICE_DEBUG_ST = 0x%08x\r\n", halted);
  CoreState().core.lastEntryRequested = halted != kStatusHalted;
  if (halted != kStatusHalted) {
    RequestHalt();
    if (fast) {
      status = PollForHalt();
      halted = status & kHaltedMask;
    } else {
      halted = WaitForHalt();
    }
    if (halted != kStatusHalted && halted != kDebugAckOnly) return kHaltFailed;
  }
  if (fast) {
    SetICEReg(kIceDebugControl, kControlIntdis);
  } else {
    SetInterruptsDisabled();
  }
  BothWatchpoints(kWpControlOff);
  if (!fast) status = GetICEReg(kIceDebugStatus);
  if ((status & kStatusTbit) != 0) {
    LeaveThumbStateOnEntry();
  } else {
    SetArmStateAtEntry(true);
  }
  SelectDataBusChain();
  (void)ArmAdjustPc(ArmStateAtEntry() ? kEntryAdjustArm : kEntryAdjustThumb);
  InjectNops(2);
  ProgramWatchpoints();
  SetWatchpointsAsProgrammed(true);
  // A halt seen through a cable that lost power or its target is no halt.
  return LinkLost() ? kHaltFailed : kOk;
}

}  // namespace

bool LastEntryRequested() { return CoreState().core.lastEntryRequested; }

ResultCode ArmEnterDebug() { return EnterDebugProgrammingWatchpoints(false); }

ResultCode ArmEnterDebugFast() {
  const cable::UnreadTdoScope fastClocks;
  const KeptChainSelection keptSelection;
  // A unit lent to the host holds other registers than the entry left: programmed anew.
  if (!WatchpointsAsProgrammed() || AnyUnitLent()) return EnterDebugProgrammingWatchpoints(true);
  ClearLinkObservations();
  uint32_t status = GetICEReg(kIceDebugStatus);
  CoreState().core.lastEntryRequested = (status & kHaltedMask) != kStatusHalted;
  if ((status & kHaltedMask) != kStatusHalted) {
    SetICEReg(kWp0AddressMask, kCompareNoBit);
    status = PollForHalt();
    if ((status & kHaltedMask) != kStatusHalted && (status & kHaltedMask) != kDebugAckOnly) {
      SetWatchpointsAsProgrammed(false);  // the request stays armed
      return kHaltFailed;
    }
    SetICEReg(kWp0AddressMask, kCompareAllButBit0);
  }
  SetICEReg(kIceDebugControl, kControlIntdis);
  if ((status & kStatusTbit) != 0) {
    LeaveThumbStateOnEntry();
  } else {
    SetArmStateAtEntry(true);
  }
  SelectDataBusChain();
  (void)ArmAdjustPc(ArmStateAtEntry() ? kEntryAdjustArm : kEntryAdjustThumb);
  InjectNops(2);
  return LinkLost() ? kHaltFailed : kOk;
}

void ArmRestartFromZero() {
  SetWatchpointsAsProgrammed(false);
  BothWatchpoints(kWpControlOff);
  ClearDebugRequest();
  SelectDataBusChain();
  Inject(kNop, Speed::kSystem);
  Inject(kMovPcZero);
  ScanInstruction(kIrRestart, cable::ScanEnd::kIdle);
}

void ArmResume(bool interruptsMasked) {
  auto& cache = RegisterCache();
  const uint32_t savedPc = cache[kSavedPcElement];
  const bool armState = ArmStateAtEntry();
  (void)ArmWriteRegister(kRegisterPc, savedPc - (armState ? kResumeArmRewind : kResumeThumbRewind), WriteForm::kArm);
  cache[kSavedPcElement] = savedPc;
  if (!armState) ReturnToThumbState(savedPc);
  EnableWatchpointsForRun();
  if (interruptsMasked) {
    SetInterruptsDisabled();
  } else {
    ClearInterruptsDisabled();
  }
  SelectDataBusChain();
  ExitSequence(armState);
}

void ArmResumeFast(bool interruptsMasked) {
  const cable::UnreadTdoScope fastClocks;
  const KeptChainSelection keptSelection;
  if (!WatchpointsAsProgrammed() || AnyUnitLent()) EnableWatchpointsForRun();
  SetICEReg(kIceDebugControl, interruptsMasked ? kControlIntdis : kControlNone);
  auto& cache = RegisterCache();
  const uint32_t savedPc = cache[kSavedPcElement];
  if (ArmStateAtEntry()) {
    ArmWriteRegistersAndBranch(cache, savedPc - kResumeArmRewind - kPcWriteLead);
  } else {
    ArmWriteRegistersButPc(cache);
    (void)ArmWriteRegister(kRegisterPc, savedPc - kResumeThumbRewind, WriteForm::kArm);
    cache[kSavedPcElement] = savedPc;
    ReturnToThumbState(savedPc);
    SelectDataBusChain();
  }
  ExitSequence(ArmStateAtEntry());
}

void ArmRunFrom(uint32_t address, uint32_t r1, uint32_t r2) {
  SelectDataBusChain();
  Inject(kLdmiaR0R1R2Pc);
  InjectNops(2);
  Inject(r1);
  Inject(r2);
  Inject(address - kResumeArmRewind - kPcWriteLead);
  Inject(kNop);  // the load's internal cycle
  ExitSequence(true);
}

}  // namespace vantrel::arm7
