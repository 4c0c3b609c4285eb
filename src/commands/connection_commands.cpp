// Open, connect, disconnect, run, stop and reconnect.
#include <array>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "target/cable_link.h"
#include "target/core_status.h"
#include "target/memory_map.h"
#include "target/target_control.h"
#include "target/target_state.h"

namespace vantrel::commands {
namespace {

constexpr std::array kOpenAnswers{
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kEmulatorNotFound, VANTREL_STATUS_FAILED, message::kEmulatorNotFound},
    ResultAnswer{kNoPortAccess, VANTREL_STATUS_FAILED, message::kLptDriverFailed},
};

constexpr std::array kConnectAnswers{
    ResultAnswer{kTargetNotFound, VANTREL_STATUS_FAILED, message::kTargetNotFound},
    ResultAnswer{kEmulatorNotFound, VANTREL_STATUS_FAILED, message::kEmulatorNotFound},
};

constexpr std::array kDisconnectAnswers{
    ResultAnswer{kAlreadyDown, VANTREL_STATUS_WARNING, message::kAlreadyDown},
    ResultAnswer{kHaltFailed, VANTREL_STATUS_WARNING, message::kSysDownFailed},
};

constexpr std::array kRunAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
};

constexpr std::array kStopAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kHaltFailed, VANTREL_STATUS_FAILED, message::kStopFailed},
};

}  // namespace

void OpenCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  // A name without terminator stays empty, which names no port; the open still runs, so
  // the simulator kind is refused as such whatever its port field holds.
  std::string_view portName;
  if (!ReadTextField(request.args.open.portName, portName)) portName = {};
  const char* kindName = request.kind == VANTREL_KIND_CABLE ? "LPT" : "KORVIX";
  AnswerResult(response, target::OpenEmulator(commands.target, kindName, portName), kOpenAnswers);
}

void ConnectCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  // Stored before the connect, whatever its outcome.
  target::SetTargetBigEndian(commands.target, request.args.connect.bigEndian == 1);
  const ResultCode result = target::ConnectTarget(commands.target);
  if (result == kOk) target::ClearMemoryMap(commands.target);
  AnswerResult(response, result, kConnectAnswers);
}

void DisconnectCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  const ResultCode result = target::DisconnectTarget(commands.target);
  target::ReleaseCable(commands.target);  // also when the target was down already or did not halt
  AnswerResult(response, result, kDisconnectAnswers);
}

void RunCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  AnswerResult(response, target::RunTarget(commands.target), kRunAnswers);
}

void RunMaskedCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  AnswerResult(response, target::RunTarget(commands.target, true), kRunAnswers);
}

void StopCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  uint32_t savedPc = 0;
  const ResultCode result = target::StopTarget(commands.target, savedPc);
  if (result != kOk) {
    AnswerResult(response, result, kStopAnswers);
    return;
  }
  const std::array<unsigned char, 4> word{static_cast<unsigned char>(savedPc), static_cast<unsigned char>(savedPc >> 8),
                                          static_cast<unsigned char>(savedPc >> 16),
                                          static_cast<unsigned char>(savedPc >> 24)};
  AnswerBytes(response, word.data(), word.size());
}

// The memory map and the byte order of the last connect stay as they are.
void ReconnectCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  AnswerResult(response, target::ReconnectTarget(commands.target), kConnectAnswers);
}

}  // namespace vantrel::commands
