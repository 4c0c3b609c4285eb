// break, delete and breaks. The library keeps no list of breakpoints: the host
// remembers each software breakpoint's displaced word and gives it back to clear it.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "commands.h"
#include "halt_report.h"
#include "image.h"
#include "numbers.h"
#include "session.h"

namespace vantrel::cli {

namespace {

// The library's answer when memory (ROM, unmapped, aborting) did not keep the pattern.
constexpr std::string_view kPatternNotKept = "software breakpoint not set:";

// patternNotKept, when given, tells whether that was why the breakpoint was refused.
bool InsertSoftware(Session& session, uint32_t address, SoftwareBreakpoint* breakpoint,
                    bool* patternNotKept = nullptr) {
  JtagRequest request = EmptyRequest();
  request.args.breakpoint.address = address;
  const Answer answer = session.Call(VANTREL_CMD_SET_SOFTWARE_BREAK, request);
  if (patternNotKept != nullptr) *patternNotKept = answer.text.starts_with(kPatternNotKept);
  if (!session.Check(answer)) return false;
  if (answer.data.size() != 4) return session.Fail("the library answered no displaced word");
  std::memcpy(breakpoint->displaced.data(), answer.data.data(), 4);
  return true;
}

bool RemoveSoftware(Session& session, uint32_t address, const SoftwareBreakpoint& breakpoint) {
  JtagRequest request = EmptyRequest();
  request.args.clearBreak.hardware = 0;
  request.args.clearBreak.address = address;
  std::memcpy(request.args.clearBreak.displacedWord, breakpoint.displaced.data(), 4);
  return session.Check(session.Call(VANTREL_CMD_CLEAR_BREAK, request));
}

bool RemoveHardware(Session& session) {
  JtagRequest request = EmptyRequest();
  request.args.clearBreak.hardware = 1;
  if (!session.Check(session.Call(VANTREL_CMD_CLEAR_BREAK, request))) return false;
  session.breakpoints().hardware.reset();
  return true;
}

bool DeleteSoftware(Session& session, uint32_t address) {
  auto& software = session.breakpoints().software;
  const auto found = software.find(address);
  if (found == software.end()) return session.Fail("no software breakpoint at " + Hex32(address));
  // A lifted breakpoint is out of memory already.
  if (!found->second.lifted && !RemoveSoftware(session, address, found->second)) return false;
  software.erase(found);
  std::printf("deleted   %s\n", session.Describe(address).c_str());
  return true;
}

bool DeleteAll(Session& session) {
  bool ok = true;
  while (ok && !session.breakpoints().software.empty())
    ok = DeleteSoftware(session, session.breakpoints().software.begin()->first);
  if (ok && session.breakpoints().hardware) {
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
  const Breakpoints& breakpoints = session.breakpoints();
  const char* reason = "";
  if (breakpoints.software.count(*pc) != 0) reason = "  (software breakpoint)";
  else if (breakpoints.hardware == *pc) reason = "  (hardware breakpoint)";
  std::printf("%s at %s%s\n", verb, session.Describe(*pc).c_str(), reason);
}

bool LiftBreakpointUnderPc(Session& session) {
  const auto pc = ReadRegisterQuietly(session, "pc");
  if (!pc) return true;  // not halted: the run command answers for itself
  auto& software = session.breakpoints().software;
  const auto found = software.find(*pc);
  if (found == software.end() || found->second.lifted) return true;
  if (!RemoveSoftware(session, *pc, found->second)) return false;
  found->second.lifted = true;
  return true;
}

void PutBackLiftedBreakpoints(Session& session) {
  for (auto& [address, breakpoint] : session.breakpoints().software) {
    if (breakpoint.lifted && InsertSoftware(session, address, &breakpoint)) breakpoint.lifted = false;
  }
}

void TakeOutBreakpointsBeforeDisconnect(Session& session) {
  Breakpoints& breakpoints = session.breakpoints();
  if (breakpoints.software.empty() && !breakpoints.hardware) return;
  const int state = session.library().DbgStatus(0) >> 8;
  const bool halted = state == 0x300 || state == 0x400;
  // The core runs on from address 0 without its debug logic: a breakpoint pattern left
  // in memory would be executed as an instruction.
  if (!halted || !DeleteAll(session)) session.Warn("breakpoints may stay in target memory; the host forgets them");
  breakpoints = Breakpoints{};
}

bool RunBreak(Session& session, Arguments& arguments) {
  const bool hardware = arguments.Flag("--hw");
  if (!ExpectPositional(session, arguments, 1, 1)) return false;
  const auto address = session.ParseAddress(arguments.Positional()[0]);
  if (!address) return false;
  if (hardware) {
    JtagRequest request = EmptyRequest();
    request.args.breakpoint.address = *address;
    if (!session.Check(session.Call(VANTREL_CMD_SET_HARDWARE_BREAK, request))) return false;
    session.breakpoints().hardware = *address;
    std::printf("hardware  %s\n", session.Describe(*address).c_str());
    return true;
  }
  if (session.breakpoints().software.count(*address) != 0) {
    return session.Fail("a software breakpoint is set at " + Hex32(*address) + " already");
  }
  SoftwareBreakpoint breakpoint;
  bool patternNotKept = false;
  if (!InsertSoftware(session, *address, &breakpoint, &patternNotKept)) {
    // The hardware breakpoint writes no memory.
    if (patternNotKept) session.Fail("try: break " + arguments.Positional()[0] + " --hw");
    return false;
  }
  session.breakpoints().software[*address] = breakpoint;
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
  const Breakpoints& breakpoints = session.breakpoints();
  if (breakpoints.hardware) std::printf("hardware  %s\n", session.Describe(*breakpoints.hardware).c_str());
  for (const auto& [address, breakpoint] : breakpoints.software) {
    std::printf("software  %s%s\n", session.Describe(address).c_str(),
                breakpoint.lifted ? "  (lifted for this run)" : "");
  }
  if (!breakpoints.hardware && breakpoints.software.empty()) std::printf("no breakpoints\n");
  return true;
}

}  // namespace vantrel::cli

namespace vantrel::cli {

void RearmBreakpointsInImage(Session& session, const Image& image) {
  for (auto& [address, breakpoint] : session.breakpoints().software) {
    for (const Segment& segment : image.segments) {
      const bool inside = address >= segment.address && address - segment.address < segment.bytes.size();
      if (inside && InsertSoftware(session, address, &breakpoint)) breakpoint.lifted = false;
    }
  }
}

}  // namespace vantrel::cli
