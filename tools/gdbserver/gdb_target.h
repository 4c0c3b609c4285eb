// The target as the GDB server drives it: the library's commands behind the operations
// GDB asks for (registers, memory, breakpoints, run, stop, step), with the host's
// bookkeeping of the breakpoints it placed, since the library keeps no list.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arm_next_address.h"
#include "library.h"
#include "software_breakpoints.h"
#include "target_description.h"

namespace vantrel::gdb {

using RegisterFile = std::array<uint32_t, kRegisterCount>;

// Why the core stopped, as GDB is told.
enum class StopCause { kBreakpoint, kInterrupted, kLost };

class GdbTarget {
 public:
  GdbTarget(const cli::Library& library, std::string portName)
      : library_(library), portName_(std::move(portName)), software_(library) {}

  // Takes the core for a new client: a running core is stopped where it is; a core not
  // under debug control is opened and connected (reset, halted at address 0).
  bool Attach(std::string* error);
  // GDB detached: breakpoints out of memory; the core is left running (it was, or it is
  // resumed).
  void Detach();
  // The client went without a detach (disconnect, kill, a vanished or dropped client):
  // breakpoints out of memory, the core left halted or running as it was.
  void Release();
  // Reconnects: the target is reset and halted at address 0; breakpoints are forgotten.
  bool Reset(std::string* error);

  bool Halted() const;
  bool Running() const;
  // Registers of the halted core, read once per halt.
  std::optional<RegisterFile> Registers();
  bool WriteRegister(int number, uint32_t value);

  // Exactly the bytes asked for; false when the library refused or failed.
  bool ReadMemory(uint32_t address, size_t length, std::vector<unsigned char>* bytes);
  bool WriteMemory(uint32_t address, const std::vector<unsigned char>& bytes);

  // kind 2: Thumb, 3: a Thumb BL pair, 4: ARM. Where memory does not keep the pattern,
  // the hardware breakpoint serves while it is free; false otherwise.
  bool InsertSoftwareBreakpoint(uint32_t address, int kind);
  bool RemoveSoftwareBreakpoint(uint32_t address);
  // The one hardware breakpoint; false when it is taken or the library refused.
  bool InsertHardwareBreakpoint(uint32_t address);
  bool RemoveHardwareBreakpoint(uint32_t address);

  enum class ResumeOutcome { kRunning, kStopped, kFailed };
  // Resumes the halted core; a breakpoint under the PC is stepped off first, and the
  // core may stop at once at another breakpoint (kStopped).
  ResumeOutcome Resume();
  // Runs exactly one instruction with temporary breakpoints on its next address.
  bool Step(const std::function<bool()>& interrupted, StopCause* cause);
  // Halted at a breakpoint GDB placed (not a temporary one of a step).
  bool AtBreakpoint();
  // While running: true once the core has halted at a breakpoint, then taken under
  // control (stopped, registers read).
  bool PollHalt();
  // Halts a running core at once.
  bool Interrupt();
  // Lets the halted core run from where it is, breakpoints as they are.
  bool Run();

  const cli::Library& library() const { return library_; }
  // Where no software breakpoint may be written, not even for a step (flash).
  void RefuseSoftwareBreakpoints(std::function<bool(uint32_t)> refused) { noSoftware_ = std::move(refused); }

 private:
  int TargetState() const;
  bool OpenAndConnect(std::string* error);
  bool Stop();
  bool SetHardware(uint32_t address) { return cli::SetHardwareBreak(library_, address).Ok(); }
  bool ClearHardware() { return cli::ClearHardwareBreak(library_).Ok(); }
  bool RemoveHardware();
  void TakeOutAll();
  void ForgetBreakpoints();
  // Runs one instruction from the halted PC and waits for it to halt again.
  bool RunOneInstruction(const std::function<bool()>& interrupted, StopCause* cause);
  std::optional<NextAddress> PredictNext();
  bool Transfer(int32_t code, const JtagRequest& request, size_t length);

  const cli::Library& library_;
  std::string portName_;
  std::optional<RegisterFile> registers_;
  // GDB chooses each pattern's size: kind 2 Thumb, 4 ARM.
  cli::SoftwareBreakpoints software_;
  std::optional<uint32_t> hardware_;
  bool hardwareServesSoftware_ = false;  // hardware_ is a software breakpoint in ROM
  std::function<bool(uint32_t)> noSoftware_;
};

}  // namespace vantrel::gdb
