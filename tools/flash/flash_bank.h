// A flash bank as the host knows it after a probe: where it lies, how its erase blocks
// are laid out, and which driver programs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::flash {

struct Sector {
  uint32_t address = 0;
  uint32_t size = 0;
  uint32_t End() const { return address + size; }  // one past the last byte
};

// A run of equal erase blocks, as the memory map of a debugger describes them.
struct EraseRegion {
  uint32_t address = 0;
  uint32_t blockSize = 0;
  uint32_t blocks = 0;
};

struct FlashBank {
  std::string driver;    // "cfi"
  std::string identity;  // the chip as its query answered, for people
  uint32_t base = 0;
  uint32_t size = 0;
  std::vector<EraseRegion> regions;

  uint64_t End() const { return uint64_t{base} + size; }
  bool Contains(uint32_t address) const { return address >= base && address - base < size; }
  bool Overlaps(uint32_t address, uint64_t length) const {
    return length != 0 && address < End() && base < uint64_t{address} + length;
  }
  std::vector<Sector> Sectors() const;
  // The sectors that share at least one byte with [address, address + length).
  std::vector<Sector> SectorsCovering(uint32_t address, uint64_t length) const;
};

// "0x00000000-0x00001fff" for a message that names sectors.
std::string DescribeSectors(const std::vector<Sector>& sectors);

}  // namespace vantrel::flash
