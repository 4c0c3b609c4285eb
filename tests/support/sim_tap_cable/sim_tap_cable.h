// A cable that drives the simulated board's TAP directly: each TCK cycle is one call on
// the board, with no port bytes in between. For tests that are about the core, the target
// and the commands rather than the wire: the same scans as the parallel-port cable, at a
// fraction of the work. Install it in the session's cable choice for the test's lifetime.
#pragma once

#include <cstdint>
#include <string_view>

#include "board/board.h"
#include "cable/jtag_cable.h"

namespace vantrel::test {

class SimTapCable final : public cable::Cable {
 public:
  explicit SimTapCable(vsim::Board& board) : board_(board) {}

  // Any port name: the board is behind every one (unless its noCable fault is on).
  [[nodiscard]] ResultCode Open(std::string_view portName) override;
  bool Opened() const override { return opened_; }
  void Release() override {}
  void DriveLinesLow() override { board_.SetResetHeld(true); }
  void LeaveAtUnload() override { ResetTap(cable::TapResetEnd::kTestLogicReset); }

  void LendToJob() override {}
  void CatchUp() override {}
  void GoIdle() override {}

  void ResetTap(cable::TapResetEnd end) override;
  uint32_t ScanIR(int irLength, uint32_t instruction, cable::ScanEnd end) override;
  void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
              cable::ScanEnd end) override;
  // Made at once: the board answers without a round trip.
  void ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                      cable::ScanEnd end) override {
    ScanDR(bitCount, tdiWords, tdoWords, capturedBits, end);
  }
  void ResolveCaptures() override {}
  void BeginUnreadTdo() override {}
  void EndUnreadTdo() override {}
  [[nodiscard]] ResultCode PulseReset() override;

  uint32_t TapResetCount() const override { return tapResets_; }
  bool TapActive() const override { return tapActive_; }
  void SetTapActive(bool active) override { tapActive_ = active; }

  int32_t ReadPowerLines() override;
  int32_t PowerStatus() const override { return powerStatus_; }
  bool PowerLossSeen() const override { return powerLossSeen_; }
  void ClearPowerLossSeen() override { powerLossSeen_ = false; }

  uint64_t Cycles() const { return cycles_; }

 private:
  bool Cycle(bool tms, bool tdi);
  void Shift(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits);
  void LeaveShift(cable::ScanEnd end);

  vsim::Board& board_;
  bool opened_ = false;
  bool tapActive_ = false;
  bool powerLossSeen_ = false;
  uint32_t tapResets_ = 0;
  int32_t powerStatus_ = cable::kPowerNeverRead;
  uint64_t cycles_ = 0;
};

}  // namespace vantrel::test
