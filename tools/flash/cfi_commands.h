// The command cycles of CFI chips on a 16-bit bus. Addresses are offsets in bytes from
// the chip's start (the chip's word address times two).
#pragma once

#include <cstdint>

namespace vantrel::flash::cfi {

constexpr uint32_t kQueryAddress = 0x55 * 2;
constexpr uint16_t kQueryCommand = 0x98;

// AMD command set: two unlock cycles before every command.
constexpr uint32_t kAmdUnlock1 = 0x555 * 2;
constexpr uint32_t kAmdUnlock2 = 0x2AA * 2;
constexpr uint16_t kAmdReset = 0xF0;
constexpr uint16_t kAmdChipErase = 0x10;
constexpr uint16_t kAmdSectorErase = 0x30;

// Intel command set: commands at any address of the block they act on.
constexpr uint16_t kIntelReadArray = 0xFF;
constexpr uint16_t kIntelClearStatus = 0x50;
constexpr uint16_t kIntelProgramSetup = 0x40;
constexpr uint16_t kIntelEraseSetup = 0x20;
constexpr uint16_t kIntelBlockUnlockSetup = 0x60;
constexpr uint16_t kIntelConfirm = 0xD0;
constexpr uint16_t kIntelStatusReady = 0x80;
constexpr uint16_t kIntelStatusEraseError = 0x20;
constexpr uint16_t kIntelStatusProgramError = 0x10;
constexpr uint16_t kIntelStatusVoltageError = 0x08;
constexpr uint16_t kIntelStatusLocked = 0x02;

// A 32-bit store reaches a 16-bit chip as two cycles; the half that carries no command
// gets this value, which neither command set takes for a command in read-array mode
// (and the Intel set reads as "read array").
constexpr uint16_t kIdleHalf = 0xFFFF;

}  // namespace vantrel::flash::cfi
