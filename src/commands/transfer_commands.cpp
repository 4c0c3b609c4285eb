// Transfer commands: download, write and read memory.
#include <array>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "commands/transfer_jobs.h"

namespace vantrel::commands {
namespace {

constexpr std::array kDownloadAnswers{
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
};

constexpr std::array kWriteAnswers{
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kWordTransferFailed, VANTREL_STATUS_FAILED, message::kWriteBusError},
    ResultAnswer{kVerifyFailed, VANTREL_STATUS_FAILED, message::kVerifyFailed},
    ResultAnswer{kNoMemory, VANTREL_STATUS_FAILED, message::kNoMemory},
};

constexpr std::array kReadAnswers{
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kNoMemory, VANTREL_STATUS_FAILED, message::kNoMemory},
    ResultAnswer{kWordTransferFailed, VANTREL_STATUS_FAILED, message::kReadBusError},
};

}  // namespace

void DownloadCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelDownloadArgs& args = request.args.download;
  const ResultCode result =
      StartDownloadJob(commands, args.loadAddress, args.entryAddress, static_cast<const uint8_t*>(args.image),
                       args.length, VerificationFrom(args.verify));
  AnswerResult(response, result, kDownloadAnswers);
}

void WriteMemoryCommandHandler(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelWriteMemoryArgs& args = request.args.writeMemory;
  const ResultCode result = WriteMemoryCommand(commands, args.address, static_cast<const uint8_t*>(args.data),
                                               args.length, args.accessWidth, VerificationFrom(args.verify));
  AnswerResult(response, result, kWriteAnswers);
}

void ReadMemoryCommandHandler(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelReadMemoryArgs& args = request.args.readMemory;
  const ResultCode result = ReadMemoryCommand(commands, args.address, static_cast<uint8_t*>(args.buffer), args.length);
  AnswerResult(response, result, kReadAnswers);
}

}  // namespace vantrel::commands
