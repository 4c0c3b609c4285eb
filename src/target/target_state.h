// The state of the connection to the target, which every operation of the target
// control layer looks at before it touches the target.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/result_code.h"
#include "vantrel.h"

namespace vantrel::target {

class TargetLayerState;

inline constexpr uint32_t kNothingOpened = 0xFF00;               // at load
inline constexpr uint32_t kTargetDown = VANTREL_STATE_DOWN;      // cable open, or target disconnected
inline constexpr uint32_t kConnected = VANTREL_STATE_CONNECTED;  // reset, identified, halted, registers saved
inline constexpr uint32_t kHalted = VANTREL_STATE_HALTED;        // halted after a stop or a download
inline constexpr uint32_t kRunning = VANTREL_STATE_RUNNING;

uint32_t TargetState(const TargetLayerState& target);
void SetTargetState(TargetLayerState& target, uint32_t state);  // checks nothing
// 0x300 and 0x400: the core is halted in debug state with its registers in the cache.
bool CoreHalted(const TargetLayerState& target);

// False until a cable has been opened once, then true for good.
bool CableOpenedOnce(const TargetLayerState& target);

// kindName "lpt" (any case) opens the cable on portName "lpt1".."lpt3" (any case).
// Returns kOk (TargetState 0x200), kInvalidParameters (bad names), kSimulatorRequested
// ("KORVIX"), kEmulatorNotFound or kNoPortAccess (cable).
[[nodiscard]] ResultCode OpenEmulator(TargetLayerState& target, std::string_view kindName, std::string_view portName);

}  // namespace vantrel::target
