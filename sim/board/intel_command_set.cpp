// The Intel command set of the intel16 chip: one-cycle commands choosing what reads
// return (array, identifier, query, status register), two-cycle program, block erase
// and block lock commands, erase suspend. Every block is locked at power-up and must
// be unlocked before it can be programmed or erased.
#include "board/cfi_flash.h"

namespace vsim {

namespace {

constexpr uint8_t kCmdReadArray = 0xFF;
constexpr uint8_t kCmdIdentify = 0x90;
constexpr uint8_t kCmdQuery = 0x98;
constexpr uint8_t kCmdReadStatus = 0x70;
constexpr uint8_t kCmdClearStatus = 0x50;
constexpr uint8_t kCmdProgram = 0x40;
constexpr uint8_t kCmdProgramAlternate = 0x10;
constexpr uint8_t kCmdEraseSetup = 0x20;
constexpr uint8_t kCmdConfirm = 0xD0;  // erase confirm, resume, unlock
constexpr uint8_t kCmdSuspend = 0xB0;
constexpr uint8_t kCmdLockSetup = 0x60;
constexpr uint8_t kCmdLock = 0x01;
constexpr uint8_t kCmdLockDown = 0x2F;

constexpr uint8_t kStatusEraseError = 0x20;
constexpr uint8_t kStatusProgramError = 0x10;
constexpr uint8_t kStatusLocked = 0x02;
constexpr uint8_t kStatusSequenceError = kStatusEraseError | kStatusProgramError;

constexpr uint16_t kManufacturer = 0x0089;
constexpr uint16_t kDevice = 0x88C3;
constexpr uint32_t kLockWordInBlock = 2;

}  // namespace

uint16_t CfiFlash::IntelIdentify(uint32_t offset) const {
  EraseBlock block = geometry_.BlockAt(offset);
  uint32_t word = (offset - block.offset) / 2;
  if (word == kLockWordInBlock) return locked_[block.index] ? 1 : 0;
  if (offset / 2 == 0) return kManufacturer;
  if (offset / 2 == 1) return kDevice;
  return 0;
}

void CfiFlash::IntelSetupCycle(uint32_t offset, uint8_t command, uint16_t value, uint64_t now) {
  uint8_t setup = pending_;
  pending_ = 0;
  mode_ = Mode::kStatus;
  EraseBlock block = geometry_.BlockAt(offset);
  bool locked = locked_[block.index];
  if (setup == kCmdProgram) {
    if (locked) intelStatus_ |= kStatusProgramError | kStatusLocked;
    else StartProgram(offset, value, now);  // a 1 over a 0 simply stays 0
  } else if (setup == kCmdEraseSetup) {
    if (command != kCmdConfirm) intelStatus_ |= kStatusSequenceError;
    else if (locked) intelStatus_ |= kStatusEraseError | kStatusLocked;
    else StartErase(block.offset, block.bytes, kFlashBlockEraseCycles, now);
  } else if (setup == kCmdLockSetup) {
    if (command == kCmdLock || command == kCmdLockDown) locked_[block.index] = true;
    else if (command == kCmdConfirm) locked_[block.index] = false;
    else intelStatus_ |= kStatusSequenceError;
  }
}

void CfiFlash::IntelWrite(uint32_t offset, uint8_t command, uint16_t value, uint64_t now) {
  if (busy_ == Work::kProgram) return;
  if (busy_ == Work::kErase) {
    if (command == kCmdSuspend) SuspendErase(now);
    mode_ = Mode::kStatus;
    return;
  }
  if (pending_ != 0) return IntelSetupCycle(offset, command, value, now);
  switch (command) {
    case kCmdReadArray: mode_ = Mode::kArray; return;
    case kCmdIdentify: mode_ = Mode::kIdentify; return;
    case kCmdQuery: mode_ = Mode::kQuery; return;
    case kCmdReadStatus: mode_ = Mode::kStatus; return;
    case kCmdClearStatus: intelStatus_ = 0; return;
    case kCmdProgramAlternate: pending_ = kCmdProgram; return;
    case kCmdProgram:
    case kCmdEraseSetup:
    case kCmdLockSetup: pending_ = command; return;
    case kCmdConfirm:
      if (busy_ == Work::kEraseSuspended) {
        busy_ = Work::kErase;
        BusyFor(remaining_, now);
        mode_ = Mode::kStatus;
      }
      return;
    default: return;
  }
}

}  // namespace vsim
