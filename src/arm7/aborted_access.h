// After code that the halted core was let run (the comms loop, the checksum loop): an
// access of that code that aborted took the core into Abort mode before watchpoint 1
// halted it at the vector.
#pragma once

namespace vantrel::arm7 {

struct Arm7State;

// True when the core is in another mode than the one it halted in; the CPSR then goes
// back to the one RegisterCache holds. Reading back alone cannot tell: the registers an
// aborted load loaded may hold the very words expected. Changes r0.
[[nodiscard]] bool AccessesAborted(Arm7State& core);

}  // namespace vantrel::arm7
