// Seeded random ARM and Thumb instruction streams drawn from instruction-class
// templates, for comparing the simulated CPU with a reference model. Every stream keeps
// its memory accesses aligned and inside the data window, its branches forward and
// inside the stream, and stays clear of encodings whose effect is unpredictable.
#pragma once

#include <cstdint>
#include <vector>

namespace vsim::testing {

// Memory of a stream: code at kCodeBase, data accessed around kWordBase and kByteBase.
constexpr uint32_t kMemoryBase = 0x10000;
constexpr uint32_t kMemorySize = 0x10000;
constexpr uint32_t kCodeBase = 0x10000;
constexpr uint32_t kDataBase = 0x14000;
constexpr uint32_t kDataSize = 0x8000;

struct Stream {
  bool thumb = false;
  std::vector<uint8_t> code;    // little-endian instruction bytes at kCodeBase
  uint32_t registers[15] = {};  // r0-r14 at the start
  uint32_t cpsr = 0;            // the starting mode and flags (T for Thumb streams)
  uint32_t spsr = 0;            // the starting mode's SPSR
};

Stream MakeArmStream(uint32_t seed);
Stream MakeThumbStream(uint32_t seed);

}  // namespace vsim::testing
