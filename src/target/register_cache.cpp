#include "target/register_cache.h"

#include <array>
#include <cstddef>

#include "platform/trace.h"
#include "target/active_core.h"
#include "target/target_state.h"

namespace vantrel::target {
namespace {

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

uint32_t& CacheElement(int index) { return ActiveCore().Registers()[static_cast<std::size_t>(index)]; }

// Every index passed below is 0 to 17, which the core always accepts: nothing to check.
uint32_t ReadCore(int index) {
  uint32_t value = 0;
  (void)ActiveCore().ReadRegister(index, value);
  return value;
}

void WriteCore(int index, uint32_t value) { (void)ActiveCore().WriteRegister(index, value); }

// User mode cannot write the CPSR's mode field, so a core switched into it could never be
// switched back: the user registers are reached through System mode, which shares them.
int ModeToSwitchTo(int mode) { return mode == kUserMode ? kSystemMode : mode; }

bool NeedsSwitch(uint32_t cpsr, int mode) {
  const uint32_t current = arch::ModeOf(cpsr);
  return current != static_cast<uint32_t>(mode) && current != static_cast<uint32_t>(ModeToSwitchTo(mode));
}

// A core halted in User mode ignores a write of the CPSR's mode field: an access meant
// for another mode would reach the user registers instead.
bool CannotSwitchFrom(uint32_t cpsr) { return arch::ModeOf(cpsr) == static_cast<uint32_t>(kUserMode); }

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
    WriteCore(i, expected);
    if (ReadCore(i) != expected) {
      Trace("---------------------------------Serious error---------------------------------!!!\r\n");
    }
  }
}

void SwitchMode(uint32_t cpsr, int mode) { WriteCore(kCpsrIndex, arch::WithMode(cpsr, ModeToSwitchTo(mode))); }

// r13 and r14 of User mode are also those of System mode.
int StackBank(int mode) { return mode == kSystemMode ? kUserMode : mode; }

// Whether the register that mode names at index is physically the one the halted core's
// own mode names (the mode the cached CPSR holds, in which the core resumes). Then the
// two names must give one value, so the access goes through the cache like a
// current-mode one: a write on the core alone would be undone by the next run. r0-r7,
// the PC and the CPSR are shared by every mode, r8-r12 by every mode but FIQ, r13 and r14
// by User and System mode only, and each exception mode has its own SPSR.
bool IsCurrentModesRegister(int mode, int index) {
  constexpr int kLastSharedLowRegister = 7;
  constexpr int kLastFiqBankedRegister = 12;
  constexpr int kLastStackBankedRegister = 14;
  const auto current = static_cast<int>(arch::ModeOf(CacheElement(kCpsrIndex)));
  if (index <= kLastSharedLowRegister || index == kPcIndex || index == kCpsrIndex) return true;
  if (index <= kLastFiqBankedRegister) return (current == kFiqMode) == (mode == kFiqMode);
  if (index <= kLastStackBankedRegister) return StackBank(current) == StackBank(mode);
  return current == mode;
}

ResultCode ReadBanked(int mode, int index, uint32_t& destination, Preserve preserve) {
  const uint32_t cpsr = ReadCore(kCpsrIndex);
  const bool switched = NeedsSwitch(cpsr, mode);
  if (switched && CannotSwitchFrom(cpsr)) return kInvalidParameters;
  PreservedRegisters kept{};
  if (switched) {
    if (preserve == Preserve::kLowRegisters) kept = ReadLowRegisters();
    SwitchMode(cpsr, mode);
  }
  const ResultCode result = ActiveCore().ReadRegister(index, destination);
  if (switched) {
    WriteCore(kCpsrIndex, cpsr);
    if (preserve == Preserve::kLowRegisters) RestoreLowRegisters(kept);
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
  WriteCore(index, value);
  if (switched) {
    WriteCore(kCpsrIndex, cpsr);
    RestoreLowRegisters(kept);
  }
  return kOk;
}

// The status registers are written through r0, which is put back afterwards.
void WriteStatusRegister(int index, uint32_t value) {
  const uint32_t r0 = ReadCore(0);
  WriteCore(index, value);
  WriteCore(0, r0);
}

// r8-r14 are the only cached registers that another mode may bank.
constexpr int kFirstBankedRegister = 8;

// A CPSR write that changes the mode makes r8-r14 on the core another mode's. The cached
// values go back to the bank of the mode left first (a memory transfer may have used
// those core registers since, and no run will restore them now), and the cache then
// takes the new mode's, so that it keeps describing the mode the core resumes in.
void WriteCpsr(uint32_t value) {
  // The halted core runs ARM code whatever its T bit says; the T bit the host writes is
  // the state the core resumes in, and reads back as written.
  ActiveCore().SetArmStateAtEntry((value & arch::kCpsrThumbBit) == 0);
  const uint32_t mode = arch::ModeOf(CacheElement(kCpsrIndex));
  if (arch::ModeOf(value) != mode) {
    for (int i = kFirstBankedRegister; i <= kLastCachedGeneralRegister; ++i) WriteCore(i, CacheElement(i));
  }
  WriteStatusRegister(kCpsrIndex, value);
  CacheElement(kCpsrIndex) = ReadCore(kCpsrIndex);
  if (arch::ModeOf(CacheElement(kCpsrIndex)) != mode) {
    for (int i = kFirstBankedRegister; i <= kLastCachedGeneralRegister; ++i) CacheElement(i) = ReadCore(i);
  }
}

void WriteCurrent(int index, uint32_t value) {
  if (index == kSpsrIndex) {
    WriteStatusRegister(kSpsrIndex, value);
  } else if (index == kCpsrIndex) {
    WriteCpsr(value);
  } else {
    WriteCore(index, value);
    CacheElement(index) = ReadCore(index);
  }
}

}  // namespace

uint32_t SavedPc() { return CacheElement(kPcIndex); }
void SetSavedPc(uint32_t address) { CacheElement(kPcIndex) = address; }

// The fast sequences read everything with one block, then align the PC as below.
void SaveRegistersInOneBlock() {
  auto& cache = ActiveCore().Registers();
  ActiveCore().ReadAllRegisters(cache);
  const uint32_t pc = cache[kPcIndex];
  if ((pc & kWordAlignment) == 0) return;
  WriteCore(kPcIndex, pc & ~kWordAlignment);
  CacheElement(kPcIndex) += kHalfwordOffset;
}

ResultCode SaveRegisters() {
  if (!CoreHalted()) return kStatusError;
  if (ActiveCore().FastSequences()) {
    SaveRegistersInOneBlock();
    return kOk;
  }
  for (int i = 0; i <= kLastCachedGeneralRegister; ++i) CacheElement(i) = ReadCore(i);
  const uint32_t pc = ReadCore(kPcIndex);
  CacheElement(kPcIndex) = pc;
  // A core that stopped in Thumb state at a halfword address comes out of the switch to
  // ARM state with bit 1 of its PC set; it must run ARM code from a word address, while
  // the saved PC keeps the halfword so that the core resumes where it stopped.
  const bool misaligned = (pc & kWordAlignment) != 0;
  if (misaligned) WriteCore(kPcIndex, pc & ~kWordAlignment);
  CacheElement(kCpsrIndex) = ReadCore(kCpsrIndex);
  if (misaligned) CacheElement(kPcIndex) += kHalfwordOffset;
  return kOk;
}

ResultCode RestoreRegisters() {
  if (!CoreHalted()) return kStatusError;
  // CPSR first: its write passes through r0, which gets its own value last.
  for (int index = kCpsrIndex; index >= 0; --index) WriteCore(index, CacheElement(index));
  return kOk;
}

ResultCode ReadRegister(int mode, int index, uint32_t& destination, Preserve preserve) {
  if (!CoreHalted()) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  const auto fastScope = ActiveCore().FastSequenceScope();
  if (mode != kCurrentMode && !IsCurrentModesRegister(mode, index)) {
    return ReadBanked(mode, index, destination, preserve);
  }
  // The cache has no SPSR element: the SPSR of the current mode comes from the core.
  if (index == kSpsrIndex) return ActiveCore().ReadRegister(kSpsrIndex, destination);
  destination = CacheElement(index);
  return kOk;
}

ResultCode WriteRegister(int mode, int index, uint32_t value) {
  if (!CoreHalted()) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  const auto fastScope = ActiveCore().FastSequenceScope();
  if (mode != kCurrentMode && !IsCurrentModesRegister(mode, index)) return WriteBanked(mode, index, value);
  WriteCurrent(index, value);
  return kOk;
}

}  // namespace vantrel::target
