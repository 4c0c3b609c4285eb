// Taking the ARM7TDMI core into and out of debug state, and checking that the device
// behind the cable is one.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::arm7 {

struct Arm7State;

// The 32-bit IDCODE; leaves the TAP in Update-DR. 0 when no cable port is selected
// (nothing scanned).
uint32_t ReadIdcode(Arm7State& core);

// Resets the TAP to Run-Test/Idle and reads the IDCODE. Returns kOk when its low 12 bits
// are 0xF0F (the TAP is then reset into Test-Logic-Reset, TapActive false), else
// kTargetNotFound (the TAP stays in Update-DR, TapActive true).
[[nodiscard]] ResultCode CheckTargetId(Arm7State& core);

// Halts the core (by watchpoint 0 on the next fetch) unless it is halted already, waiting
// 10 ms and then polling up to 50 times 1 ms apart. Then disables interrupts, brings a
// core stopped in Thumb state into ARM state with r0 kept, records that state in
// ArmStateAtEntry, corrects the PC and programs the watchpoints. Needs TapActive 1.
// Returns kOk (halted in ARM state; TAP in Update-DR), or kHaltFailed when the core did
// not halt (watchpoint 0 stays armed as halt request) or the link to it was lost on the
// way (link_check.h; the observations are cleared first).
[[nodiscard]] ResultCode ArmEnterDebug(Arm7State& core);

// True when the last ArmEnterDebug found the core running and halted it; false when the
// core had stopped by itself (a breakpoint or a watchpoint).
[[nodiscard]] bool LastEntryRequested(const Arm7State& core);

// ArmEnterDebug's contract under the fast clocks, for hosts that chose the fast mode.
// While the watchpoints are as the last entry programmed them (WatchpointsAsProgrammed),
// the halt is requested by opening watchpoint 0's address mask and closed again, the
// debug status is polled at once instead of after a wait, and the units are not
// programmed anew; otherwise it is ArmEnterDebug. Either way the core ends halted in the
// same state, with the PC corrected in the same way.
[[nodiscard]] ResultCode ArmEnterDebugFast(Arm7State& core);

// Leaves debug state with both watchpoints off and DBGRQ clear, the core running from
// address 0. The TAP ends in Run-Test/Idle with RESTART loaded.
void ArmRestartFromZero(Arm7State& core);

// Leaves debug state so that the core continues at element 15 of RegisterCache, in the
// state it had when it stopped; both watchpoints on (host_units.h), INTDIS clear, or set
// when interruptsMasked (a host's single step: no interrupt handler runs inside it).
// Needs the registers already written back (element 15 is restored afterwards). The TAP
// ends in Run-Test/Idle with RESTART loaded.
void ArmResume(Arm7State& core, bool interruptsMasked = false);

// RestoreRegisters (the register cache back to the core) and ArmResume in one, under the
// fast clocks: the registers in one block, in ARM state with the PC in the same block;
// the units are enabled only when they are not as the last entry programmed them, and
// debug control is written without a read (INTDIS set when interruptsMasked).
void ArmResumeFast(Arm7State& core, bool interruptsMasked = false);

// Leaves debug state so that the core runs ARM code from address, with r1 and r2 loaded
// by the same LDM that branches there, and the watchpoints and INTDIS as they are
// (interrupts stay off). RegisterCache is not touched: the host's registers go back
// before the core resumes. The TAP ends in Run-Test/Idle with RESTART loaded.
void ArmRunFrom(Arm7State& core, uint32_t address, uint32_t r1, uint32_t r2);

}  // namespace vantrel::arm7
