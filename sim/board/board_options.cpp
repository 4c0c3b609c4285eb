#include "board/board_options.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace vsim {

namespace {

// Accepts decimal or 0x-prefixed hexadecimal, with an optional K or M suffix when
// scaled; the whole text must be consumed and fit in 32 bits.
bool ParseNumber(std::string_view text, bool scaled, uint64_t& value) {
  std::string s(text);
  uint64_t scale = 1;
  if (scaled && !s.empty() && (s.back() == 'K' || s.back() == 'k' || s.back() == 'M' || s.back() == 'm')) {
    scale = (s.back() == 'K' || s.back() == 'k') ? 1024u : 1024u * 1024u;
    s.pop_back();
  }
  if (s.empty() || s[0] == '-' || s[0] == '+' || s[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (errno != 0 || end == s.c_str() || *end != '\0') return false;
  if (v > 0xFFFFFFFFull / scale) return false;
  value = v * scale;
  return true;
}

bool ParseRegion(std::string_view text, RegionKind kind, MemoryRegion& region) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  uint64_t base = 0;
  uint64_t size = 0;
  if (!ParseNumber(text.substr(0, colon), false, base) || !ParseNumber(text.substr(colon + 1), true, size)) {
    return false;
  }
  region = MemoryRegion{static_cast<uint32_t>(base), static_cast<uint32_t>(size), kind};
  return true;
}

// BASE:SIZE[:KIND], KIND amd16 (the default) or intel16.
bool ParseFlash(std::string_view text, MemoryRegion& region) {
  size_t second = text.find(':', text.find(':') + 1);
  std::string_view kind = second == std::string_view::npos ? "amd16" : text.substr(second + 1);
  if (!ParseRegion(text.substr(0, second), RegionKind::kFlash, region)) return false;
  if (kind == "amd16") region.flashKind = FlashKind::kAmd16;
  else if (kind == "intel16") region.flashKind = FlashKind::kIntel16;
  else return false;
  return true;
}

bool ParseImage(std::string_view text, ImageToLoad& image) {
  size_t at = text.rfind('@');
  if (at == std::string_view::npos || at == 0) return false;
  uint64_t address = 0;
  if (!ParseNumber(text.substr(at + 1), false, address)) return false;
  image = ImageToLoad{std::string(text.substr(0, at)), static_cast<uint32_t>(address)};
  return true;
}

bool IsRegionOption(std::string_view arg, RegionKind& kind) {
  if (arg == "--ram") kind = RegionKind::kRam;
  else if (arg == "--rom") kind = RegionKind::kRom;
  else if (arg == "--abort") kind = RegionKind::kAbort;
  else if (arg == "--flash") kind = RegionKind::kFlash;
  else return false;
  return true;
}

std::string Refuse(std::string_view option, std::string_view value) {
  return "invalid value for " + std::string(option) + ": '" + std::string(value) + "'";
}

}  // namespace

const char* BoardUsage() {
  return "usage: vantrel-board --listen PORT [options]\n"
         "Serves a simulated ARM7TDMI board over OpenOCD's remote_bitbang protocol on\n"
         "127.0.0.1, one client after another. PORT 0 picks a free port; the chosen one\n"
         "is printed as \"listening on 127.0.0.1:PORT\".\n"
         "  --listen PORT         TCP port (0-65535)\n"
         "  --ram BASE:SIZE       a RAM region (SIZE may end in K or M); repeatable\n"
         "  --rom BASE:SIZE       a ROM region: the core's writes are ignored\n"
         "  --abort BASE:SIZE     a region where every access aborts\n"
         "  --flash BASE:SIZE[:KIND]  a 16-bit CFI NOR flash chip, KIND amd16 (default) or\n"
         "                        intel16; SIZE a multiple of 64K from 128K\n"
         "                        (any region option replaces the default layout:\n"
         "                        256K of RAM at 0, 64K of ROM at 0x80000)\n"
         "  --big-endian          big-endian memory (default little-endian)\n"
         "  --idcode VALUE        TAP IDCODE (default 0x3F0F0F0F)\n"
         "  --load FILE@ADDRESS   copy a raw binary file into memory (ROM too)\n"
         "  --cycles-per-tck N    instructions a running core executes per TCK edge (4-1000, default 4)\n"
         "  --free-run N          instructions per ms while the client is quiet (default 10000)\n"
         "  --timer PERIOD[:irq|fiq]\n"
         "                        a timer raises IRQ (or FIQ) every PERIOD instructions (1-1000000000)\n"
         "                        until a write to 0xE0000000 acknowledges it\n"
         "  --power-bad           the power-sense lines report no target power\n"
         "  --no-cable            the data port does not read back\n"
         "  --target-absent       TDO stuck high\n"
         "  --never-halts         the core ignores breakpoints, watchpoints and DBGRQ, and does not\n"
         "                        return to debug state after a system-speed access\n"
         "  --help                this text\n";
}

namespace {

// Options without a value; false when arg is none of them.
bool ParseFlag(std::string_view arg, BoardOptions& options) {
  BoardFaults& faults = options.config.faults;
  if (arg == "--help" || arg == "-h") options.help = true;
  else if (arg == "--big-endian") options.config.endianness = Endianness::kBig;
  else if (arg == "--power-bad") faults.powerBad = true;
  else if (arg == "--no-cable") faults.noCable = true;
  else if (arg == "--target-absent") faults.targetAbsent = true;
  else if (arg == "--never-halts") faults.coreNeverHalts = true;
  else return false;
  return true;
}

bool TakesValue(std::string_view arg) {
  RegionKind kind = RegionKind::kRam;
  return arg == "--listen" || arg == "--idcode" || arg == "--load" || arg == "--cycles-per-tck" ||
         arg == "--free-run" || arg == "--timer" || IsRegionOption(arg, kind);
}

std::string ParseValue(std::string_view arg, std::string_view value, BoardOptions& options,
                       std::vector<MemoryRegion>& regions) {
  uint64_t n = 0;
  RegionKind kind = RegionKind::kRam;
  if (arg == "--listen") {
    if (!ParseNumber(value, false, n) || n > 65535) return Refuse(arg, value);
    options.listenPort = static_cast<int>(n);
  } else if (arg == "--idcode") {
    if (!ParseNumber(value, false, n)) return Refuse(arg, value);
    options.config.idcode = static_cast<uint32_t>(n);
  } else if (arg == "--cycles-per-tck") {
    if (!ParseNumber(value, false, n) || n < 4 || n > 1000) return Refuse(arg, value);
    options.config.instructionsPerTck = static_cast<int>(n);
  } else if (arg == "--free-run") {
    if (!ParseNumber(value, false, n) || n > 1000000) return Refuse(arg, value);
    options.config.freeRunInstructionsPerMs = static_cast<int>(n);
  } else if (arg == "--timer") {
    if (std::string error = ParseTimerOption(std::string(value), &options.config.timer); !error.empty()) return error;
  } else if (arg == "--load") {
    ImageToLoad image;
    if (!ParseImage(value, image)) return Refuse(arg, value);
    options.images.push_back(image);
  } else if (IsRegionOption(arg, kind)) {
    MemoryRegion region;
    bool parsed = kind == RegionKind::kFlash ? ParseFlash(value, region) : ParseRegion(value, kind, region);
    if (!parsed) return Refuse(arg, value);
    regions.push_back(region);
  }
  return {};
}

}  // namespace

std::string ParseBoardOptions(int argc, const char* const* argv, BoardOptions& options) {
  std::vector<MemoryRegion> regions;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (ParseFlag(arg, options)) continue;
    if (!TakesValue(arg)) return "unknown option '" + std::string(arg) + "' (see --help)";
    if (i + 1 >= argc) return std::string(arg) + " needs a value";
    if (std::string error = ParseValue(arg, argv[++i], options, regions); !error.empty()) return error;
  }
  if (!regions.empty()) options.config.regions = regions;
  if (options.help) return {};
  if (options.listenPort < 0) return "--listen PORT is required (see --help)";
  return ValidateConfig(options.config);
}

}  // namespace vsim
