// What the host reads of the core outside a command's own work, and what it states
// about the target before connecting: the status word, the EmbeddedICE register dump,
// the target's byte order and the progress of a memory transfer.
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "core/watchpoint_unit.h"

namespace vantrel::target {

class TargetLayerState;

// The core's status bits (bit 0 in debug state, bit 4 Thumb) with TargetState from bit 8.
uint32_t CoreStatusWord(TargetLayerState& target);

using core::IceDump;
using core::kIceDumpWords;
// 0, or non-zero when the reads went through a link that was lost.
[[nodiscard]] ResultCode ReadIceDump(TargetLayerState& target, IceDump& dump);

// Memory words of a big-endian target have their bytes reversed; registers never do.
void SetTargetBigEndian(TargetLayerState& target, bool bigEndian);

// The running or last transfer's percentage, the host's stop, and both back to 0.
int32_t TransferPercent(TargetLayerState& target);
void RequestTransferStop(TargetLayerState& target);
void ResetTransferProgress(TargetLayerState& target);

}  // namespace vantrel::target
