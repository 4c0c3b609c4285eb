#include "cable/parallel_port_cable.h"

#include <array>
#include <cstddef>

#include "cable/cable.h"
#include "cable/names.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "platform/platform.h"

namespace vantrel::cable {
int ParallelPortIndex(std::string_view portName) {
  constexpr std::array<std::string_view, kPortCount> kNames{"lpt1", "lpt2", "lpt3"};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (SameNameIgnoringCase(portName, kNames[i])) return static_cast<int>(i);
  }
  return -1;
}

// The process's own, until the session owns it. It holds nothing of its own, so it
// serves the library's unload among the static destructors.
Cable& ParallelPortCable::Instance() {
  static ParallelPortCable cable;
  return cable;
}

ResultCode ParallelPortCable::Open(std::string_view portName) {
  const int portIndex = ParallelPortIndex(portName);
  if (portIndex < 0) return kInvalidParameters;
  return OpenCable(portIndex);
}

bool ParallelPortCable::Opened() const { return SelectedPort() != kNoPortSelected; }
void ParallelPortCable::Release() { ReleaseCable(); }
void ParallelPortCable::DriveLinesLow() { SetCableLines(0); }

// A virtual port belongs to the host: once its process is exiting, it may be gone.
void ParallelPortCable::LeaveAtUnload() {
  if (!(platform::HostProcessExiting() && VirtualPortPlugged())) TapReset(TapResetEnd::kTestLogicReset);
  ReleasePortDevice();
}

void ParallelPortCable::LendToJob() { LendCableToJob(); }
void ParallelPortCable::CatchUp() { LetCableCatchUp(); }
void ParallelPortCable::GoIdle() { DeliverHeldAccesses(); }

void ParallelPortCable::ResetTap(TapResetEnd end) { TapReset(end); }

uint32_t ParallelPortCable::ScanIR(int irLength, uint32_t instruction, ScanEnd end) {
  return cable::ScanIR(irLength, instruction, end);
}

void ParallelPortCable::ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                               ScanEnd end) {
  ScanDRCapturingFirst(bitCount, tdiWords, tdoWords, capturedBits, end);
}

void ParallelPortCable::ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                                       ScanEnd end) {
  cable::ScanDRDeferred(bitCount, tdiWords, tdoWords, capturedBits, end);
}

void ParallelPortCable::ResolveCaptures() { ResolveTapCaptures(); }
void ParallelPortCable::BeginUnreadTdo() { BeginFastClocks(); }
void ParallelPortCable::EndUnreadTdo() { EndFastClocks(); }
ResultCode ParallelPortCable::PulseReset() { return PulseCableReset(); }

uint32_t ParallelPortCable::TapResetCount() const { return cable::TapResetCount(); }
bool ParallelPortCable::TapActive() const { return cable::TapActive(); }
void ParallelPortCable::SetTapActive(bool active) { cable::SetTapActive(active); }

int32_t ParallelPortCable::ReadPowerLines() { return cable::ReadPowerLines(); }
int32_t ParallelPortCable::PowerStatus() const { return cable::PowerStatus(); }
bool ParallelPortCable::PowerLossSeen() const { return cable::PowerLossSeen(); }
void ParallelPortCable::ClearPowerLossSeen() { cable::ClearPowerLossSeen(); }

}  // namespace vantrel::cable
