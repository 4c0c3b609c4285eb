// The bits of a JTAG scan, held in 32-bit words: bit i is bit (i mod 32) of word
// (i div 32), and bit 0 is shifted first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantrel::cable {

constexpr std::size_t WordsForBits(std::size_t bits) { return (bits + 31) / 32; }

template <std::size_t Bits>
struct BitVector {
  static constexpr std::size_t kBits = Bits;
  std::array<uint32_t, WordsForBits(Bits)> words{};

  constexpr bool Bit(std::size_t i) const { return (words[i / 32] >> (i % 32)) & 1u; }
  constexpr void SetBit(std::size_t i, bool value) {
    const uint32_t mask = 1u << (i % 32);
    words[i / 32] = value ? (words[i / 32] | mask) : (words[i / 32] & ~mask);
  }
  uint32_t* data() { return words.data(); }
  const uint32_t* data() const { return words.data(); }
};

}  // namespace vantrel::cable
