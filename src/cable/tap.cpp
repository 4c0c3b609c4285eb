#include "cable/tap.h"

#include <array>
#include <cstddef>

#include "cable/cable.h"
#include "cable/cable_lines.h"
#include "cable/port_cable_state.h"
#include "cable/port_io.h"
#include "cable/port_queue.h"
#include "platform/platform.h"

namespace vantrel::cable {
namespace {

constexpr int kResetCycles = 8;  // enough to reach Test-Logic-Reset from any state
constexpr int kMaxIrLength = 32;
constexpr unsigned kResetPulseMs = 100;

TapState& Tap() { return PortState().tap; }

// Both sense lines are active low: a set bit is a line that says the power is gone.
void NoteSenseLines(uint8_t status) {
  if ((status & (lines::kFirstSenseLine | lines::kSecondSenseLine)) != 0) Tap().powerLossSeen = true;
}

// The reset output stays released in every byte of TAP traffic.
uint8_t TapLines(int tdi, int tms) {
  return static_cast<uint8_t>(lines::kResetReleased | (tms != 0 ? lines::kTms : 0) | (tdi != 0 ? lines::kTdi : 0));
}

// A cycle makes at most four accesses, one of them a read.
constexpr std::size_t kAccessesPerCycle = 4;

// Has the port make the queued accesses and files their answers. Every TAP operation
// ends with this, so a port with a batch entry gets at least one call per operation and
// the queue is empty between operations.
void ResolveCaptures() {
  FlushPortQueue();
  TapState& tap = Tap();
  for (std::size_t i = 0; i < tap.pendingCount; ++i) {
    const PendingCapture& pending = tap.pending[i];
    const uint8_t status = QueuedReadValue(pending.slot);
    NoteSenseLines(status);
    if (pending.word != nullptr && (status & lines::kTdoInverted) == 0) *pending.word |= pending.mask;
  }
  tap.pendingCount = 0;
  ClearPortQueue();
}

// Whether a cycle's TDO counts for anyone (its status read may be skipped under FastClocks if not).
enum class Tdo { kUnread, kWanted };

// Queues one cycle. With Tdo::kWanted (or always outside FastClocks) it reads the status
// byte, whose TDO bit is ORed into *tdoWord at tdoMask once the captures are resolved.
void Cycle(int tdi, int tms, TckEnd tckEnd, Tdo tdo, uint32_t* tdoWord, uint32_t tdoMask) {
  const bool tdoWanted = tdo == Tdo::kWanted;
  if (SelectedPort() == kNoPortSelected) return;
  TapState& tap = Tap();
  if (PortQueueRoom() < kAccessesPerCycle || tap.pendingCount == tap.pending.size()) ResolveCaptures();
  const uint16_t dataPort = SelectedDataPort();
  const uint8_t tckLow = TapLines(tdi, tms);
  // When the previous cycle left TCK high, this write is also its falling edge.
  QueuePortWrite(dataPort, tckLow);
  if (tdoWanted || !tap.fastClocks) {
    tap.pending[tap.pendingCount] =
        PendingCapture{QueuePortRead(SelectedStatusPort()), tdoWanted ? tdoWord : nullptr, tdoMask};
    ++tap.pendingCount;
  }
  const auto tckHigh = static_cast<uint8_t>(tckLow | lines::kTck);
  QueuePortWrite(dataPort, tckHigh);
  if (tap.fastClocks) {
    tap.tckLeftHigh = tckHigh;
  } else if (tckEnd == TckEnd::kLowered) {
    QueuePortWrite(dataPort, tckLow);
  }
}

// A cycle that only walks the TAP: TDI low, TCK back low, TDO discarded.
void Walk(int tms) { Cycle(0, tms, TckEnd::kLowered, Tdo::kUnread, nullptr, 0); }

// From Run-Test/Idle, Update-IR or Update-DR.
void EnterShiftIR() {
  Walk(1);  // Select-DR-Scan
  Walk(1);  // Select-IR-Scan
  Walk(0);  // Capture-IR
  Walk(0);  // Shift-IR
}

void EnterShiftDR() {
  Walk(1);  // Select-DR-Scan
  Walk(0);  // Capture-DR
  Walk(0);  // Shift-DR
}

// From Exit1-IR or Exit1-DR.
void LeaveShift(ScanEnd end) {
  Walk(1);                             // Update-IR / Update-DR: the shifted value takes effect
  if (end == ScanEnd::kIdle) Walk(0);  // Run-Test/Idle
}

}  // namespace

int TapClock(int tdi, int tms, TckEnd tckEnd) {
  uint32_t tdo = 0;
  Cycle(tdi, tms, tckEnd, Tdo::kWanted, &tdo, 1);
  ResolveCaptures();
  return static_cast<int>(tdo);
}

namespace {

// Inner bits leave TCK high so that the next bit's first write doubles as their
// falling edge: three accesses per bit instead of four.
void ShiftBitsCapturingFirst(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits) {
  if (bitCount < 1) return;
  uint32_t input = 0;
  for (int i = 0; i < bitCount; ++i) {
    const int word = i / 32;
    const int bit = i % 32;
    if (bit == 0) {
      // Read before it is cleared: a caller may shift a buffer's bits out and capture into it.
      input = tdiWords != nullptr ? tdiWords[word] : 0;
      if (tdoWords != nullptr) tdoWords[word] = 0;
    }
    // The last bit leaves Shift with TMS and lowers TCK; the inner bits leave it high.
    const bool last = i == bitCount - 1;
    const bool kept = tdoWords != nullptr && i < capturedBits;
    Cycle(static_cast<int>(input & 1u), last ? 1 : 0, last ? TckEnd::kLowered : TckEnd::kLeftHigh,
          kept ? Tdo::kWanted : Tdo::kUnread, kept ? &tdoWords[word] : nullptr, 1u << bit);
    input >>= 1;
  }
}

}  // namespace

void ShiftBits(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords) {
  ShiftBitsCapturingFirst(bitCount, tdiWords, tdoWords, bitCount);
  ResolveCaptures();
}

uint32_t ScanIR(int irLength, uint32_t instruction, ScanEnd end) {
  if (irLength < 1 || irLength > kMaxIrLength) return 0;
  uint32_t captured = 0;
  EnterShiftIR();
  ShiftBitsCapturingFirst(irLength, &instruction, &captured, irLength);
  LeaveShift(end);
  ResolveCaptures();
  return captured;
}

void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, ScanEnd end) {
  ScanDRCapturingFirst(bitCount, tdiWords, tdoWords, bitCount, end);
}

void ScanDRCapturingFirst(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits, ScanEnd end) {
  if (bitCount < 1) return;
  EnterShiftDR();
  ShiftBitsCapturingFirst(bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(end);
  ResolveCaptures();
}

void ScanDRDeferred(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits, ScanEnd end) {
  if (bitCount < 1) return;
  EnterShiftDR();
  ShiftBitsCapturingFirst(bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(end);
}

void ResolveTapCaptures() { ResolveCaptures(); }

void BeginFastClocks() {
  TapState& tap = Tap();
  ++tap.fastClocksDepth;
  tap.fastClocks = true;
}

FastClocks::FastClocks() { BeginFastClocks(); }
FastClocks::~FastClocks() { EndFastClocks(); }

void EndFastClocks() {
  TapState& tap = Tap();
  if (--tap.fastClocksDepth > 0) return;
  tap.fastClocks = false;
  if (tap.tckLeftHigh != 0 && SelectedPort() != kNoPortSelected)
    PortWrite(SelectedDataPort(), static_cast<uint8_t>(tap.tckLeftHigh & ~lines::kTck));
  tap.tckLeftHigh = 0;
}

void TapReset(TapResetEnd end) {
  const bool toIdle = end == TapResetEnd::kRunTestIdle;
  for (int cycle = 0; cycle < kResetCycles; ++cycle) Cycle(1, 1, TckEnd::kLowered, Tdo::kWanted, nullptr, 0);
  if (toIdle) Cycle(1, 0, TckEnd::kLowered, Tdo::kWanted, nullptr, 0);
  ResolveCaptures();
  Tap().active = toIdle;
  ++Tap().resets;
}

ResultCode PulseCableReset() {
  if (SelectedPort() == kNoPortSelected) return kEmulatorNotFound;
  PortWrite(SelectedDataPort(), lines::kAllLow);
  platform::SleepMilliseconds(kResetPulseMs);
  PortWrite(SelectedDataPort(), lines::kResetReleased);
  TapReset(TapResetEnd::kRunTestIdle);
  return kOk;
}

uint32_t TapResetCount() { return Tap().resets; }
bool TapActive() { return Tap().active; }
void SetTapActive(bool active) { Tap().active = active; }
bool PowerLossSeen() { return Tap().powerLossSeen; }
void ClearPowerLossSeen() { Tap().powerLossSeen = false; }

}  // namespace vantrel::cable
