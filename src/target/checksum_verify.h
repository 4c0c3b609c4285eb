// The fast verify of a download or a write: the halted core computes a CRC-32 of the
// written range in the work area, which is compared with the host's CRC-32 of the data,
// instead of every word being read back over the cable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantrel::target {

class TargetLayerState;

// True when the target's bytes at address .. address + length - 1 are those of expected,
// false when any differs. None when the checksum cannot serve and the caller reads back
// instead: the exact sequences chosen, a short range, no work area large enough and clear
// of the range, a range that touches a write-only region, a core that is not halted, or a
// loop that failed (an access aborted, its time limit, a lost link; the trace says which).
std::optional<bool> VerifyByChecksum(TargetLayerState& target, uint32_t address, const uint8_t* expected,
                                     int32_t length);

// The common CRC-32 (reflected polynomial 0xEDB88320, from all ones, inverted at the end).
uint32_t Crc32(const uint8_t* bytes, std::size_t length);

}  // namespace vantrel::target
