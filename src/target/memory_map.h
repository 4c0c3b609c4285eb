// The memory map that the host declares: regions that may only be read and regions that
// may only be written. Transfers consult it to keep reads out of write-only regions and
// writes out of read-only ones. Regions can only be added; a successful connect empties
// the map. The session's target state holds it, no lock: only the thread that holds the cable
// uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel::target {

class TargetLayerState;

// The host's 24-byte record (command 85), kept in the map exactly as received.
struct MemoryRegion {
  uint64_t start;
  uint64_t length;  // the region covers start <= a < start + length; an end past 2^64 - 1 is 2^64
  uint32_t property;
  uint32_t reserved;  // stored, never interpreted
};
static_assert(sizeof(MemoryRegion) == 24);

inline constexpr uint32_t kReadOnlyRegion = 0;   // blocks writes
inline constexpr uint32_t kWriteOnlyRegion = 1;  // blocks reads
inline constexpr uint32_t kReadWriteRegion = 2;  // any other value is accepted and blocks nothing
inline constexpr int kMaxMemoryRegions = 50;

enum class AddRegionOutcome { kAdded, kOverlap, kMapFull };

// Appends a copy of the record. The overlap test comes first (a region sharing an address
// with an existing one is refused also when the map is full), then the 50-region limit.
[[nodiscard]] AddRegionOutcome AddMemoryRegion(TargetLayerState& target, const MemoryRegion& region);

// The listing text, without terminator: "no memory configuration\r\n", or the header line
// and one row per region. Only whole rows are written, as many as fit in text. Returns
// the number of characters written.
std::size_t ListMemoryRegions(const TargetLayerState& target, std::span<char> text);

int MemoryRegionCount(const TargetLayerState& target);
// True when a region of that property shares an address with the bytes first to
// first + length - 1 (length at least 1).
bool TouchesRegion(const TargetLayerState& target, uint32_t first, uint32_t length, uint32_t property);

// The regions in the order the host declared them.
std::span<const MemoryRegion> DeclaredRegions(const TargetLayerState& target);
void ClearMemoryMap(TargetLayerState& target);  // the successful connect; also the at-load state for tests

// The part of a transfer that the map lets through.
struct ClippedTransfer {
  bool refused;     // the request lies wholly inside a blocking region
  uint32_t first;   // first address to transfer
  uint32_t length;  // bytes to transfer; 0 leaves nothing to move
};

// Fits the request (address, length) to the map. blockingProperty is kWriteOnlyRegion for
// a read and kReadOnlyRegion for a write. A request that starts in a blocking region
// begins where it ends, one that ends in a blocking region ends where it begins; one that
// covers a region entirely is not split.
ClippedTransfer ClipTransfer(const TargetLayerState& target, uint32_t address, uint32_t length,
                             uint32_t blockingProperty);

}  // namespace vantrel::target
