#include "commands/job_result.h"

#include "commands/command_state.h"

namespace vantrel::commands {

JobResult LastJobResult() { return CommandLayer().lastJobResult.load(); }
void StoreLastJobResult(JobResult result) { CommandLayer().lastJobResult.store(result); }

}  // namespace vantrel::commands
