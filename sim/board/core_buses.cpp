#include "board/core_buses.h"

namespace vsim {

namespace {

constexpr int kCommsCoprocessor = 14;
constexpr int kCommsControlCrn = 0;
constexpr int kCommsDataCrn = 1;

uint32_t LaneShift(uint32_t address, int size, Endianness order) {
  if (size == 4) return 0;
  uint32_t lane = size == 1 ? (address & 3u) : ((address >> 1) & 1u);
  uint32_t lanes = size == 1 ? 3u : 1u;
  if (order == Endianness::kBig) lane = lanes - lane;
  return lane * 8u * static_cast<uint32_t>(size);
}

uint32_t SizeMask(int size) { return size == 4 ? 0xFFFFFFFFu : ((1u << (8 * size)) - 1u); }

uint32_t MasBits(int size) { return size == 1 ? 0u : (size == 2 ? 1u : 2u); }

bool IsComms(int cp, int opc1, int crm, int opc2) {
  return cp == kCommsCoprocessor && opc1 == 0 && crm == 0 && opc2 == 0;
}

}  // namespace

uint32_t LaneMask(uint32_t address, int size, Endianness order) {
  return SizeMask(size) << LaneShift(address, size, order);
}

uint32_t Replicate(uint32_t value, int size) {
  if (size == 1) return (value & 0xFFu) * 0x01010101u;
  if (size == 2) return (value & 0xFFFFu) * 0x00010001u;
  return value;
}

uint32_t ExtractLane(uint32_t word, uint32_t address, int size, Endianness order) {
  return (word >> LaneShift(address, size, order)) & SizeMask(size);
}

bool CommsRead(EmbeddedIce& ice, int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) {
  if (!IsComms(cp, opc1, crm, opc2)) return false;
  if (crn == kCommsControlCrn) {
    value = ice.CommsControl();
    return true;
  }
  if (crn == kCommsDataCrn) {
    value = ice.CoreReadComms();
    return true;
  }
  return false;
}

bool CommsWrite(EmbeddedIce& ice, int cp, int opc1, int crn, int crm, int opc2, uint32_t value) {
  if (!IsComms(cp, opc1, crm, opc2) || crn != kCommsDataCrn) return false;
  ice.CoreWriteComms(value);
  return true;
}

// ---- System speed ------------------------------------------------------------------

void SystemBus::Watch(uint32_t address, int size, uint32_t busWord, bool write, bool privileged) {
  if (!core_.ice_.AnyUnitEnabled()) return;
  BusCycle cycle;
  cycle.address = address;
  cycle.data = busWord;
  cycle.laneMask = LaneMask(address, size, core_.memory_.ByteOrder());
  cycle.control = (write ? kWpNrw : 0u) | (MasBits(size) << kWpMasShift) | kWpNopc | (privileged ? kWpNtrans : 0u);
  if (core_.ice_.Matches(cycle)) core_.dataWatchHit_ = true;
}

bool SystemBus::Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) {
  (void)kind;  // fetches are made by the pipeline, never through here
  core_.pollWatch_.NoteDisturbance();
  if (address == kTimerAcknowledgeAddress && core_.timer_.Enabled()) {
    value = core_.timer_.Pending() ? 1u : 0u;
    Watch(address, size, Replicate(value, size), false, privileged);
    return true;
  }
  bool ok = core_.memory_.Read(address, size, value);
  Watch(address, size, Replicate(value, size), false, privileged);
  return ok;
}

bool SystemBus::Write(uint32_t address, int size, uint32_t value, bool privileged) {
  core_.pollWatch_.NoteDisturbance();
  Watch(address, size, Replicate(value, size), true, privileged);
  if (address == kTimerAcknowledgeAddress && core_.timer_.Enabled()) {
    core_.timer_.Acknowledge();
    return true;
  }
  return core_.memory_.Write(address, size, value);
}

// Reading the comms control word changes nothing; every other coprocessor access may.
bool SystemBus::CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) {
  if (IsComms(cp, opc1, crm, opc2) && crn == kCommsControlCrn) {
    core_.pollWatch_.NotePoll();
  } else {
    core_.pollWatch_.NoteDisturbance();
  }
  return CommsRead(core_.ice_, cp, opc1, crn, crm, opc2, value);
}

bool SystemBus::CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) {
  core_.pollWatch_.NoteDisturbance();
  return CommsWrite(core_.ice_, cp, opc1, crn, crm, opc2, value);
}

// ---- Debug speed -------------------------------------------------------------------

bool DebugBus::Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) {
  (void)kind;
  (void)privileged;
  uint32_t word = nextLoad_ < loadCount_ ? loads_[nextLoad_++] : 0u;
  value = ExtractLane(word, address, size, core_.memory_.ByteOrder());
  return true;
}

bool DebugBus::Write(uint32_t address, int size, uint32_t value, bool privileged) {
  (void)address;
  (void)privileged;
  if (storeCount_ < 16) core_.stores_[storeCount_++] = Replicate(value, size);
  return true;
}

bool DebugBus::CoprocessorRead(int cp, int opc1, int crn, int crm, int opc2, uint32_t& value) {
  return CommsRead(core_.ice_, cp, opc1, crn, crm, opc2, value);
}

bool DebugBus::CoprocessorWrite(int cp, int opc1, int crn, int crm, int opc2, uint32_t value) {
  return CommsWrite(core_.ice_, cp, opc1, crn, crm, opc2, value);
}

}  // namespace vsim
