// The target as the GDB server drives it: the library's commands behind the operations
// GDB asks for (registers, memory, breakpoints, run, stop, step), with the host's
// bookkeeping of the breakpoints it placed, since the library keeps no list.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "arm_next_address.h"
#include "library.h"
#include "memory_cache.h"
#include "memory_calls.h"
#include "software_breakpoints.h"
#include "target_description.h"
#include "unit_points.h"

namespace vantrel::gdb {

// Reads go to the target in whole aligned blocks of this size where that is harmless:
// measured on GDB's stepping, 32 bytes cost least (the word under the PC and the one
// before it, the frame), 8, 16 and 64 a little more, 256 far more.
inline constexpr uint32_t kCacheBlockBytes = 32;

using RegisterFile = std::array<uint32_t, kRegisterCount>;

// Why the core stopped, as GDB is told.
enum class StopCause { kBreakpoint, kInterrupted, kLost };

class GdbTarget {
 public:
  GdbTarget(const client::Library& library, std::string portName)
      : library_(library), portName_(std::move(portName)), software_(library), units_(library) {}

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

  bool Halted();
  bool Running() const;
  // Registers of the halted core, read once per halt.
  std::optional<RegisterFile> Registers();
  // A banked register or SPSR (numbers from kRegisterCount), read once a halt; none
  // when the library refuses it (the core halted in User mode reaches no other mode).
  std::optional<uint32_t> BankedRegister(int number);
  // Any register GDB numbers, by its library name, as the command line's `reg` writes it.
  bool WriteRegister(int number, uint32_t value);

  // Exactly the bytes asked for; false when the library refused or failed.
  bool ReadMemory(uint32_t address, size_t length, std::vector<unsigned char>* bytes);
  bool WriteMemory(uint32_t address, const std::vector<unsigned char>& bytes);

  // kind 2: Thumb, 3: a Thumb BL pair, 4: ARM. Where memory does not keep the pattern,
  // the hardware breakpoint serves while it is free; false otherwise.
  bool InsertSoftwareBreakpoint(uint32_t address, int kind);
  bool RemoveSoftwareBreakpoint(uint32_t address);
  // The hardware breakpoint, and further ones on the watchpoint units; false when no
  // unit is free or the library refused.
  bool InsertHardwareBreakpoint(uint32_t address);
  bool RemoveHardwareBreakpoint(uint32_t address);
  // Data watchpoints (and further hardware breakpoints) on the watchpoint units; false
  // with *error when no unit is free or the span cannot be watched.
  bool InsertUnitPoint(const UnitPoint& point, std::string* error);
  bool RemoveUnitPoint(const UnitPoint& point) { return units_.Remove(point); }
  // "watch:ADDR;" (rwatch, awatch) when one of GDB's data watchpoints stopped the core.
  std::string WatchStopDetail() const { return units_.StopDetail(); }

  enum class ResumeOutcome { kRunning, kStopped, kFailed };
  // Resumes the halted core; a breakpoint under the PC is stepped off first, and the
  // core may stop at once at another breakpoint (kStopped).
  ResumeOutcome Resume();
  // Runs exactly one instruction with temporary breakpoints on its next address.
  bool Step(const std::function<bool()>& interrupted, StopCause* cause);
  // Steps on while the PC stays in [start, end) (GDB's range stepping for `next` and
  // `step`): where the instructions ahead can only go on one after another, the core
  // runs to the first that may not (or to the range's end) in one go.
  bool RangeStep(uint32_t start, uint32_t end, const std::function<bool()>& interrupted, StopCause* cause);
  // The last step could not start: neither a pattern nor a unit could stop it.
  bool StepLackedAUnit() const { return stepLackedAUnit_; }
  // Halted at a breakpoint GDB placed (not a temporary one of a step).
  bool AtBreakpoint();
  // While running: true once the core has halted at a breakpoint, then taken under
  // control (stopped, registers read).
  bool PollHalt();
  // Halts a running core at once.
  bool Interrupt();
  // Lets the halted core run from where it is, breakpoints as they are.
  bool Run();

  const client::Library& library() const { return library_; }
  // What was read of the halted core (registers, memory) forgotten: a monitor command
  // may have changed it.
  void ForgetHaltState();
  // Where no software breakpoint may be written, not even for a step (flash).
  void RefuseSoftwareBreakpoints(std::function<bool(uint32_t)> refused) { noSoftware_ = std::move(refused); }

 private:
  bool OpenAndConnect(std::string* error);
  bool Stop();
  bool SetHardware(uint32_t address) { return client::SetHardwareBreak(library_, address).Ok(); }
  bool ClearHardware() { return client::ClearHardwareBreak(library_).Ok(); }
  bool RemoveHardware();
  void TakeOutAll();
  void ForgetBreakpoints();
  // The patterns GDB removed while the core was halted, out of memory now: before it runs.
  bool SettleBreakpoints();
  // Runs one instruction from the halted PC and waits for it to halt again.
  bool RunOneInstruction(const std::function<bool()>& interrupted, StopCause* cause);
  std::optional<NextAddress> PredictNext();
  // Runs from the halted PC until the core reaches target, breakpoints on the PC lifted.
  bool RunTo(const NextAddress& target, const std::function<bool()>& interrupted, StopCause* cause);
  // The instruction at address only ever leads to the one after it, whatever the
  // registers and flags hold.
  bool OnlyFallsThrough(uint32_t address, bool thumb);
  // True when the transfer moved every byte; the halt state read is forgotten otherwise,
  // since a failed transfer may have restarted the target.
  bool Transferred(const client::TransferResult& result);

  const client::Library& library_;
  std::string portName_;
  bool haltKnown_ = false;  // seen halted since the server last moved the core
  std::optional<RegisterFile> registers_;
  std::map<int, uint32_t> banked_;  // by GDB's number, read since the halt
  MemoryCache memory_{kCacheBlockBytes};
  std::optional<std::vector<ReadableWindow>> readable_;  // read once a halt
  // GDB chooses each pattern's size: kind 2 Thumb, 4 ARM.
  client::SoftwareBreakpoints software_;
  // Removed by GDB, still in memory until the core next runs.
  std::set<uint32_t> unwanted_;
  std::optional<uint32_t> hardware_;
  bool hardwareServesSoftware_ = false;  // hardware_ is a software breakpoint in ROM
  UnitPoints units_;
  bool stepLackedAUnit_ = false;
  std::function<bool(uint32_t)> noSoftware_;
};

}  // namespace vantrel::gdb
