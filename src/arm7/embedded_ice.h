// The EmbeddedICE logic on scan chain 2: register access, the programming of the two
// watchpoint units (hardware breakpoint and software-breakpoint detector), the composite
// status word and the register dump. None of these passes through Run-Test/Idle: they
// leave the TAP in Update-DR. With no cable port selected no scan is made (reads give 0).
#pragma once

#include <cstdint>

#include "arm7/scan_chain.h"
#include "common/result_code.h"
#include "core/watchpoint_unit.h"

namespace vantrel::arm7 {

struct Arm7State;

// Reads an EmbeddedICE register (address 0 to 31). Refused while the last TAP reset left
// the TAP in Test-Logic-Reset (TapActive 0): a trace line, no scan, 0xFFFFFFFF. A debug
// status with bits the register does not have counts as a lost link (link_check.h).
uint32_t GetICEReg(Arm7State& core, int address);

// Writes an EmbeddedICE register (address 0 to 31) with one 38-bit scan. Does not look
// at TapActive.
void SetICEReg(Arm7State& core, int address, uint32_t value);

// Debug control read-modify-writes. Each keeps INTDIS from the read and nothing else
// (the library sets no other bit); a refused read keeps nothing.
void SetInterruptsDisabled(Arm7State& core);    // INTDIS set
void ClearInterruptsDisabled(Arm7State& core);  // every bit cleared
void ClearDebugRequest(Arm7State& core);        // DBGRQ and the forced DBGACK cleared, INTDIS kept

// Watchpoint 0's address (the hardware breakpoint), read back for the trace.
void SetHardwareBreakpoint(Arm7State& core, uint32_t address);
// Moves watchpoint 0 to address 0xFFFFFFFF; the unit stays enabled.
void ClearHardwareBreakpoint(Arm7State& core);
// Writes the software-breakpoint pattern to watchpoint 1's data value unless it equals
// LastBreakpointPattern (then nothing is scanned). The address is not used.
void SetBreakpointPattern(Arm7State& core, uint32_t address, uint32_t pattern);

// Arms watchpoint 0 as hardware breakpoint on the fetch at its address register, and
// watchpoint 1 as detector of the fetch of 0xBEBEBEBE (LastBreakpointPattern is left as
// it is); clears DBGRQ and sets INTDIS. Sleeps 1 ms. Run by every debug-state entry.
void ProgramWatchpoints(Arm7State& core);

// Around code that the halted core is let run (the comms loop): watchpoint 0 off, so
// that a hardware breakpoint inside that code does not stop it, and watchpoint 1 moved
// from the breakpoint pattern to every fetch from the exception vectors, so that an
// access that aborts halts the core at once instead of running the target's handler.
// Returns watchpoint 1's address value, for ArmWatchpointsAfterCode.
uint32_t ArmWatchpointsForCode(Arm7State& core);
// Watchpoint 0 on every fetch: the running core stops at its next instruction.
void ArmHaltAtNextFetch(Arm7State& core);
// Once the core is halted again: both units back as the debug-state entry left them.
void ArmWatchpointsAfterCode(Arm7State& core, uint32_t savedWp1Address);

// The status word for the host: bit 0 DBGACK; bit 4 when the debug status shows Thumb
// state or the core entered debug state in Thumb state (ArmStateAtEntry 0); bits 8 and up
// the caller's TargetState. A refused status read gives 0x11 | targetState << 8.
uint32_t ArmGetStatus(Arm7State& core, uint32_t targetState);

// Registers 0, 1, 4, 5, 8-13 and 16-21, in that order.
using core::IceDump;
using core::kIceDumpWords;

// Fills every word of dump with GetICEReg reads. Returns kOk, or kLinkLost when the
// reads went through a link that was lost (a cable pulled out reads all ones): the words
// are then not the registers'.
[[nodiscard]] ResultCode ReadIceRegisters(Arm7State& core, IceDump& dump);

}  // namespace vantrel::arm7
