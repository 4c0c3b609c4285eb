#include "cpu/ram_bus.h"

#include <algorithm>

namespace vsim {

RamBus::RamBus(uint32_t base, uint32_t size, Endian endian) : base_(base), endian_(endian), bytes_(size, 0) {}

bool RamBus::Locate(uint32_t address, int size, size_t& offset) const {
  if (size != 1 && size != 2 && size != 4) return false;
  address &= ~static_cast<uint32_t>(size - 1);
  const uint64_t start = uint64_t{address} - base_;
  if (address < base_ || start + static_cast<uint64_t>(size) > bytes_.size()) return false;
  offset = static_cast<size_t>(start);
  return true;
}

bool RamBus::Peek(uint32_t address, int size, uint32_t& value) const {
  size_t offset = 0;
  if (!Locate(address, size, offset)) return false;
  const uint8_t* p = bytes_.data() + offset;
  const bool little = endian_ == Endian::kLittle;
  switch (size) {
    case 1: value = p[0]; break;
    case 2: value = little ? uint32_t{p[0]} | uint32_t{p[1]} << 8 : uint32_t{p[0]} << 8 | uint32_t{p[1]}; break;
    default:
      value = little ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24
                     : uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
  }
  return true;
}

bool RamBus::Poke(uint32_t address, int size, uint32_t value) {
  size_t offset = 0;
  if (!Locate(address, size, offset)) return false;
  uint8_t* p = bytes_.data() + offset;
  for (int i = 0; i < size; ++i) {
    const int shift = endian_ == Endian::kLittle ? 8 * i : 8 * (size - 1 - i);
    p[i] = static_cast<uint8_t>(value >> shift);
  }
  return true;
}

bool RamBus::Read(uint32_t address, int size, AccessKind kind, bool, uint32_t& value) {
  (kind == AccessKind::kFetch ? fetches_ : data_reads_)++;
  return Peek(address, size, value);
}

bool RamBus::Write(uint32_t address, int size, uint32_t value, bool) {
  ++data_writes_;
  return Poke(address, size, value);
}

bool RamBus::LoadImage(uint32_t address, std::span<const uint8_t> image) {
  const uint64_t start = uint64_t{address} - base_;
  if (address < base_ || start + image.size() > bytes_.size()) return false;
  std::copy(image.begin(), image.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(start));
  return true;
}

}  // namespace vsim
