// DispatchCommand: decodes one request, calls exactly one operation and forms the
// answer. Runs with the entry mutex held and the job gate open.
#pragma once

#include "vantrel.h"

namespace vantrel::commands {

// A null response: nothing happens. A null request: "invalid parameters are used".
void DispatchCommand(const JtagRequest* request, JtagResponse* response);

}  // namespace vantrel::commands
