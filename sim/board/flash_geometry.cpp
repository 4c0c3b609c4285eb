#include "board/flash_geometry.h"

namespace vsim {

namespace {

constexpr uint32_t kKiB = 1024u;
constexpr uint32_t kMaxFlashBytes = 64u * 1024u * 1024u;  // a 16-bit CFI part tops out well below

}  // namespace

std::string ValidateFlashSize(uint32_t chipBytes) {
  if (chipBytes < 2 * kFlashMainBlockBytes || chipBytes % kFlashMainBlockBytes != 0 || chipBytes > kMaxFlashBytes) {
    return "flash size must be a multiple of 64K from 128K to 64M";
  }
  return {};
}

FlashGeometry::FlashGeometry(FlashKind kind, uint32_t chipBytes) : chipBytes_(chipBytes) {
  // The first 64 KiB is split into boot blocks; the rest is main blocks.
  if (kind == FlashKind::kAmd16) {
    regions_ = {{1, 16 * kKiB}, {2, 8 * kKiB}, {1, 32 * kKiB}};
  } else {
    regions_ = {{8, 8 * kKiB}};
  }
  regions_.push_back({chipBytes / kFlashMainBlockBytes - 1, kFlashMainBlockBytes});
}

uint32_t FlashGeometry::BlockCount() const {
  uint32_t count = 0;
  for (const EraseRegion& r : regions_) count += r.blocks;
  return count;
}

EraseBlock FlashGeometry::BlockAt(uint32_t offset) const {
  uint32_t start = 0;
  uint32_t index = 0;
  for (const EraseRegion& r : regions_) {
    uint32_t regionBytes = r.blocks * r.blockBytes;
    if (offset - start < regionBytes) {
      uint32_t inRegion = (offset - start) / r.blockBytes;
      return {start + inRegion * r.blockBytes, r.blockBytes, index + inRegion};
    }
    start += regionBytes;
    index += r.blocks;
  }
  return {0, 0, 0};
}

}  // namespace vsim
