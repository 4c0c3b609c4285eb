#include "target/target_control.h"

#include "platform/platform.h"
#include "target/register_cache.h"
#include "target/stop_report.h"
#include "target/target_layer_state.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

constexpr unsigned kAfterTapResetMs = 1;
constexpr unsigned kAfterHaltMs = 10;

// Once the reset line has been pulsed the core runs until it is halted; a connect that
// gets no further must not leave an older, halted state behind.
ResultCode TargetNotReached(TargetLayerState& target) {
  SetTargetState(target, kTargetDown);
  return kTargetNotFound;
}

ResultCode EnterDebugState(TargetLayerState& target) {
  core::DebugCore& core = target.Core();
  return core.FastSequences() ? core.EnterDebugFast() : core.EnterDebug();
}

ResultCode ConnectFromReset(TargetLayerState& target) {
  if (target.Core().PulseTargetReset() != kOk) return kEmulatorNotFound;
  if (target.Core().CheckTargetId() != kOk) return TargetNotReached(target);
  target.Core().ResetTapToIdle();
  platform::SleepMilliseconds(kAfterTapResetMs);
  // The reset pulse and the identification keep the exact traffic; the rest may be fast.
  const auto fastScope = target.Core().FastSequenceScope();
  if (EnterDebugState(target) != kOk) return TargetNotReached(target);
  // The target's program starts at address 0 when the host first runs it. Address 0 is
  // the reset vector, ARM code, whatever state the program had reached before the halt.
  (void)target.Core().WriteRegister(kPcIndex, 0);
  target.Core().SetArmStateAtEntry(true);
  SetTargetState(target, kConnected);
  // A reset target starts without the host's watchpoints (after a disconnect that could
  // not halt the core, they are still lent) and without a stop reason.
  ReturnAllUnits(target);
  ForgetStop(target);
  (void)SaveRegisters(target);
  // Registers read through a link that went away are not the core's.
  if (target.Core().LinkLost()) return TargetNotReached(target);
  target.Core().PutBackLeftWorkArea();
  return kOk;
}

}  // namespace

ResultCode ConnectTarget(TargetLayerState& target) {
  if (!CableOpenedOnce(target)) return kEmulatorNotFound;
  if (TargetState(target) == kConnected) return kOk;
  return ConnectFromReset(target);
}

ResultCode DisconnectTarget(TargetLayerState& target) {
  if (TargetState(target) == kTargetDown) {
    target.Core().ForgetTapActive();
    return kAlreadyDown;
  }
  if (target.Core().RunningByStatus()) {
    if (target.Core().EnterDebug() != kOk) {
      target.Core().ForgetTapActive();
      // The status said the core runs, and it still does.
      if (CoreHalted(target)) SetTargetState(target, kRunning);
      return kHaltFailed;
    }
    platform::SleepMilliseconds(kAfterHaltMs);
  }
  ReturnAllUnits(target);
  ForgetStop(target);
  target.Core().RestartFromZero();
  target.Core().LeaveTapInReset();
  SetTargetState(target, kTargetDown);
  return kOk;
}

// Whatever the disconnect managed, the connect starts from the reset line: a disconnect
// that could not halt the core leaves a state that no longer says where the core is.
ResultCode ReconnectTarget(TargetLayerState& target) {
  (void)DisconnectTarget(target);
  if (!CableOpenedOnce(target)) return kEmulatorNotFound;
  return ConnectFromReset(target);
}

ResultCode RunTarget(TargetLayerState& target, bool interruptsMasked) {
  if (TargetState(target) == kRunning) return kOk;
  if (!CoreHalted(target)) return kStatusError;
  core::DebugCore& core = target.Core();
  if (core.FastSequences()) {
    const auto fastScope = core.FastSequenceScope();
    core.ResumeFast(interruptsMasked);
  } else {
    (void)RestoreRegisters(target);
    core.Resume(interruptsMasked);
  }
  ForgetStop(target);
  SetTargetState(target, kRunning);
  return kOk;
}

ResultCode StopTarget(TargetLayerState& target, uint32_t& word) {
  const uint32_t state = TargetState(target);
  if (state != kHalted && state != kRunning) return kStatusError;
  if (state == kRunning) {
    const auto fastScope = target.Core().FastSequenceScope();
    // A core that did not halt still runs, and there are no registers to save.
    if (EnterDebugState(target) != kOk) return kHaltFailed;
    SetTargetState(target, kHalted);
    (void)SaveRegisters(target);
    if (target.Core().LinkLost()) {
      SetTargetState(target, kRunning);
      return kHaltFailed;
    }
    target.Core().PutBackLeftWorkArea();
    NoteStop(target, SavedPc(target), target.Core().LastEntryRequested());
  }
  word = SavedPc(target);
  return kOk;
}

ResultCode SetPc(TargetLayerState& target, uint32_t address) {
  if (!CoreHalted(target)) return kStatusError;
  const auto fastScope = target.Core().FastSequenceScope();
  (void)target.Core().WriteRegister(kPcIndex, address);
  (void)SaveRegisters(target);
  return kOk;
}

}  // namespace vantrel::target
