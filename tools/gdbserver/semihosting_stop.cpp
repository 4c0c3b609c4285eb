// The server's side of semihosting: the SWI vector caught while the program runs, each
// halt there looked at, a semihosting call served and the program resumed after it
// without GDB seeing a stop; any other SWI goes on into the program's own handler.
#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "gdb_server.h"
#include "registers_by_name.h"

namespace vantrel::gdb {

namespace {

constexpr uint32_t kSwiVector = 0x08;
constexpr int kArmPatternKind = 4;
constexpr uint32_t kModeField = 0x1F;
constexpr uint32_t kSupervisorMode = 0x13;
constexpr uint32_t kThumbBit = 0x20;
// The SWIs a program makes a semihosting call with; the condition field of the ARM one
// may be any that passed.
constexpr uint32_t kArmSemihostingSwi = 0x0F123456;
constexpr uint32_t kArmConditionMask = 0x0FFFFFFF;
constexpr uint16_t kThumbSemihostingSwi = 0xDFAB;
constexpr int kSigInt = 2;
constexpr int kSigTrap = 5;
constexpr int kInputPollMs = 10;
const std::string kErrorTarget = "E02";

// A halt on the SWI vector as the SWI left the core: in supervisor mode, the caller's
// return address in lr and its CPSR in the SPSR.
struct SwiEntry {
  uint32_t operation = 0;  // r0
  uint32_t parameter = 0;  // r1
  uint32_t returnAddress = 0;
  uint32_t callerCpsr = 0;
  bool semihosting = false;
};

std::optional<std::pair<uint32_t, uint32_t>> ReadReturnState(const client::Library& library) {
  const client::Answer answer = client::ReadRegistersByName(library, {"lr", "spsr"});
  if (!answer.Ok() || answer.data.size() != 8) return std::nullopt;
  return std::make_pair(answer.Word(0), answer.Word(1));
}

bool IsSemihostingSwi(GdbTarget& target, uint32_t returnAddress, bool thumb) {
  const uint32_t size = thumb ? 2 : 4;
  std::vector<unsigned char> code;
  if (returnAddress < size || !target.ReadMemory(returnAddress - size, size, &code)) return false;
  if (thumb) return (code[0] | code[1] << 8) == kThumbSemihostingSwi;
  const uint32_t word = static_cast<uint32_t>(code[0]) | static_cast<uint32_t>(code[1]) << 8 |
                        static_cast<uint32_t>(code[2]) << 16 | static_cast<uint32_t>(code[3]) << 24;
  return (word & kArmConditionMask) == kArmSemihostingSwi;
}

std::optional<SwiEntry> SwiTaken(GdbTarget& target) {
  const auto registers = target.Registers();
  if (!registers || (*registers)[kPcRegister] != kSwiVector ||
      ((*registers)[kCpsrRegister] & kModeField) != kSupervisorMode) {
    return std::nullopt;
  }
  const auto state = ReadReturnState(target.library());
  if (!state) return std::nullopt;
  SwiEntry entry{(*registers)[0], (*registers)[1], state->first, state->second, false};
  entry.semihosting = IsSemihostingSwi(target, entry.returnAddress, (entry.callerCpsr & kThumbBit) != 0);
  return entry;
}

// The caller resumes after its SWI with the result in r0, in its own mode and state.
bool ReturnToCaller(GdbTarget& target, const SwiEntry& entry, uint32_t result) {
  return target.WriteRegister(0, result) && target.WriteRegister(kCpsrRegister, entry.callerCpsr) &&
         target.WriteRegister(kPcRegister, entry.returnAddress);
}

}  // namespace

SwiStop ServeSwiStop(GdbTarget& target, Semihosting& semihosting, const SemihostingConsole& console) {
  const auto entry = semihosting.Enabled() && target.Halted() ? SwiTaken(target) : std::nullopt;
  if (!entry) return {SwiStop::Kind::kOther};
  if (!entry->semihosting) return {SwiStop::Kind::kProgramsOwnSwi};
  const TargetMemoryAccess memory{[&target](uint32_t address, size_t length, std::vector<unsigned char>* bytes) {
                                    return target.ReadMemory(address, length, bytes);
                                  },
                                  [&target](uint32_t address, const std::vector<unsigned char>& bytes) {
                                    return target.WriteMemory(address, bytes);
                                  }};
  const SemihostingResult result = semihosting.Serve(entry->operation, entry->parameter, memory, console);
  if (result.exitCode) return {SwiStop::Kind::kExited, *result.exitCode};
  if (!ReturnToCaller(target, *entry, result.r0)) return {SwiStop::Kind::kFailed};
  return {SwiStop::Kind::kServed};
}

bool PlantSwiCatch(GdbTarget& target) { return target.InsertSoftwareBreakpoint(kSwiVector, kArmPatternKind); }
bool RemoveSwiCatch(GdbTarget& target) { return target.RemoveSoftwareBreakpoint(kSwiVector); }

void GdbSession::CatchSwiVector() {
  if (!semihosting_.Enabled() || PlantSwiCatch(target_)) return;
  if (catchRefusalTold_) return;
  catchRefusalTold_ = true;
  ConsoleWrite(
      "semihosting: the SWI vector at 0x00000008 cannot be caught (no breakpoint unit free); the program's SWIs go "
      "to its own handler\n");
}

bool GdbSession::KeepsSwiCatch(bool insert, uint32_t address) {
  if (address != kSwiVector) return false;
  userBreakAtVector_ = insert;
  // GDB's own breakpoint there comes and goes; the catch stays while semihosting is on.
  return !insert && semihosting_.Enabled();
}

void GdbSession::ConsoleWrite(std::string_view text) {
  if (connection_.Closed()) {
    WriteToTerminal(text);
    return;
  }
  // GDB prints O packets on its console while the program runs.
  const size_t piece = (kMaxPacketBytes - 1) / 2;
  for (size_t at = 0; at < text.size(); at += piece)
    connection_.Send(std::string("O").append(HexText(text.substr(at, piece))));
}

std::optional<unsigned char> GdbSession::ConsoleReadCharacter() {
  for (;;) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, kInputPollMs);
    if (ready > 0) {
      unsigned char c = 0;
      if (read(STDIN_FILENO, &c, 1) == 1) return c;
      return std::nullopt;  // the end of the server's input
    }
    if (ready < 0 && errno != EINTR) return std::nullopt;
    // GDB's Ctrl-C gives the wait up: the call fails and the program stops after it.
    if (ClientInterrupted()) {
      inputInterrupted_ = true;
      return std::nullopt;
    }
  }
}

std::optional<std::string> GdbSession::AfterHalt(bool stepping) {
  const SemihostingConsole console{[this](std::string_view text) { ConsoleWrite(text); },
                                   [this] { return ConsoleReadCharacter(); }};
  inputInterrupted_ = false;
  const SwiStop stop = ServeSwiStop(target_, semihosting_, console);
  switch (stop.kind) {
    case SwiStop::Kind::kOther: return TrapReply();
    case SwiStop::Kind::kFailed: return kErrorTarget;
    case SwiStop::Kind::kExited: {
      char reply[8];
      std::snprintf(reply, sizeof reply, "W%02x", stop.exitCode & 0xFF);
      exited_ = reply;
      return exited_;
    }
    case SwiStop::Kind::kProgramsOwnSwi:
      // Into the program's handler, unless GDB asked to stop on the vector.
      if (stepping || userBreakAtVector_) return StopReply(kSigTrap);
      switch (target_.Resume()) {
        case GdbTarget::ResumeOutcome::kRunning: return std::nullopt;
        case GdbTarget::ResumeOutcome::kStopped: return StopReply(kSigTrap);
        case GdbTarget::ResumeOutcome::kFailed: return kErrorTarget;
      }
      return kErrorTarget;
    case SwiStop::Kind::kServed: break;
  }
  if (inputInterrupted_) return StopReply(kSigInt);
  // A breakpoint right after the SWI is reached, not stepped over.
  if (stepping || target_.AtBreakpoint()) return StopReply(kSigTrap);
  return target_.Run() ? std::nullopt : std::optional<std::string>(kErrorTarget);
}

void GdbSession::DetachKeepingSwiCatch() {
  // GDB took its own breakpoints out before detaching; the catch stays, and the server
  // serves the program's calls until the next client comes.
  if (semihosting_.Enabled() && target_.Halted() && PlantSwiCatch(target_)) {
    if (target_.Resume() == GdbTarget::ResumeOutcome::kRunning) {
      semihosting_.SetServingDetached(true);
      return;
    }
    // Stopped again at once: an ordinary detach, which leaves no pattern behind.
  }
  target_.Detach();
}

std::string GdbSession::MonitorSemihosting(const std::vector<std::string>& words) {
  if (words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
    semihosting_.Enable(words[1] == "on");
    if (!semihosting_.Enabled() && !userBreakAtVector_ && target_.Halted()) {
      (void)target_.RemoveSoftwareBreakpoint(kSwiVector);
    }
  } else if (words.size() != 1) {
    return "usage: monitor semihosting [on|off]\n";
  }
  std::string text = std::string("semihosting ") + (semihosting_.Enabled() ? "on" : "off");
  text += semihosting_.FilesAllowed() ? "; files confined to the --semihosting-dir directory\n"
                                      : "; file operations refused (no --semihosting-dir)\n";
  return text;
}

}  // namespace vantrel::gdb
