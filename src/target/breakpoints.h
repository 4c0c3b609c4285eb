// Stopping the target's program at chosen addresses. The hardware breakpoint is
// watchpoint 0 (one address; setting it again moves it). A software breakpoint replaces
// the instruction in memory by 0xBE bytes that watchpoint 1 detects when the core fetches
// them; the library keeps no list: the host keeps each address and its displaced word.
//
// Software breakpoints work on the word that contains the address (the address rounded
// down to a multiple of 4): its 4 bytes, in address order, are the displaced word. In ARM
// code the whole word becomes 0xBE 0xBE 0xBE 0xBE; in Thumb code (the core entered debug
// state in Thumb state) only the halfword at the address does, its neighbour is kept.
#pragma once

#include <cstdint>

#include "common/arm_architecture.h"
#include "common/result_code.h"
#include "target/target_layer_state.h"

namespace vantrel::target {

inline constexpr int kSoftwareBreakpoint = 0;
inline constexpr int kHardwareBreakpoint = 1;

using arch::kBreakpointByte;
using arch::kSoftwareBreakpointPattern;

// Which memory access a failed software breakpoint operation ended in: the read of the
// displaced word or the write of the pattern or of the displaced word.
enum class BreakpointAccess { kNone, kRead, kWrite };

// kind 1: watchpoint 0 on the fetch at address (pattern and displaced unused).
// kind 0: displaced receives the containing word, the pattern word is written, and
// watchpoint 1 watches for pattern.
// The pattern word is read back: kBreakpointNotHeld when the memory did not keep it (ROM,
// unmapped or aborting memory), after the displaced word has been written back.
// Returns kOk; kInvalidParameters an odd address (tested first, in any state) or another
// kind; kStatusError the core is not halted; kNoWatchpointUnitFree the unit the kind
// needs is lent to the host (watchpoint_units.h, nothing written); kBreakInWriteOnly the
// word lies in a write-only region (nothing written); kBreakpointNotHeld; a failed read
// (kNoMemory, kWordTransferFailed: of the displaced word, nothing written; of the pattern
// word) or write (kWordTransferFailed, kTransferStopped, kWriteRefusedReadOnly), with
// failedAccess telling which.
[[nodiscard]] ResultCode SetBreakpoint(TargetLayerState& target, uint32_t address, int kind, uint32_t pattern,
                                       uint8_t displaced[4], BreakpointAccess* failedAccess = nullptr);

// kind 1: watchpoint 0 moves to 0xFFFFFFFF (address and displaced unused).
// kind 0: the displaced word goes back to the word that contains address.
// Returns kOk; kInvalidParameters another kind; kStatusError the core is not halted; the
// failed write's result (kWordTransferFailed, kTransferStopped, kWriteRefusedReadOnly).
[[nodiscard]] ResultCode ClearBreakpoint(TargetLayerState& target, uint32_t address, const uint8_t displaced[4],
                                         int kind);

}  // namespace vantrel::target
