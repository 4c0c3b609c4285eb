// The flash loops run by the core of the simulated board from a work area, through the
// real library. RAM stands in for the chip here, which is enough to show what the loops
// store and where (halfword cycles, neighbours untouched), their refusals, a loop that
// never halts, and that the work area and the registers come back as they were.
#include <string>
#include <vector>

#include "library.h"
#include "loop_runner.h"
#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

using flash::LoopOutcome;
using flash::LoopResult;

constexpr uint32_t kChip = 0x10000;  // RAM that takes the command cycles
constexpr uint32_t kTarget = 0x20000;
constexpr flash::WorkArea kArea{0x30000, 0x400};
const std::vector<std::string> kRegisters = {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "pc", "cpsr"};

class FlashLoopTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_TRUE(client_.Load(VANTREL_LIBRARY_PATH)) << client_.Error();
    FillBoard(kArea.address, kArea.size, 0x31);
    FillBoard(kChip, 0x1000, 0x11);
    for (size_t i = 0; i < 10; ++i) ASSERT_TRUE(link_.WriteRegister(kRegisters[i], 0x1000 + static_cast<uint32_t>(i)));
    ASSERT_TRUE(link_.WriteRegister("pc", 0x40));
    ASSERT_TRUE(link_.ReadRegisters(kRegisters, &registersBefore_)) << link_.Error();
    areaBefore_ = BoardBytes(kArea.address, kArea.size);
  }

  static flash::Bytes ProgramInput(uint32_t target, const std::vector<uint8_t>& data) {
    return flash::LoopInput({target, static_cast<uint32_t>(data.size() / 2), kChip + 0xAAA, kChip + 0x554, 0},
                            data.data(), data.size());
  }

  void ExpectPutBack() {
    EXPECT_EQ(BoardBytes(kArea.address, kArea.size), areaBefore_);
    std::vector<uint32_t> after;
    ASSERT_TRUE(link_.ReadRegisters(kRegisters, &after)) << link_.Error();
    EXPECT_EQ(after, registersBefore_);
  }

  client::Library client_;
  flash::TargetLink link_{client_};
  std::vector<uint32_t> registersBefore_;
  std::vector<uint8_t> areaBefore_;
};

TEST_F(FlashLoopTest, AmdProgramLoopStoresHalfwordCyclesAndPutsTheAreaBack) {
  const std::vector<uint8_t> data = Pattern(96, 0x5C);
  ASSERT_TRUE(board().WriteMemory(kTarget, std::vector<uint8_t>(data.size(), 0xFF)));
  const std::vector<uint8_t> chipBefore = BoardBytes(kChip, 0x1000);
  {
    flash::LoopRunner runner(link_, kArea);
    ASSERT_TRUE(runner.Begin(static_cast<uint32_t>(data.size()) + 20)) << link_.Error();
    LoopOutcome outcome;
    ASSERT_TRUE(runner.Run(flash::AmdProgramLoop(), ProgramInput(kTarget, data), std::chrono::seconds(10), &outcome))
        << link_.Error();
    EXPECT_EQ(outcome.result, LoopResult::kDone);
    EXPECT_EQ(outcome.r2, 0u);
    EXPECT_EQ(outcome.r9, flash::LoopChecksum(data.data(), data.size()));
    ASSERT_TRUE(runner.Finish()) << link_.Error();
  }
  EXPECT_EQ(BoardBytes(kTarget, data.size()), data);
  // The last unlock cycles, each a halfword store: the other half of each word kept.
  std::vector<uint8_t> chipExpected = chipBefore;
  chipExpected[0xAAA] = 0xA0;
  chipExpected[0xAAB] = 0x00;
  chipExpected[0x554] = 0x55;
  chipExpected[0x555] = 0x00;
  EXPECT_EQ(BoardBytes(kChip, 0x1000), chipExpected);
  ExpectPutBack();
}

TEST_F(FlashLoopTest, LoopsReportWhatStoppedThem) {
  struct Case {
    const char* name;
    flash::LoopProgram loop;
    uint8_t targetFill;
    LoopResult result;
    uint32_t at;  // where the loop stopped
  };
  // A 0 in the target where the data has a 1 stops the programming before any cycle;
  // RAM answers an erase with the erase command itself, whose DQ5 bit reads as the
  // chip's time limit; the blank check names the first halfword that is not 0xFFFF.
  const Case cases[] = {
      {"0 to 1", flash::AmdProgramLoop(), 0x00, LoopResult::kBitWouldRise, kTarget},
      {"0 to 1, Intel", flash::IntelProgramLoop(), 0x0F, LoopResult::kBitWouldRise, kTarget},
      {"time limit", flash::AmdEraseLoop(), 0xFF, LoopResult::kChipError, kTarget},
      {"not blank", flash::BlankCheckLoop(), 0xFF, LoopResult::kBitWouldRise, kTarget + 10},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(board().WriteMemory(kTarget, std::vector<uint8_t>(16, c.targetFill)));
    ASSERT_TRUE(board().WriteMemory(kTarget + 11, std::vector<uint8_t>{0x7F}));
    flash::LoopRunner runner(link_, kArea);
    ASSERT_TRUE(runner.Begin(36)) << link_.Error();
    const bool erase = c.loop.words.data() == flash::AmdEraseLoop().words.data();
    const bool blank = c.loop.words.data() == flash::BlankCheckLoop().words.data();
    const flash::Bytes input = erase   ? flash::LoopInput({1, kChip + 0xAAA, kChip + 0x554, 0x30, kTarget})
                               : blank ? flash::LoopInput({kTarget, 8})
                                       : ProgramInput(kTarget, Pattern(16, 0xF0));
    LoopOutcome outcome;
    ASSERT_TRUE(runner.Run(c.loop, input, std::chrono::seconds(10), &outcome)) << c.name << ": " << link_.Error();
    EXPECT_EQ(outcome.result, c.result) << c.name;
    EXPECT_EQ(outcome.r0, c.at) << c.name;
    ASSERT_TRUE(runner.Finish()) << link_.Error();
    ExpectPutBack();
  }
}

// The Intel loop waits for a ready bit that RAM holding 0x0000 never shows: the host's
// limit ends it, the core is stopped and everything is put back.
TEST_F(FlashLoopTest, ALoopThatNeverHaltsIsStoppedAtTheLimit) {
  ASSERT_TRUE(board().WriteMemory(kTarget, std::vector<uint8_t>(4, 0xFF)));
  {
    flash::LoopRunner runner(link_, kArea);
    ASSERT_TRUE(runner.Begin(24)) << link_.Error();
    LoopOutcome outcome;
    EXPECT_FALSE(runner.Run(flash::IntelProgramLoop(), ProgramInput(kTarget, {0, 0, 0, 0}),
                            std::chrono::milliseconds(300), &outcome));
    EXPECT_EQ(link_.Error(), "time limit exceeded");
    ASSERT_TRUE(runner.Finish()) << link_.Error();
  }
  bool arm = false;
  ASSERT_TRUE(link_.HaltedInArmState(&arm));
  ExpectPutBack();
}

// The loops run in Supervisor mode: from a core halted in FIQ mode they change the User
// mode's r8 and r9, not the FIQ mode's, and both come back.
TEST_F(FlashLoopTest, BankedRegistersComeBackFromFiqMode) {
  const std::vector<std::string> banked = {"r8_usr", "r9_usr", "r8_fiq", "r9_fiq", "cpsr"};
  ASSERT_TRUE(link_.WriteRegister("cpsr", 0xD1)) << link_.Error();
  ASSERT_TRUE(link_.WriteRegister("r8", 0x8F1)) << link_.Error();
  ASSERT_TRUE(link_.WriteRegister("r9", 0x9F1)) << link_.Error();
  std::vector<uint32_t> before;
  ASSERT_TRUE(link_.ReadRegisters(banked, &before)) << link_.Error();
  ASSERT_EQ(before[2], 0x8F1u);
  ASSERT_TRUE(board().WriteMemory(kTarget, std::vector<uint8_t>(8, 0xFF)));
  {
    flash::LoopRunner runner(link_, kArea);
    ASSERT_TRUE(runner.Begin(28)) << link_.Error();
    LoopOutcome outcome;
    ASSERT_TRUE(runner.Run(flash::AmdProgramLoop(), ProgramInput(kTarget, Pattern(8, 0x21)), std::chrono::seconds(10),
                           &outcome))
        << link_.Error();
    EXPECT_EQ(outcome.result, LoopResult::kDone);
    ASSERT_TRUE(runner.Finish()) << link_.Error();
  }
  std::vector<uint32_t> after;
  ASSERT_TRUE(link_.ReadRegisters(banked, &after)) << link_.Error();
  EXPECT_EQ(after, before);
}

TEST_F(FlashLoopTest, AnAreaTooSmallOrMisalignedIsRefused) {
  flash::LoopRunner small(link_, {kArea.address, 160});
  EXPECT_FALSE(small.Begin(64));
  EXPECT_EQ(link_.Error(), "the work area is too small for the flash loop");
  flash::LoopRunner odd(link_, {kArea.address + 2, 0x400});
  EXPECT_FALSE(odd.Begin(64));
  ExpectPutBack();
}

}  // namespace
}  // namespace vantrel::e2e
