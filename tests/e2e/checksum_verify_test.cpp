// The fast verify by a CRC-32 that the core computes in the work area: a range that holds
// the written bytes passes, one byte differing anywhere fails it, on either byte order;
// the work area ends as it was; where the loop has no room the words are read back.
// The board's ROM ignores bus writes, so bytes loaded there beforehand stay whatever the
// write sends: the verify then sees exactly the bytes the case prepared.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <tuple>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr uint32_t kRom = 0x80000;

struct MismatchCase {
  const char* name;
  uint32_t offset;  // from the ROM's start: the range's first byte
  int32_t length;
  int32_t differing;  // the byte of the range that differs; -1 none
};

class ChecksumVerifyBase : public MemoryTest {
 protected:
  int LinesStartingWith(const std::string& prefix) {
    const std::vector<std::string> lines = TraceLines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
  }
};

class ChecksumVerifyTest : public ChecksumVerifyBase,
                           public ::testing::WithParamInterface<std::tuple<MismatchCase, bool, bool>> {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.endianness = BigEndian() ? vsim::Endianness::kBig : vsim::Endianness::kLittle;
    return config;
  }
  static const MismatchCase& Case() { return std::get<0>(GetParam()); }
  static bool BigEndian() { return std::get<1>(GetParam()); }
  static bool AsDownload() { return std::get<2>(GetParam()); }
};

TEST_P(ChecksumVerifyTest, FailsWhereOneByteDiffersAndPassesWhereNone) {
  library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Connect(BigEndian() ? 1 : 0).status, VANTREL_STATUS_OK);
  FillBoard(kWorkArea, 0x100, 0x5D);
  const std::vector<uint8_t> workArea = BoardBytes(kWorkArea, 0x100);
  const uint32_t address = kRom + Case().offset;
  const std::vector<uint8_t> data = Pattern(static_cast<std::size_t>(Case().length), 0x4B);
  std::vector<uint8_t> held = data;
  if (Case().differing >= 0) held[static_cast<std::size_t>(Case().differing)] ^= 0x01;
  ASSERT_TRUE(board().WriteMemory(address, held));

  library().jtagClearLastError();
  const JtagResponse response = AsDownload() ? Download(address, address, data, 1) : WriteMemory(address, data, 1);
  ASSERT_EQ(response.status, VANTREL_STATUS_OK) << test::ResponseText(response);
  const int failed = AsDownload() ? VANTREL_JOB_DOWNLOAD_VERIFY_FAILED : VANTREL_JOB_WRITE_VERIFY_FAILED;
  EXPECT_EQ(WaitForJob(), Case().differing >= 0 ? failed : VANTREL_JOB_SUCCEEDED);
  EXPECT_EQ(LinesStartingWith("checksum loop at 0x"), 1);
  EXPECT_EQ(LinesStartingWith("checksum loop failed"), 0);
  EXPECT_EQ(BoardBytes(kWorkArea, 0x100), workArea);
  EXPECT_EQ(StatusWord() & 1, 1) << "still halted";
}

const MismatchCase kMismatchCases[] = {
    {"AllSame", 0, 4096, -1},
    {"FirstByte", 0, 4096, 0},
    {"LastByte", 0, 4096, 4095},
    {"Middle", 0, 4096, 2049},
    {"UnalignedAllSame", 1, 4097, -1},
    {"UnalignedFirstByte", 1, 4097, 0},
    {"UnalignedLastByte", 3, 4094, 4093},
};

INSTANTIATE_TEST_SUITE_P(Cases, ChecksumVerifyTest,
                         ::testing::Combine(::testing::ValuesIn(kMismatchCases), ::testing::Bool(), ::testing::Bool()),
                         [](const auto& param) {
                           std::string name = std::get<0>(param.param).name;
                           name += std::get<1>(param.param) ? "Big" : "Little";
                           name += std::get<2>(param.param) ? "Download" : "Write";
                           return name;
                         });

// Without room for the loop's 100 bytes (the host declared the middle of the 256-byte
// area write-only, leaving the comms loop room at its start) the words are read back: a
// differing byte still fails the verify, and the area is as it was.
class ChecksumFallbackTest : public ChecksumVerifyBase {};

TEST_F(ChecksumFallbackTest, ReadsBackWhereTheLoopHasNoRoom) {
  library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  ASSERT_EQ(AddRegion(kWorkArea + 0x60, 0x40, VANTREL_REGION_WRITE_ONLY).status, 0);
  const std::vector<uint8_t> workArea = BoardBytes(kWorkArea, 0x100);
  const std::vector<uint8_t> data = Pattern(4096, 0x21);
  std::vector<uint8_t> held = data;
  held[4095] ^= 0x80;
  ASSERT_TRUE(board().WriteMemory(kRom, held));
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(kRom, data, 1).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), VANTREL_JOB_WRITE_VERIFY_FAILED);
  EXPECT_EQ(LinesStartingWith("checksum loop at 0x"), 0);
  EXPECT_EQ(LinesStartingWith("comms loop at 0x"), 2) << "the write and the reading back";
  EXPECT_EQ(BoardBytes(kWorkArea, 0x100), workArea);
}

// A core that never comes back once the loop runs (it no longer halts, whatever is
// asked): the wait for the loop ends at its time limit, the verify fails as a reading
// back through a lost link does, and the core is started afresh; nothing hangs.
class ChecksumCoreGoneTest : public ChecksumVerifyBase {
 protected:
  static void Sink(void* context, const char* line) {
    auto* self = static_cast<ChecksumCoreGoneTest*>(context);
    const std::string text(line);
    if (text.rfind("checksum loop at 0x", 0) == 0) self->board().SetCoreNeverHalts(true);
    const std::lock_guard<std::mutex> lock(self->lines_mutex_);
    self->lines_.push_back(text);
  }
  bool Traced(const std::string& prefix) {
    const std::lock_guard<std::mutex> lock(lines_mutex_);
    return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  }
  std::mutex lines_mutex_;
  std::vector<std::string> lines_;
};

TEST_F(ChecksumCoreGoneTest, FailsTheVerifyWithinItsTimeLimit) {
  library().VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  library().VantrelSetTraceSink(&Sink, this);
  const std::vector<uint8_t> data = Pattern(4096, 0x35);
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0x10000, data, 1).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(std::chrono::seconds(60)), VANTREL_JOB_WRITE_VERIFY_FAILED);
  EXPECT_TRUE(Traced("checksum loop failed: link lost"));
  EXPECT_EQ(StatusWord() >> 8, 0x200) << "started afresh";
  library().VantrelSetTraceSink(nullptr, nullptr);
}

}  // namespace
}  // namespace vantrel::e2e
