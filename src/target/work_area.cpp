#include "target/work_area.h"

#include "target/cable_link.h"
#include "target/memory_map.h"
#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;
// The eight exception vectors: the loop would halt at its first fetch there (comms_loop.h).
constexpr uint64_t kVectorsEnd = 0x20;
constexpr uint64_t kWordMask = 3;

struct Span {
  uint64_t first;
  uint64_t end;  // one past the last byte
};

bool Apart(const Span& a, const Span& b) { return a.end <= b.first || b.end <= a.first; }

// A transfer may run past 0xFFFFFFFF and go on from address 0: the loop must stay clear
// of that wrapped part as well, or the transfer would move the loop's own words.
bool ClearOfTransfer(const Span& loop, const Span& transfer) {
  if (transfer.end - transfer.first >= kAddressSpace) return false;
  const Span wrapped{0, transfer.end > kAddressSpace ? transfer.end - kAddressSpace : 0};
  return Apart(loop, transfer) && Apart(loop, wrapped);
}

// A region in the way of reads or of writes is not the loop's to touch, whatever the
// work area says: the loop's place is read, written and run.
bool ClearOfBlockingRegions(const TargetLayerState& target, uint32_t loop, uint32_t loopBytes) {
  return !TouchesRegion(target, loop, loopBytes, kReadOnlyRegion) &&
         !TouchesRegion(target, loop, loopBytes, kWriteOnlyRegion);
}

// The first of the two places (the area's start, its end) that holds the loop.
std::optional<uint32_t> PlaceIn(const TargetLayerState& target, const Span& area, const Span& transfer,
                                uint32_t loopBytes) {
  const uint64_t candidates[] = {(area.first + kWordMask) & ~kWordMask, (area.end - loopBytes) & ~kWordMask};
  for (const uint64_t place : candidates) {
    const Span loop{place, place + loopBytes};
    if (area.end < loopBytes || place < area.first || loop.end > area.end) continue;
    if (place < kVectorsEnd || !ClearOfTransfer(loop, transfer)) continue;
    if (!ClearOfBlockingRegions(target, static_cast<uint32_t>(place), loopBytes)) continue;
    return static_cast<uint32_t>(place);
  }
  return std::nullopt;
}

// A region's end past the 32-bit address space is the end of that space.
std::optional<Span> RegionSpan(const MemoryRegion& region) {
  if (region.property != kReadWriteRegion || region.start >= kAddressSpace) return std::nullopt;
  const uint64_t room = kAddressSpace - region.start;
  return Span{region.start, region.start + (region.length < room ? region.length : room)};
}

// The first place in the configured work area or, without one, in the read-write regions.
std::optional<uint32_t> LoopPlace(TargetLayerState& target, uint32_t first, int64_t bytes, uint32_t loopBytes) {
  const Span transfer{first, uint64_t{first} + static_cast<uint64_t>(bytes)};
  if (const std::optional<core::WorkArea> configured = ConfiguredWorkArea(target)) {
    return PlaceIn(target, {configured->address, uint64_t{configured->address} + configured->size}, transfer,
                   loopBytes);
  }
  for (const MemoryRegion& region : DeclaredRegions(target)) {
    const std::optional<Span> area = RegionSpan(region);
    if (!area.has_value()) continue;
    if (const std::optional<uint32_t> place = PlaceIn(target, *area, transfer, loopBytes)) return place;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint32_t> CommsLoopPlace(TargetLayerState& target, uint32_t first, int64_t bytes) {
  if (bytes < kMinCommsLoopBytes) return std::nullopt;
  return LoopPlace(target, first, bytes, target.Core().Facts().commsLoopBytes);
}

std::optional<uint32_t> ChecksumLoopPlace(TargetLayerState& target, uint32_t first, int64_t bytes) {
  if (bytes < kMinChecksumLoopBytes) return std::nullopt;
  return LoopPlace(target, first, bytes, target.Core().Facts().checksumLoopBytes);
}

}  // namespace vantrel::target
