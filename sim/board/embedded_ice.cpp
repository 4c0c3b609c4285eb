#include "board/embedded_ice.h"

namespace vsim {

namespace {

constexpr uint32_t kControlWidthMask = 0x7;
constexpr uint32_t kWpControlValueMask = 0x1FF;
constexpr uint32_t kWpControlMaskMask = 0xFF;
constexpr uint32_t kComparedControlBits = 0xFF;

int UnitOf(int address) {
  if (address >= kIceWatchpoint0 && address < kIceWatchpoint0 + 6) return 0;
  if (address >= kIceWatchpoint1 && address < kIceWatchpoint1 + 6) return 1;
  return -1;
}

}  // namespace

void EmbeddedIce::PowerUp() {
  control_ = 0;
  dbgrqi_ = false;
  for (auto& unit : wp_) {
    for (uint32_t& reg : unit) reg = 0;
  }
  // An armed but unprogrammed unit then matches nothing.
  wp_[0][kWpAddressValue] = 0xFFFFFFFF;
  wp_[1][kWpAddressValue] = 0xFFFFFFFF;
  toDebugger_ = toCore_ = 0;
  wFull_ = rFull_ = chainLatch_ = false;
}

void EmbeddedIce::Write(int address, uint32_t value) {
  if (address == kIceDebugControl) {
    control_ = value & kControlWidthMask;
    return;
  }
  if (address == kIceCommsData) {
    toCore_ = value;
    rFull_ = true;
    return;
  }
  int unit = UnitOf(address);
  if (unit < 0) return;  // read-only or unused
  int offset = address - (unit == 0 ? kIceWatchpoint0 : kIceWatchpoint1);
  if (offset == kWpControlValue) {
    value &= kWpControlValueMask;
    if (unit == 1) chainLatch_ = false;
  } else if (offset == kWpControlMask) {
    value &= kWpControlMaskMask;
  }
  wp_[unit][offset] = value;
}

uint32_t EmbeddedIce::Peek(int address, const CoreSignals& core) const {
  switch (address) {
    case kIceDebugControl: return control_;
    case kIceDebugStatus: {
      bool dbgack = core.inDebug || (control_ & kCtrlDbgack) != 0;
      uint32_t status = dbgack ? kStatusDbgack : 0;
      if (dbgrqi_) status |= kStatusDbgrq;
      if (!dbgack && (control_ & kCtrlIntdis) == 0) status |= kStatusIfen;
      if (core.memoryIdle) status |= kStatusNmreq;
      if (core.thumb) status |= kStatusTbit;
      return status;
    }
    case kIceCommsControl: return CommsControl();
    case kIceCommsData: return toDebugger_;
    default: break;
  }
  int unit = UnitOf(address);
  if (unit < 0) return 0;
  return wp_[unit][address - (unit == 0 ? kIceWatchpoint0 : kIceWatchpoint1)];
}

uint32_t EmbeddedIce::Read(int address, const CoreSignals& core) {
  uint32_t value = Peek(address, core);
  if (address == kIceCommsData) wFull_ = false;
  return value;
}

uint32_t EmbeddedIce::CommsControl() const { return kCommsVersion | (wFull_ ? 2u : 0u) | (rFull_ ? 1u : 0u); }

void EmbeddedIce::CoreWriteComms(uint32_t value) {
  toDebugger_ = value;
  wFull_ = true;
}

uint32_t EmbeddedIce::CoreReadComms() {
  rFull_ = false;
  return toCore_;
}

bool EmbeddedIce::Compare(int unit, const BusCycle& cycle, uint32_t control) const {
  const uint32_t* r = wp_[unit];
  if (((cycle.address ^ r[kWpAddressValue]) & ~r[kWpAddressMask]) != 0) return false;
  if (((cycle.data ^ r[kWpDataValue]) & ~r[kWpDataMask] & cycle.laneMask) != 0) return false;
  return ((control ^ r[kWpControlValue]) & ~r[kWpControlMask] & kComparedControlBits) == 0;
}

bool EmbeddedIce::Matches(const BusCycle& cycle) {
  // Unit 1 first: its result feeds unit 0's RANGE input whatever its ENABLE says.
  bool result1 = Compare(1, cycle, cycle.control);
  bool match1 = result1 && (wp_[1][kWpControlValue] & kWpEnable) != 0;
  uint32_t control0 = cycle.control | (result1 ? kWpRange : 0u) | (chainLatch_ ? kWpChain : 0u);
  bool match0 = Compare(0, cycle, control0) && (wp_[0][kWpControlValue] & kWpEnable) != 0;
  if (match1) chainLatch_ = true;
  return match0 || match1;
}

}  // namespace vsim
