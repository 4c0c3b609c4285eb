// The library's cable layer against the simulated board plugged in as a VantrelPortIo:
// cable detection by the 0x55 test, the power-sense lines and the IDCODE read.
#include <gtest/gtest.h>

#include <memory>

#include "board/board.h"
#include "cable/cable.h"
#include "cable/port_io.h"
#include "cable/tap.h"

namespace {

class CableOnBoard : public ::testing::Test {
 protected:
  void Attach(vsim::BoardConfig config = {}) {
    config.freeRunInstructionsPerMs = 0;
    board_ = std::make_unique<vsim::Board>(config);
    io_ = board_->PortIo();
    vantrel::cable::UsePortIo(&io_);
  }
  void TearDown() override {
    vantrel::cable::ResetCableState();
    vantrel::cable::ResetPortIo();
  }
  uint32_t ReadIdcode(uint32_t* irCapture = nullptr) {
    vantrel::cable::TapReset(1);
    uint32_t captured = vantrel::cable::ScanIR(4, 0xE, 0);
    if (irCapture != nullptr) *irCapture = captured;
    uint32_t id = 0;
    vantrel::cable::ScanDR(32, nullptr, &id, 0);
    return id;
  }

  std::unique_ptr<vsim::Board> board_;
  VantrelPortIo io_{};
};

TEST_F(CableOnBoard, FoundOnLpt1OnlyAndReadsPowerAndIdcode) {
  Attach();
  EXPECT_EQ(vantrel::cable::OpenCable(1), vantrel::kEmulatorNotFound) << "lpt2 floats";
  EXPECT_EQ(vantrel::cable::OpenCable(2), vantrel::kEmulatorNotFound) << "lpt3 floats";
  ASSERT_EQ(vantrel::cable::OpenCable(0), vantrel::kOk);
  EXPECT_EQ(vantrel::cable::SelectedPort(), 0);
  EXPECT_EQ(vantrel::cable::ReadPowerLines(), vantrel::cable::kPowerGood);
  uint32_t irCapture = 0;
  EXPECT_EQ(ReadIdcode(&irCapture), 0x3F0F0F0Fu);
  EXPECT_EQ(irCapture, 0x1u);
  EXPECT_EQ(board_->Counters().tckCycles, 9u + 8u + 3u + 3u + 32u) << "reset, IR scan, DR scan";
}

TEST_F(CableOnBoard, NoCableIsNotFound) {
  vsim::BoardConfig config;
  config.faults.noCable = true;
  Attach(config);
  EXPECT_EQ(vantrel::cable::OpenCable(0), vantrel::kEmulatorNotFound);
  EXPECT_EQ(vantrel::cable::SelectedPort(), vantrel::cable::kNoPortSelected);
}

TEST_F(CableOnBoard, UnpoweredTargetReadsNoSenseLine) {
  vsim::BoardConfig config;
  config.faults.powerBad = true;
  Attach(config);
  ASSERT_EQ(vantrel::cable::OpenCable(0), vantrel::kOk);
  EXPECT_EQ(vantrel::cable::ReadPowerLines(), 0);
}

TEST_F(CableOnBoard, AbsentTargetGivesAnIdcodeThatIsRefused) {
  vsim::BoardConfig config;
  config.faults.targetAbsent = true;
  Attach(config);
  ASSERT_EQ(vantrel::cable::OpenCable(0), vantrel::kOk);
  EXPECT_NE(ReadIdcode() & 0xFFFu, 0xF0Fu);
}

}  // namespace
