// The last steps of a download, after its data: the host's r0 and r1 back and the PC at
// the program's entry, in ARM state.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::target {

class TargetLayerState;

// They are the download's as much as its data: a link lost on the way leaves registers
// read through a dead cable in the cache, so the target is marked down and the result is
// kWordTransferFailed. A core that is not halted (a failed write restarted it) is sent
// nothing and the result is kOk: the data phase already reported that failure.
[[nodiscard]] ResultCode PrepareDownloadedEntry(TargetLayerState& target, uint32_t entryAddress, uint32_t keptR0,
                                                uint32_t keptR1);

}  // namespace vantrel::target
