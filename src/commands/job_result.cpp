#include "commands/job_result.h"

#include "commands/command_state.h"

namespace vantrel::shell {

int32_t LastJobResult() { return CommandLayer().lastJobResult.load(); }
void StoreLastJobResult(int32_t result) { CommandLayer().lastJobResult.store(result); }

}  // namespace vantrel::shell
