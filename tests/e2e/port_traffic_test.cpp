// The fault-free port traffic of a whole session, access for access: every port access of
// each step (the values written included) is reduced to a count and a digest, which
// must equal the figures the library gave before it learnt to detect lost cables, lost
// power, failed halts and data aborts. The only deliberate difference is the data-abort
// check at the end of each memory transfer: one CPSR read, kAbortCheckAccesses accesses;
// for a step with a transfer, the digest is taken with exactly that window left out.
#include <optional>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

// The CPSR read of the abort check: the chain-1 preamble (SCAN_N 33, chain number 29,
// INTEST 33 accesses) and 19 chain-1 words of 120 accesses each.
constexpr uint64_t kAbortCheckAccesses = 33 + 29 + 33 + 19 * 120;
constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;    // B .
constexpr uint64_t kHashBase = 0x100000001B3ull;  // odd, so every power is invertible

// Each access as one number: direction, port and the value written. The bytes read are
// the board's answer, not the library's doing (a CPSR read leaves another word on the data
// bus for the next don't-care capture); what the library makes of them shows in its writes.
uint64_t AccessCode(bool write, uint16_t port, uint8_t value) {
  return (write ? 1ull : 2ull) | uint64_t{port} << 2 | (write ? uint64_t{value} << 18 : 0);
}

// Polynomial digest over the codes, with prefix digests so that the digest of the log
// without any one window is found in constant time.
class TrafficLog {
 public:
  void Add(uint64_t code) {
    prefix_.push_back(prefix_.back() * kHashBase + code);
    powers_.push_back(powers_.back() * kHashBase);
  }
  size_t Count() const { return prefix_.size() - 1; }
  // Calls that wait for the port's answer: single reads, and runs holding a read.
  void NoteRoundTrip() { ++round_trips_; }
  uint64_t RoundTrips() const { return round_trips_; }
  uint64_t Digest() const { return prefix_.back(); }
  // The digest with the accesses [start, start + length) left out.
  uint64_t DigestWithout(size_t start, size_t length) const {
    const size_t end = start + length;
    const uint64_t tail = prefix_[Count()] - prefix_[end] * powers_[Count() - end];
    return prefix_[start] * powers_[Count() - end] + tail;
  }
  // Where a window of length can be left out so that the rest has the given digest.
  std::optional<size_t> WindowGiving(uint64_t digest, size_t length) const {
    if (Count() < length) return std::nullopt;
    for (size_t start = 0; start + length <= Count(); ++start) {
      if (DigestWithout(start, length) == digest) return start;
    }
    return std::nullopt;
  }

 private:
  std::vector<uint64_t> prefix_{0};
  std::vector<uint64_t> powers_{1};
  uint64_t round_trips_ = 0;
};

std::vector<uint8_t> BranchToSelfWords(std::size_t words) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < words; ++i) {
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(kBranchToSelf >> (8 * b)));
  }
  return bytes;
}

struct StepFigures {
  const char* step;
  uint64_t accesses;  // before the abort check existed
  uint64_t digest;
  int transfers;  // memory transfers in the step, each with one abort check now
};

// Taken from the library before the faults were detected (commit ac9ac72).
constexpr StepFigures kBaseline[] = {
    {"open", 2, 0x540de10241d3a335ull, 0},
    {"connect", 31792, 0x2885fdee321e84c2ull, 0},
    {"registers", 4725, 0xbca493424bd560a7ull, 0},
    {"write 4 KiB", 273100, 0x19bd2885b60bf5f0ull, 1},
    {"read 4 KiB", 386015, 0xd1e4fbaf2fbffbcdull, 1},
    {"download", 165400, 0x7f4ffe9535ec81feull, 1},
    {"run", 21003, 0x46f335efc727d125ull, 0},
    {"stop", 30449, 0x3a0b68d936ccbdf7ull, 0},
    {"disconnect", 1571, 0xcf716c25c78b0159ull, 0},
};

class PortTrafficTest : public MemoryTest {
 protected:
  // Only TCK edges move a running core, so every read gives the same byte each run.
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    return config;
  }

  void SetUp() override {
    MemoryTest::SetUp();
    PlugTappedPort(false);
  }

  // The board behind a port that notes every access; batched, it also takes runs of
  // accesses through the batch entry, as a port behind a socket does.
  void PlugTappedPort(bool batched) {
    board_io_ = board().PortIo();
    const VantrelPortIo tapped{this, [](void*) { return 0; }, &Read, &Write};
    if (batched) library().VantrelUsePortBatch(&tapped, &Batch);
    else library().VantrelUsePortIo(&tapped);
  }

  // Unloading resets the TAP through the port, which must still be this fixture's.
  void TearDown() override {
    library().Unload();
    MemoryTest::TearDown();
  }

  TrafficLog& Step(const char* name) {
    logs_.emplace_back(name, TrafficLog{});
    return logs_.back().second;
  }

  const TrafficLog* LogOf(const std::string& name) const {
    for (const auto& [step, log] : logs_) {
      if (step == name) return &log;
    }
    return nullptr;
  }

  void Job(const JtagResponse& response) {
    ASSERT_EQ(response.status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
  }

  // open, connect, registers, 4 KiB written and read, a download, run, stop, disconnect.
  void RunSession() {
    LoadWords(0x0, std::vector<uint32_t>(64, kBranchToSelf));  // where a restarted core goes
    Step("open");
    ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
    Step("connect");
    ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
    Step("registers");
    ASSERT_EQ(ReadRegistersByNames({"r0", "cpsr", "spsr"}).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WriteRegister("r4", 0x12345678).status, VANTREL_STATUS_OK);
    const std::vector<uint8_t> data = Pattern(4096, 0x5A);
    library().jtagClearLastError();
    Step("write 4 KiB");
    Job(WriteMemory(0x8000, data));
    std::vector<uint8_t> buffer(4096);
    library().jtagClearLastError();
    Step("read 4 KiB");
    Job(ReadMemory(0x8000, buffer.data(), 4096));
    ASSERT_EQ(buffer, data);
    const std::vector<uint8_t> image = BranchToSelfWords(512);
    library().jtagClearLastError();
    Step("download");
    Job(Download(0x4000, 0x4000, image, 0));
    Step("run");
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    Step("stop");
    ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
    Step("disconnect");
    ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  }

 private:
  void Note(bool write, uint16_t port, uint8_t value) {
    if (!logs_.empty()) logs_.back().second.Add(AccessCode(write, port, value));
  }
  void NoteRoundTrip() {
    if (!logs_.empty()) logs_.back().second.NoteRoundTrip();
  }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<PortTrafficTest*>(context);
    const unsigned char value = self->board_io_.read(self->board_io_.context, port);
    self->Note(false, port, value);
    self->NoteRoundTrip();
    return value;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<PortTrafficTest*>(context);
    self->Note(true, port, value);
    self->board_io_.write(self->board_io_.context, port, value);
  }
  static void Batch(void* context, VantrelPortAccess* accesses, unsigned count) {
    auto* self = static_cast<PortTrafficTest*>(context);
    bool anyRead = false;
    for (unsigned i = 0; i < count; ++i) {
      if (accesses[i].isRead != 0) {
        accesses[i].value = self->board_io_.read(self->board_io_.context, accesses[i].port);
        anyRead = true;
      } else {
        self->board_io_.write(self->board_io_.context, accesses[i].port, accesses[i].value);
      }
      self->Note(accesses[i].isRead == 0, accesses[i].port, accesses[i].value);
    }
    if (anyRead) self->NoteRoundTrip();
  }

  VantrelPortIo board_io_{};

 protected:
  std::vector<std::pair<std::string, TrafficLog>> logs_;
};

TEST_F(PortTrafficTest, EveryStepMakesTheSameAccessesAsBeforeBesidesTheAbortCheck) {
  RunSession();
  for (const StepFigures& expected : kBaseline) {
    SCOPED_TRACE(expected.step);
    const TrafficLog* log = LogOf(expected.step);
    ASSERT_NE(log, nullptr);
    const uint64_t checks = static_cast<uint64_t>(expected.transfers) * kAbortCheckAccesses;
    ASSERT_EQ(log->Count(), expected.accesses + checks);
    if (expected.transfers == 0) {
      EXPECT_EQ(log->Digest(), expected.digest);
    } else {
      // One transfer per step: the rest of the traffic is the old traffic.
      ASSERT_EQ(expected.transfers, 1);
      EXPECT_TRUE(log->WindowGiving(expected.digest, kAbortCheckAccesses).has_value());
    }
  }
}

// A port with a batch entry gets the same accesses in the same order, in both transfer
// modes, and waits for far fewer answers: a captured scan is one round trip.
TEST_F(PortTrafficTest, ABatchingPortGetsTheSameAccessesInFewerRoundTrips) {
  for (const int mode : {VANTREL_TRANSFER_EXACT, VANTREL_TRANSFER_FAST}) {
    SCOPED_TRACE(mode == VANTREL_TRANSFER_FAST ? "fast" : "exact");
    std::vector<std::pair<std::string, TrafficLog>> runs[2];
    for (const bool batched : {false, true}) {
      ReloadLibrary();
      UseBoard(BoardConfiguration());
      PlugTappedPort(batched);
      library().VantrelSetTransferMode(mode);
      logs_.clear();
      RunSession();
      runs[batched ? 1 : 0] = logs_;
    }
    ASSERT_EQ(runs[0].size(), runs[1].size());
    for (std::size_t step = 0; step < runs[0].size(); ++step) {
      const auto& [name, single] = runs[0][step];
      const TrafficLog& batched = runs[1][step].second;
      SCOPED_TRACE(name);
      EXPECT_EQ(batched.Count(), single.Count());
      EXPECT_EQ(batched.Digest(), single.Digest());
      // Waiting for the cable is what a link charges for: ten times fewer waits at least,
      // and four times fewer for a step that waits for only a few answers anyway (the
      // fast run reads hardly more than the status that says the core is back).
      const std::size_t factor = single.RoundTrips() >= 100 ? 10 : 4;
      EXPECT_LE(batched.RoundTrips() * factor, single.RoundTrips() + 10) << single.RoundTrips();
      // A fast read keeps a block's scans in flight together: one round trip per block of
      // 14 words, plus a fixed cost.
      if (mode == VANTREL_TRANSFER_FAST && name == "read 4 KiB") {
        EXPECT_LE(batched.RoundTrips(), 1024u / 14u + 128u);
      }
    }
  }
}

}  // namespace
}  // namespace vantrel::e2e
