// Memory words between the host's bytes and the core's data bus, shared by the exact
// and the fast memory sequences. Internal to the debug core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "arm7/core_state.h"
#include "arm7/injection.h"

namespace vantrel::arm7 {

inline constexpr uint32_t kMemoryWordBytes = 4;

// Memory words have their bytes reversed on a big-endian target; register values never do.
inline uint32_t FromMemoryOrder(const Arm7State& core, uint32_t word) {
  return BigEndianTarget(core) ? ReverseBytes(word) : word;
}

inline void StoreLittleEndian(uint8_t* bytes, uint32_t word) {
  for (uint32_t i = 0; i < kMemoryWordBytes; ++i) bytes[i] = static_cast<uint8_t>(word >> (8 * i));
}

inline uint32_t LoadLittleEndian(const uint8_t* bytes) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < kMemoryWordBytes; ++i) word |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return word;
}

// LDMIA r0, {r1-r<count>} takes the count source words (stride bytes apart) at debug
// speed; then the BREAKPT-tagged NOP, and the store that the core makes at system speed
// once RESTART is scanned. With an address, r0 is in the list too and takes it first:
// the store's address comes with its words.
inline void InjectStoreOfWords(Arm7State& core, uint32_t storeInstruction, int stride, int count, const uint8_t* source,
                               std::optional<uint32_t> address = std::nullopt) {
  constexpr uint32_t kR0InList = 1;
  Inject(core, LdmiaR0LowRegisters(count) | (address.has_value() ? kR0InList : 0));
  InjectNops(core, 2);
  if (address.has_value()) Inject(core, *address);
  for (int i = 0; i < count; ++i) {
    const std::size_t offset = static_cast<std::size_t>(stride) * static_cast<std::size_t>(i);
    Inject(core, FromMemoryOrder(core, LoadLittleEndian(source + offset)));
  }
  InjectNops(core, 3);
  Inject(core, kNop, Speed::kSystem);
  Inject(core, storeInstruction);
}

}  // namespace vantrel::arm7
