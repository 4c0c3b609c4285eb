#include "target/register_cache.h"

#include <array>
#include <cstddef>

#include "arm7/core_state.h"
#include "arm7/register_access.h"
#include "platform/trace.h"
#include "target/target_state.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kModeField = 0x1F;
constexpr uint32_t kSystemMode = 0x1F;
constexpr uint32_t kWordAlignment = 3;
constexpr uint32_t kHalfwordOffset = 2;
constexpr int kLastCachedGeneralRegister = 14;
constexpr int kPreservedRegisters = 8;  // r0 to r7, which the mode switch passes through

using PreservedRegisters = std::array<uint32_t, kPreservedRegisters>;

bool IsBankedMode(int mode) {
  return mode == kUserMode || mode == kFiqMode || mode == kIrqMode || mode == kSupervisorMode || mode == kAbortMode ||
         mode == kUndefinedMode;
}

bool ValidRequest(int mode, int index) {
  return (mode == kCurrentMode || IsBankedMode(mode)) && index >= 0 && index <= kSpsrIndex;
}

uint32_t& CacheElement(int index) { return arm7::RegisterCache()[static_cast<std::size_t>(index)]; }

// Every index passed below is 0 to 17, which the core always accepts.
uint32_t ReadCore(int index) {
  uint32_t value = 0;
  (void)arm7::ArmReadRegister(index, value);
  return value;
}

ResultCode WriteCore(int index, uint32_t value) { return arm7::ArmWriteRegister(index, value, arm7::kArmForm); }

// User mode cannot write the CPSR's mode field, so a core switched into it could never be
// switched back: the user registers are reached through System mode, which shares them.
uint32_t ModeToSwitchTo(int mode) { return mode == kUserMode ? kSystemMode : static_cast<uint32_t>(mode); }

bool NeedsSwitch(uint32_t cpsr, int mode) {
  const uint32_t current = cpsr & kModeField;
  return current != static_cast<uint32_t>(mode) && current != ModeToSwitchTo(mode);
}

// A core halted in User mode ignores a write of the CPSR's mode field: an access meant
// for another mode would reach the user registers instead.
bool CannotSwitchFrom(uint32_t cpsr) { return (cpsr & kModeField) == static_cast<uint32_t>(kUserMode); }

PreservedRegisters ReadLowRegisters() {
  PreservedRegisters kept{};
  for (int i = 0; i < kPreservedRegisters; ++i) kept[static_cast<std::size_t>(i)] = ReadCore(i);
  return kept;
}

// Writes r0-r7 back and reads each one again; a register that does not come back as
// written means the core did not take the sequence, which only the trace can tell.
void RestoreLowRegisters(const PreservedRegisters& kept) {
  for (int i = 0; i < kPreservedRegisters; ++i) {
    const uint32_t expected = kept[static_cast<std::size_t>(i)];
    (void)WriteCore(i, expected);
    if (ReadCore(i) != expected) {
      Trace("---------------------------------Serious error---------------------------------!!!\r\n");
    }
  }
}

uint32_t WithSwitchedMode(uint32_t psr, int mode) { return (psr & ~kModeField) | ModeToSwitchTo(mode); }

void SwitchMode(uint32_t cpsr, int mode) { (void)WriteCore(kCpsrIndex, WithSwitchedMode(cpsr, mode)); }

ResultCode ReadBanked(int mode, int index, uint32_t& destination, int preserve) {
  const uint32_t cpsr = ReadCore(kCpsrIndex);
  const bool switched = NeedsSwitch(cpsr, mode);
  if (switched && CannotSwitchFrom(cpsr)) return kInvalidParameters;
  PreservedRegisters kept{};
  if (switched) {
    if (preserve == 1) kept = ReadLowRegisters();
    SwitchMode(cpsr, mode);
  }
  const ResultCode result = arm7::ArmReadRegister(index, destination);
  if (switched) {
    // The user mode's CPSR was read in System mode; report the mode asked for.
    if (index == kCpsrIndex && mode == kUserMode) destination = (destination & ~kModeField) | kUserMode;
    (void)WriteCore(kCpsrIndex, cpsr);
    if (preserve == 1) RestoreLowRegisters(kept);
  }
  return result;
}

ResultCode WriteBanked(int mode, int index, uint32_t value) {
  const uint32_t cpsr = ReadCore(kCpsrIndex);
  const bool switched = NeedsSwitch(cpsr, mode);
  if (switched && CannotSwitchFrom(cpsr)) return kInvalidParameters;
  PreservedRegisters kept{};
  if (switched) {
    kept = ReadLowRegisters();
    SwitchMode(cpsr, mode);
  }
  // A CPSR written in the switched-to mode keeps that mode: a value naming User mode
  // would leave the core where it can no longer be switched back.
  const bool keepMode = switched && index == kCpsrIndex;
  const ResultCode result = WriteCore(index, keepMode ? WithSwitchedMode(value, mode) : value);
  if (switched) {
    (void)WriteCore(kCpsrIndex, cpsr);
    RestoreLowRegisters(kept);
  }
  return result;
}

// The status registers are written through r0, which is put back afterwards.
ResultCode WriteCurrent(int index, uint32_t value) {
  ResultCode result = kOk;
  if (index == kCpsrIndex || index == kSpsrIndex) {
    const uint32_t r0 = ReadCore(0);
    result = WriteCore(index, value);
    (void)WriteCore(0, r0);
  } else {
    result = WriteCore(index, value);
  }
  if (index != kSpsrIndex) CacheElement(index) = ReadCore(index);
  return result;
}

}  // namespace

uint32_t SavedPc() { return CacheElement(kPcIndex); }
void SetSavedPc(uint32_t address) { CacheElement(kPcIndex) = address; }

ResultCode SaveRegisters() {
  if (!CoreHalted()) return 1;
  for (int i = 0; i <= kLastCachedGeneralRegister; ++i) CacheElement(i) = ReadCore(i);
  const uint32_t pc = ReadCore(kPcIndex);
  CacheElement(kPcIndex) = pc;
  // A core that stopped in Thumb state at a halfword address comes out of the switch to
  // ARM state with bit 1 of its PC set; it must run ARM code from a word address, while
  // the saved PC keeps the halfword so that the core resumes where it stopped.
  const bool misaligned = (pc & kWordAlignment) != 0;
  if (misaligned) (void)WriteCore(kPcIndex, pc & ~kWordAlignment);
  CacheElement(kCpsrIndex) = ReadCore(kCpsrIndex);
  if (misaligned) CacheElement(kPcIndex) += kHalfwordOffset;
  return kOk;
}

ResultCode RestoreRegisters() {
  if (!CoreHalted()) return 1;
  // CPSR first: its write passes through r0, which gets its own value last.
  for (int index = kCpsrIndex; index >= 0; --index) (void)WriteCore(index, CacheElement(index));
  return kOk;
}

ResultCode ReadRegister(int mode, int index, uint32_t& destination, int preserve) {
  if (!CoreHalted()) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  if (mode != kCurrentMode) return ReadBanked(mode, index, destination, preserve);
  // The cache has no SPSR element: the SPSR of the current mode comes from the core.
  if (index == kSpsrIndex) return arm7::ArmReadRegister(kSpsrIndex, destination);
  destination = CacheElement(index);
  return kOk;
}

ResultCode WriteRegister(int mode, int index, uint32_t value) {
  if (!CoreHalted()) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  if (mode != kCurrentMode) return WriteBanked(mode, index, value);
  return WriteCurrent(index, value);
}

}  // namespace vantrel::target
