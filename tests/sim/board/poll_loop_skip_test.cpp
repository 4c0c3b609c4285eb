// A core spinning on the comms channel's control word: the board counts the repeats of
// such a loop instead of interpreting them. Two boards get the same port traffic, one
// with the skipping off; after every step both must hold the same registers, memory,
// channel, counters and clock, and only the loops that really just poll are skipped.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "board_jtag.h"

namespace vsim::test {
namespace {

constexpr uint32_t kLoopBase = 0x2000;
constexpr uint32_t kDestination = 0x8000;
constexpr uint32_t kSource = 0xC000;
constexpr uint32_t kWords = 24;
constexpr int kCommsControl = 4;
constexpr int kCommsData = 5;

// Branches back from word `from` to word `to` of a loop (ARM: the PC reads 8 ahead).
uint32_t BranchBack(uint32_t condition, int from, int to) {
  return condition << 28 | 0x0A000000u | (static_cast<uint32_t>(to - from - 2) & 0x00FFFFFFu);
}
constexpr uint32_t kEq = 0x0, kNe = 0x1, kAlways = 0xE;

// r1 the next address, r2 the words left, r3 the word. extra: instructions the poll
// makes besides reading the control word.
std::vector<uint32_t> StoreLoop(const std::vector<uint32_t>& extra = {}) {
  std::vector<uint32_t> loop = {0xEE103E10};  // wait:  MRC p14, 0, r3, c0, c0
  loop.insert(loop.end(), extra.begin(), extra.end());
  const int poll = static_cast<int>(loop.size());
  loop.push_back(0xE3130001);                               //        TST r3, #1
  loop.push_back(BranchBack(kEq, poll + 1, 0));             //        BEQ wait
  loop.push_back(0xEE113E10);                               //        MRC p14, 0, r3, c1, c0
  loop.push_back(0xE4813004);                               //        STR r3, [r1], #4
  loop.push_back(0xE2522001);                               //        SUBS r2, r2, #1
  loop.push_back(BranchBack(kNe, poll + 5, 0));             //        BNE wait
  loop.push_back(BranchBack(kAlways, poll + 6, poll + 6));  // done: B done
  return loop;
}
// r1 the next address, r2 the words left, r3 the word, r4 the channel's state.
const std::vector<uint32_t> kLoadLoop = {
    0xE4913004,  // next:  LDR r3, [r1], #4
    0xEE104E10,  // wait:  MRC p14, 0, r4, c0, c0
    0xE3140002,  //        TST r4, #2
    0x1AFFFFFC,  //        BNE wait
    0xEE013E10,  //        MCR p14, 0, r3, c1, c0
    0xE2522001,  //        SUBS r2, r2, #1
    0x1AFFFFF8,  //        BNE next
    0xEAFFFFFE,  // done:  B done
};
const std::vector<uint32_t> kStoreLoop = StoreLoop();
// Polls, but also counts in r5: no two iterations are the same.
const std::vector<uint32_t> kCountingLoop = StoreLoop({0xE2855001});  // ADD r5, r5, #1
// Polls, but also loads from memory.
const std::vector<uint32_t> kLoadingLoop = StoreLoop({0xE5916000});  // LDR r6, [r1]

enum class Host { kSends, kReceives };

struct LoopCase {
  const char* name;
  const std::vector<uint32_t>* loop;
  Host host;
  uint32_t timerPeriod;  // 0: no timer
  int breakpointOnWord;  // -1: none; else watchpoint 0 matches the fetch of that word
  bool skipped;          // some repeats are counted instead of interpreted
};

const LoopCase kCases[] = {
    {"StoreLoop", &kStoreLoop, Host::kSends, 0, -1, true},
    {"LoadLoop", &kLoadLoop, Host::kReceives, 0, -1, true},
    {"StoreLoopWithAUnitEnabledElsewhere", &kStoreLoop, Host::kSends, 0, 40, true},
    {"CountingLoop", &kCountingLoop, Host::kSends, 0, -1, false},
    {"LoadingLoop", &kLoadingLoop, Host::kSends, 0, -1, false},
    {"StoreLoopUnderATimer", &kStoreLoop, Host::kSends, 37, -1, false},
    {"BreakpointInThePoll", &kStoreLoop, Host::kSends, 0, 2, false},
};

BoardConfig Deterministic(uint32_t timerPeriod) {
  BoardConfig config;
  config.freeRunInstructionsPerMs = 0;
  config.timer.period = timerPeriod;
  return config;
}

class PollLoopSkipTest : public ::testing::TestWithParam<LoopCase> {
 protected:
  PollLoopSkipTest() : skipping_(Deterministic(GetParam().timerPeriod)), plain_(Deterministic(GetParam().timerPeriod)) {
    plain_.SetPollLoopSkipping(false);
  }

  // The loop placed and started on both boards, as a debugger leaves it running.
  void Start() {
    for (Board* board : {&skipping_, &plain_}) {
      BoardJtag(*board).ResetToIdle();
      for (std::size_t i = 0; i < GetParam().loop->size(); ++i)
        board->WriteWord(kLoopBase + 4 * static_cast<uint32_t>(i), (*GetParam().loop)[i]);
      for (uint32_t i = 0; i < kWords; ++i) board->WriteWord(kSource + 4 * i, 0xA5000000u + i * 0x01010101u);
      if (GetParam().breakpointOnWord >= 0) ProgramBreakpoint(*board, GetParam().breakpointOnWord);
      board->SetReg(1, GetParam().host == Host::kSends ? kDestination : kSource);
      board->SetReg(2, kWords);
      board->SetReg(15, kLoopBase);
      board->ResetCounters();
    }
  }

  static void ProgramBreakpoint(Board& board, int word) {
    board.SetIceRegister(8, kLoopBase + 4 * static_cast<uint32_t>(word));
    board.SetIceRegister(9, 3);
    board.SetIceRegister(11, 0xFFFFFFFF);
    board.SetIceRegister(13, 0xF7);
    board.SetIceRegister(12, 0x100);  // enabled, instruction fetch
  }

  // One word handed over by the host, after a pause of some idle TCKs.
  void Transfer(uint32_t index, int idleClocks) {
    for (Board* board : {&skipping_, &plain_}) {
      BoardJtag jtag(*board);
      for (int i = 0; i < idleClocks; ++i) jtag.Clock(false, false);
      if (GetParam().host == Host::kSends) {
        jtag.IceWrite(kCommsData, 0x5A000000u + index);
      } else {
        (void)jtag.IceRead(kCommsData);
      }
    }
  }

  void ExpectSameState() const {
    for (int r = 0; r < 16; ++r) EXPECT_EQ(skipping_.Reg(r), plain_.Reg(r)) << "r" << r;
    EXPECT_EQ(skipping_.Cpsr(), plain_.Cpsr());
    EXPECT_EQ(skipping_.InDebugState(), plain_.InDebugState());
    EXPECT_EQ(skipping_.IceRegister(kCommsControl), plain_.IceRegister(kCommsControl));
    EXPECT_EQ(skipping_.MemoryTicks(), plain_.MemoryTicks());
    const BoardCounters a = skipping_.Counters();
    const BoardCounters b = plain_.Counters();
    EXPECT_EQ(a.instructions, b.instructions);
    EXPECT_EQ(a.tckCycles, b.tckCycles);
    EXPECT_EQ(a.portAccesses, b.portAccesses);
    std::array<uint8_t, 4 * kWords> stored{};
    std::array<uint8_t, 4 * kWords> storedPlain{};
    ASSERT_TRUE(skipping_.ReadMemory(kDestination, stored));
    ASSERT_TRUE(plain_.ReadMemory(kDestination, storedPlain));
    EXPECT_EQ(stored, storedPlain);
  }

  Board skipping_;
  Board plain_;
};

TEST_P(PollLoopSkipTest, SkippedRepeatsLeaveTheBoardAsInterpretedOnesDo) {
  Start();
  ExpectSameState();
  // Pauses of every length up to a few iterations and beyond, so that the host's
  // accesses find the loop at every point of an iteration.
  for (uint32_t i = 0; i < kWords && !HasFailure(); ++i) {
    Transfer(i, static_cast<int>((i * 7) % 61));
    ExpectSameState();
    if (i != kWords / 2) continue;
    // Runs that end part way through an iteration.
    for (const uint64_t count : {1u, 2u, 5u, 17u, 1000u, 4097u}) {
      skipping_.RunInstructions(count);
      plain_.RunInstructions(count);
      ExpectSameState();
    }
  }
  EXPECT_EQ(plain_.Counters().instructionsFastForwarded, 0u);
  const BoardCounters counters = skipping_.Counters();
  if (GetParam().skipped) {
    EXPECT_GT(counters.instructionsFastForwarded * 10, counters.instructions * 8) << counters.instructions;
  } else {
    EXPECT_EQ(counters.instructionsFastForwarded, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Loops, PollLoopSkipTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LoopCase>& loop) { return std::string(loop.param.name); });

}  // namespace
}  // namespace vsim::test
