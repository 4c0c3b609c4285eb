#include "target/target_state.h"

#include <array>
#include <cctype>

#include "cable/cable.h"
#include "target/stop_report.h"
#include "target/watchpoint_units.h"

namespace vantrel::target {
namespace {

uint32_t g_target_state = kNothingOpened;
int32_t g_connection_kind = kNoCableOpened;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// -1 when the name is none of the three ports.
int PortIndexOf(std::string_view portName) {
  constexpr std::array<std::string_view, 3> kNames{"lpt1", "lpt2", "lpt3"};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (EqualsIgnoringCase(portName, kNames[i])) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

uint32_t TargetState() { return g_target_state; }
void SetTargetState(uint32_t state) { g_target_state = state; }
bool CoreHalted() { return g_target_state == kConnected || g_target_state == kHalted; }
int32_t ConnectionKind() { return g_connection_kind; }

ResultCode OpenEmulator(std::string_view kindName, std::string_view portName) {
  if (EqualsIgnoringCase(kindName, "lpt")) {
    const int portIndex = PortIndexOf(portName);
    if (portIndex < 0) return kInvalidParameters;
    const ResultCode result = cable::OpenCable(portIndex);
    if (result == kOk) {
      g_target_state = kTargetDown;
      g_connection_kind = kParallelCable;
    }
    return result;
  }
  if (EqualsIgnoringCase(kindName, "KORVIX")) return kSimulatorRequested;
  return kInvalidParameters;
}

void ResetTargetState() {
  g_target_state = kNothingOpened;
  g_connection_kind = kNoCableOpened;
  ForgetUnits();
  ForgetStop();
}

}  // namespace vantrel::target
