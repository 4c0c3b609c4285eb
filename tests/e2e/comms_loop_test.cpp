// The fast transfers through the comms loop: long transfers go through it and leave its
// work area (named by the lpt.ini beside the test programs) as it was; where it cannot
// run they go through the debug bus; an access that aborts inside it fails the transfer
// as the debug bus would, without running the target's exception handler.
#include <algorithm>
#include <string>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr int32_t kLong = 0x10000;
constexpr uint32_t kLoopBytes = 32;

class CommsLoopTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
  }

  void Connected(bool bigEndian = false) {
    ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
    ASSERT_EQ(Connect(bigEndian ? 1 : 0).status, VANTREL_STATUS_OK);
  }

  // The result of the job that the request started (with the last error cleared first).
  int Job(const JtagResponse& response) {
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << test::ResponseText(response);
    return WaitForJob();
  }

  int LoopsRun() {
    const std::vector<std::string> lines = TraceLines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.rfind("comms loop at 0x", 0) == 0 && line.find(" words from ") != std::string::npos;
    }));
  }

  std::vector<uint8_t> WorkAreaBytes() { return BoardBytes(kWorkArea, kLoopBytes); }
};

class CommsLoopEndianTest : public CommsLoopTest, public ::testing::WithParamInterface<bool> {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.endianness = GetParam() ? vsim::Endianness::kBig : vsim::Endianness::kLittle;
    return config;
  }
};

TEST_P(CommsLoopEndianTest, LongTransfersGoThroughTheLoopAndLeaveItsAreaAsItWas) {
  Connected(GetParam());
  FillBoard(kWorkArea - 64, 128, 0x5D);
  const std::vector<uint8_t> workArea = WorkAreaBytes();
  const std::vector<uint8_t> data = Pattern(kLong, 0x3C);

  ClearPortLog();
  library().jtagClearLastError();
  ASSERT_EQ(Job(WriteMemory(0x10000, data)), 0);
  const double writeAccessesPerWord = static_cast<double>(PortAccesses()) / (kLong / 4);
  EXPECT_EQ(BoardBytes(0x10000, kLong), data);

  std::vector<uint8_t> readBack(kLong);
  ClearPortLog();
  library().jtagClearLastError();
  ASSERT_EQ(Job(ReadMemory(0x10000, readBack.data(), kLong)), 0);
  const double readAccessesPerWord = static_cast<double>(PortAccesses()) / (kLong / 4);
  EXPECT_EQ(readBack, data);

  EXPECT_EQ(LoopsRun(), 2);
  EXPECT_EQ(WorkAreaBytes(), workArea);
  // One chain-2 scan a word: 84 accesses to write one, 104 to read one.
  EXPECT_LT(writeAccessesPerWord, 86);
  EXPECT_LT(readAccessesPerWord, 106);
}

INSTANTIATE_TEST_SUITE_P(Endianness, CommsLoopEndianTest, ::testing::Bool(),
                         [](const auto& param) { return std::string(param.param ? "Big" : "Little"); });

// Where the loop cannot run, the same transfer goes through the debug bus.
struct FallbackCase {
  const char* name;
  std::vector<vsim::MemoryRegion> board;
  uint32_t address;
  int32_t length;
  bool writeOnlyWorkArea;  // the host declares the work area write-only
};

class CommsLoopFallbackTest : public CommsLoopTest, public ::testing::WithParamInterface<FallbackCase> {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.regions = GetParam().board;
    return config;
  }
};

TEST_P(CommsLoopFallbackTest, TheDebugBusServesInstead) {
  const FallbackCase& c = GetParam();
  Connected();
  if (c.writeOnlyWorkArea) {
    ASSERT_EQ(AddRegion(kWorkArea, 0x100, VANTREL_REGION_WRITE_ONLY).status, 0);  // all of lpt.ini's area
  }
  std::vector<uint8_t> workArea(kLoopBytes);
  const bool areaIsMemory = board().ReadMemory(kWorkArea, workArea);  // not where it aborts
  const std::vector<uint8_t> data = Pattern(static_cast<std::size_t>(c.length), 0x21);
  library().jtagClearLastError();
  ASSERT_EQ(Job(WriteMemory(c.address, data)), 0);
  std::vector<uint8_t> readBack(data.size());
  library().jtagClearLastError();
  ASSERT_EQ(Job(ReadMemory(c.address, readBack.data(), c.length)), 0);
  EXPECT_EQ(readBack, data);
  EXPECT_EQ(LoopsRun(), 0);
  if (areaIsMemory && c.address + static_cast<uint32_t>(c.length) <= kWorkArea) {
    EXPECT_EQ(WorkAreaBytes(), workArea);
  }
  EXPECT_NE(StatusWord() >> 8, 0x200) << "restarted from address 0";
}

const std::vector<vsim::MemoryRegion> kDefaultBoard = vsim::BoardConfig::DefaultRegions();
constexpr uint32_t kWorkArea = VANTREL_E2E_WORK_AREA;

INSTANTIATE_TEST_SUITE_P(
    Cases, CommsLoopFallbackTest,
    ::testing::Values(FallbackCase{"WorkAreaInRom",
                                   {{0, kWorkArea, vsim::RegionKind::kRam}, {kWorkArea, 0x100, vsim::RegionKind::kRom}},
                                   0x10000,
                                   kLong,
                                   false},
                      FallbackCase{"WorkAreaAborts",
                                   {{0, kWorkArea, vsim::RegionKind::kRam},
                                    {kWorkArea, 0x100, vsim::RegionKind::kAbort}},
                                   0x10000,
                                   kLong,
                                   false},
                      FallbackCase{"TransferOverTheWholeArea", kDefaultBoard, 0x30000, kLong, false},
                      FallbackCase{"WorkAreaDeclaredWriteOnly", kDefaultBoard, 0x10000, kLong, true}),
    [](const auto& param) { return std::string(param.param.name); });

// An access that aborts: the loop halts at the vector instead of running the handler
// there, the transfer fails as through the debug bus (the core stays halted, put back as
// it halted), and the work area is back.
class CommsLoopAbortTest : public CommsLoopTest, public ::testing::WithParamInterface<bool> {
 protected:
  static constexpr uint32_t kAbortBase = 0x30000;
  static constexpr uint32_t kHandlerMark = 0x200;

  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.regions = {{0, kAbortBase, vsim::RegionKind::kRam},
                      {kAbortBase, 0x1000, vsim::RegionKind::kAbort},
                      {kAbortBase + 0x1000, 0x10000, vsim::RegionKind::kRam}};
    return config;
  }
};

TEST_P(CommsLoopAbortTest, FailsLikeTheDebugBusWithoutRunningTheHandler) {
  const bool write = GetParam();
  LoadWords(0, {0xEAFFFFFE /* B . */});
  LoadWords(0x10, {0xEA00003A /* B 0x100 */});
  LoadWords(0x100, {0xE3A050AB /* MOV r5, #0xAB */, 0xE3A06C02 /* MOV r6, #0x200 */, 0xE5865000 /* STR r5, [r6] */,
                    0xEAFFFFFE /* B . */});
  Connected();
  const std::vector<uint8_t> workArea = WorkAreaBytes();
  const uint32_t address = kAbortBase - 0x8000;
  std::vector<uint8_t> buffer = Pattern(kLong, 0x66);
  const std::vector<uint8_t> unchanged = buffer;
  library().jtagClearLastError();
  const int result = Job(write ? WriteMemory(address, buffer) : ReadMemory(address, buffer.data(), kLong));
  EXPECT_NE(result, 0);
  EXPECT_NE(result, 1);
  EXPECT_EQ(LoopsRun(), 1);
  EXPECT_EQ(StatusWord() >> 8, 0x300) << "still halted";
  EXPECT_EQ(ResponseWords(ReadRegistersByNames({"cpsr"})), std::vector<uint32_t>{0xD3}) << "out of Abort mode";
  EXPECT_EQ(buffer, unchanged);
  EXPECT_EQ(WorkAreaBytes(), workArea);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(1000);
  EXPECT_EQ(BoardBytes(kHandlerMark, 4), std::vector<uint8_t>(4, 0)) << "the abort handler ran";
}

INSTANTIATE_TEST_SUITE_P(Transfers, CommsLoopAbortTest, ::testing::Bool(),
                         [](const auto& param) { return std::string(param.param ? "Write" : "Read"); });

// A transfer that runs past 0xFFFFFFFF and on over the work area from address 0: the
// loop must not be placed where the wrapped part goes. Both modes move the same bytes.
class CommsLoopWrapTest : public CommsLoopEndianTest {
 protected:
  static constexpr uint32_t kTop = 0xFFFFFF00;
  static constexpr uint32_t kBottomBytes = 0x40000;  // up to and over the work area

  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config = CommsLoopEndianTest::BoardConfiguration();
    config.regions = {{0, kBottomBytes, vsim::RegionKind::kRam}, {kTop, 0x100, vsim::RegionKind::kRam}};
    return config;
  }

  std::vector<uint8_t> WrappedBoardBytes() {
    std::vector<uint8_t> bytes = BoardBytes(kTop, 0x100);
    const std::vector<uint8_t> bottom = BoardBytes(0, kBottomBytes);
    bytes.insert(bytes.end(), bottom.begin(), bottom.end());
    return bytes;
  }
};

TEST_P(CommsLoopWrapTest, FastAndExactMoveTheSameBytesAcrossTheTop) {
  Connected(GetParam());
  constexpr int32_t kBytes = 0x100 + static_cast<int32_t>(kBottomBytes);
  const struct {
    int mode;
    uint8_t seed;
  } modes[] = {{VANTREL_TRANSFER_EXACT, 0x3C}, {VANTREL_TRANSFER_FAST, 0x4D}};
  for (const auto& m : modes) {
    library().VantrelSetTransferMode(m.mode);
    const std::vector<uint8_t> data = Pattern(kBytes, m.seed);
    library().jtagClearLastError();
    ASSERT_EQ(Job(WriteMemory(kTop, data)), 0) << m.mode;
    EXPECT_EQ(WrappedBoardBytes(), data) << m.mode;
    FillBoard(kWorkArea, 0x100, 0x11);  // bytes of its own where the loop would go
    std::vector<uint8_t> expected = WrappedBoardBytes();
    std::vector<uint8_t> readBack(kBytes);
    library().jtagClearLastError();
    ASSERT_EQ(Job(ReadMemory(kTop, readBack.data(), kBytes)), 0) << m.mode;
    EXPECT_EQ(readBack, expected) << m.mode;
  }
}

INSTANTIATE_TEST_SUITE_P(Endianness, CommsLoopWrapTest, ::testing::Bool(),
                         [](const auto& param) { return std::string(param.param ? "Big" : "Little"); });

}  // namespace
}  // namespace vantrel::e2e
