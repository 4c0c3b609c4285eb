// What the C API reads or resets outside the commands: the core's status word and the
// progress of the background transfer.
#pragma once

#include <cstdint>

namespace vantrel::commands {

struct CommandState;

uint32_t CoreStatusWord(CommandState& commands);
int32_t TransferPercent(CommandState& commands);
void RequestTransferStop(CommandState& commands);
void ResetTransferProgress(CommandState& commands);

}  // namespace vantrel::commands
