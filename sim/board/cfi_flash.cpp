#include "board/cfi_flash.h"

namespace vsim {

CfiFlash::CfiFlash(FlashKind kind, uint32_t chipBytes, Endianness endianness)
    : kind_(kind),
      endianness_(endianness),
      geometry_(kind, chipBytes),
      array_(chipBytes, 0xFF),
      locked_(geometry_.BlockCount(), kind == FlashKind::kIntel16) {}

uint16_t CfiFlash::ArrayWord(uint32_t offset) const {
  uint16_t low = array_[offset];
  uint16_t high = array_[offset + 1];
  if (endianness_ == Endianness::kBig) return static_cast<uint16_t>(low << 8 | high);
  return static_cast<uint16_t>(high << 8 | low);
}

bool CfiFlash::StartProgram(uint32_t offset, uint16_t value, uint64_t now) {
  uint16_t old = ArrayWord(offset);
  uint16_t result = old & value;
  uint8_t first = endianness_ == Endianness::kBig ? static_cast<uint8_t>(result >> 8) : static_cast<uint8_t>(result);
  uint8_t second = endianness_ == Endianness::kBig ? static_cast<uint8_t>(result) : static_cast<uint8_t>(result >> 8);
  array_[offset] = first;
  array_[offset + 1] = second;
  busy_ = Work::kProgram;
  BusyFor(kFlashWordProgramCycles, now);
  busyOffset_ = offset;
  programmed_ = value;
  return (value & ~old) == 0;
}

void CfiFlash::StartErase(uint32_t offset, uint32_t bytes, uint64_t cycles, uint64_t now) {
  for (uint32_t i = 0; i < bytes; ++i) array_[offset + i] = 0xFF;
  busy_ = Work::kErase;
  BusyFor(cycles, now);
  busyOffset_ = offset;
  eraseBytes_ = bytes;
}

void CfiFlash::BusyFor(uint64_t cycles, uint64_t now) {
  busyUntil_ = now + cycles;
  busyTicks_ += cycles;
}

// The rest of the erase waits for the resume, which starts it again (BusyFor).
void CfiFlash::SuspendErase(uint64_t now) {
  remaining_ = busyUntil_ > now ? busyUntil_ - now : 0;
  busyTicks_ -= remaining_;
  busy_ = Work::kEraseSuspended;
}

// Finishes a program or erase whose time is up. An AMD program that failed stays busy
// with its time limit exceeded until the software resets the chip.
void CfiFlash::Settle(uint64_t now) {
  if (!Busy() || now < busyUntil_) return;
  if (failed_) return;
  busy_ = Work::kIdle;
  if (kind_ == FlashKind::kAmd16) mode_ = Mode::kArray;
}

uint16_t CfiFlash::Read(uint32_t offset, uint64_t now) {
  Settle(now);
  bool amd = kind_ == FlashKind::kAmd16;
  if (amd && busy_ != Work::kIdle) {
    bool inSuspendedBlock = offset - busyOffset_ < eraseBytes_;
    if (busy_ != Work::kEraseSuspended || inSuspendedBlock) return AmdStatus(offset, now);
  }
  switch (mode_) {
    case Mode::kIdentify: return amd ? AmdIdentify(offset / 2) : IntelIdentify(offset);
    case Mode::kQuery: return QueryWord(offset / 2);
    case Mode::kStatus: {
      uint8_t ready = Busy() ? 0x00 : 0x80;
      uint8_t suspended = busy_ == Work::kEraseSuspended ? 0x40 : 0x00;
      return static_cast<uint16_t>(intelStatus_ | ready | suspended);
    }
    case Mode::kArray: break;
  }
  return ArrayWord(offset);
}

void CfiFlash::Write(uint32_t offset, uint16_t value, uint64_t now) {
  Settle(now);
  auto command = static_cast<uint8_t>(value);
  if (kind_ == FlashKind::kAmd16) {
    AmdWrite(offset, command, value, now);
  } else {
    IntelWrite(offset, command, value, now);
  }
}

}  // namespace vsim
