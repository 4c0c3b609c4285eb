// A 16-bit CFI NOR flash chip as the core's bus sees it: halfword bus cycles carry
// reads of the array or of the chip's identification, query table and status, and
// writes that are command cycles. Program and erase take time, counted in the board's
// ticks (about a microsecond each, see Memory): reads of the chip while it is busy
// return its status, as the real part does.
//
// Programming only clears bits; a 0 turns back into 1 only by an erase. Writes that are
// not part of a command are ignored.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board_config.h"
#include "board/flash_geometry.h"

namespace vsim {

// Busy times in board ticks. A word program is quicker than one memory read through
// the debug port but a program loop run by the core polls it; an erase (scaled down
// from the real part's second or so, so that tests stay quick) takes a few dozen
// polls through the debug port.
inline constexpr uint64_t kFlashWordProgramCycles = 8;
inline constexpr uint64_t kFlashBlockEraseCycles = 20000;
inline constexpr uint64_t kFlashChipEraseCycles = 100000;

class CfiFlash {
 public:
  CfiFlash(FlashKind kind, uint32_t chipBytes, Endianness endianness);

  // offset: from the chip's base, halfword aligned; now: the board's clock in ticks.
  uint16_t Read(uint32_t offset, uint64_t now);
  void Write(uint32_t offset, uint16_t value, uint64_t now);

  // The array in target byte order, for the host side (filling, inspecting).
  uint8_t* Array() { return array_.data(); }
  const uint8_t* Array() const { return array_.data(); }
  const FlashGeometry& Geometry() const { return geometry_; }
  bool BlockLocked(uint32_t offset) const { return locked_[geometry_.BlockAt(offset).index]; }
  // The ticks of every program and erase so far (a suspended spell not counted): the
  // time software has had to wait for the chip.
  uint64_t BusyTicks() const { return busyTicks_; }
  // A program or erase under way at now.
  bool BusyAt(uint64_t now) const { return Busy() && (failed_ || now < busyUntil_); }

 private:
  enum class Mode : uint8_t { kArray, kIdentify, kQuery, kStatus };
  enum class Work : uint8_t { kIdle, kProgram, kErase, kEraseSuspended };

  // Command sets (amd_command_set.cpp, intel_command_set.cpp).
  void AmdWrite(uint32_t offset, uint8_t command, uint16_t value, uint64_t now);
  void AmdEraseCycle(uint32_t offset, uint8_t command, uint64_t now);
  void AmdResume(uint8_t command, uint64_t now);
  uint16_t AmdStatus(uint32_t offset, uint64_t now);
  uint16_t AmdIdentify(uint32_t word) const;
  void IntelWrite(uint32_t offset, uint8_t command, uint16_t value, uint64_t now);
  void IntelSetupCycle(uint32_t offset, uint8_t command, uint16_t value, uint64_t now);
  uint16_t IntelIdentify(uint32_t offset) const;
  // The query table (cfi_query_table.cpp); 0 outside it.
  uint16_t QueryWord(uint32_t word) const;

  // Shared by both sets.
  uint16_t ArrayWord(uint32_t offset) const;
  // Starts a program of one word; false when the word would need a 0 turned into 1
  // (it still programs the bits it can).
  bool StartProgram(uint32_t offset, uint16_t value, uint64_t now);
  void StartErase(uint32_t offset, uint32_t bytes, uint64_t cycles, uint64_t now);
  void Settle(uint64_t now);
  void BusyFor(uint64_t cycles, uint64_t now);
  void SuspendErase(uint64_t now);
  bool Busy() const { return busy_ == Work::kProgram || busy_ == Work::kErase; }

  FlashKind kind_;
  Endianness endianness_;
  FlashGeometry geometry_;
  std::vector<uint8_t> array_;
  std::vector<bool> locked_;  // per erase block (Intel parts)

  Mode mode_ = Mode::kArray;
  int cycle_ = 0;          // command cycles of a sequence seen so far
  uint8_t pending_ = 0;    // the command awaiting its next cycle
  Work busy_ = Work::kIdle;
  uint64_t busyUntil_ = 0;
  uint64_t remaining_ = 0;  // of a suspended erase
  uint64_t busyTicks_ = 0;
  uint32_t busyOffset_ = 0;
  uint32_t eraseBytes_ = 0;
  uint16_t programmed_ = 0;  // the value being programmed, for data polling
  bool failed_ = false;      // AMD: time limit exceeded; Intel: the error bits below
  uint8_t intelStatus_ = 0;
  bool toggle_ = false;
};

}  // namespace vsim
