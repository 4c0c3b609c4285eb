// break, delete and breaks. The library keeps no list of breakpoints: the host
// remembers each software breakpoint's displaced word and gives it back to clear it.
#include <cstdio>
#include <string>

#include "commands.h"
#include "halt_report.h"
#include "image.h"
#include "numbers.h"
#include "session.h"
#include "target_status.h"
#include "watch_units.h"

namespace vantrel::cli {

namespace {

// "  (write watchpoint 0x00031000  results+0x8)" when a data watchpoint stopped the core.
std::string WatchpointReason(Session& session) {
  const auto stop = client::GetStopReason(session.library());
  if (!stop || stop->reason != VANTREL_STOP_WATCHPOINT) return "";
  std::string reason = "  (";
  reason += client::WatchKindName(stop->access);
  reason += " watchpoint ";
  reason += session.Describe(stop->address);
  reason += ")";
  return reason;
}

bool RemoveHardware(Session& session) {
  if (!session.Check(client::ClearHardwareBreak(session.library()))) return false;
  session.hardwareBreakpoint().reset();
  return true;
}

bool DeleteSoftware(Session& session, uint32_t address) {
  client::SoftwareBreakpoints& software = session.softwareBreakpoints();
  if (!software.Contains(address)) return session.Fail("no software breakpoint at " + Hex32(address));
  if (!software.Remove(address)) return false;
  std::printf("deleted   %s\n", session.Describe(address).c_str());
  return true;
}

bool DeleteAll(Session& session) {
  bool ok = true;
  while (ok && !session.softwareBreakpoints().Empty())
    ok = DeleteSoftware(session, session.softwareBreakpoints().All().begin()->first);
  if (ok && session.hardwareBreakpoint()) {
    ok = RemoveHardware(session);
    if (ok) std::printf("deleted   hardware breakpoint\n");
  }
  return ok;
}

}  // namespace

void ReportHalt(Session& session, const char* verb) {
  PutBackLiftedBreakpoints(session);
  const auto pc = ReadRegisterQuietly(session, "pc");
  if (!pc) {
    std::printf("%s\n", verb);
    return;
  }
  std::string reason;
  if (session.softwareBreakpoints().Contains(*pc)) reason = "  (software breakpoint)";
  else if (session.hardwareBreakpoint() == *pc) reason = "  (hardware breakpoint)";
  else reason = WatchpointReason(session);
  std::printf("%s at %s%s\n", verb, session.Describe(*pc).c_str(), reason.c_str());
}

bool LiftBreakpointUnderPc(Session& session) {
  const auto pc = ReadRegisterQuietly(session, "pc");
  if (!pc) return true;  // not halted: the run command answers for itself
  return session.softwareBreakpoints().Lift(*pc);
}

void PutBackLiftedBreakpoints(Session& session) { session.softwareBreakpoints().PutBackLifted(); }

void TakeOutBreakpointsBeforeDisconnect(Session& session) {
  session.watchpoints().clear();  // the library gives their units back as it disconnects
  if (session.softwareBreakpoints().Empty() && !session.hardwareBreakpoint()) return;
  const bool halted = client::ReadTargetStatus(session.library()).Halted();
  // The core runs on from address 0 without its debug logic: a breakpoint pattern left
  // in memory would be executed as an instruction.
  if (!halted || !DeleteAll(session)) session.Warn("breakpoints may stay in target memory; the host forgets them");
  session.softwareBreakpoints().Forget();
  session.hardwareBreakpoint().reset();
}

bool RunBreak(Session& session, Arguments& arguments) {
  const bool hardware = arguments.Flag("--hw");
  if (!ExpectPositional(session, arguments, 1, 1)) return false;
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  if (!address) return false;
  if (hardware) {
    if (!session.Check(client::SetHardwareBreak(session.library(), *address))) return false;
    session.hardwareBreakpoint() = *address;
    std::printf("hardware  %s\n", session.Describe(*address).c_str());
    return true;
  }
  // The pattern's word store would reach a flash chip as two command cycles.
  if (session.flash().Holds(*address)) {
    return session.Fail("flash keeps no software breakpoint; try: break " + arguments.Positional()[0] + " --hw");
  }
  client::SoftwareBreakpoints& software = session.softwareBreakpoints();
  if (software.Contains(*address)) {
    return session.Fail("a software breakpoint is set at " + Hex32(*address) + " already");
  }
  bool patternNotKept = false;
  if (!software.Plant(*address, client::PatternSize::kLibraryChosen, &patternNotKept)) {
    // The hardware breakpoint writes no memory.
    if (patternNotKept) session.Fail("try: break " + arguments.Positional()[0] + " --hw");
    return false;
  }
  std::printf("software  %s\n", session.Describe(*address).c_str());
  return true;
}

bool RunDelete(Session& session, Arguments& arguments) {
  const bool hardware = arguments.Flag("--hw");
  const bool all = arguments.Flag("--all");
  const size_t wanted = hardware || all ? 0 : 1;
  if (!ExpectPositional(session, arguments, wanted, wanted) || (hardware && all)) {
    return hardware && all ? session.Fail("give --hw or --all, not both") : false;
  }
  if (all) return DeleteAll(session);
  if (hardware) {
    if (!RemoveHardware(session)) return false;
    std::printf("deleted   hardware breakpoint\n");
    return true;
  }
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  return address && DeleteSoftware(session, *address);
}

bool RunBreaks(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const std::optional<uint32_t>& hardware = session.hardwareBreakpoint();
  const client::SoftwareBreakpoints& software = session.softwareBreakpoints();
  if (hardware) std::printf("hardware  %s\n", session.Describe(*hardware).c_str());
  for (const auto& [address, breakpoint] : software.All()) {
    std::printf("software  %s%s\n", session.Describe(address).c_str(),
                breakpoint.inMemory ? "" : "  (lifted for this run)");
  }
  if (!hardware && software.Empty()) std::printf("no breakpoints\n");
  return true;
}

}  // namespace vantrel::cli

namespace vantrel::cli {

void RearmBreakpointsInImage(Session& session, const Image& image) {
  for (const Segment& segment : image.segments) {
    session.softwareBreakpoints().ReplantWithin(segment.address, segment.bytes.size());
  }
}

}  // namespace vantrel::cli
