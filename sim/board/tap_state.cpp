#include "board/tap_state.h"

namespace vsim {

namespace {

using S = TapState;

struct Moves {
  TapState tms0;
  TapState tms1;
};

// Indexed by TapState.
constexpr Moves kMoves[kTapStateCount] = {
    {S::kRunTestIdle, S::kTestLogicReset},  // Test-Logic-Reset
    {S::kRunTestIdle, S::kSelectDrScan},    // Run-Test/Idle
    {S::kCaptureDr, S::kSelectIrScan},      // Select-DR-Scan
    {S::kShiftDr, S::kExit1Dr},             // Capture-DR
    {S::kShiftDr, S::kExit1Dr},             // Shift-DR
    {S::kPauseDr, S::kUpdateDr},            // Exit1-DR
    {S::kPauseDr, S::kExit2Dr},             // Pause-DR
    {S::kShiftDr, S::kUpdateDr},            // Exit2-DR
    {S::kRunTestIdle, S::kSelectDrScan},    // Update-DR
    {S::kCaptureIr, S::kTestLogicReset},    // Select-IR-Scan
    {S::kShiftIr, S::kExit1Ir},             // Capture-IR
    {S::kShiftIr, S::kExit1Ir},             // Shift-IR
    {S::kPauseIr, S::kUpdateIr},            // Exit1-IR
    {S::kPauseIr, S::kExit2Ir},             // Pause-IR
    {S::kShiftIr, S::kUpdateIr},            // Exit2-IR
    {S::kRunTestIdle, S::kSelectDrScan},    // Update-IR
};

constexpr const char* kNames[kTapStateCount] = {
    "Test-Logic-Reset", "Run-Test/Idle", "Select-DR-Scan", "Capture-DR",     "Shift-DR",   "Exit1-DR",
    "Pause-DR",         "Exit2-DR",      "Update-DR",      "Select-IR-Scan", "Capture-IR", "Shift-IR",
    "Exit1-IR",         "Pause-IR",      "Exit2-IR",       "Update-IR",
};

}  // namespace

TapState NextTapState(TapState state, bool tms) {
  const Moves& m = kMoves[static_cast<int>(state)];
  return tms ? m.tms1 : m.tms0;
}

const char* TapStateName(TapState state) { return kNames[static_cast<int>(state)]; }

}  // namespace vsim
