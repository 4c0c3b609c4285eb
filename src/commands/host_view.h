// What the C API reads or resets outside the commands: the core's status word and the
// progress of the background transfer.
#pragma once

#include <cstdint>

namespace vantrel::commands {

uint32_t CoreStatusWord();
int32_t TransferPercent();
void RequestTransferStop();
void ResetTransferProgress();

}  // namespace vantrel::commands
