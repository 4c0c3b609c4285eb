// The operations behind each command code. Each one fills the response that the
// dispatcher has prepared (status 1, no message, echo already set), working on the
// command state the dispatcher passes it.
#pragma once

#include "vantrel.h"

namespace vantrel::commands {

struct CommandState;

using CommandHandler = void (*)(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// Connection (open, connect, disconnect, run, stop, reconnect).
void OpenCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ConnectCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void DisconnectCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void RunCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void StopCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void RunMaskedCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ReconnectCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// Breakpoints.
void SetHardwareBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void SetSoftwareBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ClearBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// The watchpoint units lent to the host, and the stop reason.
void SetWatchpointCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void SetUnitBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ClearUnitCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void GetStopReasonCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// Registers.
void WriteRegisterCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ReadRegistersCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// EmbeddedICE dump.
void ReadIceCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// Transfers.
void DownloadCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void WriteMemoryCommandHandler(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ReadMemoryCommandHandler(CommandState& commands, const JtagRequest& request, JtagResponse& response);

// Memory map.
void AddRegionCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);
void ListRegionsCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response);

}  // namespace vantrel::commands
