#include "gdb_target.h"

#include <time.h>

#include <cstdio>
#include <cstring>

#include "readable_regions.h"
#include "run_control.h"
#include "target_status.h"

namespace vantrel::gdb {

namespace {

constexpr long kHaltPollNanoseconds = 500000;

void PauseBetweenPolls() {
  const timespec pause{0, kHaltPollNanoseconds};
  nanosleep(&pause, nullptr);
}

std::string Message(const client::Answer& answer, const char* what) {
  if (!answer.text.empty()) return std::string(what) + ": " + answer.text;
  return std::string(what) + " failed (status " + std::to_string(answer.status) + ")";
}

}  // namespace

void GdbTarget::ForgetHaltState() {
  haltKnown_ = false;
  registers_.reset();
  banked_.clear();
  memory_.Drop();
  readable_.reset();
}

bool GdbTarget::Halted() {
  // Only this server moves the core: once seen halted, it stays so until the server
  // resumes it or a command fails (a failed transfer may have restarted the target).
  if (haltKnown_) return true;
  haltKnown_ = client::ReadTargetStatus(library_).Halted();
  return haltKnown_;
}

bool GdbTarget::Running() const { return client::ReadTargetStatus(library_).Running(); }

bool GdbTarget::Run() {
  if (!SettleBreakpoints()) return false;
  ForgetHaltState();
  return client::Run(library_).Ok();
}

bool GdbTarget::OpenAndConnect(std::string* error) {
  JtagRequest open = client::EmptyRequest();
  std::snprintf(open.args.open.portName, sizeof open.args.open.portName, "%s", portName_.c_str());
  const client::Answer opened = library_.Call(open, VANTREL_CMD_OPEN);
  if (!opened.Ok()) {
    *error = Message(opened, "open");
    return false;
  }
  // The library stops every transfer while the last reading of the power was bad; a
  // fresh reading after the open is the one it should go by.
  (void)library_.DbgStatus(VANTREL_SELECT_POWER_LINES);
  const client::Answer connected = library_.Call(client::EmptyRequest(), VANTREL_CMD_CONNECT);
  if (!connected.Ok()) {
    *error = Message(connected, "connect");
    return false;
  }
  return true;
}

bool GdbTarget::Attach(std::string* error) {
  ForgetHaltState();
  ForgetBreakpoints();
  const client::TargetStatus status = client::ReadTargetStatus(library_);
  if (status.Running()) {
    if (Stop()) return true;
    *error = "the running core did not stop";
    return false;
  }
  if (status.Halted()) return true;
  return OpenAndConnect(error);
}

void GdbTarget::Detach() {
  if (Running()) (void)Stop();
  if (!Halted()) return;
  TakeOutAll();
  (void)client::Run(library_);
  ForgetHaltState();
}

void GdbTarget::Release() {
  const bool running = Running();
  // A running core is stopped for a moment: patterns come out of memory only while it
  // is halted.
  if (running) (void)Stop();
  if (!Halted()) return;
  TakeOutAll();
  if (running) (void)client::Run(library_);
  ForgetHaltState();
}

bool GdbTarget::Reset(std::string* error) {
  if (Running()) (void)Stop();
  if (Halted()) TakeOutAll();
  ForgetBreakpoints();
  ForgetHaltState();
  if (!client::ReadTargetStatus(library_).Halted()) return OpenAndConnect(error);
  const client::Answer answer = library_.Call(client::EmptyRequest(), VANTREL_CMD_RECONNECT);
  if (!answer.Ok()) *error = Message(answer, "reconnect");
  return answer.Ok();
}

bool GdbTarget::Stop() {
  ForgetHaltState();
  return client::Stop(library_).Ok();
}

bool GdbTarget::Transferred(const client::TransferResult& result) {
  if (result.Done()) return true;
  ForgetHaltState();
  return false;
}

bool GdbTarget::ReadMemory(uint32_t address, size_t length, std::vector<unsigned char>* bytes) {
  bytes->assign(length, 0);
  if (length == 0) return true;
  if (static_cast<uint64_t>(address) + length > 0x100000000ull || !Halted()) return false;
  if (!readable_) readable_ = ReadableRegions(library_);
  const auto fetch = [this](uint32_t from, size_t count, unsigned char* out) {
    return Transferred(client::ReadMemory(library_, from, out, count));
  };
  if (!memory_.Read(address, length, bytes->data(), *readable_, fetch)) return false;
  // GDB sees the program, not the patterns of the breakpoints still in memory.
  software_.ShowProgram(address, bytes);
  return true;
}

bool GdbTarget::WriteMemory(uint32_t address, const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return true;
  if (static_cast<uint64_t>(address) + bytes.size() > 0x100000000ull || !Halted()) return false;
  memory_.Drop(address, bytes.size());
  // GDB writes the program: a breakpoint planted there stays, over the new bytes.
  const std::vector<unsigned char> stored = software_.KeepingPatterns(address, bytes);
  if (!Transferred(client::WriteMemory(library_, address, stored.data(), stored.size(), false))) return false;
  software_.ProgramWritten(address, bytes);
  return true;
}

bool GdbTarget::InsertSoftwareBreakpoint(uint32_t address, int kind) {
  // Kind 3 is GDB's for a Thumb BL pair: its first halfword is fetched first, so the
  // Thumb pattern there stops the core before the pair.
  const size_t size = kind == 4 ? 4 : 2;
  if ((kind < 2 || kind > 4) || address % size != 0) return false;
  const client::PatternSize pattern = kind == 4 ? client::PatternSize::kArm : client::PatternSize::kThumb;
  if (unwanted_.count(address) != 0 && software_.All().at(address).size == pattern) {
    unwanted_.erase(address);  // still in memory: GDB took it out and put it back between two runs
    return true;
  }
  if (unwanted_.count(address) != 0 && !SettleBreakpoints()) return false;
  if (software_.Contains(address) || (hardware_ == address && hardwareServesSoftware_)) return true;
  if (!Halted()) return false;
  memory_.Drop(address, size);
  // No pattern is written into flash: the chip would take the store as a command.
  const bool softwareAllowed = !noSoftware_ || !noSoftware_(address);
  if (softwareAllowed && units_.FreeDetectorUnit() && software_.Plant(address, pattern)) return true;
  // Code that memory cannot patch (ROM, flash, a read-only region) gets the hardware
  // breakpoint while it is free: GDB's own breakpoints for next, finish and until there.
  // Memory that cannot even be read holds no code to break in.
  std::vector<unsigned char> code;
  if (hardware_ || !ReadMemory(address, size, &code) || !SetHardware(address)) return false;
  hardware_ = address;
  hardwareServesSoftware_ = true;
  return true;
}

bool GdbTarget::RemoveSoftwareBreakpoint(uint32_t address) {
  if (hardware_ == address && hardwareServesSoftware_) return RemoveHardware();
  // GDB takes every breakpoint out at each stop and puts them back before the core runs
  // on: the pattern stays in memory (reads never show it) until the core is about to run
  // and GDB has not put it back.
  if (software_.Contains(address)) unwanted_.insert(address);
  return true;
}

bool GdbTarget::SettleBreakpoints() {
  for (auto it = unwanted_.begin(); it != unwanted_.end();) {
    if (!Halted()) return false;
    memory_.Drop(*it, sizeof(uint32_t));
    if (!software_.Remove(*it)) return false;
    it = unwanted_.erase(it);
  }
  return true;
}

// The first goes to the library's hardware breakpoint; the next ones, or one while a
// watchpoint holds that unit, to a unit of their own.
bool GdbTarget::InsertHardwareBreakpoint(uint32_t address) {
  if (hardware_ == address && !hardwareServesSoftware_) return true;
  if (!hardware_ && SetHardware(address)) {
    hardware_ = address;
    return true;
  }
  std::string error;
  return InsertUnitPoint({PointType::kBreak, address, 0}, &error);
}

bool GdbTarget::RemoveHardwareBreakpoint(uint32_t address) {
  const UnitPoint onUnit{PointType::kBreak, address, 0};
  if (units_.Contains(onUnit)) return units_.Remove(onUnit);
  if (hardware_ != address || hardwareServesSoftware_) return true;
  return RemoveHardware();
}

bool GdbTarget::InsertUnitPoint(const UnitPoint& point, std::string* error) {
  if (!Halted()) return false;
  if (units_.Insert(point, !software_.Empty(), error)) return true;
  std::fprintf(stderr, "vantrel: gdbserver: %s\n", error->c_str());
  return false;
}

bool GdbTarget::RemoveHardware() {
  if (!ClearHardware()) return false;
  hardware_.reset();
  hardwareServesSoftware_ = false;
  return true;
}

void GdbTarget::TakeOutAll() {
  software_.TakeAllOut();
  units_.TakeOutAll();
  if (hardware_) (void)ClearHardware();
  ForgetBreakpoints();
}

void GdbTarget::ForgetBreakpoints() {
  software_.Forget();
  units_.Forget();
  unwanted_.clear();
  hardware_.reset();
  hardwareServesSoftware_ = false;
}

bool GdbTarget::AtBreakpoint() {
  const auto registers = Registers();
  if (!registers) return false;
  const uint32_t pc = (*registers)[kPcRegister];
  return software_.Contains(pc) || hardware_ == pc || units_.BreakAt(pc);
}

std::optional<NextAddress> GdbTarget::PredictNext() {
  const auto registers = Registers();
  if (!registers) return std::nullopt;
  CoreSnapshot core;
  for (size_t i = 0; i < 16; ++i) core.r[i] = (*registers)[i];
  core.cpsr = (*registers)[kCpsrRegister];
  return NextInstructionAddress(core, [this](uint32_t address) -> std::optional<uint32_t> {
    std::vector<unsigned char> bytes;
    if (!ReadMemory(address, 4, &bytes)) return std::nullopt;
    uint32_t word = 0;
    std::memcpy(&word, bytes.data(), 4);
    return word;
  });
}

bool GdbTarget::PollHalt() {
  const client::TargetStatus status = client::ReadTargetStatus(library_);
  if (!status.Running()) return true;
  if (!status.inDebugState) return false;
  (void)Stop();
  return true;
}

bool GdbTarget::Interrupt() { return !Running() || Stop(); }

bool GdbTarget::RunOneInstruction(const std::function<bool()>& interrupted, StopCause* cause) {
  if (!SettleBreakpoints()) return false;
  const auto next = PredictNext();
  return next && RunTo(*next, interrupted, cause);
}

bool GdbTarget::RunTo(const NextAddress& next, const std::function<bool()>& interrupted, StopCause* cause) {
  stepLackedAUnit_ = false;
  const auto registers = Registers();
  if (!registers) return false;
  const uint32_t pc = (*registers)[kPcRegister];
  // The breakpoints on this instruction come out for the run; any where it ends stay
  // and serve as its stop.
  const bool liftedSoftware = software_.InMemory(pc);
  if (liftedSoftware && !software_.Lift(pc)) return false;
  const bool liftedHardware = hardware_ == pc && next.address != pc;
  if (liftedHardware) (void)ClearHardware();
  const bool liftedUnit = units_.BreakAt(pc) && next.address != pc;
  if (liftedUnit && !units_.Lift(pc)) return false;
  const bool nextCovered = (hardware_ == next.address && !liftedHardware) || software_.InMemory(next.address) ||
                           units_.BreakAt(next.address);
  client::SoftwareBreakpoints temporary(library_);
  bool usedSoftware = false, usedHardware = false;
  if (!nextCovered) {
    // The free hardware unit is set and cleared in a few register writes; a pattern
    // costs a read, a write and a write back of memory. A pattern needs unit 1, and
    // none goes into flash.
    if (!hardware_ || liftedHardware) usedHardware = SetHardware(next.address);
    const bool softwareAllowed = !noSoftware_ || !noSoftware_(next.address);
    if (!usedHardware && softwareAllowed && units_.FreeDetectorUnit()) {
      usedSoftware =
          temporary.Plant(next.address, next.thumb ? client::PatternSize::kThumb : client::PatternSize::kArm);
    }
  }
  stepLackedAUnit_ = !nextCovered && !usedSoftware && !usedHardware;
  // Interrupts stay masked for the step: it does not wander into a handler.
  bool ok = !stepLackedAUnit_ && library_.Call(client::EmptyRequest(), VANTREL_CMD_RUN_MASKED).Ok();
  ForgetHaltState();
  *cause = StopCause::kBreakpoint;
  while (ok && !PollHalt()) {
    if (interrupted && interrupted()) {
      *cause = StopCause::kInterrupted;
      ok = Interrupt();
      break;
    }
    PauseBetweenPolls();
  }
  if (!Halted()) {
    *cause = StopCause::kLost;
    return false;
  }
  temporary.TakeAllOut();
  if (usedHardware) (void)ClearHardware();
  if (liftedHardware) (void)SetHardware(*hardware_);
  if (liftedSoftware) software_.PutBackLifted();
  if (liftedUnit) units_.PutBackLifted(!software_.Empty());
  return ok;
}

bool GdbTarget::Step(const std::function<bool()>& interrupted, StopCause* cause) {
  return RunOneInstruction(interrupted, cause);
}

GdbTarget::ResumeOutcome GdbTarget::Resume() {
  if (!SettleBreakpoints()) return ResumeOutcome::kFailed;
  const auto registers = Registers();
  if (!registers) return ResumeOutcome::kFailed;
  if (AtBreakpoint()) {
    StopCause cause = StopCause::kBreakpoint;
    if (!RunOneInstruction({}, &cause)) return ResumeOutcome::kFailed;
    if (AtBreakpoint()) return ResumeOutcome::kStopped;
  }
  ForgetHaltState();
  return client::Run(library_).Ok() ? ResumeOutcome::kRunning : ResumeOutcome::kFailed;
}

}  // namespace vantrel::gdb
