// The Common Flash Interface query table a chip answers in query mode: its command set,
// size and erase-block geometry, and the time limits of its operations.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "flash_bank.h"

namespace vantrel::flash {

enum class CommandSet : uint16_t {
  kIntelExtended = 0x0001,
  kAmdStandard = 0x0002,
  kIntelStandard = 0x0003,
};

struct CfiQuery {
  uint16_t commandSet = 0;
  uint32_t deviceBytes = 0;
  uint16_t interface = 0;         // 1: x16 only, 2: x8/x16
  uint32_t maxWordProgramUs = 0;  // typical times the allowed factor
  uint32_t maxBlockEraseMs = 0;
  uint32_t maxChipEraseMs = 0;
  bool topBoot = false;              // regions listed from the bottom but lying from the top
  std::vector<EraseRegion> regions;  // offsets from the chip's start
};

// The query byte at a table offset (the low byte of the halfword at base + 2 * offset).
using QueryReader = std::function<std::optional<uint8_t>(uint32_t offset)>;

// The table read through reader; an error message when no valid table answers.
std::optional<CfiQuery> ReadCfiQuery(const QueryReader& reader, std::string* error);

bool IsAmdStyle(uint16_t commandSet);
bool IsIntelStyle(uint16_t commandSet);
std::string CommandSetName(uint16_t commandSet);

}  // namespace vantrel::flash
