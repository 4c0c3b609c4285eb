#include "commands/job_result.h"

#include "commands/command_state.h"

namespace vantrel::commands {

JobResult LastJobResult(const CommandState& commands) { return commands.lastJobResult.load(); }
void StoreLastJobResult(CommandState& commands, JobResult result) { commands.lastJobResult.store(result); }

}  // namespace vantrel::commands
