// Register commands: registers written and read by name.
// Until their operations are in, these answer as an unlisted result does (status 1,
// no message): nothing may answer success that did not happen.
#include "drvshellmain/commands.h"

namespace vantrel::shell {

void WriteRegisterCommand(const JtagRequest&, JtagResponse&) {}
void ReadRegistersCommand(const JtagRequest&, JtagResponse&) {}

}  // namespace vantrel::shell
