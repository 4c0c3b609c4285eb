// The TAP state table on its own: every state, both TMS levels, against the IEEE 1149.1
// diagram written out here edge by edge.
#include <gtest/gtest.h>

#include "board/tap_state.h"

namespace vsim {
namespace {

using S = TapState;

struct Edge {
  TapState from;
  bool tms;
  TapState to;
};

// Grouped by TMS level rather than by state, so that a slip in the board's table does
// not repeat itself here.
constexpr Edge kDiagram[] = {
    {S::kTestLogicReset, false, S::kRunTestIdle},
    {S::kRunTestIdle, false, S::kRunTestIdle},
    {S::kSelectDrScan, false, S::kCaptureDr},
    {S::kCaptureDr, false, S::kShiftDr},
    {S::kShiftDr, false, S::kShiftDr},
    {S::kExit1Dr, false, S::kPauseDr},
    {S::kPauseDr, false, S::kPauseDr},
    {S::kExit2Dr, false, S::kShiftDr},
    {S::kUpdateDr, false, S::kRunTestIdle},
    {S::kSelectIrScan, false, S::kCaptureIr},
    {S::kCaptureIr, false, S::kShiftIr},
    {S::kShiftIr, false, S::kShiftIr},
    {S::kExit1Ir, false, S::kPauseIr},
    {S::kPauseIr, false, S::kPauseIr},
    {S::kExit2Ir, false, S::kShiftIr},
    {S::kUpdateIr, false, S::kRunTestIdle},

    {S::kTestLogicReset, true, S::kTestLogicReset},
    {S::kRunTestIdle, true, S::kSelectDrScan},
    {S::kSelectDrScan, true, S::kSelectIrScan},
    {S::kCaptureDr, true, S::kExit1Dr},
    {S::kShiftDr, true, S::kExit1Dr},
    {S::kExit1Dr, true, S::kUpdateDr},
    {S::kPauseDr, true, S::kExit2Dr},
    {S::kExit2Dr, true, S::kUpdateDr},
    {S::kUpdateDr, true, S::kSelectDrScan},
    {S::kSelectIrScan, true, S::kTestLogicReset},
    {S::kCaptureIr, true, S::kExit1Ir},
    {S::kShiftIr, true, S::kExit1Ir},
    {S::kExit1Ir, true, S::kUpdateIr},
    {S::kPauseIr, true, S::kExit2Ir},
    {S::kExit2Ir, true, S::kUpdateIr},
    {S::kUpdateIr, true, S::kSelectDrScan},
};

TEST(TapStateTable, EveryStateAndTmsLevelFollowsTheDiagram) {
  bool seen[kTapStateCount][2] = {};
  for (const Edge& e : kDiagram) {
    EXPECT_EQ(NextTapState(e.from, e.tms), e.to)
        << TapStateName(e.from) << " with TMS " << e.tms << " goes to " << TapStateName(NextTapState(e.from, e.tms))
        << ", not " << TapStateName(e.to);
    seen[static_cast<int>(e.from)][e.tms ? 1 : 0] = true;
  }
  for (int s = 0; s < kTapStateCount; ++s) {
    EXPECT_TRUE(seen[s][0] && seen[s][1]) << "the diagram above misses an edge of state " << s;
  }
}

TEST(TapStateTable, FiveTmsHighEdgesReachTestLogicResetFromAnyState) {
  for (int s = 0; s < kTapStateCount; ++s) {
    TapState state = static_cast<TapState>(s);
    for (int i = 0; i < 5; ++i) state = NextTapState(state, true);
    EXPECT_EQ(state, S::kTestLogicReset) << "from " << TapStateName(static_cast<TapState>(s));
  }
}

}  // namespace
}  // namespace vsim
