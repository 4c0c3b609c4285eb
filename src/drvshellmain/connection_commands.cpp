// Open, connect, disconnect, run, stop and reconnect.
#include <array>

#include "drvshellmain/answer.h"
#include "drvshellmain/commands.h"
#include "target/target_state.h"

namespace vantrel::shell {
namespace {

constexpr std::array kOpenAnswers{
    ResultAnswer{kInvalidParameters, VANTREL_STATUS_FAILED, message::kInvalidParameters},
    ResultAnswer{kEmulatorNotFound, VANTREL_STATUS_FAILED, message::kEmulatorNotFound},
    ResultAnswer{kNoPortAccess, VANTREL_STATUS_FAILED, message::kLptDriverFailed},
};

}  // namespace

void OpenCommand(const JtagRequest& request, JtagResponse& response) {
  std::string_view portName;
  if (!ReadTextField(request.args.open.portName, portName)) {
    AnswerText(response, VANTREL_STATUS_FAILED, message::kInvalidParameters);
    return;
  }
  const char* kindName = request.kind == VANTREL_KIND_CABLE ? "LPT" : "KORVIX";
  AnswerResult(response, target::OpenEmulator(kindName, portName), kOpenAnswers);
}

// Until the target control operations are in, these answer as an unlisted result does.
void ConnectCommand(const JtagRequest&, JtagResponse&) {}
void DisconnectCommand(const JtagRequest&, JtagResponse&) {}
void RunCommand(const JtagRequest&, JtagResponse&) {}
void StopCommand(const JtagRequest&, JtagResponse&) {}
void ReconnectCommand(const JtagRequest&, JtagResponse&) {}

}  // namespace vantrel::shell
