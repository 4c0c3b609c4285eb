// The cell layouts of the ARM7TDMI's scan chains 1 and 2, defined once. Cell 0 lies
// next to TDO: it is shifted out first, and the last bit shifted in ends there.
#pragma once

#include <cstdint>

namespace vsim {

// JTAG instruction codes (4-bit IR).
inline constexpr uint8_t kIrExtest = 0x0;
inline constexpr uint8_t kIrScanN = 0x2;
inline constexpr uint8_t kIrRestart = 0x4;
inline constexpr uint8_t kIrIntest = 0xC;
inline constexpr uint8_t kIrIdcode = 0xE;
inline constexpr uint8_t kIrBypass = 0xF;
inline constexpr uint8_t kIrCapture = 0x1;     // what Capture-IR loads
inline constexpr uint8_t kScanNCapture = 0x8;  // what Capture-DR loads into SCAN_N
inline constexpr int kChainAfterReset = 3;

inline constexpr int kChain1Length = 33;
inline constexpr int kChain2Length = 38;

// Chain 1: cell 0 is BREAKPT, cells 1 to 32 hold D31 down to D0.
constexpr uint64_t Chain1Cells(uint32_t word, bool breakpt) {
  uint64_t cells = breakpt ? 1u : 0u;
  for (int bit = 0; bit < 32; ++bit) {
    if ((word >> bit) & 1u) cells |= uint64_t{1} << (32 - bit);
  }
  return cells;
}
constexpr uint32_t Chain1Word(uint64_t cells) {
  uint32_t word = 0;
  for (int bit = 0; bit < 32; ++bit) {
    if ((cells >> (32 - bit)) & 1u) word |= 1u << bit;
  }
  return word;
}
constexpr bool Chain1Breakpt(uint64_t cells) { return (cells & 1u) != 0; }

// Chain 2: cells 0 to 31 data, 32 to 36 the register address, 37 read/write (1 write).
inline constexpr uint64_t kChain2DataMask = 0xFFFFFFFFull;
constexpr uint32_t Chain2Data(uint64_t cells) { return static_cast<uint32_t>(cells); }
constexpr int Chain2Address(uint64_t cells) { return static_cast<int>((cells >> 32) & 0x1F); }
constexpr bool Chain2Write(uint64_t cells) { return ((cells >> 37) & 1u) != 0; }
constexpr uint64_t Chain2Cells(uint32_t data, int address, bool write) {
  return uint64_t{data} | (uint64_t(address & 0x1F) << 32) | (uint64_t{write ? 1u : 0u} << 37);
}

}  // namespace vsim
