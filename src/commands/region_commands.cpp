// Memory-map commands: declare and list regions.
#include <cstring>
#include <string_view>

#include "commands/answer.h"
#include "commands/command_state.h"
#include "commands/commands.h"
#include "target/memory_map.h"

namespace vantrel::commands {

void AddRegionCommand(CommandState& commands, const JtagRequest& request, JtagResponse& response) {
  target::MemoryRegion region;
  static_assert(sizeof region == sizeof request.args.addRegion);
  std::memcpy(&region, &request.args.addRegion, sizeof region);
  switch (target::AddMemoryRegion(commands.target, region)) {
    case target::AddRegionOutcome::kAdded: response.status = VANTREL_STATUS_OK; return;
    case target::AddRegionOutcome::kOverlap: AnswerText(response, VANTREL_STATUS_FAILED, message::kOverlap); return;
    case target::AddRegionOutcome::kMapFull:
      AnswerText(response, VANTREL_STATUS_FAILED, message::kTooManyRegions);
      return;
  }
}

// The terminator is counted in the answer's length, so the text gets one byte less than
// the data area; a longer listing ends after the last whole row that fits.
void ListRegionsCommand(CommandState& commands, const JtagRequest&, JtagResponse& response) {
  char text[sizeof response.data - 1];
  const std::size_t length = target::ListMemoryRegions(commands.target, text);
  AnswerText(response, VANTREL_STATUS_OK, std::string_view(text, length));
}

}  // namespace vantrel::commands
