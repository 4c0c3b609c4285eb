#include "target/download_entry.h"

#include "target/register_cache.h"
#include "target/target_control.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"

namespace vantrel::target {

ResultCode PrepareDownloadedEntry(TargetLayerState& target, uint32_t entryAddress, uint32_t keptR0, uint32_t keptR1) {
  const bool halted = CoreHalted(target);
  target.Core().ClearLinkObservations();
  const ResultCode r0 = WriteRegister(target, kCurrentMode, 0, keptR0);
  const ResultCode r1 = WriteRegister(target, kCurrentMode, 1, keptR1);
  // ARM state before the registers are read again: the cached CPSR then says so too.
  target.Core().SetArmStateAtEntry(true);
  const ResultCode pc = SetPc(target, entryAddress);
  if (!halted) return kOk;
  if (target.Core().LinkLost()) {
    SetTargetState(target, kTargetDown);
    return kWordTransferFailed;
  }
  if (r0 != kOk) return r0;
  return r1 != kOk ? r1 : pc;
}

}  // namespace vantrel::target
