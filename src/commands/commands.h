// The operations behind each command code. Each one fills the response that the
// dispatcher has prepared (status 1, no message, echo already set).
#pragma once

#include "vantrel.h"

namespace vantrel::commands {

using CommandHandler = void (*)(const JtagRequest& request, JtagResponse& response);

// Connection (open, connect, disconnect, run, stop, reconnect).
void OpenCommand(const JtagRequest& request, JtagResponse& response);
void ConnectCommand(const JtagRequest& request, JtagResponse& response);
void DisconnectCommand(const JtagRequest& request, JtagResponse& response);
void RunCommand(const JtagRequest& request, JtagResponse& response);
void StopCommand(const JtagRequest& request, JtagResponse& response);
void RunMaskedCommand(const JtagRequest& request, JtagResponse& response);
void ReconnectCommand(const JtagRequest& request, JtagResponse& response);

// Breakpoints.
void SetHardwareBreakCommand(const JtagRequest& request, JtagResponse& response);
void SetSoftwareBreakCommand(const JtagRequest& request, JtagResponse& response);
void ClearBreakCommand(const JtagRequest& request, JtagResponse& response);

// The watchpoint units lent to the host, and the stop reason.
void SetWatchpointCommand(const JtagRequest& request, JtagResponse& response);
void SetUnitBreakCommand(const JtagRequest& request, JtagResponse& response);
void ClearUnitCommand(const JtagRequest& request, JtagResponse& response);
void GetStopReasonCommand(const JtagRequest& request, JtagResponse& response);

// Registers.
void WriteRegisterCommand(const JtagRequest& request, JtagResponse& response);
void ReadRegistersCommand(const JtagRequest& request, JtagResponse& response);

// EmbeddedICE dump.
void ReadIceCommand(const JtagRequest& request, JtagResponse& response);

// Transfers.
void DownloadCommand(const JtagRequest& request, JtagResponse& response);
void WriteMemoryCommandHandler(const JtagRequest& request, JtagResponse& response);
void ReadMemoryCommandHandler(const JtagRequest& request, JtagResponse& response);

// Memory map.
void AddRegionCommand(const JtagRequest& request, JtagResponse& response);
void ListRegionsCommand(const JtagRequest& request, JtagResponse& response);

}  // namespace vantrel::commands
