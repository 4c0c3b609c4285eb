#include "cfi_query.h"

#include <algorithm>

namespace vantrel::flash {

namespace {

// Offsets of the query table, in 16-bit bus cycles from the chip's start.
constexpr uint32_t kQueryString = 0x10;  // "QRY"
constexpr uint32_t kPrimaryCommandSet = 0x13;
constexpr uint32_t kPrimaryTable = 0x15;
constexpr uint32_t kTypicalWordProgram = 0x1F;  // 2^n us
constexpr uint32_t kTypicalBlockErase = 0x21;   // 2^n ms
constexpr uint32_t kTypicalChipErase = 0x22;    // 2^n ms
constexpr uint32_t kMaxWordProgram = 0x23;      // 2^n times the typical
constexpr uint32_t kMaxBlockErase = 0x25;
constexpr uint32_t kMaxChipErase = 0x26;
constexpr uint32_t kDeviceSize = 0x27;  // 2^n bytes
constexpr uint32_t kInterface = 0x28;
constexpr uint32_t kRegionCount = 0x2C;
constexpr uint32_t kRegionTable = 0x2D;  // 4 bytes a region: blocks - 1, size / 256
constexpr uint32_t kRegionEntryBytes = 4;
constexpr uint32_t kBlockSizeUnit = 256;
constexpr uint32_t kSmallestBlock = 128;  // a size field of 0
// The vendor table of the AMD command set: "PRI", version, and the boot-block place.
constexpr uint32_t kAmdVersionMajor = 3;
constexpr uint32_t kAmdVersionMinor = 4;
constexpr uint32_t kAmdBootFlag = 0xF;
constexpr uint8_t kAmdTopBoot = 3;
constexpr uint32_t kMaxDeviceSizeLog2 = 31;
constexpr uint32_t kMaxRegions = 8;
constexpr uint32_t kMaxTimeLog2 = 24;

class Table {
 public:
  Table(const QueryReader& reader) : reader_(reader) {}
  uint8_t Byte(uint32_t offset) {
    const std::optional<uint8_t> value = reader_(offset);
    if (!value) ok_ = false;
    return value.value_or(0);
  }
  uint16_t Half(uint32_t offset) { return static_cast<uint16_t>(Byte(offset) | (Byte(offset + 1) << 8)); }
  bool Ok() const { return ok_; }

 private:
  const QueryReader& reader_;
  bool ok_ = true;
};

uint32_t Power(uint8_t log2) { return log2 <= kMaxTimeLog2 ? uint32_t{1} << log2 : uint32_t{1} << kMaxTimeLog2; }

uint32_t MaxTime(Table& table, uint32_t typical, uint32_t factor) {
  const uint8_t typicalLog2 = table.Byte(typical);
  if (typicalLog2 == 0) return 0;
  return Power(typicalLog2) * Power(table.Byte(factor));
}

bool ReadRegions(Table& table, CfiQuery* query, std::string* error) {
  const uint8_t count = table.Byte(kRegionCount);
  if (count == 0 || count > kMaxRegions) {
    *error = "the query table names " + std::to_string(count) + " erase-block regions";
    return false;
  }
  uint64_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t entry = kRegionTable + i * kRegionEntryBytes;
    const uint32_t blocks = uint32_t{table.Half(entry)} + 1;
    const uint16_t sizeField = table.Half(entry + 2);
    const uint32_t blockSize = sizeField == 0 ? kSmallestBlock : uint32_t{sizeField} * kBlockSizeUnit;
    query->regions.push_back({static_cast<uint32_t>(offset), blockSize, blocks});
    offset += uint64_t{blocks} * blockSize;
  }
  if (offset != query->deviceBytes) {
    *error = "the erase blocks of the query table do not add up to the chip's size";
    return false;
  }
  return true;
}

// A top-boot chip of the AMD command set lists its regions from the top down.
void PlaceTopBootRegions(CfiQuery* query) {
  std::reverse(query->regions.begin(), query->regions.end());
  uint32_t offset = 0;
  for (EraseRegion& region : query->regions) {
    region.address = offset;
    offset += region.blocks * region.blockSize;
  }
}

void ReadAmdBootPlace(Table& table, CfiQuery* query) {
  const uint16_t vendor = table.Half(kPrimaryTable);
  if (vendor == 0 || table.Byte(vendor) != 'P' || table.Byte(vendor + 1) != 'R' || table.Byte(vendor + 2) != 'I')
    return;
  const uint8_t major = table.Byte(vendor + kAmdVersionMajor);
  const uint8_t minor = table.Byte(vendor + kAmdVersionMinor);
  if (major < '1' || (major == '1' && minor < '1')) return;
  query->topBoot = table.Byte(vendor + kAmdBootFlag) == kAmdTopBoot;
  if (query->topBoot && query->regions.size() > 1) PlaceTopBootRegions(query);
}

}  // namespace

bool IsAmdStyle(uint16_t commandSet) { return commandSet == static_cast<uint16_t>(CommandSet::kAmdStandard); }

bool IsIntelStyle(uint16_t commandSet) {
  return commandSet == static_cast<uint16_t>(CommandSet::kIntelExtended) ||
         commandSet == static_cast<uint16_t>(CommandSet::kIntelStandard);
}

std::string CommandSetName(uint16_t commandSet) {
  switch (commandSet) {
    case 0x0001: return "Intel extended (0001)";
    case 0x0002: return "AMD standard (0002)";
    case 0x0003: return "Intel standard (0003)";
    default: return "unknown (" + std::to_string(commandSet) + ")";
  }
}

std::optional<CfiQuery> ReadCfiQuery(const QueryReader& reader, std::string* error) {
  Table table(reader);
  if (table.Byte(kQueryString) != 'Q' || table.Byte(kQueryString + 1) != 'R' || table.Byte(kQueryString + 2) != 'Y') {
    *error = table.Ok() ? "no CFI answer at the address" : "the query table could not be read";
    return std::nullopt;
  }
  CfiQuery query;
  query.commandSet = table.Half(kPrimaryCommandSet);
  const uint8_t sizeLog2 = table.Byte(kDeviceSize);
  if (sizeLog2 == 0 || sizeLog2 > kMaxDeviceSizeLog2) {
    *error = "the query table gives no usable chip size";
    return std::nullopt;
  }
  query.deviceBytes = uint32_t{1} << sizeLog2;
  query.interface = table.Half(kInterface);
  query.maxWordProgramUs = MaxTime(table, kTypicalWordProgram, kMaxWordProgram);
  query.maxBlockEraseMs = MaxTime(table, kTypicalBlockErase, kMaxBlockErase);
  query.maxChipEraseMs = MaxTime(table, kTypicalChipErase, kMaxChipErase);
  if (!ReadRegions(table, &query, error)) return std::nullopt;
  if (IsAmdStyle(query.commandSet)) ReadAmdBootPlace(table, &query);
  if (!table.Ok()) {
    *error = "the query table could not be read";
    return std::nullopt;
  }
  return query;
}

}  // namespace vantrel::flash
