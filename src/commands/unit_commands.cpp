// The watchpoint units lent to the host: data watchpoints, further hardware breakpoints,
// and why the core stopped.
#include <array>
#include <cstdint>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::commands {
namespace {

constexpr std::array kUnitAnswers{
    ResultAnswer{kStatusError, VANTREL_STATUS_FAILED, message::kStatusError},
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kNoWatchpointUnitFree, VANTREL_STATUS_FAILED, message::kNoWatchpointUnitFree},
};

bool KnownPlacement(int32_t placement) {
  return placement == VANTREL_PLACE_ANY || placement == VANTREL_PLACE_UNIT0 || placement == VANTREL_PLACE_UNIT1;
}

void AnswerUnit(JtagResponse& response, ResultCode result, int unit) {
  if (result != kOk) {
    AnswerResult(response, result, kUnitAnswers);
    return;
  }
  const auto word = static_cast<int32_t>(unit);
  AnswerBytes(response, &word, sizeof word);
}

}  // namespace

void SetWatchpointCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelWatchpointArgs& args = request.args.watchpoint;
  if (args.access < VANTREL_WATCH_READ || args.access > VANTREL_WATCH_ACCESS || args.size < 0 ||
      !KnownPlacement(args.placement)) {
    AnswerResult(response, kInvalidParameters, kUnitAnswers);
    return;
  }
  target::WatchRequest watch;
  watch.address = args.address;
  watch.addressIgnored = args.ignoredBits;
  watch.size = static_cast<uint32_t>(args.size);
  watch.access = static_cast<target::WatchAccess>(args.access);
  int unit = target::kNoUnit;
  const ResultCode result =
      target::SetDataWatch(commands.target, watch, static_cast<target::Placement>(args.placement), &unit);
  AnswerUnit(response, result, unit);
}

void SetUnitBreakCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  const VantrelUnitBreakArgs& args = request.args.unitBreak;
  if (!KnownPlacement(args.placement)) {
    AnswerResult(response, kInvalidParameters, kUnitAnswers);
    return;
  }
  int unit = target::kNoUnit;
  const ResultCode result =
      target::SetFetchBreak(commands.target, args.address, static_cast<target::Placement>(args.placement), &unit);
  AnswerUnit(response, result, unit);
}

void ClearUnitCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  AnswerResult(response, target::ClearUnit(commands.target, request.args.unit.unit), kUnitAnswers);
}

void GetStopReasonCommand(CommandState& commands, const JtagRequest& /*request*/, JtagResponse& response) {
  const target::StopReport stop = target::LastStop(commands.target);
  VantrelStopReason reason{};
  reason.reason = static_cast<int32_t>(stop.cause);
  reason.unit = stop.unit;
  reason.units = stop.candidates;
  reason.address = stop.address;
  reason.access = static_cast<int32_t>(stop.access);
  AnswerBytes(response, &reason, sizeof reason);
}

}  // namespace vantrel::commands
