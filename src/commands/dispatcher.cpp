#include "commands/dispatcher.h"

#include <array>

#include "commands/answer.h"
#include "commands/commands.h"

namespace vantrel::commands {
namespace {

constexpr char kDriverName[] = "Vantrel";
constexpr char kDriverVersion[] = "V1.2";

void GetNameCommand(CommandState& /*commands*/, const JtagRequest&, JtagResponse& response) {
  AnswerText(response, VANTREL_STATUS_OK, kDriverName);
}

void GetVersionCommand(CommandState& /*commands*/, const JtagRequest&, JtagResponse& response) {
  AnswerText(response, VANTREL_STATUS_OK, kDriverVersion);
}

struct Command {
  int32_t code;
  int32_t echo;  // 0: the command does not echo
  CommandHandler handler;
};

constexpr std::array kCommands{
    Command{VANTREL_CMD_GET_NAME, VANTREL_CMD_GET_NAME, &GetNameCommand},
    Command{VANTREL_CMD_GET_VERSION, 0, &GetVersionCommand},
    Command{VANTREL_CMD_OPEN, VANTREL_CMD_OPEN, &OpenCommand},
    Command{VANTREL_CMD_CONNECT, 0, &ConnectCommand},
    Command{VANTREL_CMD_DISCONNECT, 0, &DisconnectCommand},
    Command{VANTREL_CMD_DOWNLOAD, VANTREL_CMD_DOWNLOAD, &DownloadCommand},
    Command{VANTREL_CMD_RUN, 0, &RunCommand},
    Command{VANTREL_CMD_STOP, 0, &StopCommand},
    Command{VANTREL_CMD_RECONNECT, VANTREL_CMD_RECONNECT, &ReconnectCommand},
    Command{VANTREL_CMD_SET_HARDWARE_BREAK, VANTREL_CMD_SET_HARDWARE_BREAK, &SetHardwareBreakCommand},
    Command{VANTREL_CMD_SET_SOFTWARE_BREAK, 0, &SetSoftwareBreakCommand},
    Command{VANTREL_CMD_CLEAR_BREAK, 0, &ClearBreakCommand},
    Command{VANTREL_CMD_SET_WATCHPOINT, 0, &SetWatchpointCommand},
    Command{VANTREL_CMD_SET_UNIT_BREAK, 0, &SetUnitBreakCommand},
    Command{VANTREL_CMD_CLEAR_UNIT, 0, &ClearUnitCommand},
    Command{VANTREL_CMD_GET_STOP_REASON, 0, &GetStopReasonCommand},
    Command{VANTREL_CMD_RUN_MASKED, 0, &RunMaskedCommand},
    Command{VANTREL_CMD_WRITE_REGISTER, VANTREL_CMD_WRITE_REGISTER, &WriteRegisterCommand},
    Command{VANTREL_CMD_READ_REGISTERS, VANTREL_CMD_READ_REGISTERS, &ReadRegistersCommand},
    Command{VANTREL_CMD_READ_ICE, VANTREL_CMD_READ_ICE, &ReadIceCommand},
    Command{VANTREL_CMD_WRITE_MEMORY, VANTREL_CMD_WRITE_MEMORY, &WriteMemoryCommandHandler},
    Command{VANTREL_CMD_READ_MEMORY, VANTREL_CMD_READ_MEMORY, &ReadMemoryCommandHandler},
    Command{VANTREL_CMD_WRITE_MEMORY2, VANTREL_CMD_WRITE_MEMORY, &WriteMemoryCommandHandler},
    Command{VANTREL_CMD_READ_MEMORY2, VANTREL_CMD_READ_MEMORY, &ReadMemoryCommandHandler},
    Command{VANTREL_CMD_ADD_REGION, 0, &AddRegionCommand},
    Command{VANTREL_CMD_LIST_REGIONS, 0, &ListRegionsCommand},
};

const Command* FindCommand(int32_t code) {
  for (const Command& command : kCommands) {
    if (command.code == code) return &command;
  }
  return nullptr;
}

bool ServesEveryCommand(int32_t kind) { return kind == VANTREL_KIND_CABLE || kind == VANTREL_KIND_SIMULATOR; }

}  // namespace

void DispatchCommand(CommandState& commands, const JtagRequest* request, JtagResponse* response) {
  if (response == nullptr) return;
  PrepareResponse(*response);
  if (request == nullptr) {
    AnswerText(*response, VANTREL_STATUS_FAILED, message::kInvalidParameters);
    return;
  }
  const Command* command = FindCommand(request->code);
  if (!ServesEveryCommand(request->kind)) {
    // Any other kind is served only for the name and the version.
    const bool identification = request->code == VANTREL_CMD_GET_NAME || request->code == VANTREL_CMD_GET_VERSION;
    if (!identification) return;
  }
  if (command == nullptr) {
    AnswerText(*response, VANTREL_STATUS_FAILED, message::kInvalidParameters);
    return;
  }
  response->echo = command->echo;
  command->handler(commands, *request, *response);
}

}  // namespace vantrel::commands
