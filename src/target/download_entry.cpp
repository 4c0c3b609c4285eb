#include "target/download_entry.h"

#include "arm7/core_state.h"
#include "arm7/link_check.h"
#include "target/register_cache.h"
#include "target/target_control.h"
#include "target/target_state.h"

namespace vantrel::target {

ResultCode PrepareDownloadedEntry(uint32_t entryAddress, uint32_t keptR0, uint32_t keptR1) {
  const bool halted = CoreHalted();
  arm7::ClearLinkObservations();
  const ResultCode r0 = WriteRegister(kCurrentMode, 0, keptR0);
  const ResultCode r1 = WriteRegister(kCurrentMode, 1, keptR1);
  // ARM state before the registers are read again: the cached CPSR then says so too.
  arm7::SetArmStateAtEntry(1);
  const ResultCode pc = SetPc(entryAddress);
  if (!halted) return kOk;
  if (arm7::LinkLost()) {
    SetTargetState(kTargetDown);
    return kWordTransferFailed;
  }
  if (r0 != kOk) return r0;
  return r1 != kOk ? r1 : pc;
}

}  // namespace vantrel::target
