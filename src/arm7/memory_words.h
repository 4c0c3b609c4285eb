// Memory words between the host's bytes and the core's data bus, shared by the exact
// and the fast memory sequences. Internal to the debug core.
#pragma once

#include <cstdint>

#include "arm7/core_state.h"

namespace vantrel::arm7 {

inline constexpr uint32_t kMemoryWordBytes = 4;

// Memory words have their bytes reversed on a big-endian target; register values never do.
inline uint32_t FromMemoryOrder(uint32_t word) { return BigEndianTarget() == 1 ? ReverseBytes(word) : word; }

inline void StoreLittleEndian(uint8_t* bytes, uint32_t word) {
  for (uint32_t i = 0; i < kMemoryWordBytes; ++i) bytes[i] = static_cast<uint8_t>(word >> (8 * i));
}

inline uint32_t LoadLittleEndian(const uint8_t* bytes) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < kMemoryWordBytes; ++i) word |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return word;
}

}  // namespace vantrel::arm7
