// The sixteen states of the IEEE 1149.1 TAP controller and the move that TMS makes on
// each rising TCK edge. Kept alone so that the table can be tested on its own.
#pragma once

#include <cstdint>

namespace vsim {

enum class TapState : uint8_t {
  kTestLogicReset,
  kRunTestIdle,
  kSelectDrScan,
  kCaptureDr,
  kShiftDr,
  kExit1Dr,
  kPauseDr,
  kExit2Dr,
  kUpdateDr,
  kSelectIrScan,
  kCaptureIr,
  kShiftIr,
  kExit1Ir,
  kPauseIr,
  kExit2Ir,
  kUpdateIr,
};

inline constexpr int kTapStateCount = 16;

TapState NextTapState(TapState state, bool tms);
const char* TapStateName(TapState state);

}  // namespace vsim
