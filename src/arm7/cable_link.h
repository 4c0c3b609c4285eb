// What the layers above the core need of the cable itself: opening it, the target's
// reset line, the TAP left in reset, the power lines, and lending it to a background
// job. Everything else reaches the cable through the core's own operations.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/result_code.h"
#include "core/debug_core.h"
#include "vantrel_port.h"

namespace vantrel::arm7 {

struct Arm7State;

// Makes the cable of kindName the active one and opens it on portName: kOk,
// kEmulatorNotFound, kNoPortAccess, kSimulatorRequested for the simulator's kind, or
// kInvalidParameters for a kind or port name nobody knows.
[[nodiscard]] ResultCode OpenCable(Arm7State& core, std::string_view kindName, std::string_view portName);
// Pulses the target's reset line and leaves the TAP in Run-Test/Idle; kEmulatorNotFound
// when no cable is opened.
[[nodiscard]] ResultCode PulseTargetReset(Arm7State& core);
void ResetTapToIdle(Arm7State& core);
// The TAP goes to Test-Logic-Reset, where the core runs free of the debug logic.
void LeaveTapInReset(Arm7State& core);
// The TAP is no longer taken to be in Run-Test/Idle (the ICE refuses until a reset).
void ForgetTapActive(Arm7State& core);
// Every line of the cable low, the target's reset included.
void DriveCableLinesLow(Arm7State& core);
// Lets go of the cable's lines and devices; the cable stays opened.
void ReleaseCable(Arm7State& core);
// A power reading was taken and showed a sense line bad.
bool PowerReadBad(Arm7State& core);
// Samples the power-sense lines: VANTREL_POWER_* bits, or -1 with no cable opened.
int32_t ReadPowerLines(Arm7State& core);
// Around a background job that drives the cable from its own thread.
void LendCableToJob(Arm7State& core);
void LetCableCatchUp(Arm7State& core);
// An export call ends: nothing of it may stay behind in the cable.
void CableGoesIdle(Arm7State& core);
// The library unloads.
void LeaveCableAtUnload(Arm7State& core);
// The port seam, the host's transfer mode and lpt.ini's work area (cable/port_io.h,
// cable/port_config.h).
void UsePortIo(Arm7State& core, const VantrelPortIo* io, VantrelPortBatch batch);
void SetHostTransferMode(Arm7State& core, int mode);
std::optional<core::WorkArea> ConfiguredWorkArea(Arm7State& core);

}  // namespace vantrel::arm7
