#include "cable/parallel_port_cable.h"

#include <array>
#include <cstddef>

#include "cable/cable.h"
#include "cable/names.h"
#include "cable/port_cable_state.h"
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

ParallelPortCable::ParallelPortCable() : state_(std::make_unique<PortCableState>()) {}
ParallelPortCable::~ParallelPortCable() = default;

ResultCode ParallelPortCable::Open(std::string_view portName) {
  const int portIndex = ParallelPortIndex(portName);
  if (portIndex < 0) return kInvalidParameters;
  return OpenCable(*state_, portIndex);
}

bool ParallelPortCable::Opened() const { return SelectedPort(*state_) != kNoPortSelected; }
void ParallelPortCable::Release() { ReleaseCable(*state_); }
void ParallelPortCable::DriveLinesLow() { SetCableLines(*state_, 0); }

// A virtual port belongs to the host: once its process is exiting, it may be gone.
void ParallelPortCable::LeaveAtUnload() {
  if (!(platform::HostProcessExiting() && VirtualPortPlugged(*state_))) {
    TapReset(*state_, TapResetEnd::kTestLogicReset);
  }
  ReleasePortDevice(*state_);
}

void ParallelPortCable::LendToJob() { LendCableToJob(*state_); }
void ParallelPortCable::CatchUp() { LetCableCatchUp(*state_); }
void ParallelPortCable::GoIdle() { DeliverHeldAccesses(*state_); }

void ParallelPortCable::ResetTap(TapResetEnd end) { TapReset(*state_, end); }

uint32_t ParallelPortCable::ScanIR(int irLength, uint32_t instruction, ScanEnd end) {
  return cable::ScanIR(*state_, irLength, instruction, end);
}

void ParallelPortCable::ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                               ScanEnd end) {
  ScanDRCapturingFirst(*state_, bitCount, tdiWords, tdoWords, capturedBits, end);
}

void ParallelPortCable::ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                                       ScanEnd end) {
  cable::ScanDRDeferred(*state_, bitCount, tdiWords, tdoWords, capturedBits, end);
}

void ParallelPortCable::ResolveCaptures() { ResolveTapCaptures(*state_); }
void ParallelPortCable::BeginUnreadTdo() { BeginFastClocks(*state_); }
void ParallelPortCable::EndUnreadTdo() { EndFastClocks(*state_); }
ResultCode ParallelPortCable::PulseReset() { return PulseCableReset(*state_); }

uint32_t ParallelPortCable::TapResetCount() const { return cable::TapResetCount(*state_); }
bool ParallelPortCable::TapActive() const { return cable::TapActive(*state_); }
void ParallelPortCable::SetTapActive(bool active) { cable::SetTapActive(*state_, active); }

int32_t ParallelPortCable::ReadPowerLines() { return cable::ReadPowerLines(*state_); }
int32_t ParallelPortCable::PowerStatus() const { return cable::PowerStatus(*state_); }
bool ParallelPortCable::PowerLossSeen() const { return cable::PowerLossSeen(*state_); }
void ParallelPortCable::ClearPowerLossSeen() { cable::ClearPowerLossSeen(*state_); }

}  // namespace vantrel::cable
