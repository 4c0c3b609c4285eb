// Several host threads calling every export while background jobs run: nothing may
// hang, crash or race (this program is also run under ThreadSanitizer). The polling
// threads ask to stop transfers now and then, so the jobs' data is not checked here;
// a final undisturbed read checks that the library and the board still agree.
#include <atomic>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr int kRounds = 12;
constexpr uint32_t kArea = 0x8000;
constexpr int32_t kLength = 2048;

class TransferStressTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_EQ(library().getDbgStatus(1), 3);
  }

  // Each job is started and then waited for by sending a command, which waits at the
  // job gate (the last error is not usable: other threads clear it).
  void DriveJobs() {
    std::vector<uint8_t> buffer(kLength);
    const std::vector<uint8_t> data = Pattern(kLength, 0x6B);
    for (int round = 0; round < kRounds; ++round) {
      EXPECT_EQ(ReadMemory(kArea, buffer.data(), kLength).status, VANTREL_STATUS_OK);
      EXPECT_EQ(WriteMemory(kArea + 1, data).status, VANTREL_STATUS_OK);
      EXPECT_EQ(Download(kArea, kArea, data, round % 2).status, VANTREL_STATUS_OK);
      EXPECT_EQ(Call(VANTREL_CMD_GET_NAME).status, VANTREL_STATUS_OK);
    }
  }

  void Poll(int selector) {
    while (!done_) {
      (void)library().getJtagProcess();
      (void)library().jtagGetLastError();
      if (selector == 0) library().setJtagProcessBreak();
      if (selector == 1) library().jtagClearLastError();
      std::this_thread::yield();
    }
  }

  void Command(int selector) {
    std::vector<uint8_t> buffer(16);
    while (!done_) {
      (void)library().getDbgStatus(selector);
      JtagResponse response = selector == 0 ? ReadMemory(kArea, buffer.data(), 16) : ListRegions();
      EXPECT_EQ(response.status, VANTREL_STATUS_OK);
      response = Call(VANTREL_CMD_READ_ICE);
      EXPECT_EQ(response.length, 64);
    }
  }

  std::atomic<bool> done_{false};
};

TEST_F(TransferStressTest, EveryExportFromSeveralThreadsWhileJobsRun) {
  std::vector<std::thread> threads;
  for (int selector : {0, 1, 2}) threads.emplace_back([this, selector] { Poll(selector); });
  for (int selector : {0, 1}) threads.emplace_back([this, selector] { Command(selector); });
  DriveJobs();
  done_ = true;
  for (std::thread& thread : threads) thread.join();

  FillBoard(kArea, kLength, 0x2D);
  std::vector<uint8_t> buffer(kLength);
  library().jtagClearLastError();
  ASSERT_EQ(ReadMemory(kArea, buffer.data(), kLength).status, VANTREL_STATUS_OK);
  ASSERT_EQ(WaitForJob(), 0);
  EXPECT_EQ(buffer, BoardBytes(kArea, kLength));
}

// Unloading while a job runs waits for the job before anything is torn down.
TEST_F(TransferStressTest, UnloadWaitsForARunningJob) {
  std::vector<uint8_t> buffer(0x20000);
  ASSERT_EQ(ReadMemory(0, buffer.data(), static_cast<int32_t>(buffer.size())).status, VANTREL_STATUS_OK);
  library().Unload();
  EXPECT_EQ(buffer, BoardBytes(0, buffer.size()));
}

}  // namespace
}  // namespace vantrel::e2e
