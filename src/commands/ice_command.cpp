// The EmbeddedICE register dump (command 67).
#include "arm7/embedded_ice.h"
#include "commands/answer.h"
#include "commands/commands.h"

namespace vantrel::shell {

void ReadIceCommand(const JtagRequest&, JtagResponse& response) {
  arm7::IceDump dump{};
  // The dump read through a lost link fails as a memory read through it does.
  if (arm7::ReadIceRegisters(dump) != kOk) {
    AnswerText(response, VANTREL_STATUS_FAILED, message::kReadBusError);
    return;
  }
  unsigned char bytes[4 * arm7::kIceDumpWords];
  for (int i = 0; i < arm7::kIceDumpWords; ++i) {
    for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<unsigned char>(dump.words[i] >> (8 * b));
  }
  AnswerBytes(response, bytes, sizeof bytes);
}

}  // namespace vantrel::shell
