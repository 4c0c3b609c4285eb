// The erase blocks of a simulated flash chip: a few regions of equal blocks, lowest
// address first, as the chip's query table lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_config.h"

namespace vsim {

struct EraseRegion {
  uint32_t blocks = 0;
  uint32_t blockBytes = 0;
};

struct EraseBlock {
  uint32_t offset = 0;  // from the chip's base
  uint32_t bytes = 0;
  uint32_t index = 0;   // counted from the bottom of the chip
};

class FlashGeometry {
 public:
  // Bottom boot: the small blocks at the lowest addresses, then 64 KiB main blocks.
  FlashGeometry(FlashKind kind, uint32_t chipBytes);

  const std::vector<EraseRegion>& Regions() const { return regions_; }
  uint32_t ChipBytes() const { return chipBytes_; }
  uint32_t BlockCount() const;
  // The block holding offset (which must lie inside the chip).
  EraseBlock BlockAt(uint32_t offset) const;

 private:
  std::vector<EraseRegion> regions_;
  uint32_t chipBytes_;
};

inline constexpr uint32_t kFlashMainBlockBytes = 64u * 1024u;
// Empty when a flash of this size can be built: whole main blocks after the boot blocks.
std::string ValidateFlashSize(uint32_t chipBytes);

}  // namespace vsim
