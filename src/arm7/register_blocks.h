// All of the halted core's registers at once, for hosts that chose the fast mode: one
// STM drives r0-r15 onto the data bus, one LDM takes r0-r14 back, under the fast clocks
// and with the chain selection kept. Needs a core halted in debug state, in ARM state,
// with a register sequence's "adjust, NOP, NOP" last sent (as the debug-state entry and
// every register access leave it); each ends the same way, so the PC does not drift.
#pragma once

#include <array>
#include <cstdint>

#include "arm7/core_state.h"

namespace vantrel::arm7 {

// r0-r15 and the CPSR into registers, the values ArmReadRegister gives for indexes 0 to
// 16 (the CPSR's T bit the state the core had when it stopped). The core's registers are
// left as they were.
void ArmReadAllRegisters(Arm7State& core, std::array<uint32_t, kRegisterCacheSize>& registers);

// The CPSR (without its T bit), then r0-r14, from registers. The PC is not written: the
// caller writes it, or resumes the core, which does.
void ArmWriteRegistersButPc(Arm7State& core, const std::array<uint32_t, kRegisterCacheSize>& registers);

// The CPSR (without its T bit), then r0-r14 and the PC from one LDM, the PC being
// target: the core is left with a branch to target under way, whose fetches at target
// and target + 4 are the next two accesses (as after ArmWriteRegister of the PC, with
// target 4 bytes below the value written). Element 15 of registers is not used.
void ArmWriteRegistersAndBranch(Arm7State& core, const std::array<uint32_t, kRegisterCacheSize>& registers,
                                uint32_t target);

// The CPSR as ArmReadRegister gives it, with fewer accesses, for the checks after a
// memory transfer, which has changed r0 and left the PC's invariant behind already: r0
// is left holding the CPSR, and the PC is not adjusted (it is written before the core
// runs, or before it is read again).
uint32_t ArmReadCpsrFast(Arm7State& core);

}  // namespace vantrel::arm7
