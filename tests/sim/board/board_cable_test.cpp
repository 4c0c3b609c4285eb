// The library's cable layer against the simulated board plugged in as a VantrelPortIo:
// cable detection by the 0x55 test, the power-sense lines and the IDCODE read.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "board/board.h"
#include "cable/cable.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "support/fresh_session.h"

namespace {

class CableOnBoard : public ::testing::Test {
 protected:
  vantrel::test::FreshSession session_;

  void Attach(vsim::BoardConfig config = {}) {
    config.freeRunInstructionsPerMs = 0;
    board_ = std::make_unique<vsim::Board>(config);
    io_ = board_->PortIo();
    vantrel::cable::UsePortIo(session_.Port(), &io_);
  }
  void TearDown() override { vantrel::cable::UsePortIo(session_.Port(), nullptr); }
  uint32_t ReadIdcode(uint32_t* irCapture = nullptr) {
    vantrel::cable::TapReset(session_.Port(), vantrel::cable::TapResetEnd::kRunTestIdle);
    uint32_t captured = vantrel::cable::ScanIR(session_.Port(), 4, 0xE, vantrel::cable::ScanEnd::kUpdate);
    if (irCapture != nullptr) *irCapture = captured;
    uint32_t id = 0;
    vantrel::cable::ScanDR(session_.Port(), 32, nullptr, &id, vantrel::cable::ScanEnd::kUpdate);
    return id;
  }

  // The board behind a batch entry that makes each run's accesses one by one.
  void AttachBatching() {
    Attach();
    vantrel::cable::UsePortIo(session_.Port(), &io_, &RunOnBoard);
  }
  static void RunOnBoard(void* context, VantrelPortAccess* accesses, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (accesses[i].isRead != 0) accesses[i].value = ReadCallbackOf(context, accesses[i].port);
      else WriteCallbackOf(context, accesses[i].port, accesses[i].value);
    }
    ++g_batches;
  }
  static unsigned char ReadCallbackOf(void* context, unsigned short port) {
    return static_cast<vsim::Board*>(context)->PortRead(port);
  }
  static void WriteCallbackOf(void* context, unsigned short port, unsigned char value) {
    static_cast<vsim::Board*>(context)->PortWrite(port, value);
  }
  static inline int g_batches = 0;

  std::unique_ptr<vsim::Board> board_;
  VantrelPortIo io_{};
};

TEST_F(CableOnBoard, FoundOnLpt1OnlyAndReadsPowerAndIdcode) {
  Attach();
  EXPECT_EQ(vantrel::cable::OpenCable(session_.Port(), 1), vantrel::kEmulatorNotFound) << "lpt2 floats";
  EXPECT_EQ(vantrel::cable::OpenCable(session_.Port(), 2), vantrel::kEmulatorNotFound) << "lpt3 floats";
  ASSERT_EQ(vantrel::cable::OpenCable(session_.Port(), 0), vantrel::kOk);
  EXPECT_EQ(vantrel::cable::SelectedPort(session_.Port()), 0);
  EXPECT_EQ(vantrel::cable::ReadPowerLines(session_.Port()), vantrel::cable::kPowerGood);
  uint32_t irCapture = 0;
  EXPECT_EQ(ReadIdcode(&irCapture), 0x3F0F0F0Fu);
  EXPECT_EQ(irCapture, 0x1u);
  EXPECT_EQ(board_->Counters().tckCycles, 9u + 8u + 3u + 3u + 32u) << "reset, IR scan, DR scan";
}

TEST_F(CableOnBoard, NoCableIsNotFound) {
  vsim::BoardConfig config;
  config.faults.noCable = true;
  Attach(config);
  EXPECT_EQ(vantrel::cable::OpenCable(session_.Port(), 0), vantrel::kEmulatorNotFound);
  EXPECT_EQ(vantrel::cable::SelectedPort(session_.Port()), vantrel::cable::kNoPortSelected);
}

TEST_F(CableOnBoard, UnpoweredTargetReadsNoSenseLine) {
  vsim::BoardConfig config;
  config.faults.powerBad = true;
  Attach(config);
  ASSERT_EQ(vantrel::cable::OpenCable(session_.Port(), 0), vantrel::kOk);
  EXPECT_EQ(vantrel::cable::ReadPowerLines(session_.Port()), 0);
}

TEST_F(CableOnBoard, AbsentTargetGivesAnIdcodeThatIsRefused) {
  vsim::BoardConfig config;
  config.faults.targetAbsent = true;
  Attach(config);
  ASSERT_EQ(vantrel::cable::OpenCable(session_.Port(), 0), vantrel::kOk);
  EXPECT_NE(ReadIdcode() & 0xFFFu, 0xF0Fu);
}

// Bit bit of a scan held in words, least significant bit first.
bool BitOf(const std::vector<uint32_t>& words, int bit) {
  const auto index = static_cast<size_t>(bit);
  return ((words[index / 32] >> (index % 32)) & 1u) != 0;
}

// BYPASS hands each bit back one TCK later: a scan far longer than one run of the port
// queue, captured into its own buffer or into the one it shifts out, and scans whose
// captures arrive later, all read back the same through a batching port as without one.
TEST_F(CableOnBoard, LongAndDeferredScansCaptureTheSameBatchedOrNot) {
  constexpr int kBits = 20000;
  constexpr size_t kWords = (kBits + 31) / 32;
  std::vector<uint32_t> pattern(kWords);
  for (size_t i = 0; i < kWords; ++i) pattern[i] = 0x9E3779B9u * static_cast<uint32_t>(i + 1);
  for (const bool batched : {false, true}) {
    for (const bool inPlace : {false, true}) {
      SCOPED_TRACE(std::string(batched ? "batched" : "single") + (inPlace ? ", in place" : ""));
      g_batches = 0;
      if (batched) AttachBatching();
      else Attach();
      ASSERT_EQ(vantrel::cable::OpenCable(session_.Port(), 0), vantrel::kOk);
      vantrel::cable::TapReset(session_.Port(), vantrel::cable::TapResetEnd::kRunTestIdle);
      (void)vantrel::cable::ScanIR(session_.Port(), 4, 0xF, vantrel::cable::ScanEnd::kUpdate);  // BYPASS
      std::vector<uint32_t> captured(kWords, 0);
      if (inPlace) {
        captured = pattern;
        vantrel::cable::ScanDR(session_.Port(), kBits, captured.data(), captured.data(),
                               vantrel::cable::ScanEnd::kUpdate);
      } else {
        vantrel::cable::ScanDR(session_.Port(), kBits, pattern.data(), captured.data(),
                               vantrel::cable::ScanEnd::kUpdate);
      }
      for (int i = 1; i < kBits; ++i) {
        ASSERT_EQ(BitOf(captured, i), BitOf(pattern, i - 1)) << "bit " << i;
      }
      std::vector<uint32_t> deferred(8, 0);
      for (uint32_t& word : deferred) {
        const uint32_t ones = 0xFFFFFFFFu;
        vantrel::cable::ScanDRDeferred(session_.Port(), 32, &ones, &word, 32, vantrel::cable::ScanEnd::kUpdate);
      }
      vantrel::cable::ResolveTapCaptures(session_.Port());
      for (const uint32_t word : deferred) EXPECT_EQ(word, 0xFFFFFFFEu) << "BYPASS captures 0 first";
      EXPECT_EQ(g_batches > 0, batched);
      TearDown();
    }
  }
}

}  // namespace
