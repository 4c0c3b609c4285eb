// Commands whose operations are not in yet. They answer as an unlisted result does
// (status 1, no message): nothing may answer success that did not happen.
#include "drvshellmain/commands.h"

namespace vantrel::shell {

void SetHardwareBreakCommand(const JtagRequest&, JtagResponse&) {}
void SetSoftwareBreakCommand(const JtagRequest&, JtagResponse&) {}
void ClearBreakCommand(const JtagRequest&, JtagResponse&) {}
void WriteRegisterCommand(const JtagRequest&, JtagResponse&) {}
void ReadRegistersCommand(const JtagRequest&, JtagResponse&) {}
void ReadIceCommand(const JtagRequest&, JtagResponse&) {}
void DownloadCommand(const JtagRequest&, JtagResponse&) {}
void WriteMemoryCommandHandler(const JtagRequest&, JtagResponse&) {}
void ReadMemoryCommandHandler(const JtagRequest&, JtagResponse&) {}
void AddRegionCommand(const JtagRequest&, JtagResponse&) {}
void ListRegionsCommand(const JtagRequest&, JtagResponse&) {}

}  // namespace vantrel::shell
