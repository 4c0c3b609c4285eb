#include "target/core_status.h"

#include "target/active_core.h"
#include "target/target_state.h"

namespace vantrel::target {

uint32_t CoreStatusWord() { return ActiveCore().StatusWord(TargetState()); }

ResultCode ReadIceDump(IceDump& dump) { return ActiveCore().ReadIceRegisters(dump); }

void SetTargetBigEndian(bool bigEndian) { ActiveCore().SetBigEndianTarget(bigEndian); }

int32_t TransferPercent() { return ActiveCore().Progress().Percent(); }
void RequestTransferStop() { ActiveCore().Progress().RequestBreak(); }
void ResetTransferProgress() { ActiveCore().Progress().Reset(); }

}  // namespace vantrel::target
