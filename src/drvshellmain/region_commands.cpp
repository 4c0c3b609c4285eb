// Memory-map commands: declare and list regions.
// Until their operations are in, these answer as an unlisted result does (status 1,
// no message): nothing may answer success that did not happen.
#include "drvshellmain/commands.h"

namespace vantrel::shell {

void AddRegionCommand(const JtagRequest&, JtagResponse&) {}
void ListRegionsCommand(const JtagRequest&, JtagResponse&) {}

}  // namespace vantrel::shell
