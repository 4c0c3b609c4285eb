#include "target/memory_map.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

constexpr char kNoRegionsText[] = "no memory configuration\r\n";
constexpr char kHeaderLine[] = "No    StartAddr     Length        Property\r\n";

// The end start + length does not fit 64 bits: the region reaches the top of the space.
bool EndPassesTop(const MemoryRegion& region) {
  return region.length > std::numeric_limits<uint64_t>::max() - region.start;
}

// x < start + length, the end taken as 2^64 when it passes 2^64 - 1.
bool BelowEnd(uint64_t x, const MemoryRegion& region) {
  return EndPassesTop(region) || x < region.start + region.length;
}

bool AtOrBelowEnd(uint64_t x, const MemoryRegion& region) {
  return EndPassesTop(region) || x <= region.start + region.length;
}

bool Overlap(const MemoryRegion& a, const MemoryRegion& b) { return BelowEnd(a.start, b) && BelowEnd(b.start, a); }

// Properties beyond the three known ones still get a text, showing the value.
void FormatPropertyText(uint32_t property, char (&text)[16]) {
  switch (property) {
    case kReadOnlyRegion: std::snprintf(text, sizeof text, "-R"); return;
    case kWriteOnlyRegion: std::snprintf(text, sizeof text, "-W"); return;
    case kReadWriteRegion: std::snprintf(text, sizeof text, "-RW"); return;
    default: std::snprintf(text, sizeof text, "-(%" PRIu32 ")", property);
  }
}

// Appends line when it fits whole; false otherwise.
bool AppendWhole(std::span<char> text, std::size_t& used, const char* line, std::size_t length) {
  if (length > text.size() - used) return false;
  std::memcpy(text.data() + used, line, length);
  used += length;
  return true;
}

bool AppendRow(std::span<char> text, std::size_t& used, int number, const MemoryRegion& region) {
  char property[16];
  FormatPropertyText(region.property, property);
  char row[64];
  const int length = std::snprintf(row, sizeof row, "%02d    0x%08" PRIx32 "    0x%08" PRIx32 "    %s\r\n", number,
                                   static_cast<uint32_t>(region.start), static_cast<uint32_t>(region.length), property);
  return length > 0 && AppendWhole(text, used, row, static_cast<std::size_t>(length));
}

}  // namespace

AddRegionOutcome AddMemoryRegion(TargetLayerState& target, const MemoryRegion& region) {
  MemoryMap& map = target.memoryMap;
  for (int i = 0; i < map.count; ++i) {
    if (Overlap(region, map.regions[static_cast<std::size_t>(i)])) return AddRegionOutcome::kOverlap;
  }
  if (map.count >= kMaxMemoryRegions) return AddRegionOutcome::kMapFull;
  map.regions[static_cast<std::size_t>(map.count++)] = region;
  return AddRegionOutcome::kAdded;
}

std::size_t ListMemoryRegions(const TargetLayerState& target, std::span<char> text) {
  const MemoryMap& map = target.memoryMap;
  std::size_t used = 0;
  if (map.count == 0) {
    (void)AppendWhole(text, used, kNoRegionsText, sizeof kNoRegionsText - 1);
    return used;
  }
  if (!AppendWhole(text, used, kHeaderLine, sizeof kHeaderLine - 1)) return used;
  for (int i = 0; i < map.count; ++i) {
    if (!AppendRow(text, used, i + 1, map.regions[static_cast<std::size_t>(i)])) break;
  }
  return used;
}

int MemoryRegionCount(const TargetLayerState& target) { return target.memoryMap.count; }

bool TouchesRegion(const TargetLayerState& target, uint32_t first, uint32_t length, uint32_t property) {
  const MemoryMap& map = target.memoryMap;
  const MemoryRegion bytes{first, length, property, 0};
  for (int i = 0; i < map.count; ++i) {
    const MemoryRegion& region = map.regions[static_cast<std::size_t>(i)];
    if (region.property == property && Overlap(bytes, region)) return true;
  }
  return false;
}

std::span<const MemoryRegion> DeclaredRegions(const TargetLayerState& target) {
  return {target.memoryMap.regions.data(), static_cast<std::size_t>(target.memoryMap.count)};
}

void ClearMemoryMap(TargetLayerState& target) { target.memoryMap.count = 0; }

ClippedTransfer ClipTransfer(const TargetLayerState& target, uint32_t address, uint32_t length,
                             uint32_t blockingProperty) {
  const MemoryMap& map = target.memoryMap;
  const uint32_t end = address + length;  // 32-bit: a request past 0xFFFFFFFF wraps
  uint32_t first = address;
  uint32_t last = end;
  for (int i = 0; i < map.count; ++i) {
    const MemoryRegion& region = map.regions[static_cast<std::size_t>(i)];
    if (region.property != blockingProperty) continue;
    const bool startsInside = address >= region.start && BelowEnd(address, region);
    const bool endsInside = end >= region.start && BelowEnd(end, region);
    if (startsInside) {
      if (AtOrBelowEnd(end, region)) return {true, 0, 0};
      // The end lies past the region, so the region's end is a 32-bit address.
      first = static_cast<uint32_t>(region.start + region.length);
    } else if (address < region.start && endsInside) {
      last = static_cast<uint32_t>(region.start);
    } else if (endsInside) {
      return {true, 0, 0};  // a request wrapping past 0xFFFFFFFF into the region
    }
  }
  return {false, first, last - first};
}

}  // namespace vantrel::target
