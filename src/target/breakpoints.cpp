#include "target/breakpoints.h"

#include <cstring>

#include "target/active_core.h"
#include "target/memory_transfer.h"
#include "target/target_state.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kWordBytes = 4;
constexpr int32_t kWordWidth = 4;

uint32_t ContainingWord(uint32_t address) { return address & ~(kWordBytes - 1); }

// In Thumb code only the halfword at the address is replaced: its neighbour in the same
// word is an instruction that must go on executing while the breakpoint is set.
void FormPatternWord(uint32_t address, const uint8_t displaced[kWordBytes], uint8_t pattern[kWordBytes]) {
  if (ActiveCore().ArmStateAtEntry()) {
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
ResultCode CheckPatternHeld(uint32_t word, const uint8_t patternWord[kWordBytes], const uint8_t found[kWordBytes]) {
  uint8_t held[kWordBytes];
  const ResultCode read = FetchTargetMemory(word, kWordBytes, held);
  if (read != kOk) return read;
  if (std::memcmp(held, patternWord, kWordBytes) == 0) return kOk;
  (void)StoreTargetMemory(word, kWordBytes, found, kWordWidth);
  return kBreakpointNotHeld;
}

ResultCode SetSoftwareBreakpoint(uint32_t address, uint32_t pattern, uint8_t displaced[kWordBytes],
                                 BreakpointAccess* failedAccess) {
  const uint32_t word = ContainingWord(address);
  uint8_t found[kWordBytes];
  const ResultCode read = FetchTargetMemory(word, kWordBytes, found);
  if (read == kReadRefusedWriteOnly) return kBreakInWriteOnly;
  if (read != kOk) {
    Report(failedAccess, BreakpointAccess::kRead);
    return read;
  }
  uint8_t patternWord[kWordBytes];
  FormPatternWord(address, found, patternWord);
  const ResultCode written = StoreTargetMemory(word, kWordBytes, patternWord, kWordWidth);
  if (written != kOk) {
    Report(failedAccess, BreakpointAccess::kWrite);
    return written;
  }
  const ResultCode held = CheckPatternHeld(word, patternWord, found);
  if (held != kOk) {
    if (held != kBreakpointNotHeld) Report(failedAccess, BreakpointAccess::kRead);
    return held;
  }
  std::memcpy(displaced, found, kWordBytes);
  NoteSoftwareBreakpoint(address, BreakpointChange::kSet);
  ActiveCore().SetBreakpointPattern(address, pattern);
  return kOk;
}

ResultCode SetHardwareBreakpoint(uint32_t address) {
  if (HardwareBreakpointUnitLent()) return kNoWatchpointUnitFree;
  NoteHardwareBreakpoint(BreakpointChange::kSet, address);
  ActiveCore().SetHardwareBreakpoint(address);
  return kOk;
}

// While unit 0 is lent no hardware breakpoint is set (it is lent only then): nothing to
// clear, and its registers are the host's.
ResultCode ClearHardwareBreakpoint() {
  if (HardwareBreakpointUnitLent()) return kOk;
  NoteHardwareBreakpoint(BreakpointChange::kCleared, 0);
  ActiveCore().ClearHardwareBreakpoint();
  return kOk;
}

}  // namespace

ResultCode SetBreakpoint(uint32_t address, int kind, uint32_t pattern, uint8_t displaced[4],
                         BreakpointAccess* failedAccess) {
  Report(failedAccess, BreakpointAccess::kNone);
  if ((address & 1) != 0) return kInvalidParameters;
  if (!CoreHalted()) return kStatusError;
  if (kind == kHardwareBreakpoint) return SetHardwareBreakpoint(address);
  if (kind != kSoftwareBreakpoint || displaced == nullptr) return kInvalidParameters;
  if (DetectorUnitLent()) return kNoWatchpointUnitFree;
  return SetSoftwareBreakpoint(address, pattern, displaced, failedAccess);
}

ResultCode ClearBreakpoint(uint32_t address, const uint8_t displaced[4], int kind) {
  if (!CoreHalted()) return kStatusError;
  if (kind == kHardwareBreakpoint) return ClearHardwareBreakpoint();
  if (kind != kSoftwareBreakpoint || displaced == nullptr) return kInvalidParameters;
  const ResultCode restored = StoreTargetMemory(ContainingWord(address), kWordBytes, displaced, kWordWidth);
  if (restored == kOk) NoteSoftwareBreakpoint(address, BreakpointChange::kCleared);
  return restored;
}

}  // namespace vantrel::target
