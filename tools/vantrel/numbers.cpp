#include "numbers.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace vantrel::cli {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasHexPrefix(const std::string& text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

std::optional<uint32_t> ParseNumber(const std::string& text) {
  std::string digits = text;
  uint64_t multiplier = 1;
  if (!digits.empty() && !HasHexPrefix(digits)) {
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back())));
    if (last == 'K' || last == 'M') {
      multiplier = last == 'K' ? 1024 : 1024 * 1024;
      digits.pop_back();
    }
  }
  const int base = HasHexPrefix(digits) ? 16 : 10;
  const size_t first = base == 16 ? 2 : 0;
  if (digits.size() <= first) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = first; i < digits.size(); ++i) {
    const int digit = DigitValue(digits[i]);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > UINT32_MAX) return std::nullopt;
  }
  value *= multiplier;
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<std::vector<unsigned char>> ParseHexBytes(const std::vector<std::string>& givenWords) {
  // A quoted "de ad be ef" arrives as one word; its blanks separate words too.
  std::vector<std::string> words;
  for (const std::string& given : givenWords) {
    std::istringstream split(given);
    for (std::string word; split >> word;) words.push_back(word);
  }
  std::vector<unsigned char> bytes;
  for (const std::string& word : words) {
    const size_t first = HasHexPrefix(word) ? 2 : 0;
    if (word.size() <= first || (word.size() - first) % 2 != 0) return std::nullopt;
    for (size_t i = first; i < word.size(); i += 2) {
      const int high = DigitValue(word[i]);
      const int low = DigitValue(word[i + 1]);
      if (high < 0 || low < 0) return std::nullopt;
      bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

}  // namespace vantrel::cli
