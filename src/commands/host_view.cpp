#include "commands/host_view.h"

#include "commands/command_state.h"
#include "target/core_status.h"

namespace vantrel::commands {

uint32_t CoreStatusWord(CommandState& commands) { return target::CoreStatusWord(commands.target); }
int32_t TransferPercent(CommandState& commands) { return target::TransferPercent(commands.target); }
void RequestTransferStop(CommandState& commands) { target::RequestTransferStop(commands.target); }
void ResetTransferProgress(CommandState& commands) { target::ResetTransferProgress(commands.target); }

}  // namespace vantrel::commands
