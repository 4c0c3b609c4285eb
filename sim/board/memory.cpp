#include "board/memory.h"

#include "board/flash_geometry.h"

namespace vsim {

std::vector<MemoryRegion> BoardConfig::DefaultRegions() {
  return {{0x00000000u, 256u * 1024u, RegionKind::kRam}, {0x00080000u, 64u * 1024u, RegionKind::kRom}};
}

namespace {

constexpr uint64_t kMaxRegionBytes = 256ull * 1024 * 1024;

bool Overlap(const MemoryRegion& a, const MemoryRegion& b) {
  uint64_t aEnd = uint64_t{a.base} + a.size;
  uint64_t bEnd = uint64_t{b.base} + b.size;
  return a.base < bEnd && b.base < aEnd;
}

}  // namespace

std::string ValidateConfig(const BoardConfig& config) {
  uint64_t total = 0;
  for (size_t i = 0; i < config.regions.size(); ++i) {
    const MemoryRegion& r = config.regions[i];
    if (r.size == 0 || r.size % 4 != 0 || r.base % 4 != 0) {
      return "memory region base and size must be multiples of 4 and the size non-zero";
    }
    if (uint64_t{r.base} + r.size > (uint64_t{1} << 32)) return "memory region runs past 0xFFFFFFFF";
    if (r.kind == RegionKind::kFlash) {
      if (std::string error = ValidateFlashSize(r.size); !error.empty()) return error;
    }
    total += r.size;
    for (size_t j = 0; j < i; ++j) {
      if (Overlap(r, config.regions[j])) return "memory regions overlap";
    }
  }
  if (total > kMaxRegionBytes) return "memory regions add up to more than 256 MiB";
  if (config.instructionsPerTck < 4 || config.instructionsPerTck > 1000) {
    return "instructions per TCK edge must be 4 to 1000";
  }
  if (config.freeRunInstructionsPerMs < 0 || config.freeRunInstructionsPerMs > 1000000) {
    return "free-running rate must be 0 to 1000000 instructions per ms";
  }
  if (config.portBase > 0xFFFD) return "port base must leave room for status and control";
  return {};
}

Memory::Memory(const std::vector<MemoryRegion>& regions, Endianness endianness) : endianness_(endianness) {
  for (const MemoryRegion& r : regions) {
    // Aborting space needs no storage.
    size_t bytes = r.kind == RegionKind::kAbort || r.kind == RegionKind::kFlash ? 0 : r.size;
    Region region{r, std::vector<uint8_t>(bytes, 0), nullptr};
    if (r.kind == RegionKind::kFlash) region.flash = std::make_unique<CfiFlash>(r.flashKind, r.size, endianness);
    regions_.push_back(std::move(region));
  }
}

const Memory::Region* Memory::Find(uint32_t address) const {
  if (regions_.empty()) return nullptr;
  const Region& last = regions_[lastHit_];
  if (address - last.layout.base < last.layout.size) return &last;
  for (size_t i = 0; i < regions_.size(); ++i) {
    const Region& r = regions_[i];
    if (address - r.layout.base < r.layout.size) {
      lastHit_ = i;
      return &r;
    }
  }
  return nullptr;
}

Memory::Region* Memory::Find(uint32_t address) {
  return const_cast<Region*>(static_cast<const Memory*>(this)->Find(address));
}

uint32_t Memory::Assemble(const uint8_t* bytes, int size) const {
  uint32_t value = 0;
  for (int i = 0; i < size; ++i) {
    int shift = endianness_ == Endianness::kLittle ? 8 * i : 8 * (size - 1 - i);
    value |= uint32_t{bytes[i]} << shift;
  }
  return value;
}

void Memory::Scatter(uint8_t* bytes, int size, uint32_t value) const {
  for (int i = 0; i < size; ++i) {
    int shift = endianness_ == Endianness::kLittle ? 8 * i : 8 * (size - 1 - i);
    bytes[i] = static_cast<uint8_t>(value >> shift);
  }
}

const CfiFlash* Memory::FlashAt(uint32_t address) const {
  const Region* r = Find(address);
  return r != nullptr ? r->flash.get() : nullptr;
}

bool Memory::FlashBusy() const {
  for (const Region& region : regions_) {
    if (region.flash && region.flash->BusyAt(busCycles_)) return true;
  }
  return false;
}

uint64_t Memory::FlashBusyTicks() const {
  uint64_t ticks = 0;
  for (const Region& region : regions_) ticks += region.flash ? region.flash->BusyTicks() : 0;
  return ticks;
}

// The chip's bus is 16 bits wide: a word access is two cycles, the lower address first;
// a byte read takes its lane from the halfword.
uint32_t Memory::FlashRead(CfiFlash& flash, uint32_t offset, int size) const {
  uint32_t first = flash.Read(offset & ~1u, busCycles_);
  if (size == 1) {
    bool highLane = ((offset & 1u) != 0) == (endianness_ == Endianness::kLittle);
    return highLane ? first >> 8 : first & 0xFFu;
  }
  if (size == 2) return first;
  uint32_t second = flash.Read(offset + 2, ++busCycles_);
  return endianness_ == Endianness::kLittle ? second << 16 | first : first << 16 | second;
}

// A byte store drives its data on both lanes of the bus, as the core does; the chip
// takes commands from the low lane.
void Memory::FlashWrite(CfiFlash& flash, uint32_t offset, int size, uint32_t value) {
  if (size == 1) {
    uint32_t byte = value & 0xFFu;
    return flash.Write(offset & ~1u, static_cast<uint16_t>(byte << 8 | byte), busCycles_);
  }
  if (size == 2) return flash.Write(offset, static_cast<uint16_t>(value), busCycles_);
  bool little = endianness_ == Endianness::kLittle;
  flash.Write(offset, static_cast<uint16_t>(little ? value : value >> 16), busCycles_);
  flash.Write(offset + 2, static_cast<uint16_t>(little ? value >> 16 : value), ++busCycles_);
}

bool Memory::Read(uint32_t address, int size, uint32_t& value) const {
  address &= ~static_cast<uint32_t>(size - 1);
  ++busCycles_;
  const Region* r = Find(address);
  value = 0;
  if (r == nullptr) return true;
  if (r->layout.kind == RegionKind::kAbort) return false;
  if (r->flash) {
    value = FlashRead(*r->flash, address - r->layout.base, size);
    return true;
  }
  value = Assemble(&r->bytes[address - r->layout.base], size);
  return true;
}

bool Memory::Write(uint32_t address, int size, uint32_t value) {
  address &= ~static_cast<uint32_t>(size - 1);
  ++busCycles_;
  Region* r = Find(address);
  if (r == nullptr) return true;
  if (r->layout.kind == RegionKind::kAbort) return false;
  if (r->layout.kind == RegionKind::kRom) return true;
  if (r->flash) {
    FlashWrite(*r->flash, address - r->layout.base, size, value);
    return true;
  }
  Scatter(&r->bytes[address - r->layout.base], size, value);
  return true;
}

bool Memory::ReadBytes(uint32_t address, uint8_t* out, size_t count) const {
  bool allMapped = true;
  for (size_t i = 0; i < count; ++i) {
    uint32_t a = address + static_cast<uint32_t>(i);
    const Region* r = Find(a);
    bool stored = r != nullptr && r->layout.kind != RegionKind::kAbort;
    out[i] = stored ? r->Storage()[a - r->layout.base] : 0;
    allMapped = allMapped && stored;
  }
  return allMapped;
}

bool Memory::WriteBytes(uint32_t address, const uint8_t* in, size_t count) {
  bool allMapped = true;
  for (size_t i = 0; i < count; ++i) {
    uint32_t a = address + static_cast<uint32_t>(i);
    Region* r = Find(a);
    bool stored = r != nullptr && r->layout.kind != RegionKind::kAbort;
    if (stored) r->Storage()[a - r->layout.base] = in[i];
    allMapped = allMapped && stored;
  }
  return allMapped;
}

}  // namespace vsim
