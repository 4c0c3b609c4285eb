// Breakpoints on a recording port with a scripted core: which word is read and what
// pattern word is written for ARM code and both Thumb halfword positions, and the
// refusals.
#include <bit>

// The fixture first: GCC's -Wshadow takes the stop causes it brings in for shadows of
// the breakpoint kinds when these come first.
#include "target_fixture.h"

#include "arm7/embedded_ice.h"
#include "target/breakpoints.h"
#include "target/memory_map.h"

namespace vantrel::test {
namespace {

constexpr uint32_t kLdrR0Pc = 0xE59F0000;
constexpr uint32_t kLdmiaR0ToR8 = 0xE89001FF;
constexpr uint32_t kFoundWord = 0x44332211;  // bytes 11 22 33 44 in memory

struct Access {
  char kind;  // 'r' ArmGetData block, 'w' ArmPutData
  uint32_t address;
  uint32_t word;  // the first word written
};

std::vector<Access> Accesses(const std::vector<Chain1Transfer>& t) {
  std::vector<Access> accesses;
  for (std::size_t i = 0; i + 8 < t.size(); ++i) {
    if (t[i].word != kLdrR0Pc) continue;
    if (t[i + 6].word == kLdmiaR0ToR8) accesses.push_back({'r', t[i + 3].word + 4, 0});
    if ((t[i + 5].word & 0xFFFF0001u) == 0xE8900000u) accesses.push_back({'w', t[i + 3].word, t[i + 8].word});
  }
  return accesses;
}

class BreakpointTest : public TargetTest {
 protected:
  // The first word read from memory is found; every later read returns readBack.
  void ScriptMemoryReads(uint32_t readBack) {
    target_.SetStoreSource([readBack, first = -1](int store, int) mutable {
      if (first < 0) first = store;
      return store == first ? kFoundWord : readBack;
    });
  }

  void SetUp() override {
    TargetTest::SetUp();
    target::ClearMemoryMap(Target());
    target::SetTargetState(Target(), target::kHalted);
    target_.SetStoreSource([](int, int) { return kFoundWord; });
    CoreBackAfterEachAccess();
  }
  void TearDown() override {
    target::ClearMemoryMap(Target());
    TargetTest::TearDown();
  }
  std::vector<Access> MemoryAccesses() const { return Accesses(Chain1Transfers(DecodeTap(port_))); }
};

struct SoftwareCase {
  int armState;
  uint32_t address;
  uint32_t patternWord;  // as written to the containing word, little-endian
};

class SoftwareBreakpointTest : public BreakpointTest, public ::testing::WithParamInterface<SoftwareCase> {};

TEST_P(SoftwareBreakpointTest, DisplacesTheContainingWordAndReplacesOnlyTheBreakpointedInstruction) {
  const SoftwareCase& c = GetParam();
  arm7::SetArmStateAtEntry(session_.Core(), c.armState);
  ScriptMemoryReads(c.patternWord);
  uint8_t displaced[4] = {};
  ASSERT_EQ(target::SetBreakpoint(Target(), c.address, target::kSoftwareBreakpoint, 0x12345678, displaced), kOk);
  EXPECT_EQ(std::vector<uint8_t>(displaced, displaced + 4), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
  const std::vector<Access> accesses = MemoryAccesses();
  ASSERT_EQ(accesses.size(), 3u);
  EXPECT_EQ(accesses[0].kind, 'r');
  EXPECT_EQ(accesses[0].address, 0x8000u);
  EXPECT_EQ(accesses[1].kind, 'w');
  EXPECT_EQ(accesses[1].address, 0x8000u);
  EXPECT_EQ(accesses[1].word, c.patternWord);
  EXPECT_EQ(accesses[2].kind, 'r') << "the pattern word is read back";
  EXPECT_EQ(accesses[2].address, 0x8000u);
  EXPECT_EQ(arm7::LastBreakpointPattern(session_.Core()), 0x12345678u);

  port_.ClearLog();
  ASSERT_EQ(target::ClearBreakpoint(Target(), c.address, displaced, target::kSoftwareBreakpoint), kOk);
  const std::vector<Access> restore = MemoryAccesses();
  ASSERT_EQ(restore.size(), 1u);
  EXPECT_EQ(restore[0].address, 0x8000u);
  EXPECT_EQ(restore[0].word, kFoundWord);
}

INSTANTIATE_TEST_SUITE_P(Cases, SoftwareBreakpointTest,
                         ::testing::Values(SoftwareCase{1, 0x8000, 0xBEBEBEBE}, SoftwareCase{0, 0x8000, 0x4433BEBE},
                                           SoftwareCase{0, 0x8002, 0xBEBE2211}));

// ROM or unmapped memory: the word reads back as it was, or with only a part of the
// pattern. The displaced word goes back and the breakpoint is reported as not set.
class PatternNotKeptTest : public BreakpointTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PatternNotKeptTest, TheDisplacedWordGoesBackAndTheBreakpointIsNotSet) {
  arm7::SetArmStateAtEntry(session_.Core(), 1);
  ScriptMemoryReads(GetParam());
  uint8_t displaced[4] = {};
  target::BreakpointAccess failed = target::BreakpointAccess::kRead;
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x8000, target::kSoftwareBreakpoint, 0x12345678, displaced, &failed),
            kBreakpointNotHeld);
  EXPECT_EQ(failed, target::BreakpointAccess::kNone);
  const std::vector<Access> accesses = MemoryAccesses();
  ASSERT_EQ(accesses.size(), 4u);
  EXPECT_EQ(accesses[3].kind, 'w');
  EXPECT_EQ(accesses[3].address, 0x8000u);
  EXPECT_EQ(accesses[3].word, kFoundWord) << "the displaced word goes back";
  EXPECT_NE(arm7::LastBreakpointPattern(session_.Core()), 0x12345678u) << "watchpoint 1 left alone";
}

INSTANTIATE_TEST_SUITE_P(ReadBack, PatternNotKeptTest, ::testing::Values(kFoundWord, 0x4433BEBEu, 0u));

TEST_F(BreakpointTest, OddAddressIsRefusedBeforeTheStateAndOtherKindsAfterIt) {
  uint8_t displaced[4] = {};
  target::SetTargetState(Target(), target::kRunning);
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x1001, target::kSoftwareBreakpoint, 0, displaced), kInvalidParameters);
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x1000, 2, 0, displaced), kStatusError);
  EXPECT_EQ(target::ClearBreakpoint(Target(), 0x1000, displaced, 2), kStatusError);
  target::SetTargetState(Target(), target::kHalted);
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x1000, 2, 0, displaced), kInvalidParameters);
  EXPECT_EQ(target::ClearBreakpoint(Target(), 0x1000, displaced, 2), kInvalidParameters);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(BreakpointTest, WriteOnlyWordIsNeitherReadNorWritten) {
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x8000, 0x100, target::kWriteOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  uint8_t displaced[4] = {};
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x8010, target::kSoftwareBreakpoint, target::kSoftwareBreakpointPattern,
                                  displaced),
            kBreakInWriteOnly);
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(BreakpointTest, FailedPatternWriteIsReportedAsAWriteFailure) {
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x8000, 0x100, target::kReadOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  uint8_t displaced[4] = {};
  target::BreakpointAccess failed = target::BreakpointAccess::kNone;
  EXPECT_EQ(target::SetBreakpoint(Target(), 0x8010, target::kSoftwareBreakpoint, target::kSoftwareBreakpointPattern,
                                  displaced, &failed),
            kWriteRefusedReadOnly);
  EXPECT_EQ(failed, target::BreakpointAccess::kWrite);
  EXPECT_EQ(target::ClearBreakpoint(Target(), 0x8010, displaced, target::kSoftwareBreakpoint), kWriteRefusedReadOnly);
}

TEST_F(BreakpointTest, HardwareBreakpointMovesAndClearsWatchpointZero) {
  ASSERT_EQ(target::SetBreakpoint(Target(), 0x1000, target::kHardwareBreakpoint, 0, nullptr), kOk);
  ASSERT_EQ(target::SetBreakpoint(Target(), 0x2000, target::kHardwareBreakpoint, 0, nullptr), kOk);
  EXPECT_EQ(target_.IceRegister(8), 0x2000u);
  ASSERT_EQ(target::ClearBreakpoint(Target(), 0, nullptr, target::kHardwareBreakpoint), kOk);
  EXPECT_EQ(target_.IceRegister(8), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vantrel::test
