// What the debug core can tell about its link to the core from what its scans return
// anyway, at no access of its own: every instruction scan captures the TAP's fixed
// Capture-IR pattern, the debug status register is five bits wide, a system-speed access
// ends with the core back in debug state, and every TAP cycle samples the power-sense
// lines (cable layer). A cable pulled out, power lost or a core that no longer halts shows
// up as one of them. The observations are sticky: a transfer clears them at its start and
// asks at each block boundary.
#pragma once

#include <cstdint>

#include "cable/tap_path.h"

namespace vantrel::arm7 {

struct Arm7State;

// IR scan through the TAP that checks the captured pattern. Returns nothing: the capture
// is only evidence.
void ScanInstruction(Arm7State& core, uint32_t instruction, cable::ScanEnd end);

// A debug status value; bits the register does not have mean the link is lost.
void NoteDebugStatus(Arm7State& core, uint32_t status);
// A system-speed access after which the core did not come back into debug state.
void NoteHaltMissed(Arm7State& core);
// Words that went through the comms channel other than one by one, in order.
void NoteCommsOutOfStep(Arm7State& core);

// After a RESTART the core makes its system-speed access and drops back into debug
// state by itself; this polls the debug status for a few milliseconds and notes a halt
// missed when the core is not back. Leaves chain 2 selected. Returns true when the core
// is back: a status with bits the register does not have (a cable pulled out reads all
// ones) ends the polls as before, but is no halt.
bool WaitUntilHaltedAgain(Arm7State& core);

// Anything seen since the last clear, the cable's power-sense observation included.
[[nodiscard]] bool LinkLost(Arm7State& core);
// Words out of step in the comms channel and nothing else: the cable held, and the core
// halted again, so it can be asked why (an access of its that aborted, for one).
[[nodiscard]] bool OnlyCommsOutOfStep(Arm7State& core);
void ClearLinkObservations(Arm7State& core);

}  // namespace vantrel::arm7
