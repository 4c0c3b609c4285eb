// The AMD/JEDEC command set of the amd16 chip: unlock cycles at word addresses 0x555
// and 0x2AA, program and erase sequences, autoselect, and the status read while busy
// (DQ7 data polling, DQ6 and DQ2 toggling, DQ5 time limit exceeded, DQ3 erase started).
#include "board/cfi_flash.h"

namespace vsim {

namespace {

constexpr uint32_t kUnlockWord1 = 0x555;
constexpr uint32_t kUnlockWord2 = 0x2AA;
constexpr uint32_t kQueryWord = 0x55;
constexpr uint32_t kUnlockAddressMask = 0x7FF;  // the chip decodes A10-A0 of a cycle
constexpr uint8_t kUnlockData1 = 0xAA;
constexpr uint8_t kUnlockData2 = 0x55;
constexpr uint8_t kCmdReset = 0xF0;
constexpr uint8_t kCmdAutoselect = 0x90;
constexpr uint8_t kCmdQuery = 0x98;
constexpr uint8_t kCmdProgram = 0xA0;
constexpr uint8_t kCmdEraseSetup = 0x80;
constexpr uint8_t kCmdSectorErase = 0x30;
constexpr uint8_t kCmdChipErase = 0x10;
constexpr uint8_t kCmdEraseSuspend = 0xB0;
constexpr uint8_t kCmdEraseResume = 0x30;

constexpr uint16_t kManufacturer = 0x0001;
constexpr uint16_t kDevice = 0x2249;

constexpr uint8_t kDq7 = 0x80;
constexpr uint8_t kDq6 = 0x40;
constexpr uint8_t kDq5 = 0x20;
constexpr uint8_t kDq3 = 0x08;
constexpr uint8_t kDq2 = 0x04;

}  // namespace

uint16_t CfiFlash::AmdIdentify(uint32_t word) const {
  switch (word & 0xFF) {
    case 0x00: return kManufacturer;
    case 0x01: return kDevice;
    case 0x02: return 0x0000;  // the block is not protected
    default: return 0x0000;
  }
}

uint16_t CfiFlash::AmdStatus(uint32_t offset, uint64_t now) {
  (void)offset;
  uint8_t status = 0;
  if (busy_ == Work::kEraseSuspended) {
    status = kDq7 | (toggle_ ? kDq2 : 0);
  } else if (busy_ == Work::kProgram) {
    status = static_cast<uint8_t>((~programmed_ & kDq7) | (toggle_ ? kDq6 : 0));
    if (failed_ && now >= busyUntil_) status |= kDq5;
  } else {
    status = kDq3 | (toggle_ ? kDq6 | kDq2 : 0);
  }
  toggle_ = !toggle_;
  return static_cast<uint16_t>(status << 8 | status);
}

void CfiFlash::AmdResume(uint8_t command, uint64_t now) {
  if (busy_ == Work::kEraseSuspended && command == kCmdEraseResume) {
    busy_ = Work::kErase;
    BusyFor(remaining_, now);
  } else if (busy_ == Work::kErase && command == kCmdEraseSuspend) {
    SuspendErase(now);
  } else if (busy_ == Work::kProgram && failed_ && command == kCmdReset) {
    busy_ = Work::kIdle;  // the write to the failed word leaves it as far as it got
    failed_ = false;
    mode_ = Mode::kArray;
  }
}

void CfiFlash::AmdEraseCycle(uint32_t offset, uint8_t command, uint64_t now) {
  uint32_t word = (offset / 2) & kUnlockAddressMask;
  cycle_ = 0;
  if (command == kCmdSectorErase) {
    EraseBlock block = geometry_.BlockAt(offset);
    StartErase(block.offset, block.bytes, kFlashBlockEraseCycles, now);
  } else if (command == kCmdChipErase && word == kUnlockWord1) {
    StartErase(0, geometry_.ChipBytes(), kFlashChipEraseCycles, now);
  }
}

void CfiFlash::AmdWrite(uint32_t offset, uint8_t command, uint16_t value, uint64_t now) {
  if (busy_ != Work::kIdle) return AmdResume(command, now);
  uint32_t word = (offset / 2) & kUnlockAddressMask;
  if (cycle_ == 3 && pending_ == kCmdProgram) {
    cycle_ = 0;
    failed_ = !StartProgram(offset, value, now);
    return;
  }
  if (command == kCmdReset) {
    mode_ = Mode::kArray;
    cycle_ = 0;
    return;
  }
  bool unlock1 = word == kUnlockWord1 && command == kUnlockData1;
  bool unlock2 = word == kUnlockWord2 && command == kUnlockData2;
  switch (cycle_) {
    case 0:
    case 3:
      if (cycle_ == 0 && (offset / 2 & 0xFF) == kQueryWord && command == kCmdQuery) {
        mode_ = Mode::kQuery;
        return;
      }
      cycle_ = unlock1 ? cycle_ + 1 : 0;
      return;
    case 1:
    case 4: cycle_ = unlock2 ? cycle_ + 1 : 0; return;
    case 2:
      cycle_ = 0;
      if (word != kUnlockWord1) return;
      if (command == kCmdAutoselect) mode_ = Mode::kIdentify;
      if (command == kCmdProgram || command == kCmdEraseSetup) {
        cycle_ = 3;
        pending_ = command;
      }
      return;
    case 5: return AmdEraseCycle(offset, command, now);
    default: cycle_ = 0; return;
  }
}

}  // namespace vsim
