#include "arm7/link_check.h"

#include "arm7/arm7_state.h"
#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "arm7/scan_chain.h"
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

void Lose(LinkObservations& link, const char* why) {
  if (!link.linkLost && !link.outOfStep) Trace("link to the core lost: %s\r\n", why);
  link.linkLost = true;
}

}  // namespace

// With no port selected nothing is scanned, and there is no link to judge.
void ScanInstruction(Arm7State& core, uint32_t instruction, cable::ScanEnd end) {
  cable::Cable& jtag = core.cables.Active();
  const uint32_t captured = jtag.ScanIR(kIrLength, instruction, end);
  NoteInstructionScanned(core, instruction);
  if (jtag.Opened() && captured != kCaptureIrPattern) Lose(core.link, "instruction capture");
}

void NoteDebugStatus(Arm7State& core, uint32_t status) {
  if ((status & ~kDebugStatusBits) != 0) Lose(core.link, "debug status");
}

void NoteHaltMissed(Arm7State& core) { Lose(core.link, "no debug state after a system-speed access"); }

void NoteCommsOutOfStep(Arm7State& core) {
  if (!core.link.linkLost && !core.link.outOfStep) Trace("link to the core lost: comms channel out of step\r\n");
  core.link.outOfStep = true;
}

// A core that is not back by then runs (or is gone), and whatever the chain delivers
// next is no memory word.
bool WaitUntilHaltedAgain(Arm7State& core) {
  for (int retry = 0; retry <= kHaltedPollRetries; ++retry) {
    const uint32_t status = GetICEReg(core, kIceDebugStatus);
    if ((status & kHaltedMask) == kStatusHalted) return (status & ~kDebugStatusBits) == 0;
    if (retry < kHaltedPollRetries) platform::SleepMilliseconds(kHaltedPollIntervalMs);
  }
  NoteHaltMissed(core);
  return false;
}

bool LinkLost(Arm7State& core) {
  return core.link.linkLost || core.link.outOfStep || core.cables.Active().PowerLossSeen();
}

bool OnlyCommsOutOfStep(Arm7State& core) {
  return core.link.outOfStep && !core.link.linkLost && !core.cables.Active().PowerLossSeen();
}

void ClearLinkObservations(Arm7State& core) {
  core.link.linkLost = false;
  core.link.outOfStep = false;
  core.cables.Active().ClearPowerLossSeen();
}

}  // namespace vantrel::arm7
