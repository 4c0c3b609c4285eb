// Memory transfers on a recording port with a scripted core: the word transfers they
// make (read back from the chain-1 traffic), progress and stop, the memory map, the
// refusals, and the read-merge-write of partial words.
#include "target/memory_transfer.h"

#include <algorithm>
#include <bit>

#include "target/memory_map.h"
#include "target_fixture.h"

namespace vantrel::test {
namespace {

constexpr uint32_t kLdrR0Pc = 0xE59F0000;
constexpr uint32_t kLdmiaR0ToR8 = 0xE89001FF;
constexpr uint32_t kSupervisorCpsr = 0x600000D3;
constexpr uint32_t kAbortCpsr = 0x600000D7;

// One ArmPutData call: LDR r0, [pc]; 2 NOPs; address; NOP; LDMIA r0, {r1-rN}; 2 NOPs; data.
struct PutCall {
  uint32_t address;
  int count;
  std::vector<uint32_t> words;
};

bool IsLoadMultipleFromR1(uint32_t word) { return (word & 0xFFFF0001u) == 0xE8900000u && (word & 0xFFFFu) != 0; }

std::vector<PutCall> PutCalls(const std::vector<Chain1Transfer>& t) {
  std::vector<PutCall> calls;
  for (std::size_t i = 0; i + 5 < t.size(); ++i) {
    if (t[i].word != kLdrR0Pc || !IsLoadMultipleFromR1(t[i + 5].word)) continue;
    PutCall call{t[i + 3].word, std::popcount(t[i + 5].word & 0xFFFFu), {}};
    for (std::size_t k = 0; k < static_cast<std::size_t>(call.count) && i + 8 + k < t.size(); ++k) call.words.push_back(t[i + 8 + k].word);
    calls.push_back(call);
  }
  return calls;
}

// The address word of each ArmGetData block: the word before the block.
std::vector<uint32_t> GetBlocks(const std::vector<Chain1Transfer>& t) {
  std::vector<uint32_t> blocks;
  for (std::size_t i = 0; i + 6 < t.size(); ++i) {
    if (t[i].word == kLdrR0Pc && t[i + 6].word == kLdmiaR0ToR8) blocks.push_back(t[i + 3].word + 4);
  }
  return blocks;
}

class MemoryTransferTest : public TargetTest {
 protected:
  void SetUp() override {
    TargetTest::SetUp();
    target::ClearMemoryMap(Target());
    target::SetTargetState(Target(), target::kConnected);
    arm7::RegisterCache(session_.Core())[16] = kSupervisorCpsr;  // halted in supervisor mode
    CoreBackAfterEachAccess();
    // Each store the core makes drives 0xA0000000 + 0x10 x store number + word index.
    target_.SetStoreSource([](int store, int word) {
      return 0xA0000000u + 0x10u * static_cast<uint32_t>(store) + static_cast<uint32_t>(word);
    });
  }
  void TearDown() override {
    target::ClearMemoryMap(Target());
    TargetTest::TearDown();
  }

  std::vector<PutCall> Puts() const { return PutCalls(Chain1Transfers(DecodeTap(port_))); }
  std::vector<uint32_t> Blocks() const { return GetBlocks(Chain1Transfers(DecodeTap(port_))); }

  static std::vector<uint8_t> Bytes(std::size_t count) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
    return bytes;
  }
};

TEST_F(MemoryTransferTest, WriteGoesOutInChunksOfFourteenWordsAndEndsAtFullProgress) {
  const std::vector<uint8_t> data = Bytes(60);
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x8000, 60, data.data(), 4), kOk);
  const std::vector<PutCall> calls = Puts();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].address, 0x8000u);
  EXPECT_EQ(calls[0].count, 14);
  EXPECT_EQ(calls[0].words[0], 0x04030201u);
  EXPECT_EQ(calls[1].address, 0x8038u);
  EXPECT_EQ(calls[1].count, 1);
  EXPECT_EQ(calls[1].words[0], 0x3C3B3A39u);
  EXPECT_EQ(arm7::ProgressPercent(session_.Core()), 100);
}

TEST_F(MemoryTransferTest, FourKibWriteMakesSeventyFourCalls) {
  const std::vector<uint8_t> data = Bytes(4096);
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x8000, 4096, data.data(), 4), kOk);
  const std::vector<PutCall> calls = Puts();
  ASSERT_EQ(calls.size(), 74u);
  EXPECT_EQ(calls.back().count, 2);
  EXPECT_EQ(calls.back().address, 0x8000u + 73 * 56);
}

TEST_F(MemoryTransferTest, StopRequestEndsAWriteAtItsNextReportUnlessNothingIsLeft) {
  const std::vector<uint8_t> data = Bytes(100);
  arm7::SetBreakRequest(session_.Core(), 1);
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x8000, 100, data.data(), 4), kTransferStopped);
  EXPECT_EQ(Puts().size(), 1u);
  EXPECT_EQ(arm7::ProgressPercent(session_.Core()), 0);  // the final report: (0, 100)
  port_.ClearLog();
  // Everything is written by the time the stop is seen: that is no stop.
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x8000, 56, data.data(), 4), kOk);
  EXPECT_EQ(Puts().size(), 1u);
}

// One CPSR read ends each transfer: the core found in another mode than it halted in took
// an abort at system speed, and the words moved are not memory. So is a link lost on the
// way (here the power reading gone bad). Either way the transfer fails and the
// destination is left alone. After an abort the core is halted: its CPSR is put back and
// the target stays connected. A lost link restarts the core from address 0 (target down).
TEST_F(MemoryTransferTest, AnAbortOrALostLinkFailsTheTransfer) {
  struct Case {
    const char* what;
    bool read;
    bool aborts;
  };
  for (const Case c : {Case{"read into an abort", true, true}, Case{"write into an abort", false, true},
                       Case{"read, power gone", true, false}, Case{"write, power gone", false, false}}) {
    SCOPED_TRACE(c.what);
    target::SetTargetState(Target(), target::kConnected);
    cable::TapReset(session_.Port(), cable::TapResetEnd::kRunTestIdle);
    target_.SetCpsr(c.aborts ? kAbortCpsr : kSupervisorCpsr);
    if (!c.aborts) {
      target_.SetPowerLost(true);
      ASSERT_NE(cable::ReadPowerLines(session_.Port()), cable::kPowerGood);
      target_.SetPowerLost(false);
    }
    port_.ClearLog();
    const std::vector<uint8_t> data = Bytes(2048);
    std::vector<uint8_t> destination(2048, 0x5A);
    const ResultCode result = c.read ? target::FetchTargetMemory(Target(), 0x8000, 2048, destination.data())
                                     : target::StoreTargetMemory(Target(), 0x8000, 2048, data.data(), 4);
    EXPECT_EQ(result, kWordTransferFailed);
    EXPECT_EQ(destination, std::vector<uint8_t>(2048, 0x5A));
    const std::vector<std::string> ops = Ops();
    const bool restarted = std::find(ops.begin(), ops.end(), "inject E3A0F000") != ops.end();
    if (c.aborts) {
      EXPECT_NE(std::find(ops.begin(), ops.end(), "read cpsr"), ops.end());
      EXPECT_TRUE(std::any_of(ops.begin(), ops.end(), [](const std::string& op) {
        return op.starts_with("write cpsr=");
      })) << "the CPSR put back";
      EXPECT_FALSE(restarted);
      EXPECT_EQ(target::TargetState(Target()), target::kConnected);
      EXPECT_EQ(cable::TapActive(session_.Port()), 1);
    } else {
      // Power gone: the transfer ends at the first report that sees it, not at the end.
      EXPECT_EQ(c.read ? Blocks().size() : Puts().size(), c.read ? 32u : 1u);
      EXPECT_TRUE(restarted);
      EXPECT_EQ(target::TargetState(Target()), target::kTargetDown);
      EXPECT_EQ(cable::TapActive(session_.Port()), 0);
    }
    cable::ReadPowerLines(session_.Port());
  }
}

TEST_F(MemoryTransferTest, RefusalsSendNothing) {
  const std::vector<uint8_t> data = Bytes(8);
  for (int width : {0, 5, -1})
    EXPECT_EQ(target::StoreTargetMemory(Target(), 0x8000, 8, data.data(), width), kInvalidParameters);
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x8000, -4, data.data(), 4), kInvalidParameters);
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x8000, 0x100, target::kReadOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x8010, 8, data.data(), 4), kWriteRefusedReadOnly);
  target::SetTargetState(Target(), target::kRunning);
  std::vector<uint8_t> destination(8, 0x5A);
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x9000, 8, data.data(), 4), kStatusError);
  EXPECT_EQ(target::FetchTargetMemory(Target(), 0x9000, 8, destination.data()), kStatusError);
  EXPECT_EQ(destination, std::vector<uint8_t>(8, 0x5A));
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(MemoryTransferTest, PartialWordsAreReadMergedAndWrittenBack) {
  const std::vector<uint8_t> data{0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
  // 5 bytes at 0x1002: the words at 0x1000 (store 0) and 0x1004 (store 1) are read first.
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x1002, 5, data.data(), 4), kOk);
  EXPECT_EQ(Blocks(), (std::vector<uint32_t>{0x1000, 0x1004}));
  const std::vector<PutCall> calls = Puts();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].address, 0x1000u);
  EXPECT_EQ(calls[0].words, (std::vector<uint32_t>{0xBBAA0000u, 0xA0EEDDCCu}));
  EXPECT_EQ(arm7::ProgressPercent(session_.Core()), 100);
}

TEST_F(MemoryTransferTest, OnlyPartlyWrittenWordsAreReadFirst) {
  const std::vector<uint8_t> data = Bytes(6);
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x1000, 6, data.data(), 4), kOk);
  EXPECT_EQ(Blocks(), (std::vector<uint32_t>{0x1004}));
  port_.ClearLog();
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x1002, 6, data.data(), 4), kOk);
  EXPECT_EQ(Blocks(), (std::vector<uint32_t>{0x1000})) << "the last word is written whole";
}

TEST_F(MemoryTransferTest, ShortWriteInsideOneWordKeepsItsOtherBytes) {
  const std::vector<uint8_t> data{0xAA};
  ASSERT_EQ(target::StoreTargetMemory(Target(), 0x1001, 1, data.data(), 4), kOk);
  const std::vector<PutCall> calls = Puts();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].words, (std::vector<uint32_t>{0xA000AA00u}));
}

TEST_F(MemoryTransferTest, ReadDeliversExactlyTheRequestedBytesAtAnyAddress) {
  std::vector<uint8_t> destination(5, 0);
  ASSERT_EQ(target::FetchTargetMemory(Target(), 0x1003, 5, destination.data()), kOk);
  EXPECT_EQ(Blocks(), (std::vector<uint32_t>{0x1000}));
  // Words A0000000 at 0x1000 and A0000001 at 0x1004, little-endian.
  EXPECT_EQ(destination, (std::vector<uint8_t>{0xA0, 0x01, 0x00, 0x00, 0xA0}));
  EXPECT_EQ(arm7::ProgressPercent(session_.Core()), 100);
}

TEST_F(MemoryTransferTest, BigEndianWordsArriveInAddressOrder) {
  arm7::SetBigEndianTarget(session_.Core(), 1);
  std::vector<uint8_t> destination(3, 0);
  ASSERT_EQ(target::FetchTargetMemory(Target(), 0x1000, 3, destination.data()), kOk);
  EXPECT_EQ(destination, (std::vector<uint8_t>{0xA0, 0x00, 0x00}));
}

TEST_F(MemoryTransferTest, WriteOnlyBytesReadAsFF) {
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x1004, 0x100, target::kWriteOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  std::vector<uint8_t> destination(8, 0);
  ASSERT_EQ(target::FetchTargetMemory(Target(), 0x1000, 8, destination.data()), kOk);
  EXPECT_EQ(destination, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF}));
  port_.ClearLog();
  std::fill(destination.begin(), destination.end(), 0);
  EXPECT_EQ(target::FetchTargetMemory(Target(), 0x1010, 8, destination.data()), kReadRefusedWriteOnly);
  EXPECT_EQ(destination, std::vector<uint8_t>(8, 0xFF));
  EXPECT_TRUE(NoPortAccess());
}

TEST_F(MemoryTransferTest, TransferThatTheMapLeavesEmptyMovesNothing) {
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x1000, 0x10, target::kReadOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  ASSERT_EQ(target::AddMemoryRegion(Target(), {0x1010, 0x10, target::kReadOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  const std::vector<uint8_t> data = Bytes(16);
  EXPECT_EQ(target::StoreTargetMemory(Target(), 0x1008, 16, data.data(), 4), kOk);
  EXPECT_TRUE(NoPortAccess());
  EXPECT_EQ(arm7::ProgressPercent(session_.Core()), 100);
}

}  // namespace
}  // namespace vantrel::test
