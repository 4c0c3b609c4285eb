// Commands that move the connection and the core: open, connect, disconnect,
// reconnect, run, stop, wait, and the status readings.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "commands.h"
#include "halt_report.h"
#include "interrupt.h"
#include "numbers.h"
#include "output.h"
#include "run_control.h"
#include "session.h"
#include "target_facts.h"
#include "target_status.h"

namespace vantrel::cli {

namespace {

constexpr useconds_t kWaitPollMicroseconds = 20000;

bool IsPortName(const std::string& name) { return name == "lpt1" || name == "lpt2" || name == "lpt3"; }

std::string PowerMeaning(int power) {
  switch (power) {
    case VANTREL_POWER_GOOD: return "both sense lines good";
    case VANTREL_POWER_SECOND_LINE_GOOD: return "first sense line bad";
    case VANTREL_POWER_FIRST_LINE_GOOD: return "second sense line bad";
    case 0: return "both sense lines bad: check the target's power";
    default: return "no cable port selected";
  }
}

// Reads the power lines after an open: the library then stops every transfer while
// the power is bad, and the user learns it here rather than from a stopped download.
void ReportPower(Session& session) {
  const int power = session.library().DbgStatus(VANTREL_SELECT_POWER_LINES);
  PrintField("power", std::to_string(power), PowerMeaning(power));
  if (power != VANTREL_POWER_GOOD) session.Warn("transfers stop at once while the power is not good");
}

struct CoreCondition {
  std::string text;
  bool inDebugState = false;  // only then do the status bits say which instruction set
};

// The debug-status bits mean something only while the library has the core under debug
// control; once the cable is released they are a refused read, all bits set.
CoreCondition DescribeCore(const client::TargetStatus& status) {
  if (status.Halted()) {
    if (status.inDebugState) return {"halted in debug state", true};
    return {"not acknowledging debug state (reconnect)", false};
  }
  if (status.Running()) {
    if (status.inDebugState) return {"halted at a breakpoint (stop takes control)", true};
    return {"running", false};
  }
  return {"not under debug control", false};
}

bool StatusQueryFailed(Session& session, const client::TargetStatus& status) {
  return session.Fail("the status query failed (" + std::to_string(status.word) + ")");
}

// The library gives one answer for two faults: the TAP's ID code was not an ARM7TDMI's,
// or the core did not enter debug state when asked; the user is told both.
bool CheckConnectAnswer(Session& session, const client::Answer& answer) {
  if (answer.Ok()) return true;
  if (answer.text.rfind("target not found", 0) != 0) return session.Check(answer);
  return session.Fail(answer.text +
                      " (either the JTAG ID code was not an ARM7TDMI's, or the core did not halt when asked)");
}

// Halts a core that has stopped (or is running) with command 37 and reports where.
bool StopAndReport(Session& session, const char* verb) {
  if (!session.Check(Stop(session.library()))) return false;
  ReportHalt(session, verb);
  return true;
}

}  // namespace

bool RunVersion(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const client::Answer name = session.Call(VANTREL_CMD_GET_NAME);
  const client::Answer version = session.Call(VANTREL_CMD_GET_VERSION);
  if (!session.Check(name) || !session.Check(version)) return false;
  std::printf("%s %s\n", name.text.c_str(), version.text.c_str());
  return true;
}

bool RunOpen(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 1)) return false;
  const std::string port = arguments.Positional().empty() ? session.settings().portName : arguments.Positional()[0];
  if (!IsPortName(port)) return session.Fail("the port is lpt1, lpt2 or lpt3");
  JtagRequest request = client::EmptyRequest();
  std::snprintf(request.args.open.portName, sizeof request.args.open.portName, "%s", port.c_str());
  if (!session.Check(session.Call(VANTREL_CMD_OPEN, request))) return false;
  session.MarkOpened();
  std::printf("opened    %s\n", port.c_str());
  ReportPower(session);
  return true;
}

bool RunConnect(Session& session, Arguments& arguments) {
  const bool bigEndian = arguments.Flag("--big-endian");
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  JtagRequest request = client::EmptyRequest();
  request.args.connect.bigEndian = bigEndian ? 1 : 0;
  if (!CheckConnectAnswer(session, session.Call(VANTREL_CMD_CONNECT, request))) return false;
  std::printf("connected %s-endian, core halted, pc %s\n", bigEndian ? "big" : "little",
              session.Describe(ReadRegisterQuietly(session, "pc").value_or(0)).c_str());
  return true;
}

bool RunDisconnect(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  TakeOutBreakpointsBeforeDisconnect(session);
  const client::Answer answer = session.Call(VANTREL_CMD_DISCONNECT);
  // Status 2 tells the target was down already, or would not halt; the cable is
  // released all the same, so the command has done its job.
  if (answer.status == VANTREL_STATUS_WARNING) {
    session.Warn(answer.text);
    return true;
  }
  if (!session.Check(answer)) return false;
  std::printf("disconnected; the core runs from address 0\n");
  return true;
}

bool RunReconnect(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0) ||
      !CheckConnectAnswer(session, session.Call(VANTREL_CMD_RECONNECT))) {
    return false;
  }
  std::printf("reconnected, core halted, pc %s\n",
              session.Describe(ReadRegisterQuietly(session, "pc").value_or(0)).c_str());
  return true;
}

bool RunRun(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const auto pc = ReadRegisterQuietly(session, "pc");
  if (!LiftBreakpointUnderPc(session)) return false;
  if (!session.Check(Run(session.library()))) {
    PutBackLiftedBreakpoints(session);
    return false;
  }
  if (pc) std::printf("running   from %s\n", session.Describe(*pc).c_str());
  else std::printf("running\n");
  return true;
}

bool RunStop(Session& session, Arguments& arguments) {
  return ExpectPositional(session, arguments, 0, 0) && StopAndReport(session, "stopped");
}

bool RunWait(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 1)) return false;
  std::optional<uint32_t> seconds;
  if (!arguments.Positional().empty() && !(seconds = session.ParseCount(arguments.Positional()[0], "time"))) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds.value_or(0));
  TakeInterrupt();
  for (;;) {
    const client::TargetStatus status = client::ReadTargetStatus(session.library());
    if (!status.answered) return StatusQueryFailed(session, status);
    if (!status.Running())
      return session.Fail("the core is not running; the target is " + TargetStateName(status.stateCode));
    if (status.inDebugState) return StopAndReport(session, "stopped");
    if (TakeInterrupt()) return StopAndReport(session, "interrupted; stopped");
    if (seconds && std::chrono::steady_clock::now() >= deadline) {
      return session.Fail("the core did not halt within " + std::to_string(*seconds) + " s; it is still running");
    }
    usleep(kWaitPollMicroseconds);
  }
}

bool RunStatus(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const client::TargetStatus status = client::ReadTargetStatus(session.library());
  if (!status.answered) return StatusQueryFailed(session, status);
  PrintField("state", TargetStateName(status.stateCode));
  const CoreCondition core = DescribeCore(status);
  PrintField("core", core.text);
  if (core.inDebugState) PrintField("isa", status.thumb ? "Thumb" : "ARM");
  return true;
}

bool RunPower(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  // Before the cable is found the reading would record "bad" and stop every later
  // transfer, so the host does not ask.
  if (!session.opened()) return session.Fail("open the cable first");
  const int power = session.library().DbgStatus(VANTREL_SELECT_POWER_LINES);
  if (power < 0) return session.Fail(PowerMeaning(power));
  PrintField("power", std::to_string(power), PowerMeaning(power));
  return true;
}

bool RunIce(Session& session, Arguments& arguments) {
  if (!ExpectPositional(session, arguments, 0, 0)) return false;
  const client::IceReading ice = client::ReadIce(session.library());
  if (!session.Check(ice.answer)) return false;
  for (size_t i = 0; i < client::kIceRegisterCount; ++i)
    std::printf("%-14s %s\n", client::kIceRegisterNames[i], Hex32(ice.values[i]).c_str());
  return true;
}

}  // namespace vantrel::cli
