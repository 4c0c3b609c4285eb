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

// Makes the cable of kindName the active one and opens it on portName: kOk,
// kEmulatorNotFound, kNoPortAccess, kSimulatorRequested for the simulator's kind, or
// kInvalidParameters for a kind or port name nobody knows.
[[nodiscard]] ResultCode OpenCable(std::string_view kindName, std::string_view portName);
// Pulses the target's reset line and leaves the TAP in Run-Test/Idle; kEmulatorNotFound
// when no cable is opened.
[[nodiscard]] ResultCode PulseTargetReset();
void ResetTapToIdle();
// The TAP goes to Test-Logic-Reset, where the core runs free of the debug logic.
void LeaveTapInReset();
// The TAP is no longer taken to be in Run-Test/Idle (the ICE refuses until a reset).
void ForgetTapActive();
// Every line of the cable low, the target's reset included.
void DriveCableLinesLow();
// Lets go of the cable's lines and devices; the cable stays opened.
void ReleaseCable();
// A power reading was taken and showed a sense line bad.
bool PowerReadBad();
// Samples the power-sense lines: VANTREL_POWER_* bits, or -1 with no cable opened.
int32_t ReadPowerLines();
// Around a background job that drives the cable from its own thread.
void LendCableToJob();
void LetCableCatchUp();
// An export call ends: nothing of it may stay behind in the cable.
void CableGoesIdle();
// The library unloads.
void LeaveCableAtUnload();
// The port seam, the host's transfer mode and lpt.ini's work area (cable/port_io.h,
// cable/port_config.h).
void UsePortIo(const VantrelPortIo* io, VantrelPortBatch batch);
void SetHostTransferMode(int mode);
std::optional<core::WorkArea> ConfiguredWorkArea();

}  // namespace vantrel::arm7
