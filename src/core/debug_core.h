// The operations the target-control layer needs from a debug core behind the cable:
// identification, entering and leaving debug state, the halted core's registers, memory
// through the core, the comms channel loop, the watchpoint units and what the core can
// tell about its link. A core (arm7/ today) implements it; target/ chooses one in a
// single registration table and reaches it only through this interface. The contracts
// are those the ARM7TDMI core documents for its operations (EnterDebug its debug-state
// entry, GetData its exact read, and so on): a further core keeps the same results and
// leaves the core and the TAP in the same states, whatever its scans look like.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "common/arm_architecture.h"
#include "common/result_code.h"
#include "core/transfer_progress.h"
#include "core/watchpoint_unit.h"
#include "vantrel_port.h"

namespace vantrel::core {

using RegisterFile = std::array<uint32_t, arch::kCachedRegisterCount>;

enum class CommsLoop { kRunning, kUnavailable, kLinkLost };

// Where a fast write finds its address: loaded afresh, or already held by the core
// because the previous write of the same transfer ended there with nothing sent since.
enum class WriteStart { kLoadAddress, kContinuing };

// What the layers above plan their work with; fixed for a core.
struct CoreFacts {
  int writeBlockWords;         // the most words one exact write block takes
  uint32_t commsLoopBytes;     // the part of a work area the comms loop takes
  uint32_t checksumLoopBytes;  // the part of a work area the checksum loop takes
};

enum class ChecksumOutcome {
  kDone,         // crc holds the core's CRC-32 of the bytes
  kUnavailable,  // the loop could not be placed (its words did not read back, or aborted)
  kAborted,      // a read of the bytes aborted; the core is halted and back in its mode
  kTimeLimit,    // the loop did not end within its time limit and was halted
  kLinkLost,     // the cable, the power or the core's halting failed on the way
};

struct ChecksumRun {
  ChecksumOutcome outcome;
  uint32_t crc;
};

// Memory the host set aside for the core's loops.
struct WorkArea {
  uint32_t address;
  uint32_t size;
};

// While one lives, the operations use the core's fast sequences (the host chose them).
class SequenceScope {
 public:
  SequenceScope() = default;
  virtual ~SequenceScope() = default;
  SequenceScope(const SequenceScope&) = delete;
  SequenceScope& operator=(const SequenceScope&) = delete;
};

class DebugCore {
 public:
  DebugCore() = default;
  DebugCore(const DebugCore&) = delete;
  DebugCore& operator=(const DebugCore&) = delete;

  [[nodiscard]] virtual CoreFacts Facts() const = 0;

  // ---- The cable the core sits on ----
  // What the layers above need of the cable itself: opening it (kOk, kEmulatorNotFound,
  // kNoPortAccess, kSimulatorRequested, or kInvalidParameters for a kind or port name
  // nobody knows), the target's reset line, the TAP left in reset or no longer taken to
  // be active, the lines and devices let go, the power lines, a background job's loan,
  // the end of an export call and the unload.
  [[nodiscard]] virtual ResultCode OpenCable(std::string_view kindName, std::string_view portName) = 0;
  [[nodiscard]] virtual ResultCode PulseTargetReset() = 0;
  virtual void ResetTapToIdle() = 0;
  virtual void LeaveTapInReset() = 0;
  virtual void ForgetTapActive() = 0;
  virtual void DriveCableLinesLow() = 0;
  virtual void ReleaseCable() = 0;
  [[nodiscard]] virtual bool PowerReadBad() = 0;
  [[nodiscard]] virtual int32_t ReadPowerLines() = 0;
  virtual void LendCableToJob() = 0;
  virtual void LetCableCatchUp() = 0;
  virtual void CableGoesIdle() = 0;
  virtual void LeaveCableAtUnload() = 0;
  // The cable's settings from the host and lpt.ini: the port seam the host plugs in (null
  // io: the hardware), the transfer mode the host chose (a VANTREL_TRANSFER_* value), and
  // the work area lpt.ini names, if any.
  virtual void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch) = 0;
  virtual void SetHostTransferMode(int mode) = 0;
  [[nodiscard]] virtual std::optional<WorkArea> ConfiguredWorkArea() = 0;

  // ---- Identification and the link ----
  // kOk when the device behind the cable is this core, else kTargetNotFound (the TAP
  // left active).
  [[nodiscard]] virtual ResultCode CheckTargetId() = 0;
  [[nodiscard]] virtual bool LinkLost() = 0;
  [[nodiscard]] virtual bool OnlyCommsOutOfStep() = 0;
  virtual void ClearLinkObservations() = 0;

  // ---- Sequences ----
  [[nodiscard]] virtual bool FastSequences() = 0;
  // Null with the exact sequences: nothing to hold.
  [[nodiscard]] virtual std::unique_ptr<SequenceScope> FastSequenceScope() = 0;

  // ---- Debug state ----
  [[nodiscard]] virtual bool RunningByStatus() = 0;
  // kOk, or kHaltFailed when the core did not halt or its link was lost meanwhile.
  [[nodiscard]] virtual ResultCode EnterDebug() = 0;
  [[nodiscard]] virtual ResultCode EnterDebugFast() = 0;
  [[nodiscard]] virtual bool LastEntryRequested() = 0;
  virtual void RestartFromZero() = 0;
  virtual void Resume(bool interruptsMasked) = 0;
  virtual void ResumeFast(bool interruptsMasked) = 0;
  virtual void PutBackLeftWorkArea() = 0;
  // The host's status word for the core, with targetState in bits 8 and up.
  [[nodiscard]] virtual uint32_t StatusWord(uint32_t targetState) = 0;

  // ---- Registers ----
  // r0-r15 and the CPSR kept while halted; element 15 is where the core resumes.
  [[nodiscard]] virtual RegisterFile& Registers() = 0;
  [[nodiscard]] virtual ResultCode ReadRegister(int index, uint32_t& value) = 0;
  [[nodiscard]] virtual ResultCode WriteRegister(int index, uint32_t value) = 0;
  virtual void ReadAllRegisters(RegisterFile& registers) = 0;
  [[nodiscard]] virtual uint32_t ReadCpsrFast() = 0;
  // True when the core was in ARM state at its last debug-state entry (or the host said so).
  [[nodiscard]] virtual bool ArmStateAtEntry() = 0;
  virtual void SetArmStateAtEntry(bool armState) = 0;
  virtual void SetBigEndianTarget(bool bigEndian) = 0;

  // ---- Memory through the core ----
  [[nodiscard]] virtual ResultCode GetData(uint32_t address, uint8_t* destination, int count) = 0;
  [[nodiscard]] virtual ResultCode GetDataWithin(uint32_t address, uint8_t* destination, int count) = 0;
  [[nodiscard]] virtual ResultCode GetDataFast(uint32_t address, uint8_t* destination, int count,
                                               std::optional<uint32_t> workArea) = 0;
  [[nodiscard]] virtual ResultCode PutData(uint32_t address, int stride, int count, const uint8_t* source) = 0;
  [[nodiscard]] virtual ResultCode PutDataFast(uint32_t address, int stride, int count, const uint8_t* source,
                                               WriteStart start) = 0;
  [[nodiscard]] virtual CommsLoop StartCommsStores(uint32_t workArea, uint32_t address, uint32_t words) = 0;
  virtual void SendCommsWords(int stride, int count, const uint8_t* source) = 0;
  [[nodiscard]] virtual ResultCode EndCommsStores(uint32_t wordsSent) = 0;
  [[nodiscard]] virtual TransferProgress& Progress() = 0;
  // The common CRC-32 of length bytes (at least 1) from address on, computed by the halted
  // core running a loop from workArea (word aligned, above the vectors, clear of the
  // bytes), its words saved and put back; the fast sequences in force.
  [[nodiscard]] virtual ChecksumRun ChecksumBytes(uint32_t workArea, uint32_t address, uint32_t length) = 0;

  // ---- Breakpoints and watchpoint units ----
  virtual void SetBreakpointPattern(uint32_t address, uint32_t pattern) = 0;
  virtual void SetHardwareBreakpoint(uint32_t address) = 0;
  virtual void ClearHardwareBreakpoint() = 0;
  virtual void LendUnit(int unit, const UnitSetting& setting) = 0;
  virtual void ReturnUnit(int unit) = 0;
  [[nodiscard]] virtual bool UnitLent(int unit) = 0;
  // kOk, or kLinkLost when the reads went through a link that was lost.
  [[nodiscard]] virtual ResultCode ReadIceRegisters(IceDump& dump) = 0;

  // The session owns its core and deletes it through this interface.
  virtual ~DebugCore() = default;
};

}  // namespace vantrel::core
