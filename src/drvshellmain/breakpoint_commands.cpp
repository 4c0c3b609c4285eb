// Breakpoints: set the hardware breakpoint, set and clear software breakpoints.
// Until their operations are in, these answer as an unlisted result does (status 1,
// no message): nothing may answer success that did not happen.
#include "drvshellmain/commands.h"

namespace vantrel::shell {

void SetHardwareBreakCommand(const JtagRequest&, JtagResponse&) {}
void SetSoftwareBreakCommand(const JtagRequest&, JtagResponse&) {}
void ClearBreakCommand(const JtagRequest&, JtagResponse&) {}

}  // namespace vantrel::shell
