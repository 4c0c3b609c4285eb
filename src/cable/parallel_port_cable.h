// The cable on a parallel port, bit-banged: the first implementation of the cable seam.
// Its operations are those of tap.h and cable.h, access for access, on the state it
// owns; this class only adds the port names the host uses ("lpt1" to "lpt3").
#pragma once

#include <memory>
#include <string_view>

#include "cable/jtag_cable.h"

namespace vantrel::cable {

struct PortCableState;

class ParallelPortCable final : public Cable {
 public:
  // A cable as the library holds it at load: no port selected, lpt.ini not read yet.
  ParallelPortCable();
  ~ParallelPortCable() override;
  ParallelPortCable(const ParallelPortCable&) = delete;
  ParallelPortCable& operator=(const ParallelPortCable&) = delete;

  // What the cable holds between calls: its port, lpt.ini's settings, the TAP's state.
  PortCableState& State() { return *state_; }

  [[nodiscard]] ResultCode Open(std::string_view portName) override;
  bool Opened() const override;
  void Release() override;
  void DriveLinesLow() override;
  void LeaveAtUnload() override;

  void LendToJob() override;
  void CatchUp() override;
  void GoIdle() override;

  void ResetTap(TapResetEnd end) override;
  uint32_t ScanIR(int irLength, uint32_t instruction, ScanEnd end) override;
  void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits, ScanEnd end) override;
  void ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                      ScanEnd end) override;
  void ResolveCaptures() override;
  void BeginUnreadTdo() override;
  void EndUnreadTdo() override;
  [[nodiscard]] ResultCode PulseReset() override;

  uint32_t TapResetCount() const override;
  bool TapActive() const override;
  void SetTapActive(bool active) override;

  int32_t ReadPowerLines() override;
  int32_t PowerStatus() const override;
  bool PowerLossSeen() const override;
  void ClearPowerLossSeen() override;

 private:
  // On the heap: the queue of port accesses alone is some hundred kilobytes.
  std::unique_ptr<PortCableState> state_;
};

// "lpt1" to "lpt3" in any case: the port index 0 to 2, or -1 for any other name.
int ParallelPortIndex(std::string_view portName);

}  // namespace vantrel::cable
