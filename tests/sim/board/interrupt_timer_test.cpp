// The board's periodic timer: when it raises its line, that the line stays up until the
// firmware acknowledges, and the --timer option's text.
#include "board/interrupt_timer.h"

#include <gtest/gtest.h>

namespace vsim::test {
namespace {

TEST(InterruptTimer, RaisesEveryPeriodAndHoldsUntilAcknowledged) {
  InterruptTimer timer;
  timer.Configure({3, InterruptLine::kFiq});
  timer.Tick();
  timer.Tick();
  EXPECT_FALSE(timer.Pending());
  timer.Tick();
  EXPECT_TRUE(timer.Pending());
  EXPECT_EQ(timer.Line(), InterruptLine::kFiq);
  for (int i = 0; i < 7; ++i) timer.Tick();
  EXPECT_TRUE(timer.Pending());
  timer.Acknowledge();
  EXPECT_FALSE(timer.Pending());
  timer.Tick();  // ten ticks so far: the next interrupt comes at the twelfth
  EXPECT_FALSE(timer.Pending());
  timer.Tick();
  EXPECT_TRUE(timer.Pending());
}

TEST(InterruptTimer, WithoutAPeriodNeverRaises) {
  InterruptTimer timer;
  for (int i = 0; i < 100; ++i) timer.Tick();
  EXPECT_FALSE(timer.Pending());
}

TEST(ParseTimerOption, AcceptsAPeriodAndALineAndRefusesTheRest) {
  struct Case {
    const char* text;
    bool accepted;
    uint32_t period;
    InterruptLine line;
  };
  const Case cases[] = {
      {"1000", true, 1000, InterruptLine::kIrq},
      {"50:irq", true, 50, InterruptLine::kIrq},
      {"7:fiq", true, 7, InterruptLine::kFiq},
      {"1000000000", true, 1000000000, InterruptLine::kIrq},
      {"0", false, 0, {}},
      {"1000000001", false, 0, {}},
      {"-5", false, 0, {}},
      {"", false, 0, {}},
      {"10:nmi", false, 0, {}},
      {"10x", false, 0, {}},
      {":fiq", false, 0, {}},
      {"99999999999999999999999", false, 0, {}},
  };
  for (const Case& c : cases) {
    TimerConfig config{9, InterruptLine::kIrq};
    const std::string error = ParseTimerOption(c.text, &config);
    EXPECT_EQ(error.empty(), c.accepted) << c.text << ": " << error;
    EXPECT_EQ(config.period, c.accepted ? c.period : 9u) << c.text;
    if (c.accepted) {
      EXPECT_EQ(config.line, c.line) << c.text;
    }
  }
}

}  // namespace
}  // namespace vsim::test
