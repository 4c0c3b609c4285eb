#include "gdb_target.h"

#include <time.h>

#include <cstring>

#include "background_job.h"

namespace vantrel::gdb {

namespace {

constexpr int kStateConnected = 0x300;
constexpr int kStateHalted = 0x400;
constexpr int kStateRunning = 0x500;
constexpr int kStatusInDebug = 0x01;
constexpr long kHaltPollNanoseconds = 500000;

void PauseBetweenPolls() {
  const timespec pause{0, kHaltPollNanoseconds};
  nanosleep(&pause, nullptr);
}

std::string Message(const cli::Answer& answer, const char* what) {
  if (!answer.text.empty()) return std::string(what) + ": " + answer.text;
  return std::string(what) + " failed (status " + std::to_string(answer.status) + ")";
}

}  // namespace

int GdbTarget::TargetState() const {
  const int status = library_.DbgStatus(0);
  return status < 0 ? -1 : status >> 8;
}

bool GdbTarget::Halted() const {
  const int state = TargetState();
  return state == kStateConnected || state == kStateHalted;
}

bool GdbTarget::Running() const { return TargetState() == kStateRunning; }

bool GdbTarget::Run() {
  registers_.reset();
  return library_.Call(cli::EmptyRequest(), VANTREL_CMD_RUN).Ok();
}

bool GdbTarget::OpenAndConnect(std::string* error) {
  JtagRequest open = cli::EmptyRequest();
  std::snprintf(open.args.open.portName, sizeof open.args.open.portName, "%s", portName_.c_str());
  const cli::Answer opened = library_.Call(open, VANTREL_CMD_OPEN);
  if (!opened.Ok()) {
    *error = Message(opened, "open");
    return false;
  }
  // The library stops every transfer while the last reading of the power was bad; a
  // fresh reading after the open is the one it should go by.
  (void)library_.DbgStatus(1);
  const cli::Answer connected = library_.Call(cli::EmptyRequest(), VANTREL_CMD_CONNECT);
  if (!connected.Ok()) {
    *error = Message(connected, "connect");
    return false;
  }
  return true;
}

bool GdbTarget::Attach(std::string* error) {
  registers_.reset();
  ForgetBreakpoints();
  const int state = TargetState();
  if (state == kStateRunning) {
    if (Stop()) return true;
    *error = "the running core did not stop";
    return false;
  }
  if (state == kStateConnected || state == kStateHalted) return true;
  return OpenAndConnect(error);
}

void GdbTarget::Detach() {
  if (TargetState() == kStateRunning) (void)Stop();
  if (!Halted()) return;
  TakeOutAll();
  (void)library_.Call(cli::EmptyRequest(), VANTREL_CMD_RUN);
  registers_.reset();
}

void GdbTarget::Release() {
  const bool running = TargetState() == kStateRunning;
  // A running core is stopped for a moment: patterns come out of memory only while it
  // is halted.
  if (running) (void)Stop();
  if (!Halted()) return;
  TakeOutAll();
  if (running) (void)library_.Call(cli::EmptyRequest(), VANTREL_CMD_RUN);
  registers_.reset();
}

bool GdbTarget::Reset(std::string* error) {
  if (TargetState() == kStateRunning) (void)Stop();
  if (Halted()) TakeOutAll();
  ForgetBreakpoints();
  registers_.reset();
  const int state = TargetState();
  if (state != kStateConnected && state != kStateHalted) return OpenAndConnect(error);
  const cli::Answer answer = library_.Call(cli::EmptyRequest(), VANTREL_CMD_RECONNECT);
  if (!answer.Ok()) *error = Message(answer, "reconnect");
  return answer.Ok();
}

bool GdbTarget::Stop() {
  registers_.reset();
  return library_.Call(cli::EmptyRequest(), VANTREL_CMD_STOP).Ok();
}

std::optional<RegisterFile> GdbTarget::Registers() {
  if (registers_) return registers_;
  JtagRequest request = cli::EmptyRequest();
  request.args.readRegisters.byMode = 1;
  std::snprintf(request.args.readRegisters.modeName, sizeof request.args.readRegisters.modeName, "usr");
  const cli::Answer answer = library_.Call(request, VANTREL_CMD_READ_REGISTERS);
  if (!answer.Ok() || answer.data.size() != size_t{4} * kRegisterCount) return std::nullopt;
  RegisterFile registers{};
  for (int i = 0; i < kRegisterCount; ++i) registers[static_cast<size_t>(i)] = answer.Word(static_cast<size_t>(i));
  registers_ = registers;
  return registers_;
}

bool GdbTarget::WriteRegister(int number, uint32_t value) {
  const char* name = LibraryRegisterName(number);
  if (name == nullptr || !Halted()) return false;
  JtagRequest request = cli::EmptyRequest();
  std::snprintf(request.args.writeRegister.name, sizeof request.args.writeRegister.name, "%s", name);
  request.args.writeRegister.value = value;
  registers_.reset();
  return library_.Call(request, VANTREL_CMD_WRITE_REGISTER).Ok();
}

bool GdbTarget::Transfer(int32_t code, const JtagRequest& request, size_t length) {
  const bool background = length >= cli::kBackgroundTransferBytes;
  if (background) library_.ClearLastJobResult();
  if (!library_.Call(request, code).Ok()) return false;
  return !background || cli::WaitForJob(library_) == 0;
}

bool GdbTarget::ReadMemory(uint32_t address, size_t length, std::vector<unsigned char>* bytes) {
  bytes->assign(length, 0);
  if (length == 0) return true;
  if (static_cast<uint64_t>(address) + length > 0x100000000ull || !Halted()) return false;
  JtagRequest request = cli::EmptyRequest();
  request.args.readMemory.buffer = bytes->data();
  request.args.readMemory.address = address;
  request.args.readMemory.length = static_cast<int32_t>(length);
  if (!Transfer(VANTREL_CMD_READ_MEMORY, request, length)) return false;
  // GDB sees the program, not the patterns of the breakpoints still in memory.
  software_.ShowProgram(address, bytes);
  return true;
}

bool GdbTarget::WriteMemory(uint32_t address, const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return true;
  if (static_cast<uint64_t>(address) + bytes.size() > 0x100000000ull || !Halted()) return false;
  // GDB writes the program: a breakpoint planted there stays, over the new bytes.
  const std::vector<unsigned char> stored = software_.KeepingPatterns(address, bytes);
  JtagRequest request = cli::EmptyRequest();
  request.args.writeMemory.address = address;
  request.args.writeMemory.data = stored.data();
  request.args.writeMemory.length = static_cast<int32_t>(stored.size());
  request.args.writeMemory.accessWidth = 4;
  if (!Transfer(VANTREL_CMD_WRITE_MEMORY, request, stored.size())) return false;
  software_.ProgramWritten(address, bytes);
  return true;
}

bool GdbTarget::InsertSoftwareBreakpoint(uint32_t address, int kind) {
  // Kind 3 is GDB's for a Thumb BL pair: its first halfword is fetched first, so the
  // Thumb pattern there stops the core before the pair.
  const size_t size = kind == 4 ? 4 : 2;
  if ((kind < 2 || kind > 4) || address % size != 0) return false;
  if (software_.Contains(address) || (hardware_ == address && hardwareServesSoftware_)) return true;
  if (!Halted()) return false;
  // No pattern is written into flash: the chip would take the store as a command.
  const bool softwareAllowed = !noSoftware_ || !noSoftware_(address);
  if (softwareAllowed && software_.Plant(address, kind == 4 ? cli::PatternSize::kArm : cli::PatternSize::kThumb)) {
    return true;
  }
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
  return !software_.Contains(address) || (Halted() && software_.Remove(address));
}

bool GdbTarget::InsertHardwareBreakpoint(uint32_t address) {
  if (hardware_) return *hardware_ == address && !hardwareServesSoftware_;
  if (!SetHardware(address)) return false;
  hardware_ = address;
  return true;
}

bool GdbTarget::RemoveHardwareBreakpoint(uint32_t address) {
  if (hardware_ != address || hardwareServesSoftware_) return true;
  return RemoveHardware();
}

bool GdbTarget::RemoveHardware() {
  if (!ClearHardware()) return false;
  hardware_.reset();
  hardwareServesSoftware_ = false;
  return true;
}

void GdbTarget::TakeOutAll() {
  software_.TakeAllOut();
  if (hardware_) (void)ClearHardware();
  ForgetBreakpoints();
}

void GdbTarget::ForgetBreakpoints() {
  software_.Forget();
  hardware_.reset();
  hardwareServesSoftware_ = false;
}

bool GdbTarget::AtBreakpoint() {
  const auto registers = Registers();
  if (!registers) return false;
  const uint32_t pc = (*registers)[kPcRegister];
  return software_.Contains(pc) || hardware_ == pc;
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
  const int status = library_.DbgStatus(0);
  if (status < 0 || (status >> 8) != kStateRunning) return true;
  if ((status & kStatusInDebug) == 0) return false;
  (void)Stop();
  return true;
}

bool GdbTarget::Interrupt() { return TargetState() != kStateRunning || Stop(); }

bool GdbTarget::RunOneInstruction(const std::function<bool()>& interrupted, StopCause* cause) {
  const auto registers = Registers();
  const auto next = PredictNext();
  if (!registers || !next) return false;
  const uint32_t pc = (*registers)[kPcRegister];
  // The breakpoints on this instruction come out for the step; any on the next one
  // stay and serve as the step's stop.
  const bool liftedSoftware = software_.InMemory(pc);
  if (liftedSoftware && !software_.Lift(pc)) return false;
  const bool liftedHardware = hardware_ == pc && next->address != pc;
  if (liftedHardware) (void)ClearHardware();
  const bool nextCovered = (hardware_ == next->address && !liftedHardware) || software_.InMemory(next->address);
  cli::SoftwareBreakpoints temporary(library_);
  bool usedSoftware = false, usedHardware = false;
  if (!nextCovered) {
    const bool softwareAllowed = !noSoftware_ || !noSoftware_(next->address);
    usedSoftware = softwareAllowed &&
                   temporary.Plant(next->address, next->thumb ? cli::PatternSize::kThumb : cli::PatternSize::kArm);
    if (!usedSoftware && (!hardware_ || liftedHardware)) usedHardware = SetHardware(next->address);
  }
  bool ok = (nextCovered || usedSoftware || usedHardware) && library_.Call(cli::EmptyRequest(), VANTREL_CMD_RUN).Ok();
  registers_.reset();
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
  return ok;
}

bool GdbTarget::Step(const std::function<bool()>& interrupted, StopCause* cause) {
  return RunOneInstruction(interrupted, cause);
}

GdbTarget::ResumeOutcome GdbTarget::Resume() {
  const auto registers = Registers();
  if (!registers) return ResumeOutcome::kFailed;
  if (AtBreakpoint()) {
    StopCause cause = StopCause::kBreakpoint;
    if (!RunOneInstruction({}, &cause)) return ResumeOutcome::kFailed;
    if (AtBreakpoint()) return ResumeOutcome::kStopped;
  }
  registers_.reset();
  return library_.Call(cli::EmptyRequest(), VANTREL_CMD_RUN).Ok() ? ResumeOutcome::kRunning : ResumeOutcome::kFailed;
}

}  // namespace vantrel::gdb
