// Semihosting while no GDB is attached: a program that goes on printing after a detach
// is served on the server's terminal instead of running into its own SWI vector.
#include <cstdio>

#include "semihosting_stop.h"

namespace vantrel::gdb {

namespace {

void StopServing(GdbTarget& target, Semihosting& semihosting) {
  semihosting.SetServingDetached(false);
  if (target.Halted()) (void)RemoveSwiCatch(target);
}

// Input would wait on the terminal no one may be watching: the call gets -1 at once.
std::optional<unsigned char> NoInput() { return std::nullopt; }

}  // namespace

void WriteToTerminal(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void ServeDetachedCalls(GdbTarget& target, Semihosting& semihosting) {
  if (!semihosting.ServingDetached() || !target.PollHalt()) return;
  const SemihostingConsole console{WriteToTerminal, NoInput};
  const SwiStop stop = ServeSwiStop(target, semihosting, console);
  switch (stop.kind) {
    case SwiStop::Kind::kServed:
      if (target.Run()) return;
      break;
    case SwiStop::Kind::kProgramsOwnSwi:
      if (target.Resume() == GdbTarget::ResumeOutcome::kRunning) return;
      break;
    case SwiStop::Kind::kExited:
      std::fprintf(stderr, "vantrel: gdbserver: the program exited with code %d; the core is halted\n", stop.exitCode);
      break;
    default:
      std::fprintf(stderr, "vantrel: gdbserver: the core halted; semihosting waits for the next client\n");
      break;
  }
  StopServing(target, semihosting);
}

void EndDetachedServing(GdbTarget& target, Semihosting& semihosting) {
  if (!semihosting.ServingDetached()) return;
  (void)target.Interrupt();
  StopServing(target, semihosting);
}

}  // namespace vantrel::gdb
