#include "target/target_state.h"

#include "target/active_core.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

uint32_t g_target_state = kNothingOpened;
int32_t g_connection_kind = kNoCableOpened;

}  // namespace

uint32_t TargetState() { return g_target_state; }
void SetTargetState(uint32_t state) { g_target_state = state; }
bool CoreHalted() { return g_target_state == kConnected || g_target_state == kHalted; }
int32_t ConnectionKind() { return g_connection_kind; }

ResultCode OpenEmulator(std::string_view kindName, std::string_view portName) {
  const ResultCode result = ActiveCore().OpenCable(kindName, portName);
  if (result == kOk) {
    g_target_state = kTargetDown;
    g_connection_kind = kParallelCable;
  }
  return result;
}

void ResetTargetState() {
  g_target_state = kNothingOpened;
  g_connection_kind = kNoCableOpened;
  ForgetUnits();
  ForgetStop();
}

}  // namespace vantrel::target
