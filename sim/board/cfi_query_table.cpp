// The chip's Common Flash Interface query table, read at word addresses after the
// query command: the "QRY" mark, the command set, voltages and typical times, the size
// and the erase-block regions, then the command set's own extended table.
#include "board/cfi_flash.h"

#include <array>

namespace vsim {

namespace {

constexpr uint32_t kTableStart = 0x10;
constexpr uint32_t kRegionsStart = 0x2D;
constexpr uint32_t kExtendedStart = 0x40;  // where the primary extended table sits

constexpr uint16_t kAmdCommandSet = 0x0002;
constexpr uint16_t kIntelCommandSet = 0x0003;
constexpr uint16_t kInterfaceX8X16 = 0x0002;
constexpr uint16_t kInterfaceX16 = 0x0001;

// 0x10..0x2C: identical layout for both sets, the differing bytes filled in below.
std::array<uint8_t, 0x1D> CommonTable(FlashKind kind, uint32_t chipBytes, size_t regionCount) {
  bool amd = kind == FlashKind::kAmd16;
  uint16_t commandSet = amd ? kAmdCommandSet : kIntelCommandSet;
  uint16_t interface = amd ? kInterfaceX8X16 : kInterfaceX16;
  uint8_t sizeLog2 = 0;
  while ((uint32_t{1} << sizeLog2) < chipBytes) ++sizeLog2;
  return {'Q', 'R', 'Y',
          static_cast<uint8_t>(commandSet), static_cast<uint8_t>(commandSet >> 8),
          static_cast<uint8_t>(kExtendedStart), 0x00,  // primary extended table
          0x00, 0x00, 0x00, 0x00,                      // no alternate command set
          0x27, 0x36,                                  // Vcc 2.7 V to 3.6 V
          static_cast<uint8_t>(amd ? 0x00 : 0xB4),     // Vpp 11.4 V (Intel's fast program)
          static_cast<uint8_t>(amd ? 0x00 : 0xC6),     // to 12.6 V
          0x04,                                        // word program typically 16 us
          0x00,                                        // no write buffer
          0x0A,                                        // block erase typically 1 s
          static_cast<uint8_t>(amd ? 0x0F : 0x00),     // chip erase 32 s (Intel: none)
          0x04, 0x00, 0x03,                            // maxima: 16x, -, 8x typical
          static_cast<uint8_t>(amd ? 0x02 : 0x00),
          sizeLog2,
          static_cast<uint8_t>(interface), static_cast<uint8_t>(interface >> 8),
          0x00, 0x00,                                  // no multi-byte write
          static_cast<uint8_t>(regionCount)};
}

uint8_t AmdExtended(uint32_t index) {
  // "PRI" 1.1: erase suspend with read and program, sector protection, bottom boot.
  static constexpr std::array<uint8_t, 16> kTable = {'P', 'R', 'I', '1', '1', 0x00, 0x02, 0x01,
                                                     0x01, 0x04, 0x00, 0x00, 0x00, 0xB5, 0xC5, 0x02};
  return index < kTable.size() ? kTable[index] : 0;
}

uint8_t IntelExtended(uint32_t index) {
  // "PRI" 1.0: erase and program suspend, instant individual block locking, one
  // protection register of 4 factory and 4 user bytes at 0x80.
  static constexpr std::array<uint8_t, 17> kTable = {'P', 'R', 'I', '1', '0', 0x66, 0x00, 0x00, 0x00,
                                                     0x01, 0x03, 0x00, 0x33, 0xC0, 0x01, 0x80, 0x00};
  return index < kTable.size() ? kTable[index] : 0;
}

}  // namespace

uint16_t CfiFlash::QueryWord(uint32_t word) const {
  word &= 0xFF;
  const std::vector<EraseRegion>& regions = geometry_.Regions();
  if (word >= kTableStart && word < kRegionsStart) {
    return CommonTable(kind_, geometry_.ChipBytes(), regions.size())[word - kTableStart];
  }
  uint32_t regionBytes = 4 * static_cast<uint32_t>(regions.size());
  if (word >= kRegionsStart && word < kRegionsStart + regionBytes) {
    const EraseRegion& r = regions[(word - kRegionsStart) / 4];
    uint32_t field = (word - kRegionsStart) % 4;
    uint32_t blocksLessOne = r.blocks - 1;
    uint32_t unitsOf256 = r.blockBytes / 256;
    uint32_t value = field < 2 ? blocksLessOne >> (8 * field) : unitsOf256 >> (8 * (field - 2));
    return static_cast<uint8_t>(value);
  }
  if (word >= kExtendedStart) {
    return kind_ == FlashKind::kAmd16 ? AmdExtended(word - kExtendedStart) : IntelExtended(word - kExtendedStart);
  }
  return 0;
}

}  // namespace vsim
