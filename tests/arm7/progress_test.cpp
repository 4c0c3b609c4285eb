#include "arm7/progress.h"

#include <climits>

#include "arm7/arm7tdmi_core.h"
#include "arm7_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

class ProgressTest : public Arm7Test {};

TEST_F(ProgressTest, PercentIsTruncatedAndKeptWithin0To100) {
  struct Case {
    int32_t done;
    int32_t total;
    int32_t percent;
  };
  const Case cases[] = {
      {512, 1024, 50},
      {1, 3, 33},
      {0, 1024, 0},
      {8, 1, 100},     // a one-word read reports a whole block
      {112, 60, 100},  // a 60-byte write reports whole words
      {0, 0, 100},
      {5, -1, 100},                        // nothing to divide by: done
      {1'000'000'000, 2'000'000'000, 50},  // done x 100 does not fit in 32 bits
      {INT_MAX, INT_MAX, 100},
      {-8, 16, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReportProgress(core_, c.done, c.total), 0);
    EXPECT_EQ(ProgressPercent(core_), c.percent) << c.done << " of " << c.total;
  }
}

TEST_F(ProgressTest, StopsOnBreakRequestOrBadPower) {
  EXPECT_EQ(cable::PowerStatus(session_.Port()), cable::kPowerNeverRead);
  EXPECT_EQ(ReportProgress(core_, 1, 2), 0);  // never read: no reason to stop

  SetBreakRequest(core_, 1);
  EXPECT_EQ(ReportProgress(core_, 1, 2), 1);
  ResetProgress(core_);
  EXPECT_EQ(BreakRequest(core_), 0);
  EXPECT_EQ(ProgressPercent(core_), 0);

  for (int read = 0; read < 2; ++read) port_.QueueStatus(0x80 | 0x20);  // second sense line bad
  EXPECT_EQ(cable::ReadPowerLines(session_.Port()), cable::kFirstSenseLineGood);
  EXPECT_EQ(ReportProgress(core_, 1, 2), 1);

  for (int read = 0; read < 2; ++read) port_.QueueStatus(0x80);  // both good
  EXPECT_EQ(cable::ReadPowerLines(session_.Port()), cable::kPowerGood);
  EXPECT_EQ(ReportProgress(core_, 1, 2), 0);
}

// The host polls and stops a transfer through the progress a core hands out: it must be
// that core's, not one shared by every core of the process.
TEST(CoreProgress, EachCoreReportsAndStopsOnItsOwn) {
  Arm7tdmiCore first;
  Arm7tdmiCore second;
  first.Progress().RequestBreak();
  EXPECT_TRUE(first.Progress().Report(1, 4));
  EXPECT_FALSE(second.Progress().Report(3, 4));
  EXPECT_EQ(first.Progress().Percent(), 25);
  EXPECT_EQ(second.Progress().Percent(), 75);
  EXPECT_EQ(ProgressPercent(second.State()), 75);

  first.Progress().Reset();
  EXPECT_FALSE(BreakRequest(first.State()));
  EXPECT_EQ(ProgressPercent(first.State()), 0);
  EXPECT_EQ(second.Progress().Percent(), 75);
}

}  // namespace
}  // namespace vantrel::test
