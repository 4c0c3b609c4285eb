// Background jobs as a host sees them: progress while a long transfer runs, commands
// waiting for the job, stops from the host, downloads of a real program that then runs,
// and the last error of each outcome.
#include <atomic>
#include <fstream>
#include <iterator>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;

constexpr uint32_t kRamSize = 0x40000;
constexpr uint32_t kRomBase = 0x80000;
constexpr uint32_t kImageBase = 0x10000;
constexpr uint32_t kChecksumAddress = 0x30000;
constexpr uint32_t kDoneMarker = 0x600DF00D;

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// What the image's program computes over its table of 16,000 words.
uint32_t ExpectedChecksum() {
  uint32_t sum = 0;
  for (uint64_t i = 0; i < 16000; ++i) {
    const auto word = static_cast<uint32_t>(i * 0x9E3779B1u + 0x12345u);
    sum = word ^ ((sum >> 27) | (sum << 5));
  }
  return sum;
}

class JobTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_EQ(library().getDbgStatus(1), 3);
  }

  uint32_t Register(const std::string& name) {
    const JtagResponse response = ReadRegistersByNames({name});
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    return ResponseWords(response).at(0);
  }

  // Waits until the running job has made some progress, then asks it to stop.
  void StopOnceUnderWay() {
    while (library().getJtagProcess() < 1 && library().jtagGetLastError() == 1) std::this_thread::yield();
    library().setJtagProcessBreak();
  }
};

TEST_F(JobTest, ProgressRisesToHundredWhileCommandsWaitForTheJob) {
  FillBoard(0, kRamSize, 0x21);
  std::vector<uint8_t> buffer(kRamSize, 0);
  library().jtagClearLastError();
  ASSERT_EQ(ReadMemory(0, buffer.data(), static_cast<int32_t>(kRamSize)).status, VANTREL_STATUS_OK);

  std::atomic<int> resultSeenByWaitingCommand{99};
  std::thread waiting([&] {
    const JtagResponse version = Call(VANTREL_CMD_GET_VERSION);
    EXPECT_EQ(ResponseText(version), "V1.2");
    resultSeenByWaitingCommand = library().jtagGetLastError();
  });
  // Each value the progress passes through, once: a poll that finds it unchanged adds
  // nothing (polling a lock-free read, a 32-bit host would run out of memory otherwise).
  std::vector<int> seen;
  while (library().jtagGetLastError() == 1) {
    const int progress = library().getJtagProcess();
    if (seen.empty() || seen.back() != progress) seen.push_back(progress);
  }
  waiting.join();

  EXPECT_EQ(library().jtagGetLastError(), 0);
  EXPECT_EQ(resultSeenByWaitingCommand, 0) << "the command ran only after the job had stored its result";
  EXPECT_EQ(library().getJtagProcess(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(buffer, BoardBytes(0, kRamSize));
}

TEST_F(JobTest, StoppedReadDeliversWhatItReadAndFFForTheRest) {
  FillBoard(0, kRamSize, 0x5C);
  std::vector<uint8_t> buffer(kRamSize, 0);
  library().jtagClearLastError();
  ASSERT_EQ(ReadMemory(0, buffer.data(), static_cast<int32_t>(kRamSize)).status, VANTREL_STATUS_OK);
  StopOnceUnderWay();
  EXPECT_EQ(WaitForJob(), 0);

  const std::vector<uint8_t> board = BoardBytes(0, kRamSize);
  std::size_t read = 0;
  while (read < kRamSize && buffer[read] == board[read]) ++read;
  EXPECT_GT(read, 0u);
  EXPECT_LT(read, kRamSize);
  EXPECT_EQ(read % 1024, 0u) << "reads stop at a progress report, every 256 words";
  EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(read), buffer.end(),
                          [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(JobTest, StoppedWriteEndsWithTheWriteJobFailure) {
  FillBoard(0, kRamSize, 0x11);
  const std::vector<uint8_t> before = BoardBytes(0, kRamSize);
  const std::vector<uint8_t> data = Pattern(kRamSize, 0x99);
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0, data).status, VANTREL_STATUS_OK);
  StopOnceUnderWay();
  EXPECT_EQ(WaitForJob(), -3);

  const std::vector<uint8_t> after = BoardBytes(0, kRamSize);
  std::size_t written = 0;
  while (written < kRamSize && after[written] == data[written]) ++written;
  EXPECT_LT(written, kRamSize);
  EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(written) + 64, after.end(),
                         before.begin() + static_cast<std::ptrdiff_t>(written) + 64));
  // The core stays halted after a stop: the next command works.
  std::vector<uint8_t> word(4, 0);
  EXPECT_EQ(ReadMemory(0, word.data(), 4).status, VANTREL_STATUS_OK);
}

TEST_F(JobTest, StopRequestedBeforeTheCommandIsForgotten) {
  FillBoard(0x1000, 4096, 0x42);
  std::vector<uint8_t> buffer(4096, 0);
  library().setJtagProcessBreak();
  library().jtagClearLastError();
  library().setJtagProcessBreak();
  ASSERT_EQ(ReadMemory(0x1000, buffer.data(), 4096).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), 0);
  EXPECT_EQ(buffer, BoardBytes(0x1000, 4096));
}

TEST_F(JobTest, DownloadedProgramRunsFromItsEntryAddress) {
  const std::vector<uint8_t> image = ReadFile(CHECKSUM_IMAGE_BIN);
  ASSERT_EQ(image.size(), 65536u);
  ASSERT_EQ(WriteRegister("r0", 0x1234).status, VANTREL_STATUS_OK);
  ASSERT_EQ(WriteRegister("r1", 0x5678).status, VANTREL_STATUS_OK);
  library().jtagClearLastError();
  const JtagResponse response = Download(kImageBase, kImageBase, image, /*verify=*/1);
  EXPECT_EQ(response.echo, VANTREL_CMD_DOWNLOAD);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  ASSERT_EQ(WaitForJob(), 0);
  EXPECT_EQ(library().getJtagProcess(), 100);
  EXPECT_EQ(BoardBytes(kImageBase, image.size()), image);
  EXPECT_EQ(StatusWord() >> 8, 0x400);
  EXPECT_EQ(Register("pc"), kImageBase);
  EXPECT_EQ(Register("r0"), 0x1234u);
  EXPECT_EQ(Register("r1"), 0x5678u);

  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(200000);
  EXPECT_EQ(board().ReadWord(kChecksumAddress + 4), kDoneMarker);
  EXPECT_EQ(board().ReadWord(kChecksumAddress), ExpectedChecksum());
}

TEST_F(JobTest, DownloadIntoRomFailsItsVerifyAndStillSetsThePc) {
  const std::vector<uint8_t> image = Pattern(2048, 0x3C);
  library().jtagClearLastError();
  ASSERT_EQ(Download(kRomBase, kRomBase + 0x10, image).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), -4);
  EXPECT_EQ(Register("pc"), kRomBase + 0x10);
  EXPECT_EQ(StatusWord() >> 8, 0x400);
}

TEST_F(JobTest, DownloadLengthsZeroAndNegative) {
  FillBoard(0x2000, 16, 0x10);
  const std::vector<uint8_t> before = BoardBytes(0x2000, 16);
  const uint32_t pc = Register("pc");
  library().jtagClearLastError();
  const std::vector<uint8_t> image = Pattern(16, 0);
  JtagResponse response = DownloadRaw(0x2000, 0x2000, image.data(), 0, 1);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), 0);
  EXPECT_EQ(library().getJtagProcess(), 0) << "nothing was transferred, so the progress keeps its value";
  EXPECT_EQ(Register("pc"), pc);

  library().jtagClearLastError();
  response = DownloadRaw(0x2000, 0x2000, image.data(), -16, 1);
  EXPECT_EQ(response.echo, VANTREL_CMD_DOWNLOAD);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "invalid parameters are used");
  EXPECT_EQ(library().jtagGetLastError(), -1);
  EXPECT_EQ(BoardBytes(0x2000, 16), before);
}

TEST_F(JobTest, DownloadToATargetThatIsDownFailsAndLeavesItDown) {
  ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  library().jtagClearLastError();
  const std::vector<uint8_t> image = Pattern(4, 0);
  ASSERT_EQ(Download(0x2000, 0x2000, image).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), -1);
  EXPECT_EQ(StatusWord() >> 8, 0x200);
}

}  // namespace
}  // namespace vantrel::e2e
