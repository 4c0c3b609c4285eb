// Faults on the simulated board through the loaded library. In the middle of a long
// transfer: the cable pulled out (every read 0xFF, writes lost), the target's power gone
// (both sense lines bad) or a core that no longer halts (a board fault switched on), each
// at 10, 50 and 90 % of the port accesses of a 64 KiB read, write or download (and at
// half of a short read or write, answered at once). Every one
// must end in a failure the host sees, within bounded time, with no byte of target memory
// changed outside the range written, the host's buffers intact, and a next session that
// works once the fault is gone. Then faults after a download's data, an EmbeddedICE dump
// through a lost link, and a core that stops halting between commands.
#include <atomic>
#include <string>
#include <utility>

#include "fault_port.h"
#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

// A core that stops halting runs on from where its debug-state fetches had got to, which
// move up with every block moved (up to about 0x50000 for a download with verify). Every
// word outside the transfer's range holds B ., so such a core, like one restarted from
// address 0, loops where it lands: what changes memory then is the library alone.
constexpr uint32_t kRamSize = 0x100000;
constexpr uint32_t kRange = 0x80000;  // the transfer's target range
constexpr int32_t kLength = 0x10000;
constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // B .
constexpr uint8_t kUntouched = 0xA5;
constexpr uint32_t kLoopBytes = 100;  // the larger of the two loops the fast transfers place

enum class Transfer { kRead, kWrite, kDownload, kShortRead, kShortWrite };
constexpr int kTransferKinds = 5;
constexpr int32_t kShortLength = 128;  // answered at once, no job

int32_t LengthOf(Transfer transfer) {
  return transfer == Transfer::kShortRead || transfer == Transfer::kShortWrite ? kShortLength : kLength;
}
bool Writes(Transfer transfer) { return transfer != Transfer::kRead && transfer != Transfer::kShortRead; }

struct FaultCase {
  std::string name;
  Fault fault;
  Transfer transfer;
  int percent;
  uint64_t accessesBeforeEnd = 0;  // for the faults across a transfer's end
};

class FaultInjectionTest : public MemoryTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  // Only TCK edges move a running core: the fault lands at the same place every run.
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.regions = {{0, kRamSize, vsim::RegionKind::kRam}};
    return config;
  }

  void SetUp() override {
    MemoryTest::SetUp();
    port_.Attach(board());
    const VantrelPortIo io = port_.Io();
    library().VantrelUsePortIo(&io);
    LoadWords(0, std::vector<uint32_t>(kRamSize / 4, kBranchToSelf));
    FillBoard(kRange, kLength, 0x3C);
    OpenAndConnect();
  }

  // Unloading resets the TAP through the port, which must still be this fixture's.
  void TearDown() override {
    library().Unload();
    MemoryTest::TearDown();
  }

  // Runs the transfer: the job's result, or for a short one 0 when it answered success
  // and -1 when it answered the bus error that a failed word transfer gives.
  int RunTransfer(Transfer transfer, uint8_t* readBuffer, const std::vector<uint8_t>& data) {
    library().jtagClearLastError();
    JtagResponse response;
    switch (transfer) {
      case Transfer::kRead:
      case Transfer::kShortRead: response = ReadMemory(kRange, readBuffer, LengthOf(transfer)); break;
      case Transfer::kWrite:
      case Transfer::kShortWrite: response = WriteMemory(kRange, data); break;
      case Transfer::kDownload: response = Download(kRange, kRange, data, 1); break;
    }
    if (LengthOf(transfer) == kShortLength) {
      if (response.status == VANTREL_STATUS_OK) return 0;
      EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
      EXPECT_EQ(test::ResponseText(response),
                Writes(transfer) ? "some errors occur  when writing bus" : "some errors occur  when reading bus");
      return -1;
    }
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << "a 64 KiB transfer runs as a job";
    return WaitForJob(std::chrono::seconds(60));
  }

  // The accesses of the fault-free transfer, once per kind in this process.
  uint64_t FaultFreeAccesses(Transfer transfer) {
    static std::atomic<uint64_t> counts[kTransferKinds]{};
    std::atomic<uint64_t>& count = counts[static_cast<int>(transfer)];
    if (count == 0) {
      std::vector<uint8_t> buffer(static_cast<std::size_t>(LengthOf(transfer)));
      port_.Count();
      EXPECT_EQ(RunTransfer(transfer, buffer.data(), Pattern(buffer.size(), 0x11)), 0);
      count = port_.Accesses();
    }
    return count;
  }

  FaultPort port_;
};

TEST_P(FaultInjectionTest, FailsWithoutHarmAndTheNextSessionWorks) {
  const FaultCase& c = GetParam();
  const uint64_t trigger = FaultFreeAccesses(c.transfer) * static_cast<uint64_t>(c.percent) / 100;
  const std::vector<uint8_t> before = BoardBytes(0, kRamSize);
  const auto length = static_cast<std::size_t>(LengthOf(c.transfer));
  const std::vector<uint8_t> data = Pattern(length, 0x77);
  const std::vector<uint8_t> dataCopy = data;
  std::vector<uint8_t> buffer(length, kUntouched);

  port_.Arm(c.fault, trigger);
  const int result = RunTransfer(c.transfer, buffer.data(), data);
  ASSERT_TRUE(port_.Struck());
  EXPECT_NE(result, 0) << "a transfer the fault broke is no success";
  EXPECT_NE(result, 1) << "the job ended";
  port_.Heal();
  EXPECT_EQ(StatusWord() >> 8, 0x200) << "the core was restarted from address 0: target down";

  EXPECT_EQ(buffer, std::vector<uint8_t>(length, kUntouched)) << "a failed read leaves the destination alone";
  EXPECT_EQ(data, dataCopy);
  // A core that can no longer be halted, through a cable or at all, keeps the comms loop
  // (or the verify's checksum loop, 100 bytes) in its work area until the next connect
  // halts it.
  const bool loopMayStay = FastTransfers() && c.fault != Fault::kPowerLoss && length >= 1024;
  const std::vector<uint8_t> after = BoardBytes(0, kRamSize);
  for (uint32_t a = 0; a < kRamSize; ++a) {
    if (Writes(c.transfer) && a >= kRange && a < kRange + length) continue;
    if (loopMayStay && a >= kWorkArea && a < kWorkArea + kLoopBytes) continue;
    ASSERT_EQ(after[a], before[a]) << "target memory changed at 0x" << std::hex << a;
  }

  (void)Disconnect();
  OpenAndConnect();
  EXPECT_EQ(BoardBytes(kWorkArea, kLoopBytes),
            std::vector<uint8_t>(before.begin() + kWorkArea, before.begin() + kWorkArea + kLoopBytes))
      << "the work area is back once the core halts again";
  const std::vector<uint8_t> probe = Pattern(64, 0x42);
  ASSERT_EQ(WriteMemory(kRange, probe, 1).status, VANTREL_STATUS_OK);
  std::vector<uint8_t> readBack(64);
  ASSERT_EQ(ReadMemory(kRange, readBack.data(), 64).status, VANTREL_STATUS_OK);
  EXPECT_EQ(readBack, probe);
}

std::vector<FaultCase> AllCases() {
  const std::pair<const char*, Fault> faults[] = {
      {"Unplug", Fault::kUnplug}, {"PowerLoss", Fault::kPowerLoss}, {"NoHalt", Fault::kNoHalt}};
  const std::pair<const char*, Transfer> transfers[] = {
      {"Read", Transfer::kRead}, {"Write", Transfer::kWrite}, {"Download", Transfer::kDownload}};
  const std::pair<const char*, Transfer> shortTransfers[] = {{"ShortRead", Transfer::kShortRead},
                                                             {"ShortWrite", Transfer::kShortWrite}};
  std::vector<FaultCase> cases;
  const auto add = [&](const char* faultName, Fault fault, const char* transferName, Transfer transfer, int percent) {
    cases.push_back({std::string(faultName) + transferName + "At" + std::to_string(percent), fault, transfer, percent});
  };
  for (const auto& [faultName, fault] : faults) {
    for (const auto& [transferName, transfer] : transfers) {
      for (const int percent : {10, 50, 90}) add(faultName, fault, transferName, transfer, percent);
    }
    for (const auto& [transferName, transfer] : shortTransfers) add(faultName, fault, transferName, transfer, 50);
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultInjectionTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& param) { return param.param.name; });

// The steps of a download after its data (the host's r0 and r1 put back, the PC set to
// the entry and every register read again) are the download's too: a fault anywhere in
// them fails the job, and the target is down rather than halted with registers read
// through a dead cable, so a run is refused.
class DownloadTailFaultTest : public FaultInjectionTest {
 protected:
  // A job that ran to its end: its result and the accesses it took.
  std::pair<int, uint64_t> Job(const JtagResponse& started) {
    EXPECT_EQ(started.status, VANTREL_STATUS_OK);
    const int result = WaitForJob(std::chrono::seconds(60));
    return {result, port_.Accesses()};
  }
};

TEST_F(DownloadTailFaultTest, AFaultAfterTheDataFailsTheDownload) {
  const std::vector<uint8_t> image = Pattern(4096, 0x5A);
  // The tail: what a download costs beyond a verified write of the same words.
  port_.Count();
  library().jtagClearLastError();
  const auto [written, writeAccesses] = Job(WriteMemory(kRange, image, 1));
  ASSERT_EQ(written, 0);
  port_.Count();
  library().jtagClearLastError();
  const auto [downloaded, downloadAccesses] = Job(Download(kRange, kRange, image, 1));
  ASSERT_EQ(downloaded, 0);
  ASSERT_GT(downloadAccesses, writeAccesses);
  const uint64_t tail = downloadAccesses - writeAccesses;

  for (const Fault fault : {Fault::kUnplug, Fault::kPowerLoss}) {
    for (const int percent : {0, 10, 50, 90, 99}) {
      SCOPED_TRACE(testing::Message() << (fault == Fault::kUnplug ? "unplug" : "power loss") << " at " << percent
                                      << " % of the tail's " << tail << " accesses");
      port_.Arm(fault, writeAccesses + tail * static_cast<uint64_t>(percent) / 100);
      library().jtagClearLastError();
      EXPECT_EQ(Job(Download(kRange, kRange, image, 1)).first, -1);
      ASSERT_TRUE(port_.Struck());
      port_.Heal();
      EXPECT_EQ(StatusWord() >> 8, 0x200);
      EXPECT_EQ(test::ResponseText(Run()), "status error");
      ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
    }
  }
}

// The EmbeddedICE dump read through a cable pulled out (all ones) or with the power gone
// is none of the registers': it fails as a memory read does, and works once healed.
using IceDumpFaultTest = DownloadTailFaultTest;

TEST_F(IceDumpFaultTest, ADumpThroughALostLinkFails) {
  for (const Fault fault : {Fault::kUnplug, Fault::kPowerLoss}) {
    port_.Arm(fault, 0);
    const JtagResponse lost = Call(VANTREL_CMD_READ_ICE);
    EXPECT_EQ(lost.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(test::ResponseText(lost), "some errors occur  when reading bus");
    port_.Heal();
    const JtagResponse healed = Call(VANTREL_CMD_READ_ICE);
    ASSERT_EQ(healed.status, VANTREL_STATUS_OK);
    EXPECT_EQ(healed.length, 64);
    EXPECT_EQ(ResponseWords(healed)[1] & 0x09u, 0x09u) << "debug status: halted";
  }
}
// A fault across the end of a long transfer (halting the comms loop, checking its count,
// putting its work area back): whatever the answer, the work area holds its own bytes
// again once the next session halts the core, memory outside the transfer is unchanged,
// and an answer of success is backed by the right bytes.
class EndOfTransferFaultTest : public FaultInjectionTest {};

TEST_P(EndOfTransferFaultTest, TheWorkAreaIsBackAfterTheReconnect) {
  const FaultCase& c = GetParam();
  const uint64_t trigger = FaultFreeAccesses(c.transfer) - c.accessesBeforeEnd;
  const std::vector<uint8_t> before = BoardBytes(0, kRamSize);
  const std::vector<uint8_t> data = Pattern(kLength, 0x77);
  std::vector<uint8_t> buffer(kLength, kUntouched);

  port_.Arm(c.fault, trigger);
  const int result = RunTransfer(c.transfer, buffer.data(), data);
  ASSERT_TRUE(port_.Struck());
  EXPECT_NE(result, 1) << "the job ended";
  port_.Heal();
  if (result == 0 && c.transfer == Transfer::kRead) {
    EXPECT_EQ(buffer, std::vector<uint8_t>(before.begin() + kRange, before.begin() + kRange + kLength));
  }
  if (result == 0 && Writes(c.transfer)) {
    EXPECT_EQ(BoardBytes(kRange, kLength), data);
  }

  (void)Disconnect();
  OpenAndConnect();
  const std::vector<uint8_t> after = BoardBytes(0, kRamSize);
  for (uint32_t a = 0; a < kRamSize; ++a) {
    if (Writes(c.transfer) && a >= kRange && a < kRange + kLength) continue;
    ASSERT_EQ(after[a], before[a]) << "target memory changed at 0x" << std::hex << a << " (work area at 0x" << kWorkArea
                                   << ")";
  }
}

std::vector<FaultCase> EndCases() {
  std::vector<FaultCase> cases;
  for (const auto& [faultName, fault] : {std::pair{"Unplug", Fault::kUnplug}, std::pair{"NoHalt", Fault::kNoHalt}}) {
    for (const auto& [transferName, transfer] : {std::pair{"Read", Transfer::kRead}, std::pair{"Write", Transfer::kWrite},
                                                 std::pair{"Download", Transfer::kDownload}}) {
      for (const uint64_t beforeEnd : {5000u, 4000u, 3500u, 3000u, 2500u, 2000u, 1000u, 300u}) {
        cases.push_back({std::string(faultName) + transferName + "Less" + std::to_string(beforeEnd), fault, transfer,
                         0, beforeEnd});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EndFaults, EndOfTransferFaultTest, ::testing::ValuesIn(EndCases()),
                         [](const auto& param) { return param.param.name; });


// A core that stops halting: the failed stop leaves it running, so a read is refused
// rather than answered with made-up bytes, and a reconnect that cannot halt it says the
// target is down. Once the core halts again, a connect leaves debug control holding
// INTDIS alone, even when an earlier host left DBGACK forced on.
class LostHaltTest : public MemoryTest {};

TEST_F(LostHaltTest, ACoreThatStopsHaltingIsNeverTakenForHalted) {
  OpenAndConnect();
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  board().SetCoreNeverHalts(true);
  const JtagResponse stop = Stop();
  EXPECT_EQ(stop.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(test::ResponseText(stop), "failed when stop target, please power off and connect again");
  EXPECT_EQ(StatusWord() >> 8, 0x500);
  std::vector<uint8_t> buffer(16, kUntouched);
  const JtagResponse read = ReadMemory(0x1000, buffer.data(), 16);
  EXPECT_EQ(test::ResponseText(read), "status error");
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, kUntouched));

  EXPECT_EQ(Reconnect().status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(StatusWord() >> 8, 0x200);
  EXPECT_EQ(ReadMemory(0x1000, buffer.data(), 16).status, VANTREL_STATUS_FAILED);

  board().SetCoreNeverHalts(false);
  board().SetIceRegister(0, 0x01);  // DBGACK forced
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(board().IceRegister(0), 0x04u);
}

}  // namespace
}  // namespace vantrel::e2e
