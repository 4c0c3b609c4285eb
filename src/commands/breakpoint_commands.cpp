// Breakpoints: set the hardware breakpoint, set and clear software breakpoints.
#include <array>
#include <span>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "target/breakpoints.h"
#include "target/watchpoint_units.h"

namespace vantrel::commands {
namespace {

constexpr std::array kSetAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kBreakInWriteOnly, VANTREL_STATUS_WARNING, message::kWriteOnlyArea},
    ResultAnswer{kBreakpointNotHeld, VANTREL_STATUS_FAILED, message::kBreakpointNotHeld},
    ResultAnswer{kNoWatchpointUnitFree, VANTREL_STATUS_FAILED, message::kNoWatchpointUnitFree},
};

constexpr std::array kClearAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kWordTransferFailed, VANTREL_STATUS_FAILED, message::kWriteBusError},
};

// A breakpoint's memory access that failed answers as the read or write command would.
constexpr std::array kReadFailureAnswers{
    ResultAnswer{kNoMemory, VANTREL_STATUS_FAILED, message::kNoMemory},
    ResultAnswer{kWordTransferFailed, VANTREL_STATUS_FAILED, message::kReadBusError},
};

constexpr std::array kWriteFailureAnswers{
    ResultAnswer{kWordTransferFailed, VANTREL_STATUS_FAILED, message::kWriteBusError},
};

std::span<const ResultAnswer> SetAnswersFor(target::BreakpointAccess failedAccess) {
  switch (failedAccess) {
    case target::BreakpointAccess::kRead: return kReadFailureAnswers;
    case target::BreakpointAccess::kWrite: return kWriteFailureAnswers;
    case target::BreakpointAccess::kNone: break;
  }
  return kSetAnswers;
}

}  // namespace

void SetHardwareBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const ResultCode result =
      target::SetBreakpoint(commands.target, request.args.breakpoint.address, target::kHardwareBreakpoint, 0, nullptr);
  AnswerResult(response, result, kSetAnswers);
}

void SetSoftwareBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  uint8_t displaced[4] = {};
  target::BreakpointAccess failedAccess = target::BreakpointAccess::kNone;
  const ResultCode result =
      target::SetBreakpoint(commands.target, request.args.breakpoint.address, target::kSoftwareBreakpoint,
                            target::kSoftwareBreakpointPattern, displaced, &failedAccess);
  if (result == kOk) {
    AnswerBytes(response, displaced, sizeof displaced);
    return;
  }
  AnswerResult(response, result, SetAnswersFor(failedAccess));
}

void ClearBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelClearBreakArgs& args = request.args.clearBreak;
  const bool hardware = args.hardware == 1;
  const ResultCode result = hardware ? target::ClearBreakpoint(commands.target, 0, nullptr, target::kHardwareBreakpoint)
                                     : target::ClearBreakpoint(commands.target, args.address, args.displacedWord,
                                                               target::kSoftwareBreakpoint);
  AnswerResult(response, result, kClearAnswers);
}

}  // namespace vantrel::commands
