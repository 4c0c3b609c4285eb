#include "flash_bank.h"

#include <cstdio>

namespace vantrel::flash {

std::vector<Sector> FlashBank::Sectors() const {
  std::vector<Sector> sectors;
  for (const EraseRegion& region : regions) {
    for (uint32_t i = 0; i < region.blocks; ++i)
      sectors.push_back({region.address + i * region.blockSize, region.blockSize});
  }
  return sectors;
}

std::vector<Sector> FlashBank::SectorsCovering(uint32_t address, uint64_t length) const {
  std::vector<Sector> covered;
  const uint64_t end = uint64_t{address} + length;
  for (const Sector& sector : Sectors()) {
    if (length != 0 && sector.address < end && address < uint64_t{sector.address} + sector.size) {
      covered.push_back(sector);
    }
  }
  return covered;
}

std::string DescribeSectors(const std::vector<Sector>& sectors) {
  std::string text;
  for (const Sector& sector : sectors) {
    char range[40];
    std::snprintf(range, sizeof range, "0x%08x-0x%08x", sector.address, sector.address + sector.size - 1);
    if (!text.empty()) text += ", ";
    text += range;
  }
  return text;
}

}  // namespace vantrel::flash
