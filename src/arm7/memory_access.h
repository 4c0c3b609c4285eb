// Reading and writing target memory in 32-bit words: the halted core performs the load or
// store at system speed after a RESTART and drops back into debug state by itself. Needs
// a core halted in debug state, in ARM state. Neither operation corrects the core's PC
// (it is rewritten from RegisterCache before the core runs again). Memory words have
// their bytes reversed when BigEndianTarget is 1; register values never do.
#pragma once

#include <cstdint>

#include "common/result_code.h"

namespace vantrel::arm7 {

struct Arm7State;

inline constexpr int kGetDataBlockWords = 8;
inline constexpr int kGetDataProgressWords = 256;
inline constexpr int kPutDataMaxWords = 14;  // r1 to r14

// Reads count words from address into destination (4 x count bytes), eight per block.
// Reports progress every 256 words and once at the end. Changes r0 to r8. Ends in
// Run-Test/Idle.
// Returns kOk (count 0 moves nothing); kInvalidParameters for a negative count or a null
// destination (nothing sent); kTransferStopped when the host asks to stop through
// ReportProgress (destination then holds the completed blocks); kLinkLost when the link
// (link_check.h: the cable, the power or the core's return to debug state) was lost during
// the read, seen after a block, or the power reading went bad: the words moved since are
// not to be trusted.
[[nodiscard]] ResultCode ArmGetData(Arm7State& core, uint32_t address, uint8_t* destination, int count);

// ArmGetData's contract, with no access outside the words asked for: ArmGetData's blocks
// also load the word before each block and all eight words of the last one. For a read
// that ArmGetData failed next to memory that aborts.
[[nodiscard]] ResultCode ArmGetDataWithin(Arm7State& core, uint32_t address, uint8_t* destination, int count);

// Writes count words (1 to 14) to address, address + 4, ...; word i is the four bytes at
// source + stride x i, read as a little-endian word. The source bytes are not changed.
// Changes r0 and r1 to r<count>. Ends in Update-IR with chain 1 selected.
// Returns kOk (count 0 sends nothing); kInvalidParameters for a negative stride, a count
// outside 0 to 14 or a null source (nothing sent); kLinkLost when the link was lost by the
// end.
[[nodiscard]] ResultCode ArmPutData(Arm7State& core, uint32_t address, int stride, int count, const uint8_t* source);

}  // namespace vantrel::arm7
