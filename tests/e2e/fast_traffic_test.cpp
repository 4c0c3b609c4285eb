// What the fast mode costs on the wire, counted by the board: each interactive operation
// (connect, a stop, a run to a breakpoint and back, a single word read or written)
// against a ceiling, and each bulk path against its floor per word (the port accesses
// of one scan of a word on this cable) plus a fixed cost. A regression shows as a count
// above its bound; the exact mode's traffic is held by the port traffic test.
#include <cstdio>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr uint32_t kNopWord = 0xE1A00000;       // MOV r0, r0
constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // B .
constexpr uint32_t kBreakAddress = 0x100;       // a NOP the run reaches
constexpr uint32_t kBulkAddress = 0x10000;
constexpr int32_t kBulkBytes = 64 * 1024;
constexpr uint64_t kBulkWords = kBulkBytes / 4;

// A word through the comms channel: one 38-bit scan of chain 2, two accesses a clock when
// nothing is read back, three for each of the 32 bits read.
constexpr uint64_t kWriteFloorPerWord = 84;
constexpr uint64_t kReadFloorPerWord = 104;

class FastTrafficTest : public MemoryTest {
 protected:
  // Only TCK edges and RunBoard move a running core: the counts are the same each run.
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.instructionsPerTck = InstructionsPerTck();
    return config;
  }
  virtual int InstructionsPerTck() const { return 4; }  // the board's default core

  void SetUp() override {
    MemoryTest::SetUp();
    library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
    std::vector<uint32_t> program(kBreakAddress / 4 + 8, kNopWord);
    program.back() = kBranchToSelf;
    LoadWords(0, program);
    ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  }

  uint64_t Accesses() { return board().Counters().portAccesses; }

  // The accesses the operation made; it must have succeeded.
  template <typename Operation>
  uint64_t Measure(Operation operation) {
    const uint64_t before = Accesses();
    operation();
    return Accesses() - before;
  }

  void Halt() {
    const JtagResponse stop = Stop();
    ASSERT_EQ(stop.status, VANTREL_STATUS_OK) << test::ResponseText(stop);
  }

  void RunToBreakpoint() {
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    RunBoard(1000);
    ASSERT_TRUE(board().InDebugState());
    ASSERT_EQ(StatusWord() & 1, 1);
    Halt();
    ASSERT_EQ(ResponseWords(Stop()).at(0), kBreakAddress);
  }

  // A stop of the running core, which saves every register.
  uint64_t HaltCost() {
    EXPECT_EQ(Run().status, VANTREL_STATUS_OK);
    return Measure([&] { Halt(); });
  }

  void ReadWord() {
    uint32_t word = 0;  // a small transfer answers at once, without a job
    ASSERT_EQ(ReadMemory(kBulkAddress, &word, 4).status, VANTREL_STATUS_OK);
    ASSERT_EQ(word, board().ReadWord(kBulkAddress));
  }

  void WriteWord() {
    const std::vector<uint8_t> word{0x12, 0x34, 0x56, 0x78};
    ASSERT_EQ(WriteMemory(kBulkAddress, word).status, VANTREL_STATUS_OK);
    ASSERT_EQ(board().ReadWord(kBulkAddress), 0x78563412u);
  }

  void BulkWrite() {
    const std::vector<uint8_t> data = Pattern(kBulkBytes, 0x3C);  // the job reads it until it ends
    library().jtagClearLastError();
    ASSERT_EQ(WriteMemory(kBulkAddress, data).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    ASSERT_EQ(BoardBytes(kBulkAddress, kBulkBytes), data);
  }

  void DownloadAndVerify() {
    const std::vector<uint8_t> image = Pattern(kBulkBytes, 0x6D);
    library().jtagClearLastError();
    ASSERT_EQ(Download(kBulkAddress, kBulkAddress, image).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    ASSERT_EQ(BoardBytes(kBulkAddress, kBulkBytes), image);
  }

  void BulkRead() {
    FillBoard(kBulkAddress, kBulkBytes, 0x11);
    std::vector<uint8_t> buffer(kBulkBytes);
    library().jtagClearLastError();
    ASSERT_EQ(ReadMemory(kBulkAddress, buffer.data(), kBulkBytes).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    ASSERT_EQ(buffer, BoardBytes(kBulkAddress, kBulkBytes));
  }
};

TEST_F(FastTrafficTest, InteractiveOperationsStayUnderTheirCeilings) {
  const uint64_t connect = Measure([&] { ASSERT_EQ(Connect().status, VANTREL_STATUS_OK); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(SetHardwareBreak(kBreakAddress).status, VANTREL_STATUS_OK);
  struct Ceiling {
    const char* operation;
    uint64_t accesses;
    uint64_t ceiling;
  };
  const Ceiling ceilings[] = {
      {"connect", connect, 7100},
      {"run to a hardware breakpoint and back", Measure([&] { RunToBreakpoint(); }), 7000},
      {"halt and save every register", HaltCost(), 4300},
      {"read one word", Measure([&] { ReadWord(); }), 1500},
      {"write one word", Measure([&] { WriteWord(); }), 1500},
  };
  for (const Ceiling& c : ceilings) {
    EXPECT_LE(c.accesses, c.ceiling) << c.operation;
    std::printf("%-40s %8llu accesses\n", c.operation, static_cast<unsigned long long>(c.accesses));
  }
}

TEST_F(FastTrafficTest, BulkTransfersCostTheirFloorPerWordPlusAFixedCost) {
  OpenAndConnect();
  struct Bulk {
    const char* path;
    uint64_t accesses;
    uint64_t floorPerWord;
    uint64_t fixedCost;
    uint64_t waitPerWord;  // polls while the core computes the verify's checksum
  };
  const Bulk paths[] = {
      {"write through the work area", Measure([&] { BulkWrite(); }), kWriteFloorPerWord, 12000, 0},
      {"read through the work area", Measure([&] { BulkRead(); }), kReadFloorPerWord, 12000, 0},
      // The core needs about 21 instructions a byte; at 4 a clock the polls for its end
      // cost about 56 accesses a word.
      {"download and verify through the work area", Measure([&] { DownloadAndVerify(); }), kWriteFloorPerWord,
       30000, 60},
  };
  for (const Bulk& p : paths) {
    EXPECT_LE(p.accesses, (p.floorPerWord + p.waitPerWord) * kBulkWords + p.fixedCost) << p.path;
    EXPECT_GE(p.accesses, p.floorPerWord * kBulkWords) << p.path << ": below the floor, the words cannot all have moved";
    std::printf("%-40s %8llu accesses, %llu above the floor\n", p.path, static_cast<unsigned long long>(p.accesses),
                static_cast<unsigned long long>(p.accesses - p.floorPerWord * kBulkWords));
  }
}

// With a core that runs well ahead of the cable (as a real one does), the verify's
// checksum costs the cable next to nothing: download and verify stay within 100 accesses
// a word, the write's floor plus a little polling and a fixed cost. (64 instructions a TCK: the board then
// emulates the store loop's waiting in seconds, not the minute that 1000 would take.)
class FastCoreTrafficTest : public FastTrafficTest {
 protected:
  int InstructionsPerTck() const override { return 64; }
};

TEST_F(FastCoreTrafficTest, DownloadAndVerifyCostTheWriteAndAFixedCost) {
  OpenAndConnect();
  const uint64_t accesses = Measure([&] { DownloadAndVerify(); });
  // At 64 instructions a TCK the polls for the checksum's end cost about 3 accesses a word.
  EXPECT_LE(accesses, (kWriteFloorPerWord + 4) * kBulkWords + 45000);
  EXPECT_GE(accesses, kWriteFloorPerWord * kBulkWords) << "below the floor, the words cannot all have moved";
  EXPECT_LE(accesses, 100 * kBulkWords);
  std::printf("download and verify, fast core            %8llu accesses, %.1f a word\n",
              static_cast<unsigned long long>(accesses), static_cast<double>(accesses) / kBulkWords);
}

}  // namespace
}  // namespace vantrel::e2e
