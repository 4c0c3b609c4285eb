// The board's memory: a few regions of RAM, ROM or aborting space, everything else
// unmapped (reads 0, writes dropped). Bytes are stored in target byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/board_config.h"

namespace vsim {

class Memory {
 public:
  Memory(const std::vector<MemoryRegion>& regions, Endianness endianness);

  // Core side. size is 1, 2 or 4; a word access ignores address bits 1:0 and a
  // halfword access bit 0. false: the access aborts.
  bool Read(uint32_t address, int size, uint32_t& value) const;
  bool Write(uint32_t address, int size, uint32_t value);

  // Host side, byte by byte in target order; ROM is writable here (it is how a ROM is
  // filled). Returns false when any byte is unmapped (those read as 0 / are dropped).
  bool ReadBytes(uint32_t address, uint8_t* out, size_t count) const;
  bool WriteBytes(uint32_t address, const uint8_t* in, size_t count);

  Endianness ByteOrder() const { return endianness_; }

 private:
  struct Region {
    MemoryRegion layout;
    std::vector<uint8_t> bytes;
  };
  const Region* Find(uint32_t address) const;
  Region* Find(uint32_t address);
  uint32_t Assemble(const uint8_t* bytes, int size) const;
  void Scatter(uint8_t* bytes, int size, uint32_t value) const;

  std::vector<Region> regions_;
  Endianness endianness_;
  mutable size_t lastHit_ = 0;  // the region of the last access: most accesses repeat it
};

}  // namespace vsim
