// What the host does around a halt and a run: name the PC, and step a run off a
// software breakpoint that the core is sitting on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::cli {

class Session;

// One register by name (command 66 with a list); empty, printing nothing, when refused.
std::optional<uint32_t> ReadRegisterQuietly(Session& session, const std::string& name);

// Prints "stopped at 0x00008124  checksum  (software breakpoint)" after a halt, and
// puts back the breakpoints lifted for the run that just ended.
void ReportHalt(Session& session, const char* verb);

// Before a run: a software breakpoint under the saved PC would stop the core at once,
// so it is taken out for this run and put back at the next halt.
bool LiftBreakpointUnderPc(Session& session);
void PutBackLiftedBreakpoints(Session& session);

// Before a disconnect: breakpoints out of memory while the core is still halted.
void TakeOutBreakpointsBeforeDisconnect(Session& session);

}  // namespace vantrel::cli

namespace vantrel::cli {

struct Image;

// After a download: software breakpoints inside the image were overwritten by it, so
// they are set again over the new code.
void RearmBreakpointsInImage(Session& session, const Image& image);

}  // namespace vantrel::cli
