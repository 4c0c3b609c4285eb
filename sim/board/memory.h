// The board's memory: a few regions of RAM, ROM, flash or aborting space, everything
// else unmapped (reads 0, writes dropped). Bytes are stored in target byte order.
// The board's clock, which a flash chip's busy time runs on, counts a tick for every
// core memory access and every TCK edge: about a microsecond each on a real board
// behind a parallel-port cable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "board/board_config.h"
#include "board/cfi_flash.h"

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
  uint64_t Ticks() const { return busCycles_; }
  void Tick() { ++busCycles_; }
  void Tick(uint64_t count) { busCycles_ += count; }
  // The flash chip at address, or nullptr.
  const CfiFlash* FlashAt(uint32_t address) const;
  // Some flash chip programs or erases now; the busy ticks of all chips so far.
  bool FlashBusy() const;
  uint64_t FlashBusyTicks() const;

 private:
  struct Region {
    MemoryRegion layout;
    std::vector<uint8_t> bytes;
    std::unique_ptr<CfiFlash> flash;  // kFlash: the chip, which holds the bytes
    uint8_t* Storage() { return flash ? flash->Array() : bytes.data(); }
    const uint8_t* Storage() const { return flash ? flash->Array() : bytes.data(); }
  };
  const Region* Find(uint32_t address) const;
  Region* Find(uint32_t address);
  uint32_t Assemble(const uint8_t* bytes, int size) const;
  void Scatter(uint8_t* bytes, int size, uint32_t value) const;
  uint32_t FlashRead(CfiFlash& flash, uint32_t offset, int size) const;
  void FlashWrite(CfiFlash& flash, uint32_t offset, int size, uint32_t value);

  std::vector<Region> regions_;
  Endianness endianness_;
  mutable size_t lastHit_ = 0;
  mutable uint64_t busCycles_ = 0;  // the region of the last access: most accesses repeat it
};

}  // namespace vsim
