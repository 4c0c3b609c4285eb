// The EmbeddedICE register dump (command 67).
#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "target/core_status.h"

namespace vantrel::commands {

void ReadIceCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  target::IceDump dump{};
  // The dump read through a lost link fails as a memory read through it does.
  if (target::ReadIceDump(commands.target, dump) != kOk) {
    AnswerText(response, VANTREL_STATUS_FAILED, message::kReadBusError);
    return;
  }
  unsigned char bytes[4 * target::kIceDumpWords];
  for (int i = 0; i < target::kIceDumpWords; ++i) {
    for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<unsigned char>(dump.words[i] >> (8 * b));
  }
  AnswerBytes(response, bytes, sizeof bytes);
}

}  // namespace vantrel::commands
