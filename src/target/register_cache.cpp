#include "target/register_cache.h"

#include <array>
#include <cstddef>

#include "platform/trace.h"
#include "target/target_layer_state.h"
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

uint32_t& CacheElement(TargetLayerState& target, int index) {
  return target.Core().Registers()[static_cast<std::size_t>(index)];
}

// Every index passed below is 0 to 17, which the core always accepts: nothing to check.
uint32_t ReadCore(TargetLayerState& target, int index) {
  uint32_t value = 0;
  (void)target.Core().ReadRegister(index, value);
  return value;
}

void WriteCore(TargetLayerState& target, int index, uint32_t value) { (void)target.Core().WriteRegister(index, value); }

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

PreservedRegisters ReadLowRegisters(TargetLayerState& target) {
  PreservedRegisters kept{};
  for (int i = 0; i < kPreservedRegisters; ++i) kept[static_cast<std::size_t>(i)] = ReadCore(target, i);
  return kept;
}

// Writes r0-r7 back and reads each one again; a register that does not come back as
// written means the core did not take the sequence, which only the trace can tell.
void RestoreLowRegisters(TargetLayerState& target, const PreservedRegisters& kept) {
  for (int i = 0; i < kPreservedRegisters; ++i) {
    const uint32_t expected = kept[static_cast<std::size_t>(i)];
    WriteCore(target, i, expected);
    if (ReadCore(target, i) != expected) {
      Trace("---------------------------------Serious error---------------------------------!!!\r\n");
    }
  }
}

void SwitchMode(TargetLayerState& target, uint32_t cpsr, int mode) {
  WriteCore(target, kCpsrIndex, arch::WithMode(cpsr, ModeToSwitchTo(mode)));
}

// r13 and r14 of User mode are also those of System mode.
int StackBank(int mode) { return mode == kSystemMode ? kUserMode : mode; }

// Whether the register that mode names at index is physically the one the halted core's
// own mode names (the mode the cached CPSR holds, in which the core resumes). Then the
// two names must give one value, so the access goes through the cache like a
// current-mode one: a write on the core alone would be undone by the next run. r0-r7,
// the PC and the CPSR are shared by every mode, r8-r12 by every mode but FIQ, r13 and r14
// by User and System mode only, and each exception mode has its own SPSR.
bool IsCurrentModesRegister(TargetLayerState& target, int mode, int index) {
  constexpr int kLastSharedLowRegister = 7;
  constexpr int kLastFiqBankedRegister = 12;
  constexpr int kLastStackBankedRegister = 14;
  const auto current = static_cast<int>(arch::ModeOf(CacheElement(target, kCpsrIndex)));
  if (index <= kLastSharedLowRegister || index == kPcIndex || index == kCpsrIndex) return true;
  if (index <= kLastFiqBankedRegister) return (current == kFiqMode) == (mode == kFiqMode);
  if (index <= kLastStackBankedRegister) return StackBank(current) == StackBank(mode);
  return current == mode;
}

ResultCode ReadBanked(TargetLayerState& target, int mode, int index, uint32_t& destination, Preserve preserve) {
  const uint32_t cpsr = ReadCore(target, kCpsrIndex);
  const bool switched = NeedsSwitch(cpsr, mode);
  if (switched && CannotSwitchFrom(cpsr)) return kInvalidParameters;
  PreservedRegisters kept{};
  if (switched) {
    if (preserve == Preserve::kLowRegisters) kept = ReadLowRegisters(target);
    SwitchMode(target, cpsr, mode);
  }
  const ResultCode result = target.Core().ReadRegister(index, destination);
  if (switched) {
    WriteCore(target, kCpsrIndex, cpsr);
    if (preserve == Preserve::kLowRegisters) RestoreLowRegisters(target, kept);
  }
  return result;
}

ResultCode WriteBanked(TargetLayerState& target, int mode, int index, uint32_t value) {
  const uint32_t cpsr = ReadCore(target, kCpsrIndex);
  const bool switched = NeedsSwitch(cpsr, mode);
  if (switched && CannotSwitchFrom(cpsr)) return kInvalidParameters;
  PreservedRegisters kept{};
  if (switched) {
    kept = ReadLowRegisters(target);
    SwitchMode(target, cpsr, mode);
  }
  WriteCore(target, index, value);
  if (switched) {
    WriteCore(target, kCpsrIndex, cpsr);
    RestoreLowRegisters(target, kept);
  }
  return kOk;
}

// The status registers are written through r0, which is put back afterwards.
void WriteStatusRegister(TargetLayerState& target, int index, uint32_t value) {
  const uint32_t r0 = ReadCore(target, 0);
  WriteCore(target, index, value);
  WriteCore(target, 0, r0);
}

// r8-r14 are the only cached registers that another mode may bank.
constexpr int kFirstBankedRegister = 8;

// A CPSR write that changes the mode makes r8-r14 on the core another mode's. The cached
// values go back to the bank of the mode left first (a memory transfer may have used
// those core registers since, and no run will restore them now), and the cache then
// takes the new mode's, so that it keeps describing the mode the core resumes in.
void WriteCpsr(TargetLayerState& target, uint32_t value) {
  // The halted core runs ARM code whatever its T bit says; the T bit the host writes is
  // the state the core resumes in, and reads back as written.
  target.Core().SetArmStateAtEntry((value & arch::kCpsrThumbBit) == 0);
  const uint32_t mode = arch::ModeOf(CacheElement(target, kCpsrIndex));
  if (arch::ModeOf(value) != mode) {
    for (int i = kFirstBankedRegister; i <= kLastCachedGeneralRegister; ++i)
      WriteCore(target, i, CacheElement(target, i));
  }
  WriteStatusRegister(target, kCpsrIndex, value);
  CacheElement(target, kCpsrIndex) = ReadCore(target, kCpsrIndex);
  if (arch::ModeOf(CacheElement(target, kCpsrIndex)) != mode) {
    for (int i = kFirstBankedRegister; i <= kLastCachedGeneralRegister; ++i)
      CacheElement(target, i) = ReadCore(target, i);
  }
}

void WriteCurrent(TargetLayerState& target, int index, uint32_t value) {
  if (index == kSpsrIndex) {
    WriteStatusRegister(target, kSpsrIndex, value);
  } else if (index == kCpsrIndex) {
    WriteCpsr(target, value);
  } else {
    WriteCore(target, index, value);
    CacheElement(target, index) = ReadCore(target, index);
  }
}

}  // namespace

uint32_t SavedPc(TargetLayerState& target) { return CacheElement(target, kPcIndex); }
void SetSavedPc(TargetLayerState& target, uint32_t address) { CacheElement(target, kPcIndex) = address; }

// The fast sequences read everything with one block, then align the PC as below.
void SaveRegistersInOneBlock(TargetLayerState& target) {
  auto& cache = target.Core().Registers();
  target.Core().ReadAllRegisters(cache);
  const uint32_t pc = cache[kPcIndex];
  if ((pc & kWordAlignment) == 0) return;
  WriteCore(target, kPcIndex, pc & ~kWordAlignment);
  CacheElement(target, kPcIndex) += kHalfwordOffset;
}

ResultCode SaveRegisters(TargetLayerState& target) {
  if (!CoreHalted(target)) return kStatusError;
  if (target.Core().FastSequences()) {
    SaveRegistersInOneBlock(target);
    return kOk;
  }
  for (int i = 0; i <= kLastCachedGeneralRegister; ++i) CacheElement(target, i) = ReadCore(target, i);
  const uint32_t pc = ReadCore(target, kPcIndex);
  CacheElement(target, kPcIndex) = pc;
  // A core that stopped in Thumb state at a halfword address comes out of the switch to
  // ARM state with bit 1 of its PC set; it must run ARM code from a word address, while
  // the saved PC keeps the halfword so that the core resumes where it stopped.
  const bool misaligned = (pc & kWordAlignment) != 0;
  if (misaligned) WriteCore(target, kPcIndex, pc & ~kWordAlignment);
  CacheElement(target, kCpsrIndex) = ReadCore(target, kCpsrIndex);
  if (misaligned) CacheElement(target, kPcIndex) += kHalfwordOffset;
  return kOk;
}

ResultCode RestoreRegisters(TargetLayerState& target) {
  if (!CoreHalted(target)) return kStatusError;
  // CPSR first: its write passes through r0, which gets its own value last.
  for (int index = kCpsrIndex; index >= 0; --index) WriteCore(target, index, CacheElement(target, index));
  return kOk;
}

ResultCode ReadRegister(TargetLayerState& target, int mode, int index, uint32_t& destination, Preserve preserve) {
  if (!CoreHalted(target)) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  const auto fastScope = target.Core().FastSequenceScope();
  if (mode != kCurrentMode && !IsCurrentModesRegister(target, mode, index)) {
    return ReadBanked(target, mode, index, destination, preserve);
  }
  // The cache has no SPSR element: the SPSR of the current mode comes from the core.
  if (index == kSpsrIndex) return target.Core().ReadRegister(kSpsrIndex, destination);
  destination = CacheElement(target, index);
  return kOk;
}

ResultCode WriteRegister(TargetLayerState& target, int mode, int index, uint32_t value) {
  if (!CoreHalted(target)) return kStatusError;
  if (!ValidRequest(mode, index)) return kInvalidParameters;
  const auto fastScope = target.Core().FastSequenceScope();
  if (mode != kCurrentMode && !IsCurrentModesRegister(target, mode, index))
    return WriteBanked(target, mode, index, value);
  WriteCurrent(target, index, value);
  return kOk;
}

}  // namespace vantrel::target
