// Reading and writing the halted core's registers by injecting instructions on scan
// chain 1, one register per call, at debug speed. Needs a core halted in debug state
// (and in ARM state, which the debug-state entry guarantees) and a TAP that is not in
// Test-Logic-Reset. Each operation starts with the chain-1 preamble and ends in
// Run-Test/Idle with a branch under way that keeps the core's view of its PC unchanged.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::arm7 {

struct Arm7State;

// Register indices: 0-15 r0 to r15, 16 the CPSR, 17 the SPSR of the current mode.
// How a register write reaches the core: by the ARM instructions, or, for a core still
// executing Thumb code, by the Thumb load that only r0 has.
enum class WriteForm { kThumb, kArm };

// Injects SUB pc, pc, #-amount (amount < 0) or ADD pc, pc, #amount (amount > 0); the
// caller follows it with two NOPs. Returns kOk; kInvalidParameters for 0 (no adjustment
// to make) or an amount outside -255 to 255 (nothing sent either way).
ResultCode ArmAdjustPc(Arm7State& core, int amount);

// While halted the core is in ARM state; a CPSR read reports the state it stopped in:
// the cpsr given with its T bit set when the core stopped in Thumb state, else clear.
uint32_t WithStateAtEntry(const Arm7State& core, uint32_t cpsr);

// Reads one register. For the CPSR the T bit shows the state the core had when it
// stopped. r0 to r14 are left unchanged (for 16 and 17 r0 is restored). Returns kOk, or
// kInvalidParameters for an index outside 0 to 17 (then only the preamble has been sent
// and value is kept).
[[nodiscard]] ResultCode ArmReadRegister(Arm7State& core, int index, uint32_t& value);

// ARM form: writes one register; the CPSR never gets the T bit. Index 15 also becomes
// element 15 of RegisterCache; 16 and 17 leave the value in r0 as well. Thumb form, for a
// core still executing Thumb code: only r0 (index 0), with no PC adjustment.
// Returns kOk; kInvalidParameters for an index outside 0 to 17, or in the Thumb form for
// any other index than 0 (nothing sent).
[[nodiscard]] ResultCode ArmWriteRegister(Arm7State& core, int index, uint32_t value, WriteForm form);

}  // namespace vantrel::arm7
