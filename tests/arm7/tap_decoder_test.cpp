// The decoder and the scripted target are test fixtures; these tests pin them to the
// standard TAP and to literal port traces, so that they cannot drift with the driver.
#include "support/tap_decoder.h"

#include <gtest/gtest.h>

#include "support/scripted_target.h"

namespace vantrel::test {
namespace {

constexpr uint16_t kData = 0x378;

// One TCK cycle as literal accesses: lines with TCK low, a status read, TCK high.
void Clock(std::vector<PortAccessRecord>& log, bool tms, bool tdi, bool tdo = false) {
  const uint8_t low = static_cast<uint8_t>(0x01 | (tms ? 0x02 : 0) | (tdi ? 0x08 : 0));
  log.push_back({true, kData, low});
  log.push_back({false, kData + 1, static_cast<uint8_t>(tdo ? 0x00 : 0x80)});
  log.push_back({true, kData, static_cast<uint8_t>(low | 0x04)});
}

TEST(TapDecoder, DecodesAnInstructionScanFromLiteralTraffic) {
  std::vector<PortAccessRecord> log;
  Clock(log, true, false);                         // Select-DR
  Clock(log, true, false);                         // Select-IR
  Clock(log, false, false);                        // Capture-IR
  Clock(log, false, false);                        // Shift-IR
  const bool bits[] = {false, false, true, true};  // 0xC, least significant bit first
  const bool captured[] = {true, false, false, false};
  for (int i = 0; i < 4; ++i) Clock(log, i == 3, bits[i], captured[i]);
  Clock(log, true, false);   // Update-IR
  Clock(log, false, false);  // Run-Test/Idle
  Clock(log, false, false);  // a clock spent in Run-Test/Idle

  const std::vector<TapOp> ops = DecodeTap(log, kData);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].kind, TapOp::Kind::kIrScan);
  EXPECT_EQ(ops[0].length, 4);
  EXPECT_EQ(ops[0].TdiValue(), 0xCu);
  EXPECT_EQ(ops[0].TdoValue(), 0x1u);
  EXPECT_TRUE(ops[0].toIdle);
  EXPECT_EQ(ops[0].idleClocks, 1);
  EXPECT_EQ(JoinLines(DescribeDebugOps(ops)), "intest +idle\n");
}

TEST(TapDecoder, ResetIsOneOperationWhateverTheStartingState) {
  for (TapState start : {TapState::kTestLogicReset, TapState::kRunTestIdle, TapState::kShiftDr}) {
    std::vector<PortAccessRecord> log;
    for (int i = 0; i < 8; ++i) Clock(log, true, true);
    Clock(log, false, true);
    const std::vector<TapOp> ops = DecodeTap(log, kData, start);
    // From Shift-DR the walk passes Update-DR first, which is a (meaningless) scan.
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.back().kind, TapOp::Kind::kReset);
    EXPECT_TRUE(ops.back().toIdle);
  }
}

TEST(TapDecoder, PauseAndExit2ContinueTheSameShift) {
  std::vector<PortAccessRecord> log;
  Clock(log, true, false);   // Select-DR
  Clock(log, false, false);  // Capture-DR
  Clock(log, false, false);  // Shift-DR
  Clock(log, true, true);    // bit 0, to Exit1-DR
  Clock(log, false, false);  // Pause-DR
  Clock(log, true, false);   // Exit2-DR
  Clock(log, false, false);  // Shift-DR again, no capture
  Clock(log, true, true);    // bit 1, to Exit1-DR
  Clock(log, true, false);   // Update-DR
  const std::vector<TapOp> ops = DecodeTap(log, kData);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].length, 2);
  EXPECT_EQ(ops[0].TdiValue(), 0x3u);
  EXPECT_FALSE(ops[0].toIdle);
}

// The target follows edges itself: an IDCODE read through it comes back whole.
TEST(ScriptedTarget, AnswersTheIdcodeThroughItsOwnTap) {
  RecordingPort port;
  ScriptedTarget target(port);
  target.SetIdcode(0x1234ABCD);
  VantrelPortIo io = port.Io();
  auto write = [&](uint8_t value) { io.write(io.context, kData, value); };
  auto tdo = [&] { return (io.read(io.context, kData + 1) & 0x80) == 0; };
  auto clock = [&](bool tms, bool tdi) {
    const uint8_t low = static_cast<uint8_t>(0x01 | (tms ? 0x02 : 0) | (tdi ? 0x08 : 0));
    write(low);
    const bool bit = tdo();
    write(static_cast<uint8_t>(low | 0x04));
    return bit;
  };
  for (int i = 0; i < 5; ++i) clock(true, false);  // Test-Logic-Reset: IDCODE selected
  clock(false, false);                             // Run-Test/Idle
  clock(true, false);                              // Select-DR
  clock(false, false);                             // Capture-DR
  clock(false, false);                             // Shift-DR
  uint32_t value = 0;
  for (int i = 0; i < 32; ++i) value |= (clock(i == 31, false) ? 1u : 0u) << i;
  EXPECT_EQ(value, 0x1234ABCDu);
}

}  // namespace
}  // namespace vantrel::test
