#include "target/target_state.h"

#include "target/active_core.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

uint32_t g_target_state = kNothingOpened;
bool g_cable_opened_once = false;

}  // namespace

uint32_t TargetState() { return g_target_state; }
void SetTargetState(uint32_t state) { g_target_state = state; }
bool CoreHalted() { return g_target_state == kConnected || g_target_state == kHalted; }
bool CableOpenedOnce() { return g_cable_opened_once; }

ResultCode OpenEmulator(std::string_view kindName, std::string_view portName) {
  const ResultCode result = ActiveCore().OpenCable(kindName, portName);
  if (result == kOk) {
    g_target_state = kTargetDown;
    g_cable_opened_once = true;
  }
  return result;
}

void ResetTargetState() {
  g_target_state = kNothingOpened;
  g_cable_opened_once = false;
  ForgetUnits();
  ForgetStop();
}

}  // namespace vantrel::target
