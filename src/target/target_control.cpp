#include "target/target_control.h"

#include "arm7/cable_link.h"
#include "arm7/comms_loop.h"
#include "arm7/core_state.h"
#include "arm7/debug_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7/register_access.h"
#include "arm7/scan_chain.h"
#include "arm7/sequence_mode.h"
#include "platform/platform.h"
#include "target/register_cache.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

constexpr unsigned kAfterTapResetMs = 1;
constexpr unsigned kAfterHaltMs = 10;

bool CoreRunningByStatus() { return (arm7::GetICEReg(arm7::kIceDebugStatus) & arm7::kHaltedMask) == 0; }

// Once the reset line has been pulsed the core runs until it is halted; a connect that
// gets no further must not leave an older, halted state behind.
ResultCode TargetNotReached() {
  SetTargetState(kTargetDown);
  return kTargetNotFound;
}

int EnterDebugState() { return arm7::FastSequences() ? arm7::ArmEnterDebugFast() : arm7::ArmEnterDebug(); }

ResultCode ConnectFromReset() {
  if (arm7::PulseTargetReset() != kOk) return kEmulatorNotFound;
  if (arm7::CheckTargetId() != 0) return TargetNotReached();
  arm7::ResetTapToIdle();
  platform::SleepMilliseconds(kAfterTapResetMs);
  // The reset pulse and the identification keep the exact traffic; the rest may be fast.
  const arm7::FastSequenceScope fastScope;
  if (EnterDebugState() != 0) return TargetNotReached();
  // The target's program starts at address 0 when the host first runs it. Address 0 is
  // the reset vector, ARM code, whatever state the program had reached before the halt.
  (void)arm7::ArmWriteRegister(kPcIndex, 0, arm7::kArmForm);
  arm7::SetArmStateAtEntry(1);
  SetTargetState(kConnected);
  // A reset target starts without the host's watchpoints (after a disconnect that could
  // not halt the core, they are still lent) and without a stop reason.
  ReturnAllUnits();
  ForgetStop();
  (void)SaveRegisters();
  // Registers read through a link that went away are not the core's.
  if (arm7::LinkLost()) return TargetNotReached();
  arm7::ArmPutBackLeftWorkArea();
  return kOk;
}

}  // namespace

ResultCode ConnectTarget() {
  if (ConnectionKind() == kNoCableOpened) return kEmulatorNotFound;
  if (TargetState() == kConnected) return kOk;
  return ConnectFromReset();
}

ResultCode DisconnectTarget() {
  if (TargetState() == kTargetDown) {
    arm7::ForgetTapActive();
    return kAlreadyDown;
  }
  if (CoreRunningByStatus()) {
    if (arm7::ArmEnterDebug() != 0) {
      arm7::ForgetTapActive();
      // The status said the core runs, and it still does.
      if (CoreHalted()) SetTargetState(kRunning);
      return kDisconnectFailed;
    }
    platform::SleepMilliseconds(kAfterHaltMs);
  }
  ReturnAllUnits();
  ForgetStop();
  (void)arm7::ArmRestartFromZero();
  arm7::LeaveTapInReset();
  SetTargetState(kTargetDown);
  return kOk;
}

// Whatever the disconnect managed, the connect starts from the reset line: a disconnect
// that could not halt the core leaves a state that no longer says where the core is.
ResultCode ReconnectTarget() {
  (void)DisconnectTarget();
  if (ConnectionKind() == kNoCableOpened) return kEmulatorNotFound;
  return ConnectFromReset();
}

ResultCode RunTarget(bool interruptsMasked) {
  if (TargetState() == kRunning) return kOk;
  if (!CoreHalted()) return kStatusError;
  if (arm7::FastSequences()) {
    const arm7::FastSequenceScope fastScope;
    (void)arm7::ArmResumeFast(interruptsMasked);
  } else {
    (void)RestoreRegisters();
    (void)arm7::ArmResume(interruptsMasked);
  }
  ForgetStop();
  SetTargetState(kRunning);
  return kOk;
}

ResultCode StopTarget(uint32_t& word) {
  const uint32_t state = TargetState();
  if (state != kHalted && state != kRunning) return kStatusError;
  if (state == kRunning) {
    const arm7::FastSequenceScope fastScope;
    // A core that did not halt still runs, and there are no registers to save.
    if (EnterDebugState() != 0) return kStopFailed;
    SetTargetState(kHalted);
    (void)SaveRegisters();
    if (arm7::LinkLost()) {
      SetTargetState(kRunning);
      return kStopFailed;
    }
    arm7::ArmPutBackLeftWorkArea();
    NoteStop(SavedPc(), arm7::LastEntryRequested());
  }
  word = SavedPc();
  return kOk;
}

ResultCode SetPc(uint32_t address) {
  if (!CoreHalted()) return kStatusError;
  const arm7::FastSequenceScope fastScope;
  (void)arm7::ArmWriteRegister(kPcIndex, address, arm7::kArmForm);
  (void)SaveRegisters();
  return kOk;
}

}  // namespace vantrel::target
