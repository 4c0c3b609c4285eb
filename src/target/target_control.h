// The operations that move TargetState: connect (reset, identify, halt), disconnect,
// reconnect, run, stop, and setting the halted core's PC. Each one looks at TargetState
// first; refusals make no port access. Only one thread at a time may call them (the host
// interface serialises commands and background transfers).
#pragma once

#include <cstdint>

#include "common/result_code.h"
#include "target/target_state.h"

namespace vantrel::target {

class TargetLayerState;

// Resets the target through the cable's reset line, checks its IDCODE, halts the core
// right after the reset, sets its PC to 0 in ARM state (the reset vector) and saves the
// registers; TargetState 0x300.
// In 0x300 it does nothing and returns kOk. Needs a cable opened once (CableOpenedOnce).
// Returns kOk; kEmulatorNotFound (no cable opened, or no port selected any more;
// TargetState unchanged); kTargetNotFound (IDCODE refused, the core did not halt, or the
// link to it was lost: the target has been reset all the same and runs, TargetState 0x200).
[[nodiscard]] ResultCode ConnectTarget(TargetLayerState& target);

// Halts a running core, restarts it from address 0 with the watchpoints off, and resets
// the TAP into Test-Logic-Reset (TapActive 0); TargetState 0x200. Accepted in every state
// but 0x200. Returns kOk; kAlreadyDown when the target is already down (nothing sent,
// TapActive 0); kHaltFailed when the running core did not halt (TapActive 0; a state that
// said halted becomes 0x500, since the core runs).
[[nodiscard]] ResultCode DisconnectTarget(TargetLayerState& target);

// DisconnectTarget (result ignored), then a connect from the reset line whatever state the
// disconnect left (so a failed disconnect in 0x300 connects too); returns the connect's
// result as ConnectTarget gives it.
[[nodiscard]] ResultCode ReconnectTarget(TargetLayerState& target);

// Writes the register cache back and lets the core continue at the saved PC, in the
// instruction-set state it had when it stopped; TargetState 0x500. Accepted in 0x300 and
// 0x400; in 0x500 nothing is done. Returns kOk or kStatusError. interruptsMasked keeps the core's
// interrupts masked (the debug control's INTDIS) until the next halt, for a host's step.
[[nodiscard]] ResultCode RunTarget(TargetLayerState& target, bool interruptsMasked = false);

// Halts the running core and saves its registers; TargetState 0x400. In 0x400 nothing is
// done. word receives the saved PC after a stop (left alone otherwise). Returns kOk;
// kHaltFailed when the core did not halt or the link was lost while its registers were
// read (TargetState stays 0x500, the register cache is not the core's); kStatusError in
// any state but 0x400 and 0x500 (0x300 included).
[[nodiscard]] ResultCode StopTarget(TargetLayerState& target, uint32_t& word);

// Writes the halted core's PC (and the saved PC), then saves every register again.
// Accepted in 0x300 and 0x400. Returns kOk or kStatusError.
[[nodiscard]] ResultCode SetPc(TargetLayerState& target, uint32_t address);

}  // namespace vantrel::target
