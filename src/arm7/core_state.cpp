#include "arm7/core_state.h"

namespace vantrel::arm7 {
namespace {

constexpr int kArmStateAtLoad = 1;
constexpr uint32_t kNoPatternWritten = 0xFFFFFFFF;

std::array<uint32_t, kRegisterCacheSize> g_register_cache{};
int g_arm_state_at_entry = kArmStateAtLoad;
int g_big_endian_target = 0;
uint32_t g_last_breakpoint_pattern = kNoPatternWritten;
bool g_watchpoints_as_programmed = false;

}  // namespace

std::array<uint32_t, kRegisterCacheSize>& RegisterCache() { return g_register_cache; }

int ArmStateAtEntry() { return g_arm_state_at_entry; }
void SetArmStateAtEntry(int armState) { g_arm_state_at_entry = armState; }

int BigEndianTarget() { return g_big_endian_target; }
void SetBigEndianTarget(int bigEndian) { g_big_endian_target = bigEndian; }

uint32_t LastBreakpointPattern() { return g_last_breakpoint_pattern; }
void SetLastBreakpointPattern(uint32_t pattern) { g_last_breakpoint_pattern = pattern; }

bool WatchpointsAsProgrammed() { return g_watchpoints_as_programmed; }
void SetWatchpointsAsProgrammed(bool programmed) { g_watchpoints_as_programmed = programmed; }

void ResetCoreState() {
  g_watchpoints_as_programmed = false;
  g_register_cache.fill(0);
  g_arm_state_at_entry = kArmStateAtLoad;
  g_big_endian_target = 0;
  g_last_breakpoint_pattern = kNoPatternWritten;
}

}  // namespace vantrel::arm7
