#include "target/core_status.h"

#include "target/target_layer_state.h"
#include "target/target_state.h"

namespace vantrel::target {

uint32_t CoreStatusWord(TargetLayerState& target) { return target.Core().StatusWord(TargetState(target)); }

ResultCode ReadIceDump(TargetLayerState& target, IceDump& dump) { return target.Core().ReadIceRegisters(dump); }

void SetTargetBigEndian(TargetLayerState& target, bool bigEndian) { target.Core().SetBigEndianTarget(bigEndian); }

int32_t TransferPercent(TargetLayerState& target) { return target.Core().Progress().Percent(); }
void RequestTransferStop(TargetLayerState& target) { target.Core().Progress().RequestBreak(); }
void ResetTransferProgress(TargetLayerState& target) { target.Core().Progress().Reset(); }

}  // namespace vantrel::target
