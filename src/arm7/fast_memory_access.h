// The fast ways of reading and writing target memory, for hosts that asked for speed
// (transfer=fast in lpt.ini): blocks of up to 14 words, clocks that skip the status read
// when their TDO bit is of no use, chain 1 kept selected across each system-speed
// access, and the status poll only when the core's return to debug state is in doubt
// (the BREAKPT bit the first scan after the return captures says it is back). Every
// block still reads the status byte (its instruction scans capture), so a lost cable or
// power shows within a block, as in the exact sequences.
//
// Same contracts as ArmGetData and ArmPutData (memory_access.h): results, progress
// reports and stop requests are those of the exact sequences; only the wire traffic and
// the registers used differ.
#pragma once

#include <cstdint>
#include <optional>

#include "common/result_code.h"
#include "core/debug_core.h"

namespace vantrel::arm7 {

struct Arm7State;

inline constexpr int kFastBlockWords = 14;  // r1 to r14

using core::WriteStart;

// ArmGetData's contract; changes r0 to r14. With a work area (comms_loop.h) the words
// come through the comms loop when it can run there, otherwise through the debug bus.
[[nodiscard]] ResultCode ArmGetDataFast(Arm7State& core, uint32_t address, uint8_t* destination, int count,
                                        std::optional<uint32_t> workArea = std::nullopt);

// Reads count words (1 to 14) from address into destination with one block, no progress
// report and no stop. Changes r0 to r14. Returns kOk, kInvalidParameters for a count
// outside 1 to 14 or a null destination (nothing sent), or kLinkLost.
[[nodiscard]] ResultCode ArmReadBlockFast(Arm7State& core, uint32_t address, uint8_t* destination, int count);

// ArmPutData's contract; changes r0 to r<count>, and leaves r0 at address + 4 x count.
// With WriteStart::kContinuing, r0 already holds address (the previous ArmPutDataFast of
// the same transfer ended there, with nothing else sent to the core since) and is not loaded.
[[nodiscard]] ResultCode ArmPutDataFast(Arm7State& core, uint32_t address, int stride, int count, const uint8_t* source,
                                        WriteStart start);

}  // namespace vantrel::arm7
