#include "arm7/core_state.h"

namespace vantrel::arm7 {
namespace {

constexpr bool kArmStateAtLoad = true;
constexpr uint32_t kNoPatternWritten = 0xFFFFFFFF;

std::array<uint32_t, kRegisterCacheSize> g_register_cache{};
bool g_arm_state_at_entry = kArmStateAtLoad;
bool g_big_endian_target = false;
uint32_t g_last_breakpoint_pattern = kNoPatternWritten;
bool g_watchpoints_as_programmed = false;

}  // namespace

std::array<uint32_t, kRegisterCacheSize>& RegisterCache() { return g_register_cache; }

bool ArmStateAtEntry() { return g_arm_state_at_entry; }
void SetArmStateAtEntry(bool armState) { g_arm_state_at_entry = armState; }

bool BigEndianTarget() { return g_big_endian_target; }
void SetBigEndianTarget(bool bigEndian) { g_big_endian_target = bigEndian; }

uint32_t LastBreakpointPattern() { return g_last_breakpoint_pattern; }
void SetLastBreakpointPattern(uint32_t pattern) { g_last_breakpoint_pattern = pattern; }

bool WatchpointsAsProgrammed() { return g_watchpoints_as_programmed; }
void SetWatchpointsAsProgrammed(bool programmed) { g_watchpoints_as_programmed = programmed; }

void ResetCoreState() {
  g_watchpoints_as_programmed = false;
  g_register_cache.fill(0);
  g_arm_state_at_entry = kArmStateAtLoad;
  g_big_endian_target = false;
  g_last_breakpoint_pattern = kNoPatternWritten;
}

}  // namespace vantrel::arm7
