#include "support/sim_tap_cable/sim_tap_cable.h"

namespace vantrel::test {
namespace {

constexpr int kResetCycles = 8;
constexpr int kMaxIrLength = 32;

}  // namespace

ResultCode SimTapCable::Open(std::string_view) {
  opened_ = board_.CablePresent();
  return opened_ ? kOk : kEmulatorNotFound;
}

// Every cycle releases the target's reset line, as every byte of TAP traffic on the
// parallel cable does, and samples the power-sense lines with TDO.
bool SimTapCable::Cycle(bool tms, bool tdi) {
  if (!opened_) return false;
  ++cycles_;
  board_.SetResetHeld(false);
  if (!board_.PowerGood()) powerLossSeen_ = true;
  return board_.ClockTap(tms, tdi);
}

void SimTapCable::ResetTap(cable::TapResetEnd end) {
  for (int i = 0; i < kResetCycles; ++i) Cycle(true, true);
  if (end == cable::TapResetEnd::kRunTestIdle) Cycle(false, true);
  tapActive_ = end == cable::TapResetEnd::kRunTestIdle;
  ++tapResets_;
}

void SimTapCable::Shift(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits) {
  uint32_t input = 0;
  for (int i = 0; i < bitCount; ++i) {
    const int word = i / 32;
    const uint32_t mask = 1u << (i % 32);
    if (i % 32 == 0) {
      input = tdiWords != nullptr ? tdiWords[word] : 0;  // read before a capture overwrites it
      if (tdoWords != nullptr) tdoWords[word] = 0;
    }
    const bool tdo = Cycle(i == bitCount - 1, (input & mask) != 0);
    if (tdoWords != nullptr && i < capturedBits && tdo) tdoWords[word] |= mask;
  }
}

void SimTapCable::LeaveShift(cable::ScanEnd end) {
  Cycle(true, false);  // Update
  if (end == cable::ScanEnd::kIdle) Cycle(false, false);
}

uint32_t SimTapCable::ScanIR(int irLength, uint32_t instruction, cable::ScanEnd end) {
  if (irLength < 1 || irLength > kMaxIrLength) return 0;
  for (const bool tms : {true, true, false, false}) Cycle(tms, false);  // to Shift-IR
  uint32_t captured = 0;
  Shift(irLength, &instruction, &captured, irLength);
  LeaveShift(end);
  return captured;
}

void SimTapCable::ScanDR(int bitCount, const uint32_t* tdiWords, uint32_t* tdoWords, int capturedBits,
                         cable::ScanEnd end) {
  if (bitCount < 1) return;
  for (const bool tms : {true, false, false}) Cycle(tms, false);  // to Shift-DR
  Shift(bitCount, tdiWords, tdoWords, capturedBits);
  LeaveShift(end);
}

ResultCode SimTapCable::PulseReset() {
  if (!opened_) return kEmulatorNotFound;
  board_.SetResetHeld(true);
  ResetTap(cable::TapResetEnd::kRunTestIdle);  // its first cycle releases the line
  return kOk;
}

int32_t SimTapCable::ReadPowerLines() {
  if (!opened_) {
    powerStatus_ = 0;
    return -1;
  }
  powerStatus_ = board_.PowerGood() ? cable::kPowerGood : 0;
  return powerStatus_;
}

}  // namespace vantrel::test
