#include "arm7/link_check.h"

#include "arm7/arm7_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "arm7/scan_chain.h"
#include "cable/cable_registry.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

// Capture-IR loads binary 0001; a missing cable gives all zeros, a stuck TDO all ones.
constexpr uint32_t kCaptureIrPattern = 0x1;
// DBGACK, DBGRQ, IFEN, nMREQ and TBIT: nothing above bit 4.
constexpr uint32_t kDebugStatusBits = 0x1F;

constexpr int kHaltedPollRetries = 4;
constexpr unsigned kHaltedPollIntervalMs = 1;

LinkObservations& Link() { return CoreState().link; }

void Lose(const char* why) {
  if (!Link().linkLost && !Link().outOfStep) Trace("link to the core lost: %s\r\n", why);
  Link().linkLost = true;
}

}  // namespace

// With no port selected nothing is scanned, and there is no link to judge.
void ScanInstruction(uint32_t instruction, cable::ScanEnd end) {
  const uint32_t captured = cable::ActiveCable().ScanIR(kIrLength, instruction, end);
  NoteInstructionScanned(instruction);
  if (cable::ActiveCable().Opened() && captured != kCaptureIrPattern) Lose("instruction capture");
}

void NoteDebugStatus(uint32_t status) {
  if ((status & ~kDebugStatusBits) != 0) Lose("debug status");
}

void NoteHaltMissed() { Lose("no debug state after a system-speed access"); }

void NoteCommsOutOfStep() {
  if (!Link().linkLost && !Link().outOfStep) Trace("link to the core lost: comms channel out of step\r\n");
  Link().outOfStep = true;
}

// A core that is not back by then runs (or is gone), and whatever the chain delivers
// next is no memory word.
bool WaitUntilHaltedAgain() {
  for (int retry = 0; retry <= kHaltedPollRetries; ++retry) {
    const uint32_t status = GetICEReg(kIceDebugStatus);
    if ((status & kHaltedMask) == kStatusHalted) return (status & ~kDebugStatusBits) == 0;
    if (retry < kHaltedPollRetries) platform::SleepMilliseconds(kHaltedPollIntervalMs);
  }
  NoteHaltMissed();
  return false;
}

bool LinkLost() { return Link().linkLost || Link().outOfStep || cable::ActiveCable().PowerLossSeen(); }

bool OnlyCommsOutOfStep() { return Link().outOfStep && !Link().linkLost && !cable::ActiveCable().PowerLossSeen(); }

void ClearLinkObservations() {
  Link().linkLost = false;
  Link().outOfStep = false;
  cable::ActiveCable().ClearPowerLossSeen();
}

}  // namespace vantrel::arm7
