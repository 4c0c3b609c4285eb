// The CFI query at an address: reset both command sets to read array, ask for the query
// table, read it, and put the chip back to read array, checked against what it read
// before.
#include <cstdio>

#include "cfi_commands.h"
#include "cfi_driver.h"

namespace vantrel::flash {

namespace {

// Every query offset the table reader looks at lies below this.
constexpr uint32_t kQueryBytes = 0x100;
constexpr uint16_t kInterfaceX16 = 1;
constexpr uint16_t kInterfaceX8X16 = 2;
constexpr uint32_t kKiB = 1024;

Bytes WordOfCycles(uint16_t low, uint16_t high) {
  return {static_cast<unsigned char>(low), static_cast<unsigned char>(low >> 8), static_cast<unsigned char>(high),
          static_cast<unsigned char>(high >> 8)};
}

std::string SizeText(uint32_t bytes) {
  if (bytes % (kKiB * kKiB) == 0) return std::to_string(bytes / kKiB / kKiB) + " MiB";
  if (bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string Identity(const CfiQuery& query) {
  std::string text = CommandSetName(query.commandSet) + ", " + SizeText(query.deviceBytes) + ", x16";
  if (IsAmdStyle(query.commandSet) && query.regions.size() > 1) text += query.topBoot ? ", top boot" : ", bottom boot";
  text += "; erase blocks:";
  for (const EraseRegion& region : query.regions) {
    text.append(" ").append(std::to_string(region.blocks)).append(" x ").append(SizeText(region.blockSize));
  }
  return text;
}

FlashBank BankOf(uint32_t base, const CfiQuery& query) {
  FlashBank bank;
  bank.driver = "cfi";
  bank.identity = Identity(query);
  bank.base = base;
  bank.size = query.deviceBytes;
  for (const EraseRegion& region : query.regions) {
    bank.regions.push_back({base + region.address, region.blockSize, region.blocks});
  }
  return bank;
}

// RAM at the address took the cycles as data: its two words are put back.
bool PutBackIfChanged(TargetLink& link, uint32_t address, const Bytes& original) {
  Bytes now;
  if (!link.Read(address, original.size(), &now)) return false;
  return now == original || link.Write(address, original);
}

// The table as the chip answers in query mode, the words the cycles went to kept.
bool QueryTable(TargetLink& link, uint32_t address, Bytes* table) {
  const uint32_t queryWord = address + (cfi::kQueryAddress & ~3u);
  Bytes first;
  Bytes queried;
  if (!link.Read(address, 4, &first) || !link.Read(queryWord, 4, &queried)) return false;
  if (!PutChipInReadArray(link, address)) return false;
  const bool asked = link.Write(queryWord, WordOfCycles(cfi::kIdleHalf, cfi::kQueryCommand));
  const bool read = asked && link.Read(address, kQueryBytes, table);
  if (!PutChipInReadArray(link, address)) return false;
  if (!PutBackIfChanged(link, address, first) || !PutBackIfChanged(link, queryWord, queried)) return false;
  return read;
}

}  // namespace

// First a store of all ones: a chip left waiting for the data of a program (a sequence
// cut off by a lost cable) programs nothing with it, and any other pending sequence
// ends. Then an AMD reset and an Intel read array (each ignored by the other set), and
// the Intel status cleared.
bool PutChipInReadArray(TargetLink& link, uint32_t base) {
  return link.Write(base, WordOfCycles(cfi::kIdleHalf, cfi::kIdleHalf)) &&
         link.Write(base, WordOfCycles(cfi::kAmdReset, cfi::kIntelReadArray)) &&
         link.Write(base, WordOfCycles(cfi::kIntelClearStatus, cfi::kIntelReadArray));
}

std::unique_ptr<CfiDriver> ProbeCfi(TargetLink& link, uint32_t address, std::optional<WorkArea> area) {
  if ((address & 3) != 0) return link.Fail("a flash bank starts on a word boundary"), nullptr;
  Bytes table;
  if (!QueryTable(link, address, &table)) return nullptr;
  std::string error;
  const std::optional<CfiQuery> query = ReadCfiQuery(
      [&](uint32_t offset) -> std::optional<uint8_t> {
        const size_t at = size_t{offset} * 2;  // one query byte a halfword of the x16 chip
        if (at >= table.size()) return std::nullopt;
        return table[at];
      },
      &error);
  if (!query) return link.Fail(error), nullptr;
  if (!IsAmdStyle(query->commandSet) && !IsIntelStyle(query->commandSet)) {
    return link.Fail("the chip's command set " + CommandSetName(query->commandSet) + " is not supported"), nullptr;
  }
  if (query->interface != kInterfaceX16 && query->interface != kInterfaceX8X16) {
    return link.Fail("only chips with a 16-bit interface are supported"), nullptr;
  }
  if (uint64_t{address} + query->deviceBytes > 0x100000000ull) {
    return link.Fail("the chip would pass the end of the address space"), nullptr;
  }
  return std::make_unique<CfiDriver>(link, BankOf(address, *query), *query, area);
}

}  // namespace vantrel::flash
