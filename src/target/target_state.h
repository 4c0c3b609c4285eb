// The state of the connection to the target, which every operation of the target
// control layer looks at before it touches the target.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/result_code.h"
#include "vantrel.h"

namespace vantrel::target {

inline constexpr uint32_t kNothingOpened = 0xFF00;  // at load
inline constexpr uint32_t kTargetDown = VANTREL_STATE_DOWN;      // cable open, or target disconnected
inline constexpr uint32_t kConnected = VANTREL_STATE_CONNECTED;       // reset, identified, halted, registers saved
inline constexpr uint32_t kHalted = VANTREL_STATE_HALTED;          // halted after a stop or a download
inline constexpr uint32_t kRunning = VANTREL_STATE_RUNNING;

inline constexpr int32_t kNoCableOpened = -1;
inline constexpr int32_t kParallelCable = 1;

uint32_t TargetState();
void SetTargetState(uint32_t state);  // checks nothing
// 0x300 and 0x400: the core is halted in debug state with its registers in the cache.
bool CoreHalted();

// -1 until a cable has been opened once, then 1 for good.
int32_t ConnectionKind();

// kindName "lpt" (any case) opens the cable on portName "lpt1".."lpt3" (any case).
// Returns 0 (TargetState 0x200), -1 (bad names), -2 ("KORVIX"), -13 or -21 (cable).
[[nodiscard]] ResultCode OpenEmulator(std::string_view kindName, std::string_view portName);

}  // namespace vantrel::target
