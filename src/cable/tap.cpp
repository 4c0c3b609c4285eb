#include "cable/tap.h"

#include "cable/cable.h"
#include "cable/cable_lines.h"
#include "cable/port_io.h"
#include "platform/platform.h"

namespace vantrel::cable {
namespace {

constexpr int kResetCycles = 8;  // enough to reach Test-Logic-Reset from any state
constexpr int kMaxIrLength = 32;
constexpr unsigned kResetPulseMs = 100;

int g_tap_active = 0;
uint32_t g_tap_resets = 0;
bool g_power_loss_seen = false;
bool g_fast_clocks = false;
int g_fast_clocks_depth = 0;  // FastClocks may nest: the outermost one decides
// Under FastClocks: the lines of the last cycle, whose TCK is still high, or 0 when TCK is low.
uint8_t g_tck_left_high = 0;

// Both sense lines are active low: a set bit is a line that says the power is gone.
void NoteSenseLines(uint8_t status) {
  if ((status & (lines::kFirstSenseLine | lines::kSecondSenseLine)) != 0) g_power_loss_seen = true;
}

// The reset output stays released in every byte of TAP traffic.
uint8_t TapLines(int tdi, int tms) {
  return static_cast<uint8_t>(lines::kResetReleased | (tms != 0 ? lines::kTms : 0) | (tdi != 0 ? lines::kTdi : 0));
}

int Cycle(int tdi, int tms, int fallingEdge, bool tdoWanted) {
  if (SelectedPort() == kNoPortSelected) return 0;
  const uint16_t dataPort = SelectedDataPort();
  const uint8_t tckLow = TapLines(tdi, tms);
  // When the previous cycle left TCK high, this write is also its falling edge.
  PortWrite(dataPort, tckLow);
  int tdo = 0;
  if (tdoWanted || !g_fast_clocks) {
    const uint8_t status = PortRead(SelectedStatusPort());
    NoteSenseLines(status);
    tdo = (status & lines::kTdoInverted) == 0 ? 1 : 0;
  }
  const auto tckHigh = static_cast<uint8_t>(tckLow | lines::kTck);
  PortWrite(dataPort, tckHigh);
  if (g_fast_clocks) {
    g_tck_left_high = tckHigh;
  } else if (fallingEdge != 0) {
    PortWrite(dataPort, tckLow);
  }
  return tdo;
}

// A cycle that only walks the TAP: TDI low, TCK back low, TDO discarded.
void Walk(int tms) { (void)Cycle(0, tms, 1, false); }

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
void LeaveShift(int toIdle) {
  Walk(1);                   // Update-IR / Update-DR: the shifted value takes effect
  if (toIdle != 0) Walk(0);  // Run-Test/Idle
}

}  // namespace

int TapClock(int tdi, int tms, int fallingEdge) { return Cycle(tdi, tms, fallingEdge, true); }

namespace {

// Inner bits leave TCK high so that the next bit's first write doubles as their
// falling edge: three accesses per bit instead of four.
void ShiftBitsCapturingFirst(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits) {
  if (bitCount < 1) return;
  uint32_t input = 0;
  uint32_t captured = 0;
  for (int i = 0; i < bitCount; ++i) {
    const int word = i / 32;
    const int bit = i % 32;
    if (bit == 0) {
      input = tdiWords != nullptr ? tdiWords[word] : 0;
      if (word > 0 && tdoWords != nullptr) tdoWords[word - 1] = captured;
      captured = 0;
    }
    const int last = i == bitCount - 1 ? 1 : 0;
    const bool kept = tdoWords != nullptr && i < capturedBits;
    if (Cycle(static_cast<int>(input & 1u), last, last, kept) != 0 && kept) captured |= 1u << bit;
    input >>= 1;
  }
  if (tdoWords != nullptr) tdoWords[(bitCount - 1) / 32] = captured;
}

}  // namespace

void ShiftBits(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords) {
  ShiftBitsCapturingFirst(bitCount, tdiWords, tdoWords, bitCount);
}

uint32_t ScanIR(int irLength, uint32_t instruction, int toIdle) {
  if (irLength < 1 || irLength > kMaxIrLength) return 0;
  uint32_t captured = 0;
  EnterShiftIR();
  ShiftBits(irLength, &instruction, &captured);
  LeaveShift(toIdle);
  return captured;
}

void ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int toIdle) {
  ScanDRCapturingFirst(bitCount, tdiWords, tdoWords, bitCount, toIdle);
}

void ScanDRCapturingFirst(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits, int toIdle) {
  if (bitCount < 1) return;
  EnterShiftDR();
  ShiftBitsCapturingFirst(bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(toIdle);
}

FastClocks::FastClocks() {
  ++g_fast_clocks_depth;
  g_fast_clocks = true;
}

FastClocks::~FastClocks() {
  if (--g_fast_clocks_depth > 0) return;
  g_fast_clocks = false;
  if (g_tck_left_high != 0 && SelectedPort() != kNoPortSelected)
    PortWrite(SelectedDataPort(), static_cast<uint8_t>(g_tck_left_high & ~lines::kTck));
  g_tck_left_high = 0;
}

void TapReset(int toIdle) {
  for (int cycle = 0; cycle < kResetCycles; ++cycle) (void)TapClock(1, 1, 1);
  if (toIdle != 0) (void)TapClock(1, 0, 1);
  g_tap_active = toIdle != 0 ? 1 : 0;
  ++g_tap_resets;
}

int PulseCableReset() {
  if (SelectedPort() == kNoPortSelected) return 1;
  PortWrite(SelectedDataPort(), lines::kAllLow);
  platform::SleepMilliseconds(kResetPulseMs);
  PortWrite(SelectedDataPort(), lines::kResetReleased);
  TapReset(1);
  return 0;
}

uint32_t TapResetCount() { return g_tap_resets; }
int TapActive() { return g_tap_active; }
void SetTapActive(int active) { g_tap_active = active != 0 ? 1 : 0; }
bool PowerLossSeen() { return g_power_loss_seen; }
void ClearPowerLossSeen() { g_power_loss_seen = false; }

void ResetTapState() {
  g_tap_active = 0;
  g_power_loss_seen = false;
}

}  // namespace vantrel::cable
