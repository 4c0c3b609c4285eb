// The simulated board as the user describes it with --board-* options: memory layout,
// byte order and IDCODE. Parsed here; built by the board attachment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

struct BoardRegionSpec {
  enum class Kind { kRam, kRom, kAbort, kFlash } kind = Kind::kRam;
  uint32_t base = 0;
  uint32_t size = 0;
  enum class FlashKind { kAmd16, kIntel16 } flashKind = FlashKind::kAmd16;  // kFlash only
};

struct BoardSpec {
  std::vector<BoardRegionSpec> regions;  // empty: the board's own layout
  bool bigEndian = false;
  std::optional<uint32_t> idcode;
  std::string timer;  // "PERIOD[:irq|fiq]" as given, checked by the board; empty: none
};

// "ram@0:256K,rom@0x80000:64K,abort@0x100000:4K,flash@0x1000000:1M:intel16" (a flash
// region's kind amd16 when left out); the reason in *error otherwise.
bool ParseBoardMemory(const std::string& text, std::vector<BoardRegionSpec>* regions, std::string* error);

// "RAM 0x00000000+256K, ROM 0x00080000+64K"
std::string DescribeRegions(const std::vector<BoardRegionSpec>& regions);

}  // namespace vantrel::cli
