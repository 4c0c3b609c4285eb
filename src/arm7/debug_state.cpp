#include "arm7/debug_state.h"

#include "arm7/arm7_state.h"
#include "arm7/core_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/host_units.h"
#include "arm7/injection.h"
#include "arm7/link_check.h"
#include "arm7/register_access.h"
#include "arm7/register_blocks.h"
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

uint32_t HaltedBits(Arm7State& core) { return GetICEReg(core, kIceDebugStatus) & kHaltedMask; }

void BothWatchpoints(Arm7State& core, uint32_t control) {
  SetICEReg(core, kWp0ControlValue, control);
  SetICEReg(core, kWp1ControlValue, control);
}

// Watchpoint 0 on "any instruction fetch" stops the core at its next fetch.
void RequestHalt(Arm7State& core) {
  SetWatchpointsAsProgrammed(core, false);
  BothWatchpoints(core, kWpControlOff);
  SetICEReg(core, kWp0AddressMask, kCompareNoBit);
  SetICEReg(core, kWp0DataMask, kCompareNoBit);
  SetICEReg(core, kWp0ControlMask, kWpMaskReadFetch);
  SetICEReg(core, kWp0ControlValue, kWpControlNextFetch);
}

uint32_t WaitForHalt(Arm7State& core) {
  platform::SleepMilliseconds(kHaltRequestWaitMs);
  uint32_t halted = 0;
  for (int poll = 0; poll < kHaltPolls; ++poll) {
    platform::SleepMilliseconds(kHaltPollIntervalMs);
    halted = HaltedBits(core);
    Trace("Waiting for the debugger to stop st = 0x%08x......\r\n", halted);
    if (halted == kStatusHalted) break;
  }
  return halted;
}

uint32_t PollForHalt(Arm7State& core) {
  uint32_t status = 0;
  for (int poll = 0; poll < kFastHaltPolls; ++poll) {
    if (poll >= kBackToBackPolls) platform::SleepMilliseconds(kHaltPollIntervalMs);
    status = GetICEReg(core, kIceDebugStatus);
    Trace("Waiting for the debugger to stop st = 0x%08x......\r\n", status & kHaltedMask);
    if ((status & kHaltedMask) == kStatusHalted) break;
  }
  return status;
}

// Returns r0 as it was when the core stopped (the switch overwrites it).
uint32_t SwitchThumbToArm(Arm7State& core) {
  SelectDataBusChain(core);
  uint32_t savedR0 = 0;
  int position = 0;
  for (const uint32_t word : kThumbToArmSwitch) {
    const uint32_t captured = Chain1Access(core, word);
    if (position++ == kThumbSwitchCapturedR0) savedR0 = captured;
  }
  return savedR0;
}

void LeaveThumbStateOnEntry(Arm7State& core) {
  Trace("Now The Target is in Thumb Status, THUM -> ARM\n");
  SetArmStateAtEntry(core, false);
  const uint32_t savedR0 = SwitchThumbToArm(core);
  (void)ArmWriteRegister(core, 0, savedR0, WriteForm::kArm);
}

// Branches to P - 12 | 1 in Thumb state, then puts r0 back with a Thumb load.
void ReturnToThumbState(Arm7State& core, uint32_t savedPc) {
  Trace("Now The Target is in Thumb Status, THUM -> ARM\n");
  uint32_t savedR0 = 0;
  (void)ArmReadRegister(core, 0, savedR0);
  (void)ArmWriteRegister(core, 0, savedPc - kThumbBranchOffset, WriteForm::kArm);
  SelectDataBusChain(core);
  Inject(core, kBxR0);
  Inject(core, kMovR8R8);
  Inject(core, kMovR8R8);
  (void)ArmWriteRegister(core, 0, savedR0, WriteForm::kThumb);
}

// The BREAKPT-tagged middle word makes RESTART an exit rather than a system-speed access.
void ExitSequence(Arm7State& core, bool armState) {
  if (armState) {
    Inject(core, kNop);
    Inject(core, kNop, Speed::kSystem);
    Inject(core, kSubPcPc);  // SUB pc, pc, #0
  } else {
    Inject(core, kThumbNop);
    Inject(core, kThumbNop, Speed::kSystem);
    Inject(core, kThumbNop);
  }
  ScanInstruction(core, kIrRestart, cable::ScanEnd::kIdle);
}

}  // namespace

uint32_t ReadIdcode(Arm7State& core) {
  if (!core.cables.Active().Opened()) return 0;
  ScanInstruction(core, kIrIdcode, cable::ScanEnd::kUpdate);
  uint32_t idcode = 0;
  core.cables.Active().ScanDR(kIdcodeBits, nullptr, &idcode, kIdcodeBits, cable::ScanEnd::kUpdate);
  Trace("0x%08x\r\n", idcode);
  return idcode;
}

ResultCode CheckTargetId(Arm7State& core) {
  core.cables.Active().ResetTap(cable::TapResetEnd::kRunTestIdle);
  if ((ReadIdcode(core) & kIdcodeCheckMask) != kIdcodeExpected) return kTargetNotFound;
  core.cables.Active().ResetTap(cable::TapResetEnd::kTestLogicReset);
  return kOk;
}

namespace {

// The entry in full: the halt requested by watchpoint 0 and both units programmed anew.
// The fast form polls the status from the start instead of after a wait, reads it once
// where the exact form reads it again (its first reading may be stale, and the T bit),
// and writes INTDIS without reading debug control first.
ResultCode EnterDebugProgrammingWatchpoints(Arm7State& core, bool fast) {
  ClearLinkObservations(core);
  if (!fast) (void)GetICEReg(core, kIceDebugStatus);  // the first reading may be stale
  uint32_t status = GetICEReg(core, kIceDebugStatus);
  uint32_t halted = status & kHaltedMask;
  Trace("ArmEnterDebug ARMICE_DEBUG_ST = 0x%08x\r\n", halted);
  core.halted.lastEntryRequested = halted != kStatusHalted;
  if (halted != kStatusHalted) {
    RequestHalt(core);
    if (fast) {
      status = PollForHalt(core);
      halted = status & kHaltedMask;
    } else {
      halted = WaitForHalt(core);
    }
    if (halted != kStatusHalted && halted != kDebugAckOnly) return kHaltFailed;
  }
  if (fast) {
    SetICEReg(core, kIceDebugControl, kControlIntdis);
  } else {
    SetInterruptsDisabled(core);
  }
  BothWatchpoints(core, kWpControlOff);
  if (!fast) status = GetICEReg(core, kIceDebugStatus);
  if ((status & kStatusTbit) != 0) {
    LeaveThumbStateOnEntry(core);
  } else {
    SetArmStateAtEntry(core, true);
  }
  SelectDataBusChain(core);
  (void)ArmAdjustPc(core, ArmStateAtEntry(core) ? kEntryAdjustArm : kEntryAdjustThumb);
  InjectNops(core, 2);
  ProgramWatchpoints(core);
  SetWatchpointsAsProgrammed(core, true);
  // A halt seen through a cable that lost power or its target is no halt.
  return LinkLost(core) ? kHaltFailed : kOk;
}

}  // namespace

bool LastEntryRequested(const Arm7State& core) { return core.halted.lastEntryRequested; }

ResultCode ArmEnterDebug(Arm7State& core) { return EnterDebugProgrammingWatchpoints(core, false); }

ResultCode ArmEnterDebugFast(Arm7State& core) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  const KeptChainSelection keptSelection(core);
  // A unit lent to the host holds other registers than the entry left: programmed anew.
  if (!WatchpointsAsProgrammed(core) || AnyUnitLent(core)) return EnterDebugProgrammingWatchpoints(core, true);
  ClearLinkObservations(core);
  uint32_t status = GetICEReg(core, kIceDebugStatus);
  core.halted.lastEntryRequested = (status & kHaltedMask) != kStatusHalted;
  if ((status & kHaltedMask) != kStatusHalted) {
    SetICEReg(core, kWp0AddressMask, kCompareNoBit);
    status = PollForHalt(core);
    if ((status & kHaltedMask) != kStatusHalted && (status & kHaltedMask) != kDebugAckOnly) {
      SetWatchpointsAsProgrammed(core, false);  // the request stays armed
      return kHaltFailed;
    }
    SetICEReg(core, kWp0AddressMask, kCompareAllButBit0);
  }
  SetICEReg(core, kIceDebugControl, kControlIntdis);
  if ((status & kStatusTbit) != 0) {
    LeaveThumbStateOnEntry(core);
  } else {
    SetArmStateAtEntry(core, true);
  }
  SelectDataBusChain(core);
  (void)ArmAdjustPc(core, ArmStateAtEntry(core) ? kEntryAdjustArm : kEntryAdjustThumb);
  InjectNops(core, 2);
  return LinkLost(core) ? kHaltFailed : kOk;
}

void ArmRestartFromZero(Arm7State& core) {
  SetWatchpointsAsProgrammed(core, false);
  BothWatchpoints(core, kWpControlOff);
  ClearDebugRequest(core);
  SelectDataBusChain(core);
  Inject(core, kNop, Speed::kSystem);
  Inject(core, kMovPcZero);
  ScanInstruction(core, kIrRestart, cable::ScanEnd::kIdle);
}

void ArmResume(Arm7State& core, bool interruptsMasked) {
  auto& cache = RegisterCache(core);
  const uint32_t savedPc = cache[kSavedPcElement];
  const bool armState = ArmStateAtEntry(core);
  (void)ArmWriteRegister(core, kRegisterPc, savedPc - (armState ? kResumeArmRewind : kResumeThumbRewind),
                         WriteForm::kArm);
  cache[kSavedPcElement] = savedPc;
  if (!armState) ReturnToThumbState(core, savedPc);
  EnableWatchpointsForRun(core);
  if (interruptsMasked) {
    SetInterruptsDisabled(core);
  } else {
    ClearInterruptsDisabled(core);
  }
  SelectDataBusChain(core);
  ExitSequence(core, armState);
}

void ArmResumeFast(Arm7State& core, bool interruptsMasked) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  const KeptChainSelection keptSelection(core);
  if (!WatchpointsAsProgrammed(core) || AnyUnitLent(core)) EnableWatchpointsForRun(core);
  SetICEReg(core, kIceDebugControl, interruptsMasked ? kControlIntdis : kControlNone);
  auto& cache = RegisterCache(core);
  const uint32_t savedPc = cache[kSavedPcElement];
  if (ArmStateAtEntry(core)) {
    ArmWriteRegistersAndBranch(core, cache, savedPc - kResumeArmRewind - kPcWriteLead);
  } else {
    ArmWriteRegistersButPc(core, cache);
    (void)ArmWriteRegister(core, kRegisterPc, savedPc - kResumeThumbRewind, WriteForm::kArm);
    cache[kSavedPcElement] = savedPc;
    ReturnToThumbState(core, savedPc);
    SelectDataBusChain(core);
  }
  ExitSequence(core, ArmStateAtEntry(core));
}

void ArmRunFrom(Arm7State& core, uint32_t address, uint32_t r1, uint32_t r2) {
  SelectDataBusChain(core);
  Inject(core, kLdmiaR0R1R2Pc);
  InjectNops(core, 2);
  Inject(core, r1);
  Inject(core, r2);
  Inject(core, address - kResumeArmRewind - kPcWriteLead);
  Inject(core, kNop);  // the load's internal cycle
  ExitSequence(core, true);
}

}  // namespace vantrel::arm7
