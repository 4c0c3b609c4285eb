// GDB's range stepping: `next` and `step` step a source line instruction by instruction,
// and each step is a run and a stop of the core, the dearest thing the cable does. Most
// instructions of a line can only fall through to the next one, so the core runs over
// them in one go, to the first that might go elsewhere, and only that one is stepped.
#include <array>

#include "gdb_target.h"

namespace vantrel::gdb {

namespace {

constexpr uint32_t kThumbBit = 0x20;
constexpr uint32_t kSupervisorMode = 0x13;  // any privileged mode: MSR and SPSR behave
// The CPSR flags (N Z C V) that, between them, make every condition pass and fail.
constexpr std::array<uint32_t, 3> kFlagSets = {0x00000000, 0xF0000000, 0x20000000};
// Register values no fall-through address can equal: odd, and far from code.
constexpr uint32_t kUnlikelyRegister = 0xB0000001;
constexpr uint32_t kRegisterSpacing = 0x10000;
// How far ahead of the PC the instructions are examined.
constexpr uint32_t kMaxLookAheadBytes = 1024;

}  // namespace

bool GdbTarget::OnlyFallsThrough(uint32_t address, bool thumb) {
  const uint32_t size = thumb ? 2 : 4;
  const uint32_t word = address & ~3u;
  // The instruction's own words are real; any other read (a load into the PC, a return
  // from the stack) makes it an instruction that may go elsewhere.
  const WordReader code = [this, word](uint32_t at) -> std::optional<uint32_t> {
    if (at != word && at != word + 4) return std::nullopt;
    std::vector<unsigned char> bytes;
    if (!ReadMemory(at, 4, &bytes)) return std::nullopt;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  };
  CoreSnapshot core;
  for (uint32_t i = 0; i < 15; ++i) core.r[i] = kUnlikelyRegister + i * kRegisterSpacing;
  core.r[15] = address;
  core.spsr = kUnlikelyRegister;
  for (const uint32_t flags : kFlagSets) {
    core.cpsr = flags | (thumb ? kThumbBit : 0) | kSupervisorMode;
    const auto next = NextInstructionAddress(core, code);
    if (!next || next->address != address + size || next->thumb != thumb) return false;
  }
  return true;
}

bool GdbTarget::RangeStep(uint32_t start, uint32_t end, const std::function<bool()>& interrupted, StopCause* cause) {
  *cause = StopCause::kBreakpoint;
  for (bool first = true;; first = false) {
    if (!SettleBreakpoints()) return false;
    const auto registers = Registers();
    if (!registers) return false;
    const uint32_t pc = (*registers)[kPcRegister];
    if (!first && (pc < start || pc >= end || AtBreakpoint())) return true;
    if (!first && interrupted && interrupted()) {
      *cause = StopCause::kInterrupted;
      return true;
    }
    const bool thumb = ((*registers)[kCpsrRegister] & kThumbBit) != 0;
    uint32_t ahead = pc;
    while (ahead >= start && ahead < end && ahead - pc < kMaxLookAheadBytes && OnlyFallsThrough(ahead, thumb)) {
      ahead += thumb ? 2 : 4;
    }
    const bool stepping = ahead == pc;
    const bool ran = stepping ? RunOneInstruction(interrupted, cause) : RunTo({ahead, thumb}, interrupted, cause);
    if (!ran || *cause != StopCause::kBreakpoint) return ran;
    // A run that halted short of where it was sent met something GDB should hear of.
    const auto stopped = Registers();
    if (!stepping && (!stopped || (*stopped)[kPcRegister] != ahead)) return true;
  }
}

}  // namespace vantrel::gdb
