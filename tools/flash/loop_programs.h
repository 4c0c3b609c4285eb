// The small ARM programs the core runs from the work area to erase and program a CFI
// chip with halfword stores, which the library's memory accesses cannot make. Each ends
// at `halt` (a software breakpoint there stops the core) with its result in r3.
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

// Program: r0 the flash address, r1 the source in RAM, r2 the halfwords, r4 and r5 the
// chip's two unlock addresses (AMD only), r9 0. Each halfword is read back once
// programmed; r9 ends as the checksum of the source (LoopChecksum), so the host knows the
// core programmed the data it sent. On a failure r0 holds the halfword's address.
LoopProgram AmdProgramLoop();
LoopProgram IntelProgramLoop();
// Erase: r1 a list of words in RAM, r2 their number, r4 and r5 as above, r6 the last
// command (AMD only): each word is the address of the last cycle (a sector, or the
// chip's first unlock address for the chip erase). On a failure r0 holds that address.
LoopProgram AmdEraseLoop();
LoopProgram IntelEraseLoop();
// Blank check: r0 the flash address, r2 the halfwords; r3 1 (kBitWouldRise) and r0 the
// address of the first halfword that is not 0xFFFF.
LoopProgram BlankCheckLoop();

// The checksum the program loops leave in r9 for these bytes (whole halfwords).
uint32_t LoopChecksum(const uint8_t* bytes, size_t count, uint32_t start = 0);

// The most bytes any of them takes.
inline constexpr uint32_t kLoopAreaBytes = 160;

}  // namespace vantrel::flash
