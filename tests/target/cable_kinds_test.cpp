// The target layer over both kinds of cable the tests know: the parallel-port cable on
// the simulated board's port, and the cable that clocks the board's TAP directly. The
// core above the seam sees whole scans, so both must leave the board in the same state,
// find the same faults, and make the same TCK cycles.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "arm7/core_state.h"
#include "arm7/link_check.h"
#include "arm7/progress.h"
#include "board/board.h"
#include "cable/cable.h"
#include "cable/cable_registry.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "support/fresh_session.h"
#include "support/sim_tap_cable/sim_tap_cable.h"
#include "target/cable_link.h"
#include "target/memory_transfer.h"
#include "target/register_cache.h"
#include "target/target_control.h"
#include "target/target_state.h"

namespace vantrel::test {
namespace {

enum class Wire { kParallelPort, kDirectTap };

constexpr int kCurrentMode = 0;
constexpr int kWordWidth = 4;

// One session's cable on a fresh board; the library's state as at load.
class WiredBoard {
 public:
  WiredBoard(Wire wire, vsim::BoardConfig config) : board_(ConfigWithoutFreeRunning(std::move(config))) {
    if (wire == Wire::kDirectTap) {
      session_.Cables().Install(&tapCable_);
    } else {
      session_.Cables().UsePortIo(&io_, nullptr);
    }
  }
  ~WiredBoard() {
    session_.Cables().Install(nullptr);
    session_.Cables().UsePortIo(nullptr, nullptr);
  }
  WiredBoard(const WiredBoard&) = delete;
  WiredBoard& operator=(const WiredBoard&) = delete;

  vsim::Board& board() { return board_; }
  target::TargetLayerState& Target() { return session_.Target(); }

 private:
  // Only TCK edges move the core: both cables then see the same core at every scan.
  static vsim::BoardConfig ConfigWithoutFreeRunning(vsim::BoardConfig config) {
    config.freeRunInstructionsPerMs = 0;
    return config;
  }
  static unsigned char Read(void* board, unsigned short port) {
    return static_cast<vsim::Board*>(board)->PortRead(port);
  }
  static void Write(void* board, unsigned short port, unsigned char value) {
    static_cast<vsim::Board*>(board)->PortWrite(port, value);
  }

  FreshSession session_;
  vsim::Board board_;
  SimTapCable tapCable_{board_};
  VantrelPortIo io_{&board_, nullptr, &Read, &Write};
};

struct SessionOutcome {
  uint32_t stoppedPc = 0;
  uint32_t r3 = 0;
  std::array<uint8_t, 16> fetched{};
  uint64_t tckCycles = 0;
  uint64_t portAccesses = 0;
};

// Connect, write a register and memory, read memory the board holds, run and stop.
SessionOutcome RunSession(Wire wire) {
  WiredBoard wired(wire, {});
  vsim::Board& board = wired.board();
  board.WriteWord(0x2000, 0x11223344);
  board.WriteWord(0x200C, 0xA5A5A5A5);
  SessionOutcome outcome;
  EXPECT_EQ(target::OpenEmulator(wired.Target(), "lpt", "lpt1"), kOk);
  // The parallel cable's presence byte raises TCK once; from here on the scans count.
  board.ResetCounters();
  EXPECT_EQ(target::ConnectTarget(wired.Target()), kOk);
  EXPECT_TRUE(board.InDebugState());
  EXPECT_EQ(target::WriteRegister(wired.Target(), kCurrentMode, 3, 0x12345678), kOk);
  const std::array<uint8_t, 8> stored{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(target::StoreTargetMemory(wired.Target(), 0x1000, 8, stored.data(), kWordWidth), kOk);
  EXPECT_EQ(target::FetchTargetMemory(wired.Target(), 0x2000, 16, outcome.fetched.data()), kOk);
  EXPECT_EQ(target::RunTarget(wired.Target()), kOk);
  EXPECT_FALSE(board.InDebugState());
  EXPECT_EQ(target::StopTarget(wired.Target(), outcome.stoppedPc), kOk);
  EXPECT_TRUE(board.InDebugState());
  std::array<uint8_t, 8> onBoard{};
  EXPECT_TRUE(board.ReadMemory(0x1000, onBoard));
  EXPECT_EQ(onBoard, stored);
  outcome.r3 = board.Reg(3);
  outcome.tckCycles = board.Counters().tckCycles;
  outcome.portAccesses = board.Counters().portAccesses;
  return outcome;
}

class EitherCable : public ::testing::TestWithParam<Wire> {};

TEST_P(EitherCable, ConnectsTransfersRunsAndStops) {
  const SessionOutcome outcome = RunSession(GetParam());
  EXPECT_EQ(outcome.r3, 0x12345678u);
  const std::array<uint8_t, 16> expected{0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0xA5, 0xA5, 0xA5, 0xA5};
  EXPECT_EQ(outcome.fetched, expected);
  EXPECT_NE(outcome.stoppedPc, 0u);  // the core ran through the zeroed RAM
}

// A board without a cable, without power, or without a TAP answering: each cable reports
// it the same way.
TEST_P(EitherCable, FindsTheBoardsFaults) {
  struct Case {
    const char* name;
    vsim::BoardFaults faults;
    ResultCode open;
    int32_t power;  // ReadPowerLines after the open
    ResultCode connect;
  };
  const Case cases[] = {
      {"no cable", {.noCable = true}, kEmulatorNotFound, -1, kEmulatorNotFound},
      {"power bad", {.powerBad = true}, kOk, 0, kTargetNotFound},
      {"target absent", {.targetAbsent = true}, kOk, cable::kPowerGood, kTargetNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vsim::BoardConfig config;
    config.faults = c.faults;
    WiredBoard wired(GetParam(), config);
    EXPECT_EQ(target::OpenEmulator(wired.Target(), "lpt", "lpt1"), c.open);
    EXPECT_EQ(target::ReadPowerLines(wired.Target()), c.power);
    EXPECT_EQ(target::ConnectTarget(wired.Target()), c.connect);
  }
}

INSTANTIATE_TEST_SUITE_P(Wires, EitherCable, ::testing::Values(Wire::kParallelPort, Wire::kDirectTap),
                         [](const ::testing::TestParamInfo<Wire>& wire) {
                           return wire.param == Wire::kParallelPort ? "ParallelPort" : "DirectTap";
                         });

// The seam carries scans, not port bytes: the direct cable makes exactly the parallel
// cable's TCK cycles, and no port access at all.
TEST(CableSeam, BothCablesClockTheTapAlike) {
  const SessionOutcome parallel = RunSession(Wire::kParallelPort);
  const SessionOutcome direct = RunSession(Wire::kDirectTap);
  EXPECT_EQ(direct.tckCycles, parallel.tckCycles);
  EXPECT_EQ(direct.stoppedPc, parallel.stoppedPc);
  EXPECT_GT(parallel.portAccesses, 3 * parallel.tckCycles);
  EXPECT_EQ(direct.portAccesses, 0u);
}

}  // namespace
}  // namespace vantrel::test
