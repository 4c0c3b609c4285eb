// How a simulated board is built: where its port sits, what its TAP answers, its
// memory and the faults a test can switch on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/interrupt_timer.h"

namespace vsim {

enum class RegionKind : uint8_t {
  kRam,    // read and written by the core
  kRom,    // read by the core; bus writes are ignored (a verify then fails)
  kAbort,  // every system-speed access aborts
  kFlash,  // a 16-bit CFI NOR flash chip: read as array, written by command cycles
};

enum class FlashKind : uint8_t {
  kAmd16,    // AMD/JEDEC command set, bottom boot sectors
  kIntel16,  // Intel command set, parameter blocks at the bottom, locked at power-up
};

struct MemoryRegion {
  uint32_t base = 0;
  uint32_t size = 0;  // bytes, a non-zero multiple of 4
  RegionKind kind = RegionKind::kRam;
  FlashKind flashKind = FlashKind::kAmd16;  // kFlash only
};

enum class Endianness : uint8_t { kLittle, kBig };

struct BoardFaults {
  bool powerBad = false;      // both power-sense lines read 1
  bool noCable = false;       // the data port reads 0xFF whatever was written
  bool targetAbsent = false;  // TDO stuck high: the IDCODE reads 0xFFFFFFFF
  // Breakpoints, watchpoints and DBGRQ are ignored, and a system-speed access run from
  // debug state does not return to it (Board::SetCoreNeverHalts turns it on later).
  bool coreNeverHalts = false;
};

struct BoardConfig {
  uint16_t portBase = 0x378;  // data register; status at +1, control at +2
  uint32_t idcode = 0x3F0F0F0F;
  std::vector<MemoryRegion> regions = DefaultRegions();
  Endianness endianness = Endianness::kLittle;
  BoardFaults faults;
  // Instructions that each rising TCK edge lets a running core execute (4 to 1000):
  // enough for a halt request to take effect within one EmbeddedICE access.
  int instructionsPerTck = 4;
  // Instructions per millisecond of host time that a running core executes while the
  // port is quiet (between accesses, or while a client sends nothing). 0: only TCK
  // edges move the core, which makes a test fully deterministic.
  int freeRunInstructionsPerMs = 10000;
  // A periodic interrupt (period 0: none).
  TimerConfig timer;

  // 256 KiB of RAM at 0 and 64 KiB of ROM at 0x80000.
  static std::vector<MemoryRegion> DefaultRegions();
};

// Empty when the configuration can be built, otherwise why not.
std::string ValidateConfig(const BoardConfig& config);

}  // namespace vsim
