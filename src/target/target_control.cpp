#include "target/target_control.h"

#include "platform/platform.h"
#include "target/active_core.h"
#include "target/register_cache.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

constexpr unsigned kAfterTapResetMs = 1;
constexpr unsigned kAfterHaltMs = 10;

// Once the reset line has been pulsed the core runs until it is halted; a connect that
// gets no further must not leave an older, halted state behind.
ResultCode TargetNotReached() {
  SetTargetState(kTargetDown);
  return kTargetNotFound;
}

ResultCode EnterDebugState() {
  core::DebugCore& core = ActiveCore();
  return core.FastSequences() ? core.EnterDebugFast() : core.EnterDebug();
}

ResultCode ConnectFromReset() {
  if (ActiveCore().PulseTargetReset() != kOk) return kEmulatorNotFound;
  if (ActiveCore().CheckTargetId() != kOk) return TargetNotReached();
  ActiveCore().ResetTapToIdle();
  platform::SleepMilliseconds(kAfterTapResetMs);
  // The reset pulse and the identification keep the exact traffic; the rest may be fast.
  const auto fastScope = ActiveCore().FastSequenceScope();
  if (EnterDebugState() != kOk) return TargetNotReached();
  // The target's program starts at address 0 when the host first runs it. Address 0 is
  // the reset vector, ARM code, whatever state the program had reached before the halt.
  (void)ActiveCore().WriteRegister(kPcIndex, 0);
  ActiveCore().SetArmStateAtEntry(true);
  SetTargetState(kConnected);
  // A reset target starts without the host's watchpoints (after a disconnect that could
  // not halt the core, they are still lent) and without a stop reason.
  ReturnAllUnits();
  ForgetStop();
  (void)SaveRegisters();
  // Registers read through a link that went away are not the core's.
  if (ActiveCore().LinkLost()) return TargetNotReached();
  ActiveCore().PutBackLeftWorkArea();
  return kOk;
}

}  // namespace

ResultCode ConnectTarget() {
  if (!CableOpenedOnce()) return kEmulatorNotFound;
  if (TargetState() == kConnected) return kOk;
  return ConnectFromReset();
}

ResultCode DisconnectTarget() {
  if (TargetState() == kTargetDown) {
    ActiveCore().ForgetTapActive();
    return kAlreadyDown;
  }
  if (ActiveCore().RunningByStatus()) {
    if (ActiveCore().EnterDebug() != kOk) {
      ActiveCore().ForgetTapActive();
      // The status said the core runs, and it still does.
      if (CoreHalted()) SetTargetState(kRunning);
      return kHaltFailed;
    }
    platform::SleepMilliseconds(kAfterHaltMs);
  }
  ReturnAllUnits();
  ForgetStop();
  ActiveCore().RestartFromZero();
  ActiveCore().LeaveTapInReset();
  SetTargetState(kTargetDown);
  return kOk;
}

// Whatever the disconnect managed, the connect starts from the reset line: a disconnect
// that could not halt the core leaves a state that no longer says where the core is.
ResultCode ReconnectTarget() {
  (void)DisconnectTarget();
  if (!CableOpenedOnce()) return kEmulatorNotFound;
  return ConnectFromReset();
}

ResultCode RunTarget(bool interruptsMasked) {
  if (TargetState() == kRunning) return kOk;
  if (!CoreHalted()) return kStatusError;
  core::DebugCore& core = ActiveCore();
  if (core.FastSequences()) {
    const auto fastScope = core.FastSequenceScope();
    core.ResumeFast(interruptsMasked);
  } else {
    (void)RestoreRegisters();
    core.Resume(interruptsMasked);
  }
  ForgetStop();
  SetTargetState(kRunning);
  return kOk;
}

ResultCode StopTarget(uint32_t& word) {
  const uint32_t state = TargetState();
  if (state != kHalted && state != kRunning) return kStatusError;
  if (state == kRunning) {
    const auto fastScope = ActiveCore().FastSequenceScope();
    // A core that did not halt still runs, and there are no registers to save.
    if (EnterDebugState() != kOk) return kHaltFailed;
    SetTargetState(kHalted);
    (void)SaveRegisters();
    if (ActiveCore().LinkLost()) {
      SetTargetState(kRunning);
      return kHaltFailed;
    }
    ActiveCore().PutBackLeftWorkArea();
    NoteStop(SavedPc(), ActiveCore().LastEntryRequested());
  }
  word = SavedPc();
  return kOk;
}

ResultCode SetPc(uint32_t address) {
  if (!CoreHalted()) return kStatusError;
  const auto fastScope = ActiveCore().FastSequenceScope();
  (void)ActiveCore().WriteRegister(kPcIndex, address);
  (void)SaveRegisters();
  return kOk;
}

}  // namespace vantrel::target
