#include "target/target_control.h"

#include "arm7/core_state.h"
#include "arm7/debug_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "arm7/register_access.h"
#include "cable/tap.h"
#include "platform/platform.h"
#include "target/register_cache.h"

namespace vantrel::target {
namespace {

constexpr unsigned kAfterTapResetMs = 1;
constexpr unsigned kAfterHaltMs = 10;

bool CoreRunningByStatus() {
  return (arm7::GetICEReg(arm7::kIceDebugStatus) & arm7::kHaltedMask) == 0;
}

}  // namespace

ResultCode ConnectTarget() {
  if (ConnectionKind() == kNoCableOpened) return kEmulatorNotFound;
  if (TargetState() == kConnected) return kOk;
  if (cable::PulseCableReset() != 0) return kEmulatorNotFound;
  if (arm7::CheckTargetId() != 0) return kTargetNotFound;
  cable::TapReset(1);
  platform::SleepMilliseconds(kAfterTapResetMs);
  if (arm7::ArmEnterDebug() != 0) return kTargetNotFound;
  // The target's program starts at address 0 when the host first runs it. Address 0 is
  // the reset vector, ARM code, whatever state the program had reached before the halt.
  (void)arm7::ArmWriteRegister(kPcIndex, 0, arm7::kArmForm);
  arm7::SetArmStateAtEntry(1);
  SetTargetState(kConnected);
  (void)SaveRegisters();
  return kOk;
}

ResultCode DisconnectTarget() {
  if (TargetState() == kTargetDown) {
    cable::SetTapActive(0);
    return kAlreadyDown;
  }
  if (CoreRunningByStatus()) {
    if (arm7::ArmEnterDebug() != 0) {
      cable::SetTapActive(0);
      return kDisconnectFailed;
    }
    platform::SleepMilliseconds(kAfterHaltMs);
  }
  (void)arm7::ArmRestartFromZero();
  cable::TapReset(0);
  SetTargetState(kTargetDown);
  return kOk;
}

ResultCode ReconnectTarget() {
  (void)DisconnectTarget();
  return ConnectTarget();
}

ResultCode RunTarget() {
  if (TargetState() == kRunning) return kOk;
  if (!CoreHalted()) return kStatusError;
  (void)RestoreRegisters();
  (void)arm7::ArmResume();
  SetTargetState(kRunning);
  return kOk;
}

ResultCode StopTarget(uint32_t& word) {
  const uint32_t state = TargetState();
  if (state != kHalted && state != kRunning) return kStatusError;
  int entered = 0;
  if (state == kRunning) {
    entered = arm7::ArmEnterDebug();
    // The cache is filled whatever the halt gave, so that the host can look at it.
    SetTargetState(kHalted);
    (void)SaveRegisters();
  }
  word = SavedPc();
  return entered != 0 ? kStopFailed : kOk;
}

ResultCode SetPc(uint32_t address) {
  if (!CoreHalted()) return kStatusError;
  (void)arm7::ArmWriteRegister(kPcIndex, address, arm7::kArmForm);
  (void)SaveRegisters();
  return kOk;
}

}  // namespace vantrel::target
