// Numbers as a person types them: 0x hex or decimal, 32 bits, nothing left over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

// "0x8000", "0X8000", "32768"; an optional K or M suffix multiplies by 1024 or 1048576.
// Empty for anything else, and for values that do not fit in 32 bits.
std::optional<uint32_t> ParseNumber(const std::string& text);

// Hex digits in pairs, e.g. "de ad be ef" (as words or in one) or "deadbeef"; an optional
// 0x in front of each word. Empty when a digit is not hex, a word has an odd count of
// digits, or there are no digits at all.
std::optional<std::vector<unsigned char>> ParseHexBytes(const std::vector<std::string>& words);

// "0x0000812c": eight lower-case hex digits.
std::string Hex32(uint32_t value);

}  // namespace vantrel::cli
