// Where the fast transfers may run the comms loop, and the fast verify the core's checksum
// loop: in lpt.ini's work area, or else in the first region the host declared read-write,
// at its start or at its end, whichever leaves the transfer's words alone.
#pragma once

#include <cstdint>
#include <optional>

namespace vantrel::target {

class TargetLayerState;

// Shorter transfers move faster through the debug bus than the loop's setting up costs.
inline constexpr int64_t kMinCommsLoopBytes = 1024;

// The address of the loop's 32 bytes for a fast transfer of the words at first to
// first + bytes - 1: word aligned, within the area, above the exception vectors, clear of
// the transfer and of every region declared read-only or write-only. None when the
// transfer is short or no area has such a place.
std::optional<uint32_t> CommsLoopPlace(TargetLayerState& target, uint32_t first, int64_t bytes);

// Shorter verifies read back faster than the checksum loop's setting up costs.
inline constexpr int64_t kMinChecksumLoopBytes = 1024;

// The same for the checksum loop (100 bytes on the ARM7TDMI), clear of the bytes it
// checks, first to first + bytes - 1. None when they are few or no area is large enough.
std::optional<uint32_t> ChecksumLoopPlace(TargetLayerState& target, uint32_t first, int64_t bytes);

}  // namespace vantrel::target
