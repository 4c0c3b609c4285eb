// DispatchCommand: decodes one request, calls exactly one operation and forms the
// answer, in the session's command state. Runs with the entry mutex held and the job gate
// open.
#pragma once

#include "vantrel.h"

namespace vantrel::commands {

struct CommandState;

// A null response: nothing happens. A null request: "invalid parameters are used".
void DispatchCommand(CommandState& commands, const JtagRequest* request, JtagResponse* response);

}  // namespace vantrel::commands
