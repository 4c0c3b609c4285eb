#include "target/breakpoints.h"

#include <cstring>

#include "target/memory_transfer.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kWordBytes = 4;
constexpr int32_t kWordWidth = 4;

uint32_t ContainingWord(uint32_t address) { return address & ~(kWordBytes - 1); }

// In Thumb code only the halfword at the address is replaced: its neighbour in the same
// word is an instruction that must go on executing while the breakpoint is set.
void FormPatternWord(TargetLayerState& target, uint32_t address, const uint8_t displaced[kWordBytes],
                     uint8_t pattern[kWordBytes]) {
  if (target.Core().ArmStateAtEntry()) {
    std::memset(pattern, kBreakpointByte, kWordBytes);
    return;
  }
  std::memcpy(pattern, displaced, kWordBytes);
  const uint32_t halfword = address & (kWordBytes - 1);
  pattern[halfword] = kBreakpointByte;
  pattern[halfword + 1] = kBreakpointByte;
}

void Report(BreakpointAccess* failedAccess, BreakpointAccess access) {
  if (failedAccess != nullptr) *failedAccess = access;
}

// ROM, unmapped or aborting memory takes the write without keeping the pattern, and such
// a breakpoint would never be hit: the word is read back. Where the pattern did not land
// whole, the displaced word goes back, since a part of it may have landed (flash, for
// one, only clears bits).
ResultCode CheckPatternHeld(TargetLayerState& target, uint32_t word, const uint8_t patternWord[kWordBytes],
                            const uint8_t found[kWordBytes]) {
  uint8_t held[kWordBytes];
  const ResultCode read = FetchTargetMemory(target, word, kWordBytes, held);
  if (read != kOk) return read;
  if (std::memcmp(held, patternWord, kWordBytes) == 0) return kOk;
  (void)StoreTargetMemory(target, word, kWordBytes, found, kWordWidth);
  return kBreakpointNotHeld;
}

ResultCode SetSoftwareBreakpoint(TargetLayerState& target, uint32_t address, uint32_t pattern,
                                 uint8_t displaced[kWordBytes], BreakpointAccess* failedAccess) {
  const uint32_t word = ContainingWord(address);
  uint8_t found[kWordBytes];
  const ResultCode read = FetchTargetMemory(target, word, kWordBytes, found);
  if (read == kReadRefusedWriteOnly) return kBreakInWriteOnly;
  if (read != kOk) {
    Report(failedAccess, BreakpointAccess::kRead);
    return read;
  }
  uint8_t patternWord[kWordBytes];
  FormPatternWord(target, address, found, patternWord);
  const ResultCode written = StoreTargetMemory(target, word, kWordBytes, patternWord, kWordWidth);
  if (written != kOk) {
    Report(failedAccess, BreakpointAccess::kWrite);
    return written;
  }
  const ResultCode held = CheckPatternHeld(target, word, patternWord, found);
  if (held != kOk) {
    if (held != kBreakpointNotHeld) Report(failedAccess, BreakpointAccess::kRead);
    return held;
  }
  std::memcpy(displaced, found, kWordBytes);
  NoteSoftwareBreakpoint(target, address, BreakpointChange::kSet);
  target.Core().SetBreakpointPattern(address, pattern);
  return kOk;
}

ResultCode SetHardwareBreakpoint(TargetLayerState& target, uint32_t address) {
  if (HardwareBreakpointUnitLent(target)) return kNoWatchpointUnitFree;
  NoteHardwareBreakpoint(target, BreakpointChange::kSet, address);
  target.Core().SetHardwareBreakpoint(address);
  return kOk;
}

// While unit 0 is lent no hardware breakpoint is set (it is lent only then): nothing to
// clear, and its registers are the host's.
ResultCode ClearHardwareBreakpoint(TargetLayerState& target) {
  if (HardwareBreakpointUnitLent(target)) return kOk;
  NoteHardwareBreakpoint(target, BreakpointChange::kCleared, 0);
  target.Core().ClearHardwareBreakpoint();
  return kOk;
}

}  // namespace

ResultCode SetBreakpoint(TargetLayerState& target, uint32_t address, int kind, uint32_t pattern, uint8_t displaced[4],
                         BreakpointAccess* failedAccess) {
  Report(failedAccess, BreakpointAccess::kNone);
  if ((address & 1) != 0) return kInvalidParameters;
  if (!CoreHalted(target)) return kStatusError;
  if (kind == kHardwareBreakpoint) return SetHardwareBreakpoint(target, address);
  if (kind != kSoftwareBreakpoint || displaced == nullptr) return kInvalidParameters;
  if (DetectorUnitLent(target)) return kNoWatchpointUnitFree;
  return SetSoftwareBreakpoint(target, address, pattern, displaced, failedAccess);
}

ResultCode ClearBreakpoint(TargetLayerState& target, uint32_t address, const uint8_t displaced[4], int kind) {
  if (!CoreHalted(target)) return kStatusError;
  if (kind == kHardwareBreakpoint) return ClearHardwareBreakpoint(target);
  if (kind != kSoftwareBreakpoint || displaced == nullptr) return kInvalidParameters;
  const ResultCode restored = StoreTargetMemory(target, ContainingWord(address), kWordBytes, displaced, kWordWidth);
  if (restored == kOk) NoteSoftwareBreakpoint(target, address, BreakpointChange::kCleared);
  return restored;
}

}  // namespace vantrel::target
