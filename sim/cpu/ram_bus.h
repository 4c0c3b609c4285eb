// A flat RAM on the CPU's bus: the memory of test programs and benchmarks, and a plain
// memory block for a board. Accesses outside it abort. Word accesses ignore address
// bits 1:0 and halfword accesses bit 0, as the ARM7TDMI's memory does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cpu/arm_cpu.h"

namespace vsim {

class RamBus : public Bus {
 public:
  enum class Endian : uint8_t { kLittle, kBig };
  RamBus(uint32_t base, uint32_t size, Endian endian = Endian::kLittle);

  bool Read(uint32_t address, int size, AccessKind kind, bool privileged, uint32_t& value) override;
  bool Write(uint32_t address, int size, uint32_t value, bool privileged) override;

  // Copies an image to address; false (and nothing copied) if it does not fit.
  [[nodiscard]] bool LoadImage(uint32_t address, std::span<const uint8_t> image);
  // Debugger-style access that counts no bus cycle; false outside the RAM.
  [[nodiscard]] bool Peek(uint32_t address, int size, uint32_t& value) const;
  [[nodiscard]] bool Poke(uint32_t address, int size, uint32_t value);

  uint32_t base() const { return base_; }
  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  std::span<const uint8_t> bytes() const { return bytes_; }
  uint64_t dataReads() const { return data_reads_; }
  uint64_t dataWrites() const { return data_writes_; }
  uint64_t fetches() const { return fetches_; }

 private:
  // Offset of the access's first byte, or false when any byte falls outside.
  bool Locate(uint32_t address, int size, size_t& offset) const;

  uint32_t base_;
  Endian endian_;
  std::vector<uint8_t> bytes_;
  uint64_t data_reads_ = 0;
  uint64_t data_writes_ = 0;
  uint64_t fetches_ = 0;
};

}  // namespace vsim
