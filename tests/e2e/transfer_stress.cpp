// Several host threads calling every export while background jobs run: nothing may
// hang, crash or race (this program is also run under ThreadSanitizer). The polling
// threads ask to stop transfers now and then, so the jobs' data is not checked here;
// a final undisturbed read checks that the library and the board still agree.
#include <atomic>

#include "memory_requests.h"
#include "support/recording_port.h"

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
// On Windows the host's FreeLibrary returns at once and the job's thread, which holds
// the library, unloads it as it ends: the test waits for that before its board goes.
TEST_F(TransferStressTest, UnloadWaitsForARunningJob) {
  FillBoard(0, 0x20000, 0x2D);
  std::vector<uint8_t> buffer(0x20000);
  ASSERT_EQ(ReadMemory(0, buffer.data(), static_cast<int32_t>(buffer.size())).status, VANTREL_STATUS_OK);
  library().Unload();
  ASSERT_TRUE(library().WaitUntilUnmapped(60000));
  EXPECT_EQ(buffer, BoardBytes(0, buffer.size()));
}

// Plugging in another port while a job runs waits for the job: the job ends on the
// port it began on, and the new port sees nothing of it.
TEST_F(TransferStressTest, SwitchingPortsWaitsForARunningJob) {
  FillBoard(0, 0x10000, 0x31);
  std::vector<uint8_t> buffer(0x10000);
  library().jtagClearLastError();
  ASSERT_EQ(ReadMemory(0, buffer.data(), static_cast<int32_t>(buffer.size())).status, VANTREL_STATUS_OK);
  test::RecordingPort other;
  const VantrelPortIo io = other.Io();
  library().VantrelUsePortIo(&io);

  EXPECT_EQ(library().jtagGetLastError(), 0);
  EXPECT_EQ(buffer, BoardBytes(0, buffer.size()));
  EXPECT_EQ(other.Log().size(), 0u);
  library().Unload();  // through the other port, which must outlive the library's use of it
}

// Sinks swapped while another host thread's status queries write lines: each line reaches a
// sink with that sink's own context, and a sink replaced is never called after the swap
// has returned.
struct SwappedSink {
  explicit SwappedSink(int sinkId) : id(sinkId) {}
  const int id;
  std::atomic<bool> retired{true};
  std::atomic<int> lines{0};
  std::atomic<int> faults{0};
  // Each sink knows its own context: a line with the other sink's context is a fault.
  template <int kId>
  static void Receive(void* context, const char*) {
    auto* self = static_cast<SwappedSink*>(context);
    if (self->id != kId || self->retired.load()) ++self->faults;
    ++self->lines;
  }
};

TEST_F(TransferStressTest, SwappedTraceSinksKeepTheirContextsAndStopWhenReplaced) {
  SwappedSink first(1);
  SwappedSink second(2);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) (void)StatusWord();  // one line each
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int round = 0; (first.lines < 500 || second.lines < 500) && std::chrono::steady_clock::now() < deadline;
       ++round) {
    SwappedSink& next = round % 2 ? first : second;
    SwappedSink& previous = round % 2 ? second : first;
    next.retired = false;
    library().VantrelSetTraceSink(round % 2 ? &SwappedSink::Receive<1> : &SwappedSink::Receive<2>, &next);
    previous.retired = true;
    std::this_thread::yield();
  }
  done = true;
  reader.join();
  library().VantrelSetTraceSink(nullptr, nullptr);
  EXPECT_GE(first.lines, 500);
  EXPECT_GE(second.lines, 500);
  EXPECT_EQ(first.faults, 0);
  EXPECT_EQ(second.faults, 0);
}

// A line being delivered finishes before the sink is replaced: once the swap returns,
// the old sink has left the call and is never entered again.
TEST_F(TransferStressTest, ReplacingTheSinkWaitsForALineBeingDelivered) {
  struct SlowSink {
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
    static void Receive(void* context, const char*) {
      auto* self = static_cast<SlowSink*>(context);
      if (self->entered.exchange(true)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      self->left = true;
    }
  } slow;
  library().VantrelSetTraceSink(&SlowSink::Receive, &slow);
  std::thread reader([this] { (void)StatusWord(); });
  while (!slow.entered) std::this_thread::yield();
  library().VantrelSetTraceSink(nullptr, nullptr);
  EXPECT_TRUE(slow.left);
  reader.join();
}

// A sink may replace itself from inside the call; the next line goes to its successor.
TEST_F(TransferStressTest, ASinkMayReplaceItself) {
  struct Relay {
    test::LoadedLibrary* library;
    std::vector<std::string> firstLines, secondLines;
    static void First(void* context, const char* line) {
      auto* self = static_cast<Relay*>(context);
      self->firstLines.emplace_back(line);
      self->library->VantrelSetTraceSink(&Second, self);
    }
    static void Second(void* context, const char* line) {
      static_cast<Relay*>(context)->secondLines.emplace_back(line);
    }
  } relay{&library(), {}, {}};
  library().VantrelSetTraceSink(&Relay::First, &relay);
  (void)StatusWord();
  (void)StatusWord();
  library().VantrelSetTraceSink(nullptr, nullptr);
  EXPECT_EQ(relay.firstLines.size(), 1u);
  EXPECT_GE(relay.secondLines.size(), 1u);
}

}  // namespace
}  // namespace vantrel::e2e
