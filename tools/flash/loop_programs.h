// The small ARM programs the core runs from the work area to erase and program a CFI
// chip with halfword stores, which the library's memory accesses cannot make. Each takes
// its parameters from the head of the buffer that follows it in the work area (words in
// the order given below), so that the host sends them with the data, and ends at `halt`
// (a software breakpoint there stops the core) with its result in r3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel::flash {

// r3 when the core halts.
enum class LoopResult : uint32_t {
  kDone = 0,
  kBitWouldRise = 1,  // a 0 in flash where the data has a 1: the sector is not erased
  kChipError = 2,     // time limit exceeded (AMD DQ5) or an error bit (Intel status)
  kLocked = 3,        // the Intel status says the block is locked
  kMismatch = 4,      // programmed, but the halfword read back differs
};

struct LoopProgram {
  std::span<const uint32_t> words;
  uint32_t haltOffset;  // bytes from the start
};

// Program, head: the flash address (r0), the halfwords (r2), the chip's two unlock
// addresses (r4, r5; AMD only), the checksum's start (r9, 0); the data follows. Each
// halfword is read back once programmed; r9 ends as the checksum of the data
// (LoopChecksum), so the host knows the core programmed the data it sent. On a failure
// r0 holds the halfword's address.
LoopProgram AmdProgramLoop();
LoopProgram IntelProgramLoop();
inline constexpr uint32_t kProgramHeadWords = 5;
// Erase, head: the number of list words (r2), the unlock addresses (r4, r5), the last
// command (r6; AMD only); the list follows: each word the address of the last cycle (a
// sector, or the chip's first unlock address for the chip erase). On a failure r0 holds
// that address.
LoopProgram AmdEraseLoop();
LoopProgram IntelEraseLoop();
inline constexpr uint32_t kEraseHeadWords = 4;
// Blank check, head: the flash address (r0), the halfwords (r2); r3 1 (kBitWouldRise)
// and r0 the address of the first halfword that is not 0xFFFF.
LoopProgram BlankCheckLoop();

// The checksum the program loops leave in r9 for these bytes (whole halfwords).
uint32_t LoopChecksum(const uint8_t* bytes, size_t count, uint32_t start = 0);

// The most bytes any of them takes.
inline constexpr uint32_t kLoopAreaBytes = 160;

}  // namespace vantrel::flash
