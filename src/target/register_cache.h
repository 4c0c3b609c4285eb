// The halted core's registers: the cache of r0-r15 and the CPSR of its current mode
// (the core's register file; element 15 is the saved PC, where the core resumes), saved
// when the core halts and written back before it runs again, and the banked registers of
// the other processor modes, reached on the core by switching the mode in the CPSR for
// one access. All of it needs a halted core (TargetState 0x300 or 0x400); refusals make
// no port access. Register values are never byte-swapped.
#pragma once

#include <cstdint>

#include "common/arm_architecture.h"
#include "common/result_code.h"

namespace vantrel::target {

class TargetLayerState;

// Processor modes as in the CPSR mode field; 0 is the core's current mode.
using arch::kAbortMode;
using arch::kCurrentMode;
using arch::kFiqMode;
using arch::kIrqMode;
using arch::kSupervisorMode;
using arch::kSystemMode;
using arch::kUndefinedMode;
using arch::kUserMode;

// Register indexes: 0-15 r0 to r15, 16 the CPSR, 17 the SPSR.
using arch::kCpsrIndex;
using arch::kLrIndex;
using arch::kPcIndex;
using arch::kSpIndex;
using arch::kSpsrIndex;

// What a read of another mode's register keeps of the core's own r0-r7 across the mode
// switch: nothing, or all of them (restored and read back).
enum class Preserve { kNothing, kLowRegisters };

// Reads r0-r15 and the CPSR into the cache. A PC that is not word-aligned is written back
// aligned to the core, while the saved PC keeps the halfword (aligned value + 2).
// Returns kOk, or kStatusError when the core is not halted (nothing read).
[[nodiscard]] ResultCode SaveRegisters(TargetLayerState& target);

// Writes the cache back to the core, CPSR first and r0 last (the CPSR write passes
// through r0). Returns kOk, or kStatusError when the core is not halted (nothing written).
[[nodiscard]] ResultCode RestoreRegisters(TargetLayerState& target);

// Mode 0: r0-r15 and the CPSR from the cache without port traffic; the SPSR (17) from the
// core. Another mode: a register that the halted core's own mode shares with that mode
// (r0-r7, the PC and the CPSR always; r8-r12 unless one of the two is FIQ mode; r13 and
// r14 between User and System mode; the SPSR of the core's own mode) is read as in mode
// 0, so that both names give one value: the CPSR under a banked name is the one CPSR.
// Any other is the register as that mode sees it, read on the core with the mode
// switched in the CPSR and switched back; with kLowRegisters the core's r0-r7 are kept
// across the switch (restored and read back; a mismatch only writes a trace line). The
// User registers are reached in System mode, which shares them: from User mode the core
// could not be switched back.
// Returns kOk; kStatusError when the core is not halted; kInvalidParameters for an index
// above 17 or a mode that is neither 0 nor one of the six modes (nothing sent), and after
// the CPSR read when the core is halted in User mode and another mode's own register is
// asked for (no mode switch is possible from there).
[[nodiscard]] ResultCode ReadRegister(TargetLayerState& target, int mode, int index, uint32_t& destination,
                                      Preserve preserve);

// Mode 0, and another mode's name for a register the core's own mode shares (as for the
// read): writes the register on the core (the CPSR and SPSR with r0 kept) and reads it
// back into the cache (not for the SPSR), so that the value survives the next run.
// Another mode's own register: written as that mode sees it, with the mode switched in
// the CPSR and back and r0-r7 always kept; the cache is not touched. Returns kOk;
// kStatusError when the core is not halted; kInvalidParameters for an index above 17 or a
// mode that is neither 0 nor one of the six modes (nothing sent), or, as for the read,
// for another mode's own register while the core is halted in User mode.
[[nodiscard]] ResultCode WriteRegister(TargetLayerState& target, int mode, int index, uint32_t value);

// The saved PC (cache element 15), where the core resumes. Setting it sends nothing and
// works in every state; it takes effect when the core is next resumed.
uint32_t SavedPc(TargetLayerState& target);
void SetSavedPc(TargetLayerState& target, uint32_t address);

}  // namespace vantrel::target
