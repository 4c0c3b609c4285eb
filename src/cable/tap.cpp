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

// Both sense lines are active low: a set bit is a line that says the power is gone.
void NoteSenseLines(TapState& tap, uint8_t status) {
  if ((status & (lines::kFirstSenseLine | lines::kSecondSenseLine)) != 0) tap.powerLossSeen = true;
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
void ResolveCaptures(PortCableState& state) {
  FlushPortQueue(state);
  TapState& tap = state.tap;
  for (std::size_t i = 0; i < tap.pendingCount; ++i) {
    const PendingCapture& pending = tap.pending[i];
    const uint8_t status = QueuedReadValue(state, pending.slot);
    NoteSenseLines(tap, status);
    if (pending.word != nullptr && (status & lines::kTdoInverted) == 0) *pending.word |= pending.mask;
  }
  tap.pendingCount = 0;
  ClearPortQueue(state);
}

// Whether a cycle's TDO counts for anyone (its status read may be skipped under FastClocks if not).
enum class Tdo { kUnread, kWanted };

// Queues one cycle. With Tdo::kWanted (or always outside FastClocks) it reads the status
// byte, whose TDO bit is ORed into *tdoWord at tdoMask once the captures are resolved.
void Cycle(PortCableState& state, int tdi, int tms, TckEnd tckEnd, Tdo tdo, uint32_t* tdoWord, uint32_t tdoMask) {
  const bool tdoWanted = tdo == Tdo::kWanted;
  if (SelectedPort(state) == kNoPortSelected) return;
  TapState& tap = state.tap;
  if (PortQueueRoom(state) < kAccessesPerCycle || tap.pendingCount == tap.pending.size()) ResolveCaptures(state);
  const uint16_t dataPort = SelectedDataPort(state);
  const uint8_t tckLow = TapLines(tdi, tms);
  // When the previous cycle left TCK high, this write is also its falling edge.
  QueuePortWrite(state, dataPort, tckLow);
  if (tdoWanted || !tap.fastClocks) {
    tap.pending[tap.pendingCount] =
        PendingCapture{QueuePortRead(state, SelectedStatusPort(state)), tdoWanted ? tdoWord : nullptr, tdoMask};
    ++tap.pendingCount;
  }
  const auto tckHigh = static_cast<uint8_t>(tckLow | lines::kTck);
  QueuePortWrite(state, dataPort, tckHigh);
  if (tap.fastClocks) {
    tap.tckLeftHigh = tckHigh;
  } else if (tckEnd == TckEnd::kLowered) {
    QueuePortWrite(state, dataPort, tckLow);
  }
}

// A cycle that only walks the TAP: TDI low, TCK back low, TDO discarded.
void Walk(PortCableState& state, int tms) { Cycle(state, 0, tms, TckEnd::kLowered, Tdo::kUnread, nullptr, 0); }

// From Run-Test/Idle, Update-IR or Update-DR.
void EnterShiftIR(PortCableState& state) {
  Walk(state, 1);  // Select-DR-Scan
  Walk(state, 1);  // Select-IR-Scan
  Walk(state, 0);  // Capture-IR
  Walk(state, 0);  // Shift-IR
}

void EnterShiftDR(PortCableState& state) {
  Walk(state, 1);  // Select-DR-Scan
  Walk(state, 0);  // Capture-DR
  Walk(state, 0);  // Shift-DR
}

// From Exit1-IR or Exit1-DR.
void LeaveShift(PortCableState& state, ScanEnd end) {
  Walk(state, 1);                             // Update-IR / Update-DR: the shifted value takes effect
  if (end == ScanEnd::kIdle) Walk(state, 0);  // Run-Test/Idle
}

}  // namespace

int TapClock(PortCableState& state, int tdi, int tms, TckEnd tckEnd) {
  uint32_t tdo = 0;
  Cycle(state, tdi, tms, tckEnd, Tdo::kWanted, &tdo, 1);
  ResolveCaptures(state);
  return static_cast<int>(tdo);
}

namespace {

// Inner bits leave TCK high so that the next bit's first write doubles as their
// falling edge: three accesses per bit instead of four.
void ShiftBitsCapturingFirst(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords,
                             int capturedBits) {
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
    Cycle(state, static_cast<int>(input & 1u), last ? 1 : 0, last ? TckEnd::kLowered : TckEnd::kLeftHigh,
          kept ? Tdo::kWanted : Tdo::kUnread, kept ? &tdoWords[word] : nullptr, 1u << bit);
    input >>= 1;
  }
}

}  // namespace

void ShiftBits(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords) {
  ShiftBitsCapturingFirst(state, bitCount, tdiWords, tdoWords, bitCount);
  ResolveCaptures(state);
}

uint32_t ScanIR(PortCableState& state, int irLength, uint32_t instruction, ScanEnd end) {
  if (irLength < 1 || irLength > kMaxIrLength) return 0;
  uint32_t captured = 0;
  EnterShiftIR(state);
  ShiftBitsCapturingFirst(state, irLength, &instruction, &captured, irLength);
  LeaveShift(state, end);
  ResolveCaptures(state);
  return captured;
}

void ScanDR(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, ScanEnd end) {
  ScanDRCapturingFirst(state, bitCount, tdiWords, tdoWords, bitCount, end);
}

void ScanDRCapturingFirst(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords,
                          int capturedBits, ScanEnd end) {
  if (bitCount < 1) return;
  EnterShiftDR(state);
  ShiftBitsCapturingFirst(state, bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(state, end);
  ResolveCaptures(state);
}

void ScanDRDeferred(PortCableState& state, int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                    ScanEnd end) {
  if (bitCount < 1) return;
  EnterShiftDR(state);
  ShiftBitsCapturingFirst(state, bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(state, end);
}

void ResolveTapCaptures(PortCableState& state) { ResolveCaptures(state); }

void BeginFastClocks(PortCableState& state) {
  TapState& tap = state.tap;
  ++tap.fastClocksDepth;
  tap.fastClocks = true;
}

FastClocks::FastClocks(PortCableState& state) : state_(state) { BeginFastClocks(state_); }
FastClocks::~FastClocks() { EndFastClocks(state_); }

void EndFastClocks(PortCableState& state) {
  TapState& tap = state.tap;
  if (--tap.fastClocksDepth > 0) return;
  tap.fastClocks = false;
  if (tap.tckLeftHigh != 0 && SelectedPort(state) != kNoPortSelected)
    PortWrite(state, SelectedDataPort(state), static_cast<uint8_t>(tap.tckLeftHigh & ~lines::kTck));
  tap.tckLeftHigh = 0;
}

void TapReset(PortCableState& state, TapResetEnd end) {
  const bool toIdle = end == TapResetEnd::kRunTestIdle;
  for (int cycle = 0; cycle < kResetCycles; ++cycle) Cycle(state, 1, 1, TckEnd::kLowered, Tdo::kWanted, nullptr, 0);
  if (toIdle) Cycle(state, 1, 0, TckEnd::kLowered, Tdo::kWanted, nullptr, 0);
  ResolveCaptures(state);
  state.tap.active = toIdle;
  ++state.tap.resets;
}

ResultCode PulseCableReset(PortCableState& state) {
  if (SelectedPort(state) == kNoPortSelected) return kEmulatorNotFound;
  PortWrite(state, SelectedDataPort(state), lines::kAllLow);
  platform::SleepMilliseconds(kResetPulseMs);
  PortWrite(state, SelectedDataPort(state), lines::kResetReleased);
  TapReset(state, TapResetEnd::kRunTestIdle);
  return kOk;
}

uint32_t TapResetCount(const PortCableState& state) { return state.tap.resets; }
bool TapActive(const PortCableState& state) { return state.tap.active; }
void SetTapActive(PortCableState& state, bool active) { state.tap.active = active; }
bool PowerLossSeen(const PortCableState& state) { return state.tap.powerLossSeen; }
void ClearPowerLossSeen(PortCableState& state) { state.tap.powerLossSeen = false; }

}  // namespace vantrel::cable
